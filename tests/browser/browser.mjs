// Headless Chromium from the system, with a throw-away profile, for the
// page tests.
import { chromium } from 'playwright-core';

export const CHROMIUM = process.env.VOXTRAWL_CHROMIUM || '/usr/bin/chromium';

export async function launchBrowser() {
  // Playwright gives every launch its own temporary profile directory.
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}

// Records what the page does with Web Audio and its canvases, without
// changing what it does.
function instrument() {
  const audio = { contexts: [], started: 0, ended: 0, active: 0, rates: [], gains: [] };
  window.__audio = audio;
  const Original = window.AudioContext;
  window.AudioContext = class extends Original {
    constructor(...args) {
      super(...args);
      audio.contexts.push(this);
    }
  };
  const createGain = BaseAudioContext.prototype.createGain;
  BaseAudioContext.prototype.createGain = function (...args) {
    const node = createGain.apply(this, args);
    audio.gains.push(node);
    return node;
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (...args) {
    audio.started++;
    audio.rates.push(this.buffer.sampleRate);
    audio.last = { loop: this.loop, loopStart: this.loopStart, loopEnd: this.loopEnd, seconds: this.buffer.duration,
      speed: this.playbackRate.value };
    audio.active++;
    this.addEventListener('ended', () => { audio.active--; audio.ended++; });
    return start.apply(this, args);
  };
  // What gains are told to do, curves copied, with the context's time.
  audio.automation = [];
  for (const name of ['setValueCurveAtTime', 'setValueAtTime', 'linearRampToValueAtTime']) {
    const original = AudioParam.prototype[name];
    AudioParam.prototype[name] = function (...args) {
      audio.automation.push({ name, args: args.map((arg) => (ArrayBuffer.isView(arg) ? Array.from(arg) : arg)),
        now: audio.contexts.at(-1)?.currentTime });
      return original.apply(this, args);
    };
  }
  const drawn = new WeakSet();
  let drawnCount = 0;
  window.__canvases = { drawn, count: () => drawnCount };
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (...args) {
    if (!drawn.has(this)) { drawn.add(this); drawnCount++; }
    return getContext.apply(this, args);
  };
  window.__dialogs = 0;
}

// Opens a page from a file in a fresh context; collects every request that
// leaves the file and every dialog.
export async function openPage(browser, file, { viewport = { width: 1280, height: 900 } } = {}) {
  const context = await browser.newContext({ viewport, acceptDownloads: true });
  const page = await context.newPage();
  const seen = { outside: [], dialogs: [], errors: [] };
  page.on('request', (request) => {
    if (!/^(file|data|blob):/.test(request.url())) seen.outside.push(request.url());
  });
  page.on('dialog', (dialog) => { seen.dialogs.push(dialog.message()); dialog.dismiss().catch(() => {}); });
  page.on('pageerror', (error) => seen.errors.push(String(error)));
  await page.addInitScript(instrument);
  const began = performance.now();
  await page.goto(file.href);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 30000 });
  const loadMs = performance.now() - began;
  return { context, page, seen, loadMs };
}
