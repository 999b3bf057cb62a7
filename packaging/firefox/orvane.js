// Orvane: Firefox's cookie store as the command channel of the desk's bridge.
// System-wide defaults for every profile of Firefox ESR on this machine: copy this file to
// /etc/firefox-esr/ (Debian reads every file there). A profile's own user.js still overrides them.

// Let the bridge read the cookie store while Firefox runs, instead of reading a copy of it.
pref("storage.sqlite.exclusiveLock.enabled", false);
// Write each cookie to the store at once (by default about half a second later).
pref("network.cookie.db.flushIntervalMs", 0);
