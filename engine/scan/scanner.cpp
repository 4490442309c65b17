#include "engine/scan/scanner.h"

#include "engine/brr/brr_block.h"

// The search makes an attempt at every header below 0xD0 and, when the
// attempt does not qualify, resumes one byte later. Done that way, a long
// stretch of chained blocks (0x00 fill, say) is followed again from each
// of its headers: quadratic time. Attempts that do not qualify have no
// effect but moving on one byte and perhaps stepping the progress bar, so
// this scanner jumps straight to the next attempt that qualifies and
// replays only the progress steps of the attempts in between.
//
// Blocks of one chain lie 9 bytes apart, so the image splits into 9 lanes
// (offset mod 9). With a minimum span of m >= 1, an attempt qualifies
// exactly when its header starts at least ceil(m / 9) consecutive lane
// headers that continue a chain (below 0xD0, end flag clear) with one loop
// flag, and the first lane header after them has the end flag. Each lane
// is searched forward once for such windows; the whole image is read a
// bounded number of times.

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

// A header that can be a run's first or middle block.
bool Continues(uint8_t header) { return header < kFirstInvalidHeader && !(header & kEndFlag); }

bool ContinuesWithLoop(uint8_t header, uint8_t loop) { return Continues(header) && (header & kLoopFlag) == loop; }

struct Image {
    const uint8_t* rom;
    uint32_t size;
};

// A run to hand on; start is kNone when there is none.
using Run = FoundRun;

// --- Progress ---------------------------------------------------------

// The bar is stepped once per increase of the whole percentage. Rather
// than divide after every attempt, remember the offset at which the
// percentage next increases.
struct ProgressMeter {
    uint32_t size;
    uint64_t nextStepAt;
    const ScanStep& onStep;
};

uint64_t FirstOffsetAbove(uint32_t percent, uint32_t size) {
    return ((static_cast<uint64_t>(percent) + 1) * size + 99) / 100;
}

// The percentage check that follows every attempt, with the scan at scanPos.
void ReportProgress(ProgressMeter& meter, uint32_t scanPos) {
    if (scanPos < meter.nextStepAt) return;
    uint32_t percent = static_cast<uint32_t>(static_cast<uint64_t>(scanPos) * 100 / meter.size);
    if (meter.onStep) meter.onStep(scanPos, percent);
    meter.nextStepAt = FirstOffsetAbove(percent, meter.size);
}

// Replays the checks of the attempts in [from, to) that did not qualify:
// each header below 0xD0 there was one attempt, after which the scan stood
// one byte further. Only the first such check at or past the next step
// offset can step the bar, so only those are looked for.
void ReportSkippedAttempts(ProgressMeter& meter, const Image& image, uint32_t from, uint32_t to) {
    for (;;) {
        uint64_t firstUseful = meter.nextStepAt - 1;
        uint64_t q = firstUseful > from ? firstUseful : from;
        while (q < to && image.rom[q] >= kFirstInvalidHeader) ++q;
        if (q >= to) return;
        ReportProgress(meter, static_cast<uint32_t>(q + 1));
    }
}

// --- Finding runs -------------------------------------------------------

// With no minimum span every attempt qualifies, failed ones included, and
// its run ends where following the chain stopped: at an end block or at
// the header that broke the chain.
Run NextAttempt(const Image& image, uint32_t pos) {
    while (pos < image.size && image.rom[pos] >= kFirstInvalidHeader) ++pos;
    if (pos >= image.size) return {kNone, 0};
    const uint8_t loop = image.rom[pos] & kLoopFlag;
    uint32_t i = pos;
    for (;;) {
        const uint8_t h = image.rom[i];
        // size - i <= 9: the next header would lie outside the image.
        if ((h & kEndFlag) || h >= kFirstInvalidHeader || (h & kLoopFlag) != loop || image.size - i <= kBlockBytes)
            return {pos, i};
        i += kBlockBytes;
    }
}

// In one lane from q on, the first header starting at least `blocks`
// continuing headers with one loop flag followed by an end header. Looks
// at the far end of each window first, so most windows on data that is
// not BRR are passed over after one read.
Run SearchLane(const Image& image, uint64_t q, uint64_t blocks) {
    const uint64_t reach = (blocks - 1) * kBlockBytes;
    const uint8_t* rom = image.rom;
    while (q + reach < image.size) {
        uint64_t far = q + reach;
        if (!Continues(rom[far])) {
            q = far + kBlockBytes;
            continue;
        }
        const uint8_t loop = rom[far] & kLoopFlag;
        uint64_t first = far;
        while (first > q && ContinuesWithLoop(rom[first - kBlockBytes], loop)) first -= kBlockBytes;
        if (first != q) {
            q = first;  // the header before first breaks every window reaching it
            continue;
        }
        uint64_t end = far + kBlockBytes;
        while (end < image.size && ContinuesWithLoop(rom[end], loop)) end += kBlockBytes;
        if (end < image.size && (rom[end] & kEndFlag)) return {static_cast<uint32_t>(q), static_cast<uint32_t>(end)};
        q = end;  // the chain failed; a new one may start at its last header
    }
    return {kNone, 0};
}

// The first qualifying run of each lane at or after the scan position.
struct LaneSearch {
    Image image;
    uint32_t minRun;
    uint64_t blocks;  // continuing headers a qualifying run needs
    Run lanes[kBlockBytes];
};

void StartLaneSearch(LaneSearch& search, const Image& image, uint32_t minRun) {
    search.image = image;
    search.minRun = minRun;
    search.blocks = (static_cast<uint64_t>(minRun) + kBlockBytes - 1) / kBlockBytes;
    for (uint32_t r = 0; r < kBlockBytes; ++r) search.lanes[r] = SearchLane(image, r, search.blocks);
}

// Brings a lane's run up to date after the scan moved on to pos, past it.
// pos may still lie on the same chain, which then qualifies from there if
// it is still long enough.
void RefreshLane(LaneSearch& search, uint32_t r, uint32_t pos) {
    Run& lane = search.lanes[r];
    if (lane.start == kNone || lane.start >= pos) return;
    uint64_t q = pos + (r + kBlockBytes - pos % kBlockBytes) % kBlockBytes;
    if (q <= lane.end && lane.end - q >= search.minRun) {
        lane.start = static_cast<uint32_t>(q);
        return;
    }
    lane = SearchLane(search.image, q > lane.end ? q : lane.end + uint64_t{kBlockBytes}, search.blocks);
}

Run NextLongRun(LaneSearch& search, uint32_t pos) {
    Run next{kNone, 0};
    for (uint32_t r = 0; r < kBlockBytes; ++r) {
        RefreshLane(search, r, pos);
        if (search.lanes[r].start < next.start) next = search.lanes[r];
    }
    return next;
}

}  // namespace

uint32_t FindRuns(const uint8_t* data, uint32_t size, uint32_t minRun, const RunFound& onRun, const ScanStep& onStep) {
    const Image image{data, size};
    ProgressMeter meter{image.size, FirstOffsetAbove(0, image.size), onStep};
    LaneSearch lanes;
    if (minRun > 0) StartLaneSearch(lanes, image, minRun);

    uint32_t pos = 0;
    while (pos < image.size) {
        Run next = minRun > 0 ? NextLongRun(lanes, pos) : NextAttempt(image, pos);
        uint32_t attemptsEnd = next.start < image.size ? next.start : image.size;
        ReportSkippedAttempts(meter, image, pos, attemptsEnd);
        if (next.start == kNone) {
            pos = image.size;
            break;
        }
        onRun(next);
        pos = next.end + kBlockBytes;
        ReportProgress(meter, pos);
    }
    return pos;
}
