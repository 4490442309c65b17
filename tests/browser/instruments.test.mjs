// The report page of an SPC snapshot and the decoder switch of a ROM page:
// directory entries by index, the chip decoder's downloads equal to rip's
// (smpl loop included) and loop playback that repeats only the loop.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage } from './browser.mjs';
import { DEMO_ROM, REPO, chipEnvelope, cli, instrument, keyedSpc, listed, makeSpc, tempDir } from './support.mjs';

let browser;
let work;

before(async () => {
  browser = await launchBrowser();
  work = tempDir('voxtrawl-instruments-');
});

after(async () => {
  await browser?.close();
  fs.rmSync(work, { recursive: true, force: true });
});

async function download(page, selector) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
  return { name: file.suggestedFilename(), bytes: fs.readFileSync(await file.path()) };
}

describe('SPC snapshot page', () => {
  let opened;
  let spc;

  before(async () => {
    spc = path.join(work, 'song.spc');
    fs.writeFileSync(spc, makeSpc());
    cli(['report', spc]);
    opened = await openPage(browser, pathToFileURL(path.join(work, 'song.html')));
  });

  after(async () => { await opened?.context.close(); });

  test('rows by directory index with audio RAM addresses, and no decoder choice', async () => {
    const rows = await opened.page.$$eval('#rows tr', (trs) => trs.map((tr) =>
      Array.from(tr.querySelectorAll('td'), (td) => td.textContent.trim()).slice(0, 6)));
    assert.deepEqual(rows.map((r) => r.slice(0, 4)), [
      ['00', '$0400', '$04CF', '24'],
      ['01', '$0800', '$0851', '10'],
      ['02', '$0800', '$0851', '10'],
    ]);
    const flags = await opened.page.$$eval('#rows .loop-flag', (spans) => spans.map((span) => span.textContent));
    assert.deepEqual(flags.slice(0, 2), ['no', 'from 48']);
    assert.equal(await opened.page.$eval('#rows tr:nth-child(3) .same-as', (s) => s.textContent), 'same as 01');
    assert.equal(await opened.page.$eval('#decoder-field', (f) => f.hidden), true);
    assert.deepEqual(opened.seen, { outside: [], dialogs: [], errors: [] });
  });

  test('downloads equal rip at the first rate and another, the smpl loop and pitch included', async () => {
    for (const rate of [32000, 22050]) {
      const out = path.join(work, `ripped-${rate}`);
      cli(['rip', spc, '--out', out, '--rate', String(rate)]);
      await opened.page.selectOption('#rate', String(rate));
      for (const n of [1, 2]) {
        const got = await download(opened.page, `#rows tr:nth-child(${n}) a.wav`);
        const ripped = fs.readFileSync(path.join(out, got.name));
        assert.ok(got.bytes.equals(ripped), `${got.name} at ${rate} Hz differs from the ripper's`);
      }
    }
    await opened.page.selectOption('#rate', '32000');
    const one = path.join(work, 'one.wav');
    cli(['rip', spc, '--one-file', one]);
    assert.ok((await download(opened.page, '#download-all')).bytes.equals(fs.readFileSync(one)));
  });

  test('looped playback repeats only the loop after the attack', async () => {
    const { page } = opened;
    await page.click('#loop + .track');
    await page.click('#rows tr:nth-child(2) button.play');
    await page.waitForFunction(() => window.__audio.active === 1);
    const looped = await page.evaluate(() => window.__audio.last);
    assert.equal(looped.loop, true);
    assert.ok(Math.abs(looped.loopStart - 48 / 32000) < 1e-9, `loop starts at ${looped.loopStart}`);
    assert.ok(Math.abs(looped.loopEnd - looped.seconds) < 1e-9);
    // A sample without a loop point repeats whole.
    await page.click('#rows tr:nth-child(1) button.play');
    await page.waitForFunction(() => window.__audio.started === 2);
    const whole = await page.evaluate(() => window.__audio.last);
    assert.equal(whole.loop, true);
    assert.equal(whole.loopStart, 0);
    await page.keyboard.press('Escape');
    await page.click('#loop + .track');
  });
});

describe('what the song played', () => {
  // Entry by entry: the setting its voice is keyed with (null: never keyed),
  // and the shape its envelope must have where the listing times it.
  const SETTINGS = [
    { what: 'ADSR A10 D7, held at SL6', adsr1: 0xfa, adsr2: 0xc0, gain: 0 },
    { what: 'ADSR A14 D0, SL1 falling at SR15', adsr1: 0x8e, adsr2: 0x2f, gain: 0 },
    null,
    { what: 'GAIN bent line up, rate 10', adsr1: 0, adsr2: 0, gain: 0xea },
    { what: 'GAIN direct $4F', adsr1: 0, adsr2: 0, gain: 0x4f },
  ];
  let page;
  let context;
  let entries;

  before(async () => {
    const spc = path.join(work, 'keyed.spc');
    fs.writeFileSync(spc, keyedSpc(SETTINGS));
    entries = listed(spc, ['--play', '2']).samples.filter((sample) => sample.directorySource !== 'playback');
    cli(['report', spc, '--play', '2']);
    ({ page, context } = await openPage(browser, pathToFileURL(path.join(work, 'keyed.html'))));
  });

  after(async () => { await context?.close(); });

  const shownRows = () => page.$$eval('#rows tr:not([hidden])', (trs) => trs.map((tr) =>
    [tr.querySelector('td.number').textContent, tr.querySelector('td.key-ons').textContent,
      Boolean(tr.querySelector('td.envelope canvas'))]));

  test('keys and curves as list --json has them; the filter keeps the entries the song keyed', async () => {
    const row = (sample) => [sample.index.toString(16).toUpperCase().padStart(2, '0'), String(sample.keyOns),
      sample.envelope !== null];
    assert.deepEqual(await shownRows(), entries.map(row));
    await page.click('#played');
    assert.deepEqual(await shownRows(), entries.filter((sample) => sample.keyOns > 0).map(row));
    assert.deepEqual((await shownRows()).map((r) => r[0]), ['00', '01', '03', '04']);
    await page.click('#played');
    const { seconds, keyOns, entriesKeyed } = listed(path.join(work, 'keyed.spc'), ['--play', '2']).play;
    assert.match(await page.$eval('header', (h) => h.innerText),
      new RegExp(`Song played\\s+${seconds.toFixed(3)} s: ${keyOns} key-ons of ${entriesKeyed} entries`));
  });

  // The level the page's envelope gain gives `seconds` after key-on.
  const levelOf = ({ args: [curve, , duration] }, seconds) => {
    const at = Math.min(1, seconds / duration) * (curve.length - 1);
    const i = Math.floor(at);
    return i >= curve.length - 1 ? curve.at(-1) : curve[i] + (curve[i + 1] - curve[i]) * (at - i);
  };
  const near = (got, expected, what) => assert.ok(Math.abs(got - expected) < 0.03, `${what}: ${got}, not ${expected}`);

  test('a held note follows the engine\'s envelope frame by frame: full at the attack, the sustain level after the decay',
    async () => {
      for (const [i, setting] of SETTINGS.entries()) {
        if (!setting) continue;
        const { attack, decay, sustainLevel, sustainDecay } = entries[i].envelope;
        await page.click(`#rows tr:nth-child(${i + 1}) td.number`);
        await page.evaluate(() => { window.__audio.automation = []; });
        await page.keyboard.down('z');
        await page.keyboard.up('z');
        const curve = await page.evaluate(() => window.__audio.automation.find((a) => a.name === 'setValueCurveAtTime'));
        assert.ok(curve, setting.what);
        near(levelOf(curve, 0), 0, `${setting.what} at key-on`);
        // The listing's times are rounded to milliseconds; frame by frame from 2 ms before to 1 ms after.
        const peak = (t) => Math.max(...Array.from({ length: 97 }, (_, k) => levelOf(curve, t + (k - 64) / 32000)));
        if (attack !== null) near(peak(attack), 1, `${setting.what} at the attack's end`);
        if (attack !== null) near(levelOf(curve, attack / 2), setting.adsr1 ? 0.5 : levelOf(curve, attack / 2), 'linear');
        if (decay !== null) near(levelOf(curve, attack + decay), sustainLevel, `${setting.what} at the decay's end`);
        const later = (attack ?? 0) + (decay ?? 0) + (sustainDecay ?? 1);
        near(levelOf(curve, later), sustainDecay === null ? sustainLevel : 0, `${setting.what} later`);
        // Frame by frame, the engine's own envelope (a point a frame for these short ones).
        const [values, , duration] = curve.args;
        assert.equal(Math.round(duration * 32000), values.length - 1, setting.what);
        const engine = chipEnvelope(setting, values.length - 1);
        const differ = engine.findIndex((level, f) => Math.abs(level - values[f + 1]) > 1e-6);
        assert.equal(differ, -1, `${setting.what}: frame ${differ + 1}`);
      }
    });

  test('letting go of a held note key or curve releases it from its level, 8 of 2047 a chip frame', async () => {
    await page.click('#rows tr:nth-child(1) td.number');
    await page.keyboard.down('z');
    await page.waitForTimeout(200);
    await page.evaluate(() => { window.__audio.automation = []; });
    await page.keyboard.up('z');
    assert.equal(await page.textContent('#status'), 'Stopped');
    const [from, to] = await page.evaluate(() => window.__audio.automation);
    assert.deepEqual([from.name, to.name, to.args[0]], ['setValueAtTime', 'linearRampToValueAtTime', 0]);
    near(from.args[0], entries[0].envelope.sustainLevel, 'the level let go of');
    const frames = (to.args[1] - from.args[1]) * 32000;
    assert.ok(Math.abs(frames - (from.args[0] * 2047) / 8) <= 1, `released in ${frames} frames`);
    await page.waitForFunction(() => window.__audio.active === 0);
 
    // Pressing a curve with the mouse is a held note too.
    const curve = await page.$('#rows tr:nth-child(2) td.envelope canvas');
    await curve.hover();
    await page.mouse.down();
    assert.match(await page.textContent('#status'), /^Playing #01/);
    await page.mouse.up();
    const names = await page.evaluate(() => window.__audio.automation.slice(2).map((a) => a.name));
    assert.deepEqual(names, ['setValueCurveAtTime', 'setValueAtTime', 'linearRampToValueAtTime']);
    await page.waitForFunction(() => window.__audio.active === 0);
  });
});

// Eight pseudo-random data bytes behind a header.
function block(range, filter, seed, flags) {
  const out = [(range << 4) | (filter << 2) | flags];
  for (let i = 0, x = seed; i < 8; i++) out.push(((x = (x * 1103515245 + 12345) & 0x7fffffff) >> 16) & 255);
  return out;
}

// A ROM whose driver uploads its code (which sets DIR to $30), a directory
// and three samples in one transfer stream: the first loops from a block
// that predicts with filter 2 (address), the second from block 2 (offset);
// two entries give the third different loops, so its loop stays unknown.
function streamRom() {
  const image = Buffer.alloc(0x10000, 0xfe);
  const shapes = [[8, 3, (b) => (b === 3 ? 2 : b % 2), false], [6, 2, () => 0, true], [5, 0, () => 1, false]];
  const data = [];
  const words = [];
  for (const [blocks, loop, filter, offset] of shapes) {
    data.push(...Buffer.alloc(9, 0xfe));  // ends any chain reaching the sample
    const start = 0x4000 + data.length;
    for (let b = 0; b < blocks; b++) data.push(...block(7, filter(b), start + b, (b === blocks - 1) | 2));
    words.push(start, offset ? 9 * loop : start + 9 * loop);
  }
  words.push(words[4], words[4] + 9);
  let at = 0x1000;
  const put = (aram, bytes) => {
    image.writeUInt16LE(bytes.length, at);
    image.writeUInt16LE(aram, at + 2);
    Buffer.from(bytes).copy(image, at + 4);
    at += 4 + bytes.length;
  };
  put(0x0400, [0x20, 0xcd, 0xef, 0xbd, 0x8f, 0x5d, 0xf2, 0x8f, 0x30, 0xf3, 0x2f, 0xfe]);
  put(0x3000, words.flatMap((w) => [w & 255, w >> 8]));
  put(0x4000, data);
  put(0x0400, []);
  return image;
}

// The demo's runs have no loop point; the stream's rows get theirs from
// the directory, which only the chip decoder renders (and whose pitch only
// its listing measures, hence its page).
const ROMS = [
  { name: 'demo', bytes: () => fs.readFileSync(DEMO_ROM), settings: [], page: [], rows: [1, 3, 16] },
  { name: 'stream', bytes: streamRom, settings: ['--min-run', '36'], page: ['--decoder', 'chip'], rows: [1, 2, 3] },
];

describe('ROM page decoder switch', () => {
  for (const { name, bytes, settings, page: pageArgs, rows } of ROMS) {
    test(`${name}: chip downloads equal rip --decoder chip, spec ones rip's, .brr rip --format brr`, async () => {
      const rom = path.join(work, `${name}.sfc`);
      fs.writeFileSync(rom, bytes());
      cli(['report', rom, ...settings, ...pageArgs]);
      const { page, context } = await openPage(browser, pathToFileURL(path.join(work, `${name}.html`)));
      const rip = (out, args) => { cli(['rip', rom, ...settings, '--out', path.join(work, out), ...args]); return out; };
      const same = async (selector, out) => {
        const got = await download(page, selector);
        assert.ok(got.bytes.equals(fs.readFileSync(path.join(work, out, got.name))), `${out}/${got.name} differs`);
        return got;
      };
      const listing = listed(rom, [...settings, '--decoder', 'chip']);
      const looped = rows.filter((n) => listing.stored[n - 1].loopStartSample != null);
      await page.selectOption('#decoder', 'chip');
      const length = await page.$eval('#rows tr:nth-child(3) td.length .value', (td) => td.textContent);
      assert.equal(length, `${(listing.stored[2].bytes / 2 / 8000).toFixed(3)} s`);
      for (const n of rows) {
        const row = `#rows tr:nth-child(${n})`;
        const sample = listing.stored[n - 1];
        const got = await same(`${row} a.wav`, rip(`${name}-chip`, ['--decoder', 'chip']));
        assert.equal(got.name, `${sample.number}.wav`);
        assert.equal(got.bytes.includes('smpl'), looped.includes(n), `${got.name}: a smpl chunk with a loop only`);
        const header = looped.includes(n) ? ['--brr-loop-header'] : [];
        await same(`${row} a.brr`, rip(`${name}-brr${header}`, ['--format', 'brr', ...header]));
        // Audio RAM addresses as the stream puts them, or nothing more.
        const cells = await page.$$eval(`${row} td.offset, ${row} td.loop .aram-loop`, (tds) => tds.map((td) => td.innerText));
        const hex = (n) => '0x' + n.toString(16).toUpperCase().padStart(6, '0');
        const ram = (n) => (n == null ? [] : ['$' + n.toString(16).toUpperCase()]);
        const snes = (address) => (address ? [address] : []);
        assert.deepEqual(cells.slice(0, 2).map((text) => text.split(/\s+/)),
          [[hex(sample.start), ...snes(sample.snesStart), ...ram(sample.aramStart)],
            [hex(sample.end), ...snes(sample.snesEnd), ...ram(sample.aramEnd)]]);
        const why = sample.aramLoop != null ? `loop at\u00A0${ram(sample.aramLoop)}` : sample.loopUnknownReason
          && `loop unknown: ${sample.loopUnknownReason}`;
        assert.deepEqual(cells.slice(2), why ? [why] : []);
      }
      if (name === 'stream') {
        assert.deepEqual(looped, [1, 2]);
        assert.ok(listing.stored[0].loopPasses > 1 && listing.stored[1].loopIsOffset, 'the loops take both roads');
        assert.ok(listing.stored[2].loopUnknownReason);
      }
      const one = path.join(work, `${name}-one.wav`);
      cli(['rip', rom, ...settings, '--decoder', 'chip', '--one-file', one]);
      assert.ok((await download(page, '#download-all')).bytes.equals(fs.readFileSync(one)));
      // Back to the specified decoder: its files again, with no loop rendered.
      await page.selectOption('#decoder', 'spec');
      for (const n of rows) await same(`#rows tr:nth-child(${n}) a.wav`, rip(`${name}-spec`, []));
      await context.close();
    });
  }
});

// .brr files: two made here (a loop offset first, and raw blocks whose
// loop point is unknown) and the shared instruments when present.
const SHARED_BRR = path.join(REPO, '..', 'shared', 'testdata', 'brr');

function brrInputs() {
  const looped = Buffer.concat([Buffer.from([9 * 4, 0]), instrument(12, true, 32)]);
  const made = [['Looped tone.brr', looped], ['raw.brr', instrument(20, false, 37)]];
  const inputs = made.map(([name, bytes]) => {
    fs.writeFileSync(path.join(work, name), bytes);
    return path.join(work, name);
  });
  if (!fs.existsSync(SHARED_BRR)) console.log(`skipped the shared .brr files: ${SHARED_BRR} is absent`);
  else inputs.push(...fs.readdirSync(SHARED_BRR).sort().map((name) => path.join(SHARED_BRR, name)));
  return inputs;
}

describe('BRR file pages', () => {
  test('every download equals rip\'s: WAV with its smpl loop, .brr with its loop offset, SoundFont', async () => {
    const loopsSeen = new Set();
    for (const input of brrInputs()) {
      const name = path.basename(input, '.brr');
      const out = path.join(work, `brr-${name}`);
      const page = path.join(out, `${name}.html`);
      const [sample] = listed(input).stored;
      loopsSeen.add(sample.loopStartSample != null);
      const header = sample.loopStartSample != null ? ['--brr-loop-header'] : [];
      cli(['rip', input, '--out', out]);
      cli(['rip', input, '--format', 'brr', ...header, '--out', path.join(out, 'brr')]);
      cli(['rip', input, '--format', 'sf2', '--one-file', path.join(out, 'bank.sf2')]);
      cli(['report', input, '-o', page]);
      const opened = await openPage(browser, pathToFileURL(page));
      for (const [selector, ripped] of [['#rows a.wav', `${name}.wav`], ['#rows a.brr', `brr/${name}.brr`],
        ['#download-sf2', 'bank.sf2']]) {
        const got = await download(opened.page, selector);
        assert.ok(got.bytes.equals(fs.readFileSync(path.join(out, ripped))), `${name}: ${got.name} differs from ${ripped}`);
      }
      if (sample.loopStartSample != null) {
        assert.ok(fs.readFileSync(path.join(out, 'brr', `${name}.brr`)).equals(fs.readFileSync(input)), `${name}.brr`);
        // Looped playback repeats the loop, not the whole sample.
        await opened.page.click('#loop + .track');
        await opened.page.click('#rows button.play');
        const played = await opened.page.evaluate(() => window.__audio.last);
        assert.ok(played.loop && played.loopStart >= sample.loopStartSample / 32000, `${name} loops from ${played.loopStart}`);
      }
      await opened.context.close();
    }
    assert.deepEqual([...loopsSeen].sort(), [false, true], 'looped and unlooped files');
  });
});
