// The data channels page: the channels of linkreport as a table, and an editor for one of
// them. What each key is, its label, unit, rule, choices and the message for a bad value come
// from linkconfig's description of its rows ({"Describe": true}, docs/settings.md): nothing
// here knows the receiver's channels.
"use strict";

const DESCRIPTION_KEY = "linkconfig-description";
let description = null; // { Version, Channels: [{ TransID, Name, Keys: [row] }] }

// The description kept for this session under its "Version", or a new one.
async function loadDescription(again) {
  const kept = again ? null : sessionStorage.getItem(DESCRIPTION_KEY);
  if (kept) {
    description = JSON.parse(kept);
    return;
  }
  const reply = await callProgram("linkconfig", { Describe: true });
  description = { Version: reply.Version, Channels: reply.Channels };
  sessionStorage.setItem(DESCRIPTION_KEY, JSON.stringify(description));
}

function describedChannel(transId) {
  return description.Channels.find((channel) => channel.TransID === transId);
}

function rowOf(transId, key) {
  const channel = describedChannel(transId);
  return channel && channel.Keys.find((row) => row.Key === key);
}

// Whether every key a channel shows is described: else the program changed since the
// description was kept.
function describes(channel) {
  return Object.keys(channel).every((key) => key === "TransID" || rowOf(channel.TransID, key));
}

// ---- The table ------------------------------------------------------------------------------

// The keys shown in their own columns, or in the message lists.
const COLUMNS = ["Startup", "Status", "Messages"];

function settingsCell(channel) {
  const cell = element("td");
  for (const row of describedChannel(channel.TransID).Keys) {
    if (COLUMNS.includes(row.Key) || row.Type === "Constant" || !(row.Key in channel)) continue;
    const text = valueText(row, channel[row.Key]);
    if (text !== "") cell.appendChild(element("span", row.Label + ": " + text, "setting"));
  }
  return cell;
}

// Each message list with the messages that are on.
function messageLists(channel) {
  const cell = element("div", undefined, "lists");
  const lists = rowOf(channel.TransID, "Messages").Lists;
  channel.Messages.forEach((list, index) => {
    const listRow = lists[index];
    if (!listRow || !listRow.Name) return;
    const on = list.filter((item) => item.Interval !== 0).map((item) =>
      listRow.Value === "Interval" ? item.Name + " (" + item.Interval + " " + listRow.Unit + ")" : item.Name);
    cell.appendChild(element("span", listRow.Name + ": " + (on.length ? on.join(", ") : "none")));
  });
  return cell;
}

function channelRow(channel, body) {
  const row = document.createElement("tr");
  row.dataset.transId = channel.TransID;
  row.appendChild(element("td", describedChannel(channel.TransID).Name));
  row.appendChild(settingsCell(channel));
  const startup = element("td", channel.Startup ? "on" : "off", channel.Startup ? "on" : "off");
  if (channel.Status) startup.title = channel.Status;
  row.appendChild(startup);
  const connection = element("td", "–", "connection");
  connection.dataset.key = "Connection" + channel.TransID;
  row.appendChild(connection);
  const messages = document.createElement("td");
  body.appendChild(row);
  if (channel.Messages) {
    const show = element("button", "Show", "secondary");
    const details = document.createElement("tr");
    details.hidden = true;
    const cell = element("td");
    cell.colSpan = 6;
    cell.appendChild(messageLists(channel));
    details.appendChild(cell);
    show.addEventListener("click", () => {
      details.hidden = !details.hidden;
      show.textContent = details.hidden ? "Show" : "Hide";
    });
    messages.appendChild(show);
    row.appendChild(messages);
    row.appendChild(editCell(channel));
    body.appendChild(details);
    return;
  }
  row.appendChild(messages);
  row.appendChild(editCell(channel));
}

function editCell(channel) {
  const cell = document.createElement("td");
  const edit = element("button", "Edit", "secondary edit");
  edit.addEventListener("click", (event) => runAction(event.target, () => openEditor(channel.TransID)));
  cell.appendChild(edit);
  return cell;
}

// ---- The editor: one channel as linkconfig reads it; Save sends only what changed. ----------

let editing = null; // { transId, channel, revision, inputs: {key: input}, intervals: [[input]] }

// A password input, and a button that shows it only when asked.
function secretField(input) {
  const wrap = element("span", undefined, "secret");
  const show = element("button", "Show", "secondary reveal");
  show.type = "button";
  show.addEventListener("click", () => {
    input.type = input.type === "password" ? "text" : "password";
    show.textContent = input.type === "password" ? "Show" : "Hide";
  });
  wrap.appendChild(input);
  wrap.appendChild(show);
  return wrap;
}

function showFields(channel) {
  const fields = document.getElementById("editor-fields");
  fields.replaceChildren();
  editing.inputs = {};
  for (const row of describedChannel(channel.TransID).Keys) {
    if (row.Key === "Messages" || !(row.Key in channel)) continue;
    const label = element("label", row.Label + (row.Unit ? " (" + row.Unit + ")" : ""));
    label.dataset.key = row.Key;
    label.title = row.Key;
    if (!row.Changeable) {
      label.appendChild(element("span", valueText(row, channel[row.Key]), "fixed"));
    } else {
      const input = fieldInput(row, channel[row.Key]);
      input.name = row.Key;
      editing.inputs[row.Key] = input;
      label.appendChild(row.Secret ? secretField(input) : input);
    }
    label.appendChild(element("span", "", "field-error"));
    fields.appendChild(label);
  }
}

function showMessageLists(channel) {
  const box = document.getElementById("editor-messages");
  box.replaceChildren();
  editing.intervals = [];
  const row = rowOf(channel.TransID, "Messages");
  (channel.Messages || []).forEach((list, index) => {
    const inputs = [];
    editing.intervals.push(inputs);
    const listRow = row.Lists[index];
    if (!listRow || listRow.Min === undefined) return;
    const table = document.createElement("table");
    table.dataset.list = index;
    table.appendChild(element("caption", listRow.Name + (listRow.Unit ? " (" + listRow.Unit + ")" : "")));
    list.forEach((item, position) => {
      const line = document.createElement("tr");
      line.appendChild(element("td", item.Name));
      const input = document.createElement("input");
      input.type = "number";
      input.min = listRow.Min;
      input.max = listRow.Max;
      input.step = "1";
      input.value = item.Interval;
      input.dataset.name = item.Name;
      inputs[position] = input;
      const cell = document.createElement("td");
      cell.appendChild(input);
      line.appendChild(cell);
      table.appendChild(line);
    });
    box.appendChild(table);
  });
  const label = element("div", "", "field-error");
  label.dataset.key = "Messages";
  box.appendChild(label);
}

async function openEditor(transId) {
  const reply = await callProgram("linkconfig", { TransID: transId });
  if (!describes(reply.Channel)) await loadDescription(true);
  editing = { transId, channel: reply.Channel, revision: reply.Revision };
  document.getElementById("editor-title").textContent = describedChannel(transId).Name;
  showFields(reply.Channel);
  showMessageLists(reply.Channel);
  document.getElementById("reload").hidden = true;
  const editor = document.getElementById("editor");
  editor.hidden = false;
  editor.scrollIntoView();
}

// What differs from what was read: the changed keys, and the whole message lists if any
// interval changed.
function changes() {
  const changed = {};
  for (const [key, input] of Object.entries(editing.inputs)) {
    const value = inputValue(rowOf(editing.transId, key), input);
    if (value !== editing.channel[key]) changed[key] = value;
  }
  const messages = editing.channel.Messages;
  if (messages) {
    let any = false;
    const edited = messages.map((list, index) => list.map((item, position) => {
      const input = (editing.intervals[index] || [])[position];
      if (!input || item.Name === undefined) return item;
      const interval = input.value.trim() === "" ? NaN : Number(input.value);
      if (interval !== item.Interval) any = true;
      return { ID: item.ID, Name: item.Name, Interval: interval };
    }));
    if (any) changed.Messages = edited;
  }
  return changed;
}

function clearFieldErrors() {
  document.querySelectorAll("#editor .field-error").forEach((node) => { node.textContent = ""; });
}

// linkconfig's errors start with the key they are about.
function showFieldError(text) {
  const key = text.split(/[ :]/)[0];
  const place = document.querySelector(`#editor [data-key="${key}"] .field-error, #editor .field-error[data-key="${key}"]`);
  if (place) place.textContent = text;
}

async function save() {
  clearFieldErrors();
  const changed = changes();
  const keys = Object.keys(changed);
  if (keys.length === 0) {
    showMessage("Nothing changed.", "ok");
    return;
  }
  // A value its row does not take is answered here with the row's own message, unsent.
  for (const key of keys) {
    const row = rowOf(editing.transId, key);
    if (key !== "Messages" && !takes(row, changed[key])) {
      showFieldError(row.Error);
      throw new Error(row.Error);
    }
  }
  const name = describedChannel(editing.transId).Name;
  let reply;
  try {
    reply = await callProgram("linkconfig", { TransID: editing.transId, Revision: editing.revision, ...changed });
  } catch (error) {
    showFieldError(error.message);
    throw error;
  }
  if (reply.Res === "Conflict") {
    document.getElementById("reload").hidden = false;
    throw new Error(name + " was changed by someone else meanwhile: nothing was saved. Reload it, then make your change again.");
  }
  editing.channel = reply.Channel;
  editing.revision = reply.Revision;
  await loadChannels();
  showMessage(name + " saved (" + keys.map((key) => rowOf(editing.transId, key).Label).join(", ") + ").", "ok");
}

document.getElementById("save").addEventListener("click", (event) => runAction(event.target, save));
document.getElementById("cancel").addEventListener("click", () => {
  document.getElementById("editor").hidden = true;
  editing = null;
});
document.getElementById("reload").addEventListener("click", (event) =>
  runAction(event.target, () => openEditor(editing.transId), "Reloaded: the channel as it is stored now."));

async function loadChannels() {
  if (!description) await loadDescription(false);
  const reply = await callProgram("linkreport", {});
  const channels = reply.DataTrans || [];
  if (!channels.every((channel) => describedChannel(channel.TransID) && describes(channel))) await loadDescription(true);
  const body = document.querySelector("#channels tbody");
  body.replaceChildren();
  channels.forEach((channel) => channelRow(channel, body));
  await showConnections();
}

// ---- The live state of the channels that connect to a peer (the settings program's "links") --

let links = null; // the group's description

async function showConnections() {
  if (!links) links = (await settingsDescription(false)).Groups.find((group) => group.Group === "links");
  const read = await callProgram("settings", { Group: "links" }, { refresh: true });
  for (const row of links.Keys) {
    const cell = document.querySelector(`#channels td[data-key="${row.Key}"]`);
    if (cell && row.Key in read.Values) cell.textContent = shownText(row, read.Values[row.Key]);
  }
}

setInterval(() => {
  if (!document.hidden && links) showConnections().catch(() => {});
}, 2000);

document.getElementById("refresh").addEventListener("click", (event) =>
  runAction(event.target, loadChannels, "Channels refreshed."));
runAction(null, loadChannels);
