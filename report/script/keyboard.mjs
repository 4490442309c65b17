// Keys: arrows (and J/K), Home, End and the page keys move the selection,
// Space plays and stops, Escape stops,
// and Z to M play the selected sample at a note when some sample has a pitch.
import { byId, samples, state } from './page_data.mjs';
import { pitchOf } from './sample_pcm.mjs';
import { noteName } from './pitch.mjs';
import { move, returnToRows, rowsPerPage } from './selection.mjs';
import { play, release, replay, showStatus, stop } from './playback.mjs';

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
  play(state.selected, { note, held: true });
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
    case 'Home': case 'End':
      move(event.key === 'Home' ? -state.shown.length : state.shown.length);
      break;
    case 'PageUp': case 'PageDown':
      move(event.key === 'PageUp' ? -rowsPerPage() : rowsPerPage());
      break;
    case ' ':
      // A focused button or switch answers Space itself.
      if (tag === 'BUTTON' || tag === 'INPUT') return;
      // Space starts and stops, as in a player.
      if (state.playing) stop();
      else {
        if (state.selected < 0) move(0);
        if (state.selected >= 0) play(state.selected);
      }
      break;
    default:
      return;
  }
  event.preventDefault();
}

// Letting go of a piano key ends its note, as on a sampler: through the
// envelope's release where the song gave the entry one.
function onKeyUp(event) {
  const key = event.key.toLowerCase();
  if (piano && key in PIANO_KEYS && state.playing && state.playing.key === PIANO_KEYS[key]) release();
}

export function setupKeys() {
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
    if (state.playing) replay();
    returnToRows();
  });
  document.addEventListener('keydown', onKey);
  document.addEventListener('keyup', onKeyUp);
}
