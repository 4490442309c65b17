#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/brr/brr_decoder.h"
#include "app/scan_loop.h"
#include "app/memory.h"
#include "engine/scan/scanner.h"
#include "app/res/resource.h"
#include "tests/literal_scan.h"
#include "tests/test_support.h"
#include "app/log.h"

namespace {

using RunList = std::vector<std::pair<uint32_t, uint32_t>>;

RunList observedRuns;
void RecordRun(uint32_t runStart, uint32_t runEnd, RunOutcome) { observedRuns.emplace_back(runStart, runEnd); }

// Records, in order, every platform call the scan makes, and where the
// scan stood at each progress step.
class TracePlatform : public RecordingPlatform {
public:
    std::vector<std::string> trace;
    std::vector<uint32_t> stepPositions;

    void EnableMenuCommand(unsigned id, bool enabled) override {
        trace.push_back("menu " + std::to_string(id) + (enabled ? " on" : " off"));
        RecordingPlatform::EnableMenuCommand(id, enabled);
    }
    void SetProgress(unsigned position) override {
        trace.push_back("progress " + std::to_string(position));
        RecordingPlatform::SetProgress(position);
    }
    void StepProgressBar() override {
        trace.push_back("step");
        stepPositions.push_back(app.scanPos);
        RecordingPlatform::StepProgressBar();
    }
    void LogAppended(const char* text) override { trace.push_back(std::string("log ") + text); }
    void SetSampleNumberEdit(uint32_t n) override {
        trace.push_back("edit " + std::to_string(n));
        RecordingPlatform::SetSampleNumberEdit(n);
    }
    void SendCommand(unsigned id) override {
        trace.push_back("send " + std::to_string(id));
        RecordingPlatform::SendCommand(id);
    }
    void Clear() {
        trace.clear();
        stepPositions.clear();
        progressHistory.clear();
        sampleNumberEdits.clear();
    }
};

// Writes a chain of blocks into image: blocks - 1 headers, then endHeader.
void PutChain(Bytes& image, size_t start, unsigned blocks, uint8_t header, uint8_t endHeader) {
    for (unsigned k = 0; k + 1 < blocks; ++k) image.at(start + 9 * k) = header;
    image.at(start + 9 * (blocks - 1)) = endHeader;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Scans images put straight into memory, with every call traced.
class ScannerTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        SetPlatform(&tracer);
        observedRuns.clear();
        SetRunObserver(RecordRun);
    }
    void TearDown() override {
        SetRunObserver(nullptr);
        AppTest::TearDown();
    }

    void ScanBytes(const Bytes& rom, int32_t minRunBytes) {
        FreeAll();
        LogClear();
        app.romData = static_cast<uint8_t*>(AllocBlock(rom.size()));
        std::memcpy(app.romData, rom.data(), rom.size());
        app.romSize = static_cast<uint32_t>(rom.size());
        app.romPath = "memory.sfc";
        app.minRunBytes = minRunBytes;
        app.ripPending = 1;
        observedRuns.clear();
        tracer.Clear();
        ScanRom();
    }

    TracePlatform tracer;
};

struct BoundaryCase {
    const char* name;
    Bytes image;
    int32_t minRunBytes;
    RunList expected;
};

std::vector<BoundaryCase> BoundaryCases() {
    std::vector<BoundaryCase> cases;
    cases.push_back({"64 blocks are too short", Concat({MakeRun(64), Filler(10)}), 568, {}});
    cases.push_back({"65 blocks qualify", Concat({Filler(3), MakeRun(65), Filler(4)}), 568, {{3, 579}}});
    cases.push_back({"next run starts right after the end block", Concat({MakeRun(65), MakeRun(65)}), 568,
                     {{0, 576}, {585, 1161}}});
    cases.push_back({"nothing inside a taken run is tried", MakeRun(3, 0x80, 0x81, 0x00), 0, {{0, 18}}});
    cases.push_back({"end header 0xD1 ends a run", MakeRun(65, 0x80, 0xD1), 568, {{0, 576}}});
    cases.push_back({"end header 0xFF ends a run", MakeRun(65, 0x84, 0xFF), 568, {{0, 576}}});
    cases.push_back({"end block's loop flag is not tested", MakeRun(65, 0x82, 0x81), 568, {{0, 576}}});

    // Lane 0 holds a 66-block chain broken in the middle; lane 1 a good one.
    for (uint8_t breaker : {uint8_t{0xD0}, uint8_t{0x82}}) {
        Bytes image = Filler(9 * 66 + 9);
        PutChain(image, 0, 66, 0x80, 0x81);
        image[270] = breaker;
        PutChain(image, 1, 65, 0x84, 0x85);
        cases.push_back({breaker == 0xD0 ? "middle header 0xD0 breaks the chain" : "middle loop flag breaks the chain",
                         image, 568, {{1, 577}}});
    }

    Bytes endFirst = Concat({Bytes{0x81}, Filler(8), MakeRun(65)});
    cases.push_back({"first block with end flag has span 0", endFirst, 1, {{9, 585}}});
    cases.push_back({"span 0 qualifies with no minimum", endFirst, 0, {{0, 0}, {9, 585}}});

    Bytes broken;
    AppendBlock(broken, 0x80, 0xFE);
    AppendBlock(broken, 0x80, 0xFE);
    AppendBlock(broken, 0xD0, 0xFE);
    cases.push_back({"failed attempt qualifies with no minimum", broken, 0, {{0, 18}}});
    broken[18] = 0x82;
    cases.push_back({"loop mismatch qualifies with no minimum", broken, 0, {{0, 18}}});
    broken[18] = 0x80;
    cases.push_back({"chain off the end qualifies with no minimum", broken, 0, {{0, 18}}});
    cases.push_back({"one-block runs with no minimum", Concat({Bytes{0x01}, Filler(8), Bytes{0x03}, Filler(8)}), 0,
                     {{0, 0}, {9, 9}}});

    cases.push_back({"negative minimum admits nothing", MakeRun(65), -1, {}});
    cases.push_back({"large negative minimum admits nothing", MakeRun(200), -568, {}});
    cases.push_back({"chain reaching the end without end flag", MakeRun(70, 0x80, 0x80), 568, {}});
    Bytes lastByteEnd = MakeRun(65);
    lastByteEnd.resize(577);
    cases.push_back({"end header as the last byte", lastByteEnd, 568, {{0, 576}}});
    Bytes high;
    for (int b = 0xD0; b <= 0xFF; ++b) high.push_back(static_cast<uint8_t>(b));
    cases.push_back({"only bytes 0xD0 and above", high, 0, {}});
    cases.push_back({"one byte without end flag", Bytes{0x00}, 568, {}});
    cases.push_back({"one byte without end flag, no minimum", Bytes{0x00}, 0, {{0, 0}}});
    cases.push_back({"one end byte, no minimum", Bytes{0x01}, 0, {{0, 0}}});
    return cases;
}

TEST_F(ScannerTest, BoundaryImagesGiveExactlyTheExpectedRuns) {
    for (const BoundaryCase& c : BoundaryCases()) {
        SCOPED_TRACE(c.name);
        ScanBytes(c.image, c.minRunBytes);
        EXPECT_EQ(observedRuns, c.expected);
        EXPECT_EQ(app.foundCount, static_cast<int32_t>(c.expected.size()));
        ASSERT_EQ(app.sampleCount, c.expected.size());
        for (size_t k = 0; k < c.expected.size(); ++k)
            EXPECT_EQ(app.sampleBytes[k], DecodedSize(c.expected[k].first, c.expected[k].second));
        EXPECT_EQ(app.romData == nullptr, c.expected.empty()) << "the ROM is unloaded exactly when nothing qualified";
        // The reference walk agrees with the hand-made expectations too.
        EXPECT_EQ(LiteralScan(c.image, c.minRunBytes).runs, c.expected);
    }
}

TEST_F(ScannerTest, DoesNothingWithoutPendingRipOrImage) {
    ScanBytes(MakeRun(65), 568);
    ASSERT_EQ(app.sampleCount, 1u);
    tracer.Clear();
    ScanRom();  // ripPending was cleared by the scan
    EXPECT_TRUE(tracer.trace.empty());
    EXPECT_EQ(app.sampleCount, 1u);

    FreeAll();
    tracer.Clear();
    app.ripPending = 1;
    ScanRom();
    EXPECT_TRUE(tracer.trace.empty());
    EXPECT_EQ(app.ripPending, 1);
}

TEST_F(ScannerTest, ScanStartsAndEndsWithItsSideEffectsInOrder) {
    struct Case {
        const char* name;
        Bytes image;
        bool samplesWindowOpen;
        std::vector<std::string> expectedEnd;
    };
    int dummyWindow = 0;
    const Case cases[] = {
        {"found, samples window closed", MakeRun(65), false,
         {"log \r\nFound 1 samples.", "menu 1128 on", "progress 0"}},
        {"found, samples window open", MakeRun(65), true,
         {"log \r\nFound 1 samples.", "menu 1128 on", "edit 1", "progress 0"}},
        {"nothing found", Filler(40), false,
         {"log \r\nFound 0 samples.", "menu 1128 on", "progress 0", "send 1125"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.samplesWindow = c.samplesWindowOpen ? &dummyWindow : nullptr;
        app.currentSample = 7;
        ScanBytes(c.image, 568);
        // FreeSamples first: the save-each item is grayed before anything else.
        ASSERT_FALSE(tracer.trace.empty());
        EXPECT_EQ(tracer.trace.front(), "menu 1128 off");
        auto report = std::find(tracer.trace.begin(), tracer.trace.end(), c.expectedEnd.front());
        ASSERT_NE(report, tracer.trace.end());
        size_t available = static_cast<size_t>(tracer.trace.end() - report);
        std::vector<std::string> end(report, report + static_cast<long>(std::min(available, c.expectedEnd.size())));
        if (c.expectedEnd.back() == "send 1125") {
            EXPECT_EQ(app.romData, nullptr);
            EXPECT_EQ(app.samplesReady, 0);
            EXPECT_EQ(LogCount("\r\nROM memory.sfc freed from memory."), 1);
        } else {
            EXPECT_EQ(app.samplesReady, 1);
            EXPECT_EQ(report + static_cast<long>(c.expectedEnd.size()), tracer.trace.end());
        }
        EXPECT_EQ(end, c.expectedEnd);
        EXPECT_EQ(app.currentSample, 1u);
        EXPECT_EQ(app.ripPending, 0);
        EXPECT_EQ(tracer.sampleNumberEdits.size(), c.samplesWindowOpen ? 1u : 0u);
    }
}

TEST_F(ScannerTest, ProgressStepsOncePerIncreaseOfThePercentage) {
    struct Case {
        const char* name;
        Bytes image;
        std::vector<uint32_t> expectedSteps;
    };
    std::vector<Case> cases;
    // Every byte is an attempt that moves on by one: a step at each even offset.
    std::vector<uint32_t> everyOther;
    for (uint32_t s = 2; s <= 200; s += 2) everyOther.push_back(s);
    cases.push_back({"200 bytes of 0x00", Bytes(200, 0x00), everyOther});
    // A tiny image jumps 33 points per attempt but steps only once each time.
    cases.push_back({"3 bytes of 0x00", Bytes(3, 0x00), {1, 2, 3}});
    // One run jumps to 58 percent with a single step, then 0x00 attempts follow.
    std::vector<uint32_t> afterRun = {585};
    for (uint32_t s = 590; s <= 1000; s += 10) afterRun.push_back(s);
    cases.push_back({"run then 0x00", Concat({MakeRun(65), Bytes(415, 0x00)}), afterRun});
    // The run's end block is the last byte: the scan jumps past the image.
    Bytes endsAtLastByte = MakeRun(65);
    endsAtLastByte.resize(577);
    cases.push_back({"run ending at the last byte", endsAtLastByte, {585}});
    // Bytes 0xD0 and above are skipped without a check: steps begin after them.
    std::vector<uint32_t> afterFiller;
    for (uint32_t s = 51; s <= 100; ++s) afterFiller.push_back(s);
    cases.push_back({"skipped bytes are not attempts", Concat({Filler(50), Bytes(50, 0x00)}), afterFiller});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanBytes(c.image, 568);
        EXPECT_EQ(tracer.stepPositions, c.expectedSteps);
        EXPECT_EQ(LiteralScan(c.image, 568).stepPositions, c.expectedSteps);
        // The bar shows the number of steps, then is reset when the scan ends.
        ASSERT_GE(tracer.progressHistory.size(), 2u);
        EXPECT_EQ(tracer.progressHistory[c.expectedSteps.size() - 1], c.expectedSteps.size() % 101);
        EXPECT_EQ(tracer.progressHistory[c.expectedSteps.size()], 0u);
    }
}

TEST_F(ScannerTest, SamplesBeyondTheTableAreCountedButDropped) {
    Bytes image;
    for (unsigned k = 0; k < kMaxSamples + 3; ++k) {
        Bytes run = MakeRun(2, 0x80, 0x81, static_cast<uint8_t>(k));
        image.insert(image.end(), run.begin(), run.end());
    }
    ScanBytes(image, 9);
    EXPECT_EQ(app.foundCount, static_cast<int32_t>(kMaxSamples + 3));
    EXPECT_EQ(LogCount("\r\nFound 1283 samples."), 1);
    EXPECT_EQ(LogCount("\r\nMax of 1280 samples reached."), 3);
    EXPECT_EQ(app.sampleCount, kMaxSamples);
    EXPECT_EQ(observedRuns.size(), kMaxSamples + 3);
    EXPECT_EQ(observedRuns.back(), std::make_pair(uint32_t{18 * 1282}, uint32_t{18 * 1282 + 9}));
}

// --- The real scanner against the reference walk ------------------------

// Images that stress the search: long chains, mixed loop flags, headers
// 0xD0 and above, chains that reach the end of the image.
Bytes RandomImage(std::mt19937& random, int kind) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    size_t size = pick(4) == 0 ? 1 + pick(40) : 1 + pick(kind == 2 ? 2500 : 1500);
    Bytes image(size);
    switch (kind) {
    case 0:  // plain noise
        for (uint8_t& b : image) b = static_cast<uint8_t>(random());
        break;
    case 1: {  // a small alphabet of header shapes, chains of every length
        static const uint8_t alphabet[] = {0x00, 0x00, 0x02, 0x02, 0x80, 0x8E, 0x01, 0x03,
                                           0xD0, 0xD1, 0xD3, 0xFE, 0xFF, 0xC4, 0xC7, 0x41};
        uint32_t spread = 4 + pick(12);
        for (uint8_t& b : image) b = alphabet[pick(spread)];
        break;
    }
    case 2: {  // long 0x00 stretches with rare disturbances
        static const uint8_t rare[] = {0x01, 0x03, 0x02, 0xD0, 0xD1, 0xFE, 0x81};
        uint32_t every = 50 + pick(1000);
        for (uint8_t& b : image) b = pick(every) == 0 ? rare[pick(7)] : 0x00;
        break;
    }
    default: {  // planted chains over a background, some broken or unended
        static const uint8_t background[] = {0xFE, 0x00, 0x11};
        uint8_t fill = background[pick(3)];
        for (uint8_t& b : image) b = pick(3) == 0 ? static_cast<uint8_t>(random()) : fill;
        unsigned plants = 1 + pick(6);
        for (unsigned p = 0; p < plants; ++p) {
            size_t start = pick(static_cast<uint32_t>(size));
            unsigned blocks = pick(2) ? 1 + pick(80) : 60 + pick(10);
            uint8_t loop = pick(2) ? 0x02 : 0x00;
            size_t k = 0;
            for (; k + 1 < blocks && start + 9 * k < size; ++k)
                image[start + 9 * k] = static_cast<uint8_t>((pick(0xD0) & ~0x03) | loop);
            if (start + 9 * k < size && pick(5) != 0) image[start + 9 * k] = static_cast<uint8_t>(pick(256) | 0x01);
            if (pick(4) == 0 && blocks > 2) {
                size_t at = start + 9 * pick(blocks - 1);
                if (at < size) image[at] = pick(2) ? 0xD0 : static_cast<uint8_t>(image[at] ^ 0x02);
            }
        }
        break;
    }
    }
    return image;
}

TEST_F(ScannerTest, MatchesTheReferenceWalkOnRandomAndAdversarialImages) {
    const int32_t minimums[] = {0, 1, 9, 10, 18, 100, 567, 568, 576, -1};
    std::mt19937 random(7031);
    // The generator must give the walk something to find, and images
    // where it finds nothing, or the comparison proves little.
    int withRuns = 0, withoutRuns = 0;
    for (int trial = 0; trial < 6000; ++trial) {
        int kind = trial % 4;
        Bytes image = RandomImage(random, kind);
        int32_t minRun = trial % 7 == 0 ? static_cast<int32_t>(random() % 200)
                                        : minimums[random() % (sizeof minimums / sizeof minimums[0])];
        LiteralScanResult expected = LiteralScan(image, minRun);
        ScanBytes(image, minRun);

        std::ostringstream where;
        where << "trial " << trial << " kind " << kind << " size " << image.size() << " minRunBytes " << minRun;
        ASSERT_EQ(observedRuns, expected.runs) << where.str();
        ASSERT_EQ(app.foundCount, expected.foundCount) << where.str();
        ASSERT_EQ(tracer.stepPositions, expected.stepPositions) << where.str();
        ASSERT_EQ(app.scanPos, expected.finalScanPos) << where.str();
        ASSERT_EQ(app.lastProgressPercent, expected.lastProgressPercent) << where.str();
        for (size_t k = 0; k < expected.runs.size() && k < kMaxSamples; ++k)
            ASSERT_EQ(app.sampleBytes[k], DecodedSize(expected.runs[k].first, expected.runs[k].second)) << where.str();
        ++(expected.runs.empty() ? withoutRuns : withRuns);
    }
    EXPECT_GT(withRuns, 1000);
    EXPECT_GT(withoutRuns, 1000);
}

// --- Through the command, as the user runs it ---------------------------

using ScanCommandTest = AppTest;

TEST_F(ScanCommandTest, LoadAndRipFindsRunsAndMakesTheFirstCurrent) {
    Bytes rom = Concat({Filler(5), MakeRun(65, 0x80, 0x81, 0x23), Bytes(100, 0x00), MakeRun(70, 0x92, 0x93, 0x45)});
    LoadAndRipBytes(rom);
    EXPECT_EQ(LogCount("\r\nSearching ROM for samples..."), 1);
    EXPECT_EQ(LogCount("\r\nFound 2 samples."), 1);
    ASSERT_EQ(app.sampleCount, 2u);
    EXPECT_EQ(app.sampleBytes[0], 64u * 32);
    EXPECT_EQ(app.sampleBytes[1], 69u * 32);
    EXPECT_EQ(app.samplesReady, 1);
    EXPECT_EQ(app.currentSample, 1u);
    EXPECT_TRUE(platform.menuEnabled[IDM_SAVE_EACH]);
    ASSERT_FALSE(platform.progressHistory.empty());
    EXPECT_EQ(platform.progressHistory.back(), 0u);
    EXPECT_NE(app.romData, nullptr);
}

TEST_F(ScanCommandTest, NothingFoundUnloadsTheRom) {
    Bytes rom;
    for (int b = 0xD0; b <= 0xFF; ++b) rom.push_back(static_cast<uint8_t>(b));
    LoadAndRipBytes(rom, "noise.sfc");
    std::string log = LogText();
    size_t found = log.find("\r\nFound 0 samples.");
    size_t freed = log.find("noise.sfc freed from memory.");
    ASSERT_NE(found, std::string::npos);
    ASSERT_NE(freed, std::string::npos);
    EXPECT_LT(found, freed);
    EXPECT_EQ(app.romData, nullptr);
    EXPECT_EQ(app.samplesReady, 0);
    EXPECT_FALSE(platform.menuEnabled[IDM_SAVE_EACH]);
    EXPECT_EQ(platform.commandsRun.back(), static_cast<unsigned>(IDM_UNLOAD_ROM));
}

}  // namespace
