// A ROM image: the runs the scan finds, and the loops the transfer streams
// in the image give them.
#include <string>

#include "engine/brr/brr_decoder.h"
#include "engine/inputs/input_kinds.h"
#include "engine/inputs/stream_loops.h"

namespace {

// One run of the scan as a row: kept while the set has room and its PCM
// can be counted, as the window's table keeps it.
void AddRun(const FoundRun& run, unsigned& kept, OpenedInput& opened) {
    SampleSet& set = opened.set;
    SetSample sample{};
    sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
    sample.dataStart = run.start;
    sample.blocks = BlocksInRun(run.start, run.end);
    sample.loop = (set.data[run.start] & kLoopFlag) != 0;
    uint64_t bytes = DecodedSize(run.start, run.end);
    RomRun& rom = sample.rom;
    if (bytes > kMaxRunPcmBytes) {
        Note(opened, "\r\nError allocating %s bytes.", std::to_string(bytes).c_str());
        rom.notStored = "memory";
        ++opened.notStoredMemory;
        set.memoryDropped = true;
    } else if (kept >= kMaxSamples) {
        Note(opened, "\r\nMax of %d samples reached.", static_cast<int>(kMaxSamples));
        rom.notStored = "limit";
        ++opened.notStoredLimit;
    } else {
        rom.stored = true;
        rom.slot = kept++;
        rom.specBytes = static_cast<uint32_t>(bytes);
    }
    set.samples.push_back(sample);
}

// Where the transfer streams put each run, in a directory entry's terms.
void AddStreamLoops(SampleSet& set) {
    std::vector<FoundRun> runs;
    runs.reserve(set.samples.size());
    for (const SetSample& sample : set.samples) runs.push_back({sample.dataStart, sample.DataEnd()});
    std::vector<RunAram> found = FindRunAram(set.data, set.dataSize, runs);
    for (size_t k = 0; k < found.size(); ++k) {
        const RunAram& run = found[k];
        SetSample& sample = set.samples[k];
        RomRun& rom = sample.rom;
        rom.hasAram = run.hasAram;
        rom.named = run.named;
        rom.loopUnknownReason = run.unknownReason;
        rom.aram.start = run.aramStart;
        rom.aram.end = run.aramEnd;
        rom.aram.loop = run.named ? run.loop : LoopKind::None;
        rom.aram.loopAddress = run.aramLoop;
        rom.aram.loopWord = static_cast<uint16_t>(run.loopIsOffset ? run.aramLoop - run.aramStart : run.aramLoop);
        rom.aram.sameAs = -1;
        sample.loopKnown = rom.aram.LoopKnown();
        if (sample.loopKnown) sample.loopBlock = (run.aramLoop - run.aramStart) / kBlockBytes;
    }
}

}  // namespace

void ReadRomSet(const InputOptions& options, OpenedInput& opened) {
    SampleSet& set = opened.set;
    set.kind = InputKind::Rom;
    set.decoder = options.decoder;
    set.data = set.bytes.data();
    set.dataSize = static_cast<uint32_t>(set.bytes.size());
    Note(opened, "\r\nSearching ROM for samples...");
    unsigned kept = 0;
    FindRuns(set.data, set.dataSize, options.minRun, [&](const FoundRun& run) { AddRun(run, kept, opened); },
             options.onScanStep);
    Note(opened, "\r\nFound %d samples.", static_cast<int>(set.samples.size()));
    // The window unloads an image in which it found nothing.
    if (set.samples.empty()) Note(opened, "\r\nROM %s freed from memory.", set.path.c_str());
    set.layout = DetectRomLayout(set.data, set.dataSize);
    if (options.mappingGiven) set.layout.mapping = options.mapping;
    AddStreamLoops(set);
    MeasureSamples(set);
}
