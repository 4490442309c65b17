// What the report embeds: the listing as JSON, the BRR blocks of every
// saved sample in Base64, and the page's state that the other parts share.

export const byId = (id) => document.getElementById(id);

function decodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

export const data = JSON.parse(byId('report-data').textContent);
export const brr = decodeBase64(byId('report-brr').textContent);
export const samples = data.samples;

export const state = {
  rate: data.rate,
  decoder: data.decoder,
  loop: false,
  selected: -1,
  order: 'position',
  filter: false,
  played: false,   // only the entries the song keyed
  note: null,     // MIDI note that pitched samples play at; null: their own
  shown: [],      // indices of the rows on view, in their order
  audio: null,    // AudioContext, made on the first play
  playing: null,  // { index, source, startedAt, seconds, speed, note, held, keyed, key, pointer, envelope }
  volume: 1,      // gain of everything played
  gain: null,     // the GainNode that applies it
  rows: [],
};

export function setText(id, text) { byId(id).textContent = text; }
