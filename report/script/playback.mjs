// Playing a sample through Web Audio, its playhead and the status line.
import { byId, samples, state } from './page_data.mjs';
import { grouped } from './format.mjs';
import { loopStartOf, pcmBytesOf, pitchOf, samplePcm } from './sample_pcm.mjs';
import { noteName } from './pitch.mjs';

export const PLAY_LABEL = '\u25B6 Play';
const PLAYING_LABEL = '\u25A0 Stop';

// Plays a sample; at a chosen note when it has a pitch, faster or slower
// by the ratio of the two frequencies.
export function play(index, note = state.note) {
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
export function setLoop(source, index) {
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
