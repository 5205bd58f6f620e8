// The settings page: one section per group of the settings program, its inputs built from
// the program's description of its rows ({"Describe": true}, docs/settings.md); nothing here
// knows the receiver's settings. Save sends only what changed, with the revision read.
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

// One group's section: { group, read: {Values, Revision}, inputs: {key: input} }.
class GroupSection {
  constructor(group) {
    this.group = group;
    this.section = element("section");
    this.section.id = "group-" + group.Group;
    this.section.appendChild(element("h2", group.Name));
    this.fields = element("div", undefined, "fields");
    this.section.appendChild(this.fields);
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

  show() {
    this.fields.replaceChildren();
    this.inputs = {};
    this.reload.hidden = true;
    for (const row of this.group.Keys) {
      if (!(row.Key in this.read.Values)) continue;
      const value = this.read.Values[row.Key];
      const label = element("label", row.Label + (row.Unit ? " (" + row.Unit + ")" : ""));
      label.dataset.key = row.Key;
      label.title = row.Key;
      if (!row.Changeable) {
        label.appendChild(element("span", valueText(row, value), "fixed"));
      } else {
        const input = fieldInput(row, value);
        input.name = row.Key;
        this.inputs[row.Key] = input;
        label.appendChild(input);
      }
      label.appendChild(element("span", "", "field-error"));
      this.fields.appendChild(label);
    }
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
      if (!takes(this.row(key), changed[key])) {
        this.fieldError(this.row(key).Error);
        throw new Error(this.row(key).Error);
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

async function loadGroups() {
  let described = await settingsDescription(false);
  const box = document.getElementById("groups");
  box.replaceChildren();
  for (const group of described.Groups) {
    const section = new GroupSection(group);
    box.appendChild(section.section);
    await section.load();
    // A key the kept description does not know: the program changed meanwhile.
    if (Object.keys(section.read.Values).some((key) => !section.row(key))) {
      sessionStorage.removeItem(SETTINGS_DESCRIPTION_KEY);
      described = await settingsDescription(true);
      return loadGroups();
    }
  }
}

runAction(null, loadGroups);
