// Orvane bridge: the cookies the web system's sites set go to the desk's bridge through the native
// host "orvane.bridge", over one long-lived port. The sites, and the name of the web system's command
// cookie, come from the desk's browser policy (managed storage, written by orvane-browser-setup):
// cookies of any other site, the sites' other cookies once the command cookie is named, and every
// HttpOnly cookie (the server's: a session, never a page's command) stay in the browser.
// Each message carries this worker's id and a sequence number; the host acknowledges it once the bridge
// has answered, and whatever was not acknowledged is sent again when the port has to be opened anew.
// The acknowledgement says what became of the command; the pages of the cookie's site hear it
// (result.js), nobody else.
const HOST = "orvane.bridge";
const worker = crypto.randomUUID();
let seq = 0;
let port = null;
const unacknowledged = new Map();

function connect() {
  port = chrome.runtime.connectNative(HOST);
  // The host tells the bridge which browser and which version of the extension came.
  port.postMessage({ hello: chrome.runtime.getManifest().version });
  port.onMessage.addListener((message) => {
    if (typeof message.ack !== "number") return;
    const sent = unacknowledged.get(message.ack);
    unacknowledged.delete(message.ack);
    if (sent && typeof message.ok === "boolean") tellPages(sent.cookie, message);
  });
  port.onDisconnect.addListener(() => {
    port = null;
    setTimeout(() => {
      if (port) return;
      connect();
      for (const message of unacknowledged.values()) port.postMessage(message);
    }, 200);
  });
}

function send(message) {
  message.seq = ++seq;
  unacknowledged.set(message.seq, message);
  if (!port) connect();
  try {
    port.postMessage(message);
  } catch (e) {
    port = null; // sent again on the next connection
  }
}

// The sites, lower case, from the policy; null until it has been read. Chromium hands an extension its
// policy a few seconds after the browser starts: until then the list the previous start read stands
// in (kept in local storage), so that a page's first command is not held back past the bridge's two
// seconds. A cookie of a host not on that list waits for the policy, and whatever comes after it waits
// too, so that commands keep their order.
let sites = null;
let previousSites = null;
// The command cookie's name ("" for every cookie of the sites), from the policy and from the previous
// start.
let commandCookie = "";
let previousCommandCookie = "";
const waiting = [];

async function readSites() {
  let listed = [];
  let cookie = "";
  try {
    const managed = await chrome.storage.managed.get(["sites", "cookie"]);
    if (Array.isArray(managed.sites)) listed = managed.sites.map((site) => String(site).toLowerCase());
    if (typeof managed.cookie === "string") cookie = managed.cookie;
  } catch (e) {
    // No policy for this extension: no site is the web system's.
  }
  sites = listed;
  commandCookie = cookie;
  chrome.storage.local.set({ sites, cookie });
  handOnWaiting();
  listenOnPages(sites);
}

async function readPreviousSites() {
  const stored = await chrome.storage.local.get(["sites", "cookie"]).catch(() => ({}));
  previousSites = Array.isArray(stored.sites) ? stored.sites : [];
  previousCommandCookie = typeof stored.cookie === "string" ? stored.cookie : "";
  handOnWaiting();
  if (sites === null) listenOnPages(previousSites);
}

// The match patterns of a site's pages (any port): the host, and the hosts below a name.
function patternsOf(site) {
  const host = site.replace(/:\d+$/, "");
  const address = /^[0-9.]+$/.test(host);
  return address ? [`*://${host}/*`] : [`*://${host}/*`, `*://*.${host}/*`];
}

// The outcome goes to the open pages of the cookie's own site.
async function tellPages(cookie, answer) {
  const result = {
    type: "orvane:result",
    name: cookie.name,
    value: cookie.value,
    ok: answer.ok,
    reason: answer.reason ?? null,
    text: answer.text ?? "",
  };
  const tabs = await chrome.tabs.query({ url: patternsOf(cookie.domain.replace(/^\./, "")) }).catch(() => []);
  for (const tab of tabs) chrome.tabs.sendMessage(tab.id, result).catch(() => {});
}

// result.js runs on the pages of the sites (of the policy, or the previous start's until it comes):
// registered for pages to come, and put into those already open.
let resultSites = null;
async function listenOnPages(list) {
  const key = JSON.stringify(list);
  if (resultSites === key) return;
  resultSites = key;
  const matches = list.flatMap(patternsOf);
  await chrome.scripting.unregisterContentScripts({ ids: ["orvane-result"] }).catch(() => {});
  if (matches.length === 0) return;
  try {
    await chrome.scripting.registerContentScripts([
      { id: "orvane-result", matches, js: ["result.js"], runAt: "document_start", persistAcrossSessions: false },
    ]);
  } catch (e) {
    console.warn("Orvane: the pages cannot hear the outcomes:", e);
  }
  const tabs = await chrome.tabs.query({ url: matches }).catch(() => []);
  for (const tab of tabs) {
    chrome.scripting.executeScript({ target: { tabId: tab.id }, files: ["result.js"] }).catch(() => {});
  }
}

// A cookie's host (a domain cookie's without its leading dot) is one of the sites or below one.
function isOneOf(domain, list) {
  const host = domain.replace(/^\./, "").toLowerCase();
  return list.some((site) => host === site || host.endsWith("." + site));
}

// Once a command cookie is named, only it is a command.
function isCommandCookie(name, wanted) {
  return wanted === "" || name === wanted;
}

function handOn(message) {
  const { domain, name } = message.cookie;
  if (sites !== null) {
    if (isOneOf(domain, sites) && isCommandCookie(name, commandCookie)) send(message);
  } else if (previousSites !== null && !isCommandCookie(name, previousCommandCookie)) {
    // Not the command cookie the last policy named: it stays in the browser.
  } else if (waiting.length === 0 && previousSites !== null && isOneOf(domain, previousSites)) {
    send(message);
  } else {
    waiting.push(message);
  }
}

function handOnWaiting() {
  for (const message of waiting.splice(0)) handOn(message);
}

// A set is a removal (the old cookie, cause "overwrite") and then an addition: only additions are
// commands. A deletion is a removal alone.
chrome.cookies.onChanged.addListener((change) => {
  if (change.removed || change.cookie.httpOnly) return;
  const c = change.cookie;
  handOn({
    id: worker,
    setAt: Date.now(),
    cookie: { name: c.name, value: c.value, domain: c.domain, path: c.path, expirationDate: c.expirationDate ?? null },
  });
});

chrome.storage.onChanged.addListener((changes, area) => {
  if (area === "managed") readSites();
});
readPreviousSites();
readSites();
connect();
