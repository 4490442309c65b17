// Playing a sample through Web Audio, its playhead and the status line.
import { byId, samples, state } from './page_data.mjs';
import { grouped } from './format.mjs';
import { loopStartOf, pcmBytesOf, pitchOf, samplePcm } from './sample_pcm.mjs';
import { noteName } from './pitch.mjs';
import { ENVELOPE_FRAME_RATE, releaseSeconds } from './chip_envelope.mjs';
import { envelopeLevels, levelAt } from './song_facts.mjs';

// The envelope goes to Web Audio a point a chip frame, or a point every
// few frames for the longest, so that a curve stays a few hundred KiB.
const ENVELOPE_POINTS_MAX = 1 << 16;

const PLAY_LABEL = '\u25B6 Play';
const PLAYING_LABEL = '\u25A0 Stop';

// The Play button's text and, for screen readers, the sample it plays.
export function labelPlayButton(button, name, playing) {
  button.textContent = playing ? PLAYING_LABEL : PLAY_LABEL;
  button.setAttribute('aria-label', `${playing ? 'Stop' : 'Play'} ${name}`);
}

// Everything plays through one gain, the volume control's.
function audioOutput() {
  if (!state.audio) {
    state.audio = new AudioContext();
    state.gain = state.audio.createGain();
    state.gain.gain.value = state.volume;
    state.gain.connect(state.audio.destination);
  }
  return state.audio;
}

export function setVolume(volume) {
  state.volume = volume;
  if (state.gain) state.gain.gain.value = volume;
}

// The gain that shapes a held note with the entry's envelope as the chip
// steps it from key-on (in the chip's time, whatever the rate), or null.
function envelopeGain(audio, sample, at) {
  const levels = envelopeLevels(sample);
  if (!levels) return null;
  const step = Math.ceil(levels.length / ENVELOPE_POINTS_MAX);
  const curve = new Float32Array(Math.floor(levels.length / step) + 1);
  for (let i = 1; i < curve.length; i++) curve[i] = levels[i * step - 1];
  const node = audio.createGain();
  node.gain.value = 0;
  node.gain.setValueCurveAtTime(curve, at, ((curve.length - 1) * step) / ENVELOPE_FRAME_RATE);
  return { node, levels };
}

// Plays a sample; at a chosen note when it has a pitch, faster or slower
// by the ratio of the two frequencies. A held note (a key kept down)
// keeps a looped sample sounding until it is let go, as a sampler does,
// and follows the envelope the song keyed the entry with, if any.
export function play(index, { note = state.note, held = false } = {}) {
  stop();
  const sample = samples[index];
  if (!sample || pcmBytesOf(index) === 0) return;
  const audio = audioOutput();
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
  const playing = { index, source, startedAt: audio.currentTime, seconds: buffer.duration, speed,
    note: pitch ? note : null, held: held && sample.loop, keyed: held };
  setLoop(source, index, playing.held);
  playing.envelope = held ? envelopeGain(audio, sample, playing.startedAt) : null;
  if (playing.envelope) {
    source.connect(playing.envelope.node);
    playing.envelope.node.connect(state.gain);
  } else source.connect(state.gain);
  source.addEventListener('ended', () => {
    if (state.playing === playing) finish();
  });
  source.start();
  state.playing = playing;
  const row = state.rows[index];
  row.tr.classList.add('playing');
  labelPlayButton(row.playButton, sample.name, true);
  showStatus();
  requestAnimationFrame(movePlayhead);
}

// Starts what plays again (at a new rate, decoder or note), held as it was.
export function replay() {
  const { index, keyed, key, pointer } = state.playing;
  play(index, { held: keyed });
  if (state.playing) Object.assign(state.playing, { key, pointer });
}

// With a known loop point the attack plays once and then only the loop
// repeats, as on the console; otherwise the whole sample repeats.
export function setLoop(source, index, held = false) {
  source.loop = state.loop || held;
  const loopStart = loopStartOf(index);
  if (source.loop && loopStart !== null && source.buffer) {
    source.loopStart = loopStart / source.buffer.sampleRate;
    source.loopEnd = source.buffer.duration;
  } else {
    source.loopStart = 0;
    source.loopEnd = 0;
  }
}

// Letting go of a held note: its envelope's release, 8 of 2047 a chip
// frame from the level it had, and then silence; other sounds stop at once.
export function release() {
  const playing = state.playing;
  if (!playing || !playing.envelope) {
    stop();
    return;
  }
  const now = state.audio.currentTime;
  const level = levelAt(playing.envelope.levels, now - playing.startedAt);
  const gain = playing.envelope.node.gain;
  if (gain.cancelAndHoldAtTime) gain.cancelAndHoldAtTime(now);
  else gain.cancelScheduledValues(now);
  gain.setValueAtTime(level, now);
  const end = now + releaseSeconds(level);
  gain.linearRampToValueAtTime(0, end);
  finish();
  try { playing.source.stop(end); } catch (error) { /* already ended */ }
}

export function stop() {
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
  labelPlayButton(row.playButton, samples[playing.index].name, false);
  const head = row.frame.querySelector('.playhead');
  if (head) head.remove();
  showStatus();
}

function movePlayhead() {
  const playing = state.playing;
  if (!playing) return;
  const row = state.rows[playing.index];
  let head = row.frame.querySelector('.playhead');
  if (!head) {
    head = document.createElement('div');
    head.className = 'playhead';
    row.frame.append(head);
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

export function showStatus(message) {
  const status = byId('status');
  const playing = state.playing;
  status.classList.toggle('active', Boolean(playing));
  if (message) status.textContent = message;
  else if (playing) {
    const note = playing.note === null ? '' : ` as ${noteName(playing.note)}`;
    status.textContent = `Playing #${samples[playing.index].name}${note} at ${grouped(state.rate)} Hz${state.loop ? ', looped' : ''}`;
  } else status.textContent = 'Stopped';
}
