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
    cell.colSpan = 7;
    cell.appendChild(messageLists(channel));
    details.appendChild(cell);
    show.addEventListener("click", () => {
      details.hidden = !details.hidden;
      show.textContent = details.hidden ? "Show" : "Hide";
    });
    messages.appendChild(show);
    body.appendChild(row);
    row.appendChild(messages);
    body.appendChild(details);
    return;
  }
  row.appendChild(messages);
  body.appendChild(row);
}

async function loadChannels() {
  const reply = await callProgram("linkreport", {});
  const body = document.querySelector("#channels tbody");
  body.replaceChildren();
  (reply.DataTrans || []).forEach((channel) => channelRow(channel, body));
}

document.getElementById("refresh").addEventListener("click", (event) =>
  runAction(event.target, loadChannels, "Channels refreshed."));
runAction(null, loadChannels);
