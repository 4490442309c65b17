// Each row's waveform, drawn when the row comes into view.
import { samples, state } from './page_data.mjs';
import { loopStartOf, samplePcm } from './sample_pcm.mjs';

// Colours come from the style sheet, so the light and dark schemes agree.
let colours = null;

function waveColours() {
  if (!colours) {
    const style = getComputedStyle(document.documentElement);
    const read = (name) => style.getPropertyValue(name).trim();
    colours = { axis: read('--axis'), wave: read('--wave'), loop: read('--wave-loop') };
  }
  return colours;
}

// The lowest and highest value each pixel column shows. Where there are
// more samples than columns, every sample of the column and the first of
// the next, so that long samples keep their shape; where there are fewer,
// the column's sample and the one before it, so that a short sample is a
// thin stepped trace rather than a row of bars.
function columnSpan(values, x, width) {
  const count = values.length;
  const from = Math.floor(x * count / width);
  if (count < width) {
    const before = values[Math.floor((x - 1) * count / width)] ?? values[from];
    return [Math.min(before, values[from]), Math.max(before, values[from])];
  }
  const to = Math.min(count, Math.max(from + 1, Math.floor((x + 1) * count / width)) + 1);
  let low = 32767;
  let high = -32768;
  for (let i = from; i < to; i++) {
    const value = values[i];
    if (value < low) low = value;
    if (value > high) high = value;
  }
  return [low, high];
}

const peakOfValues = (values) => values.reduce((most, value) => Math.max(most, Math.abs(value)), 0);

// Each sample is drawn scaled to its own peak (the canvas's label says
// so), so quiet ones show their shape. The size comes from the observer,
// never from a layout query: with a thousand rows, forcing layout per
// canvas makes scrolling crawl.
function drawWave(index, cssWidth, cssHeight) {
  const row = state.rows[index];
  const canvas = row.canvas;
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(cssWidth * ratio));
  const height = Math.max(1, Math.round(cssHeight * ratio));
  if (row.drawnWidth === width && canvas.height === height) return;
  canvas.width = width;
  canvas.height = height;
  row.drawnWidth = width;
  const g = canvas.getContext('2d');
  const { axis, wave, loop } = waveColours();
  const middle = height / 2;
  g.fillStyle = axis;
  g.fillRect(0, Math.floor(middle), width, Math.max(1, Math.round(ratio)));

  const values = samplePcm(index);
  const count = values.length;
  if (count === 0) return;
  const scale = (middle - 1) / Math.max(1, peakOfValues(values));
  // A known loop point splits the attack from the loop, which is drawn
  // in the loop colour behind a marker; otherwise a looping sample is
  // drawn all in that colour.
  const loopStart = loopStartOf(index);
  const loopX = loopStart === null ? (samples[index].loop ? 0 : width) : Math.floor(loopStart * width / count);
  for (let x = 0; x < width; x++) {
    g.fillStyle = x < loopX ? wave : loop;
    const [low, high] = columnSpan(values, x, width);
    const top = middle - high * scale;
    const bottom = middle - low * scale;
    g.fillRect(x, top, 1, Math.max(ratio, bottom - top));
  }
  if (loopStart !== null) {
    g.fillStyle = loop;
    g.fillRect(Math.min(loopX, width - Math.round(ratio)), 0, Math.max(1, Math.round(ratio)), height);
  }
}

let waveObserver = null;

export function watchWaves() {
  waveObserver = new IntersectionObserver((entries) => {
    for (const entry of entries) {
      if (!entry.isIntersecting) continue;
      const box = entry.boundingClientRect;
      drawWave(Number(entry.target.dataset.index), box.width, box.height);
    }
  }, { rootMargin: '400px 0px' });
  for (const row of state.rows) waveObserver.observe(row.canvas);
  // A new width redraws the rows in view; the others when they come back.
  let resizeTimer = 0;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(redrawWaves, 150);
  });
  matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => {
    colours = null;
    redrawWaves();
  });
}

export function redrawWaves() {
  if (!waveObserver) return;
  for (const row of state.rows) {
    row.drawnWidth = 0;
    waveObserver.unobserve(row.canvas);
    waveObserver.observe(row.canvas);
  }
}
