// The status page: fix and position, satellites in view, sky plot and signal bars, refreshed
// about once a second while the tab is visible.
"use strict";

const SVG = "http://www.w3.org/2000/svg";
const SYSTEMS = [
  { key: "GPS", color: "#1f5fbf" },
  { key: "BeiDou", color: "#c0392b" },
  { key: "GLONASS", color: "#1e8449" },
  { key: "Galileo", color: "#7d3c98" },
  { key: "SBAS", color: "#b9770e" },
];
const RADIUS = 100; // the horizon on the sky plot; the zenith is its centre

function svg(tag, attributes, text) {
  const node = document.createElementNS(SVG, tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

function setText(id, text) {
  document.getElementById(id).textContent = text;
}

// A height with its unit as a person reads it (the sentence's "M" is metres); the report
// leaves out a height the receiver did not send.
function height(position, key) {
  if (!position || position[key] === undefined) return "–";
  const unit = position[key + "Unit"];
  return position[key].toFixed(3) + " " + (unit === "M" ? "m" : unit);
}

function showFix(fix, position) {
  const badge = document.getElementById("fix");
  badge.textContent = fix.Name;
  badge.className = "fix fix-" + fix.Quality;
  setText("used", fix.Satellites !== undefined ? fix.Satellites : "–");
  setText("hdop", fix.HDOP !== undefined ? fix.HDOP.toFixed(2) : "–");
  setText("utc", fix.UTC || "–");
  setText("latitude", position ? formatAngle(position.Coordinate.Latitude) : "no position");
  setText("longitude", position ? formatAngle(position.Coordinate.Longitude) : "no position");
  setText("altitude", height(position, "Altitude"));
  setText("undulation", height(position, "Undulation"));
  setText("age", position && position.Age ? position.Age + " s" : "–");
  setText("station", position && position.Station ? position.Station : "–");
}

// Stronger signals are drawn more solid; a satellite without a signal is an outline.
function markFill(system, satellite) {
  if (satellite.SNR === undefined) return { fill: "#fff", "fill-opacity": 1, stroke: system.color };
  const strength = Math.min(satellite.SNR, 50) / 50;
  return { fill: system.color, "fill-opacity": (0.3 + 0.7 * strength).toFixed(2), stroke: system.color };
}

function drawSky(report) {
  const sky = document.getElementById("sky");
  sky.replaceChildren();
  for (const elevation of [0, 30, 60]) {
    sky.append(svg("circle", { class: "ring", r: (RADIUS * (90 - elevation)) / 90 }));
  }
  sky.append(svg("line", { class: "ring", x1: 0, y1: -RADIUS, x2: 0, y2: RADIUS }));
  sky.append(svg("line", { class: "ring", x1: -RADIUS, y1: 0, x2: RADIUS, y2: 0 }));
  for (const [label, x, y] of [["N", 0, -110], ["E", 110, 0], ["S", 0, 110], ["W", -110, 0]]) {
    sky.append(svg("text", { x, y }, label));
  }
  for (const system of SYSTEMS) {
    for (const satellite of report.Satellites[system.key].List) {
      if (satellite.Elevation === undefined || satellite.Azimuth === undefined) continue;
      const r = (RADIUS * (90 - satellite.Elevation)) / 90;
      const angle = (satellite.Azimuth * Math.PI) / 180; // clockwise from north
      const mark = svg("g", { class: "sat-mark", "data-system": system.key,
                              transform: `translate(${(r * Math.sin(angle)).toFixed(1)},${(-r * Math.cos(angle)).toFixed(1)})` });
      mark.append(svg("title", {}, `${system.key} ${satellite.Number}`));
      mark.append(svg("circle", { r: 7, ...markFill(system, satellite) }));
      const label = svg("text", {}, satellite.Number);
      if (satellite.SNR === undefined) label.style.fill = system.color;
      mark.append(label);
      sky.append(mark);
    }
  }
}

function drawBars(report) {
  const bars = document.getElementById("bars");
  bars.replaceChildren();
  for (const system of SYSTEMS) {
    const list = report.Satellites[system.key].List;
    if (list.length === 0) continue;
    const group = element("div", undefined, "bar-group");
    group.append(element("h3", `${system.key} (${list.length})`));
    const row = element("div", undefined, "bars");
    for (const satellite of list) {
      const bar = element("div", satellite.Number);
      bar.style.height = ((satellite.SNR || 0) * 2) + "%";
      bar.style.minHeight = "1.2em";
      bar.style.background = satellite.SNR === undefined ? "#c9d3d8" : system.color;
      bar.title = `${system.key} ${satellite.Number}: ` + (satellite.SNR === undefined ? "no signal" : satellite.SNR + " dB-Hz");
      row.append(bar);
    }
    group.append(row);
    bars.append(group);
  }
}

function fillTable(report) {
  const body = document.querySelector("#satellites tbody");
  body.replaceChildren();
  let total = 0;
  for (const system of SYSTEMS) {
    for (const satellite of report.Satellites[system.key].List) {
      const row = element("tr");
      row.dataset.system = system.key;
      for (const value of [system.key, satellite.Number, satellite.Elevation, satellite.Azimuth, satellite.SNR]) {
        row.append(element("td", value === undefined ? "–" : String(value)));
      }
      body.append(row);
      ++total;
    }
  }
  setText("in-view", String(total));
}

function drawLegend() {
  const legend = document.getElementById("legend");
  for (const system of SYSTEMS) {
    const item = element("span", system.key);
    const dot = element("i");
    dot.style.background = system.color;
    item.prepend(dot);
    legend.append(item);
  }
}

let timer = null;
let busy = false;

async function refresh() {
  timer = null;
  if (busy) return;
  busy = true;
  try {
    const report = await callProgram("gnssreport", {}, { refresh: true });
    showFix(report.Fix, report.Position);
    drawSky(report);
    drawBars(report);
    fillTable(report);
    clearMessage();
  } catch (error) {
    showMessage(error.message, "error");
  } finally {
    busy = false;
    if (!document.hidden && timer === null) timer = setTimeout(refresh, 1000);
  }
}

// Nothing is asked of the receiver while nobody looks.
document.addEventListener("visibilitychange", () => {
  if (document.hidden) {
    clearTimeout(timer);
    timer = null;
  } else if (timer === null) {
    refresh();
  }
});

drawLegend();
refresh();
runAction(null, () => loadGroups(document.getElementById("receiver")));
