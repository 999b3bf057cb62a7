// Orvane bridge: tells a page of the web system's sites what became of the commands it set, as the DOM
// event "orvane:result" on its window, with {name, value, ok, reason, text}. Registered for the policy's
// sites only; a page that does not listen sees nothing.
if (!globalThis.orvaneResultListening) {
  globalThis.orvaneResultListening = true;
  chrome.runtime.onMessage.addListener((message) => {
    if (!message || message.type !== "orvane:result") return;
    const detail = { name: message.name, value: message.value, ok: message.ok, reason: message.reason, text: message.text };
    // Firefox hands a page only what is cloned into its own scope; Chromium clones the detail itself.
    const shared = typeof cloneInto === "function" ? cloneInto(detail, window) : detail;
    window.dispatchEvent(new CustomEvent("orvane:result", { detail: shared }));
  });
}
