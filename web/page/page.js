// The page: shows what the libraries answer and asks them for every change.
// No rule of the data is checked here; every refusal is the library's own.

const core = await window.openQuillmereCore();
const $ = (id) => document.getElementById(id);
const alertBox = $("alert");

let image = null;    // what "open" answered: fields, machines, choices
let chosen = -1;     // the species whose lists are shown
let historyNow = null;  // what "history" last answered
let savedState = ""; // the steps as they stood at the open or the last download

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
  // Edits not downloaded are asked about; a "no" keeps the image, its edits and its steps.
  const unsaved = unsavedWork();
  if (unsaved && !window.confirm(`"${image.name}" has ${unsaved}. Open "${imageFile.name}" and lose them?`)) {
    say("");
    status(`Kept "${image.name}" and its edits; "${imageFile.name}" was not opened.`);
    return;
  }
  const started = performance.now();
  const bytes = new Uint8Array(await imageFile.arrayBuffer());
  const tables = tablesFile ? await tablesFile.text() : null;
  const answer = core.call({ op: "open", name: imageFile.name, tables }, bytes);
  // A refused file leaves the image that is open as it was.
  if (!answer.ok) {
    say(answer.message);
    status(image ? `"${imageFile.name}" was not opened; "${image.name}" is still open.` : "");
    return;
  }
  image = answer;
  chosen = -1;
  say([answer.note, answer.namesNote].filter(Boolean).join(" "));
  status("Opened " + answer.name + ".");
  $("image-note").textContent = answer.note ? "the checksums cannot be made right: the image is cut short"
    : "header and global checksums made right";
  $("caption").textContent = answer.name + ": " + answer.identity;
  $("editor").hidden = false;
  // The tables and formats the libraries read and write.
  const table = $("table-choice");
  options(table, answer.tables.map((name) => [name, name]), table.value || "species");
  const format = $("format-choice");
  options(format, answer.formats.map(({ name }) => [name, name.toUpperCase()]), format.value || "csv");
  tableChoiceFits();
  $("import-tables").accept = answer.formats.flatMap(({ extensions }) => extensions).join(",");
  buildTable();
  showLists(-1, true);
  refresh();
  savedState = stepsState();
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
//
// The rows stand in blocks of ROWS_PER_BLOCK, and the browser skips the
// rendering of a block out of view (content-visibility on the block). Not on
// each row: a row so skipped is painted as a unit of its own, and with the two
// cells of every row that stay in view when the table scrolls sideways
// (sticky), Chromium then spent over 100 ms sorting the painted pieces into
// layers after every change shown, an edit's answer included. In blocks of
// four rows an edit is answered and painted in about 40 ms instead of 150.
let speciesRows = [];         // the values the image holds, as "species" answers them
let rowObserver = null;
const LIVE_AT_OPEN = 40;      // rows given their controls at once
const ROWS_PER_BLOCK = 4;

// The cells of a row: Position, Species, the image's own Name, then the fields.
const NAME_CELL = 2;
const FIRST_FIELD_CELL = 3;

function valueOf(field, raw) { return field.list ? hex(raw) : raw; }
function entryText(field, raw) { return raw < field.entries.length ? field.entries[raw] : hex(raw); }

function cellHtml(field, index, species, position, live) {
  const raw = species.values[index];
  const value = valueOf(field, raw);
  // Growth, egg groups and gender: the stored number, with its words beside it.
  const words = field.readable ? `<span class="words">${escaped(species.readable[field.column] || "")}</span>` : "";
  if (!live) return `<span role="cell">${escaped(field.list ? entryText(field, raw) : value)}${words}</span>`;
  const data = `data-position="${position}" data-column="${field.column}" data-cell="${index + FIRST_FIELD_CELL}" ` +
    `aria-label="${escaped(field.column + " of " + species.name)}" data-value="${escaped(value)}"`;
  if (field.list) {
    return `<span role="cell"><select ${data}><option value="${value}">${escaped(entryText(field, raw))}` +
      "</option></select></span>";
  }
  return `<span role="cell"><input type="text" ${data} value="${escaped(value)}">${words}</span>`;
}

// The image's own name of the species: typed like a field; read only when
// the image's names are not known.
function nameCellHtml(species, position, live) {
  const name = species.imageName ?? "";
  if (!live) return `<span role="cell">${escaped(name)}</span>`;
  return `<span role="cell"><input type="text" data-position="${position}" data-column="Name" ` +
    `data-cell="${NAME_CELL}" aria-label="${escaped("Name of " + species.name)}" data-value="${escaped(name)}" ` +
    `value="${escaped(name)}"${species.imageName === null ? " readonly" : ""}></span>`;
}

function rowCells(position, live) {
  const species = speciesRows[position];
  return `<span role="cell">${position}</span><span role="cell"><button type="button" class="species-name">` +
    `<canvas class="thumb" width="56" height="56" aria-hidden="true"></canvas>${escaped(species.name)}</button></span>` +
    nameCellHtml(species, position, live) +
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
  const widths = ["6rem", "9rem", "7.5rem"].concat(image.fields.map((field) =>
    field.list ? "9.5rem" : field.readable ? ({ Groups: "12.5rem", Gender: "11rem" }[field.column] || "10rem")
      : ["Pointer", "Length", "Size"].includes(field.column) ? "4.8rem" : "3.6rem"));
  $("species").style.setProperty("--columns", widths.join(" "));
  // Each column's header tells what it holds (its caption, and what its values mean).
  const helps = ["Position: the species' place in the tables, from 0 (its species number is one more)",
    "Species: click a name to see its machines and lists"].concat(image.fields.map((field) =>
    field.help || field.caption));
  $("species-head").innerHTML = `<div role="row" class="row">` +
    image.columns.map((text, k) => `<span role="columnheader" title="${escaped(helps[k])}"` +
      `${image.fields[k - 2]?.help ? ' class="explained"' : ""}>${escaped(text)}</span>`).join("") + "</div>";
  speciesRows = core.call({ op: "species" }).rows;
  const rows = speciesRows.map((_, position) => {
    const live = position < LIVE_AT_OPEN;
    return `<div role="row" class="row" data-position="${position}"${live ? ' data-live="yes"' : ""}>` +
      `${rowCells(position, live)}</div>`;
  });
  const blocks = [];
  for (let first = 0; first < rows.length; first += ROWS_PER_BLOCK) {
    blocks.push(`<div class="block">${rows.slice(first, first + ROWS_PER_BLOCK).join("")}</div>`);
  }
  $("species-body").innerHTML = blocks.join("");
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
  for (const row of $("species-body").querySelectorAll(".row")) {
    const position = Number(row.dataset.position);
    if (row.dataset.live) {
      for (const control of row.querySelectorAll("[data-column]")) showValue(control, rows[position]);
    } else if (JSON.stringify(before[position]) !== JSON.stringify(rows[position])) {
      row.innerHTML = rowCells(position, false);
      drawThumb(row);
    }
  }
}

function showValue(control, species) {
  if (control.dataset.column === "Name") {
    const name = species.imageName ?? "";
    control.removeAttribute("aria-invalid");
    control.value = name;
    control.dataset.value = name;
    return;
  }
  const field = image.fields[Number(control.dataset.cell) - FIRST_FIELD_CELL];
  const raw = species.values[Number(control.dataset.cell) - FIRST_FIELD_CELL];
  const value = valueOf(field, raw);
  if (field.readable) showWords(control, species.readable[field.column]);
  if (control.dataset.value === value && control.value === value) return;
  // A refused text stays in its cell until the image's own value changes.
  if (control.dataset.value === value && control.getAttribute("aria-invalid") === "true") return;
  control.removeAttribute("aria-invalid");
  if (field.list) {
    control.dataset.filled = "";
    options(control, [[value, entryText(field, raw)]], value);
  } else {
    control.value = value;
  }
  control.dataset.value = value;
}

function showWords(control, words) {
  const beside = control.parentElement.querySelector(".words");
  if (beside) beside.textContent = words || "";
}

function fillList(select) {
  if (select.dataset.filled === "yes") return;
  const field = image.fields[Number(select.dataset.cell) - FIRST_FIELD_CELL];
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
  const what = control.getAttribute("aria-label");
  if (!answer.ok) {
    control.setAttribute("aria-invalid", "true");
    say(answer.message + "\n(Escape puts back the image's value.)");
    status("Refused: " + what + ".");
  } else {
    control.removeAttribute("aria-invalid");
    say("");
    if (control.tagName === "INPUT") control.value = answer.value;
    control.dataset.value = control.value;
    showWords(control, answer.readable);
    status(answer.changed ? "Changed " + what + "." : "");
    // A field edit changes that field alone, and the lists it points at.
    if (answer.changed) {
      if (answer.listsChanged && chosen === Number(control.dataset.position)) showLists(chosen);
      refresh();
    }
  }
  timed("editMs", started);
});

// Arrow keys move between cells: up and down always; left and right from a
// cell not being typed in (its text as the image holds it), and from the
// start or the end of a text being typed. Escape puts back the image's value.
body.addEventListener("keydown", (event) => {
  const control = event.target;
  if (!control.dataset.column || event.altKey || event.ctrlKey || event.metaKey) return;
  if (event.key === "Escape" && control.value !== control.dataset.value) {
    if (control.tagName === "SELECT") fillList(control);
    control.value = control.dataset.value;
    control.removeAttribute("aria-invalid");
    say("");
    return;
  }
  const row = Number(control.dataset.position);
  const cell = Number(control.dataset.cell);
  const untouched = control.tagName !== "INPUT" || control.value === control.dataset.value;
  const atStart = untouched || control.selectionStart === 0 && control.selectionEnd === 0;
  const atEnd = untouched || control.selectionStart === control.value.length;
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
    if (next.tagName === "INPUT") next.select();
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

// A list of one species: the image's rows (imageRows, kept in data-image),
// shown as `rows` gives them (see rowsAgain).
function listRegion(table, name, imageRows, unreadable, rows) {
  const listShape = LIST_TABLES[table];
  const region = element("section", { label: listShape.title + " of " + name, dataset: { table } });
  region.setAttribute("role", "region");
  region.append(element("h3", { textContent: listShape.title }));
  if (unreadable) {
    region.append(element("p", { className: "note", textContent: "Unreadable: " + unreadable }));
    return region;
  }
  region.dataset.image = JSON.stringify(imageRows);
  const tbody = element("tbody");
  const addRow = (values, fresh, refused = []) => {
    const cells = listShape.columns.map((column, k) => element("td", {}, [listControl(column, values[k])]));
    cells.push(element("td", {}, [element("button", { type: "button", textContent: "Remove",
      dataset: { remove: "" } })]));
    const row = element("tr", { dataset: fresh ? { fresh: "yes" } : {} }, cells);
    markRefused(row, refused);
    tbody.append(row);
  };
  rows.forEach(({ values, fresh, refused }) => addRow(values, fresh, refused));
  region.append(element("table", { className: "list-rows" }, [
    element("thead", {}, [element("tr", {}, listShape.columns.map(([column]) => element("th", { textContent: column })))]),
    tbody]));
  region.append(element("button", { type: "button", textContent: listShape.add, onclick: () => {
    // One new row at a time; none when the area has no room for it.
    const open = tbody.querySelector("tr[data-fresh]");
    if (open) { open.querySelector("input, select").focus(); return; }
    const short = roomShort(table);
    if (short) { say(`${region.getAttribute("aria-label")}: ${short}`); status("Not added: no room."); return; }
    addRow(listShape.columns.map(() => ""), true);
    tbody.lastChild.querySelector("input, select").focus();
  } }));
  // A new row is judged once it is complete, or when it is left with
  // something in it; the rows the image holds, at every change.
  region.addEventListener("change", (event) => {
    const fresh = event.target.closest("tr[data-fresh]");
    if (fresh && !rowComplete(table, fresh)) return;
    sendList(region, Boolean(fresh));
  });
  // Left: judged once the focus has settled outside the row (the focus
  // moves through the page's body between two controls of the row).
  region.addEventListener("focusout", (event) => {
    const fresh = event.target.closest("tr[data-fresh]");
    if (!fresh) return;
    setTimeout(() => {
      if (!fresh.isConnected || !fresh.dataset.fresh || fresh.contains(document.activeElement)) return;
      if (rowBegun(fresh) && !rowComplete(table, fresh)) sendList(region, true);
    }, 0);
  });
  region.addEventListener("click", (event) => {
    if (!event.target.closest("[data-remove]")) return;
    const row = event.target.closest("tr");
    const fresh = row.dataset.fresh;
    row.remove();
    // A new row that was never sent is gone with nothing to write.
    if (fresh) { say(""); return; }
    sendList(region, false);
  });
  return region;
}

function rowValues(row) {
  return Object.fromEntries([...row.querySelectorAll("input, select")].map((control) => [control.name, control.value]));
}

function rowBegun(row) {
  return Object.values(rowValues(row)).some((value) => value.trim() !== "");
}

// Whether a new row holds every cell its kind needs (an evolution's, by its method).
function rowComplete(table, row) {
  const values = rowValues(row);
  const needs = table === "evolutions" ? image.rowNeeds.evolutions[values.Method] : image.rowNeeds[table];
  return Boolean(needs) && needs.every((name) => values[name].trim() !== "");
}

// Why one more row of a list cannot fit (the least bytes it takes against
// the area's room), or "".
function roomShort(table) {
  const room = table === "egg-moves" ? historyNow.eggRoom : historyNow.room;
  const needs = room?.rowBytes?.[table];
  if (!needs || room.free === null || room.free >= needs) return "";
  const missing = needs - room.free;
  return `a new row takes at least ${needs} bytes, and the area has ${room.free} free: ` +
    `${missing} ${missing === 1 ? "byte" : "bytes"} missing. Remove rows (of any species) first.`;
}

// Sends the list's rows; its new row only when it is being judged (a change
// to the other rows leaves a new row being filled out, and keeps it).
function sendList(region, withNew) {
  const rows = [...region.querySelectorAll("tbody tr")].filter((row) => withNew || !row.dataset.fresh);
  const added = rows.findIndex((row) => row.dataset.fresh);
  const answer = core.call({ op: "setList", position: chosen, table: region.dataset.table,
    rows: rows.map((row) => [...row.querySelectorAll("input, select")].map((control) => control.value)),
    ...(added >= 0 ? { added } : {}) });
  // A new row taken is one of the list's now.
  if (answer.ok && added >= 0) delete rows[added].dataset.fresh;
  answerList(answer, region);
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
    status("Refused: " + region.getAttribute("aria-label") + ".");
    return;
  }
  // The rows sent are taken: they hold nothing refused any more.
  for (const control of region.querySelectorAll("[aria-invalid]")) {
    if (!control.closest("tr[data-fresh]")) control.removeAttribute("aria-invalid");
  }
  say(answer.warning);
  status(answer.changed ? "Changed " + region.getAttribute("aria-label") + "." : "");
  if (answer.changed) afterChange();
  else showLists(chosen);
}

function roomText(room, what) {
  if (!room) return "";
  if (room.free === null) return `Room for ${what}: unknown (a list cannot be read).`;
  return `Room for ${what}: ${room.free} bytes free of ${room.area}` +
    (room.grows ? "." : " (this image tells no free space after its lists).");
}

// The machines of one species: the image's (kept in data-image), shown as
// `shown` gives them (one row: the boxes' states and the refused ones).
function machinesRegion(name, machines, [shown]) {
  const region = element("section", { label: "Machines of " + name,
    dataset: { table: "machines", image: JSON.stringify([machines]) } });
  region.setAttribute("role", "region");
  region.append(element("h3", { textContent: "Machines" }));
  const boxes = shown.values.map((on, k) => {
    const code = image.machines[k + 2];
    const text = `${code} ${image.machineMoves[k]}`;
    return element("label", { title: text }, [element("input", { type: "checkbox", checked: on, name: code }),
      " " + text]);
  });
  region.append(element("div", { className: "machines" }, boxes));
  markRefused(region, shown.refused);
  region.addEventListener("change", () => {
    const cells = [...region.querySelectorAll("input")].map((box) => (box.checked ? "1" : "0"));
    answerList(core.call({ op: "setList", position: chosen, table: "machines", rows: [cells] }), region);
  });
  return region;
}

function showLists(position, asked = false) {
  // Rows typed into the lists shown but not taken are asked about first.
  const pending = position !== chosen && !asked ? pendingLists() : [];
  if (pending.length > 0 && !window.confirm(`These are not taken yet: ${pending.join("; ")}. Leave them?`)) return;
  const previous = chosen;
  chosen = position;
  for (const chosenRow of body.querySelectorAll(".chosen")) chosenRow.classList.remove("chosen");
  const section = $("lists");
  if (position < 0) {
    section.replaceChildren(element("h2", { id: "lists-title", textContent: "Lists" }),
      element("p", { className: "note", textContent: "Choose a species by its name in the table." }));
    return;
  }
  body.querySelector(`.row[data-position="${position}"]`).classList.add("chosen");
  // What the species' lists hold that the image does not stays through their
  // being shown again after another change.
  const typed = position === previous ? typedLists() : {};
  const putBack = [];
  const again = (table, imageRows) => rowsAgain(imageRows, typed[table], putBack);
  const lists = core.call({ op: "lists", position });
  const name = lists.species;
  const parts = [element("h2", { id: "lists-title", textContent: `${position} ${name}` }),
    element("p", { className: "note", textContent: [roomText(lists.room, "evolutions and level-up moves"),
      roomText(lists.eggRoom, "egg moves")].join(" ") }),
    picturesRegion(position, name),
    machinesRegion(name, lists.machines, again("machines", [lists.machines])),
    listRegion("evolutions", name, lists.evolutions, lists.evoMovesUnreadable, again("evolutions", lists.evolutions)),
    listRegion("moves", name, lists.moves, lists.evoMovesUnreadable, again("moves", lists.moves))];
  if (lists.eggMoves) {
    parts.push(listRegion("egg-moves", name, lists.eggMoves, lists.eggMovesUnreadable,
      again("egg-moves", lists.eggMoves)));
  }
  section.replaceChildren(...parts);
  if (putBack.length > 0) {
    say([alertBox.textContent, `The refused values typed into ${putBack.join(" and ")} were put back: ` +
      "the image's list itself changed."].filter(Boolean).join("\n"));
  }
}

// Each list shown as typed: its rows (the controls' values, whether the row
// is new, the names of its cells marked refused), the image's rows it was
// drawn from, and its name. The machines are one row of the boxes' states.
function typedLists() {
  const typed = {};
  for (const region of $("lists").querySelectorAll('[role="region"][data-image]')) {
    const refused = (scope) => [...scope.querySelectorAll('[aria-invalid="true"]')].map((control) => control.name);
    const rows = region.dataset.table === "machines"
      ? [{ values: [...region.querySelectorAll("input")].map((box) => box.checked), fresh: false,
        refused: refused(region) }]
      : [...region.querySelectorAll("tbody tr")].map((row) => ({ values: Object.values(rowValues(row)),
        fresh: Boolean(row.dataset.fresh), refused: refused(row) }));
    typed[region.dataset.table] = { image: region.dataset.image, rows, name: region.getAttribute("aria-label") };
  }
  return typed;
}

// The rows a list is shown with again. Rows the image holds that were typed
// into and refused stay as typed, marked, while the image's list is the one
// they were typed over; once that list changes (an Undo, an import), the
// image's rows are shown and the list is named in putBack, as a refused
// cell of the table keeps its text until the image's own value changes. A
// new row being filled stays either way, judged when it is complete or left.
function rowsAgain(imageRows, typed, putBack) {
  const shown = imageRows.map((values) => ({ values, fresh: false, refused: [] }));
  if (!typed) return shown;
  if (typed.rows.some((row) => !row.fresh && row.refused.length > 0)) {
    if (typed.image === JSON.stringify(imageRows)) return typed.rows;
    putBack.push(typed.name);
  }
  return shown.concat(typed.rows.filter((row) => row.fresh));
}

function markRefused(scope, names) {
  for (const control of scope.querySelectorAll("input, select")) {
    if (names.includes(control.name)) control.setAttribute("aria-invalid", "true");
  }
}

// ---- History ---------------------------------------------------------------

function refresh() {
  historyNow = core.call({ op: "history" });
  $("undo").disabled = !historyNow.canUndo;
  $("redo").disabled = !historyNow.canRedo;
  $("steps").replaceChildren(...historyNow.steps.map((step) =>
    element("li", { textContent: step.what, className: step.done ? "" : "undone" })));
  $("changes").textContent = historyNow.changes || "No changes against the image as opened.";
  $("room").textContent = [roomText(historyNow.room, "evolutions and level-up moves"),
    roomText(historyNow.eggRoom, "egg moves")].filter(Boolean).join("\n");
}

// ---- What is not kept yet ----------------------------------------------------

function stepsState() { return JSON.stringify(historyNow ? historyNow.steps : []); }

// The cells of the lists shown that hold a refused value, and the new rows
// begun there but not complete.
function pendingLists() {
  const found = [];
  for (const region of $("lists").querySelectorAll('[role="region"]')) {
    const rows = [...region.querySelectorAll("tbody tr")];
    const name = region.getAttribute("aria-label");
    const refused = region.querySelectorAll('[aria-invalid="true"]');
    if (region.dataset.table === "machines" && refused.length > 0) { found.push(name); continue; }
    rows.forEach((row, k) => {
      const cells = [...row.querySelectorAll('[aria-invalid="true"]')].map((control) => control.name);
      if (cells.length > 0) found.push(`${cells.join(", ")} of row ${k + 1} of ${name}`);
      else if (row.dataset.fresh && rowBegun(row)) found.push(`the new row of ${name}, not complete`);
    });
  }
  return found;
}

// Everything typed that the image does not hold: refused cells, rows not complete.
function notTaken() {
  return [...body.querySelectorAll('[aria-invalid="true"]')].map((control) => control.getAttribute("aria-label"))
    .concat(pendingLists());
}

// What would be lost by leaving the image now, in words, or "".
function unsavedWork() {
  if (!image || !historyNow) return "";
  const parts = [];
  if (historyNow.changes && stepsState() !== savedState) parts.push("edits not downloaded");
  const typed = notTaken();
  if (typed.length > 0) parts.push("values typed but not taken (" + typed.join("; ") + ")");
  return parts.join(" and ");
}

// The browser's own leave prompt for the tab while anything is unsaved.
window.addEventListener("beforeunload", (event) => {
  if (!unsavedWork()) return;
  event.preventDefault();
  event.returnValue = "";
});

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

// A download only of what the image holds: none while a typed value is refused or a row not complete.
function downloadBlocked(what) {
  const typed = notTaken();
  if (typed.length === 0) return false;
  say(`Not downloaded: these cells hold values that are not in the image yet: ${typed.join("; ")}. ` +
    "Correct them, or put back the image's values (Escape, or Remove for a new row), then download.");
  status(what + " not downloaded.");
  return true;
}

function give(answer) {
  if (!answer.ok) { say(answer.message); status("Not downloaded."); return false; }
  const link = element("a", { href: URL.createObjectURL(new Blob([answer.bytes || new Uint8Array(0)])),
    download: answer.name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  return true;
}

$("download-image").addEventListener("click", () => {
  if (downloadBlocked("The image was")) return;
  const answer = core.call({ op: "image" });
  if (!give(answer)) return;
  say("");
  $("image-note").textContent = answer.message;
  status("Downloaded " + answer.name + ".");
  savedState = stepsState();
});
$("download-patch").addEventListener("click", () => {
  if (downloadBlocked("The patch was")) return;
  const answer = core.call({ op: "patch" });
  if (!give(answer)) return;
  say("");
  status("Downloaded " + answer.name + ": " + answer.message);
  savedState = stepsState();
});
// A format that holds every table (the workbook) leaves no table to choose.
function tableChoiceFits() {
  const chosen = image.formats.find(({ name }) => name === $("format-choice").value);
  $("table-choice").disabled = Boolean(chosen && chosen.allTables);
}
$("format-choice").addEventListener("change", tableChoiceFits);
$("export-tables").addEventListener("click", () => {
  const answer = core.call({ op: "export", table: $("table-choice").value, format: $("format-choice").value });
  if (give(answer)) status("Exported " + answer.name + "." + (answer.message ? " " + answer.message : ""));
});
$("import-tables").addEventListener("change", async (event) => {
  const file = event.target.files[0];
  event.target.value = "";
  if (!file) return;
  const fits = core.call({ op: "fits", what: "table file", name: file.name, size: file.size });
  if (!fits.ok) { say(fits.message); return; }
  const bytes = new Uint8Array(await file.arrayBuffer());
  const answer = core.call({ op: "import", table: $("table-choice").value, name: file.name }, bytes);
  if (!answer.ok) { say(answer.message); status(file.name + " was not imported."); return; }
  say(answer.warning);
  status(answer.changed ? "Imported " + file.name + "." : "Nothing changed.");
  if (answer.changed) afterChange();
});

// ---- Finding a species ---------------------------------------------------------

// A species by its species number ("25") or a part of its name ("pika"),
// names that begin with the text first; Enter shows its lists.
function findSpecies(text) {
  const wanted = text.trim().toLowerCase();
  if (!wanted || speciesRows.length === 0) return -1;
  if (/^#?\d+$/.test(wanted)) {
    const number = Number(wanted.replace("#", ""));
    return number >= 1 && number <= speciesRows.length ? number - 1 : -1;
  }
  const names = speciesRows.map((species) => species.name.toLowerCase());
  const start = names.findIndex((name) => name.startsWith(wanted));
  return start >= 0 ? start : names.findIndex((name) => name.includes(wanted));
}

function showFound(text, choose) {
  for (const row of body.querySelectorAll(".found")) row.classList.remove("found");
  const position = findSpecies(text);
  if (position < 0) { if (text.trim()) status(`No species is "${text.trim()}".`); return; }
  const row = body.querySelector(`.row[data-position="${position}"]`);
  makeLive(row);
  row.classList.add("found");
  row.scrollIntoView({ block: "center" });
  document.querySelector(".table-pane").scrollLeft = 0;
  status(`Found ${position} ${speciesRows[position].name} (species number ${position + 1}).`);
  if (choose && position !== chosen) showLists(position);
}

$("find-species").addEventListener("input", (event) => showFound(event.target.value, false));
$("find-species").addEventListener("keydown", (event) => {
  if (event.key === "Enter") showFound(event.target.value, true);
});

document.body.dataset.ready = "yes";
