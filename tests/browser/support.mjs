// Running voxtrawl-cli and making ROM images for the page tests.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
// The native build the stage script names; build/ when run by hand.
export const BUILD = path.resolve(REPO, process.env.VOXTRAWL_BUILD_DIR || 'build');
export const CLI = process.env.VOXTRAWL_CLI || path.join(BUILD, 'cli', 'voxtrawl-cli');
export const DEMO_ROM = path.join(REPO, 'assets', 'demo.sfc');
// The chip envelope of the engine, frame by frame (tests/envelope_frames.cpp).
export const ENVELOPE_FRAMES = path.join(BUILD, 'tests', 'voxtrawl_envelope_frames');

export function tempDir(prefix = 'voxtrawl-page-') {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

export function cli(args, cwd) {
  return execFileSync(CLI, args, { cwd, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// The engine's envelope level after each of `frames` frames from key-on.
export function chipEnvelope({ adsr1, adsr2, gain }, frames) {
  return JSON.parse(execFileSync(ENVELOPE_FRAMES, [adsr1, adsr2, gain, frames].map(String), { encoding: 'utf8',
    maxBuffer: 1 << 28 }));
}

// The stored samples of `list --json`.
export function listed(rom, args = []) {
  const listing = JSON.parse(cli(['list', rom, '--json', ...args]));
  return { ...listing, stored: listing.samples.filter((sample) => sample.stored) };
}

// The numbered WAVE files of `rip --out`, in sample order.
export function rippedFiles(rom, rate, dir) {
  const out = path.join(dir, `rip-${rate}`);
  cli(['rip', rom, '--out', out, '--rate', String(rate)]);
  const files = fs.readdirSync(out).sort((a, b) => parseInt(a, 10) - parseInt(b, 10));
  return files.map((name) => ({ name, bytes: fs.readFileSync(path.join(out, name)) }));
}

export function rippedOneFile(rom, rate, dir) {
  const file = path.join(dir, `one-${rate}.wav`);
  cli(['rip', rom, '--one-file', file, '--rate', String(rate)]);
  return fs.readFileSync(file);
}

// A ROM of `runs` qualifying runs of 65 to 80 blocks each, with shapes that
// differ from run to run. Every data byte has the end flag set, so no
// chain that starts inside a run's data can qualify; the gaps are filler
// that never starts one.
export function craftManyRunsRom(runs) {
  const parts = [];
  for (let r = 0; r < runs; r++) {
    const blocks = 65 + (r % 16);
    const loop = r % 5 === 0 ? 0x02 : 0;
    const run = Buffer.alloc(blocks * 9);
    for (let b = 0; b < blocks; b++) {
      const last = b === blocks - 1;
      const range = 4 + ((r + b) % 8);
      run[b * 9] = (range << 4) | loop | (last ? 0x01 : 0);
      for (let i = 1; i < 9; i++) run[b * 9 + i] = ((r * 7 + b * 3 + i * 29) & 0xfe) | 0x01;
    }
    parts.push(run, Buffer.from([0xfe, 0xfe, 0xfe]));
  }
  return Buffer.concat(parts);
}

// Blocks of a tone: filter 0, a range per block, the loop flag on every
// block when looped and the end flag on the last.
export function instrument(blocks, looped, period) {
  const out = Buffer.alloc(blocks * 9);
  for (let b = 0; b < blocks; b++) {
    const range = 6 + (b % 4);
    out[b * 9] = (range << 4) | (looped ? 0x02 : 0) | (b === blocks - 1 ? 0x01 : 0);
    for (let i = 1; i < 9; i++) {
      const hi = Math.round(7 * Math.sin((2 * Math.PI * (b * 16 + 2 * i)) / period)) & 15;
      const lo = Math.round(7 * Math.sin((2 * Math.PI * (b * 16 + 2 * i + 1)) / period)) & 15;
      out[b * 9 + i] = (hi << 4) | lo;
    }
  }
  return out;
}

// A snapshot with DIR = $03: entry 0 plays once, entry 1 loops from its
// fourth block, entry 2 repeats entry 1.
export function makeSpc() {
  const { file, aram, entry } = spcSkeleton();
  instrument(24, false, 37).copy(file, aram + 0x0400);
  instrument(10, true, 16).copy(file, aram + 0x0800);
  entry(0, 0x0400, 0x0400);
  entry(1, 0x0800, 0x0800 + 27);
  entry(2, 0x0800, 0x0800 + 27);
  return file;
}

// An empty snapshot whose DSP's DIR register points at $0300, with a way
// to write directory entry i there.
export function spcSkeleton() {
  const file = Buffer.alloc(0x10200);
  file.write('SNES-SPC700 Sound File Data v0.30', 0, 'latin1');
  file[0x21] = 26;
  file[0x22] = 26;
  file[0x23] = 27;
  const aram = 0x100;
  const entry = (i, start, loop) => {
    file.writeUInt16LE(start, aram + 0x300 + 4 * i);
    file.writeUInt16LE(loop, aram + 0x300 + 4 * i + 2);
  };
  file[0x10100 + 0x5d] = 0x03;
  return { file, aram, entry };
}

// The page with its embedded data changed, escaped as the builder escapes
// it: fields a listing may carry can be tried before any listing has them.
export function withPageData(html, change) {
  const pattern = /(<script type="application\/json" id="report-data">)(.*?)(<\/script>)/s;
  const [, open, json, close] = html.match(pattern);
  const data = JSON.parse(json);
  change(data);
  const escaped = JSON.stringify(data).replace(/[<>&]/g, (c) => `\\u${c.charCodeAt(0).toString(16).padStart(4, '0')}`);
  return html.replace(pattern, () => open + escaped + close);
}

// A snapshot whose code keys voice v on entry v's setting: each voice's
// DSP registers are in the snapshot, a program at $0400 writes KON and
// waits. Entry i of `settings` ({ adsr1, adsr2, gain }, or null: never
// keyed) plays a looped tone of its own.
export function keyedSpc(settings) {
  const { file, aram, entry } = spcSkeleton();
  const dsp = (register, value) => { file[0x10100 + register] = value; };
  let keys = 0;
  settings.forEach((setting, v) => {
    const start = 0x0800 + 0x100 * v;
    instrument(10, true, 16 + 4 * v).copy(file, aram + start);
    entry(v, start, start + 27);
    if (!setting) return;
    for (const [register, value] of [[0, 127], [1, 127], [3, 0x10], [4, v], [5, setting.adsr1], [6, setting.adsr2],
      [7, setting.gain]]) dsp(0x10 * v + register, value);
    keys |= 1 << v;
  });
  dsp(0x0c, 127);
  dsp(0x1c, 127);
  dsp(0x6c, 0x20);  // no echo writes into the program
  file.writeUInt16LE(0x0400, 0x25);  // PC
  file[0x2b] = 0xef;  // SP
  Buffer.from([0x8f, 0x4c, 0xf2, 0x8f, keys, 0xf3, 0x2f, 0xfe]).copy(file, aram + 0x0400);
  return file;
}
