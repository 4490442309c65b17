// The pitch of a tuned sample's loop at the rate it plays at, and the
// forms the file writers give it.

const NOTE_NAMES = ['C', 'C\u266F', 'D', 'D\u266F', 'E', 'F', 'F\u266F', 'G', 'G\u266F', 'A', 'A\u266F', 'B'];

export const noteName = (note) => NOTE_NAMES[((note % 12) + 12) % 12] + (Math.floor(note / 12) - 1);

// The listing's tuning (measured at initialRate) at rate, or null: hz,
// the fractional MIDI note, the nearest note and the cents from it. At
// the initial rate the listing's note and cents are taken as they are, so
// that files agree with the ripper's to the bit.
export function pitchAt(tuning, rate, initialRate) {
  if (!tuning || !(tuning.hz > 0)) return null;
  const hz = (tuning.hz * rate) / initialRate;
  const given = tuning.note != null && tuning.cents != null;
  if (given && rate === initialRate) {
    // The unrounded note, when the page has it, gives the ripper's smpl pitch and key to the bit.
    if (tuning.midi != null) return { hz, midi: tuning.midi, note: tuning.note, cents: (tuning.midi - tuning.note) * 100 };
    return { hz, midi: tuning.note + tuning.cents / 100, note: tuning.note, cents: tuning.cents };
  }
  const midi = given ? tuning.note + tuning.cents / 100 + 12 * Math.log2(rate / initialRate) : 69 + 12 * Math.log2(hz / 440);
  const note = Math.round(midi);
  return { hz, midi, note, cents: (midi - note) * 100 };
}

// Rounds halves away from zero, as C's lround.
const roundAway = (value) => Math.sign(value) * Math.round(Math.abs(value));

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
