// Finding an instrument: the order of the rows, the filter that hides
// silent samples and those that are mostly padding, and the one that
// keeps only the entries the song keyed.
import { byId, samples, state } from './page_data.mjs';
import { pcmBytesOf } from './sample_pcm.mjs';
import { drawEnvelopes, peakOf, silentNow } from './table.mjs';
import { songPlayed } from './song_facts.mjs';
import { returnToRows, select } from './selection.mjs';

// A sample is mostly padding when at least this share of its blocks
// carry all-zero data.
const MOSTLY_PADDING = 0.9;

function filteredOut(index) {
  const padding = samples[index].padding;
  return (padding != null && padding >= MOSTLY_PADDING) || silentNow(index);
}

function orderedIndices() {
  const indices = samples.map((sample, index) => index);
  if (state.order === 'length') {
    indices.sort((a, b) => pcmBytesOf(b) - pcmBytesOf(a) || a - b);
  } else if (state.order === 'peak') {
    const peaks = indices.map(peakOf);
    indices.sort((a, b) => peaks[b] - peaks[a] || a - b);
  }
  return indices.filter((index) => (!state.filter || !filteredOut(index)) &&
    (!state.played || samples[index].keyOns > 0));
}

// Puts the rows on view in the chosen order; the selection moves to the
// first of them when the filter hides it.
export function arrange() {
  state.shown = orderedIndices();
  const shown = new Set(state.shown);
  const body = document.createDocumentFragment();
  state.rows.forEach((row, index) => { row.tr.hidden = !shown.has(index); });
  for (const index of state.shown) body.append(state.rows[index].tr);
  byId('rows').append(body);
  byId('all-hidden').hidden = state.shown.length > 0 || samples.length === 0;
  if (!shown.has(state.selected)) select(state.shown.length > 0 ? state.shown[0] : -1, false);
  drawEnvelopes();
}

export function setupFinding() {
  const has = (name) => samples.some((sample) => sample[name] != null);
  // Loudness orders only what the listing measured.
  if (!has('peak')) byId('order-peak').remove();
  byId('order-field').hidden = samples.length < 2;
  if (has('padding')) byId('filter-label').textContent = 'Hide silent and mostly padding';
  const order = byId('order');
  order.addEventListener('change', () => {
    state.order = order.value;
    arrange();
    returnToRows();
  });
  const filter = byId('filter');
  filter.addEventListener('change', () => {
    state.filter = filter.checked;
    arrange();
  });
  byId('played-field').hidden = !songPlayed;
  const played = byId('played');
  played.addEventListener('change', () => {
    state.played = played.checked;
    arrange();
  });
}
