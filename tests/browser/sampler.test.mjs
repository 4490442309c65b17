// What the page hands a sampler: loops rendered as the chip repeats them,
// the pitch in the smpl chunk, notes played from the keyboard, the BRR
// blocks and one SoundFont of the set, checked against the ripper and
// against FluidSynth.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage } from './browser.mjs';
import { cli, spcSkeleton, tempDir, withPageData } from './support.mjs';

let browser;
let work;

// Loops of two blocks after a one-block attack, by the filter of their
// blocks: the predicting ones take several passes to settle (or never do).
const LOOPS = [
  { filter: 1, range: 4, seed: 1 },
  { filter: 2, range: 7, seed: 5 },
  { filter: 3, range: 7, seed: 9 },
  { filter: 3, range: 12, seed: 1 },
  { filter: 0, range: 8, seed: 3 },
];
const PASS_SAMPLES = 32;
const ATTACK_SAMPLES = 16;
// The chip's stream is written out far enough to see pass 64 repeat or not.
const UNROLLED_PASSES = 66;

function block(range, filter, seed, flags = 0) {
  const out = [(range << 4) | (filter << 2) | flags];
  let x = seed;
  for (let i = 0; i < 8; i++) {
    x = (x * 1103515245 + 12345) & 0x7fffffff;
    out.push((x >> 16) & 255);
  }
  return out;
}

// A snapshot (DIR = $03) with entry i looping LOOPS[i] and entry
// LOOPS.length + i playing the same blocks unrolled, pass after pass,
// without a loop: decoding that entry is the chip's stream, by the
// ripper's own decoder.
function loopSpc() {
  const { file, aram, entry } = spcSkeleton();
  LOOPS.forEach(({ filter, range, seed }, i) => {
    const attack = block(8, 0, seed + 1000);
    const loop = [block(range, filter, seed), block(range, filter, seed + 7)];
    const looped = 0x1000 + 0x40 * i;
    Buffer.from([...attack, ...loop[0], ...loop[1].map((b, k) => (k === 0 ? b | 3 : b))]).copy(file, aram + looped);
    entry(i, looped, looped + 9);
    const blocks = [attack];
    for (let p = 0; p < UNROLLED_PASSES; p++) blocks.push(...loop);
    const unrolled = 0x2000 + 0x500 * i;
    Buffer.from(blocks.flatMap((b, k) => (k === blocks.length - 1 ? [b[0] | 1, ...b.slice(1)] : b)))
      .copy(file, aram + unrolled);
    entry(LOOPS.length + i, unrolled, unrolled);
  });
  return file;
}

// The chunks of a WAVE file that matter here.
function readWav(bytes) {
  assert.equal(bytes.toString('latin1', 0, 4), 'RIFF');
  assert.equal(bytes.readUInt32LE(4), bytes.length - 8, 'RIFF size');
  const wav = {};
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = bytes.toString('latin1', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    const body = bytes.subarray(at + 8, at + 8 + size);
    if (id === 'data') wav.pcm = Array.from({ length: size / 2 }, (_, i) => body.readInt16LE(2 * i));
    if (id === 'smpl') {
      wav.smpl = { unity: body.readUInt32LE(12), fraction: body.readUInt32LE(16), loops: body.readUInt32LE(28),
        start: body.readUInt32LE(44), end: body.readUInt32LE(48) };
    }
    at += 8 + size + (size % 2);
  }
  return wav;
}

// The independent model of the chip's loop: in the unrolled stream, the
// first pass equal to an earlier one closes the rendering.
function expectedLoop(stream) {
  const pass = (k) => stream.slice(ATTACK_SAMPLES + k * PASS_SAMPLES, ATTACK_SAMPLES + (k + 1) * PASS_SAMPLES).join();
  const seen = [];
  for (let k = 0; k <= 64; k++) {
    const earlier = seen.indexOf(pass(k));
    if (earlier >= 0) return { passes: k, first: earlier, stable: true };
    seen.push(pass(k));
  }
  return { passes: 64, first: 63, stable: false };
}

async function download(page, selector) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
  return { name: file.suggestedFilename(), bytes: fs.readFileSync(await file.path()) };
}

const row = (n) => `#rows tr:nth-child(${n})`;

let spc;
let listing;
let tuning;  // entry 01's, as the page has it
let page;
let context;

before(async () => {
  browser = await launchBrowser();
  work = tempDir('voxtrawl-sampler-');
  spc = path.join(work, 'loops.spc');
  fs.writeFileSync(spc, loopSpc());
  listing = JSON.parse(cli(['list', spc, '--json']));
  // Entry 01 gets a pitch when the listing has none yet; entry 03's loop
  // never settles, so it has none.
  const html = path.join(work, 'loops.html');
  cli(['report', spc, '-o', html]);
  fs.writeFileSync(html, withPageData(fs.readFileSync(html, 'utf8'), (data) => {
    data.samples[1].tuning ??= { hz: 439.19, note: 69, cents: -3.2 };
    ({ tuning } = data.samples[1]);
  }));
  ({ page, context } = await openPage(browser, pathToFileURL(html)));
});

after(async () => {
  await context?.close();
  await browser?.close();
  fs.rmSync(work, { recursive: true, force: true });
});

describe('loops as the chip repeats them', () => {
  test('every filter: the download holds each pass up to the first repeat, the loop from it', async () => {
    const ripped = path.join(work, 'ripped');
    cli(['rip', spc, '--out', ripped]);
    const seen = new Set();
    for (const [i, loop] of LOOPS.entries()) {
      const stream = readWav(fs.readFileSync(path.join(ripped, `0${LOOPS.length + i}.wav`))).pcm;
      const model = expectedLoop(stream);
      seen.add(model.passes > 1 ? (model.stable ? 'passes' : 'unstable') : 'one');
      const got = await download(page, `${row(i + 1)} a.wav`);
      const wav = readWav(got.bytes);
      const total = ATTACK_SAMPLES + model.passes * PASS_SAMPLES;
      assert.deepEqual(wav.pcm, stream.slice(0, total), `filter ${loop.filter}: ${model.passes} passes`);
      assert.deepEqual([wav.smpl.loops, wav.smpl.start, wav.smpl.end],
        [1, ATTACK_SAMPLES + model.first * PASS_SAMPLES, total - 1], `filter ${loop.filter} loop`);
      const passes = await page.textContent(`${row(i + 1)} .passes`);
      assert.equal(passes, model.passes === 1 ? '' : `${model.passes} passes${model.stable ? '' : ', not stable'}`);
      assert.ok(got.bytes.equals(fs.readFileSync(path.join(ripped, got.name))), `${got.name} differs from rip`);
      assert.deepEqual([listing.samples[i].loopPasses, listing.samples[i].loopStable], [model.passes, model.stable]);
    }
    assert.deepEqual([...seen].sort(), ['one', 'passes', 'unstable'], 'the cases take every road');
  });

  test('looped playback repeats the loop of the rendering', async () => {
    await page.click('#loop + .track');
    await page.click(`${row(4)} button.play`);
    await page.waitForFunction(() => window.__audio.active === 1);
    const played = await page.evaluate(() => window.__audio.last);
    const rate = 32000;
    assert.ok(Math.abs(played.seconds - (ATTACK_SAMPLES + 64 * PASS_SAMPLES) / rate) < 1e-9);
    assert.ok(Math.abs(played.loopStart - (ATTACK_SAMPLES + 63 * PASS_SAMPLES) / rate) < 1e-9);
    await page.keyboard.press('Escape');
    await page.click('#loop + .track');
  });

  test('the pitch goes into the smpl chunk: floor of the note, the rest in 2^-32', async () => {
    const tuned = readWav((await download(page, `${row(2)} a.wav`)).bytes).smpl;
    const midi = tuning.midi ?? tuning.note + tuning.cents / 100;
    assert.deepEqual([tuned.unity, tuned.fraction], [Math.floor(midi), Math.trunc((midi - Math.floor(midi)) * 2 ** 32)]);
    const plain = readWav((await download(page, `${row(4)} a.wav`)).bytes).smpl;
    assert.deepEqual([plain.unity, plain.fraction], [60, 0]);
  });
});

describe('notes from the keyboard', () => {
  // The speed of the sound an action starts, or null when none starts.
  async function speedOf(action) {
    const before = await page.evaluate(() => window.__audio.started);
    await action();
    const started = await page.evaluate((n) => window.__audio.started > n && window.__audio.last.speed, before);
    return started === false ? null : started;
  }
  const at = (note) => 2 ** ((note - (tuning.note + tuning.cents / 100)) / 12);
  const close = (speed, expected, what) => assert.ok(Math.abs(speed - expected) < 1e-6, `${what}: ${speed}`);

  test('Z to M, the note menu and Play sound the pitched sample at the note; J is a note, not a move', async () => {
    await page.click('#loop + .track');  // notes held as long as their keys
    assert.deepEqual(await page.$$eval('#keys-jk, #keys-piano', (es) => es.map((e) => e.checkVisibility())), [false, true]);
    await page.click(`${row(2)} td.number`);
    // Without a note chosen the keys play octave 4; a chosen note moves them to its octave.
    for (const [key, note, menu] of [['z', 60], ['n', 69], ['j', 70], ['m', 71], ['x', 86, '84']]) {
      if (menu) await page.selectOption('#note', menu);
      if (menu) await page.click(`${row(2)} td.number`);
      close(await speedOf(() => page.keyboard.down(key)), at(note), key);
      assert.match(await page.textContent('#status'), /^Playing #01 as [A-G]/);
      await page.keyboard.up(key);
      assert.equal(await page.textContent('#status'), 'Stopped', 'letting go ends the note');
    }
    assert.equal(await page.$eval('#note', (select) => select.value), '86', 'the key sets the menu');
    close(await speedOf(() => page.click(`${row(2)} button.play`)), at(86), 'Play');
    await page.keyboard.press('Escape');
    await page.keyboard.press('k');
    assert.equal(await page.textContent('#rows tr.selected td.number'), '01');
    // A sample without a pitch plays as it is, and not from the keys.
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowDown');
    assert.equal(await speedOf(() => page.keyboard.press('z')), null);
    assert.equal(await page.textContent('#status'), '#03 has no pitch to play notes from');
    assert.equal(await speedOf(() => page.click(`${row(4)} button.play`)), 1);
    await page.keyboard.press('Escape');
    await page.selectOption('#note', '');
    await page.click('#loop + .track');
  });

  test('a held key keeps a looped sample sounding without the Loop switch, until it is let go', async () => {
    await page.click(`${row(2)} td.number`);
    await page.keyboard.down('z');
    await page.waitForTimeout(300);  // far past the rendering's few milliseconds
    const held = await page.evaluate(() => ({ active: window.__audio.active, ...window.__audio.last }));
    assert.deepEqual([held.active, held.loop], [1, true]);
    assert.ok(held.loopStart >= ATTACK_SAMPLES / 32000 && Math.abs(held.loopEnd - held.seconds) < 1e-9,
      `the loop after the attack, not the whole: ${held.loopStart} to ${held.loopEnd}`);
    await page.keyboard.up('z');
    await page.waitForFunction(() => window.__audio.active === 0);
    assert.equal(await page.textContent('#status'), 'Stopped');
  });
});

describe('downloads for other tools', () => {
  test('.brr equals rip --format brr, with the loop header where the loop is known', async () => {
    const withHeader = path.join(work, 'brr-header');
    const raw = path.join(work, 'brr-raw');
    cli(['rip', spc, '--format', 'brr', '--brr-loop-header', '--out', withHeader]);
    cli(['rip', spc, '--format', 'brr', '--out', raw]);
    for (const n of [1, 4, 6, 10]) {
      const got = await download(page, `${row(n)} a.brr`);
      const looped = n <= LOOPS.length;
      assert.ok(got.bytes.equals(fs.readFileSync(path.join(looped ? withHeader : raw, got.name))),
        `${got.name} differs`);
      if (looped) assert.equal(got.bytes.readUInt16LE(0), 9);
    }
  });

  test('the .sf2 loads in FluidSynth without a warning; looped presets sound on, unlooped ones stop', async () => {
    const got = await download(page, '#download-sf2');
    assert.equal(got.name, 'loops.sf2');
    const bank = path.join(work, got.name);
    fs.writeFileSync(bank, got.bytes);
    const sf2 = path.join(work, 'ripped.sf2');
    // cli() throws, failing the test, when the rip does not succeed.
    cli(['rip', spc, '--format', 'sf2', '--one-file', sf2]);
    assert.ok(got.bytes.equals(fs.readFileSync(sf2)), 'the page and rip write different SoundFonts');
    // The pitch of entry 01 as root key and correction.
    const shdr = got.bytes.indexOf('shdr', 0, 'latin1') + 8;
    const header = (k) => got.bytes.subarray(shdr + 46 * k, shdr + 46 * (k + 1));
    assert.deepEqual([header(1)[40], header(1).readInt8(41)], [tuning.note, -Math.round(tuning.cents)]);
    assert.deepEqual([header(3)[40], header(3).readInt8(41)], [60, 0]);

    // Program 0 (looped) held two seconds, then program 5 (entry 00's blocks
    // unrolled, 2 128 points, unlooped) held two seconds.
    const midi = path.join(work, 'notes.mid');
    fs.writeFileSync(midi, smf([[0, 0xc0, 0], [0, 0x90, 60, 100], [1920, 0x80, 60, 0],
      [480, 0xc0, 5], [0, 0x90, 60, 100], [1920, 0x80, 60, 0]]));
    const rendered = path.join(work, 'notes.wav');
    const run = spawnSync('fluidsynth', ['-ni', '-R', '0', '-C', '0', '-r', '32000', '-T', 'wav',
      '-F', rendered, bank, midi], { encoding: 'utf8' });
    assert.equal(run.status, 0, run.stderr);
    assert.doesNotMatch(run.stdout + run.stderr, /warn|error/i);
    const pcm = readWav(fs.readFileSync(rendered)).pcm;
    const loudest = (from, to) => pcm.slice(2 * from * 32000, 2 * to * 32000).reduce((m, v) => Math.max(m, Math.abs(v)), 0);
    assert.ok(loudest(1.8, 1.98) > 0, 'the looped note still sounds at its end');
    assert.ok(loudest(2.5, 2.55) > 0, 'the unlooped note starts');
    assert.equal(loudest(2.7, 4.4), 0, 'the unlooped note has ended after its 66 ms');
  });
});

// A one-track MIDI file (480 ticks a quarter, 120 beats a minute) of
// [delta, status, data...] events.
function smf(events) {
  const track = [];
  const vlq = (n) => {
    const bytes = [n & 0x7f];
    for (n >>= 7; n > 0; n >>= 7) bytes.unshift((n & 0x7f) | 0x80);
    return bytes;
  };
  for (const [delta, ...event] of events) track.push(...vlq(delta), ...event);
  track.push(0, 0xff, 0x2f, 0);
  const head = Buffer.from([0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xe0]);
  const size = Buffer.alloc(4);
  size.writeUInt32BE(track.length);
  return Buffer.concat([head, Buffer.from('MTrk', 'latin1'), size, Buffer.from(track)]);
}
