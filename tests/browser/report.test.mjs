// Opens pages written by `voxtrawl-cli report` in headless Chromium and
// uses them as a person would: reads the rows, plays, stops, moves with
// the keyboard and downloads WAVE files, which must equal the ripper's.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage } from './browser.mjs';
import {
  BUILD, DEMO_ROM, cli, craftManyRunsRom, listed, rippedFiles, rippedOneFile, tempDir,
} from './support.mjs';

const RATES = [5500, 6000, 7333, 8000, 11025, 16000, 22050, 32000, 44100, 48000];

let browser;
let work;

before(async () => {
  assert.ok(fs.existsSync(path.join(BUILD, 'cli', 'voxtrawl-cli')) || process.env.VOXTRAWL_CLI,
    'build voxtrawl-cli first');
  browser = await launchBrowser();
  work = tempDir();
});

after(async () => {
  await browser?.close();
  fs.rmSync(work, { recursive: true, force: true });
});

function writeReport(rom, args = []) {
  const out = path.join(work, `${path.basename(rom)}-${args.join('_') || 'default'}.html`);
  cli(['report', rom, '-o', out, ...args]);
  return out;
}

// Chromium holds back a page's downloads after ten or so in a row, and on
// a loaded machine now and then sooner; a reload starts a fresh count and
// keeps the chosen rate and decoder.
const downloadsSinceLoad = new WeakMap();

async function reloadKeepingChoices(page) {
  const choices = await page.evaluate(() =>
    ['rate', 'decoder'].map((id) => [id, document.getElementById(id)?.value]));
  await page.reload();
  await page.waitForSelector('body[data-ready="true"]');
  for (const [id, value] of choices) {
    if (value !== undefined) await page.selectOption(`#${id}`, value);
  }
  downloadsSinceLoad.set(page, 0);
}

async function download(page, selector) {
  if ((downloadsSinceLoad.get(page) ?? 0) === 8) await reloadKeepingChoices(page);
  let file;
  try {
    [file] = await Promise.all([page.waitForEvent('download', { timeout: 10000 }), page.click(selector)]);
  } catch (error) {
    if (error.name !== 'TimeoutError') throw error;
    // Held back: one more try on a fresh page; a second silence fails.
    await reloadKeepingChoices(page);
    [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
  }
  downloadsSinceLoad.set(page, (downloadsSinceLoad.get(page) ?? 0) + 1);
  const saved = await file.path();
  return { name: file.suggestedFilename(), bytes: fs.readFileSync(saved) };
}

async function chooseRate(page, rate) {
  await page.selectOption('#rate', String(rate));
}

const audioState = (page) => page.evaluate(() => ({
  active: window.__audio.active,
  started: window.__audio.started,
  contexts: window.__audio.contexts.length,
  state: window.__audio.contexts[0]?.state,
  time: window.__audio.contexts[0]?.currentTime ?? 0,
  status: document.getElementById('status').textContent,
}));

const selectedNumber = (page) =>
  page.evaluate(() => Number(document.querySelector('tr.selected td.number')?.textContent ?? 0));

describe('demo ROM page', () => {
  let pageFile;
  let listing;
  let opened;

  before(async () => {
    listing = listed(DEMO_ROM);
    pageFile = writeReport(DEMO_ROM);
    opened = await openPage(browser, pathToFileURL(pageFile));
    const size = fs.statSync(pageFile).size;
    console.log(`demo page: ${size} bytes, ready after ${opened.loadMs.toFixed(0)} ms`);
  });

  after(async () => { await opened?.context.close(); });

  test('shows one row per stored sample with the listing\'s offsets and blocks', async () => {
    assert.equal(listing.stored.length, 16);
    const rows = await opened.page.$$eval('#rows tr', (trs) => trs.map((tr) =>
      Array.from(tr.querySelectorAll('td'), (td) =>
        (td.querySelector('.value, .loop-flag') ?? td).textContent.trim()).slice(0, 6)));
    const hex = (n) => '0x' + n.toString(16).toUpperCase().padStart(6, '0');
    // ROM offsets carry their SNES address from the detected mapping.
    const where = (offset, snes) => (snes ? `${hex(offset)} ${snes}` : hex(offset));
    assert.deepEqual(rows, listing.stored.map((s) => [
      String(s.number), where(s.start, s.snesStart), where(s.end, s.snesEnd), String(s.blocks),
      `${(s.bytes / 2 / 8000).toFixed(3)} s${s.silent ? ' \u00B7 silent' : ''}`, s.loop ? 'yes' : 'no',
    ]));
    const header = await opened.page.$eval('header', (h) => h.innerText);
    assert.match(header, /demo\.sfc/);
    assert.match(header, /262,144 bytes/);
    assert.match(header, /Runs found\s+16/);
    assert.match(header, /Samples stored\s+16/);
    assert.match(header, /568 bytes/);
    const rates = await opened.page.$$eval('#rate option', (options) => options.map((o) => Number(o.value)));
    assert.deepEqual(rates, RATES);
    assert.deepEqual(opened.seen, { outside: [], dialogs: [], errors: [] });
  });

  test('Space plays the selected row, Escape stops, another row replaces the sound', async () => {
    const { page } = opened;
    await page.click('#loop + .track');  // looped, so only Escape can end it
    await page.click('#rows tr:nth-child(2) td.offset');
    await page.keyboard.press(' ');
    await page.waitForFunction(() => window.__audio.active === 1);
    const first = await audioState(page);
    await page.waitForTimeout(300);
    const later = await audioState(page);
    assert.equal(first.state, 'running');
    assert.ok(later.time > first.time, 'the audio clock advances while playing');
    assert.equal(later.status, 'Playing #2 at 8,000 Hz, looped');

    // A new rate is heard at once: the sample starts again at that rate.
    await chooseRate(page, 16000);
    await page.waitForFunction(() => window.__audio.started === 2 && window.__audio.active === 1);
    assert.equal((await audioState(page)).status, 'Playing #2 at 16,000 Hz, looped');
    const rates = await page.evaluate(() => window.__audio.rates);
    assert.deepEqual(rates, [8000, 16000]);
    await chooseRate(page, 8000);

    await page.click('#rows tr:nth-child(5) button.play');
    await page.waitForFunction(() => window.__audio.started === 4 && window.__audio.active === 1);
    assert.equal((await audioState(page)).status, 'Playing #5 at 8,000 Hz, looped');
    assert.equal(await page.$$eval('#rows tr.playing', (trs) => trs.length), 1);

    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.__audio.active === 0);
    const stopped = await audioState(page);
    assert.equal(stopped.status, 'Stopped');
    assert.equal(stopped.contexts, 1, 'one audio context serves every play');
    assert.equal(await page.$$eval('#rows tr.playing', (trs) => trs.length), 0);

    await page.click('#loop + .track');
  });

  test('the Stop button, the playing row\'s button and the end of an unlooped sample stop', async () => {
    const { page } = opened;
    await chooseRate(page, 48000);  // sample 7: 150 ms at 8000 Hz, 25 ms here
    const before = (await audioState(page)).started;
    await page.click('#rows tr:nth-child(7) button.play');
    await page.waitForFunction((n) => window.__audio.started === n + 1 && window.__audio.active === 0
      && document.getElementById('status').textContent === 'Stopped', before);
    await chooseRate(page, 8000);
    for (const stopper of ['#stop', '#rows tr:nth-child(1) button.play']) {
      await page.click('#rows tr:nth-child(1) button.play');
      await page.waitForFunction(() => window.__audio.active === 1);
      assert.equal(await page.textContent('#rows tr:nth-child(1) button.play'), '\u25A0 Stop');
      await page.click(stopper);
      await page.waitForFunction(() => window.__audio.active === 0);
      assert.equal(await page.textContent('#rows tr:nth-child(1) button.play'), '\u25B6 Play');
    }
  });

  test('Space stops what plays; Home, End, PageUp, PageDown move; after a rate the arrows move rows', async () => {
    const { page } = opened;
    await page.click('#rows tr:nth-child(4) td.number');
    await page.keyboard.press(' ');
    await page.waitForFunction(() => window.__audio.active === 1);
    await page.keyboard.press(' ');
    await page.waitForFunction(() => window.__audio.active === 0);
    assert.equal((await audioState(page)).status, 'Stopped');
    // Short enough that a page holds fewer rows than the demo's 16; a page
    // key moves by the rows a screen holds, less one kept in sight.
    await page.setViewportSize({ width: 1280, height: 400 });
    const perPage = await page.evaluate(() => Math.floor(innerHeight / document.querySelector('#rows tr').offsetHeight));
    assert.ok(perPage > 2 && perPage < 10, `${perPage} rows a page`);
    for (const [key, expected] of [['End', 16], ['PageUp', 16 - (perPage - 1)], ['Home', 1], ['PageDown', perPage]]) {
      await page.keyboard.press(key);
      assert.equal(await selectedNumber(page), expected, key);
    }
    await page.selectOption('#rate', '16000');
    await page.keyboard.press('ArrowDown');
    assert.equal(await selectedNumber(page), perPage + 1, 'the arrow moved a row, not the rate');
    assert.equal(await page.$eval('#rate', (s) => s.value), '16000');
    await chooseRate(page, 8000);
    await page.setViewportSize({ width: 1280, height: 900 });
  });

  test('the volume control sets the level of what plays, at once', async () => {
    const { page } = opened;
    const setVolume = (value) => page.$eval('#volume', (input, v) => {
      input.value = String(v);
      input.dispatchEvent(new Event('input', { bubbles: true }));
    }, value);
    const gain = () => page.evaluate(() => window.__audio.gains.at(-1)?.gain.value);
    await setVolume(50);
    await page.click('#loop + .track');
    await page.click('#rows tr:nth-child(2) button.play');
    await page.waitForFunction(() => window.__audio.active === 1);
    assert.ok(Math.abs(await gain() - 0.5) < 1e-6, `gain ${await gain()}`);
    await setVolume(20);
    assert.ok(Math.abs(await gain() - 0.2) < 1e-6, `gain ${await gain()}`);
    await page.keyboard.press('Escape');
    await page.click('#loop + .track');
    await setVolume(100);
  });

  test('Up/Down and J/K move the selection and stop at the ends', async () => {
    const { page } = opened;
    await page.click('#rows tr:nth-child(3) td.number');
    assert.equal(await selectedNumber(page), 3);
    const steps = [['ArrowDown', 4], ['j', 5], ['J', 6], ['ArrowUp', 5], ['k', 4], ['K', 3]];
    for (const [key, expected] of steps) {
      await page.keyboard.press(key);
      assert.equal(await selectedNumber(page), expected, key);
    }
    for (let i = 0; i < 20; i++) await page.keyboard.press('ArrowDown');
    assert.equal(await selectedNumber(page), 16);
    const inView = await page.$eval('#rows tr.selected', (tr) => {
      const box = tr.getBoundingClientRect();
      return box.top >= 0 && box.bottom <= window.innerHeight;
    });
    assert.ok(inView, 'the selected row is scrolled into view');
    for (let i = 0; i < 20; i++) await page.keyboard.press('k');
    assert.equal(await selectedNumber(page), 1);
    assert.equal(await page.$$eval('#rows tr.selected', (trs) => trs.length), 1);
  });

  test('a changed rate updates the lengths and changes only the rate fields of a download', async () => {
    const { page } = opened;
    await chooseRate(page, 8000);
    const slow = await download(page, '#rows tr:nth-child(4) a.wav');
    await chooseRate(page, 44100);
    const fast = await download(page, '#rows tr:nth-child(4) a.wav');
    assert.equal(slow.name, '4.wav');
    assert.equal(fast.bytes.length, slow.bytes.length);
    const differing = [];
    for (let i = 0; i < slow.bytes.length; i++) if (slow.bytes[i] !== fast.bytes[i]) differing.push(i);
    assert.ok(differing.every((i) => i >= 24 && i < 32), `bytes ${differing} differ`);
    assert.deepEqual([slow.bytes.readUInt32LE(24), slow.bytes.readUInt32LE(28)], [8000, 16000]);
    assert.deepEqual([fast.bytes.readUInt32LE(24), fast.bytes.readUInt32LE(28)], [44100, 88200]);
    const bytes = listing.stored[3].bytes;
    assert.equal(await page.$eval('#rows tr:nth-child(4) td.length .value', (td) => td.textContent),
      `${(bytes / 2 / 44100).toFixed(3)} s`);
    await chooseRate(page, 8000);
  });

  for (const rate of [5500, 22050]) {
    test(`every row's download at ${rate} Hz equals rip --rate ${rate}`, async () => {
      const { page } = opened;
      const ripped = rippedFiles(DEMO_ROM, rate, work);
      assert.equal(ripped.length, 16);
      await chooseRate(page, rate);
      for (let n = 1; n <= ripped.length; n++) {
        const got = await download(page, `#rows tr:nth-child(${n}) a.wav`);
        assert.equal(got.name, ripped[n - 1].name);
        assert.ok(got.bytes.equals(ripped[n - 1].bytes), `${got.name} differs from the ripper's`);
      }
      await chooseRate(page, 8000);
    });
  }

  test('the one-file download equals rip --one-file', async () => {
    const { page } = opened;
    for (const rate of [7333, 48000]) {
      await chooseRate(page, rate);
      const got = await download(page, '#download-all');
      assert.equal(got.name, 'demo.wav');
      assert.ok(got.bytes.equals(rippedOneFile(DEMO_ROM, rate, work)), `one file at ${rate} Hz differs`);
    }
    await chooseRate(page, 8000);
  });

  test('the playhead runs across the playing row\'s waveform and goes when it stops', async () => {
    const { page } = opened;
    await page.click('#loop + .track');
    await page.click('#rows tr:nth-child(4) button.play');  // 1.2 s at 8000 Hz
    const where = () => page.$eval('#rows tr:nth-child(4) td.wave', (td) => {
      const head = td.querySelector('.playhead');
      const wave = td.querySelector('canvas').getBoundingClientRect();
      const box = head?.getBoundingClientRect();
      return head?.checkVisibility() ? { x: box.left - wave.left, width: wave.width, top: box.top - wave.top,
        bottom: box.bottom - wave.bottom } : null;
    });
    await page.waitForFunction(() => document.querySelector('#rows tr:nth-child(4) .playhead'));
    await page.waitForTimeout(150);
    const early = await where();
    await page.waitForTimeout(400);
    const later = await where();
    assert.ok(early && later, 'the playhead is shown');
    assert.ok(later.x > early.x && later.x < later.width, `playhead at ${early.x}, then ${later.x} of ${later.width}`);
    assert.deepEqual([later.top, later.bottom].map(Math.round), [0, 0], 'the playhead spans the waveform only');
    await page.keyboard.press('Escape');
    assert.equal(await where(), null);
    await page.click('#loop + .track');
  });
});

describe('file names from outside stay text', () => {
  const hostile = '<img src=x onerror=alert(1)>.sfc';
  // A path whose directories spell "</script><script>alert(2)</script>".
  const scriptPath = ['x<', 'script><script>alert(2)<', 'script>'];

  test('a hostile ROM name shows as text and runs nothing', async () => {
    const dir = path.join(work, ...scriptPath);
    fs.mkdirSync(dir, { recursive: true });
    const rom = path.join(dir, hostile);
    fs.copyFileSync(DEMO_ROM, rom);
    cli(['report', rom]);  // the default name: the ROM's with .html
    const pageFile = path.join(dir, '<img src=x onerror=alert(1)>.html');
    assert.ok(fs.existsSync(pageFile));
    const html = fs.readFileSync(pageFile, 'utf8');
    assert.ok(html.includes('</script><script>alert(2)') === false, 'the path cannot close a script element');

    const { page, seen, context } = await openPage(browser, pathToFileURL(pageFile));
    await page.waitForTimeout(300);  // time for an injected handler to fire
    assert.deepEqual(seen.dialogs, []);
    assert.deepEqual(seen.errors, []);
    assert.equal(await page.$eval('#rom-name', (h) => h.textContent), hostile);
    assert.equal(await page.$eval('#rom-path', (p) => p.textContent), rom);
    assert.ok(await page.isVisible(`text=${hostile}`));
    assert.equal(await page.$$eval('img', (imgs) => imgs.length), 0);
    assert.equal(await page.$$eval('script', (scripts) => scripts.length), 3);
    assert.equal(await page.title(), `${hostile} · VOXTRAWL samples`);
    assert.equal(await page.$$eval('#rows tr', (trs) => trs.length), 16);
    const got = await download(page, '#download-all');
    assert.equal(got.name, '<img src=x onerror=alert(1)>.wav'.replace(/[<>]/g, '_'));
    await context.close();
  });
});

describe('a page with the full sample table', () => {
  test('opens quickly, draws waveforms only when rows come into view', async () => {
    const rom = path.join(work, 'many.sfc');
    fs.writeFileSync(rom, craftManyRunsRom(1300));
    const listing = listed(rom);
    assert.equal(listing.samples.length, 1300);
    assert.equal(listing.stored.length, 1280);
    const pageFile = writeReport(rom);
    const size = fs.statSync(pageFile).size;

    const { page, seen, loadMs, context } = await openPage(browser, pathToFileURL(pageFile));
    console.log(`1280-sample page: ${size} bytes, ready after ${loadMs.toFixed(0)} ms`);
    // A generous ceiling: it catches a page that hangs, not a slow machine.
    assert.ok(loadMs < 15000, `ready after ${loadMs} ms`);
    assert.deepEqual(seen.errors, []);
    assert.equal(await page.$$eval('#rows tr', (trs) => trs.length), 1280);
    const header = await page.$eval('header', (h) => h.innerText);
    assert.match(header, /Runs found\s+1,300/);
    assert.match(header, /Samples stored\s+1,280/);
    assert.match(header, /20 qualifying runs were not stored/);

    const drawnAtLoad = await page.evaluate(() => window.__canvases.count());
    assert.ok(drawnAtLoad > 0 && drawnAtLoad < 100, `${drawnAtLoad} waveforms drawn at load`);
    const lastDrawn = () => page.evaluate(() =>
      window.__canvases.drawn.has(document.querySelector('#rows tr:last-child canvas')));
    assert.equal(await lastDrawn(), false);
    await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
    await page.waitForFunction(() =>
      window.__canvases.drawn.has(document.querySelector('#rows tr:last-child canvas')));
    assert.ok(await page.evaluate(() => window.__canvases.count()) < 200);

    // The last row plays and downloads like the first.
    const last = listing.stored[1279];
    await page.click('#loop + .track');
    await page.click('#rows tr:last-child button.play');
    await page.waitForFunction(() => window.__audio.active === 1);
    assert.equal((await audioState(page)).status, 'Playing #1280 at 8,000 Hz, looped');
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.__audio.active === 0);
    const got = await download(page, '#rows tr:last-child a.wav');
    assert.equal(got.name, '1280.wav');
    assert.equal(got.bytes.length, 44 + last.bytes);
    await context.close();
  });
});

describe('edge pages', () => {
  test('a ROM where nothing qualifies gives an empty page', async () => {
    const rom = path.join(work, 'silent.sfc');
    fs.writeFileSync(rom, Buffer.alloc(4000, 0xfe));
    const { page, seen, context } = await openPage(browser, pathToFileURL(writeReport(rom)));
    assert.deepEqual(seen.errors, []);
    assert.ok(await page.isVisible('#no-samples'));
    assert.equal(await page.isVisible('#samples'), false);
    await page.keyboard.press(' ');
    await page.keyboard.press('ArrowDown');
    assert.equal(await page.evaluate(() => window.__audio.started), 0);
    await context.close();
  });

  test('a rate outside the ten is offered too and empty samples cannot play', async () => {
    const rom = path.join(work, 'tiny.sfc');
    // Every 9 bytes a one-block run (span 0): with --min-run 0 each is an empty sample.
    fs.writeFileSync(rom, Buffer.from([0x81, 1, 1, 1, 1, 1, 1, 1, 1, 0x01, 1, 1, 1, 1, 1, 1, 1, 1]));
    const { page, seen, context } = await openPage(browser,
      pathToFileURL(writeReport(rom, ['--min-run', '0', '--rate', '12345'])));
    assert.deepEqual(seen.errors, []);
    const rates = await page.$$eval('#rate option', (options) => options.map((o) => Number(o.value)));
    assert.deepEqual(rates, [...RATES.slice(0, 5), 12345, ...RATES.slice(5)]);
    assert.equal(await page.$eval('#rate', (s) => s.value), '12345');
    assert.ok(await page.$$eval('#rows button.play', (bs) => bs.length > 0 && bs.every((b) => b.disabled)));
    const got = await download(page, '#rows tr:first-child a.wav');
    assert.equal(got.bytes.length, 44);
    assert.equal(got.bytes.readUInt32LE(24), 12345);
    await context.close();
  });
});
