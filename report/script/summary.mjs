// The page's head: the input's name, path and facts, and notes on what
// was left out.
import { byId, data, samples, setText } from './page_data.mjs';
import { aram, grouped, sizeText } from './format.mjs';

const DIRECTORY_SOURCES = { register: 'DIR register', code: "driver's code" };

// A .brr file holds one sample, read whole: no scan, no runs.
function brrFacts() {
  const [sample] = samples;
  let loop = 'none';
  if (sample && sample.loopStartSample != null) loop = `from ${grouped(sample.loopStartSample)} (loop offset in the file)`;
  else if (sample && sample.loop) loop = 'flagged; the file gives no loop offset';
  return [['Size', sizeText(data.rom.size)], ['Loop', loop], ['Initial rate', `${grouped(data.rate)} Hz`],
    ['Decoder', 'chip (as the console)']];
}

// How long the song ran before the listing, and what it keyed.
function songText(play) {
  const keyOns = `${grouped(play.keyOns)} key-on${play.keyOns === 1 ? '' : 's'}`;
  const entries = `${grouped(play.entriesKeyed)} ${play.entriesKeyed === 1 ? 'entry' : 'entries'}`;
  return `${play.seconds.toFixed(3)} s: ${keyOns} of ${entries}${play.truncated ? ' (recorded until the event limit)' : ''}`;
}

// A snapshot read through its sample directory has entries, not runs:
// the minimum run applies only where audio RAM or a ROM was scanned.
function summaryFacts() {
  if (data.isBrr) return brrFacts();
  const facts = [['Size', sizeText(data.rom.size)]];
  const directory = data.isSpc && data.directory != null;
  if (directory) {
    const source = DIRECTORY_SOURCES[data.directorySource];
    facts.push(['Directory', aram(data.directory) + (source ? ` (${source})` : '')]);
  } else {
    if (data.isSpc) facts.push(['Directory', 'not found; audio RAM scanned']);
    facts.push(['Minimum run', `${grouped(data.minRunBytes)} bytes`]);
  }
  facts.push(['Initial rate', `${grouped(data.rate)} Hz`]);
  if (directory) {
    facts.push(['Directory entries', grouped(samples.length)]);
    facts.push(['Samples stored', grouped(samples.filter((sample) => sample.saved).length)]);
  } else {
    facts.push(['Runs found', grouped(data.runsFound)]);
    facts.push(['Samples stored', grouped(samples.length)]);
  }
  if (data.play) facts.push(['Song played', songText(data.play)]);
  return facts;
}

export function fillSummary() {
  setText('rom-name', data.rom.name);
  setText('rom-path', data.rom.path);
  byId('rom-path').hidden = data.rom.path === data.rom.name;
  document.title = `${data.rom.name} · VOXTRAWL samples`;
  for (const [label, value] of summaryFacts()) {
    const item = document.createElement('div');
    const term = document.createElement('dt');
    const detail = document.createElement('dd');
    term.textContent = label;
    detail.textContent = value;
    item.append(term, detail);
    byId('facts').append(item);
  }
  const runs = (n) => `${grouped(n)} qualifying ${n === 1 ? 'run was' : 'runs were'} not stored`;
  const notes = [];
  if (data.notStoredMemory > 0) notes.push(`${runs(data.notStoredMemory)} (not enough memory to decode).`);
  if (data.notStoredLimit > 0) {
    notes.push(`${runs(data.notStoredLimit)} (a rip keeps ${grouped(data.maxSamples)} samples at most; ` +
      'a higher minimum run finds fewer).');
  }
  if (!data.allInOneFits) {
    notes.push(`The samples hold ${sizeText(data.allInOneBytes)} of PCM, more than one WAV file can describe, ` +
      'so there is no download of all of them in one file; download them one by one.');
  }
  if (notes.length > 0) {
    const note = byId('dropped');
    note.hidden = false;
    note.textContent = notes.join(' ');
  }
}
