// Orvane bridge: every cookie the watched sites set goes to the desk's bridge through the native host
// "orvane.bridge", over one long-lived port. Each message carries this worker's id and a sequence
// number; the host acknowledges it once the bridge has answered, and whatever was not acknowledged is
// sent again when the port has to be opened anew.
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
    if (typeof message.ack === "number") unacknowledged.delete(message.ack);
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
  unacknowledged.set(message.seq, message);
  if (!port) connect();
  try {
    port.postMessage(message);
  } catch (e) {
    port = null; // sent again on the next connection
  }
}

// A set is a removal (the old cookie, cause "overwrite") and then an addition: only additions are
// commands. A deletion is a removal alone.
chrome.cookies.onChanged.addListener((change) => {
  if (change.removed) return;
  const c = change.cookie;
  send({
    id: worker,
    seq: ++seq,
    setAt: Date.now(),
    cookie: { name: c.name, value: c.value, domain: c.domain, path: c.path, expirationDate: c.expirationDate ?? null },
  });
});

connect();
