#include "engine/inputs/stream_loops.h"

#include <algorithm>

#include "engine/brr/brr_block.h"
#include "engine/brr/brr_chip_decoder.h"
#include "engine/inputs/stream_directory.h"
#include "engine/inputs/transfer_stream.h"

namespace {

// What one stream says about one run.
struct Reading {
    uint32_t aramStart;
    uint32_t aramEnd;
    bool named;
    LoopKind loop;
    uint32_t loopAddress;

    bool SameLoop(const Reading& other) const {
        return aramStart == other.aramStart && loop == other.loop && loopAddress == other.loopAddress;
    }
};

// The loop an entry gives the sample whose end block header is endHeader.
Reading NamedReading(const StreamEntry& entry, uint8_t endHeader) {
    Reading reading{entry.start, entry.end, true, LoopKind::None, 0};
    auto onBlock = [&entry](uint32_t address) {
        return address >= entry.start && address <= entry.end && (address - entry.start) % kBlockBytes == 0;
    };
    if (!(endHeader & kLoopFlag)) return reading;
    if (onBlock(entry.loopWord)) {
        reading.loop = LoopKind::Address;
        reading.loopAddress = entry.loopWord;
    } else if (onBlock(entry.start + entry.loopWord)) {
        reading.loop = LoopKind::Offset;
        reading.loopAddress = entry.start + entry.loopWord;
    } else {
        reading.loop = LoopKind::Unknown;
    }
    return reading;
}

// Adds the readings of one stream to the runs that lie in its blocks.
void ReadStream(const uint8_t* image, const TransferStream& stream, std::vector<StreamEntry> entries,
                const std::vector<FoundRun>& runs, const std::vector<size_t>& byStart,
                std::vector<std::vector<Reading>>& readings) {
    std::sort(entries.begin(), entries.end(),
              [](const StreamEntry& a, const StreamEntry& b) { return a.start < b.start; });
    for (size_t k = 0; k < stream.blocks.size(); ++k) {
        const StreamBlock& block = stream.blocks[k];
        auto first = std::lower_bound(byStart.begin(), byStart.end(), block.data,
                                      [&runs](size_t run, uint32_t at) { return runs[run].start < at; });
        for (auto it = first; it != byStart.end() && runs[*it].start < block.data + block.length; ++it) {
            const FoundRun& run = runs[*it];
            if (run.end + kBlockBytes > block.data + block.length) continue;
            Reading reading{block.aram + (run.start - block.data), block.aram + (run.end - block.data), false,
                            LoopKind::None, 0};
            auto named = std::lower_bound(entries.begin(), entries.end(), reading.aramStart,
                                          [](const StreamEntry& e, uint32_t start) { return e.start < start; });
            bool anyNamed = false;
            for (; named != entries.end() && named->start == reading.aramStart; ++named) {
                if (named->block != static_cast<int>(k) || named->end != reading.aramEnd) continue;
                readings[*it].push_back(NamedReading(*named, image[run.end]));
                anyNamed = true;
            }
            if (!anyNamed) readings[*it].push_back(reading);
        }
    }
}

// Plenty of code and data parses as a stream that jumps into its own
// bytes; only a directory table, or a jump into the driver of a stream
// that has one, shows an upload the driver really makes.
bool IsConfirmed(const std::vector<TransferStream>& streams, const std::vector<std::vector<StreamEntry>>& entries,
                 size_t k) {
    if (!entries[k].empty()) return true;
    int driver = streams[k].entersStream;
    return driver >= 0 && !entries[static_cast<size_t>(driver)].empty();
}

// What the readings of one run agree on.
RunAram Agree(const std::vector<Reading>& readings) {
    RunAram out;
    if (readings.empty()) return out;
    const Reading* claim = nullptr;
    bool claimsAgree = true;
    bool addressesAgree = true;
    for (const Reading& r : readings) {
        addressesAgree = addressesAgree && r.aramStart == readings.front().aramStart;
        if (!r.named) continue;
        if (claim && !claim->SameLoop(r)) claimsAgree = false;
        if (!claim) claim = &r;
    }
    if (claim && claimsAgree) {
        out.hasAram = true;
        out.aramStart = claim->aramStart;
        out.aramEnd = claim->aramEnd;
        out.named = true;
        out.loop = claim->loop;
        out.aramLoop = claim->loopAddress;
        out.loopIsOffset = claim->loop == LoopKind::Offset;
        return out;
    }
    if (claim) {
        out.named = true;
        out.loop = LoopKind::Unknown;
        out.unknownReason = "directory entries in the image disagree on its loop";
    } else if (!addressesAgree) {
        out.unknownReason = "overlapping transfer streams upload it to different audio RAM addresses";
    }
    if (addressesAgree) {
        out.hasAram = true;
        out.aramStart = readings.front().aramStart;
        out.aramEnd = readings.front().aramEnd;
    }
    return out;
}

}  // namespace

std::vector<RunAram> FindRunAram(const uint8_t* image, uint32_t size, const std::vector<FoundRun>& runs) {
    std::vector<TransferStream> streams = FindTransferStreams(image, size);
    if (streams.empty()) return std::vector<RunAram>(runs.size());
    std::vector<size_t> byStart(runs.size());
    for (size_t k = 0; k < runs.size(); ++k) byStart[k] = k;
    std::sort(byStart.begin(), byStart.end(), [&runs](size_t a, size_t b) { return runs[a].start < runs[b].start; });
    std::vector<std::vector<Reading>> readings(runs.size());
    std::vector<std::vector<StreamEntry>> entries(streams.size());
    for (size_t k = 0; k < streams.size(); ++k) entries[k] = FindStreamEntries(image, streams[k]);
    for (size_t k = 0; k < streams.size(); ++k)
        if (IsConfirmed(streams, entries, k)) ReadStream(image, streams[k], entries[k], runs, byStart, readings);
    std::vector<RunAram> out;
    out.reserve(runs.size());
    for (const std::vector<Reading>& r : readings) out.push_back(Agree(r));
    return out;
}
