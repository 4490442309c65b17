// SoundFont 2.01 banks as the ripper writes them: one preset per sample
// over the whole keyboard, then a kit with a sample per key.
import { littleEndian } from './wav_image.mjs';

const SF_NAME_BYTES = 20;
const SF_PADDING_POINTS = 46;     // zero points after each sample
const SF_FIRST_KIT_KEY = 36;      // the kit's sample k sits on this key plus k
export const SF_MAX_SAMPLES = 128 * 128;
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

// Twin of output/soundfont_chunks.cpp PrintableName: the first maxBytes of
// the name's UTF-8, with '_' for every byte that is not printable ASCII.
function printable(name, maxBytes) {
  return Array.from(new TextEncoder().encode(name).subarray(0, maxBytes), (b) => (b < 0x20 || b >= 0x7F ? 0x5F : b));
}

// Twin of output/soundfont_chunks.cpp AppendChunk: padded to an even size.
function riffChunk(id, body) {
  const out = byteList();
  out.text(id);
  out.u32(body.length);
  out.append(body);
  if (body.length % 2) out.u8(0);
  return out.bytes;
}

// Twin of output/soundfont_chunks.cpp MakeList.
const riffList = (type, chunks) => riffChunk('LIST', [...Array.from(type, (c) => c.charCodeAt(0)), ...chunks]);

// Twin of output/soundfont_chunks.cpp AppendName: 20 bytes, NUL-padded.
function sfName(out, name) {
  const bytes = printable(name, SF_NAME_BYTES - 1);
  out.append(bytes);
  out.zeros(SF_NAME_BYTES - bytes.length);
}

// Twin of output/soundfont_chunks.cpp MakeInfoList.
function infoList(bankName) {
  const version = byteList();
  version.u16(2);
  version.u16(1);
  const name = printable(bankName, 255);
  // NUL-terminated to an even length, the padding counted in the size.
  const padded = [...name, ...new Array(name.length % 2 ? 1 : 2).fill(0)];
  const engine = [...Array.from('EMU8000', (c) => c.charCodeAt(0)), 0];
  return riffList('INFO', [...riffChunk('ifil', version.bytes), ...riffChunk('isng', engine), ...riffChunk('INAM', padded)]);
}

// Twin of output/soundfont_chunks.cpp MakePresetDataList: presets,
// instruments and sample headers; one preset per sample over the whole
// keyboard, then the kit (bank 128, program 0) with a sample per key.
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
  return riffList('pdta', [...riffChunk('phdr', phdr.bytes), ...riffChunk('pbag', pbag.bytes),
    ...riffChunk('pmod', terminalModulator), ...riffChunk('pgen', pgen.bytes), ...riffChunk('inst', inst.bytes),
    ...riffChunk('ibag', ibag.bytes), ...riffChunk('imod', terminalModulator), ...riffChunk('igen', igen.bytes),
    ...riffChunk('shdr', shdr.bytes)]);
}

// Twin of output/soundfont.cpp WriteSoundFont: the bank of entries
// { name, rate, pcm, looped, loopStart, rootKey, correction }, each
// sample's points followed by 46 zero points.
export function soundFontImage(entries, bankName) {
  const starts = [];
  let points = 0;
  for (const entry of entries) {
    starts.push(points);
    points += entry.pcm.length + SF_PADDING_POINTS;
  }
  const info = infoList(bankName);
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
