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
    note: null,     // MIDI note that pitched samples play at; null: their own
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
  // the chip has them, a clamp, the doubled value's wrap. Decodes `count`
  // blocks from byte `at` onward, continuing from history {p1, p2}, which
  // it moves on; writes to out from index j.
  function decodeChipBlocks(at, count, history, out, j) {
    let { p1, p2 } = history;
    for (let end = at + 9 * count; at < end; at += 9) {
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
    history.p1 = p1;
    history.p2 = p2;
  }

  function decodeChip(sample) {
    const out = new Int16Array(16 * sample.blocks);
    decodeChipBlocks(sample.brrOffset, sample.blocks, { p1: 0, p2: 0 }, out, 0);
    return out;
  }

  // Passes written at most; when none repeats by then, the last is the loop.
  const MAX_LOOP_PASSES = 64;

  // FNV-1a over a pass: only passes that hash alike are compared.
  function hashPass(values) {
    let hash = 0x811C9DC5;
    for (let i = 0; i < values.length; i++) hash = Math.imul(hash ^ (values[i] & 0xFFFF), 0x01000193);
    return hash >>> 0;
  }

  const samePass = (a, b) => a.every((value, i) => value === b[i]);

  // The loop as the chip repeats it: at the end block it jumps back to the
  // loop block with the history it has, so a loop block that predicts
  // (filters 1-3) can sound different on every pass until the history
  // falls into a cycle. Holds the attack and every pass up to the first
  // that equals an earlier one; the loop runs from that earlier pass to
  // the end.
  function renderChipLoop(sample, loopBlock) {
    const attack = 16 * loopBlock;
    const passLength = 16 * (sample.blocks - loopBlock);
    const history = { p1: 0, p2: 0 };
    const head = new Int16Array(attack);
    decodeChipBlocks(sample.brrOffset, loopBlock, history, head, 0);
    const passes = [];
    const hashes = [];
    let first = -1;
    while (first < 0 && passes.length <= MAX_LOOP_PASSES) {
      const pass = new Int16Array(passLength);
      decodeChipBlocks(sample.brrOffset + 9 * loopBlock, sample.blocks - loopBlock, history, pass, 0);
      const hash = hashPass(pass);
      first = hashes.findIndex((earlier, k) => earlier === hash && samePass(passes[k], pass));
      if (first < 0) {
        passes.push(pass);
        hashes.push(hash);
      }
    }
    const stable = first >= 0;
    if (!stable) {
      passes.length = MAX_LOOP_PASSES;
      first = MAX_LOOP_PASSES - 1;
    }
    const pcm = new Int16Array(attack + passes.length * passLength);
    pcm.set(head);
    passes.forEach((pass, k) => pcm.set(pass, attack + k * passLength));
    return { pcm, plan: { loopStart: attack + first * passLength, passes: passes.length, stable } };
  }

  // The block the loop starts at, for the chip decoder when the directory
  // names it.
  function loopBlockOf(sample) {
    if (state.decoder !== 'chip' || sample.loopStartSample == null) return null;
    const block = sample.loopStartSample / 16;
    return Number.isInteger(block) && block >= 0 && block < sample.blocks ? block : null;
  }

  // A few decoded samples are kept: the rows in view and the one playing.
  // The plans of rendered loops are small and all kept.
  const decoded = new Map();
  const loopPlans = new Map();
  const DECODED_KEPT = 64;

  function samplePcm(index) {
    const key = `${state.decoder}:${index}`;
    let values = decoded.get(key);
    if (!values) {
      const sample = samples[index];
      const loopBlock = loopBlockOf(sample);
      if (loopBlock !== null) {
        const rendered = renderChipLoop(sample, loopBlock);
        values = rendered.pcm;
        loopPlans.set(index, rendered.plan);
      } else values = state.decoder === 'chip' ? decodeChip(sample) : decodeSpec(sample);
      if (decoded.size >= DECODED_KEPT) decoded.delete(decoded.keys().next().value);
      decoded.set(key, values);
    }
    return values;
  }

  // The plan of the sample's rendered loop, or null when the chip decoder
  // does not know its loop point.
  function loopPlanOf(index) {
    if (loopBlockOf(samples[index]) === null) return null;
    if (!loopPlans.has(index)) samplePcm(index);
    return loopPlans.get(index);
  }

  function pcmBytesOf(index) {
    const sample = samples[index];
    if (state.decoder !== 'chip') return sample.specBytes;
    const plan = loopPlanOf(index);
    return plan ? 2 * samplePcm(index).length : 32 * sample.blocks;
  }

  // Where the rendered loop starts (chip only, with a known loop point).
  function loopStartOf(index) {
    const plan = loopPlanOf(index);
    return plan ? plan.loopStart : null;
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

  // The smpl chunk the ripper writes: one forward loop to the last sample,
  // and the sample's pitch when it has one.
  function smplChunk(rate, loopStart, frames, pitch) {
    const chunk = new ArrayBuffer(SMPL_CHUNK_BYTES);
    const view = new DataView(chunk);
    'smpl'.split('').forEach((c, i) => view.setUint8(i, c.charCodeAt(0)));
    view.setUint32(4, SMPL_CHUNK_BYTES - 8, true);
    view.setUint32(16, rate > 0 ? Math.floor(1e9 / rate) : 0, true);
    view.setUint32(20, pitch.unity, true);
    view.setUint32(24, pitch.fraction, true);
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
    const loopStart = loopStartOf(index);
    if (loopStart === null || values.length === 0) {
      return new Blob([wavHeader(values.length * 2, state.rate), littleEndian(values)], { type: 'audio/wav' });
    }
    return new Blob([wavHeader(values.length * 2, state.rate, SMPL_CHUNK_BYTES), littleEndian(values),
      smplChunk(state.rate, loopStart, values.length, smplPitchOf(samples[index]))], { type: 'audio/wav' });
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

  // The sample's blocks as a .brr file; with the loop point known, behind
  // the 2-byte loop offset that SNES music tools read.
  function sampleBrr(index) {
    const sample = samples[index];
    const blocks = brr.subarray(sample.brrOffset, sample.brrOffset + 9 * sample.blocks);
    const loopStart = sample.loopStartSample;
    const loopBlock = loopStart != null && Number.isInteger(loopStart / 16) ? loopStart / 16 : null;
    if (loopBlock === null) return new Blob([blocks], { type: 'application/octet-stream' });
    const offset = 9 * loopBlock;
    return new Blob([new Uint8Array([offset & 255, (offset >> 8) & 255]), blocks], { type: 'application/octet-stream' });
  }

  // ---- SoundFont -----------------------------------------------------

  const SF_NAME_BYTES = 20;
  const SF_PADDING_POINTS = 46;     // zero points after each sample
  const SF_FIRST_KIT_KEY = 36;      // the kit's sample k sits on this key plus k
  const SF_MAX_SAMPLES = 128 * 128;
  const GEN = { instrument: 41, keyRange: 43, fineTune: 52, sampleId: 53, sampleModes: 54, rootKey: 58 };

  // Little-endian bytes gathered in a plain array; the preset data is small.
  function byteList() {
    const bytes = [];
    return {
      bytes,
      u8(value) { bytes.push(value & 255); },
      u16(value) { bytes.push(value & 255, (value >>> 8) & 255); },
      u32(value) { bytes.push(value & 255, (value >>> 8) & 255, (value >>> 16) & 255, (value >>> 24) & 255); },
      text(ascii) { for (const c of ascii) bytes.push(c.charCodeAt(0)); },
      append(list) { for (const b of list) bytes.push(b); },
      zeros(count) { for (let i = 0; i < count; i++) bytes.push(0); },
    };
  }

  // The first maxBytes of the name's UTF-8, with '_' for every byte that
  // is not printable ASCII.
  function printable(name, maxBytes) {
    return Array.from(new TextEncoder().encode(name).subarray(0, maxBytes), (b) => (b < 0x20 || b >= 0x7F ? 0x5F : b));
  }

  function chunk(id, body) {
    const out = byteList();
    out.text(id);
    out.u32(body.length);
    out.append(body);
    if (body.length % 2) out.u8(0);
    return out.bytes;
  }

  const list = (type, chunks) => chunk('LIST', [...Array.from(type, (c) => c.charCodeAt(0)), ...chunks]);

  function sfName(out, name) {
    const bytes = printable(name, SF_NAME_BYTES - 1);
    out.append(bytes);
    out.zeros(SF_NAME_BYTES - bytes.length);
  }

  function infoList(bankName) {
    const version = byteList();
    version.u16(2);
    version.u16(1);
    const name = printable(bankName, 255);
    // NUL-terminated to an even length, the padding counted in the size.
    const padded = [...name, ...new Array(name.length % 2 ? 1 : 2).fill(0)];
    const engine = [...Array.from('EMU8000', (c) => c.charCodeAt(0)), 0];
    return list('INFO', [...chunk('ifil', version.bytes), ...chunk('isng', engine), ...chunk('INAM', padded)]);
  }

  // Presets, instruments and sample headers: one preset per sample over
  // the whole keyboard, then the kit (bank 128, program 0) with a sample
  // per key.
  function presetList(entries, starts) {
    const [phdr, pbag, pgen, inst, ibag, igen, shdr] = Array.from({ length: 7 }, byteList);
    const bag = (bags, gens) => { bags.u16(gens.bytes.length / 4); bags.u16(0); };
    const gen = (gens, id, amount) => { gens.u16(id); gens.u16(amount); };
    const keys = (low, high) => low | (high << 8);
    entries.forEach((entry, i) => {
      sfName(phdr, entry.name);
      phdr.u16(i % 128);
      phdr.u16(Math.floor(i / 128));
      phdr.u16(pbag.bytes.length / 4);
      phdr.zeros(12);
      bag(pbag, pgen);
      gen(pgen, GEN.keyRange, keys(0, 127));
      gen(pgen, GEN.instrument, i);
    });
    const closePreset = (name, program, bank) => {
      sfName(phdr, name);
      phdr.u16(program);
      phdr.u16(bank);
      phdr.u16(pbag.bytes.length / 4);
      phdr.zeros(12);
      bag(pbag, pgen);
    };
    closePreset('all samples', 0, 128);
    gen(pgen, GEN.keyRange, keys(0, 127));
    gen(pgen, GEN.instrument, entries.length);
    closePreset('EOP', 0, 0);
    gen(pgen, 0, 0);

    const zone = (entry, index, low, high, kit) => {
      bag(ibag, igen);
      gen(igen, GEN.keyRange, keys(low, high));
      if (kit) {
        // In the kit each sample plays at its own rate on its key.
        gen(igen, GEN.rootKey, low);
        if (entry.correction !== 0) gen(igen, GEN.fineTune, -entry.correction & 0xFFFF);
      }
      gen(igen, GEN.sampleModes, entry.looped ? 1 : 0);
      gen(igen, GEN.sampleId, index);
    };
    entries.forEach((entry, i) => {
      sfName(inst, entry.name);
      inst.u16(ibag.bytes.length / 4);
      zone(entry, i, 0, 127, false);
    });
    sfName(inst, 'all samples');
    inst.u16(ibag.bytes.length / 4);
    entries.slice(0, 128 - SF_FIRST_KIT_KEY).forEach((entry, k) =>
      zone(entry, k, SF_FIRST_KIT_KEY + k, SF_FIRST_KIT_KEY + k, true));
    sfName(inst, 'EOI');
    inst.u16(ibag.bytes.length / 4);
    bag(ibag, igen);
    gen(igen, 0, 0);

    entries.forEach((entry, i) => {
      const start = starts[i];
      const length = entry.pcm.length;
      sfName(shdr, entry.name);
      shdr.u32(start);
      shdr.u32(start + length);
      // An unlooped sample still gets valid loop points: its whole length.
      shdr.u32(start + (entry.looped ? entry.loopStart : 0));
      shdr.u32(start + length);
      shdr.u32(entry.rate);
      shdr.u8(entry.rootKey);
      shdr.u8(entry.correction);
      shdr.u16(0);  // no linked sample
      shdr.u16(1);  // mono
    });
    sfName(shdr, 'EOS');
    shdr.zeros(26);
    const terminalModulator = new Array(10).fill(0);
    return list('pdta', [...chunk('phdr', phdr.bytes), ...chunk('pbag', pbag.bytes), ...chunk('pmod', terminalModulator),
      ...chunk('pgen', pgen.bytes), ...chunk('inst', inst.bytes), ...chunk('ibag', ibag.bytes),
      ...chunk('imod', terminalModulator), ...chunk('igen', igen.bytes), ...chunk('shdr', shdr.bytes)]);
  }

  // The samples a SoundFont holds: those saved, with points to play.
  function soundFontEntries() {
    const entries = [];
    samples.forEach((sample, index) => {
      if (!sample.saved || pcmBytesOf(index) === 0 || entries.length >= SF_MAX_SAMPLES) return;
      const loopStart = loopStartOf(index);
      entries.push({ name: sample.name, rate: state.rate, pcm: samplePcm(index), looped: loopStart !== null,
        loopStart, ...keyPitchOf(sample) });
    });
    return entries;
  }

  // The whole set as one SoundFont 2.01 bank, at the rate chosen.
  function soundFont() {
    const entries = soundFontEntries();
    const starts = [];
    let points = 0;
    for (const entry of entries) {
      starts.push(points);
      points += entry.pcm.length + SF_PADDING_POINTS;
    }
    // Named after the input file, as rip names its bank.
    const info = infoList(data.rom.name);
    const presets = presetList(entries, starts);
    const head = byteList();
    head.text('RIFF');
    head.u32(12 + info.length + 20 + 2 * points + presets.length - 8);
    head.text('sfbk');
    head.append(info);
    head.text('LIST');
    head.u32(4 + 8 + 2 * points);
    head.text('sdtasmpl');
    head.u32(2 * points);
    const padding = new Uint8Array(2 * SF_PADDING_POINTS);
    const parts = [new Uint8Array(head.bytes)];
    for (const entry of entries) parts.push(littleEndian(entry.pcm), padding);
    parts.push(new Uint8Array(presets));
    return new Blob(parts, { type: 'audio/x-soundfont' });
  }

  function fileStem() { return data.rom.name.replace(/\.[^.]*$/, '') || data.rom.name; }

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
      if (state.playing) setLoop(state.playing.source, state.playing.index);
      showStatus();
    });
    byId('stop').addEventListener('click', stop);
    const all = byId('download-all');
    all.download = `${fileStem()}.wav`;
    // Offered only when there is something to put in it and one WAV can hold it.
    all.hidden = !data.allInOneFits || !samples.some((sample) => sample.saved);
    offerDownload(all, allWav);
    const bank = byId('download-sf2');
    bank.download = `${fileStem()}.sf2`;
    bank.hidden = !samples.some((sample) => sample.saved);
    offerDownload(bank, soundFont);
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

  // A link gets its file when clicked, at the rate and decoder chosen then.
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
    if (romLoopText(sample)) detail(loopCell, 'detail aram-loop', romLoopText(sample));
    const tuning = tuningText(sample) ? detail(loopCell, 'detail tuning', tuningText(sample)) : null;
    const passes = detail(loopCell, 'detail passes', passesText(index));
    passes.hidden = passes.textContent === '';
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
      const link = document.createElement('a');
      link.className = 'button wav';
      link.href = '#';
      link.download = `${sample.name}.wav`;
      link.textContent = `\u21E9 ${sample.name}.wav`;
      offerDownload(link, () => sampleWav(index));
      const blocks = document.createElement('a');
      blocks.className = 'button brr';
      blocks.href = '#';
      blocks.download = `${sample.name}.brr`;
      blocks.textContent = '\u21E9 .brr';
      blocks.title = `${sample.name}.brr: the BRR blocks${sample.loopStartSample != null ? ' behind the loop offset' : ''}`;
      offerDownload(blocks, () => sampleBrr(index));
      actions.append(link, blocks);
    } else {
      const same = document.createElement('span');
      same.className = 'same-as';
      const first = samples.find((s) => s.index === sample.sameAs);
      same.textContent = `same as ${first ? first.name : sample.sameAs}`;
      actions.append(same);
    }

    tr.addEventListener('click', () => select(index, false));
    tr.addEventListener('dblclick', () => play(index));
    return { tr, canvas, wave, length, measures, tuning, passes, playButton, drawnWidth: 0 };
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
    return seconds(pcmBytesOf(index)) + (silentNow(index) ? ' \u00B7 silent' : '');
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
  // rate moves it. At that rate the listing's note and cents are taken as
  // they are, so that files agree with the ripper's to the bit.
  function pitchOf(sample) {
    const tuning = sample.tuning;
    if (!tuning || !(tuning.hz > 0)) return null;
    const hz = (tuning.hz * state.rate) / data.rate;
    const given = tuning.note != null && tuning.cents != null;
    if (given && state.rate === data.rate) {
      // The unrounded note, when the page has it, gives the ripper's smpl pitch and key to the bit.
      if (tuning.midi != null) return { hz, midi: tuning.midi, note: tuning.note, cents: (tuning.midi - tuning.note) * 100 };
      return { hz, midi: tuning.note + tuning.cents / 100, note: tuning.note, cents: tuning.cents };
    }
    const midi = given ? tuning.note + tuning.cents / 100 + 12 * Math.log2(state.rate / data.rate) : 69 + 12 * Math.log2(hz / 440);
    const note = Math.round(midi);
    return { hz, midi, note, cents: (midi - note) * 100 };
  }

  const noteName = (note) => NOTE_NAMES[((note % 12) + 12) % 12] + (Math.floor(note / 12) - 1);

  function tuningText(sample) {
    const pitch = pitchOf(sample);
    if (!pitch) return '';
    const { hz, note, cents } = pitch;
    return `${noteName(note)} ${cents < 0 ? '\u2212' : '+'}${Math.abs(cents).toFixed(1)}\u00A0ct \u00B7 ${hz.toFixed(1)}\u00A0Hz`;
  }

  // Rounds halves away from zero, as C's lround.
  const roundAway = (value) => Math.sign(value) * Math.round(Math.abs(value));

  // For a WAVE smpl chunk: the floor of the fractional note, and the rest
  // in units of 2^-32, kept to the MIDI range.
  function smplPitchOf(sample) {
    const pitch = pitchOf(sample);
    if (!pitch) return { unity: 60, fraction: 0 };
    if (pitch.midi < 0) return { unity: 0, fraction: 0 };
    if (pitch.midi >= 128) return { unity: 127, fraction: 0 };
    const unity = Math.floor(pitch.midi);
    const fraction = (pitch.midi - unity) * 2 ** 32;
    return { unity, fraction: fraction >= 0xFFFFFFFF ? 0xFFFFFFFF : Math.trunc(fraction) };
  }

  // For a SoundFont sample header: the nearest key and the cents that
  // bring the sample onto it.
  function keyPitchOf(sample) {
    const pitch = pitchOf(sample);
    if (!pitch) return { rootKey: 60, correction: 0 };
    if (pitch.note < 0) return { rootKey: 0, correction: 0 };
    if (pitch.note > 127) return { rootKey: 127, correction: 0 };
    return { rootKey: pitch.note, correction: -roundAway(pitch.cents) || 0 };
  }

  // What the loop cell says beyond the loop point: how many passes the
  // chip needs before its loop repeats.
  function passesText(index) {
    const plan = loopPlanOf(index);
    if (!plan || (plan.passes === 1 && plan.stable)) return '';
    return plan.stable ? `${plan.passes} passes` : `${plan.passes} passes, not stable`;
  }

  function updateLengths() {
    state.rows.forEach((row, index) => {
      row.length.textContent = lengthText(index);
      if (row.measures) row.measures.textContent = measuresText(index);
      if (row.tuning) row.tuning.textContent = tuningText(samples[index]);
      row.passes.textContent = passesText(index);
      row.passes.hidden = row.passes.textContent === '';
      row.playButton.disabled = pcmBytesOf(index) === 0;
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
      indices.sort((a, b) => pcmBytesOf(b) - pcmBytesOf(a) || a - b);
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
    const loopStart = loopStartOf(index);
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

  // Plays a sample; at a chosen note when it has a pitch, faster or slower
  // by the ratio of the two frequencies.
  function play(index, note = state.note) {
    stop();
    const sample = samples[index];
    if (!sample || pcmBytesOf(index) === 0) return;
    if (!state.audio) state.audio = new AudioContext();
    const audio = state.audio;
    if (audio.state === 'suspended') audio.resume();
    let buffer;
    try {
      buffer = audio.createBuffer(1, pcmBytesOf(index) / 2, state.rate);
    } catch (error) {
      showStatus(`This browser cannot play at ${grouped(state.rate)} Hz`);
      return;
    }
    const channel = buffer.getChannelData(0);
    const values = samplePcm(index);
    for (let i = 0; i < channel.length; i++) channel[i] = values[i] / 32768;

    const source = audio.createBufferSource();
    source.buffer = buffer;
    const pitch = note === null ? null : pitchOf(sample);
    const speed = pitch ? 2 ** ((note - pitch.midi) / 12) : 1;
    source.playbackRate.value = speed;
    setLoop(source, index);
    source.connect(audio.destination);
    const playing = { index, source, startedAt: audio.currentTime, seconds: buffer.duration, speed,
      note: pitch ? note : null };
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
  function setLoop(source, index) {
    source.loop = state.loop;
    const loopStart = loopStartOf(index);
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
    let elapsed = (state.audio.currentTime - playing.startedAt) * playing.speed;
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
      const note = playing.note === null ? '' : ` as ${noteName(playing.note)}`;
      status.textContent = `Playing #${samples[playing.index].name}${note} at ${grouped(state.rate)} Hz${state.loop ? ', looped' : ''}`;
    } else status.textContent = 'Stopped';
  }

  // ---- Keyboard ------------------------------------------------------

  // Z to M as a piano octave, the black keys on the row above.
  const PIANO_KEYS = { z: 0, s: 1, x: 2, d: 3, c: 4, v: 5, g: 6, b: 7, h: 8, n: 9, j: 10, m: 11 };
  // Where some sample has a pitch, the piano takes J, and K goes with it:
  // the arrows alone move the selection.
  const piano = samples.some((sample) => sample.tuning && sample.tuning.hz > 0);

  // The key's note in the octave of the note menu (C4 to B4 without one).
  function playKey(semitone) {
    if (state.selected < 0) move(0);
    if (state.selected < 0) return;
    const sample = samples[state.selected];
    if (!pitchOf(sample)) {
      showStatus(`#${sample.name} has no pitch to play notes from`);
      return;
    }
    const note = 12 * Math.floor((state.note ?? 60) / 12) + semitone;
    state.note = note;
    byId('note').value = String(note);
    play(state.selected, note);
    if (state.playing) state.playing.key = semitone;
  }

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
    const key = event.key.toLowerCase();
    if (piano && key in PIANO_KEYS) {
      if (!event.repeat && !event.shiftKey) playKey(PIANO_KEYS[key]);
      event.preventDefault();
      return;
    }
    switch (event.key) {
      case 'ArrowDown': case 'j': case 'J':
        move(1);
        break;
      case 'ArrowUp': case 'k': case 'K':
        if (piano && key === 'k') return;
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

  // Letting go of a piano key ends its note, as on a sampler.
  function onKeyUp(event) {
    const key = event.key.toLowerCase();
    if (piano && key in PIANO_KEYS && state.playing && state.playing.key === PIANO_KEYS[key]) stop();
  }

  function setupNotes() {
    byId('note-field').hidden = !piano;
    byId('keys-piano').hidden = !piano;
    byId('keys-jk').hidden = piano;
    const select = byId('note');
    for (let note = 24; note <= 108; note++) {
      const option = document.createElement('option');
      option.value = String(note);
      option.textContent = noteName(note);
      select.append(option);
    }
    select.addEventListener('change', () => {
      state.note = select.value === '' ? null : Number(select.value);
      if (state.playing) play(state.playing.index);
    });
  }

  // ---- Start ---------------------------------------------------------

  fillSummary();
  fillRates();
  setupToolbar();
  buildRows();
  setupFinding();
  arrange();
  watchWaves();
  setupNotes();
  document.addEventListener('keydown', onKey);
  document.addEventListener('keyup', onKeyUp);
  document.body.dataset.ready = 'true';
})();
