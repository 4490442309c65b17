// The pitch of a tuned sample's loop at the rate it plays at, and the
// forms the file writers give it.

const NOTE_NAMES = ['C', 'C\u266F', 'D', 'D\u266F', 'E', 'F', 'F\u266F', 'G', 'G\u266F', 'A', 'A\u266F', 'B'];

// Rounds halves away from zero, as C's lround.
const roundAway = (value) => Math.sign(value) * Math.round(Math.abs(value));

export const noteName = (note) => NOTE_NAMES[((note % 12) + 12) % 12] + (Math.floor(note / 12) - 1);

// The listing's tuning (measured at initialRate) at rate, or null: hz,
// the fractional MIDI note, the nearest note and the cents from it. The
// unrounded note, which the report gives, moves with the rate as the
// ripper's does, so that files agree with its own to the bit; the rounded
// note and cents of a bare listing are the fallback.
export function pitchAt(tuning, rate, initialRate) {
  if (!tuning || !(tuning.hz > 0)) return null;
  const hz = (tuning.hz * rate) / initialRate;
  const given = tuning.note != null && tuning.cents != null;
  const shift = rate === initialRate ? 0 : 12 * Math.log2(rate / initialRate);
  let midi = 69 + 12 * Math.log2(hz / 440);
  if (tuning.midi != null) midi = tuning.midi + shift;
  else if (given) midi = tuning.note + tuning.cents / 100 + shift;
  // At the initial rate the listing's own note stands, as in its table.
  const note = given && shift === 0 ? tuning.note : roundAway(midi);
  return { hz, midi, note, cents: given && shift === 0 && tuning.midi == null ? tuning.cents : (midi - note) * 100 };
}

// Twin of core/tuning.cpp SmplPitchOf: for a WAVE smpl chunk, the floor of
// the fractional note and the rest in units of 2^-32, kept to the MIDI
// range; middle C without a pitch.
export function smplPitchOf(pitch) {
  if (!pitch) return { unity: 60, fraction: 0 };
  if (pitch.midi < 0) return { unity: 0, fraction: 0 };
  if (pitch.midi >= 128) return { unity: 127, fraction: 0 };
  const unity = Math.floor(pitch.midi);
  const fraction = (pitch.midi - unity) * 2 ** 32;
  return { unity, fraction: fraction >= 0xFFFFFFFF ? 0xFFFFFFFF : Math.trunc(fraction) };
}

// Twin of core/tuning.cpp KeyPitchOf: for a SoundFont sample header, the
// nearest key and the cents that bring the sample onto it.
export function keyPitchOf(pitch) {
  if (!pitch) return { rootKey: 60, correction: 0 };
  if (pitch.note < 0) return { rootKey: 0, correction: 0 };
  if (pitch.note > 127) return { rootKey: 127, correction: 0 };
  return { rootKey: pitch.note, correction: -roundAway(pitch.cents) || 0 };
}
