// The work-mode page: rolekind's status report as a form, and its requests.
"use strict";

const $ = (id) => document.getElementById(id);

// ---- The rules, from rolekind's rows in the settings program's description ----
// Each input is bound to the form and key of the request it fills; its rule, its choices and
// the message for a bad value are the program's (docs/settings.md). rolekind checks again.

let workmode = null;  // the "workmode" group of the description

const FIELDS = {
  "mode-select": ["Mode", "Mode"],
  "base-id": ["Key 2", "Station.ID"],
  "height": ["Key 2", "Station.Height"],
  "sb-position": ["Modify", "Modify"],
  "sb-id": ["Modify", "Station.ID"],
  "sb-height": ["Modify", "Station.Height"],
};
// An angle's inputs are checked by the base form's rules; a list position packs them after.
for (const [prefix, hemisphereForm] of [["", "Key 2"], ["sb-", "Modify"]])
  for (const [short, name] of [["lat", "Latitude"], ["lon", "Longitude"]]) {
    for (const part of ["DEG", "MIN", "SEC"])
      FIELDS[prefix + short + "-" + part.toLowerCase()] = ["Key 2", "Station.Coordinate." + name + "." + part];
    FIELDS[prefix + short + "-hem"] = [hemisphereForm, "Station.Coordinate." + name + ".HEM"];
  }

function ruleOf(id) {
  const [form, key] = FIELDS[id];
  return workmode.Keys.find((row) => row.Form === form && row.Key === key);
}

// What a person is told the rule is, in the input's tooltip.
function ruleText(row) {
  if (row.Type === "Number") return "Whole number, " + row.Min + " to " + row.Max;
  if (row.Type === "Decimal")
    return row.MaxBelow !== undefined ? row.Min + " up to " + row.MaxBelow + ", such as 27.36" : row.Min + " to " + row.Max;
  if (row.Type === "Text") return (row.MinLength ? "Not empty, " : "") + "printable ASCII, at most " + row.MaxLength + " characters";
  return "";
}

function buildInputs() {
  for (const id of Object.keys(FIELDS)) {
    const row = ruleOf(id);
    const field = $(id);
    if (row.Type === "Choice") {
      field.replaceChildren(...row.Choices.map((choice) => {
        const option = element("option", choice.Text);
        option.value = choice.Value;
        return option;
      }));
    } else if (row.Type === "Number" && field.tagName === "SELECT") {
      for (let value = row.Min; value <= row.Max; ++value) field.appendChild(element("option", String(value)));
    } else {
      field.title = ruleText(row);
      if (row.MaxLength) field.maxLength = row.MaxLength;
    }
  }
}

// ---- Checks before sending: the row's rule, refused with the row's "Error" ----
// Numbers are plain decimals in full (no sign but a signed row's "-", no exponent, no spaces).

function refuse(id, text) {
  const field = $(id);
  field.setAttribute("aria-invalid", "true");
  field.focus();
  throw new Error(text);
}

function keepsRule(row, text) {
  if (row.Type === "Number") return /^\d+$/.test(text) && Number(text) >= row.Min && Number(text) <= row.Max;
  if (row.Type === "Decimal") {
    if (!(row.Signed ? /^-?\d+(\.\d+)?$/ : /^\d+(\.\d+)?$/).test(text)) return false;
    const value = Number(text);
    return value >= row.Min && (row.MaxBelow !== undefined ? value < row.MaxBelow : value <= row.Max);
  }
  if (row.Type === "Text")
    return text.length >= (row.MinLength || 0) && text.length <= row.MaxLength && /^[\x20-\x7E]*$/.test(text);
  if (row.Type === "Choice") return row.Choices.some((choice) => choice.Value === text);
  return true;
}

function checked(id) {
  const field = $(id);
  field.removeAttribute("aria-invalid");
  const text = field.value.trim();
  const row = ruleOf(id);
  if (!keepsRule(row, text)) refuse(id, row.Error);
  return text;
}

function angle(prefix) {
  const value = {};
  for (const part of ["DEG", "MIN", "SEC", "HEM"]) value[part] = checked(prefix + "-" + part.toLowerCase());
  return value;
}

// ---- Showing the status report ----

function showAngle(prefix, value) {
  $(prefix + "-deg").value = value.DEG;
  $(prefix + "-min").value = value.MIN;
  $(prefix + "-sec").value = value.SEC;
  if (value.HEM) $(prefix + "-hem").value = value.HEM;
}

// The SmartBase list keeps an angle packed as DD.MMSSsssss in "DEG"; its digits are read and
// written as text, so that nothing is lost to rounding on the way.
function unpackAngle(packed, hem) {
  const [whole, fraction = ""] = String(packed).split(".");
  const digits = fraction.padEnd(4, "0");
  const seconds = digits.slice(2, 4) + "." + (digits.slice(4) || "0");
  return { DEG: String(Number(whole)), MIN: String(Number(digits.slice(0, 2))), SEC: seconds, HEM: hem };
}

function packAngle(value) {
  let seconds = Number(value.SEC).toFixed(5);
  if (seconds.startsWith("60")) seconds = "59.99999";  // rounded up to a whole minute: keep it in this one
  const [whole, fraction] = seconds.split(".");
  return { DEG: value.DEG + "." + value.MIN.padStart(2, "0") + whole.padStart(2, "0") + fraction,
           MIN: "0.00", SEC: "0.00", HEM: value.HEM };
}

function showSmartBaseAngle(prefix, value) {
  const angle = unpackAngle(value.DEG, value.HEM);
  showAngle(prefix, { ...angle, SEC: String(Number(angle.SEC)) });
}

// A position nobody has set (no identifier, no coordinate) shows as an empty row.
function unused(station) {
  return station.ID === "" && Number(station.Coordinate.Latitude.DEG) === 0 &&
         Number(station.Coordinate.Longitude.DEG) === 0 && Number(station.Height) === 0;
}

function smartBaseRow(position, station) {
  const row = document.createElement("tr");
  row.dataset.position = position;
  const lat = station.Coordinate.Latitude;
  const lon = station.Coordinate.Longitude;
  const empty = unused(station);
  row.appendChild(element("td", String(position)));
  row.appendChild(element("td", station.ID));
  // All five stored decimals of the seconds, exactly as stored.
  row.appendChild(element("td", empty ? "" : formatAngle(unpackAngle(lat.DEG, lat.HEM), 5)));
  row.appendChild(element("td", empty ? "" : formatAngle(unpackAngle(lon.DEG, lon.HEM), 5)));
  row.appendChild(element("td", empty ? "" : station.Height));
  row.appendChild(element("td", station.StationState === 1 ? "yes" : ""));
  const edit = element("button", empty ? "Set" : "Edit", "secondary");
  edit.addEventListener("click", () => {
    $("sb-position").value = String(position);
    $("sb-id").value = station.ID;
    showSmartBaseAngle("sb-lat", lat);
    showSmartBaseAngle("sb-lon", lon);
    $("sb-height").value = station.Height;
  });
  const cell = element("td");
  cell.appendChild(edit);
  row.appendChild(cell);
  return row;
}

async function loadStatus() {
  const status = await callProgram("rolekind", {});
  const mode = workmode.Modes.find((named) => named.Value === status.Mode);
  $("current-mode").textContent = mode ? mode.Text : "mode " + status.Mode;
  // The request that picks the mode shown (SmartBase is asked for as 3 and stored as 4).
  const choice = mode && ruleOf("mode-select").Choices.find((named) => named.Text === mode.Text);
  if (choice) $("mode-select").value = choice.Value;
  $("rover-pps").checked = status.Rover.PPS === "ON";
  $("rover-event").checked = status.Rover.EVENT === "ON";
  $("single-pps").checked = status.SinglePoint.PPS === "ON";
  $("single-event").checked = status.SinglePoint.EVENT === "ON";
  const base = status.Station;
  $("base-state").textContent = base.StationState === 1 ? "running" : "stopped";
  $("base-id").value = base.ID;
  $("height").value = base.Height;
  showAngle("lat", base.Coordinate.Latitude);
  showAngle("lon", base.Coordinate.Longitude);
  const body = document.querySelector("#smartbase tbody");
  body.replaceChildren();
  const positions = ruleOf("sb-position");
  for (let position = positions.Min; position <= positions.Max; ++position)
    body.appendChild(smartBaseRow(position, status["Station" + position]));
}

// ---- Requests ----

function switches(pps, event, clk) {
  return { PPS: $(pps).checked ? "ON" : "OFF", EVENT: $(event).checked ? "ON" : "OFF", CLK: clk };
}

async function applyMode() {
  const mode = $("mode-select").value;
  let reply;
  if (mode === "0") reply = await callProgram("rolekind", { Mode: "0", Rover: switches("rover-pps", "rover-event", "OFF") });
  else if (mode === "2") reply = await callProgram("rolekind", { Mode: "2", SinglePoint: switches("single-pps", "single-event", "ON") });
  else reply = await callProgram("rolekind", { Mode: "3" });
  await loadStatus();
  if (reply.Station && reply.Station.StationNum !== undefined)
    return "SmartBase mode: station " + reply.Station.StationNum + " in use.";
  return "Work mode applied.";
}

async function startBase() {
  const request = {
    Key: "2",
    Station: {
      ID: checked("base-id"),
      Coordinate: { Longitude: angle("lon"), Latitude: angle("lat") },
      Height: checked("height"),
    },
  };
  const reply = await callProgram("rolekind", request);
  if (!reply.Station || reply.Station.StationState !== 1) throw new Error("The base station did not start.");
  await loadStatus();
}

async function stopBase() {
  await callProgram("rolekind", { Key: "3" });
  await loadStatus();
}

async function useCurrentPosition() {
  const reply = await callProgram("rolekind", { Key: "1" });
  showAngle("lat", reply.Station.Coordinate.Latitude);
  showAngle("lon", reply.Station.Coordinate.Longitude);
  $("height").value = reply.Station.Height;
}

async function saveSmartBase() {
  const request = {
    Modify: checked("sb-position"),
    Station: {
      ID: checked("sb-id"),
      Coordinate: { Longitude: packAngle(angle("sb-lon")), Latitude: packAngle(angle("sb-lat")) },
      Height: checked("sb-height"),
    },
  };
  await callProgram("rolekind", request);
  await loadStatus();
}

let outcome = "";
$("apply-mode").addEventListener("click", (e) => runAction(e.target, async () => { outcome = await applyMode(); showMessage(outcome, "ok"); }));
$("base-start").addEventListener("click", (e) => runAction(e.target, startBase, "Base station started."));
$("base-stop").addEventListener("click", (e) => runAction(e.target, stopBase, "Base station stopped."));
$("base-here").addEventListener("click", (e) => runAction(e.target, useCurrentPosition, "Current position filled in."));
$("sb-save").addEventListener("click", (e) => runAction(e.target, saveSmartBase, "SmartBase position saved."));
runAction(null, async () => {
  const find = (described) => described.Groups.find((group) => group.Group === "workmode");
  workmode = find(await settingsDescription(false)) || find(await settingsDescription(true));
  buildInputs();
  await loadStatus();
});
runAction(null, () => loadGroups(document.getElementById("antenna")));
