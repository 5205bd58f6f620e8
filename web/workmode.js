// The work-mode page: rolekind's status report as a form, and its requests.
"use strict";

const MODES = ["Rover", "Base station", "Single point", "Automatic base", "SmartBase"];
const $ = (id) => document.getElementById(id);

// ---- Checks before sending (rolekind's own checks stay the authority) ----

function wholeNumber(id, name, low, high) {
  const text = $(id).value.trim();
  if (!/^\d+$/.test(text) || Number(text) < low || Number(text) > high)
    throw new Error(name + " must be a whole number from " + low + " to " + high + ".");
  return text;
}

function decimal(id, name, low, high) {
  const text = $(id).value.trim();
  const value = Number(text);
  if (text === "" || !Number.isFinite(value) || value < low || value >= high)
    throw new Error(name + " must be a number from " + low + " up to " + high + ".");
  return text;
}

function identifier(id) {
  const text = $(id).value.trim();
  if (text === "") throw new Error("The identifier must not be empty.");
  if (new TextEncoder().encode(text).length > 15) throw new Error("The identifier holds at most 15 bytes.");
  return text;
}

function height(id) {
  const text = $(id).value.trim();
  if (text === "" || !Number.isFinite(Number(text))) throw new Error("The height must be a number of metres.");
  return text;
}

function hemisphere(id, letters) {
  const text = $(id).value;
  if (!letters.includes(text)) throw new Error("The hemisphere must be " + letters.join(" or ") + ".");
  return text;
}

function angle(prefix, maxDegrees, letters) {
  const name = prefix === "lat" ? "Latitude" : "Longitude";
  return {
    DEG: wholeNumber(prefix + "-deg", name + " degrees", 0, maxDegrees),
    MIN: wholeNumber(prefix + "-min", name + " minutes", 0, 59),
    SEC: decimal(prefix + "-sec", name + " seconds", 0, 60),
    HEM: hemisphere(prefix + "-hem", letters),
  };
}

// ---- Showing the status report ----

function showAngle(prefix, value) {
  $(prefix + "-deg").value = value.DEG;
  $(prefix + "-min").value = value.MIN;
  $(prefix + "-sec").value = value.SEC;
  if (value.HEM) $(prefix + "-hem").value = value.HEM;
}

function smartBaseRow(position, station) {
  const row = document.createElement("tr");
  row.dataset.position = position;
  const lat = station.Coordinate.Latitude;
  const lon = station.Coordinate.Longitude;
  row.appendChild(element("td", String(position)));
  row.appendChild(element("td", station.ID));
  row.appendChild(element("td", lat.DEG + " " + lat.HEM));
  row.appendChild(element("td", lon.DEG + " " + lon.HEM));
  row.appendChild(element("td", station.Height));
  row.appendChild(element("td", station.StationState === 1 ? "yes" : ""));
  const edit = element("button", "Edit", "secondary");
  edit.addEventListener("click", () => {
    $("sb-position").value = String(position);
    $("sb-id").value = station.ID;
    $("sb-lat").value = lat.DEG;
    $("sb-lon").value = lon.DEG;
    if (lat.HEM) $("sb-lat-hem").value = lat.HEM;
    if (lon.HEM) $("sb-lon-hem").value = lon.HEM;
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
        Longitude: { DEG: decimal("sb-lon", "Longitude", 0, 181), MIN: "0.00", SEC: "0.00", HEM: hemisphere("sb-lon-hem", ["E", "W"]) },
        Latitude: { DEG: decimal("sb-lat", "Latitude", 0, 91), MIN: "0.00", SEC: "0.00", HEM: hemisphere("sb-lat-hem", ["N", "S"]) },
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
