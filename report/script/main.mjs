// The audition page: lists the samples, decodes their BRR blocks with the
// chosen decoder, draws their waveforms as rows come into view, plays them
// through Web Audio and builds downloads equal to the ripper's files.
// All text from the input side is set with textContent, never parsed as
// HTML. The build joins these modules into the page's one script.
import { fillSummary } from './summary.mjs';
import { fillRates, setupToolbar } from './toolbar.mjs';
import { buildRows } from './table.mjs';
import { arrange, setupFinding } from './finding.mjs';
import { watchWaves } from './waveforms.mjs';
import { setupKeys } from './keyboard.mjs';

fillSummary();
fillRates();
setupToolbar();
buildRows();
setupFinding();
arrange();
watchWaves();
setupKeys();
document.body.dataset.ready = 'true';
