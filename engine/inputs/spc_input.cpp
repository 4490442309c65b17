// An SPC snapshot: its samples from the directory in audio RAM, or from a
// scan of the audio RAM when there is none.
#include <cstdio>

#include "engine/inputs/input_kinds.h"
#include "engine/log/shown_text.h"

namespace {

// No directory: the audio RAM is searched like a ROM image and each run
// becomes a numbered sample, as many as a ROM's table keeps.
void ScanAram(uint32_t minRun, OpenedInput& opened) {
    SampleSet& set = opened.set;
    bool tableFull = false;
    FindRuns(set.data, kAramBytes, minRun, [&](const FoundRun& run) {
        if (set.samples.size() >= kMaxSamples) {
            tableFull = true;
            return;
        }
        SetSample sample{};
        sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
        sample.dataStart = run.start;
        sample.blocks = BlocksInRun(run.start, run.end);
        sample.loop = (set.data[run.end] & kLoopFlag) != 0;
        set.samples.push_back(sample);
    }, nullptr);
    Note(opened, "\r\nNo sample directory found in %s; scanning its audio RAM like a ROM.",
         ShownText(set.path).c_str());
    if (tableFull) Note(opened, "\r\nMax of %d samples reached.", static_cast<int>(kMaxSamples));
}

void ReadDirectoryEntries(OpenedInput& opened) {
    SampleSet& set = opened.set;
    for (const SpcSample& entry : set.directory.samples) {
        SetSample sample{};
        sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
        sample.dataStart = entry.start;
        sample.blocks = entry.Blocks();
        sample.loop = entry.loop != LoopKind::None;
        sample.fromDirectory = true;
        sample.entry = entry;
        sample.loopKnown = entry.LoopKnown();
        if (sample.loopKnown) sample.loopBlock = (entry.loopAddress - entry.start) / kBlockBytes;
        set.samples.push_back(sample);
    }
    char address[8];
    std::snprintf(address, sizeof address, "$%04X", static_cast<unsigned>(set.directory.address));
    Note(opened, "\r\nSPC %s: sample directory at %s (%s), %d entries.", ShownText(set.path).c_str(), address,
         set.directory.source == DirectorySource::Register ? "DIR register" : "set by the driver's code",
         static_cast<int>(set.directory.samples.size()));
}

}  // namespace

void ReadSpcSet(const InputOptions& options, OpenedInput& opened) {
    SampleSet& set = opened.set;
    set.kind = InputKind::Spc;
    set.decoder = DecoderKind::Chip;
    if (set.bytes.size() < kSpcMinFileBytes) {
        char refusal[160];
        std::snprintf(refusal, sizeof refusal,
                      ": an SPC snapshot of %zu bytes is cut short (a whole one has at least %zu)",
                      set.bytes.size(), kSpcMinFileBytes);
        Fail(opened, OpenStatus::kFailed, "cannot read " + Quoted(set.path) + refusal);
        return;
    }
    set.data = set.bytes.data() + kSpcAramOffset;
    set.dataSize = kAramBytes;
    set.fileBias = kSpcAramOffset;
    set.directory = FindSampleDirectory(set.data, set.bytes.data() + kSpcDspOffset);
    if (set.directory.source == DirectorySource::Scan) ScanAram(options.minRun, opened);
    else ReadDirectoryEntries(opened);
    MeasureSamples(set);
}
