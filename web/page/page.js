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
  // The tables and formats the libraries read and write.
  const table = $("table-choice");
  options(table, answer.tables.map((name) => [name, name]), table.value || "species");
  const format = $("format-choice");
  options(format, answer.formats.map(({ name }) => [name, name.toUpperCase()]), format.value || "csv");
  tableChoiceFits();
  $("import-tables").accept = answer.formats.flatMap(({ extensions }) => extensions).join(",");
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

// The table: a grid of 251 rows. A row far from view holds its values as
// text; it gets its controls (an <input>, or a <select> holding only its
// value's entry until it is first used) when it comes near view, so that the
// table opens, answers and scrolls quickly.
let speciesRows = [];         // the values the image holds, as "species" answers them
let rowObserver = null;
const LIVE_AT_OPEN = 40;      // rows given their controls at once

function valueOf(field, raw) { return field.list ? hex(raw) : raw; }
function entryText(field, raw) { return raw < field.entries.length ? field.entries[raw] : hex(raw); }

function cellHtml(field, index, species, position, live) {
  const raw = species.values[index];
  const value = valueOf(field, raw);
  if (!live) return `<span role="cell">${escaped(field.list ? entryText(field, raw) : value)}</span>`;
  const data = `data-position="${position}" data-column="${field.column}" data-cell="${index + 2}" ` +
    `aria-label="${escaped(field.column + " of " + species.name)}" data-value="${escaped(value)}"`;
  if (field.list) {
    return `<span role="cell"><select ${data}><option value="${value}">${escaped(entryText(field, raw))}` +
      "</option></select></span>";
  }
  return `<span role="cell"><input type="text" ${data} value="${escaped(value)}"></span>`;
}

function rowCells(position, live) {
  const species = speciesRows[position];
  return `<span role="cell">${position}</span><span role="cell"><button type="button" class="species-name">` +
    `<canvas class="thumb" width="56" height="56" aria-hidden="true"></canvas>${escaped(species.name)}</button></span>` +
    image.fields.map((field, index) => cellHtml(field, index, species, position, live)).join("");
}

function makeLive(row) {
  if (row.dataset.live) return;
  row.innerHTML = rowCells(Number(row.dataset.position), true);
  row.dataset.live = "yes";
  drawThumb(row);
  if (rowObserver) rowObserver.unobserve(row);
}

// ---- Pictures ----------------------------------------------------------------

// A picture drawn into a 7 x 7 tile box as the game places it: 7 tiles fill
// it, 6 stand at tile column 1 and row 1, 5 at column 1 and row 2 (on the
// bottom edge). Pixels are the digits 0 to 3 (white, colour 1, colour 2, black).
function drawPicture(canvas, picture, colours) {
  const box = 56;
  const side = picture.dim * 8;
  const left = (picture.dim >= 7 ? 0 : 1) * 8;
  const top = Math.max(0, 7 - picture.dim) * 8;
  const context = canvas.getContext("2d");
  const data = context.createImageData(box, box);
  data.data.fill(255);
  const rgb = colours.map((colour) => [1, 3, 5].map((at) => parseInt(colour.slice(at, at + 2), 16)));
  for (let y = 0; y < side; y++) {
    for (let x = 0; x < side; x++) {
      const [r, g, b] = rgb[picture.pixels.charCodeAt(y * side + x) - 48];
      const at = ((top + y) * box + left + x) * 4;
      data.data[at] = r; data.data[at + 1] = g; data.data[at + 2] = b;
    }
  }
  context.putImageData(data, 0, 0);
}

// The rows' small front pictures: decoded when a row comes into view, a few
// at a time after the page has answered, so that opening takes no longer.
let thumbs = new Map();       // position: the "front" answer
let thumbQueue = [];
let thumbObserver = null;

function drawThumb(row) {
  const position = Number(row.dataset.position);
  const canvas = row.querySelector("canvas.thumb");
  const front = thumbs.get(position);
  if (!canvas || !front) return;
  if (front.ok) {
    drawPicture(canvas, front, front.colours.length === 4 ? front.colours :
      ["#FFFFFF", "#AAAAAA", "#555555", "#000000"]);
    row.dataset.drawn = "yes";
  }
}

function drawThumbs() {
  const started = performance.now();
  while (thumbQueue.length > 0 && performance.now() - started < 12) {
    const position = thumbQueue.shift();
    if (!thumbs.has(position)) thumbs.set(position, core.call({ op: "front", position }));
    const row = body.querySelector(`.row[data-position="${position}"]`);
    if (row) drawThumb(row);
  }
  if (thumbQueue.length > 0) later(drawThumbs);
}

// After the page has answered and painted: opening takes no longer.
const later = window.requestIdleCallback || ((work) => setTimeout(work, 0));

function wantThumb(position) {
  if (thumbQueue.length === 0) later(drawThumbs);
  thumbQueue.push(position);
}

function watchThumbs() {
  thumbs = new Map();
  thumbQueue = [];
  if (thumbObserver) thumbObserver.disconnect();
  thumbObserver = new IntersectionObserver((entries) => {
    for (const entry of entries) {
      if (!entry.isIntersecting) continue;
      thumbObserver.unobserve(entry.target);
      wantThumb(Number(entry.target.dataset.position));
    }
  }, { root: document.querySelector(".table-pane"), rootMargin: "200px 0px" });
  for (const row of body.querySelectorAll(".row")) thumbObserver.observe(row);
}

// After a change the colours may differ: the drawn rows are drawn again.
function redrawThumbs() {
  for (const row of body.querySelectorAll(".row[data-drawn]")) {
    thumbs.delete(Number(row.dataset.position));
    wantThumb(Number(row.dataset.position));
  }
}

const PALETTE_COLUMNS = ["Normal1", "Normal2", "Shiny1", "Shiny2"];

function picturesRegion(position, name) {
  const answer = core.call({ op: "pictures", position });
  const region = element("section", { label: "Pictures of " + name, className: "pictures" });
  region.setAttribute("role", "region");
  region.append(element("h3", { textContent: "Pictures" }));
  for (const note of answer.notes || []) region.append(element("p", { className: "note", textContent: note }));
  const pickers = {};
  const known = Object.keys(answer.colours || {}).length === 4;
  const colours = (shiny) => {
    if (!known) return ["#FFFFFF", "#AAAAAA", "#555555", "#000000"];
    const [one, two] = shiny ? ["Shiny1", "Shiny2"] : ["Normal1", "Normal2"];
    return ["#FFFFFF", pickers[one].value, pickers[two].value, "#000000"];
  };
  if (known) {
    const row = element("div", { className: "palette" });
    for (const column of PALETTE_COLUMNS) {
      pickers[column] = element("input", { type: "color", value: answer.colours[column].toLowerCase(),
        label: column + " of " + name, dataset: { column, value: answer.colours[column].toLowerCase() } });
      row.append(element("label", {}, [column + " ", pickers[column]]));
    }
    region.append(row);
  }
  const canvases = [];
  const figures = element("div", { className: "picture-grid" });
  for (const picture of answer.pictures || []) {
    for (const shiny of [false, true]) {
      const what = (shiny ? "Shiny " + picture.kind : picture.kind[0].toUpperCase() + picture.kind.slice(1)) +
        " picture of " + name + (picture.letter ? " " + picture.letter : "");
      const canvas = element("canvas", { width: 56, height: 56, label: what });
      canvas.setAttribute("role", "img");
      canvases.push([canvas, picture, shiny]);
      figures.append(canvas);
    }
  }
  region.append(figures);
  const draw = () => { for (const [canvas, picture, shiny] of canvases) drawPicture(canvas, picture, colours(shiny)); };
  draw();
  region.addEventListener("input", draw);
  region.addEventListener("change", (event) => {
    const picker = event.target;
    if (!picker.dataset.column) return;
    const set = core.call({ op: "setColour", position, column: picker.dataset.column, text: picker.value });
    if (!set.ok) {
      say(set.message);
      picker.value = picker.dataset.value;
      draw();
      return;
    }
    say("");
    // The picker shows the colour the game stores, the nearest to the one picked.
    picker.value = set.value.toLowerCase();
    picker.dataset.value = picker.value;
    draw();
    if (set.changed) {
      redrawThumbs();
      refresh();
    }
  });
  return region;
}

function buildTable() {
  const widths = ["4.4rem", "7.5rem"].concat(image.fields.map((field) =>
    field.list ? "9.5rem" : ["Pointer", "Length", "Size", "Groups"].includes(field.column) ? "4.8rem" : "3.6rem"));
  $("species").style.setProperty("--columns", widths.join(" "));
  $("species-head").innerHTML = `<div role="row" class="row">` +
    image.columns.map((text) => `<span role="columnheader">${escaped(text)}</span>`).join("") + "</div>";
  speciesRows = core.call({ op: "species" }).rows;
  $("species-body").innerHTML = speciesRows.map((_, position) => {
    const live = position < LIVE_AT_OPEN;
    return `<div role="row" class="row" data-position="${position}"${live ? ' data-live="yes"' : ""}>` +
      `${rowCells(position, live)}</div>`;
  }).join("");
  watchThumbs();
  if (rowObserver) rowObserver.disconnect();
  rowObserver = new IntersectionObserver((entries) => {
    for (const entry of entries) if (entry.isIntersecting) makeLive(entry.target);
  }, { root: document.querySelector(".table-pane"), rootMargin: "600px 0px" });
  for (const row of $("species-body").querySelectorAll(".row:not([data-live])")) rowObserver.observe(row);
}

// Puts the image's values into the table, touching only what changed (each
// control keeps the value the image holds in data-value; a row without
// controls cannot have been edited, so its values are compared with the last).
function showValues(rows) {
  const before = speciesRows;
  speciesRows = rows;
  for (const row of $("species-body").children) {
    const position = Number(row.dataset.position);
    if (row.dataset.live) {
      for (const control of row.querySelectorAll("[data-column]")) showValue(control, rows[position]);
    } else if (JSON.stringify(before[position].values) !== JSON.stringify(rows[position].values)) {
      row.innerHTML = rowCells(position, false);
      drawThumb(row);
    }
  }
}

function showValue(control, species) {
  const field = image.fields[Number(control.dataset.cell) - 2];
  const raw = species.values[Number(control.dataset.cell) - 2];
  const value = valueOf(field, raw);
  if (control.dataset.value === value && control.value === value) return;
  control.removeAttribute("aria-invalid");
  if (field.list) {
    control.dataset.filled = "";
    options(control, [[value, entryText(field, raw)]], value);
  } else {
    control.value = value;
  }
  control.dataset.value = value;
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
    // A field edit changes that field alone, and the lists it points at.
    if (answer.changed) {
      if (answer.listsChanged && chosen === Number(control.dataset.position)) showLists(chosen);
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
  const nextRow = body.querySelector(`.row[data-position="${target[0]}"]`);
  if (nextRow) makeLive(nextRow);
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
  if (kind === "input") return element("input", { type: "text", name, defaultValue: value, label: name });
  const select = element("select", { name, label: name });
  const entries = (optional || value === "" ? [["", ""]] : []).concat(image.choices[name]);
  options(select, entries, value);
  return select;
}

function listRegion(table, name, rows, unreadable) {
  const listShape = LIST_TABLES[table];
  const region = element("section", { label: listShape.title + " of " + name, dataset: { table } });
  region.setAttribute("role", "region");
  region.append(element("h3", { textContent: listShape.title }));
  if (unreadable) {
    region.append(element("p", { className: "note", textContent: "Unreadable: " + unreadable }));
    return region;
  }
  const tbody = element("tbody");
  const addRow = (values) => {
    const cells = listShape.columns.map((column, k) => element("td", {}, [listControl(column, values[k])]));
    cells.push(element("td", {}, [element("button", { type: "button", textContent: "Remove",
      dataset: { remove: "" } })]));
    tbody.append(element("tr", {}, cells));
  };
  rows.forEach(addRow);
  region.append(element("table", { className: "list-rows" }, [
    element("thead", {}, [element("tr", {}, listShape.columns.map(([column]) => element("th", { textContent: column })))]),
    tbody]));
  region.append(element("button", { type: "button", textContent: listShape.add,
    onclick: () => { addRow(listShape.columns.map(() => "")); tbody.lastChild.querySelector("input, select").focus(); } }));
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
    // The refused cells are marked; a refusal of the whole list marks all.
    const rows = region.querySelectorAll("tbody tr");
    const places = answer.places || [];
    const marked = places.map(({ row, column }) => rows[row]?.querySelector(`[name="${column}"]`)).filter(Boolean);
    region.querySelectorAll("[aria-invalid]").forEach((c) => c.removeAttribute("aria-invalid"));
    (marked.length > 0 ? marked : region.querySelectorAll("input, select"))
      .forEach((c) => c.setAttribute("aria-invalid", "true"));
    say(answer.message);
    return;
  }
  say(answer.warning);
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
    picturesRegion(position, name),
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
  redrawThumbs();
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
  if (control && control.tagName === "INPUT" && control.type === "text" &&
      control.value !== (control.dataset.value ?? control.defaultValue)) return;
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
// A format that holds every table (the workbook) leaves no table to choose.
function tableChoiceFits() {
  const chosen = image.formats.find(({ name }) => name === $("format-choice").value);
  $("table-choice").disabled = Boolean(chosen && chosen.allTables);
}
$("format-choice").addEventListener("change", tableChoiceFits);
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
  say(answer.warning);
  status(answer.changed ? "Imported " + file.name + "." : "Nothing changed.");
  if (answer.changed) afterChange();
});

document.body.dataset.ready = "yes";
