// What a person sees on the report page, phone to desktop: controls that
// are on screen and whole, hidden ones really gone, disabled ones looking
// disabled, addresses and loop texts not cut off; and the filter, order
// and measures that help find an instrument.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage } from './browser.mjs';
import { DEMO_ROM, cli, instrument, keyedSpc, listed, makeSpc, tempDir, withPageData } from './support.mjs';

let browser;
let work;
const pages = {};

before(async () => {
  browser = await launchBrowser();
  work = tempDir('voxtrawl-layout-');
  const spc = path.join(work, 'song.spc');
  fs.writeFileSync(spc, makeSpc());
  // A song that keys two of its three entries, one with ADSR, one with GAIN.
  const song = path.join(work, 'keyed.spc');
  fs.writeFileSync(song, keyedSpc([{ adsr1: 0x8e, adsr2: 0x2f, gain: 0 }, null, { adsr1: 0, adsr2: 0, gain: 0xea }]));
  const tiny = path.join(work, 'tiny.sfc');
  // One-block runs: with --min-run 0 each is a sample without PCM.
  fs.writeFileSync(tiny, Buffer.from([0x81, 1, 1, 1, 1, 1, 1, 1, 1, 0x01, 1, 1, 1, 1, 1, 1, 1, 1]));
  const empty = path.join(work, 'empty.sfc');
  fs.writeFileSync(empty, Buffer.alloc(4000, 0xfe));
  // A named instrument, its loop offset first.
  const brr = path.join(work, 'Strings8.brr');
  fs.writeFileSync(brr, Buffer.concat([Buffer.from([9 * 3, 0]), instrument(12, true, 32)]));
  // Three loud blocks of a square wave: 48 samples, far fewer than pixels.
  const short = path.join(work, 'short.brr');
  const square = [0x77, 0x77, 0x88, 0x88, 0x77, 0x77, 0x88, 0x88];
  fs.writeFileSync(short, Buffer.from([0, 1, 2].flatMap((b) => [0xc0 | (b === 2 ? 1 : 0), ...square])));
  // A ROM whose name is that of its first sample's file.
  const one = path.join(work, '1.sfc');
  fs.copyFileSync(DEMO_ROM, one);
  for (const [name, input, args] of [['rom', DEMO_ROM, []], ['spc', spc, []], ['song', song, ['--play', '1']], ['brr', brr, []], ['short', short, []],
    ['one', one, []],
    ['tiny', tiny, ['--min-run', '0']], ['empty', empty, []]]) {
    pages[name] = path.join(work, `${name}.html`);
    cli(['report', input, '-o', pages[name], ...args]);
  }
  // The ROM page as a listing without measures would make it.
  pages.unmeasured = path.join(work, 'unmeasured.html');
  fs.writeFileSync(pages.unmeasured, withPageData(fs.readFileSync(pages.rom, 'utf8'), (data) => {
    for (const sample of data.samples) sample.peak = sample.padding = null;
  }));
});

after(async () => {
  await browser?.close();
  fs.rmSync(work, { recursive: true, force: true });
});

async function open(name, width) {
  return openPage(browser, pathToFileURL(pages[name]), { viewport: { width, height: 800 } });
}

const visible = (page, selector) => page.$eval(selector, (e) => e.checkVisibility());

// Every row, scrolled into view: where its Play button and waveform are,
// and any address or loop text whose box is narrower than its text.
const rowBoxes = (page) => page.$$eval('#rows tr', (trs) => trs.map((tr) => {
  tr.scrollIntoView({ block: 'center' });
  const box = (e) => e.getBoundingClientRect();
  const actions = box(tr.querySelector('td.actions'));
  const clipped = [...tr.querySelectorAll('td:not(.wave):not(.actions), .loop-flag')]
    .filter((e) => e.scrollWidth > e.clientWidth).map((e) => e.textContent)
    .concat([...tr.querySelectorAll('td.actions .button')].filter((b) => box(b).right > actions.right + 0.5
      || box(b).bottom > actions.bottom + 0.5).map((b) => b.textContent));
  return { play: box(tr.querySelector('button.play')), wave: box(tr.querySelector('td.wave canvas')), clipped,
    addresses: [...tr.querySelectorAll('td.offset')].map((td) => [td.innerText.replace(/\s+/g, ' '), td.title]) };
}));

describe('layout at phone and desktop widths', () => {
  for (const width of [390, 768, 1024, 1280, 1440]) {
    for (const kind of ['rom', 'spc', 'song', 'brr']) {
      test(`${kind} page at ${width} px: controls on screen, waveforms shown, texts whole`, async () => {
        const { page, context, seen } = await open(kind, width);
        assert.deepEqual(seen.errors, []);
        assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth),
          'nothing runs off the side');
        const rows = await rowBoxes(page);
        assert.ok(rows.length > 0);
        for (const [i, row] of rows.entries()) {
          assert.ok(row.play.left >= 0 && row.play.right <= width && row.play.width > 0, `row ${i + 1} Play`);
          assert.ok(row.wave.width >= 200 && row.wave.height >= 30, `row ${i + 1} waveform ${row.wave.width}`);
          assert.deepEqual(row.clipped, [], `row ${i + 1} cut off`);
          for (const [text, title] of row.addresses) {
            // ROM: offset and SNES address both shown; SPC: the audio RAM address.
            const pattern = { rom: /^0x[0-9A-F]{6} \$[0-9A-F]{2}:[0-9A-F]{4}$/, spc: /^\$[0-9A-F]{4}$/, brr: /^0x[0-9A-F]{6}$/ };
            assert.match(text, pattern[kind === 'song' ? 'spc' : kind]);
            assert.equal(title.replace(/[()]|SNES /g, ''), text);
          }
        }
        // An SPC's song is played: its key-ons and (where keyed) envelope curves are on view.
        const onView = (selector) => page.$$eval(selector, (es) =>
          es.filter((e) => e.checkVisibility() && e.getBoundingClientRect().width > 0).length);
        assert.deepEqual([await onView('#rows td.key-ons'), await onView('#rows td.envelope canvas')],
          { spc: [3, 0], song: [3, 2] }[kind] ?? [0, 0], 'keys and curves');
        // Only a ROM has two decoders to choose from, and runs found by a scan.
        assert.equal(await visible(page, '#decoder-field'), kind === 'rom');
        const header = await page.$eval('header', (h) => h.innerText);
        assert.equal(/Minimum run/.test(header) || /Runs found/.test(header), kind === 'rom');
        if (kind === 'brr') assert.match(header, /Loop\s+from 48 \(loop offset in the file\)/);
        const names = await page.$$eval('a[download]', (links) =>
          links.filter((link) => link.checkVisibility()).map((link) => link.download));
        assert.equal(new Set(names).size, names.length, `download names ${names}`);
        if (kind === 'spc') assert.match(header, /Directory\s+\$0300 \(DIR register\)[\s\S]*Directory entries\s+3\s+Samples stored\s+2/);
        await context.close();
      });
    }
  }
});

describe('on a phone', () => {
  test('the toolbar, Stop with it, stays on screen as the rows scroll by', async () => {
    const { page, context } = await open('rom', 390);
    await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
    const stop = await page.$eval('#stop', (b) => b.getBoundingClientRect().toJSON());
    assert.ok(stop.top >= 0 && stop.bottom <= 800 && stop.right <= 390, `Stop at ${JSON.stringify(stop)}`);
    await context.close();
  });
});

describe('accessibility', () => {
  const axe = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
  for (const kind of ['rom', 'spc', 'brr']) {
    test(`${kind} page: no WCAG A or AA violation in the light theme; Play and .brr name their sample`, async () => {
      const { page, context } = await open(kind, 1280);
      await page.emulateMedia({ colorScheme: 'light' });
      await page.evaluate(axe);
      const { violations } = await page.evaluate(() => window.axe.run(document, { runOnly: ['wcag2a', 'wcag2aa'] }));
      assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`), []);
      const rows = await page.$$eval('#rows tr', (trs) => trs.map((tr) => [tr.querySelector('td.number').textContent,
        tr.querySelector('a.brr') !== null]));
      for (const [name, saved] of rows) {
        assert.equal(await page.getByRole('button', { name: `Play ${name}`, exact: true }).count(), 1, `Play ${name}`);
        const links = await page.getByRole('link', { name: `Download ${name}.brr`, exact: true }).count();
        assert.equal(links, saved ? 1 : 0, `${name}.brr`);
      }
      await context.close();
    });
  }
});

describe('controls the page cannot serve', () => {
  test('a disabled Play button looks unlike an enabled one', async () => {
    const looks = async (name) => {
      const { page, context } = await open(name, 1280);
      const style = await page.$eval('#rows button.play', (b) => {
        const s = getComputedStyle(b);
        return { disabled: b.disabled, opacity: Number(s.opacity), cursor: s.cursor, color: s.color };
      });
      await context.close();
      return style;
    };
    const [on, off] = [await looks('rom'), await looks('tiny')];
    assert.deepEqual([on.disabled, off.disabled], [false, true]);
    assert.ok(off.opacity <= 0.6 && on.opacity === 1, `opacity ${off.opacity} vs ${on.opacity}`);
    assert.equal(off.cursor, 'not-allowed');
    assert.notEqual(off.color, on.color);
  });

  test('the one-file download of a ROM named 1.sfc is not named 1.wav, its first sample\'s file', async () => {
    const { page, context } = await open('one', 1280);
    assert.deepEqual(await page.$$eval('#download-all, #rows tr:first-child a.wav', (links) => links.map((a) => a.download)),
      ['1 (all).wav', '1.wav']);
    await context.close();
  });

  test('lengths of silent samples are whole', async () => {
    const { page, context } = await open('tiny', 1280);
    const rows = await rowBoxes(page);
    assert.deepEqual(rows.map((row) => row.clipped), [[], []]);
    await context.close();
  });

  test('no one-file download when one WAV cannot hold the samples, no toolbar without samples', async () => {
    // The same page with the builder's verdict turned: the page must follow it.
    const html = fs.readFileSync(pages.rom, 'utf8');
    const tooBig = path.join(work, 'too-big.html');
    fs.writeFileSync(tooBig, html.replace('"allInOneFits":true', '"allInOneFits":false'));
    assert.notEqual(fs.readFileSync(tooBig, 'utf8'), html);
    const big = await openPage(browser, pathToFileURL(tooBig));
    assert.equal(await visible(big.page, '#download-all'), false);
    assert.equal(await visible(big.page, '#dropped'), true);
    await big.context.close();
    const empty = await open('empty', 1280);
    assert.equal(await visible(empty.page, '#toolbar'), false);
    assert.equal(await visible(empty.page, '#no-samples'), true);
    await empty.context.close();
  });
});

// Each painted pixel column of a drawn waveform: its top and bottom row,
// the loop marker's full-height columns left out.
const paintedColumns = (page, selector) => page.waitForFunction((s) =>
  window.__canvases.drawn.has(document.querySelector(s)), selector).then(() => page.$eval(selector, (canvas) => {
  const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const columns = [];
  for (let x = 0; x < canvas.width; x++) {
    const rows = [];
    for (let y = 0; y < canvas.height; y++) if (pixels[4 * (y * canvas.width + x) + 3] > 0) rows.push(y);
    if (rows.length > 0 && rows.length < canvas.height) columns.push({ top: rows[0], bottom: rows.at(-1) });
  }
  return { columns, label: canvas.getAttribute('aria-label'), height: canvas.height };
}));

describe('waveforms', () => {
  test('each is scaled to its own peak and says so; a short one is a thin trace, not bars', async () => {
    const quiet = await open('brr', 1280);  // peak 3,584 of 32,768
    const drawn = await paintedColumns(quiet.page, '#rows tr:nth-child(1) canvas');
    // The loudest point, above or below the axis, reaches the edge.
    const edge = Math.min(...drawn.columns.map((c) => Math.min(c.top, drawn.height - 1 - c.bottom)));
    assert.ok(edge <= 0.1 * drawn.height, `the loudest point is drawn ${edge} rows from the edge of ${drawn.height}`);
    assert.match(drawn.label, /scaled to its peak/);
    await quiet.context.close();
    const short = await open('short', 1280);
    const { columns, height } = await paintedColumns(short.page, '#rows tr:nth-child(1) canvas');
    const tall = columns.filter((c) => c.bottom - c.top > height / 2).length;
    assert.ok(columns.length > 200 && tall < 0.1 * columns.length, `${tall} of ${columns.length} columns span half the height`);
    await short.context.close();
  });

  test('the loop point is marked where the directory puts it', async () => {
    const { page, context } = await open('spc', 1280);
    // Entry 01: 160 samples, looping from sample 48.
    await page.waitForFunction(() => window.__canvases.drawn.has(document.querySelector('#rows tr:nth-child(2) canvas')));
    const column = await page.$eval('#rows tr:nth-child(2) canvas', (canvas) => {
      const g = canvas.getContext('2d');
      // The top pixel row: only the marker reaches it.
      const top = g.getImageData(0, 0, canvas.width, 1).data;
      const marked = [];
      for (let x = 0; x < canvas.width; x++) if (top[4 * x + 3] > 0) marked.push(x);
      return { marked, width: canvas.width };
    });
    const expected = Math.floor((48 * column.width) / 160);
    assert.ok(column.marked.length > 0 && column.marked.length <= 3, `marked ${column.marked}`);
    assert.ok(Math.abs(column.marked[0] - expected) <= 1, `marker at ${column.marked[0]}, expected ${expected}`);
    await context.close();
  });
});

describe('finding samples', () => {
  const shownNames = (page) => page.$$eval('#rows tr', (trs) =>
    trs.filter((tr) => tr.checkVisibility()).map((tr) => tr.querySelector('td.number').textContent));
  const selectedName = (page) => page.$eval('#rows tr.selected td.number', (td) => td.textContent);

  test('without measures: order by length, filter by silence, no loudness order', async () => {
    const { page, context } = await open('unmeasured', 1280);
    assert.deepEqual(await page.$$eval('#order option', (os) => os.map((o) => o.value)), ['position', 'length']);
    assert.equal(await page.textContent('#filter-label'), 'Hide silent');
    const byLength = listed(DEMO_ROM).stored.map((s, i) => ({ ...s, i }))
      .sort((a, b) => b.bytes - a.bytes || a.i - b.i).map((s) => String(s.number));
    await page.selectOption('#order', 'length');
    assert.deepEqual(await shownNames(page), byLength);
    await page.click('#rows tr:first-child td.number');
    await page.keyboard.press('ArrowDown');
    assert.equal(await selectedName(page), byLength[1], 'the keys follow the order on view');
    await context.close();

    const tiny = await open('tiny', 1280);
    await tiny.page.check('#filter');
    assert.deepEqual(await shownNames(tiny.page), []);
    assert.equal(await visible(tiny.page, '#all-hidden'), true);
    await tiny.context.close();
  });

  test('with peak, padding and tuning: they are shown, filter and order the rows', async () => {
    const file = path.join(work, 'measured.html');
    fs.writeFileSync(file, withPageData(fs.readFileSync(pages.spc, 'utf8'), (data) => {
      data.samples.forEach((sample, i) => Object.assign(sample, { peak: [900, 100, 3000][i], padding: [0.95, 0, 0.1][i] }));
      data.samples[1].tuning = { hz: 439.19, note: 69, cents: -3.2 };
    }));
    const { page, context, seen } = await openPage(browser, pathToFileURL(file));
    assert.deepEqual(seen.errors, []);
    assert.equal(await page.textContent('#rows tr:nth-child(1) .measures'), 'peak\u00A0900 \u00B7 95\u00A0% padding');
    const tuning = () => page.$eval('#rows tr:nth-child(2) .tuning', (t) => t.checkVisibility() && t.textContent);
    assert.equal(await tuning(), 'A4 \u22123.2\u00A0ct \u00B7 439.2\u00A0Hz');
    await page.selectOption('#rate', '16000');  // half the rate: an octave down
    assert.equal(await tuning(), 'A3 \u22123.2\u00A0ct \u00B7 219.6\u00A0Hz');
    assert.equal(await page.textContent('#filter-label'), 'Hide silent and mostly padding');
    await page.selectOption('#order', 'peak');
    assert.deepEqual(await shownNames(page), ['02', '00', '01']);
    await page.check('#filter');
    assert.deepEqual(await shownNames(page), ['02', '01']);
    assert.equal(await selectedName(page), '02', 'a hidden selection moves to the first row on view');
    await context.close();
  });
});
