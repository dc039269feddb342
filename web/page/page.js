// The page: shows what the libraries answer and asks them for every change.
// No rule of the data is checked here; every refusal is the library's own.

const core = await window.openQuillmereCore();
const $ = (id) => document.getElementById(id);
const alertBox = $("alert");

let image = null;    // what "open" answered: fields, machines, choices
let chosen = -1;     // the species whose lists are shown

function say(message) { alertBox.textContent = message || ""; }
function status(text) { $("status").textContent = text || ""; }

function element(tag, properties = {}, children = []) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(properties)) {
    if (key === "label") node.setAttribute("aria-label", value);
    else if (key === "dataset") Object.assign(node.dataset, value);
    else node[key] = value;
  }
  for (const child of children) node.append(child);
  return node;
}

function options(select, entries, value) {
  select.replaceChildren(...entries.map(([code, text]) => new Option(text, code, false, code === value)));
}

function hex(byte) { return byte.toString(16).toUpperCase().padStart(2, "0"); }

// ---- Opening ---------------------------------------------------------------

async function openFiles(files) {
  const list = [...files];
  const tablesFile = list.find((file) => file.name.toLowerCase().endsWith(".tables"));
  const imageFile = list.find((file) => file !== tablesFile);
  if (!imageFile) { say("Choose the image itself (with its .tables file, if it has one)."); return; }
  for (const [file, what] of [[imageFile, "image"], [tablesFile, "\".tables\" file"]]) {
    const fits = file ? core.call({ op: "fits", what, name: file.name, size: file.size }) : { ok: true };
    if (!fits.ok) { say(fits.message); return; }
  }
  const started = performance.now();
  const bytes = new Uint8Array(await imageFile.arrayBuffer());
  const tables = tablesFile ? await tablesFile.text() : null;
  const answer = core.call({ op: "open", name: imageFile.name, tables }, bytes);
  image = null;
  chosen = -1;
  $("editor").hidden = true;
  $("caption").textContent = "";
  if (!answer.ok) { say(answer.message); return; }
  image = answer;
  say(answer.note);
  $("caption").textContent = answer.name + ": " + (answer.release || answer.caption +
    (answer.layout === "released" ? "" : " (" + answer.layout + " layout)"));
  $("editor").hidden = false;
  buildTable();
  showLists(-1);
  refresh();
  timed("openMs", started);
}

// Notes how long something took, counted until the page has been laid out
// and painted after it (read by the benchmark).
function timed(name, started) {
  requestAnimationFrame(() => setTimeout(() => {
    document.body.dataset[name] = (performance.now() - started).toFixed(1);
  }, 0));
}

$("open-image").addEventListener("change", (event) => {
  if (event.target.files.length > 0) openFiles(event.target.files);
  event.target.value = "";
});
document.addEventListener("dragover", (event) => event.preventDefault());
document.addEventListener("drop", (event) => {
  event.preventDefault();
  if (event.dataTransfer.files.length > 0) openFiles(event.dataTransfer.files);
});

// ---- The species table -----------------------------------------------------

function escaped(text) {
  return String(text).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);
}

// One row of the table as HTML: 251 rows of 25 controls are made far quicker
// by the browser's parser than one element at a time. A list field's control
// holds only its value's entry until it is first used.
function rowHtml(species, position) {
  const cells = [`<span role="cell">${position}</span>`,
    `<span role="cell"><button type="button" class="species-name">` +
    `${escaped(species.name)}</button></span>`];
  image.fields.forEach((field, index) => {
    const label = escaped(field.column + " of " + species.name);
    const data = `data-position="${position}" data-column="${field.column}" data-cell="${index + 2}" ` +
      `aria-label="${label}"`;
    const raw = species.values[index];
    if (field.list) {
      const code = hex(raw);
      const text = raw < field.entries.length ? field.entries[raw] : code;
      cells.push(`<span role="cell"><select ${data} data-value="${code}"><option value="${code}">` +
        `${escaped(text)}</option></select></span>`);
    } else {
      cells.push(`<span role="cell"><input type="text" ${data} value="${escaped(raw)}" ` +
        `data-value="${escaped(raw)}"></span>`);
    }
  });
  return `<div role="row" class="row" data-position="${position}">${cells.join("")}</div>`;
}

// The table is a grid of rows that the browser lays out only when they come
// into view, so that 251 rows of 25 controls open and answer quickly.
function buildTable() {
  const widths = ["4.4rem", "7.5rem"].concat(image.fields.map((field) =>
    field.list ? "9.5rem" : ["Pointer", "Length", "Size", "Groups"].includes(field.column) ? "4.8rem" : "3.6rem"));
  $("species").style.setProperty("--columns", widths.join(" "));
  $("species-head").innerHTML = `<div role="row" class="row">` +
    image.columns.map((text) => `<span role="columnheader">${escaped(text)}</span>`).join("") + "</div>";
  const answer = core.call({ op: "species" });
  $("species-body").innerHTML = answer.rows.map(rowHtml).join("");
}

// Puts the image's values into the table, touching only the controls whose
// value changed (each keeps the value the image holds in data-value).
function showValues(rows) {
  for (const control of $("species-body").querySelectorAll("[data-column]")) {
    const position = Number(control.dataset.position);
    const index = Number(control.dataset.cell) - 2;
    const field = image.fields[index];
    const raw = rows[position].values[index];
    const value = field.list ? hex(raw) : raw;
    if (control.dataset.value === value && control.value === value) continue;
    control.removeAttribute("aria-invalid");
    if (field.list) {
      control.dataset.filled = "";
      options(control, [[value, raw < field.entries.length ? field.entries[raw] : value]], value);
    } else {
      control.value = value;
    }
    control.dataset.value = value;
  }
}

function fillList(select) {
  if (select.dataset.filled === "yes") return;
  const field = image.fields[Number(select.dataset.cell) - 2];
  const value = select.value;
  const entries = field.entries.map((text, index) => [hex(index), text]);
  if (parseInt(value, 16) >= entries.length) entries.push([value, value]);
  options(select, entries, value);
  select.dataset.filled = "yes";
}

const body = $("species-body");
for (const type of ["focusin", "mousedown", "pointerdown"]) {
  body.addEventListener(type, (event) => { if (event.target.tagName === "SELECT") fillList(event.target); });
}
// A click on a species' name, or on its row outside the controls, shows its lists.
body.addEventListener("click", (event) => {
  if (event.target.closest("input, select")) return;
  const row = event.target.closest(".row[data-position]");
  if (row && Number(row.dataset.position) !== chosen) showLists(Number(row.dataset.position));
});
body.addEventListener("change", (event) => {
  const control = event.target;
  if (!control.dataset.column) return;
  const started = performance.now();
  const answer = core.call({ op: "setField", position: Number(control.dataset.position),
    column: control.dataset.column, text: control.value });
  if (!answer.ok) {
    control.setAttribute("aria-invalid", "true");
    say(answer.message);
  } else {
    control.removeAttribute("aria-invalid");
    say("");
    if (control.tagName === "INPUT") control.value = answer.value;
    control.dataset.value = control.value;
    // A field edit changes that field alone; the lists shown read it (Pointer).
    if (answer.changed) {
      if (chosen === Number(control.dataset.position)) showLists(chosen);
      refresh();
    }
  }
  timed("editMs", started);
});

// Arrow keys move between cells: up and down always, left and right at the
// ends of a text.
body.addEventListener("keydown", (event) => {
  const control = event.target;
  if (!control.dataset.column || event.altKey || event.ctrlKey || event.metaKey) return;
  const row = Number(control.dataset.position);
  const cell = Number(control.dataset.cell);
  const atStart = control.tagName !== "INPUT" || control.selectionStart === 0 && control.selectionEnd === 0;
  const atEnd = control.tagName !== "INPUT" || control.selectionStart === control.value.length;
  const moves = { ArrowUp: [row - 1, cell], ArrowDown: [row + 1, cell],
    ArrowLeft: atStart ? [row, cell - 1] : null, ArrowRight: atEnd ? [row, cell + 1] : null };
  const target = moves[event.key];
  if (!target || control.tagName === "SELECT" && (event.key === "ArrowUp" || event.key === "ArrowDown")) return;
  const next = body.querySelector(`[data-column][data-position="${target[0]}"][data-cell="${target[1]}"]`);
  if (next) {
    event.preventDefault();
    next.focus();
  }
});

// ---- The lists of one species ----------------------------------------------

const LIST_TABLES = {
  evolutions: { title: "Evolutions", add: "Add evolution",
    columns: [["Method", "select"], ["Level", "input"], ["Item", "select", true], ["When", "select", true],
      ["Stats", "select", true], ["Into", "select"]] },
  moves: { title: "Level-up moves", add: "Add level-up move", columns: [["Level", "input"], ["Move", "select"]] },
  "egg-moves": { title: "Egg moves", add: "Add egg move", columns: [["Move", "select"]] },
};

function listControl([name, kind, optional], value) {
  if (kind === "input") return element("input", { type: "text", name, value, label: name });
  const select = element("select", { name, label: name });
  const entries = (optional || value === "" ? [["", ""]] : []).concat(image.choices[name]);
  options(select, entries, value);
  return select;
}

function listRegion(table, name, rows, unreadable) {
  const spec = LIST_TABLES[table];
  const region = element("section", { label: spec.title + " of " + name, dataset: { table } });
  region.setAttribute("role", "region");
  region.append(element("h3", { textContent: spec.title }));
  if (unreadable) {
    region.append(element("p", { className: "note", textContent: "Unreadable: " + unreadable }));
    return region;
  }
  const tbody = element("tbody");
  const addRow = (values) => {
    const cells = spec.columns.map((column, k) => element("td", {}, [listControl(column, values[k])]));
    cells.push(element("td", {}, [element("button", { type: "button", textContent: "Remove",
      dataset: { remove: "" } })]));
    tbody.append(element("tr", {}, cells));
  };
  rows.forEach(addRow);
  region.append(element("table", { className: "list-rows" }, [
    element("thead", {}, [element("tr", {}, spec.columns.map(([column]) => element("th", { textContent: column })))]),
    tbody]));
  region.append(element("button", { type: "button", textContent: spec.add,
    onclick: () => { addRow(spec.columns.map(() => "")); tbody.lastChild.querySelector("input, select").focus(); } }));
  region.addEventListener("change", () => sendList(region));
  region.addEventListener("click", (event) => {
    if (!event.target.closest("[data-remove]")) return;
    event.target.closest("tr").remove();
    sendList(region);
  });
  return region;
}

function sendList(region) {
  const rows = [...region.querySelectorAll("tbody tr")].map((row) =>
    [...row.querySelectorAll("input, select")].map((control) => control.value));
  answerList(core.call({ op: "setList", position: chosen, table: region.dataset.table, rows }), region);
}

function answerList(answer, region) {
  if (!answer.ok) {
    region.querySelectorAll("input, select").forEach((c) => c.setAttribute("aria-invalid", "true"));
    say(answer.message);
    return;
  }
  say("");
  if (answer.changed) afterChange();
  else showLists(chosen);
}

function roomText(room, what) {
  if (!room) return "";
  if (room.free === null) return `Room for ${what}: unknown (a list cannot be read).`;
  return `Room for ${what}: ${room.free} bytes free of ${room.area}` +
    (room.grows ? "." : " (this image tells no free space after its lists).");
}

function machinesRegion(name, machines) {
  const region = element("section", { label: "Machines of " + name, dataset: { table: "machines" } });
  region.setAttribute("role", "region");
  region.append(element("h3", { textContent: "Machines" }));
  const boxes = machines.map((on, k) => {
    const code = image.machines[k + 2];
    return element("label", {}, [element("input", { type: "checkbox", checked: on, name: code }), " " + code]);
  });
  region.append(element("div", { className: "machines" }, boxes));
  region.addEventListener("change", () => {
    const cells = [...region.querySelectorAll("input")].map((box) => (box.checked ? "1" : "0"));
    answerList(core.call({ op: "setList", position: chosen, table: "machines", rows: [cells] }), region);
  });
  return region;
}

function showLists(position) {
  chosen = position;
  for (const chosenRow of body.querySelectorAll(".chosen")) chosenRow.classList.remove("chosen");
  const section = $("lists");
  if (position < 0) {
    section.replaceChildren(element("h2", { id: "lists-title", textContent: "Lists" }),
      element("p", { className: "note", textContent: "Choose a species by its name in the table." }));
    return;
  }
  body.querySelector(`.row[data-position="${position}"]`).classList.add("chosen");
  const lists = core.call({ op: "lists", position });
  const name = lists.species;
  const parts = [element("h2", { id: "lists-title", textContent: `${position} ${name}` }),
    element("p", { className: "note", textContent: [roomText(lists.room, "evolutions and level-up moves"),
      roomText(lists.eggRoom, "egg moves")].join(" ") }),
    machinesRegion(name, lists.machines),
    listRegion("evolutions", name, lists.evolutions, lists.evoMovesUnreadable),
    listRegion("moves", name, lists.moves, lists.evoMovesUnreadable)];
  if (lists.eggMoves) parts.push(listRegion("egg-moves", name, lists.eggMoves, lists.eggMovesUnreadable));
  section.replaceChildren(...parts);
}

// ---- History ---------------------------------------------------------------

function refresh() {
  const history = core.call({ op: "history" });
  $("undo").disabled = !history.canUndo;
  $("redo").disabled = !history.canRedo;
  $("steps").replaceChildren(...history.steps.map((step) =>
    element("li", { textContent: step.what, className: step.done ? "" : "undone" })));
  $("changes").textContent = history.changes || "No changes against the image as opened.";
}

function afterChange() {
  showValues(core.call({ op: "species" }).rows);
  if (chosen >= 0) showLists(chosen);
  refresh();
}

function walk(op) {
  const answer = core.call({ op });
  if (!answer.ok) { say(answer.message); return; }
  say("");
  if (answer.changed) {
    status((op === "undo" ? "Undone: " : "Redone: ") + answer.step);
    afterChange();
  }
}

$("undo").addEventListener("click", () => walk("undo"));
$("redo").addEventListener("click", () => walk("redo"));
document.addEventListener("keydown", (event) => {
  if (!image || !(event.ctrlKey || event.metaKey) || event.altKey) return;
  const key = event.key.toLowerCase();
  const op = key === "z" && !event.shiftKey ? "undo" : key === "y" || key === "z" && event.shiftKey ? "redo" : null;
  if (!op) return;
  // A text being typed keeps the browser's own undo until it is left.
  const control = document.activeElement;
  if (control && control.tagName === "INPUT" && control.dataset.value !== undefined &&
      control.dataset.value !== control.value) return;
  event.preventDefault();
  walk(op);
});

// ---- Saving, export and import -----------------------------------------------

function give(answer) {
  if (!answer.ok) { say(answer.message); return false; }
  const link = element("a", { href: URL.createObjectURL(new Blob([answer.bytes || new Uint8Array(0)])),
    download: answer.name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  return true;
}

$("download-image").addEventListener("click", () => {
  const answer = core.call({ op: "image" });
  if (give(answer)) $("image-note").textContent = answer.message;
});
$("download-patch").addEventListener("click", () => {
  const answer = core.call({ op: "patch" });
  if (give(answer)) status(answer.message);
});
$("export-tables").addEventListener("click", () => {
  const answer = core.call({ op: "export", table: $("table-choice").value, format: $("format-choice").value });
  if (give(answer)) status(answer.message || "Exported " + answer.name + ".");
});
$("import-tables").addEventListener("change", async (event) => {
  const file = event.target.files[0];
  event.target.value = "";
  if (!file) return;
  const fits = core.call({ op: "fits", what: "table file", name: file.name, size: file.size });
  if (!fits.ok) { say(fits.message); return; }
  const bytes = new Uint8Array(await file.arrayBuffer());
  const answer = core.call({ op: "import", table: $("table-choice").value, name: file.name }, bytes);
  if (!answer.ok) { say(answer.message); return; }
  say("");
  status(answer.changed ? "Imported " + file.name + "." : "Nothing changed.");
  if (answer.changed) afterChange();
});

document.body.dataset.ready = "yes";
