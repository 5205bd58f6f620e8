// The change log, newest first, a page at a time, filtered by user and by kind.
"use strict";

const kPage = 100;
let oldestShown = 0;

function changeText(change) {
  return change.Key + ": " + (change.Old === "" ? "–" : change.Old) + " → " + (change.New === "" ? "–" : change.New);
}

function addRecord(body, record) {
  const row = document.createElement("tr");
  row.append(element("td", record.Time.replace("T", " ").replace("Z", "")), element("td", record.User),
             element("td", record.Client), element("td", record.Kind));
  const changes = element("td");
  for (const change of record.Changes) changes.append(element("div", changeText(change)));
  row.append(changes, element("td", record.Outcome, record.Outcome === "Success" ? "" : "error"));
  body.append(row);
}

async function showRecords(more) {
  const request = { Limit: kPage };
  const user = document.getElementById("user").value.trim();
  const kind = document.getElementById("kind").value;
  if (user) request.User = user;
  if (kind) request.Kind = kind;
  if (more) request.Before = oldestShown;
  const reply = await callProgram("changelog", request);
  const body = document.querySelector("#records tbody");
  if (!more) body.replaceChildren();
  for (const record of reply.Records) addRecord(body, record);
  if (reply.Records.length > 0) oldestShown = reply.Records[reply.Records.length - 1].Id;
  document.getElementById("older").hidden = reply.Records.length < kPage;
  if (!more && reply.Records.length === 0) showMessage("No records.", "ok");
}

document.getElementById("show").addEventListener("click", (event) => runAction(event.target, () => showRecords(false)));
document.getElementById("older").addEventListener("click", (event) => runAction(event.target, () => showRecords(true)));
runAction(null, () => showRecords(false));
