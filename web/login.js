// The login page: sends the user and password to the receiver, which answers with a session
// cookie, then goes back to the page that sent the user here.
"use strict";

// Only a page of this site, named by its path: never another site's address.
function nextPage() {
  const next = new URLSearchParams(location.search).get("next") || "";
  return /^[A-Za-z0-9_-]+\.html$/.test(next) ? next : "index.html";
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A login the receiver is too busy for (other logins being checked, or every place of its
// gate taken) is sent again after the second it asks for.
async function logIn(user, password) {
  for (let attempt = 0; ; ++attempt) {
    const response = await fetch(new URL("/cgi-bin/login", location.origin), {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ User: user, Password: password }),
      credentials: "same-origin",
    });
    if ((response.status === 429 || response.status === 503) && attempt < 30) {
      await sleep(1000);
      continue;
    }
    const reply = await response.json().catch(() => ({}));
    if (!response.ok || reply.Res !== "Success") throw new Error(reply.Error || "The receiver refused the login.");
    return reply;
  }
}

document.getElementById("login").addEventListener("submit", (event) => {
  event.preventDefault();
  runAction(document.getElementById("submit"), async () => {
    await logIn(document.getElementById("user").value, document.getElementById("password").value);
    location.assign(nextPage());
  });
});
