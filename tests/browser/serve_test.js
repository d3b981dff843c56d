// `osprey serve` driven in headless Chromium through the page's data-test
// names: logbook paging and filter, entry (refused and saved), worked
// before, the award cell's contacts, the QSL queue with its labels and
// mark-sent, markup shown as text; writes without the token or from another
// site refused; SIGTERM flushes and the command sees the new contact.
//
//   node serve_test.js OSPREY SOURCE_DIR NPM_DIR [SCREENSHOT_DIR]
'use strict';
const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');

const [osprey, sourceDir, npmDir, shotDir] = process.argv.slice(2);
const puppeteerDir = path.join(path.resolve(npmDir), 'node_modules', 'puppeteer-core');
if (!fs.existsSync(puppeteerDir)) {
  console.log(`puppeteer-core is not installed in ${npmDir} (scripts/test-all.sh installs it): skipped`);
  process.exit(77);
}
const puppeteer = require(puppeteerDir);

let failures = 0;
const cleanups = [];  // run when the test ends early
for (const sig of ['SIGINT', 'SIGTERM']) process.on(sig, () => { for (const c of cleanups) c(); process.exit(1); });
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

// 600 contacts: JH1AAA every seventh, area codes of the sample master file,
// every third card received.
function adif() {
  let seed = 1;
  const next = n => { seed = (seed * 1103515245 + 12345) % 2147483648; return Math.floor(seed / 65536) % n; };
  const bands = [['7.025', 'CW'], ['14.074', 'FT8'], ['21.200', 'SSB'], ['144.20', 'FM']];
  const codes = ['1001', '100101', '100105', '2002', '0101'];
  const field = (n, v) => `<${n}:${Buffer.byteLength(v)}>${v}`;
  let out = 'generated for the browser test\n<ADIF_VER:5>3.1.4<EOH>\n';
  for (let i = 0; i < 600; i++) {
    const [freq, mode] = bands[next(bands.length)];
    const call = i % 7 === 0 ? 'JH1AAA' : 'JA' + (1 + next(9)) + 'ABCDEFGHJKLMNPQRSTUVWXYZ'[next(24)] +
      'ABCDEFGHJKLMNPQRSTUVWXYZ'[next(24)] + 'ABCDEFGHJKLMNPQRSTUVWXYZ'[next(24)];
    // Each contact its own day and hour: none is a duplicate of another.
    const day = `2023${String(1 + i % 12).padStart(2, '0')}${String(1 + Math.floor(i / 12) % 28).padStart(2, '0')}`;
    out += field('CALL', call) + field('QSO_DATE', day) + field('TIME_ON', String(10 + Math.floor(i / 336)).padStart(2, '0') + String(next(60)).padStart(2, '0')) +
      field('FREQ', freq) + field('MODE', mode) + field('RST_SENT', '599') + field('RST_RCVD', '579') +
      field('CNTY', codes[i % codes.length]) + (i % 3 === 0 ? field('QSL_RCVD', 'Y') : '') + '<EOR>\n';
  }
  return out;
}

function run(args) {
  const r = spawnSync(osprey, args, { encoding: 'utf8' });
  if (r.status !== 0) throw new Error(`osprey ${args.join(' ')}: ${r.stderr}`);
  return r.stdout;
}

function freePort() {
  return new Promise(resolve => {
    const s = net.createServer().listen(0, '127.0.0.1', () => { const p = s.address().port; s.close(() => resolve(p)); });
  });
}

function request(url, method, headers, body) {
  return new Promise((resolve, reject) => {
    const r = http.request(url, { method, headers }, res => {
      let data = '';
      res.on('data', d => { data += d; });
      res.on('end', () => resolve({ status: res.statusCode, body: data }));
    });
    r.on('error', reject);
    r.end(body);
  });
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'osprey-browser-'));
  const log = path.join(dir, 'LOG');
  cleanups.push(() => fs.rmSync(dir, { recursive: true, force: true }));
  fs.writeFileSync(path.join(dir, 'gen.adi'), adif());
  run(['new', log, '--master', path.join(sourceDir, 'samples', 'SAMPLE.mst')]);
  const imported = run(['import', log, path.join(dir, 'gen.adi')]);
  check(imported.includes('imported 600,'), 'the generated contacts are imported');

  // A dummy rig when rigctld is there.
  let rig = null;
  const serveArgs = ['serve', log, '--port', '0'];
  if (spawnSync('sh', ['-c', 'command -v rigctld']).status === 0) {
    const port = await freePort();
    rig = spawn('rigctld', ['-m', '1', '-t', String(port)], { stdio: 'ignore' });
    await new Promise(r => setTimeout(r, 500));
    serveArgs.push('--rig', `127.0.0.1:${port}`);
  }
  const server = spawn(osprey, serveArgs, { stdio: ['ignore', 'pipe', 'inherit'] });
  cleanups.push(() => server.kill('SIGKILL'));
  if (rig) cleanups.push(() => rig.kill('SIGKILL'));
  const exited = new Promise(resolve => server.on('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', d => { text += d; if (text.includes('\n')) resolve(text.split('\n')[0].trim()); });
    server.on('exit', () => reject(new Error('osprey serve ended before printing its URL')));
  });
  check(/^http:\/\/127\.0\.0\.1:\d+\/$/.test(url), `serve prints its URL first (${url})`);

  const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
                                           args: ['--no-sandbox', '--disable-gpu'] });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 860 });
    const shot = async name => { if (shotDir) await page.screenshot({ path: path.join(shotDir, `serve-${name}.png`) }); };
    const T = s => `[data-test="${s}"]`;
    const rows = sel => page.$$eval(`${sel} ${T('contact-row')}`, rs => rs.map(r => ({
      recno: +r.dataset.recno, cells: Array.from(r.cells, c => c.textContent), bold: r.querySelector('b') !== null })));
    const errorText = () => page.$eval(T('error'), e => (e.hidden ? '' : e.textContent));

    // ---- logbook: pages of 250, newest first, then a filter ----
    await page.goto(url);
    await page.waitForSelector(`${T('logbook')} ${T('contact-row')}`);
    const first = await rows(T('logbook'));
    check(first.length === 250 && first[0].recno === 600, `first page: 250 rows from 600 (${first.length}, ${first[0] && first[0].recno})`);
    await shot('logbook');
    await page.click(T('logbook-next'));
    await page.waitForFunction(s => document.querySelector(s).dataset.recno === '350', {}, `${T('logbook')} ${T('contact-row')}`);
    await page.click(T('logbook-next'));
    await page.waitForFunction(s => document.querySelector(s).dataset.recno === '100', {}, `${T('logbook')} ${T('contact-row')}`);
    const last = await rows(T('logbook'));
    check(last.length === 100 && last[99].recno === 1, `third page: the last 100 (${last.length})`);
    await page.type(`${T('logbook-filter')} input[name=call]`, 'jh1');
    await page.click(`${T('logbook-filter')} button[type=submit]`);
    await page.waitForFunction(s => document.querySelectorAll(s).length === 86, {}, `${T('logbook')} ${T('contact-row')}`);
    const filtered = await rows(T('logbook'));
    check(filtered.every(r => r.cells[3] === 'JH1AAA'), 'the filter by call prefix shows JH1AAA only');
    await page.click(`${T('logbook-filter')} button[type=reset]`);
    await page.waitForFunction(s => document.querySelectorAll(s).length === 250, {}, `${T('logbook')} ${T('contact-row')}`);

    // ---- entry: worked before, a refusal, a save ----
    await page.click(T('nav-entry'));
    await page.waitForSelector(T('entry-call'), { visible: true });
    if (rig) {
      await page.waitForFunction(s => document.querySelector(s).value === '145.000', { timeout: 3000 }, T('entry-freq'))
        .then(() => check(true, 'the entry takes the rig frequency'), () => check(false, 'the entry takes the rig frequency'));
    }
    await page.type(T('entry-call'), 'jh1aaa');
    await page.waitForFunction(s => document.querySelector(s).textContent.includes('worked before: 86'), {}, T('worked-before'));
    check(true, 'worked before while typing: 86 contacts');
    await page.keyboard.press('Escape');
    const fill = async (name, text) => { await page.click(T(name), { clickCount: 3 }); await page.keyboard.press('Backspace'); await page.type(T(name), text); };
    await fill('entry-call', 'JA1ZZZ');
    await fill('entry-freq', '7.012');
    await fill('entry-mode', 'CW');
    await fill('entry-date', '2023-02-30');
    await page.click(T('entry-save'));
    await page.waitForFunction(s => !document.querySelector(s).hidden, {}, T('error'));
    check((await errorText()).includes('2023-02-30'), `a refused entry shows its error (${await errorText()})`);
    await fill('entry-date', '2024-03-04');
    await fill('entry-time', '05:06');
    await fill('entry-rst-sent', '599');
    await fill('entry-rst-rcvd', '579');
    await fill('entry-code', '2002');
    await fill('entry-remark', '<b>markup</b>');
    await page.click(T('entry-save'));
    await page.waitForFunction(s => document.querySelector(s).textContent.includes('Added contact 601'), {}, T('entry-status'));
    check((await errorText()) === '', 'the entry is saved as contact 601');
    await page.type(T('entry-call'), 'JH1AAA');
    await page.waitForFunction(s => document.querySelector(s).textContent.includes('worked before'), {}, T('worked-before'));
    await shot('entry');
    await page.click(T('nav-logbook'));
    await page.waitForFunction(s => { const r = document.querySelector(s); return r && r.dataset.recno === '601'; }, {},
                               `${T('logbook')} ${T('contact-row')}`);
    const added = (await rows(T('logbook')))[0];
    check(added.cells[3] === 'JA1ZZZ' && added.cells[11] === '<b>markup</b>' && !added.bold,
          `the new contact leads the logbook, its remark as text (${added.cells[11]})`);

    // ---- award: a cell's contacts ----
    await page.click(T('nav-award'));
    await page.waitForSelector(`${T('award-cell')}[data-state="C"]`);
    await shot('award');
    const cell = await page.$eval(`${T('award-cell')}[data-code="1001"][data-band="7"]`, c => c.dataset.state);
    check(cell === 'C' || cell === 'W', `area 1001 on 7 MHz is worked (${cell})`);
    await page.click(`${T('award-cell')}[data-code="1001"][data-band="7"]`);
    await page.waitForSelector(`${T('award-contacts')} ${T('contact-row')}`);
    const behind = await rows(T('award-contacts'));
    check(behind.length > 0 && behind.every(r => r.cells[8] === '1001' && r.cells[4].startsWith('7.')),
          `the cell lists its ${behind.length} contacts`);

    // ---- QSL: the queue, the labels, mark sent ----
    await page.click(T('nav-qsl'));
    await page.waitForSelector(`${T('qsl-queue')} ${T('contact-row')}`);
    await shot('qsl');
    const queued = (await rows(T('qsl-queue'))).length;
    const pdf = await page.$eval(T('labels-pdf'), async a => {
      const r = await fetch(a.href);
      return { type: r.headers.get('Content-Type'), head: new TextDecoder().decode((await r.arrayBuffer()).slice(0, 5)) };
    });
    check(pdf.type === 'application/pdf' && pdf.head === '%PDF-', 'labels-pdf returns a PDF');
    await page.click(T('mark-sent'));
    await page.waitForFunction(s => document.querySelectorAll(s).length === 0, {}, `${T('qsl-queue')} ${T('contact-row')}`);
    check(queued > 0, `mark-sent empties the queue of ${queued} cards`);

    await page.click(T('nav-stats'));
    await page.waitForSelector('[data-test="stats-bands"] rect');
    await shot('stats');
    await page.click(T('nav-transfer'));
    await page.waitForSelector(T('import-file'), { visible: true });
    await shot('transfer');
    const upload = path.join(path.dirname(log), 'upload.adi');
    fs.writeFileSync(upload, '<ADIF_VER:5>3.1.4<EOH>\n<CALL:6>JR2UPL<QSO_DATE:8>20240105<TIME_ON:4>1200' +
                             '<FREQ:5>7.030<MODE:2>CW<EOR>\n<CALL:6>JR2BAD<QSO_DATE:8>20241305<TIME_ON:4>1200<EOR>\n');
    await (await page.$(T('import-file'))).uploadFile(upload);
    await page.waitForFunction(s => /imported \d+, refused \d+/.test(document.querySelector(s).textContent), {}, T('import-report'));
    const report = await page.$eval(T('import-report'), e => e.textContent);
    check(/read 2 records: imported 1, refused 1/.test(report) && report.includes('record 2'),
          `the upload's report counts and names the refused record (${report.split('\n')[0]})`);
    const adi = await page.$eval(T('export-adif'), async a => (await (await fetch(a.href)).text()));
    check(adi.includes('<EOH>') && adi.includes('JR2UPL') && adi.includes('JA1ZZZ'), 'export-adif downloads the log as ADI');

    // ---- writes from elsewhere ----
    const token = await page.$eval('meta[name="osprey-token"]', m => m.content);
    const target = new URL('/api/contact', url);
    const body = JSON.stringify({ call: 'JA1BAD' });
    const json = { 'Content-Type': 'application/json' };
    const noToken = await request(target, 'POST', json, body);
    check(noToken.status === 403, `a write without the token is refused (${noToken.status})`);
    const foreign = await request(target, 'POST', { ...json, 'X-Osprey-Token': token, Origin: 'http://evil.example' }, body);
    check(foreign.status === 403, `a write from another Origin is refused (${foreign.status})`);
    const rebound = await request(target, 'GET', { Host: 'evil.example' });
    check(rebound.status === 403, `a request for another Host is refused (${rebound.status})`);
  } finally {
    await browser.close();
  }

  server.kill('SIGTERM');
  const timer = setTimeout(() => server.kill('SIGKILL'), 5000);
  const end = await exited;
  clearTimeout(timer);
  check(end.code === 0, `SIGTERM: serve exits 0 (${end.code} ${end.signal || ''})`);
  if (rig) rig.kill('SIGTERM');
  const listed = run(['list', log, '--by', 'record', '--from', '601']);
  check(listed.includes('JA1ZZZ') && !listed.includes('JA1BAD'), 'osprey list shows the contact saved in the page');
  fs.rmSync(dir, { recursive: true, force: true });
}

main().then(() => {
  console.log(failures === 0 ? 'all passed' : `${failures} failed`);
  process.exit(failures === 0 ? 0 : 1);
}, e => {
  console.error(e);
  for (const c of cleanups) c();
  process.exit(1);
});
