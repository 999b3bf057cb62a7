// Orvane: Firefox's cookie store as the command channel of the desk's bridge.
// Copy these lines into user.js of the Firefox profile the web system runs in (Firefox not running).

// Let the bridge read the cookie store while Firefox runs, instead of reading a copy of it.
user_pref("storage.sqlite.exclusiveLock.enabled", false);
// Write each cookie to the store at once (by default about half a second later).
user_pref("network.cookie.db.flushIntervalMs", 0);
