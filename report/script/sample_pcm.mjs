// Each sample's PCM by the decoder chosen, decoded when first asked for:
// with the chip decoder and a known loop point, the loop as the chip
// repeats it.
import { brr, data, samples, state } from './page_data.mjs';
import { decodeChip, decodeSpec, renderChipLoop } from './brr_decoders.mjs';
import { pitchAt } from './pitch.mjs';

// The block the loop starts at, for the chip decoder when the input names it.
function loopBlockOf(sample) {
  if (state.decoder !== 'chip' || sample.loopStartSample == null) return null;
  const block = sample.loopStartSample / 16;
  return Number.isInteger(block) && block >= 0 && block < sample.blocks ? block : null;
}

// A few decoded samples are kept: the rows in view and the one playing.
// The plans of rendered loops are small and all kept.
const decoded = new Map();
const loopPlans = new Map();
const DECODED_KEPT = 64;

export function samplePcm(index) {
  const key = `${state.decoder}:${index}`;
  let values = decoded.get(key);
  if (!values) {
    const sample = samples[index];
    const loopBlock = loopBlockOf(sample);
    if (loopBlock !== null) {
      const rendered = renderChipLoop(brr, sample, loopBlock);
      values = rendered.pcm;
      loopPlans.set(index, rendered.plan);
    } else values = state.decoder === 'chip' ? decodeChip(brr, sample) : decodeSpec(brr, sample);
    if (decoded.size >= DECODED_KEPT) decoded.delete(decoded.keys().next().value);
    decoded.set(key, values);
  }
  return values;
}

// Drops what the previous decoder made.
export function forgetDecoded() { decoded.clear(); }

// The plan of the sample's rendered loop, or null when the chip decoder
// does not know its loop point.
export function loopPlanOf(index) {
  if (loopBlockOf(samples[index]) === null) return null;
  if (!loopPlans.has(index)) samplePcm(index);
  return loopPlans.get(index);
}

export function pcmBytesOf(index) {
  const sample = samples[index];
  if (state.decoder !== 'chip') return sample.specBytes;
  const plan = loopPlanOf(index);
  return plan ? 2 * samplePcm(index).length : 32 * sample.blocks;
}

// Where the rendered loop starts (chip only, with a known loop point).
export function loopStartOf(index) {
  const plan = loopPlanOf(index);
  return plan ? plan.loopStart : null;
}

export function silentOf(index) {
  return samplePcm(index).every((value) => value === 0);
}

// The sample's pitch at the rate chosen, or null.
export const pitchOf = (sample) => pitchAt(sample.tuning, state.rate, data.rate);
