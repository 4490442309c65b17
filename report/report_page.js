'use strict';
// The audition page: lists the samples, decodes their BRR blocks with the
// chosen decoder, draws their waveforms as rows come into view, plays them
// through Web Audio and builds WAVE downloads equal to the ripper's files.
// All text from the ROM side is set with textContent, never parsed as HTML.
(() => {
  const data = JSON.parse(document.getElementById('report-data').textContent);
  const brr = decodeBase64(document.getElementById('report-brr').textContent);
  const samples = data.samples;
  const byId = (id) => document.getElementById(id);

  const WAV_HEADER_BYTES = 44;
  const SMPL_CHUNK_BYTES = 68;
  const PLAY_LABEL = '\u25B6 Play';
  const PLAYING_LABEL = '\u25A0 Stop';

  const state = {
    rate: data.rate,
    decoder: data.decoder,
    loop: false,
    selected: -1,
    order: 'position',
    filter: false,
    shown: [],      // indices of the rows on view, in their order
    audio: null,    // AudioContext, made on the first play
    playing: null,  // { index, source, startedAt, seconds }
    rows: [],
  };

  // ---- Data ----------------------------------------------------------

  function decodeBase64(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // ---- Decoders ------------------------------------------------------

  // The program's own arithmetic: full scale, predictions truncated toward
  // zero, a 16-bit wrap, and the end block left out.
  function decodeSpec(sample) {
    const out = new Int16Array(sample.specBytes / 2);
    let p1 = 0;
    let p2 = 0;
    let j = 0;
    for (let b = 0; b + 1 < sample.blocks && j < out.length; b++) {
      const at = sample.brrOffset + 9 * b;
      const range = brr[at] >> 4;
      const filter = (brr[at] >> 2) & 3;
      for (let k = 1; k <= 8 && j < out.length; k++) {
        for (const v of [brr[at + k] >> 4, brr[at + k] & 15]) {
          const s = (v < 8 ? v : v - 16) * (1 << range);
          let t = 0;
          if (filter === 1) t = Math.trunc((15 * p1) / 16);
          else if (filter === 2) t = Math.trunc((61 * p1 - 30 * p2) / 32);
          else if (filter === 3) t = Math.trunc((115 * p1 - 52 * p2) / 64);
          const value = ((s + t) << 16) >> 16;
          out[j++] = value;
          p2 = p1;
          p1 = value;
        }
      }
    }
    return out;
  }

  // The sound chip's: 15-bit values with arithmetic shifts, ranges 13-15 as
  // the chip has them, a clamp, the doubled value's wrap, every block.
  function decodeChip(sample) {
    const out = new Int16Array(16 * sample.blocks);
    let p1 = 0;
    let p2 = 0;
    let j = 0;
    for (let b = 0; b < sample.blocks; b++) {
      const at = sample.brrOffset + 9 * b;
      const range = brr[at] >> 4;
      const filter = (brr[at] >> 2) & 3;
      for (let k = 1; k <= 8; k++) {
        for (const v of [brr[at + k] >> 4, brr[at + k] & 15]) {
          const n = v < 8 ? v : v - 16;
          let s = range <= 12 ? (n << range) >> 1 : (n < 0 ? -2048 : 0);
          const q = p2 >> 1;
          if (filter === 1) s += (p1 >> 1) + ((-p1) >> 5);
          else if (filter === 2) s += p1 - q + (q >> 4) + ((p1 * -3) >> 6);
          else if (filter === 3) s += p1 - q + ((p1 * -13) >> 7) + ((q * 3) >> 4);
          s = Math.max(-32768, Math.min(32767, s));
          const value = ((s * 2) << 16) >> 16;
          out[j++] = value;
          p2 = p1;
          p1 = value;
        }
      }
    }
    return out;
  }

  // A few decoded samples are kept: the rows in view and the one playing.
  const decoded = new Map();
  const DECODED_KEPT = 64;

  function samplePcm(index) {
    const key = `${state.decoder}:${index}`;
    let values = decoded.get(key);
    if (!values) {
      const sample = samples[index];
      values = state.decoder === 'chip' ? decodeChip(sample) : decodeSpec(sample);
      if (decoded.size >= DECODED_KEPT) decoded.delete(decoded.keys().next().value);
      decoded.set(key, values);
    }
    return values;
  }

  function pcmBytesOf(sample) { return state.decoder === 'chip' ? 32 * sample.blocks : sample.specBytes; }

  // Where the sample's loop starts, when the directory says (chip only).
  function loopStartOf(sample) {
    return state.decoder === 'chip' && sample.loopStartSample != null ? sample.loopStartSample : null;
  }

  function silentOf(index) {
    const values = samplePcm(index);
    return values.every((value) => value === 0);
  }

  function littleEndian(values) {
    const bytes = new Uint8Array(values.length * 2);
    const view = new DataView(bytes.buffer);
    for (let i = 0; i < values.length; i++) view.setInt16(2 * i, values[i], true);
    return bytes;
  }

  // The smpl chunk the ripper writes: one forward loop to the last sample.
  function smplChunk(rate, loopStart, frames) {
    const chunk = new ArrayBuffer(SMPL_CHUNK_BYTES);
    const view = new DataView(chunk);
    'smpl'.split('').forEach((c, i) => view.setUint8(i, c.charCodeAt(0)));
    view.setUint32(4, SMPL_CHUNK_BYTES - 8, true);
    view.setUint32(16, rate > 0 ? Math.floor(1e9 / rate) : 0, true);
    view.setUint32(20, 60, true);
    view.setUint32(36, 1, true);
    view.setUint32(52, loopStart, true);
    view.setUint32(56, frames - 1, true);
    return chunk;
  }

  // The 44-byte header exactly as the ripper writes it: PCM, mono, 16 bits;
  // the 32-bit fields wrap like the ripper's.
  function wavHeader(dataBytes, rate, extraBytes = 0) {
    const header = new ArrayBuffer(WAV_HEADER_BYTES);
    const view = new DataView(header);
    const ascii = (at, text) => { for (let i = 0; i < 4; i++) view.setUint8(at + i, text.charCodeAt(i)); };
    ascii(0, 'RIFF');
    view.setUint32(4, (dataBytes + 36 + extraBytes) >>> 0, true);
    ascii(8, 'WAVE');
    ascii(12, 'fmt ');
    view.setUint32(16, 16, true);
    view.setUint16(20, 1, true);
    view.setUint16(22, 1, true);
    view.setUint32(24, rate >>> 0, true);
    view.setUint32(28, (rate * 2) >>> 0, true);
    view.setUint16(32, 2, true);
    view.setUint16(34, 16, true);
    ascii(36, 'data');
    view.setUint32(40, dataBytes >>> 0, true);
    return header;
  }

  function sampleWav(index) {
    const values = samplePcm(index);
    const loopStart = loopStartOf(samples[index]);
    if (loopStart === null || values.length === 0) {
      return new Blob([wavHeader(values.length * 2, state.rate), littleEndian(values)], { type: 'audio/wav' });
    }
    return new Blob([wavHeader(values.length * 2, state.rate, SMPL_CHUNK_BYTES), littleEndian(values),
      smplChunk(state.rate, loopStart, values.length)], { type: 'audio/wav' });
  }

  // Every saved sample back to back behind one header, as rip --one-file.
  function allWav() {
    const parts = [];
    let bytes = 0;
    samples.forEach((sample, index) => {
      if (!sample.saved) return;
      const part = littleEndian(samplePcm(index));
      parts.push(part);
      bytes += part.length;
    });
    return new Blob([wavHeader(bytes, state.rate), ...parts], { type: 'audio/wav' });
  }

  // ---- Formatting ----------------------------------------------------

  const hex = (offset) => '0x' + offset.toString(16).toUpperCase().padStart(6, '0');
  const aram = (address) => '$' + address.toString(16).toUpperCase().padStart(4, '0');
  const grouped = (n) => n.toLocaleString('en-US');
  const seconds = (bytes) => (bytes / 2 / state.rate).toFixed(3) + ' s';

  function sizeText(bytes) {
    const units = ['bytes', 'KiB', 'MiB', 'GiB'];
    let value = bytes;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) { value /= 1024; unit++; }
    const short = unit === 0 ? '' : ` (${value.toFixed(value < 10 ? 1 : 0).replace(/\.0$/, '')} ${units[unit]})`;
    return `${grouped(bytes)} bytes${short}`;
  }

  function setText(id, text) { byId(id).textContent = text; }

  // ---- Summary and toolbar -------------------------------------------

  const DIRECTORY_SOURCES = { register: 'DIR register', code: "driver's code" };

  // A snapshot read through its sample directory has entries, not runs:
  // the minimum run applies only where audio RAM or a ROM was scanned.
  function summaryFacts() {
    const facts = [['Size', sizeText(data.rom.size)]];
    const directory = data.isSpc && data.directory != null;
    if (directory) {
      const source = DIRECTORY_SOURCES[data.directorySource];
      facts.push(['Directory', aram(data.directory) + (source ? ` (${source})` : '')]);
    } else {
      if (data.isSpc) facts.push(['Directory', 'not found; audio RAM scanned']);
      facts.push(['Minimum run', `${grouped(data.minRunBytes)} bytes`]);
    }
    facts.push(['Initial rate', `${grouped(data.rate)} Hz`]);
    if (directory) {
      facts.push(['Directory entries', grouped(samples.length)]);
      facts.push(['Samples stored', grouped(samples.filter((sample) => sample.saved).length)]);
    } else {
      facts.push(['Runs found', grouped(data.runsFound)]);
      facts.push(['Samples stored', grouped(samples.length)]);
    }
    return facts;
  }

  function fillSummary() {
    setText('rom-name', data.rom.name);
    setText('rom-path', data.rom.path);
    byId('rom-path').hidden = data.rom.path === data.rom.name;
    document.title = `${data.rom.name} · VOXTRAWL samples`;
    for (const [label, value] of summaryFacts()) {
      const item = document.createElement('div');
      const term = document.createElement('dt');
      const detail = document.createElement('dd');
      term.textContent = label;
      detail.textContent = value;
      item.append(term, detail);
      byId('facts').append(item);
    }
    const runs = (n) => `${grouped(n)} qualifying ${n === 1 ? 'run was' : 'runs were'} not stored`;
    const notes = [];
    if (data.notStoredMemory > 0) notes.push(`${runs(data.notStoredMemory)} (not enough memory to decode).`);
    if (data.notStoredLimit > 0) {
      notes.push(`${runs(data.notStoredLimit)} (a rip keeps ${grouped(data.maxSamples)} samples at most; ` +
        'a higher minimum run finds fewer).');
    }
    if (!data.allInOneFits) {
      notes.push(`The samples hold ${sizeText(data.allInOneBytes)} of PCM, more than one WAV file can describe, ` +
        'so there is no download of all of them in one file; download them one by one.');
    }
    if (notes.length > 0) {
      const note = byId('dropped');
      note.hidden = false;
      note.textContent = notes.join(' ');
    }
  }

  function fillRates() {
    const select = byId('rate');
    const rates = data.rates.includes(data.rate) ? data.rates : [...data.rates, data.rate].sort((a, b) => a - b);
    for (const rate of rates) {
      const option = document.createElement('option');
      option.value = String(rate);
      option.textContent = `${grouped(rate)} Hz`;
      option.selected = rate === data.rate;
      select.append(option);
    }
    select.addEventListener('change', () => {
      state.rate = Number(select.value);
      updateLengths();
      if (state.playing) play(state.playing.index);  // hear the new rate at once
    });
  }

  function setupToolbar() {
    // With nothing to play, the toolbar has nothing to offer.
    if (samples.length === 0) byId('toolbar').hidden = true;
    // The table head sticks below the toolbar, however many lines it wraps to.
    const bar = byId('toolbar');
    new ResizeObserver(([entry]) => {
      const height = entry.borderBoxSize?.[0]?.blockSize ?? entry.contentRect.height;
      document.documentElement.style.setProperty('--bar-height', `${Math.ceil(height)}px`);
    }).observe(bar);
    const loop = byId('loop');
    loop.addEventListener('change', () => {
      state.loop = loop.checked;
      if (state.playing) setLoop(state.playing.source, samples[state.playing.index]);
      showStatus();
    });
    byId('stop').addEventListener('click', stop);
    const all = byId('download-all');
    const stem = data.rom.name.replace(/\.[^.]*$/, '') || data.rom.name;
    all.download = `${stem}.wav`;
    // Offered only when there is something to put in it and one WAV can hold it.
    all.hidden = !data.allInOneFits || !samples.some((sample) => sample.saved);
    offerDownload(all, allWav);
    const decoder = byId('decoder');
    decoder.value = state.decoder;
    // SPC samples are always decoded as the chip does.
    byId('decoder-field').hidden = data.isSpc;
    decoder.addEventListener('change', () => {
      state.decoder = decoder.value;
      decoded.clear();
      updateLengths();
      arrange();
      redrawWaves();
      if (state.playing) play(state.playing.index);
    });
  }

  // A link gets its WAVE image when clicked, at the rate chosen then.
  function offerDownload(link, makeBlob) {
    link.addEventListener('click', () => {
      if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
      link.href = URL.createObjectURL(makeBlob());
    });
  }

  // ---- Rows ----------------------------------------------------------

  // The label names the cell when narrow screens stack a row's cells.
  function cell(row, className, label, text) {
    const td = document.createElement('td');
    td.className = className;
    td.dataset.label = label;
    if (text !== undefined) td.textContent = text;
    row.append(td);
    return td;
  }

  // Where the blocks are: SPC entries in audio RAM, ROM runs in the file
  // with their SNES address below when the mapping is known. The title
  // holds the whole text wherever a narrow cell would wrap it.
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
    if (snes) {
      const small = document.createElement('span');
      small.className = 'snes';
      small.textContent = ` ${snes}`;  // the space keeps copied text apart
      td.append(small);
    }
    td.title = snes ? `${offset} (SNES ${snes})` : offset;
  }

  function loopText(sample) {
    if (sample.loopStartSample != null) {
      return `from ${grouped(sample.loopStartSample)}${sample.loopIsOffset ? ' (offset)' : ''}`;
    }
    if (data.isSpc && sample.aramStart !== undefined) return sample.loop ? 'yes, point unknown' : 'no';
    return sample.loop ? 'yes' : 'no';
  }

  function detail(td, className, text) {
    const span = document.createElement('span');
    span.className = className;
    span.textContent = text;
    td.append(span);
    return span;
  }

  function buildRow(sample, index) {
    const number = index + 1;
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
    const tuning = tuningText(sample) ? detail(loopCell, 'detail tuning', tuningText(sample)) : null;
    const wave = cell(tr, 'wave', '');
    const canvas = document.createElement('canvas');
    canvas.dataset.index = String(index);
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', `Waveform of sample ${number}`);
    wave.append(canvas);

    const actions = cell(tr, 'actions', '');
    const playButton = document.createElement('button');
    playButton.type = 'button';
    playButton.className = 'button play';
    playButton.textContent = PLAY_LABEL;
    playButton.disabled = pcmBytesOf(sample) === 0;
    playButton.addEventListener('click', (event) => {
      event.stopPropagation();
      select(index, false);
      // The playing row's button stops it.
      if (state.playing && state.playing.index === index) stop();
      else play(index);
    });
    actions.append(playButton);
    if (sample.saved) {
      const link = document.createElement('a');
      link.className = 'button wav';
      link.href = '#';
      link.download = `${sample.name}.wav`;
      link.textContent = `\u21E9 ${sample.name}.wav`;
      offerDownload(link, () => sampleWav(index));
      actions.append(link);
    } else {
      const same = document.createElement('span');
      same.className = 'same-as';
      const first = samples.find((s) => s.index === sample.sameAs);
      same.textContent = `same as ${first ? first.name : sample.sameAs}`;
      actions.append(same);
    }

    tr.addEventListener('click', () => select(index, false));
    tr.addEventListener('dblclick', () => play(index));
    return { tr, canvas, wave, length, measures, tuning, playButton, drawnWidth: 0 };
  }

  function buildRows() {
    if (samples.length === 0) {
      byId('no-samples').hidden = false;
      return;
    }
    const body = document.createDocumentFragment();
    samples.forEach((sample, index) => {
      const row = buildRow(sample, index);
      state.rows.push(row);
      body.append(row.tr);
    });
    byId('rows').append(body);
    byId('samples').hidden = false;
  }

  // The listing's silence and peak are by the initial decoder; another
  // decoder's are found by decoding.
  function peakOf(index) {
    const sample = samples[index];
    if (sample.peak == null) return null;
    if (state.decoder === data.decoder) return sample.peak;
    return samplePcm(index).reduce((most, value) => Math.max(most, Math.abs(value)), 0);
  }

  function silentNow(index) {
    const sample = samples[index];
    if (state.decoder === data.decoder && sample.silent != null) return sample.silent;
    if (state.decoder === data.decoder && sample.peak != null) return sample.peak === 0;
    return silentOf(index);
  }

  function lengthText(index) {
    return seconds(pcmBytesOf(samples[index])) + (silentNow(index) ? ' \u00B7 silent' : '');
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

  const NOTE_NAMES = ['C', 'C\u266F', 'D', 'D\u266F', 'E', 'F', 'F\u266F', 'G', 'G\u266F', 'A', 'A\u266F', 'B'];

  // The pitch of the loop, measured at the page's initial rate; another
  // rate moves it.
  function tuningText(sample) {
    const tuning = sample.tuning;
    if (!tuning || !(tuning.hz > 0)) return '';
    const hz = (tuning.hz * state.rate) / data.rate;
    const given = tuning.note != null && tuning.cents != null;
    const exact = given ? tuning.note + tuning.cents / 100 + 12 * Math.log2(state.rate / data.rate)
      : 69 + 12 * Math.log2(hz / 440);
    const note = Math.round(exact);
    const cents = (exact - note) * 100;
    const name = NOTE_NAMES[((note % 12) + 12) % 12] + (Math.floor(note / 12) - 1);
    return `${name} ${cents < 0 ? '\u2212' : '+'}${Math.abs(cents).toFixed(1)}\u00A0ct \u00B7 ${hz.toFixed(1)}\u00A0Hz`;
  }

  function updateLengths() {
    state.rows.forEach((row, index) => {
      row.length.textContent = lengthText(index);
      if (row.measures) row.measures.textContent = measuresText(index);
      if (row.tuning) row.tuning.textContent = tuningText(samples[index]);
      row.playButton.disabled = pcmBytesOf(samples[index]) === 0;
    });
  }

  // ---- Finding samples -----------------------------------------------

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
      indices.sort((a, b) => pcmBytesOf(samples[b]) - pcmBytesOf(samples[a]) || a - b);
    } else if (state.order === 'peak') {
      const peaks = indices.map(peakOf);
      indices.sort((a, b) => peaks[b] - peaks[a] || a - b);
    }
    return state.filter ? indices.filter((index) => !filteredOut(index)) : indices;
  }

  // Puts the rows on view in the chosen order; the selection moves to the
  // first of them when the filter hides it.
  function arrange() {
    state.shown = orderedIndices();
    const shown = new Set(state.shown);
    const body = document.createDocumentFragment();
    state.rows.forEach((row, index) => { row.tr.hidden = !shown.has(index); });
    for (const index of state.shown) body.append(state.rows[index].tr);
    byId('rows').append(body);
    byId('all-hidden').hidden = state.shown.length > 0 || samples.length === 0;
    if (!shown.has(state.selected)) select(state.shown.length > 0 ? state.shown[0] : -1, false);
  }

  function setupFinding() {
    const has = (name) => samples.some((sample) => sample[name] != null);
    // Loudness orders only what the listing measured.
    if (!has('peak')) byId('order-peak').remove();
    byId('order-field').hidden = samples.length < 2;
    if (has('padding')) byId('filter-label').textContent = 'Hide silent and mostly padding';
    const order = byId('order');
    order.addEventListener('change', () => {
      state.order = order.value;
      arrange();
    });
    const filter = byId('filter');
    filter.addEventListener('change', () => {
      state.filter = filter.checked;
      arrange();
    });
  }

  // ---- Waveforms -----------------------------------------------------

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

  matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => {
    colours = null;
    redrawWaves();
  });

  // Min and max of each pixel column, so that long samples keep their
  // shape. The size comes from the observer, never from a layout query:
  // with a thousand rows, forcing layout per canvas makes scrolling crawl.
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
    const scale = (middle - 1) / 32768;
    // A known loop point splits the attack from the loop, which is drawn
    // in the loop colour behind a marker; otherwise a looping sample is
    // drawn all in that colour.
    const loopStart = loopStartOf(samples[index]);
    const loopX = loopStart === null ? (samples[index].loop ? 0 : width) : Math.floor(loopStart * width / count);
    for (let x = 0; x < width; x++) {
      g.fillStyle = x < loopX ? wave : loop;
      const from = Math.floor(x * count / width);
      // One sample past the column joins it to the next one.
      const to = Math.min(count, Math.max(from + 1, Math.floor((x + 1) * count / width)) + 1);
      let low = 32767;
      let high = -32768;
      for (let i = from; i < to; i++) {
        const value = values[i];
        if (value < low) low = value;
        if (value > high) high = value;
      }
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

  function watchWaves() {
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
  }

  function redrawWaves() {
    if (!waveObserver) return;
    for (const row of state.rows) {
      row.drawnWidth = 0;
      waveObserver.unobserve(row.canvas);
      waveObserver.observe(row.canvas);
    }
  }

  // ---- Selection -----------------------------------------------------

  // Index -1 leaves no row selected.
  function select(index, fromKeyboard) {
    if (index < -1 || index >= state.rows.length) return;
    if (state.selected >= 0) {
      const old = state.rows[state.selected].tr;
      old.classList.remove('selected');
      old.removeAttribute('aria-selected');
    }
    state.selected = index;
    if (index < 0) return;
    const tr = state.rows[index].tr;
    tr.classList.add('selected');
    tr.setAttribute('aria-selected', 'true');
    if (fromKeyboard) {
      // Focus follows, so that Space plays this row rather than a button.
      tr.focus({ preventScroll: true });
      tr.scrollIntoView({ block: 'nearest' });
    }
  }

  // Moves through the rows on view, in their order.
  function move(step) {
    const shown = state.shown;
    if (shown.length === 0) return;
    const at = shown.indexOf(state.selected);
    select(shown[at < 0 ? 0 : Math.min(shown.length - 1, Math.max(0, at + step))], true);
  }

  // ---- Playback ------------------------------------------------------

  function play(index) {
    stop();
    const sample = samples[index];
    if (!sample || pcmBytesOf(sample) === 0) return;
    if (!state.audio) state.audio = new AudioContext();
    const audio = state.audio;
    if (audio.state === 'suspended') audio.resume();
    let buffer;
    try {
      buffer = audio.createBuffer(1, pcmBytesOf(sample) / 2, state.rate);
    } catch (error) {
      showStatus(`This browser cannot play at ${grouped(state.rate)} Hz`);
      return;
    }
    const channel = buffer.getChannelData(0);
    const values = samplePcm(index);
    for (let i = 0; i < channel.length; i++) channel[i] = values[i] / 32768;

    const source = audio.createBufferSource();
    source.buffer = buffer;
    setLoop(source, sample);
    source.connect(audio.destination);
    const playing = { index, source, startedAt: audio.currentTime, seconds: buffer.duration };
    source.addEventListener('ended', () => {
      if (state.playing === playing) finish();
    });
    source.start();
    state.playing = playing;
    const row = state.rows[index];
    row.tr.classList.add('playing');
    row.playButton.textContent = PLAYING_LABEL;
    showStatus();
    requestAnimationFrame(movePlayhead);
  }

  // With a known loop point the attack plays once and then only the loop
  // repeats, as on the console; otherwise the whole sample repeats.
  function setLoop(source, sample) {
    source.loop = state.loop;
    const loopStart = loopStartOf(sample);
    if (state.loop && loopStart !== null && source.buffer) {
      source.loopStart = loopStart / source.buffer.sampleRate;
      source.loopEnd = source.buffer.duration;
    } else {
      source.loopStart = 0;
      source.loopEnd = 0;
    }
  }

  function stop() {
    const playing = state.playing;
    if (!playing) return;
    finish();
    try { playing.source.stop(); } catch (error) { /* already ended */ }
  }

  function finish() {
    const playing = state.playing;
    state.playing = null;
    const row = state.rows[playing.index];
    row.tr.classList.remove('playing');
    row.playButton.textContent = PLAY_LABEL;
    const head = row.wave.querySelector('.playhead');
    if (head) head.remove();
    showStatus();
  }

  function movePlayhead() {
    const playing = state.playing;
    if (!playing) return;
    const row = state.rows[playing.index];
    let head = row.wave.querySelector('.playhead');
    if (!head) {
      head = document.createElement('div');
      head.className = 'playhead';
      row.wave.append(head);
    }
    let elapsed = state.audio.currentTime - playing.startedAt;
    const source = playing.source;
    if (source.loop && elapsed > playing.seconds && source.loopEnd > source.loopStart) {
      const span = source.loopEnd - source.loopStart;
      elapsed = source.loopStart + ((elapsed - playing.seconds) % span);
    } else {
      elapsed = source.loop ? elapsed % playing.seconds : Math.min(elapsed, playing.seconds);
    }
    const width = row.canvas.clientWidth;
    head.style.transform = `translateX(${(elapsed / playing.seconds) * width}px)`;
    requestAnimationFrame(movePlayhead);
  }

  function showStatus(message) {
    const status = byId('status');
    const playing = state.playing;
    status.classList.toggle('active', Boolean(playing));
    if (message) status.textContent = message;
    else if (playing) {
      status.textContent = `Playing #${samples[playing.index].name} at ${grouped(state.rate)} Hz${state.loop ? ', looped' : ''}`;
    } else status.textContent = 'Stopped';
  }

  // ---- Keyboard ------------------------------------------------------

  function onKey(event) {
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    if (event.key === 'Escape') {
      stop();
      return;
    }
    const target = event.target;
    const tag = target.tagName;
    // Lists and text fields keep their own keys.
    if (tag === 'SELECT' || tag === 'TEXTAREA' || (tag === 'INPUT' && target.type !== 'checkbox')) return;
    switch (event.key) {
      case 'ArrowDown': case 'j': case 'J':
        move(1);
        break;
      case 'ArrowUp': case 'k': case 'K':
        move(-1);
        break;
      case ' ':
        // A focused button or switch answers Space itself.
        if (tag === 'BUTTON' || tag === 'INPUT') return;
        if (state.selected < 0) move(0);
        if (state.selected >= 0) play(state.selected);
        break;
      default:
        return;
    }
    event.preventDefault();
  }

  // ---- Start ---------------------------------------------------------

  fillSummary();
  fillRates();
  setupToolbar();
  buildRows();
  setupFinding();
  arrange();
  watchWaves();
  document.addEventListener('keydown', onKey);
  document.body.dataset.ready = 'true';
})();
