// WAVE files as the ripper writes them: 16-bit mono PCM behind a 44-byte
// header, and a smpl chunk after the data when the loop point is known.

const WAV_HEADER_BYTES = 44;
const SMPL_CHUNK_BYTES = 68;

// Twin of output/sample_images.cpp AppendPcm: 16-bit little-endian.
export function littleEndian(values) {
  const bytes = new Uint8Array(values.length * 2);
  const view = new DataView(bytes.buffer);
  for (let i = 0; i < values.length; i++) view.setInt16(2 * i, values[i], true);
  return bytes;
}

// Twin of output/wav_loop.cpp BuildSmplChunk: one forward loop to the last
// sample, and the sample's pitch ({ unity, fraction }).
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

// Twin of output/wav_header.cpp BuildWavHeader (with output/wav_loop.cpp
// GrowRiffSize for extraBytes): PCM, mono, 16 bits; the 32-bit fields wrap
// like the ripper's.
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

// Twin of output/sample_images.cpp SampleFileImage, its WAV case: the PCM, with a smpl chunk
// when loopStart is a number (and there is PCM to loop).
export function wavImage(values, rate, loopStart, pitch) {
  const type = { type: 'audio/wav' };
  if (loopStart === null || values.length === 0) {
    return new Blob([wavHeader(values.length * 2, rate), littleEndian(values)], type);
  }
  return new Blob([wavHeader(values.length * 2, rate, SMPL_CHUNK_BYTES), littleEndian(values),
    smplChunk(rate, loopStart, values.length, pitch)], type);
}

// Twin of output/sample_writer.cpp WriteOneWav: PCM back to back behind
// one header, as rip --one-file.
export function oneWavImage(pcms, rate) {
  const parts = pcms.map(littleEndian);
  const bytes = parts.reduce((sum, part) => sum + part.length, 0);
  return new Blob([wavHeader(bytes, rate), ...parts], { type: 'audio/wav' });
}
