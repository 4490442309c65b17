// What the song did with each SPC entry: its key-ons and the envelope it
// was keyed with most, drawn as a small curve from key-on.
import { data } from './page_data.mjs';
import { ENVELOPE_FRAME_RATE, heldEnvelope } from './chip_envelope.mjs';

// The page has the song's fields when the snapshot was played first.
export const songPlayed = Boolean(data.play);

// The longest envelope a held note follows; after it the level holds.
const HELD_FRAMES = 64 * ENVELOPE_FRAME_RATE;
// The curve shows at least this much, so a direct level is a line.
const SHOWN_FRAMES_MIN = ENVELOPE_FRAME_RATE / 20;
const SHOWN_FRAMES_MAX = 4 * ENVELOPE_FRAME_RATE;

const levelsOfSetting = new Map();

// The held level frame by frame from key-on for the entry's envelope
// (shared by the entries keyed alike), or null without one.
export function envelopeLevels(sample) {
  const envelope = sample.envelope;
  if (!envelope) return null;
  const key = `${envelope.adsr1},${envelope.adsr2},${envelope.gain}`;
  if (!levelsOfSetting.has(key)) levelsOfSetting.set(key, heldEnvelope(envelope, HELD_FRAMES));
  return levelsOfSetting.get(key);
}

// The level a held note has after `seconds` from key-on.
export function levelAt(levels, seconds) {
  const frame = Math.floor(seconds * ENVELOPE_FRAME_RATE);
  if (frame <= 0) return 0;
  return levels[Math.min(frame, levels.length) - 1];
}

// "A.010 D.240 L0.25 S1.2", "gain 0.62", "up .320": as the listing's table says it.
export function shortEnvelope(envelope) {
  const time = (t) => {
    if (t == null) return '-';
    const text = t < 1 ? t.toFixed(3) : t.toFixed(1);
    return text.startsWith('0.') ? text.slice(1) : text;
  };
  switch (envelope.mode) {
    case 'adsr':
      return `A${time(envelope.attack)} D${time(envelope.decay)} L${(envelope.sustainLevel ?? 0).toFixed(2)} S${time(envelope.sustainDecay)}`;
    case 'gain-direct': return `gain ${(envelope.sustainLevel ?? 0).toFixed(2)}`;
    case 'gain-linear-up': return `up ${time(envelope.attack)}`;
    case 'gain-bent-up': return `bent ${time(envelope.attack)}`;
    case 'gain-linear-down': return `down ${time(envelope.decay)}`;
    default: return `exp ${time(envelope.decay)}`;
  }
}

const hexByte = (value) => `$${value.toString(16).toUpperCase().padStart(2, '0')}`;

// The whole setting in words, for the curve's title and screen readers.
export function envelopeWords(envelope, envelopes) {
  const seconds = (t) => (t == null ? 'never' : `${t} s`);
  const registers = `ADSR1 ${hexByte(envelope.adsr1)}, ADSR2 ${hexByte(envelope.adsr2)}, GAIN ${hexByte(envelope.gain)}`;
  const phases = envelope.mode === 'adsr'
    ? `attack ${seconds(envelope.attack)}, decay ${seconds(envelope.decay)}, sustain level ${envelope.sustainLevel}, ` +
      `sustain to silence ${seconds(envelope.sustainDecay)}`
    : `${envelope.mode}, level ${envelope.sustainLevel ?? '-'}`;
  const others = envelopes > 1 ? `; keyed with ${envelopes} settings, this one most` : '';
  return `Envelope (${registers}): ${phases}, release ${seconds(envelope.release)}${others}`;
}

// Draws the held envelope from key-on until it settles (within 0.05 to
// 4 s), full level at the top.
export function drawEnvelope(canvas, levels, colour) {
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  canvas.width = width;
  canvas.height = height;
  const context = canvas.getContext('2d');
  context.clearRect(0, 0, width, height);
  const shown = Math.min(SHOWN_FRAMES_MAX, Math.max(SHOWN_FRAMES_MIN, levels.length));
  const pad = ratio;
  context.strokeStyle = colour;
  context.lineWidth = 1.5 * ratio;
  context.beginPath();
  for (let x = 0; x <= width; x++) {
    const frame = Math.round((x / width) * shown);
    const level = frame === 0 ? 0 : levels[Math.min(frame, levels.length) - 1];
    const y = pad + (1 - level) * (height - 2 * pad);
    if (x === 0) context.moveTo(x, y);
    else context.lineTo(x, y);
  }
  context.stroke();
}
