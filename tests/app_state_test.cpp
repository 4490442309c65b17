#include "core/app_state.h"
#include "core/memory.h"
#include "res/resource.h"
#include "tests/test_support.h"

namespace {

class AppStateTest : public AppTest {};

TEST_F(AppStateTest, FreeAllOnAFreshStartKeepsTheInitialValues) {
    FreeAll();
    EXPECT_EQ(app.romData, nullptr);
    EXPECT_EQ(app.currentSample, 1u);
    EXPECT_EQ(app.frequency, 8000);
    EXPECT_EQ(app.minRunBytes, 568);
    EXPECT_EQ(platform.progress, 0u);
    EXPECT_FALSE(platform.menuEnabled[IDM_SAVE_EACH]);
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
