// How numbers read on the page.

export const hex = (offset) => '0x' + offset.toString(16).toUpperCase().padStart(6, '0');
export const aram = (address) => '$' + address.toString(16).toUpperCase().padStart(4, '0');
export const grouped = (n) => n.toLocaleString('en-US');
export const seconds = (bytes, rate) => (bytes / 2 / rate).toFixed(3) + ' s';

export function sizeText(bytes) {
  const units = ['bytes', 'KiB', 'MiB', 'GiB'];
  let value = bytes;
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) { value /= 1024; unit++; }
  const short = unit === 0 ? '' : ` (${value.toFixed(value < 10 ? 1 : 0).replace(/\.0$/, '')} ${units[unit]})`;
  return `${grouped(bytes)} bytes${short}`;
}
