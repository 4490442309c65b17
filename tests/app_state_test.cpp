#include "app/app_state.h"
#include "app/memory.h"
#include "app/res/resource.h"
#include "tests/test_support.h"

namespace {

class AppStateTest : public AppTest {};

TEST_F(AppStateTest, FreeAllReleasesTheRomAndSamplesButKeepsTheSettings) {
    app.frequency = 22050;
    app.minRunBytes = 300;
    Bytes rom = Filler(20);
    Bytes run = MakeRun(70);
    rom.insert(rom.end(), run.begin(), run.end());
    LoadAndRipBytes(rom);
    ASSERT_EQ(app.sampleCount, 1u);
    FreeAll();
    EXPECT_EQ(app.romData, nullptr);
    EXPECT_EQ(app.romSize, 0u);
    EXPECT_EQ(app.sampleCount, 0u);
    EXPECT_EQ(app.sampleData[0], nullptr);
    EXPECT_EQ(platform.progress, 0u);
    EXPECT_FALSE(platform.menuEnabled[IDM_SAVE_EACH]);
    EXPECT_FALSE(platform.menuEnabled[IDM_UNLOAD_ROM]);
    EXPECT_EQ(app.frequency, 22050);
    EXPECT_EQ(app.minRunBytes, 300);
}

TEST_F(AppStateTest, FreeSamplesEmptiesAFullTable) {
    for (unsigned i = 0; i < kMaxSamples; ++i) {
        app.sampleData[i] = static_cast<int16_t*>(AllocBlock(32));
        app.sampleBytes[i] = 32;
    }
    app.sampleCount = kMaxSamples;
    FreeSamples();
    EXPECT_EQ(app.sampleCount, 0u);
    for (unsigned i = 0; i < kMaxSamples; ++i) ASSERT_EQ(app.sampleData[i], nullptr);
}

}  // namespace
