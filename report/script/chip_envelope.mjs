// The sound chip's volume envelope, stepped as the chip steps it: rates
// that fire on a global counter, ADSR phases, GAIN modes and the release.
// Twin of engine/song/chip_envelope.cpp, so that the curve drawn and the
// note played follow the envelope the ripper describes.

// Envelope levels run 0..ENVELOPE_FULL; frames come at 32000 a second.
export const ENVELOPE_FULL = 0x7FF;
export const ENVELOPE_FRAME_RATE = 32000;
const RATE_COUNTER_VALUES = 30720;
const PERIODS = [0, 2048, 1536, 1280, 1024, 768, 640, 512, 384, 320, 256, 192, 160, 128, 96, 80,
  64, 48, 40, 32, 24, 20, 16, 12, 10, 8, 6, 5, 4, 3, 2, 1];
const BENT_KNEE = 0x600;
const RELEASE_STEP = 8;
const ATTACK = 0;
const DECAY = 1;
const SUSTAIN = 2;
const RELEASE = 3;

// Rate counter offsets: 1, 0, 1040, then 536, 0, 1040 repeating; 0 for 30 and 31.
function rateOffset(rate) {
  if (rate === 0) return 1;
  if (rate === 1 || rate >= 30) return 0;
  return [1040, 536, 0][(rate - 2) % 3];
}

// Whether rate fires at this value of the global counter.
function rateFires(rate, counter) {
  const period = PERIODS[rate] ?? 0;
  return period !== 0 && (counter + rateOffset(rate)) % period === 0;
}

// The exponential decrease of decay, sustain and GAIN mode 1.
const exponentialStep = (level) => level - (((level - 1) >> 8) + 1);

// One voice's envelope from key-on (registers { adsr1, adsr2, gain }): every
// frame works out the next level, and moves on to the next phase by it,
// but keeps it only when the rate fires.
export class ChipEnvelope {
  constructor({ adsr1, adsr2, gain }, startLevel = 0) {
    this.adsr1 = adsr1;
    this.adsr2 = adsr2;
    this.gain = gain;
    this.level = startLevel;
    this.computed = startLevel;
    this.phase = ATTACK;
  }

  usesAdsr() { return (this.adsr1 & 0x80) !== 0; }

  // The rate that moves the envelope now (0: it stays).
  rate() {
    if (this.phase === RELEASE) return 31;
    if (!this.usesAdsr()) return (this.gain & 0x80) ? this.gain & 0x1F : 31;
    if (this.phase === ATTACK) return (this.adsr1 & 0x0F) * 2 + 1;
    if (this.phase === DECAY) return ((this.adsr1 >> 4) & 7) * 2 + 16;
    return this.adsr2 & 0x1F;
  }

  // The level the current phase leads to from the current one.
  next() {
    if (this.usesAdsr()) {
      return this.phase === ATTACK ? this.level + (this.rate() === 31 ? 1024 : 32) : exponentialStep(this.level);
    }
    if (!(this.gain & 0x80)) return (this.gain & 0x7F) * 16;
    switch ((this.gain >> 5) & 3) {
      case 0: return this.level - 32;
      case 1: return exponentialStep(this.level);
      case 2: return this.level + 32;
      // The bent line slows once the last level worked out reached $600.
      default: return this.level + (this.computed < BENT_KNEE ? 32 : 8);
    }
  }

  // One frame at this value of the global counter.
  frame(counter) {
    if (this.phase === RELEASE) {
      this.level = Math.max(this.level - RELEASE_STEP, 0);
      return;
    }
    const fires = rateFires(this.rate(), counter);
    let next = this.next();
    // Decay gives way to sustain as soon as the next level's top bits are the sustain level.
    if (this.phase === DECAY && (next >> 8) === (this.adsr2 >> 5)) this.phase = SUSTAIN;
    this.computed = next;
    // Past either end: kept in range, and the attack is over.
    if (next < 0 || next > ENVELOPE_FULL) {
      next = Math.min(Math.max(next, 0), ENVELOPE_FULL);
      if (this.phase === ATTACK && this.usesAdsr()) this.phase = DECAY;
    }
    if (fires) this.level = next;
  }

  // Key-off: from now on each frame takes 8 off the level.
  release() { this.phase = RELEASE; }
}

// The level (0..1 of full) while the key is held, frame by frame from
// key-on with the global counter at 0 (it counts down), for at most
// maxFrames frames: out[i] after i+1 frames. It stops early once the
// level can no longer change, where it holds that level.
export function heldEnvelope(setting, maxFrames) {
  const envelope = new ChipEnvelope(setting);
  const out = new Float32Array(maxFrames);
  let counter = 0;
  let frames = 0;
  while (frames < maxFrames) {
    envelope.frame(counter);
    counter = counter === 0 ? RATE_COUNTER_VALUES - 1 : counter - 1;
    out[frames++] = envelope.level / ENVELOPE_FULL;
    if (settled(envelope)) break;
  }
  return out.subarray(0, frames);
}

// Nothing changes from here on: the rate never fires, or it can only hold
// the level it has (a direct GAIN, a line at its end, sustain at silence).
function settled(envelope) {
  if (envelope.rate() === 0) return true;
  const next = Math.min(Math.max(envelope.next(), 0), ENVELOPE_FULL);
  return next === envelope.level && (!envelope.usesAdsr() || envelope.phase === SUSTAIN);
}

// Seconds the release takes from this level (0..1) to silence: 8 a frame.
export const releaseSeconds = (level) =>
  Math.ceil((level * ENVELOPE_FULL) / RELEASE_STEP) / ENVELOPE_FRAME_RATE;
