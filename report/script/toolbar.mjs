// The toolbar: rate, decoder, loop switch, Stop and the set's downloads.
import { byId, data, samples, state } from './page_data.mjs';
import { grouped } from './format.mjs';
import { forgetDecoded } from './sample_pcm.mjs';
import { allWav, fileStem, offerDownload, soundFont } from './downloads.mjs';
import { replay, setLoop, setVolume, showStatus, stop } from './playback.mjs';
import { updateLengths } from './table.mjs';
import { arrange } from './finding.mjs';
import { returnToRows } from './selection.mjs';
import { redrawWaves } from './waveforms.mjs';

export function fillRates() {
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
    if (state.playing) replay();  // hear the new rate at once
    returnToRows();
  });
}

export function setupToolbar() {
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
    if (state.playing) setLoop(state.playing.source, state.playing.index, state.playing.held);
    showStatus();
  });
  byId('stop').addEventListener('click', stop);
  const volume = byId('volume');
  volume.addEventListener('input', () => setVolume(Number(volume.value) / 100));
  const all = byId('download-all');
  // Named apart from every sample's file (a ROM named 1.sfc has a sample 1.wav).
  const taken = new Set(samples.map((sample) => `${sample.name}.wav`));
  all.download = taken.has(`${fileStem()}.wav`) ? `${fileStem()} (all).wav` : `${fileStem()}.wav`;
  // Offered only when there is something to put in it and one WAV can hold
  // it; a .brr file's one sample has its own WAV.
  all.hidden = !data.allInOneFits || !samples.some((sample) => sample.saved) || data.isBrr;
  offerDownload(all, allWav);
  const bank = byId('download-sf2');
  bank.download = `${fileStem()}.sf2`;
  bank.hidden = !samples.some((sample) => sample.saved);
  offerDownload(bank, soundFont);
  const decoder = byId('decoder');
  decoder.value = state.decoder;
  // SPC and .brr samples are always decoded as the chip does.
  byId('decoder-field').hidden = data.isSpc || data.isBrr;
  decoder.addEventListener('change', () => {
    state.decoder = decoder.value;
    forgetDecoded();
    updateLengths();
    arrange();
    redrawWaves();
    if (state.playing) replay();
    returnToRows();
  });
}
