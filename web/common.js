// What both pages share: talking to the programs and showing the outcome.
"use strict";

// Every request is a POST with a JSON body: a GET query string is not URL-decoded. The URL
// is built from the page's origin. The session cookie goes with it (same origin only). A
// page's own refresh says so, and does not keep the session alive. When the session has
// ended, the page goes to the login page, which brings it back afterwards.
async function callProgram(program, request, { refresh = false } = {}) {
  let response;
  const headers = { "Content-Type": "application/json" };
  if (refresh) headers["X-Grshm-Refresh"] = "1";
  try {
    response = await fetch(new URL("/cgi-bin/" + program, location.origin), {
      method: "POST",
      headers,
      body: JSON.stringify(request),
      credentials: "same-origin",
    });
  } catch (error) {
    throw new Error("The receiver did not answer (" + error.message + ").");
  }
  if (response.status === 401 && program !== "login") {
    goToLogin();
    throw new Error("The session has ended: log in again.");
  }
  const text = await response.text();
  let reply;
  try {
    reply = JSON.parse(text);
  } catch (error) {
    if (!response.ok) throw new Error("The receiver answered with HTTP status " + response.status + ".");
    throw new Error("The receiver's answer could not be read.");
  }
  if (reply.Res === "Failed") throw new Error(reply.Error || "The receiver refused the request.");
  if (!response.ok) throw new Error("The receiver answered with HTTP status " + response.status + ".");
  return reply;
}

function goToLogin() {
  location.assign("login.html?next=" + encodeURIComponent(location.pathname.replace(/^\/+/, "")));
}

// Who is logged in, beside the page links, with the way out.
async function showAccount() {
  const header = document.querySelector("header");
  if (!header || document.getElementById("account")) return;
  const account = element("span", "", "account");
  account.id = "account";
  const who = element("span");
  who.id = "who";
  const logout = element("button", "Log out");
  logout.id = "logout";
  logout.type = "button";
  account.append(who, logout);
  header.append(account);
  logout.addEventListener("click", async () => {
    try {
      await callProgram("login", { Logout: true });
    } finally {
      goToLogin();
    }
  });
  try {
    const session = await callProgram("login", {});
    who.textContent = session.User + " (" + session.Role + ")";
  } catch (error) {
    goToLogin();
  }
}
if (!location.pathname.endsWith("/login.html")) document.addEventListener("DOMContentLoaded", showAccount);

function showMessage(text, kind) {
  const box = document.getElementById("message");
  box.textContent = text;
  box.className = "message " + kind;
}

function clearMessage() {
  document.getElementById("message").className = "message";
}

// Runs an action with its button disabled, and shows a failure as an error, never as success.
async function runAction(button, action, successText) {
  if (button) button.disabled = true;
  clearMessage();
  try {
    await action();
    if (successText) showMessage(successText, "ok");
  } catch (error) {
    showMessage(error.message, "error");
  } finally {
    if (button) button.disabled = false;
  }
}

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = text;
  if (className) node.className = className;
  return node;
}

// An angle object of the programs ({DEG, MIN, SEC, HEM} texts) as a person reads it, with
// the seconds to so many decimals (4: about 3 mm).
function formatAngle(angle, decimals = 4) {
  if (!angle) return "–";
  return angle.DEG + "° " + angle.MIN + "′ " + Number(angle.SEC).toFixed(decimals) + "″ " + angle.HEM;
}

// ---- Inputs built from a program's description of its rows (docs/settings.md) --------------

// A value as a person reads it: a choice by its text, a secret hidden, with its unit.
function valueText(row, value) {
  if (row.Secret) return value ? "••••••" : "";
  const unit = row.Unit ? " " + row.Unit : "";
  if (row.Choices) {
    const choice = row.Choices.find((option) => option.Value === value);
    if (choice) return choice.Text + unit;
  }
  if (typeof value === "boolean") return value ? "on" : "off";
  return String(value) + unit;
}

// ---- Checking a value by its row, with the row's own message --------------------------------

function onStep(value, row) {
  if (!row.Step) return true;
  const nearest = row.Min + Math.round((value - row.Min) / row.Step) * row.Step;
  return Math.abs(value - nearest) <= Math.max(1e-9, Math.abs(value) * 1.2e-7); // as near as a float holds it
}

function takes(row, value) {
  switch (row.Type) {
    case "Number":
      return Number.isInteger(value) && value >= row.Min && value <= row.Max && onStep(value, row);
    case "Decimal":
      return Number.isFinite(value) && value >= row.Min && value <= row.Max && onStep(value, row);
    case "Flag":
      return typeof value === "boolean";
    case "Text":
      return typeof value === "string" && value.length <= row.MaxLength && /^[\x20-\x7e]*$/.test(value);
    case "Address":
      return typeof value === "string" && /^\d{1,3}(\.\d{1,3}){3}$/.test(value) &&
        value.split(".").every((octet) => Number(octet) <= 255);
    case "Choice":
      return row.Choices.some((choice) => choice.Value === value);
    default:
      return true;
  }
}

function select(row, value) {
  const input = document.createElement("select");
  for (const choice of row.Choices) {
    const option = element("option", choice.Text);
    option.value = String(choice.Value);
    input.appendChild(option);
  }
  if (!row.Choices.some((choice) => choice.Value === value)) {
    const stored = element("option", String(value) + " (as stored)"); // a code no choice names
    stored.value = String(value);
    input.appendChild(stored);
  }
  input.value = String(value);
  return input;
}

// The input for one row: its type, limits and choices from its description.
function fieldInput(row, value) {
  if (row.Type === "Flag") {
    const box = document.createElement("input");
    box.type = "checkbox";
    box.checked = value;
    return box;
  }
  if (row.Type === "Choice") return select(row, value);
  const input = document.createElement("input");
  if (row.Type === "Number" || row.Type === "Decimal") {
    input.type = "number";
    input.min = row.Min;
    input.max = row.Max;
    input.step = row.Step || "any";
    input.className = "short";
  } else if (row.Type === "Text") {
    input.maxLength = row.MaxLength;
    if (row.Secret) input.type = "password";
  }
  input.value = String(value);
  return input;
}

function inputValue(row, input) {
  if (row.Type === "Flag") return input.checked;
  if (row.Type === "Number" || row.Type === "Decimal" || row.Type === "Choice")
    return input.value.trim() === "" ? NaN : Number(input.value);
  return input.value;
}
