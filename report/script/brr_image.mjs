// .brr files as the ripper writes them.

// Twin of output/brr_export.cpp BuildBrrFile: the blocks, behind the
// 2-byte loop offset that SNES music tools read when the loop sample is
// known and falls on a block.
export function brrImage(blocks, loopStartSample) {
  const type = { type: 'application/octet-stream' };
  const loopBlock = loopStartSample != null && Number.isInteger(loopStartSample / 16) ? loopStartSample / 16 : null;
  if (loopBlock === null) return new Blob([blocks], type);
  const offset = 9 * loopBlock;
  return new Blob([new Uint8Array([offset & 255, (offset >> 8) & 255]), blocks], type);
}
