// The two BRR decoders and the chip's loop, over the page's block bytes.
// A sample is { brrOffset, blocks, specBytes }: where its blocks start in
// `bytes`, how many there are, and the PCM bytes the spec decoder gives.

// Twin of core/brr_decoder.cpp DecodeSpecRun: the program's own
// arithmetic, full scale, predictions truncated toward zero, a 16-bit
// wrap, and the end block left out.
export function decodeSpec(bytes, sample) {
  const out = new Int16Array(sample.specBytes / 2);
  let p1 = 0;
  let p2 = 0;
  let j = 0;
  for (let b = 0; b + 1 < sample.blocks && j < out.length; b++) {
    const at = sample.brrOffset + 9 * b;
    const range = bytes[at] >> 4;
    const filter = (bytes[at] >> 2) & 3;
    for (let k = 1; k <= 8 && j < out.length; k++) {
      for (const v of [bytes[at + k] >> 4, bytes[at + k] & 15]) {
        const s = (v < 8 ? v : v - 16) * (1 << range);
        let t = 0;
        if (filter === 1) t = Math.trunc((15 * p1) / 16);
        else if (filter === 2) t = Math.trunc((61 * p1 - 30 * p2) / 32);
        else if (filter === 3) t = Math.trunc((115 * p1 - 52 * p2) / 64);
        const value = ((s + t) << 16) >> 16;
        out[j++] = value;
        p2 = p1;
        p1 = value;
      }
    }
  }
  return out;
}

// Twin of core/brr_chip_decoder.cpp DecodeBrrChipFrom: 15-bit values with
// arithmetic shifts, ranges 13-15 as the chip has them, a clamp, the
// doubled value's wrap. Decodes `count` blocks from byte `at` onward,
// continuing from history {p1, p2}, which it moves on; writes to out from
// index j.
function decodeChipBlocks(bytes, at, count, history, out, j) {
  let { p1, p2 } = history;
  for (let end = at + 9 * count; at < end; at += 9) {
    const range = bytes[at] >> 4;
    const filter = (bytes[at] >> 2) & 3;
    for (let k = 1; k <= 8; k++) {
      for (const v of [bytes[at + k] >> 4, bytes[at + k] & 15]) {
        const n = v < 8 ? v : v - 16;
        let s = range <= 12 ? (n << range) >> 1 : (n < 0 ? -2048 : 0);
        const q = p2 >> 1;
        if (filter === 1) s += (p1 >> 1) + ((-p1) >> 5);
        else if (filter === 2) s += p1 - q + (q >> 4) + ((p1 * -3) >> 6);
        else if (filter === 3) s += p1 - q + ((p1 * -13) >> 7) + ((q * 3) >> 4);
        s = Math.max(-32768, Math.min(32767, s));
        const value = ((s * 2) << 16) >> 16;
        out[j++] = value;
        p2 = p1;
        p1 = value;
      }
    }
  }
  history.p1 = p1;
  history.p2 = p2;
}

// Twin of core/brr_chip_decoder.cpp DecodeBrrChip: every block, the end
// block included, from silence.
export function decodeChip(bytes, sample) {
  const out = new Int16Array(16 * sample.blocks);
  decodeChipBlocks(bytes, sample.brrOffset, sample.blocks, { p1: 0, p2: 0 }, out, 0);
  return out;
}

// Passes written at most; when none repeats by then, the last is the loop.
const MAX_LOOP_PASSES = 64;

// FNV-1a over a pass: only passes that hash alike are compared.
function hashPass(values) {
  let hash = 0x811C9DC5;
  for (let i = 0; i < values.length; i++) hash = Math.imul(hash ^ (values[i] & 0xFFFF), 0x01000193);
  return hash >>> 0;
}

const samePass = (a, b) => a.every((value, i) => value === b[i]);

// Twin of core/loop_render.cpp PlanChipLoop and RenderChipLoop: at the end
// block the chip jumps back to the loop block with the history it has, so
// a loop block that predicts (filters 1-3) can sound different on every
// pass until the history falls into a cycle. Holds the attack and every
// pass up to the first that equals an earlier one; the loop runs from that
// earlier pass to the end.
export function renderChipLoop(bytes, sample, loopBlock) {
  const attack = 16 * loopBlock;
  const passLength = 16 * (sample.blocks - loopBlock);
  const history = { p1: 0, p2: 0 };
  const head = new Int16Array(attack);
  decodeChipBlocks(bytes, sample.brrOffset, loopBlock, history, head, 0);
  const passes = [];
  const hashes = [];
  let first = -1;
  while (first < 0 && passes.length <= MAX_LOOP_PASSES) {
    const pass = new Int16Array(passLength);
    decodeChipBlocks(bytes, sample.brrOffset + 9 * loopBlock, sample.blocks - loopBlock, history, pass, 0);
    const hash = hashPass(pass);
    first = hashes.findIndex((earlier, k) => earlier === hash && samePass(passes[k], pass));
    if (first < 0) {
      passes.push(pass);
      hashes.push(hash);
    }
  }
  const stable = first >= 0;
  if (!stable) {
    passes.length = MAX_LOOP_PASSES;
    first = MAX_LOOP_PASSES - 1;
  }
  const pcm = new Int16Array(attack + passes.length * passLength);
  pcm.set(head);
  passes.forEach((pass, k) => pcm.set(pass, attack + k * passLength));
  return { pcm, plan: { loopStart: attack + first * passLength, passes: passes.length, stable } };
}
