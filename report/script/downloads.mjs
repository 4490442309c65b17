// The files the page offers, equal to the ripper's: each sample as WAVE
// and .brr, all samples in one WAVE, and the set as one SoundFont.
import { brr, data, samples, state } from './page_data.mjs';
import { loopStartOf, pcmBytesOf, pitchOf, samplePcm } from './sample_pcm.mjs';
import { keyPitchOf, smplPitchOf } from './pitch.mjs';
import { oneWavImage, wavImage } from './wav_image.mjs';
import { brrImage } from './brr_image.mjs';
import { SF_MAX_SAMPLES, soundFontImage } from './soundfont_image.mjs';

export function sampleWav(index) {
  return wavImage(samplePcm(index), state.rate, loopStartOf(index), smplPitchOf(pitchOf(samples[index])));
}

// Every saved sample back to back behind one header, as rip --one-file.
export function allWav() {
  const pcms = [];
  samples.forEach((sample, index) => { if (sample.saved) pcms.push(samplePcm(index)); });
  return oneWavImage(pcms, state.rate);
}

export function sampleBrr(index) {
  const sample = samples[index];
  return brrImage(brr.subarray(sample.brrOffset, sample.brrOffset + 9 * sample.blocks), sample.loopStartSample);
}

// Twin of output/sample_soundfont.cpp SoundFontSamplesOf: the samples a
// SoundFont holds, those saved with points to play.
function soundFontEntries() {
  const entries = [];
  samples.forEach((sample, index) => {
    if (!sample.saved || pcmBytesOf(index) === 0 || entries.length >= SF_MAX_SAMPLES) return;
    const loopStart = loopStartOf(index);
    entries.push({ name: sample.name, rate: state.rate, pcm: samplePcm(index), looped: loopStart !== null,
      loopStart, ...keyPitchOf(pitchOf(sample)) });
  });
  return entries;
}

// The whole set as one bank at the rate chosen, named after the input
// file as rip names its bank.
export const soundFont = () => soundFontImage(soundFontEntries(), data.rom.name);

export function fileStem() { return data.rom.name.replace(/\.[^.]*$/, '') || data.rom.name; }

// A link gets its file when clicked, at the rate and decoder chosen then.
export function offerDownload(link, makeBlob) {
  link.addEventListener('click', () => {
    if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(makeBlob());
  });
}
