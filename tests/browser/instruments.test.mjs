// The report page of an SPC snapshot and the decoder switch of a ROM page:
// directory entries by index, the chip decoder's downloads equal to rip's
// (smpl loop included) and loop playback that repeats only the loop.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage } from './browser.mjs';
import { DEMO_ROM, cli, listed, makeSpc, tempDir } from './support.mjs';

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
    assert.equal(rows[0][5], 'no');
    assert.equal(rows[1][5], 'from 48');
    assert.equal(await opened.page.$eval('#rows tr:nth-child(3) .same-as', (s) => s.textContent), 'same as 01');
    assert.equal(await opened.page.$eval('#decoder-field', (f) => f.hidden), true);
    assert.deepEqual(opened.seen, { outside: [], dialogs: [], errors: [] });
  });

  test('downloads equal rip, the smpl loop included', async () => {
    const out = path.join(work, 'ripped');
    cli(['rip', spc, '--out', out]);
    for (const n of [1, 2]) {
      const got = await download(opened.page, `#rows tr:nth-child(${n}) a.wav`);
      const ripped = fs.readFileSync(path.join(out, got.name));
      assert.ok(got.bytes.equals(ripped), `${got.name} differs from the ripper's`);
    }
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

describe('ROM page decoder switch', () => {
  let opened;

  before(async () => {
    const rom = path.join(work, 'demo.sfc');
    fs.copyFileSync(DEMO_ROM, rom);
    cli(['report', rom]);
    opened = await openPage(browser, pathToFileURL(path.join(work, 'demo.html')));
  });

  after(async () => { await opened?.context.close(); });

  test('chip downloads equal rip --decoder chip and the lengths follow', async () => {
    const { page } = opened;
    const listing = listed(DEMO_ROM, ['--decoder', 'chip']);
    const out = path.join(work, 'chip');
    cli(['rip', path.join(work, 'demo.sfc'), '--decoder', 'chip', '--out', out]);
    await page.selectOption('#decoder', 'chip');
    const length = await page.$eval('#rows tr:nth-child(3) td.length', (td) => td.textContent);
    assert.equal(length, `${(listing.samples[2].bytes / 2 / 8000).toFixed(3)} s`);
    for (const n of [1, 3, 16]) {
      const got = await download(page, `#rows tr:nth-child(${n}) a.wav`);
      assert.equal(got.name, `${n}.wav`);
      assert.ok(got.bytes.equals(fs.readFileSync(path.join(out, got.name))), `${got.name} differs`);
    }
    const one = path.join(work, 'chip-one.wav');
    cli(['rip', path.join(work, 'demo.sfc'), '--decoder', 'chip', '--one-file', one]);
    assert.ok((await download(page, '#download-all')).bytes.equals(fs.readFileSync(one)));
    // Back to the specified decoder: its files again.
    await page.selectOption('#decoder', 'spec');
    const spec = path.join(work, 'spec');
    cli(['rip', path.join(work, 'demo.sfc'), '--out', spec]);
    const got = await download(page, '#rows tr:nth-child(3) a.wav');
    assert.ok(got.bytes.equals(fs.readFileSync(path.join(spec, '3.wav'))));
    // A run's blocks as they are: no loop point, no header.
    const blocks = path.join(work, 'blocks');
    cli(['rip', path.join(work, 'demo.sfc'), '--format', 'brr', '--out', blocks]);
    const brr = await download(page, '#rows tr:nth-child(3) a.brr');
    assert.ok(brr.bytes.equals(fs.readFileSync(path.join(blocks, brr.name))), `${brr.name} differs`);
  });
});
