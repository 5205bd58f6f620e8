// The work-mode page: rolekind's status report as a form, and its requests.
"use strict";

const MODES = ["Rover", "Base station", "Single point", "Automatic base", "SmartBase"];
const $ = (id) => document.getElementById(id);

// ---- Checks before sending (rolekind's own checks stay the authority) ----
// The same rules as rolekind's: numbers are plain decimals in full (no sign but a height's
// "-", no exponent, no spaces), identifiers printable ASCII. A field that breaks its rule is
// marked and takes the focus.

function refuse(id, text) {
  const field = $(id);
  field.setAttribute("aria-invalid", "true");
  field.focus();
  throw new Error(text);
}

function fieldText(id) {
  $(id).removeAttribute("aria-invalid");
  return $(id).value.trim();
}

function wholeNumber(id, name, low, high) {
  const text = fieldText(id);
  if (!/^\d+$/.test(text) || Number(text) < low || Number(text) > high)
    refuse(id, name + " must be a whole number from " + low + " to " + high + ".");
  return text;
}

function seconds(id, name) {
  const text = fieldText(id);
  if (!/^\d+(\.\d+)?$/.test(text) || Number(text) >= 60)
    refuse(id, name + " must be a number from 0 up to 60, such as 27.36.");
  return text;
}

function identifier(id) {
  const text = fieldText(id);
  if (text === "") refuse(id, "The identifier must not be empty.");
  if (!/^[\x20-\x7E]*$/.test(text)) refuse(id, "The identifier takes only printable ASCII characters.");
  if (text.length > 15) refuse(id, "The identifier holds at most 15 characters.");
  return text;
}

function height(id) {
  const text = fieldText(id);
  if (!/^-?\d+(\.\d+)?$/.test(text) || Number(text) < -1000 || Number(text) > 10000)
    refuse(id, "The height must be a number of metres from -1000 to 10000.");
  return text;
}

function hemisphere(id, letters) {
  const text = fieldText(id);
  if (!letters.includes(text)) refuse(id, "The hemisphere must be " + letters.join(" or ") + ".");
  return text;
}

// An angle is at most 90 (latitude) or 180 degrees (longitude) as a whole.
function angle(prefix, maxDegrees, letters) {
  const name = prefix.endsWith("lat") ? "Latitude" : "Longitude";
  const value = {
    DEG: wholeNumber(prefix + "-deg", name + " degrees", 0, maxDegrees),
    MIN: wholeNumber(prefix + "-min", name + " minutes", 0, 59),
    SEC: seconds(prefix + "-sec", name + " seconds"),
    HEM: hemisphere(prefix + "-hem", letters),
  };
  if (Number(value.DEG) === maxDegrees && (Number(value.MIN) > 0 || Number(value.SEC) > 0))
    refuse(prefix + "-deg", name + " must be at most " + maxDegrees + " degrees.");
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
  $("current-mode").textContent = MODES[status.Mode] || "mode " + status.Mode;
  const choice = { 0: "0", 2: "2", 3: "3", 4: "3" }[status.Mode];  // SmartBase is stored as 4
  if (choice) $("mode-select").value = choice;
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
  for (let position = 1; position <= 30; ++position)
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
      ID: identifier("base-id"),
      Coordinate: { Longitude: angle("lon", 180, ["E", "W"]), Latitude: angle("lat", 90, ["N", "S"]) },
      Height: height("height"),
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
    Modify: $("sb-position").value,
    Station: {
      ID: identifier("sb-id"),
      Coordinate: {
        Longitude: packAngle(angle("sb-lon", 180, ["E", "W"])),
        Latitude: packAngle(angle("sb-lat", 90, ["N", "S"])),
      },
      Height: height("sb-height"),
    },
  };
  await callProgram("rolekind", request);
  await loadStatus();
}

for (let position = 1; position <= 30; ++position) $("sb-position").appendChild(element("option", String(position)));
let outcome = "";
$("apply-mode").addEventListener("click", (e) => runAction(e.target, async () => { outcome = await applyMode(); showMessage(outcome, "ok"); }));
$("base-start").addEventListener("click", (e) => runAction(e.target, startBase, "Base station started."));
$("base-stop").addEventListener("click", (e) => runAction(e.target, stopBase, "Base station stopped."));
$("base-here").addEventListener("click", (e) => runAction(e.target, useCurrentPosition, "Current position filled in."));
$("sb-save").addEventListener("click", (e) => runAction(e.target, saveSmartBase, "SmartBase position saved."));
runAction(null, loadStatus);
runAction(null, () => loadGroups(document.getElementById("antenna")));
