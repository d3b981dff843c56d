// The page of `osprey serve`: one HTML document with its style and script,
// nothing fetched from elsewhere. Every text from the log reaches the page
// through textContent (never as markup); the run's token is written into a
// meta element and sent with every request.
#include <string>

#include "serve/serve_http.h"

namespace osprey_tool {

namespace {

const char* const kPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="osprey-token" content="@TOKEN@">
<title>osprey logbook</title>
<style>
:root { --ink:#1d2733; --muted:#5d6b7a; --line:#d5dce4; --band:#eef2f6; --accent:#1f6feb;
        --c:#2e7d32; --w:#f0a500; --bad:#b3261e; }
* { box-sizing: border-box; }
body { margin:0; font:14px/1.4 system-ui, "IPAGothic", sans-serif; color:var(--ink); background:#f7f9fb; }
header { display:flex; align-items:center; gap:4px; padding:6px 12px; background:#17324d; color:#fff; }
header h1 { font-size:16px; margin:0 16px 0 0; font-weight:600; }
header button { background:transparent; color:#dce6f0; border:0; padding:8px 12px; border-radius:6px;
                font:inherit; cursor:pointer; }
header button.on, header button:hover { background:#2b4d70; color:#fff; }
header .log { margin-left:auto; color:#b7c7d8; font-size:13px; }
main { padding:12px 16px; }
section[hidden] { display:none; }
#error { margin:8px 16px 0; padding:8px 12px; border:1px solid var(--bad); color:var(--bad);
         background:#fdecea; border-radius:6px; white-space:pre-wrap; }
table { border-collapse:collapse; background:#fff; }
th, td { border-bottom:1px solid var(--line); padding:3px 8px; text-align:left; white-space:nowrap; }
th { background:var(--band); font-weight:600; position:sticky; top:0; }
th.sort { cursor:pointer; color:var(--accent); }
th.sorted::after { content:" \25B2"; font-size:10px; }
th.sorted.desc::after { content:" \25BC"; }
tr[data-test=contact-row] { cursor:pointer; }
tr[data-test=contact-row]:hover { background:#eaf2ff; }
tr.deleted td { color:#999; text-decoration:line-through; }
form.bar { display:flex; flex-wrap:wrap; gap:8px; align-items:end; margin-bottom:8px; }
label { display:flex; flex-direction:column; font-size:12px; color:var(--muted); gap:2px; }
label.check { flex-direction:row; align-items:center; gap:4px; }
input, select { font:inherit; padding:4px 6px; border:1px solid #b8c3cf; border-radius:4px; }
button.act { font:inherit; padding:5px 12px; border-radius:5px; border:1px solid var(--accent);
             background:var(--accent); color:#fff; cursor:pointer; }
button.plain { font:inherit; padding:5px 12px; border-radius:5px; border:1px solid #b8c3cf;
               background:#fff; cursor:pointer; }
button.danger { border-color:var(--bad); background:#fff; color:var(--bad); }
.note { color:var(--muted); margin:6px 0; }
.pager { display:flex; gap:8px; align-items:center; margin:8px 0; }
.scroll { max-height:70vh; overflow:auto; border:1px solid var(--line); }
#entry-form { display:grid; grid-template-columns:repeat(6, minmax(90px, 1fr)); gap:8px 10px;
              max-width:980px; background:#fff; padding:12px; border:1px solid var(--line); border-radius:8px; }
#entry-form .wide { grid-column:span 2; } #entry-form .full { grid-column:span 6; }
.zones { font-size:12px; color:var(--muted); align-self:end; padding-bottom:6px; }
.worked { margin-top:10px; max-width:980px; }
.flag { display:inline-block; padding:1px 8px; border-radius:10px; margin-right:6px; font-size:12px; }
.flag.new { background:#e3f4e4; color:var(--c); } .flag.dup { background:#fdecea; color:var(--bad); }
.flag.seen { background:var(--band); }
td.cell { text-align:center; width:34px; font-weight:600; cursor:pointer; }
td.cell[data-state=C] { background:var(--c); color:#fff; }
td.cell[data-state=W] { background:var(--w); color:#222; }
td.cell:hover { outline:2px solid var(--accent); }
.progress { height:10px; background:var(--band); border-radius:5px; overflow:hidden; width:320px; }
.progress > div { height:100%; background:var(--c); }
.charts { display:flex; flex-wrap:wrap; gap:24px; }
.chart h3 { margin:4px 0; font-size:14px; }
.report { white-space:pre-wrap; background:#fff; border:1px solid var(--line); padding:8px; max-width:900px; }
</style>
</head>
<body>
<header>
  <h1>osprey</h1>
  <button data-test="nav-logbook" data-view="logbook">Logbook</button>
  <button data-test="nav-entry" data-view="entry">Entry</button>
  <button data-test="nav-award" data-view="award">Award</button>
  <button data-test="nav-qsl" data-view="qsl">QSL</button>
  <button data-test="nav-stats" data-view="stats">Statistics</button>
  <button data-test="nav-transfer" data-view="transfer">Import/export</button>
  <span class="log" id="log-name"></span>
</header>
<div id="error" data-test="error" role="alert" hidden></div>
<main>
<section id="view-logbook">
  <form class="bar" data-test="logbook-filter" id="filter">
    <label>Call prefix<input name="call" size="8" autocomplete="off"></label>
    <label>Band (MHz)<input name="band" size="5"></label>
    <label>Mode<input name="mode" size="4"></label>
    <label>From<input name="since" type="date"></label>
    <label>To<input name="until" type="date"></label>
    <label class="check"><input name="deleted" type="checkbox">deleted too</label>
    <button class="act" type="submit">Filter</button>
    <button class="plain" type="reset">Clear</button>
  </form>
  <div class="scroll"><table data-test="logbook" id="logbook"><thead><tr>
    <th class="sort" data-order="record">#</th><th class="sort" data-order="date">Date</th><th>Time</th>
    <th class="sort" data-order="call">Call</th><th>Freq</th><th>Mode</th><th>His</th><th>My</th>
    <th>Code</th><th>Name</th><th>QSL</th><th>Remark</th></tr></thead><tbody></tbody></table></div>
  <div class="pager">
    <button class="plain" id="logbook-first">First page</button>
    <button class="plain" data-test="logbook-next" id="logbook-next">Next page</button>
    <span class="note" id="logbook-status"></span>
  </div>
</section>
<section id="view-entry" hidden>
  <form id="entry-form" autocomplete="off">
    <div class="full"><strong id="entry-title">New contact</strong> <span class="note" id="entry-status" data-test="entry-status"></span></div>
    <label class="wide">Call<input data-test="entry-call" name="call" maxlength="7"></label>
    <label>Date<input data-test="entry-date" name="date" placeholder="YYYY-MM-DD" maxlength="10"></label>
    <label>Time<input data-test="entry-time" name="time" placeholder="HH:MM" maxlength="5"></label>
    <label>Zone<select data-test="entry-zone" name="zone"><option value="U">UTC</option><option value="J">JST</option></select></label>
    <div class="zones" id="entry-zones"></div>
    <label>Freq (MHz)<input data-test="entry-freq" name="freq" maxlength="7"></label>
    <label>Mode<input data-test="entry-mode" name="mode" maxlength="3"></label>
    <label>RST sent<input data-test="entry-rst-sent" name="his" maxlength="3"></label>
    <label>RST rcvd<input data-test="entry-rst-rcvd" name="my" maxlength="3"></label>
    <label>Area code<input data-test="entry-code" name="code" maxlength="6"></label>
    <label>Name<input data-test="entry-name" name="name"></label>
    <label>Grid<input data-test="entry-grid" name="grid" maxlength="6"></label>
    <label>Portable<input data-test="entry-portable" name="portable" maxlength="3"></label>
    <label>QSL<input data-test="entry-qsl" name="qsl" maxlength="3"></label>
    <label class="wide">Remark 1<input data-test="entry-remark" name="remark1"></label>
    <label class="wide">Remark 2<input data-test="entry-remark2" name="remark2"></label>
    <label class="wide">Remark 3<input data-test="entry-remark3" name="remark3"></label>
    <div class="full">
      <button class="act" type="button" data-test="entry-save" id="entry-save">Save</button>
      <button class="plain" type="button" id="entry-clear">New (Esc)</button>
      <button class="plain" type="button" data-test="entry-rig" id="entry-rig" hidden>From rig</button>
      <button class="plain danger" type="button" data-test="entry-delete" id="entry-delete" hidden>Delete</button>
      <span class="note">Enter moves to the next field and saves from the last one; Esc clears.</span>
    </div>
  </form>
  <div class="worked" data-test="worked-before" id="worked"></div>
</section>
<section id="view-award" hidden>
  <div id="award-summary" class="note"></div>
  <div class="scroll"><table data-test="award-grid" id="award-grid"></table></div>
  <h3 id="award-cell-title"></h3>
  <table data-test="award-contacts" id="award-contacts"></table>
</section>
<section id="view-qsl" hidden>
  <div class="pager">
    <span id="qsl-count" class="note"></span>
    <a data-test="labels-pdf" id="labels-pdf" href="/api/labels.pdf" download="labels.pdf">Labels (PDF)</a>
    <button class="act" data-test="mark-sent" id="mark-sent">Mark these cards sent</button>
  </div>
  <div class="scroll"><table data-test="qsl-queue" id="qsl-queue"></table></div>
</section>
<section id="view-stats" hidden><div class="charts" id="charts" data-test="stats"></div></section>
<section id="view-transfer" hidden>
  <h3>Import ADIF (ADI or ADX)</h3>
  <input type="file" data-test="import-file" id="import-file" accept=".adi,.adx,.adif,.xml,text/plain">
  <progress id="import-progress" data-test="import-progress" max="100" value="0" hidden></progress>
  <div class="report" id="import-report" data-test="import-report" hidden></div>
  <h3>Export</h3>
  <p><a data-test="export-adif" href="/api/export?format=adi">ADI</a> ·
     <a data-test="export-adx" href="/api/export?format=adx">ADX</a> ·
     <a data-test="export-csv" href="/api/export?format=csv">CSV</a></p>
</section>
</main>
<script>
"use strict";
const TOKEN = document.querySelector('meta[name="osprey-token"]').content;
const $ = (s, r = document) => r.querySelector(s);
const $$ = (s, r = document) => Array.from(r.querySelectorAll(s));
let info = {};

// Elements are made with their text as text: nothing from the log is markup.
function el(tag, attrs, ...kids) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) {
    if (k === 'text') e.textContent = v;
    else if (k.startsWith('on')) e.addEventListener(k.slice(2), v);
    else if (v !== null && v !== undefined && v !== false) e.setAttribute(k, v === true ? '' : String(v));
  }
  for (const kid of kids) e.append(kid instanceof Node ? kid : document.createTextNode(String(kid)));
  return e;
}
function showError(text) { const e = $('#error'); e.textContent = text; e.hidden = false; }
function clearError() { const e = $('#error'); e.textContent = ''; e.hidden = true; }
async function api(path, options = {}) {
  const headers = Object.assign({ 'X-Osprey-Token': TOKEN }, options.headers || {});
  const res = await fetch(path, Object.assign({}, options, { headers }));
  const type = res.headers.get('Content-Type') || '';
  const data = type.startsWith('application/json') ? await res.json() : await res.text();
  if (!res.ok) throw new Error((data && data.error) || ('HTTP ' + res.status));
  return data;
}
const post = (path, body) => api(path, { method: 'POST', body: JSON.stringify(body),
                                         headers: { 'Content-Type': 'application/json' } });
function withToken(href) { return href + (href.includes('?') ? '&' : '?') + 'token=' + encodeURIComponent(TOKEN); }

// ---- views ----
const loaders = {};
function show(view) {
  clearError();
  for (const s of $$('main > section')) s.hidden = s.id !== 'view-' + view;
  for (const b of $$('header button')) b.classList.toggle('on', b.dataset.view === view);
  if (loaders[view]) loaders[view]().catch(e => showError(e.message));
}
for (const b of $$('header button')) b.addEventListener('click', () => show(b.dataset.view));

function contactRow(c, columns) {
  const tr = el('tr', { 'data-test': 'contact-row', 'data-recno': c.recno, class: c.deleted ? 'deleted' : null });
  for (const k of columns) tr.append(el('td', { text: k === 'remark' ? c.remark1 : c[k] }));
  tr.addEventListener('click', () => openContact(c.recno));
  return tr;
}
const ROW = ['recno', 'date', 'time', 'call', 'freq', 'mode', 'his', 'my', 'code', 'name', 'qsl', 'remark'];
function headRow(names) { return el('thead', {}, el('tr', {}, ...names.map(n => el('th', { text: n })))); }

// ---- logbook ----
const book = { order: 'record-desc', cursors: [''], page: 0, next: null };
function filterQuery() {
  const f = $('#filter'); const q = new URLSearchParams();
  for (const n of ['call', 'band', 'mode', 'since', 'until']) if (f.elements[n].value.trim()) q.set(n, f.elements[n].value.trim());
  if (f.elements.deleted.checked) q.set('deleted', '1');
  return q;
}
async function loadPage() {
  const q = filterQuery(); q.set('order', book.order);
  if (book.cursors[book.page]) q.set('after', book.cursors[book.page]);
  const started = performance.now();
  const data = await api('/api/contacts?' + q);
  const body = $('#logbook tbody');
  body.replaceChildren(...data.rows.map(c => contactRow(c, ROW)));
  book.next = data.next;
  book.cursors.length = book.page + 1;
  $('#logbook-next').disabled = !data.next;
  $('#logbook-first').disabled = book.page === 0;
  const first = book.page * 250 + 1;
  $('#logbook-status').textContent = data.rows.length ? `page ${book.page + 1}: rows ${first} to ${first + data.rows.length - 1} of ${data.contacts} contacts in the log (${Math.round(performance.now() - started)} ms)` : 'no contacts';
  for (const th of $$('#logbook th.sort')) {
    const on = book.order.startsWith(th.dataset.order);
    th.classList.toggle('sorted', on); th.classList.toggle('desc', on && book.order.endsWith('-desc'));
  }
}
loaders.logbook = () => { book.cursors = ['']; book.page = 0; return loadPage(); };
$('#logbook-next').addEventListener('click', () => {
  if (!book.next) return; book.cursors.push(book.next); book.page++;
  loadPage().catch(e => showError(e.message));
});
$('#logbook-first').addEventListener('click', () => loaders.logbook().catch(e => showError(e.message)));
$('#filter').addEventListener('submit', ev => { ev.preventDefault(); clearError(); loaders.logbook().catch(e => showError(e.message)); });
$('#filter').addEventListener('reset', () => setTimeout(() => loaders.logbook().catch(e => showError(e.message))));
for (const th of $$('#logbook th.sort')) th.addEventListener('click', () => {
  const o = th.dataset.order;
  book.order = o === 'record' ? (book.order === 'record-desc' ? 'record' : 'record-desc') : o;
  loaders.logbook().catch(e => showError(e.message));
});

// ---- entry ----
const form = $('#entry-form');
const fields = $$('input, select', form);
let editing = 0;
function pad(n) { return String(n).padStart(2, '0'); }
function nowUtc() { const d = new Date(); return { date: `${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())}`, time: `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}` }; }
function otherZone() {
  const m = /^(\d{4})-(\d{2})-(\d{2})$/.exec(form.elements.date.value.trim());
  const t = /^(\d{1,2}):?(\d{2})$/.exec(form.elements.time.value.trim());
  if (!m || !t) { $('#entry-zones').textContent = ''; return; }
  const shift = form.elements.zone.value === 'U' ? 9 : -9;
  const d = new Date(Date.UTC(+m[1], +m[2] - 1, +m[3], +t[1] + shift, +t[2]));
  $('#entry-zones').textContent = `${form.elements.zone.value === 'U' ? 'JST' : 'UTC'} ${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())} ${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}`;
}
function newContact() {
  editing = 0; form.reset();
  const now = nowUtc();
  form.elements.date.value = now.date; form.elements.time.value = now.time; form.elements.zone.value = 'U';
  form.elements.freq.value = info.freq || ''; form.elements.mode.value = info.mode || '';
  $('#entry-title').textContent = 'New contact';
  $('#entry-delete').hidden = true;
  $('#worked').replaceChildren();
  otherZone();
  if (info.rig) fromRig();
}
async function openContact(recno) {
  try {
    const c = await api('/api/contact?recno=' + recno);
    show('entry');
    editing = recno;
    for (const f of fields) if (c[f.name] !== undefined) f.value = c[f.name];
    $('#entry-title').textContent = `Contact ${recno}` + (c.deleted ? ' (deleted)' : '');
    $('#entry-status').textContent = '';
    const del = $('#entry-delete'); del.hidden = false; del.dataset.armed = '';
    del.textContent = c.deleted ? 'Undelete' : 'Delete'; del.dataset.deleted = c.deleted ? '1' : '';
    otherZone(); worked();
  } catch (e) { showError(e.message); }
}
async function save() {
  clearError();
  const body = {};
  for (const f of fields) body[f.name] = f.value.trim();
  try {
    const r = await post('/api/contact' + (editing ? '?recno=' + editing : ''), body);
    info.freq = body.freq; info.mode = body.mode;
    if (!editing) { info.contacts = r.recno; $('#log-name').textContent = `${info.log} · ${info.contacts} contacts`; }
    const dup = r.duplicates && r.duplicates.length ? ` (contact ${r.duplicates.join(', ')} has the same call, moment, band and mode)` : '';
    $('#entry-status').textContent = editing ? `Saved contact ${r.recno}` : `Added contact ${r.recno}${dup}`;
    if (!editing) { newContact(); form.elements.call.focus(); }
  } catch (e) { showError(e.message); }
}
$('#entry-save').addEventListener('click', save);
$('#entry-clear').addEventListener('click', () => { clearError(); newContact(); form.elements.call.focus(); });
$('#entry-delete').addEventListener('click', async () => {
  const b = $('#entry-delete');
  if (!b.dataset.armed) { b.dataset.armed = '1'; b.textContent = 'Click again to confirm'; return; }
  try {
    await post(`/api/contact/${b.dataset.deleted ? 'undelete' : 'delete'}?recno=${editing}`, {});
    await openContact(editing);
  } catch (e) { showError(e.message); }
});
form.addEventListener('keydown', ev => {
  if (ev.key === 'Escape') { ev.preventDefault(); clearError(); newContact(); form.elements.call.focus(); return; }
  if (ev.key !== 'Enter' || ev.target.tagName === 'BUTTON') return;
  ev.preventDefault();
  const i = fields.indexOf(ev.target);
  if (i === fields.length - 1) save(); else fields[i + 1].focus();
});
for (const n of ['date', 'time', 'zone']) form.elements[n].addEventListener('input', otherZone);
form.elements.zone.addEventListener('change', otherZone);
let workedTimer = 0, workedAsked = 0;
async function worked() {
  const call = form.elements.call.value.trim();
  const box = $('#worked');
  if (!call) { box.replaceChildren(); return; }
  const asked = ++workedAsked;
  const q = new URLSearchParams({ call, freq: form.elements.freq.value.trim(), mode: form.elements.mode.value.trim(), date: form.elements.date.value.trim() });
  try {
    const w = await api('/api/worked?' + q);
    if (asked !== workedAsked) return;
    const flags = el('div', {});
    if (!w.count) flags.append(el('span', { class: 'flag new', text: 'new call' }));
    else flags.append(el('span', { class: 'flag seen', text: `worked before: ${w.count}` }));
    if (w.new_band) flags.append(el('span', { class: 'flag new', text: 'new band' }));
    if (w.new_mode) flags.append(el('span', { class: 'flag new', text: 'new mode' }));
    if (w.duplicate) flags.append(el('span', { class: 'flag dup', text: 'duplicate: same band and mode today' }));
    const table = el('table', {}, headRow(['#', 'Date', 'Time', 'Call', 'Freq', 'Mode', 'His', 'My', 'Code', 'Name', 'QSL', 'Remark']),
                     el('tbody', {}, ...w.rows.map(c => contactRow(c, ROW))));
    box.replaceChildren(flags, ...(w.rows.length ? [table] : []));
  } catch (e) { if (asked === workedAsked) showError(e.message); }
}
form.elements.call.addEventListener('input', () => {
  form.elements.call.value = form.elements.call.value.toUpperCase();
  clearTimeout(workedTimer); workedTimer = setTimeout(worked, 120);
});
for (const n of ['freq', 'mode']) form.elements[n].addEventListener('change', worked);
async function fromRig() {
  try { const r = await api('/api/rig'); form.elements.freq.value = r.freq; form.elements.mode.value = r.mode; }
  catch (e) { showError('rig: ' + e.message); }
}
$('#entry-rig').addEventListener('click', fromRig);
loaders.entry = async () => { if (!editing) newContact(); form.elements.call.focus(); };

// ---- award ----
loaders.award = async () => {
  const a = await api('/api/award');
  const grid = $('#award-grid');
  const head = el('tr', {}, el('th', { text: 'Code' }), el('th', { text: 'Area' }), ...a.bands.map(b => el('th', { text: b })));
  const rows = a.rows.map(r => el('tr', {}, el('td', { text: r.code }), el('td', { text: r.name }),
    ...a.bands.map((b, i) => {
      const s = r.bands[i] === 'C' || r.bands[i] === 'W' ? r.bands[i] : '';
      return el('td', { class: 'cell', 'data-test': 'award-cell', 'data-code': r.code, 'data-band': b, 'data-state': s, text: s,
                        title: `${r.code} ${r.name} ${b} MHz`, onclick: () => cellContacts(r.code, r.name, b) });
    })));
  const total = (label, counts) => el('tr', {}, el('th', { text: label }), el('th', {}), ...counts.map(n => el('th', { text: n })));
  grid.replaceChildren(el('thead', {}, head), el('tbody', {}, ...rows), el('tfoot', {}, total('worked', a.worked), total('confirmed', a.confirmed)));
  const anyWorked = a.rows.filter(r => /[CW]/.test(r.bands)).length;
  const anyConfirmed = a.rows.filter(r => r.bands.includes('C')).length;
  const bar = el('div', { class: 'progress' }, el('div', { style: `width:${a.areas ? 100 * anyConfirmed / a.areas : 0}%` }));
  $('#award-summary').replaceChildren(el('div', { text: `${anyWorked} of ${a.areas} areas worked, ${anyConfirmed} confirmed (${a.walked} live contacts counted)` }), bar);
  $('#award-contacts').replaceChildren(); $('#award-cell-title').textContent = '';
};
async function cellContacts(code, name, band) {
  try {
    const r = await api('/api/award/contacts?' + new URLSearchParams({ code, band }));
    $('#award-cell-title').textContent = `${code} ${name}, ${band} MHz: ${r.rows.length} contact${r.rows.length === 1 ? '' : 's'}`;
    $('#award-contacts').replaceChildren(headRow(['#', 'Date', 'Time', 'Call', 'Freq', 'Mode', 'His', 'My', 'Code', 'Name', 'QSL', 'Remark']),
                                         el('tbody', {}, ...r.rows.map(c => contactRow(c, ROW))));
  } catch (e) { showError(e.message); }
}

// ---- QSL ----
let queue = [];
loaders.qsl = async () => {
  const q = await api('/api/qsl');
  queue = q.recnos;
  $('#qsl-count').textContent = `${q.count} card${q.count === 1 ? '' : 's'} to send, in bureau order` + (q.count > q.rows.length ? ` (the first ${q.rows.length} listed)` : '');
  $('#qsl-queue').replaceChildren(headRow(['#', 'Date', 'Time', 'Call', 'Freq', 'Mode', 'His', 'My', 'Code', 'Name', 'QSL', 'Remark']),
                                  el('tbody', {}, ...q.rows.map(c => contactRow(c, ROW))));
  $('#mark-sent').disabled = q.count === 0;
};
$('#labels-pdf').href = withToken('/api/labels.pdf');
$('#mark-sent').addEventListener('click', async () => {
  try {
    const r = await post('/api/qsl/mark-sent', { recnos: queue, mark: 'Y' });
    await loaders.qsl();
    $('#qsl-count').textContent = `${r.marked} card${r.marked === 1 ? '' : 's'} marked sent; ` + $('#qsl-count').textContent;
  } catch (e) { showError(e.message); }
});

// ---- statistics ----
const SVG = 'http://www.w3.org/2000/svg';
function svg(tag, attrs, text) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, String(v));
  if (text !== undefined) e.textContent = text;
  return e;
}
function barChart(title, pairs, test) {
  const w = 26, gap = 8, h = 180, top = 20, left = 40;
  const max = Math.max(1, ...pairs.map(p => p[1]));
  const width = left + pairs.length * (w + gap) + 10;
  const s = svg('svg', { width, height: h + 60, viewBox: `0 0 ${width} ${h + 60}`, 'data-test': test });
  s.append(svg('line', { x1: left - 4, y1: top + h, x2: width, y2: top + h, stroke: '#888' }));
  s.append(svg('text', { x: left - 8, y: top + 4, 'text-anchor': 'end', 'font-size': 11, fill: '#555' }, max));
  pairs.forEach(([name, n], i) => {
    const bh = Math.round(h * n / max), x = left + i * (w + gap);
    const bar = svg('rect', { x, y: top + h - bh, width: w, height: bh, fill: '#1f6feb', rx: 2 });
    bar.append(svg('title', {}, `${name}: ${n}`));
    s.append(bar);
    s.append(svg('text', { x: x + w / 2, y: top + h - bh - 3, 'text-anchor': 'middle', 'font-size': 10, fill: '#333' }, n));
    s.append(svg('text', { x: x + w / 2, y: top + h + 14, 'text-anchor': 'middle', 'font-size': 11, fill: '#333' }, name));
  });
  return el('div', { class: 'chart' }, el('h3', { text: title }), s);
}
loaders.stats = async () => {
  const s = await api('/api/stats');
  $('#charts').replaceChildren(barChart(`Contacts per band (MHz), ${s.contacts} in all`, s.bands, 'stats-bands'),
                               barChart('Contacts per mode', s.modes, 'stats-modes'),
                               barChart('Contacts per year', s.years, 'stats-years'));
};

// ---- import and export ----
for (const a of $$('#view-transfer a')) a.href = withToken(a.getAttribute('href'));
$('#import-file').addEventListener('change', () => {
  const file = $('#import-file').files[0];
  if (!file) return;
  clearError();
  const bar = $('#import-progress'), report = $('#import-report');
  bar.hidden = false; bar.value = 0; report.hidden = false; report.textContent = `uploading ${file.name}...`;
  const x = new XMLHttpRequest();
  x.open('POST', '/api/import');
  x.setRequestHeader('X-Osprey-Token', TOKEN);
  x.setRequestHeader('Content-Type', 'application/octet-stream');
  x.upload.onprogress = ev => { if (ev.lengthComputable) bar.value = 90 * ev.loaded / ev.total; };
  x.upload.onload = () => { report.textContent = `importing ${file.name}...`; };
  x.onload = () => {
    bar.value = 100;
    let r = {};
    try { r = JSON.parse(x.responseText); } catch (e) { r = { error: 'HTTP ' + x.status }; }
    if (x.status !== 200 && r.imported === undefined) { report.textContent = ''; showError(r.error); return; }
    const lines = [`${file.name}: read ${r.records} records: imported ${r.imported}, refused ${r.refused_count}, duplicates ${r.duplicates}; the log has ${r.contacts} contacts`];
    if (r.error) lines.push('stopped: ' + r.error);
    for (const f of r.refused) lines.push(`record ${f.record}: ${f.field}: ${f.reason}`);
    if (r.refused_count > r.refused.length) lines.push(`(${r.refused_count - r.refused.length} more refused)`);
    report.textContent = lines.join('\n');
  };
  x.onerror = () => showError('the upload failed');
  x.send(file);
});

(async () => {
  try {
    info = await api('/api/info');
    $('#log-name').textContent = `${info.log} · ${info.contacts} contacts`;
    $('#entry-rig').hidden = !info.rig;
    const missing = info.indexes.filter(n => n);
    if (missing.length) showError(missing.join('\n'));
  } catch (e) { showError(e.message); }
  show('logbook');
})();
</script>
</body>
</html>
)PAGE";

}  // namespace

std::string serve_page(const std::string& token) {
  std::string page = kPage;
  const std::string mark = "@TOKEN@";
  page.replace(page.find(mark), mark.size(), token);
  return page;
}

}  // namespace osprey_tool
