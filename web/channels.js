// The data channels page: the nine channels of linkreport as a table.
"use strict";

const KINDS = {
  1: "Serial port 1", 3: "TCP 1", 4: "TCP 2", 5: "NTRIP server 1", 6: "NTRIP client",
  7: "Radio modem", 8: "NTRIP caster", 9: "NTRIP server 2", 10: "UDP",
};
const LIST_NAMES = {
  1: ["Raw observations", "NMEA", "RTCM 2.3", "RTCM 3.0", "RTCM 3.2", "CMR"],
  3: ["Raw observations", "NMEA", "RTCM 2.3", "RTCM 3.0", "RTCM 3.2", "CMR"],
  5: ["RTCM 2.3", "RTCM 3.0", "RTCM 3.2", "CMR"],
  7: ["RTCM 2.3", "RTCM 3.0", "RTCM 3.2", "CMR", "Custom"],
};
LIST_NAMES[4] = LIST_NAMES[10] = LIST_NAMES[3];
LIST_NAMES[9] = LIST_NAMES[5];

function addresses(channel) {
  switch (channel.TransID) {
    case 1: return channel.BaudRate + " bit/s, check " + channel.Check;
    case 3: case 4: case 10:
      return "local " + channel.LocalPort + ", remote " + channel.RemoteIP + ":" + channel.RemotePort +
        (channel.RoleKind === 0 && channel.TransID !== 10 ? " (server)" : "");
    case 5: case 6: case 9: return channel.CasterAddress + ":" + channel.CasterPort;
    case 7: return "channel " + channel.Channel + ", RX " + channel.RXFREQ + " / TX " + channel.TXFREQ +
      (channel.Model !== undefined ? ", model " + channel.Model : "");
    case 8: return "port " + channel.CasterPort;
    default: return "";
  }
}

function casterCell(channel) {
  if (channel.MountPoint !== undefined) return channel.MountPoint + " (NTRIP " + channel.NtripVersion + ")";
  if (channel.TransID === 8) return "user " + channel.USR;
  return "";
}

// Each message list with the messages that are on.
function messageLists(channel) {
  const cell = element("div", undefined, "lists");
  (channel.Messages || []).forEach((list, index) => {
    const name = (LIST_NAMES[channel.TransID] || [])[index];
    if (!name || !Array.isArray(list)) return;
    const on = list.filter((item) => item.Interval !== 0).map((item) => item.Name + " (" + item.Interval + ")");
    cell.appendChild(element("span", name + ": " + (on.length ? on.join(", ") : "none")));
  });
  if (channel.MSM !== undefined) cell.appendChild(element("span", "MSM" + channel.MSM));
  return cell;
}

function channelRow(channel, body) {
  const row = document.createElement("tr");
  row.dataset.transId = channel.TransID;
  row.appendChild(element("td", KINDS[channel.TransID] || "Channel " + channel.TransID));
  row.appendChild(element("td", addresses(channel)));
  row.appendChild(element("td", casterCell(channel)));
  row.appendChild(element("td", channel.Startup ? "on" : "off", channel.Startup ? "on" : "off"));
  row.appendChild(element("td", channel.Status || ""));
  row.appendChild(element("td", channel.DataStreamType !== undefined ? String(channel.DataStreamType) : ""));
  const messages = document.createElement("td");
  if (channel.Messages) {
    const show = element("button", "Show", "secondary");
    const details = document.createElement("tr");
    details.hidden = true;
    const cell = element("td");
    cell.colSpan = 8;
    cell.appendChild(messageLists(channel));
    details.appendChild(cell);
    show.addEventListener("click", () => {
      details.hidden = !details.hidden;
      show.textContent = details.hidden ? "Show" : "Hide";
    });
    messages.appendChild(show);
    body.appendChild(row);
    row.appendChild(messages);
    row.appendChild(editCell(channel));
    body.appendChild(details);
    return;
  }
  row.appendChild(messages);
  row.appendChild(editCell(channel));
  body.appendChild(row);
}

function editCell(channel) {
  const cell = document.createElement("td");
  const edit = element("button", "Edit", "secondary edit");
  edit.addEventListener("click", (event) => runAction(event.target, () => openEditor(channel.TransID)));
  cell.appendChild(edit);
  return cell;
}

// ---- The editor: one channel as linkconfig reads it; Save sends only what changed. ----------

// Keys that are fixed or follow from others: shown, never sent.
const FIXED = ["TransID", "TCPID", "UDPID", "NtripServerID", "Port", "Status", "MSM"];
const STREAM_TYPES = { 1: [1, 2, 3, 4, 5, 6, 7, 8], 3: [1, 2, 3, 4, 5, 6, 7, 8, 9], 5: [3, 4, 5, 6], 7: [3, 4, 5, 6, 7] };
STREAM_TYPES[4] = STREAM_TYPES[10] = STREAM_TYPES[3];
STREAM_TYPES[9] = STREAM_TYPES[5];
const MODELS = { 1: "MV-TX", 2: "PN-WAVE", 3: "7731K", 4: "T3 / T8" };
const TEXT_LIMITS = { CasterAddress: 64, MountPoint: 32, USR: 16, PWD: 16 };
const CASTER_TEXT_LIMITS = { USR: 18, PWD: 12 };

let editing = null;  // { transId, channel, revision, inputs: {key: input}, intervals: [[input]] }

function isFixed(transId, key) {
  return FIXED.includes(key) || (transId === 6 && key === "NtripVersion") || (transId === 10 && key === "RoleKind");
}

function select(options, value) {
  const input = document.createElement("select");
  for (const [code, text] of options) {
    const option = element("option", text);
    option.value = code;
    input.appendChild(option);
  }
  input.value = value === undefined ? "" : String(value);
  return input;
}

// The input for one key, by the type of its value.
function fieldInput(transId, key, value) {
  if (typeof value === "boolean") {
    const box = document.createElement("input");
    box.type = "checkbox";
    box.checked = value;
    return box;
  }
  if (key === "DataStreamType") return select(STREAM_TYPES[transId].map((code) => [code, String(code)]), value);
  if (key === "Model") return select([["", "unknown"], ...Object.entries(MODELS)], value);
  const input = document.createElement("input");
  if (typeof value === "number") {
    input.type = "number";
    input.step = key === "RXFREQ" || key === "TXFREQ" ? "any" : "1";
    input.className = "short";
  } else {
    input.maxLength = (transId === 8 && CASTER_TEXT_LIMITS[key]) || TEXT_LIMITS[key] || 15;
  }
  input.value = value === undefined ? "" : String(value);
  return input;
}

function inputValue(input, original) {
  if (input.type === "checkbox") return input.checked;
  if (typeof original === "number" || input.tagName === "SELECT") return input.value === "" ? undefined : Number(input.value);
  return input.value;
}

function showFields(transId, channel) {
  const fields = document.getElementById("editor-fields");
  fields.replaceChildren();
  editing.inputs = {};
  const keys = Object.keys(channel).filter((key) => key !== "Messages");
  if (transId === 7 && !keys.includes("Model")) keys.splice(1, 0, "Model");  // a model the report does not name
  for (const key of keys) {
    const label = element("label", key);
    label.dataset.key = key;
    if (isFixed(transId, key)) {
      label.appendChild(element("span", String(channel[key])));
    } else {
      const input = fieldInput(transId, key, channel[key]);
      input.name = key;
      editing.inputs[key] = input;
      label.appendChild(input);
    }
    label.appendChild(element("span", "", "field-error"));
    fields.appendChild(label);
  }
}

function showMessageLists(transId, channel) {
  const box = document.getElementById("editor-messages");
  box.replaceChildren();
  editing.intervals = [];
  (channel.Messages || []).forEach((list, index) => {
    const inputs = [];
    editing.intervals.push(inputs);
    const name = (LIST_NAMES[transId] || [])[index];
    if (!name || !Array.isArray(list) || list.length === 0 || list[0].Name === undefined) return;
    const table = document.createElement("table");
    table.dataset.list = index;
    table.appendChild(element("caption", name));
    list.forEach((item, position) => {
      const row = document.createElement("tr");
      row.appendChild(element("td", item.Name));
      const input = document.createElement("input");
      input.type = "number";
      input.step = "1";
      input.value = item.Interval;
      input.dataset.name = item.Name;
      inputs[position] = input;
      const cell = document.createElement("td");
      cell.appendChild(input);
      row.appendChild(cell);
      table.appendChild(row);
    });
    box.appendChild(table);
  });
  const label = element("div", "", "field-error");
  label.dataset.key = "Messages";
  box.appendChild(label);
}

async function openEditor(transId) {
  const reply = await callProgram("linkconfig", { TransID: transId });
  editing = { transId, channel: reply.Channel, revision: reply.Revision };
  document.getElementById("editor-title").textContent = KINDS[transId] || "Channel " + transId;
  showFields(transId, reply.Channel);
  showMessageLists(transId, reply.Channel);
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
    const value = inputValue(input, editing.channel[key]);
    if (value !== undefined && value !== editing.channel[key]) changed[key] = value;
  }
  const messages = editing.channel.Messages;
  if (messages) {
    let any = false;
    const edited = messages.map((list, index) => Array.isArray(list) ? list.map((item, position) => {
      const input = (editing.intervals[index] || [])[position];
      if (!input || item.Name === undefined) return item;
      const interval = Number(input.value);
      if (interval !== item.Interval) any = true;
      return { ID: item.ID, Name: item.Name, Interval: interval };
    }) : list);
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
  const name = KINDS[editing.transId];
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
  showMessage(name + " saved (" + keys.join(", ") + ").", "ok");
}

document.getElementById("save").addEventListener("click", (event) => runAction(event.target, save));
document.getElementById("cancel").addEventListener("click", () => {
  document.getElementById("editor").hidden = true;
  editing = null;
});
document.getElementById("reload").addEventListener("click", (event) =>
  runAction(event.target, () => openEditor(editing.transId), "Reloaded: the channel as it is stored now."));

async function loadChannels() {
  const reply = await callProgram("linkreport", {});
  const body = document.querySelector("#channels tbody");
  body.replaceChildren();
  (reply.DataTrans || []).forEach((channel) => channelRow(channel, body));
}

document.getElementById("refresh").addEventListener("click", (event) =>
  runAction(event.target, loadChannels, "Channels refreshed."));
runAction(null, loadChannels);
