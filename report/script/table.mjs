// The rows of the sample table: where each sample is, its length, loop,
// measures and pitch, its waveform, Play and its downloads.
import { byId, data, samples, state } from './page_data.mjs';
import { aram, grouped, hex, seconds } from './format.mjs';
import { loopPlanOf, pcmBytesOf, pitchOf, samplePcm, silentOf } from './sample_pcm.mjs';
import { noteName } from './pitch.mjs';
import { offerDownload, sampleBrr, sampleWav } from './downloads.mjs';
import { labelPlayButton, play, release, stop } from './playback.mjs';
import { select } from './selection.mjs';
import { drawEnvelope, envelopeLevels, envelopeWords, shortEnvelope, songPlayed } from './song_facts.mjs';

// The label names the cell when narrow screens stack a row's cells.
function cell(row, className, label, text) {
  const td = document.createElement('td');
  td.className = className;
  td.dataset.label = label;
  if (text !== undefined) td.textContent = text;
  row.append(td);
  return td;
}

function detail(td, className, text) {
  const span = document.createElement('span');
  span.className = className;
  span.textContent = text;
  td.append(span);
  return span;
}

// Where the blocks are: SPC entries in audio RAM, ROM runs in the file
// with their SNES address below when the mapping is known, and their
// audio RAM address when a transfer stream uploads them. The title holds
// the whole text wherever a narrow cell would wrap it.
function addressCell(tr, sample, which) {
  const td = cell(tr, `offset ${which}`, which === 'start' ? 'First block' : 'End block');
  if (data.isSpc && sample.aramStart !== undefined) {
    td.textContent = aram(which === 'start' ? sample.aramStart : sample.aramEnd);
    td.title = td.textContent;
    return;
  }
  const offset = hex(which === 'start' ? sample.start : sample.end);
  td.textContent = offset;
  const snes = which === 'start' ? sample.snesStart : sample.snesEnd;
  const ram = which === 'start' ? sample.aramStart : sample.aramEnd;
  const notes = [];
  // The space before each keeps copied text apart.
  if (snes) notes.push(['snes', ` ${snes}`, `SNES ${snes}`]);
  if (ram != null) notes.push(['snes aram', ` ${aram(ram)}`, `audio RAM ${aram(ram)}`]);
  for (const [className, text] of notes) detail(td, className, text);
  td.title = notes.length > 0 ? `${offset} (${notes.map((note) => note[2]).join(', ')})` : offset;
}

function loopText(sample) {
  if (sample.loopStartSample != null) {
    return `from ${grouped(sample.loopStartSample)}${sample.loopIsOffset ? ' (offset)' : ''}`;
  }
  if (sample.aramStart != null && (data.isSpc || sample.loopUnknownReason != null)) {
    return sample.loop ? 'yes, point unknown' : 'no';
  }
  return sample.loop ? 'yes' : 'no';
}

// Where a ROM run's stream puts its loop (the flag says when its entry
// gave it as an offset), or why the loop stays unknown.
function romLoopText(sample) {
  if (data.isSpc) return '';
  if (sample.aramLoop != null) return `loop at\u00A0${aram(sample.aramLoop)}`;
  return sample.loopUnknownReason != null ? `loop unknown: ${sample.loopUnknownReason}` : '';
}

// The listing's silence and peak are by the initial decoder; another
// decoder's are found by decoding.
export function peakOf(index) {
  const sample = samples[index];
  if (sample.peak == null) return null;
  if (state.decoder === data.decoder) return sample.peak;
  return samplePcm(index).reduce((most, value) => Math.max(most, Math.abs(value)), 0);
}

export function silentNow(index) {
  const sample = samples[index];
  if (state.decoder === data.decoder && sample.silent != null) return sample.silent;
  if (state.decoder === data.decoder && sample.peak != null) return sample.peak === 0;
  return silentOf(index);
}

function lengthText(index) {
  return seconds(pcmBytesOf(index), state.rate) + (silentNow(index) ? ' \u00B7 silent' : '');
}

// Peak and padding, for listings that measure them.
function measuresText(index) {
  const sample = samples[index];
  const peak = peakOf(index);
  const parts = [];
  if (peak != null) parts.push(`peak\u00A0${grouped(peak)}`);
  if (sample.padding != null) parts.push(`${Math.round(sample.padding * 100)}\u00A0% padding`);
  return parts.join(' \u00B7 ');
}

function tuningText(sample) {
  const pitch = pitchOf(sample);
  if (!pitch) return '';
  const { hz, note, cents } = pitch;
  return `${noteName(note)} ${cents < 0 ? '\u2212' : '+'}${Math.abs(cents).toFixed(1)}\u00A0ct \u00B7 ${hz.toFixed(1)}\u00A0Hz`;
}

// What the loop cell says beyond the loop point: how many passes the
// chip needs before its loop repeats.
function passesText(index) {
  const plan = loopPlanOf(index);
  if (!plan || (plan.passes === 1 && plan.stable)) return '';
  return plan.stable ? `${plan.passes} passes` : `${plan.passes} passes, not stable`;
}

function downloadLink(className, name, text, makeBlob) {
  const link = document.createElement('a');
  link.className = `button ${className}`;
  link.href = '#';
  link.download = name;
  link.textContent = text;
  offerDownload(link, makeBlob);
  return link;
}

function actionsCell(tr, sample, index) {
  const actions = cell(tr, 'actions', '');
  const playButton = document.createElement('button');
  playButton.type = 'button';
  playButton.className = 'button play';
  labelPlayButton(playButton, sample.name, false);
  playButton.disabled = pcmBytesOf(index) === 0;
  playButton.addEventListener('click', (event) => {
    event.stopPropagation();
    select(index, false);
    // The playing row's button stops it.
    if (state.playing && state.playing.index === index) stop();
    else play(index);
  });
  actions.append(playButton);
  if (sample.saved) {
    const blocks = downloadLink('brr', `${sample.name}.brr`, '\u21E9 .brr', () => sampleBrr(index));
    blocks.title = `${sample.name}.brr: the BRR blocks${sample.loopStartSample != null ? ' behind the loop offset' : ''}`;
    blocks.setAttribute('aria-label', `Download ${sample.name}.brr`);
    actions.append(downloadLink('wav', `${sample.name}.wav`, `\u21E9 ${sample.name}.wav`, () => sampleWav(index)), blocks);
  } else {
    const same = document.createElement('span');
    same.className = 'same-as';
    const first = samples.find((s) => s.index === sample.sameAs);
    same.textContent = `same as ${first ? first.name : sample.sameAs}`;
    actions.append(same);
  }
  return playButton;
}

// Pressing the curve plays a held note, as a note key does, released
// when the button comes up wherever the pointer is.
function holdOnPress(canvas, index) {
  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    event.preventDefault();
    select(index, false);
    play(index, { held: true });
    if (state.playing) state.playing.pointer = true;
    const up = () => {
      document.removeEventListener('pointerup', up);
      document.removeEventListener('pointercancel', up);
      if (state.playing && state.playing.pointer) release();
    };
    document.addEventListener('pointerup', up);
    document.addEventListener('pointercancel', up);
  });
}

// Key-ons and the envelope curve, on pages of a played song.
function songCells(tr, sample, index) {
  cell(tr, 'key-ons num', 'Keys', sample.keyOns == null ? '' : grouped(sample.keyOns));
  const td = cell(tr, 'envelope', 'Envelope');
  const levels = envelopeLevels(sample);
  if (!levels) return null;
  const canvas = document.createElement('canvas');
  canvas.className = 'envelope-curve';
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', envelopeWords(sample.envelope, sample.envelopes));
  canvas.title = `${canvas.getAttribute('aria-label')}. Press to play a note with it.`;
  holdOnPress(canvas, index);
  td.append(canvas);
  detail(td, 'detail envelope-text', shortEnvelope(sample.envelope));
  return { canvas, levels, drawnWidth: 0 };
}

function buildRow(sample, index) {
  const tr = document.createElement('tr');
  tr.tabIndex = -1;
  tr.dataset.index = String(index);
  cell(tr, 'number num', '#', sample.name);
  addressCell(tr, sample, 'start');
  addressCell(tr, sample, 'end');
  cell(tr, 'blocks num', 'Blocks', grouped(sample.blocks));
  const lengthCell = cell(tr, 'length num', 'Length');
  const length = detail(lengthCell, 'value', lengthText(index));
  const measures = measuresText(index) ? detail(lengthCell, 'detail measures', measuresText(index)) : null;
  const flag = document.createElement('span');
  flag.className = sample.loop ? 'loop-flag on' : 'loop-flag';
  flag.textContent = loopText(sample);
  const loopCell = cell(tr, 'loop', 'Loop');
  loopCell.append(flag);
  if (romLoopText(sample)) detail(loopCell, 'detail aram-loop', romLoopText(sample));
  const tuning = tuningText(sample) ? detail(loopCell, 'detail tuning', tuningText(sample)) : null;
  const passes = detail(loopCell, 'detail passes', passesText(index));
  passes.hidden = passes.textContent === '';
  const envelope = songPlayed ? songCells(tr, sample, index) : null;
  // The frame holds the canvas and, while it plays, the playhead over it.
  const frame = document.createElement('div');
  frame.className = 'wave-frame';
  const canvas = document.createElement('canvas');
  canvas.dataset.index = String(index);
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', `Waveform of ${sample.name}, scaled to its peak`);
  frame.append(canvas);
  cell(tr, 'wave', '').append(frame);
  const playButton = actionsCell(tr, sample, index);
  tr.addEventListener('click', () => select(index, false));
  tr.addEventListener('dblclick', () => play(index));
  return { tr, canvas, frame, length, measures, tuning, passes, playButton, envelope, drawnWidth: 0 };
}

// The keys and envelope headings and columns, before the waveform's.
function addSongColumns() {
  const table = byId('samples');
  table.classList.add('song');
  const wave = table.querySelector('col.c-wave');
  for (const name of ['c-keys', 'c-envelope']) {
    const col = document.createElement('col');
    col.className = name;
    wave.before(col);
  }
  const heading = table.querySelector('thead th.wave-heading');
  const keys = document.createElement('th');
  keys.scope = 'col';
  keys.className = 'num';
  keys.textContent = 'Keys';
  keys.title = 'Key-ons of the entry while the song played';
  const envelope = document.createElement('th');
  envelope.scope = 'col';
  envelope.textContent = 'Envelope';
  envelope.title = 'The setting the song keyed the entry with most, from key-on while the key is held';
  heading.before(keys, envelope);
}

// The curves are small and few settings repeat, so all are drawn at once
// (again when the page's width changes them).
export function drawEnvelopes() {
  const colour = getComputedStyle(document.documentElement).getPropertyValue('--wave').trim();
  for (const row of state.rows) {
    const curve = row.envelope;
    const width = curve ? curve.canvas.clientWidth : 0;
    if (width === 0 || width === curve.drawnWidth) continue;
    drawEnvelope(curve.canvas, curve.levels, colour);
    curve.drawnWidth = width;
  }
}

export function buildRows() {
  if (samples.length === 0) {
    byId('no-samples').hidden = false;
    return;
  }
  if (songPlayed) addSongColumns();
  const body = document.createDocumentFragment();
  samples.forEach((sample, index) => {
    const row = buildRow(sample, index);
    state.rows.push(row);
    body.append(row.tr);
  });
  byId('rows').append(body);
  byId('samples').hidden = false;
  window.addEventListener('resize', drawEnvelopes);
  const longest = Math.max(...samples.map((sample) => sample.name.length));
  document.documentElement.style.setProperty('--name-chars', String(longest));
}

export function updateLengths() {
  state.rows.forEach((row, index) => {
    row.length.textContent = lengthText(index);
    if (row.measures) row.measures.textContent = measuresText(index);
    if (row.tuning) row.tuning.textContent = tuningText(samples[index]);
    row.passes.textContent = passesText(index);
    row.passes.hidden = row.passes.textContent === '';
    row.playButton.disabled = pcmBytesOf(index) === 0;
  });
}
