// Sections built from the settings program's description of its groups ({"Describe": true},
// docs/settings.md): the settings page, the status page (identity, health), the work-mode page
// (antenna) and the channels page (connections) show the groups their markup names in
// data-groups. Nothing here knows the receiver's settings; it knows how a person reads a
// value of a kind (a unit, a state, a value outside what the receiver writes).
"use strict";

const SETTINGS_DESCRIPTION_KEY = "settings-description";

async function settingsDescription(again) {
  const kept = again ? null : sessionStorage.getItem(SETTINGS_DESCRIPTION_KEY);
  if (kept) return JSON.parse(kept);
  const reply = await callProgram("settings", { Describe: true });
  const described = { Version: reply.Version, Groups: reply.Groups };
  sessionStorage.setItem(SETTINGS_DESCRIPTION_KEY, JSON.stringify(described));
  return described;
}

// ---- Values as a person reads them ----------------------------------------------------------

function storageText(megabytes) {
  return megabytes >= 1024 ? (megabytes / 1024).toFixed(2) + " GB" : megabytes + " MB";
}

function durationText(seconds) {
  const days = Math.floor(seconds / 86400);
  const hours = Math.floor((seconds % 86400) / 3600);
  const minutes = Math.floor((seconds % 3600) / 60);
  if (days > 0) return days + " d " + hours + " h";
  if (hours > 0) return hours + " h " + minutes + " min";
  return minutes + " min " + (seconds % 60) + " s";
}

// A live value: {"Unknown": raw} when the receiver wrote what its form does not have.
function shownText(row, value) {
  if (value !== null && typeof value === "object" && "Unknown" in value) return "unknown (" + value.Unknown + ")";
  if (typeof value === "number" && row.Unit === "MB") return storageText(value);
  if (typeof value === "number" && row.Unit === "s") return durationText(value);
  return valueText(row, value);
}

function takesCharacters(row, value) {
  if (row.MinLength && value.length < row.MinLength) return false;
  return row.Characters !== "A-Z a-z 0-9 - _" || /^[A-Za-z0-9_-]*$/.test(value);
}

// ---- One group's section ---------------------------------------------------------------------

class GroupSection {
  constructor(group) {
    this.group = group;
    this.section = element("section");
    this.section.id = "group-" + group.Group;
    this.section.appendChild(element("h2", group.Name));
    this.fields = element("div", undefined, "fields");
    this.section.appendChild(this.fields);
    if (!group.Keys.some((row) => row.Changeable)) return;
    const save = element("button", "Save");
    save.addEventListener("click", (event) => runAction(event.target, () => this.save()));
    this.reload = element("button", "Reload", "secondary");
    this.reload.hidden = true;
    this.reload.addEventListener("click", (event) =>
      runAction(event.target, () => this.load(), "Reloaded: the settings as they are stored now."));
    const buttons = element("div", undefined, "row");
    buttons.appendChild(save);
    buttons.appendChild(this.reload);
    this.section.appendChild(buttons);
  }

  row(key) {
    return this.group.Keys.find((row) => row.Key === key);
  }

  async load() {
    this.read = await callProgram("settings", { Group: this.group.Group });
    this.show();
  }

  // The values the receiver writes, read again; what a person is editing stays as it is.
  async refresh() {
    const read = await callProgram("settings", { Group: this.group.Group }, { refresh: true });
    for (const row of this.group.Keys) {
      if (row.Changeable || !(row.Key in read.Values)) continue;
      this.read.Values[row.Key] = read.Values[row.Key];
      const shown = this.section.querySelector(`[data-key="${row.Key}"] .fixed`);
      if (shown) shown.textContent = shownText(row, read.Values[row.Key]);
    }
  }

  show() {
    this.fields.replaceChildren();
    this.inputs = {};
    if (this.reload) this.reload.hidden = true;
    for (const row of this.group.Keys) {
      if (!(row.Key in this.read.Values)) continue;
      const value = this.read.Values[row.Key];
      const label = element("label", row.Label + (row.Unit && row.Changeable ? " (" + row.Unit + ")" : ""));
      label.dataset.key = row.Key;
      label.title = row.Key;
      if (!row.Changeable) {
        label.appendChild(element("span", shownText(row, value), "fixed"));
      } else {
        const input = fieldInput(row, value);
        input.name = row.Key;
        if (row.ChoicesFrom) this.offerChoices(input, row);
        this.inputs[row.Key] = input;
        label.appendChild(input);
      }
      label.appendChild(element("span", "", "field-error"));
      this.fields.appendChild(label);
    }
  }

  // A text the receiver keeps a list of values for (the antenna types): offered, or typed.
  offerChoices(input, row) {
    const list = element("datalist");
    list.id = this.group.Group + "-" + row.Key + "-choices";
    for (const value of this.read[row.ChoicesIn] || []) {
      const option = element("option");
      option.value = value;
      list.appendChild(option);
    }
    input.setAttribute("list", list.id);
    input.className = "wide";
    this.fields.appendChild(list);
  }

  fieldError(text) {
    const key = text.split(/[ :]/)[0];
    const place = this.section.querySelector(`[data-key="${key}"] .field-error`);
    if (place) place.textContent = text;
  }

  async save() {
    this.section.querySelectorAll(".field-error").forEach((node) => { node.textContent = ""; });
    const changed = {};
    for (const [key, input] of Object.entries(this.inputs)) {
      const value = inputValue(this.row(key), input);
      if (value !== this.read.Values[key]) changed[key] = value;
    }
    const keys = Object.keys(changed);
    if (keys.length === 0) return showMessage("Nothing changed.", "ok");
    // A value its row does not take is answered here with the row's own message, unsent.
    for (const key of keys) {
      const row = this.row(key);
      if (!takes(row, changed[key]) || (row.Type === "Text" && !takesCharacters(row, changed[key]))) {
        this.fieldError(row.Error);
        throw new Error(row.Error);
      }
    }
    let reply;
    try {
      reply = await callProgram("settings", { Group: this.group.Group, Revision: this.read.Revision, Values: changed });
    } catch (error) {
      this.fieldError(error.message);
      throw error;
    }
    if (reply.Res === "Conflict") {
      this.reload.hidden = false;
      throw new Error(this.group.Name + " were changed by someone else meanwhile: nothing was saved. Reload, then make your change again.");
    }
    this.read = reply;
    this.show();
    showMessage(this.group.Name + " saved (" + keys.map((key) => this.row(key).Label).join(", ") + ").", "ok");
  }
}

// ---- Maintenance: each action behind a confirmation that says what will be lost -------------

class MaintenanceSection {
  constructor(group) {
    this.section = element("section");
    this.section.id = "group-" + group.Group;
    this.section.appendChild(element("h2", group.Name));
    for (const action of group.Maintenance) this.section.appendChild(this.actionRow(action));
  }

  load() {}
  refresh() {}

  actionRow(action) {
    const box = element("div", undefined, "maintenance");
    box.dataset.action = action.Action;
    const start = element("button", action.Action[0].toUpperCase() + action.Action.slice(1) + "…", "secondary");
    const confirm = element("div", undefined, "confirm");
    confirm.hidden = true;
    confirm.appendChild(element("p", "This will " + action.Action + ": " + action.Lost + ". Type \u201c" +
      action.Action + "\u201d to confirm."));
    const typed = element("input");
    typed.name = "confirm";
    typed.autocomplete = "off";
    const go = element("button", "Carry out");
    const cancel = element("button", "Cancel", "secondary");
    confirm.append(typed, go, cancel);
    start.addEventListener("click", () => { confirm.hidden = false; typed.value = ""; typed.focus(); });
    cancel.addEventListener("click", () => { confirm.hidden = true; });
    go.addEventListener("click", (event) => runAction(event.target, async () => {
      const reply = await callProgram("settings", { Group: "maintenance", Action: action.Action, Confirm: typed.value });
      confirm.hidden = true;
      await this.followUp(action, reply.Result);
    }));
    box.append(start, confirm);
    return box;
  }

  async followUp(action, result) {
    const name = action.Action[0].toUpperCase() + action.Action.slice(1);
    if (result === "done") return showMessage(name + ": done.", "ok");
    if (result === "failed") throw new Error(name + ": the receiver answered that it failed.");
    if (result === "no answer yet") return showMessage(name + ": sent; the receiver has not answered yet.", "ok");
    showMessage(name + ": sent. Waiting for the receiver…", "ok");
    if (action.Operation === "ENTRY_SHUTDOWN_OP") return this.awaitOff();
    return this.awaitReturn();
  }

  // The receiver's running time restarts from 0 (or it stops answering) and then counts again.
  async awaitReturn() {
    let away = false;
    for (let tries = 0; tries < 600; ++tries) {
      await new Promise((done) => setTimeout(done, 1000));
      let running = null;
      try {
        running = (await callProgram("settings", { Group: "health" }, { refresh: true })).Values.RunningTime;
      } catch (error) {
        away = true;
        continue;
      }
      if (running === 0) away = true;
      else if (away && typeof running === "number") return showMessage("The receiver has restarted and is back.", "ok");
    }
    throw new Error("The receiver has not come back within 10 minutes.");
  }

  async awaitOff() {
    for (let tries = 0; tries < 120; ++tries) {
      await new Promise((done) => setTimeout(done, 1000));
      try {
        const health = await callProgram("settings", { Group: "health" }, { refresh: true });
        if (health.Values.Power === 1) return showMessage("The receiver is shut down.", "ok");
      } catch (error) {
        return showMessage("The receiver is off: it no longer answers.", "ok");
      }
    }
    throw new Error("The receiver still answers two minutes after the shut-down was sent.");
  }
}

// ---- The sections of a page -----------------------------------------------------------------

// Builds the sections the box's data-groups names (all groups when it names none), loads them,
// and refreshes their live values every data-refresh milliseconds when it is set.
async function loadGroups(box) {
  let described = await settingsDescription(false);
  const wanted = (box.dataset.groups || "").split(/\s+/).filter(Boolean);
  const groups = wanted.length ? wanted.map((name) => described.Groups.find((group) => group.Group === name))
    : described.Groups.filter((group) => !group.Program);  // a group of another program's requests
  box.replaceChildren();
  const sections = [];
  for (const group of groups) {
    if (!group) continue;
    const section = group.Maintenance ? new MaintenanceSection(group) : new GroupSection(group);
    box.appendChild(section.section);
    await section.load();
    // A key the kept description does not know: the program changed meanwhile.
    if (section.read && Object.keys(section.read.Values).some((key) => !section.row(key))) {
      sessionStorage.removeItem(SETTINGS_DESCRIPTION_KEY);
      described = await settingsDescription(true);
      return loadGroups(box);
    }
    sections.push(section);
  }
  const every = Number(box.dataset.refresh || 0);
  if (every > 0) {
    setInterval(() => {
      if (!document.hidden) Promise.all(sections.map((section) => section.refresh())).catch(() => {});
    }, every);
  }
  return sections;
}
