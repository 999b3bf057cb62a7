// orvane.js: commands for the Orvane bridge at the clinic's reception desk, from the web system's pages.
// An ES module without dependencies; copy it into the web system and import it:
//
//   import * as orvane from "./orvane.js";
//   orvane.configure({ cookie: "uketsuke" });           // the desk's cookiename= in sct.txt
//   const outcome = await orvane.receipt({ name: "山田太郎", amount: 4500, tax: 409, staff: 3 });
//   if (!outcome.ok) alert(outcome.text);
//
// Each command sets the command cookie (path=/, a persistent cookie: every route carries it) and
// returns a Promise. With the browser extension, it resolves with the bridge's outcome
// {name, value, ok, reason, text}; it rejects when no answer came within three seconds (no extension,
// the bridge not running: the command may still have been carried out by a cookie folder or Firefox's
// store, which do not answer). A command the channel cannot carry (a ";", a control character, an amount
// that is not a number, a field holding another command's key) is refused before anything is set: the
// Promise rejects with an OrvaneCommandError. docs/COMMANDS.md describes every command.

const KEYS = ["tell", "dicm", "Total", "wel", "nykin", "rsh", "prt", "id"];
const ANSWER_MS = 3000;

let cookieName = "uketsuke";
let maxAge = 3600;

export class OrvaneCommandError extends Error {
  constructor(message) {
    super(message);
    this.name = "OrvaneCommandError";
  }
}

// cookie: the command cookie's name (the desk's cookiename); maxAge: the cookie's life in seconds.
export function configure({ cookie, maxAge: seconds } = {}) {
  if (cookie !== undefined) {
    if (typeof cookie !== "string" || !/^[!#$%&'*+\-.^_`|~0-9A-Za-z]+$/.test(cookie))
      throw new OrvaneCommandError(`not a cookie name: ${cookie}`);
    cookieName = cookie;
  }
  if (seconds !== undefined) {
    if (!Number.isInteger(seconds) || seconds <= 0) throw new OrvaneCommandError(`not a cookie life: ${seconds}`);
    maxAge = seconds;
  }
}

// The outcomes the extension tells this page, matched to the commands waiting for one (oldest first).
const waiting = [];
if (typeof window !== "undefined") {
  window.addEventListener("orvane:result", (event) => {
    const result = event.detail;
    if (!result) return;
    const i = waiting.findIndex((w) => w.name === result.name && w.value === result.value);
    if (i < 0) return;
    const [w] = waiting.splice(i, 1);
    clearTimeout(w.timer);
    const outcome = { name: result.name, value: result.value, ok: result.ok, reason: result.reason, text: result.text };
    if (result.reason === "no-bridge") w.reject(new Error(`Orvane: ${result.text}`));
    else w.resolve(outcome);
  });
}

function send(value) {
  return new Promise((resolve, reject) => {
    const w = { name: cookieName, value, resolve, reject };
    w.timer = setTimeout(() => {
      const i = waiting.indexOf(w);
      if (i >= 0) waiting.splice(i, 1);
      reject(new Error("Orvane: no answer from the desk's bridge within 3 seconds"));
    }, ANSWER_MS);
    waiting.push(w);
    document.cookie = `${cookieName}=${value}; max-age=${maxAge}; path=/`;
  });
}

// What a command's text must not hold: ";" ends a cookie's value, control characters do not pass.
function checkText(what, text) {
  if (/[;\u0000-\u001f\u007f]/.test(text)) throw new OrvaneCommandError(`${what} holds ";" or a control character`);
  return text;
}

// A field of free text: no separator of its command, and no other command's key (the bridge looks for
// each key anywhere in the command: "Stella" would place a call).
function field(what, value, separators = "", { empty = true, max = Infinity } = {}) {
  const text = checkText(what, value === undefined || value === null ? "" : String(value));
  if (!empty && text === "") throw new OrvaneCommandError(`${what} is missing`);
  if (text.length > max) throw new OrvaneCommandError(`${what} is longer than ${max} characters`);
  for (const c of separators) if (text.includes(c)) throw new OrvaneCommandError(`${what} holds "${c}"`);
  for (const key of KEYS) if (text.includes(key)) throw new OrvaneCommandError(`${what} holds "${key}", a command's key`);
  return text;
}

// An amount: a number, or a text that is a number as a whole (sign, decimal point, thousands commas).
function amount(what, value, { optional = false } = {}) {
  if ((value === undefined || value === null || value === "") && optional) return "";
  const text = typeof value === "number" && Number.isFinite(value) ? String(value) : String(value ?? "");
  if (!/^[+-]?\d+(?:,\d{3})*(?:\.\d+)?$/.test(text)) throw new OrvaneCommandError(`${what} is not a number: ${text}`);
  return text;
}

function command(build) {
  try {
    return send(checkText("the command", build()));
  } catch (e) {
    return Promise.reject(e);
  }
}

// The customer display.
export const total = (value) => command(() => "Total" + amount("the total", value));
export const welcome = () => command(() => "wel");
export const payment = (paid, change) =>
  command(() => {
    const text = amount("the amount paid", paid) + "/" + amount("the change", change);
    if (text.length > 11) throw new OrvaneCommandError("the amount paid and the change are too long");
    return "nykin" + text;
  });
export const item = ({ code, price, quantity, amount: value }) =>
  command(
    () =>
      "id" +
      field("the item code", code, "", { empty: false }) +
      "tanka" +
      amount("the unit price", price) +
      "suu" +
      amount("the quantity", quantity) +
      "kin" +
      amount("the amount", value),
  );

// A call through the desk's telephony.
export const call = (number) =>
  command(() => {
    const text = field("the number", number, "", { empty: false, max: 30 });
    if (!/^[0-9+*#\- ()]+$/.test(text)) throw new OrvaneCommandError(`not a telephone number: ${text}`);
    return "tell" + text;
  });

// The DICOM viewer, with its arguments ("path" in them becomes the desk's image folder).
export const viewer = (args) => command(() => "dicm" + field("the viewer's arguments", args, "", { max: 200 }));

// A numbered receipt. name: the customer (empty: left blank); amount: received; tax and staff may be
// left out (a tax-free fee, no staff member).
export const receipt = ({ name, amount: received, tax, staff }) =>
  command(() => {
    const customer = field("the name", name, "/様") || "未設定";
    return (
      "rsh" +
      customer +
      "様/" +
      amount("the amount", received) +
      "/" +
      amount("the tax", tax, { optional: true }) +
      "/" +
      amount("the staff number", staff, { optional: true })
    );
  });

// An itemised statement. items: [{unit, name, quantity, price, amount}]; date: a Date or "YYYY-MM-DD";
// insurance: true for the insurance line.
export const statement = ({
  number,
  addressee,
  items = [],
  fee,
  tax,
  received,
  change,
  staff,
  card,
  balance,
  insured,
  date,
  insurance = false,
}) =>
  command(() => {
    const day =
      date instanceof Date
        ? `${date.getFullYear()}-${String(date.getMonth() + 1).padStart(2, "0")}-${String(date.getDate()).padStart(2, "0")}`
        : field("the date", date, "_", { empty: false });
    if (!/^\d{4}[-/]\d{1,2}[-/]\d{1,2}$/.test(day)) throw new OrvaneCommandError(`not a date: ${day}`);
    const records = items.map(
      (it, i) =>
        [
          field(`item ${i + 1}'s unit`, it.unit, "_?"),
          field(`item ${i + 1}'s name`, it.name, "_?"),
          amount(`item ${i + 1}'s quantity`, it.quantity),
          amount(`item ${i + 1}'s unit price`, it.price),
          amount(`item ${i + 1}'s amount`, it.amount),
        ].join("?"),
    );
    const fields = [
      field("the reception number", number, "_", { empty: false }),
      field("the addressee", addressee, "_"),
      String(records.length),
      ...records,
      amount("the fee", fee),
      amount("the tax", tax ?? 0),
      amount("the cash received", received ?? 0),
      amount("the change", change ?? 0),
      amount("the staff number", staff, { optional: true }),
      "",
      amount("the card payment", card ?? 0),
      amount("the balance", balance ?? 0),
      "",
      amount("the insured amount", insured ?? 0),
      day,
      insurance ? "1" : "0",
    ];
    const text = "prt" + fields.join("_");
    if (text.length > 2003) throw new OrvaneCommandError("the statement is longer than 2,000 characters");
    return text;
  });
