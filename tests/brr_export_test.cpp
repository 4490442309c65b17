#include "engine/formats/brr_export.h"
#include "tests/test_support.h"

namespace {

TEST(BrrExportTest, BrrFileWithAndWithoutTheLoopHeader) {
    Bytes blocks = MakeRun(3, 0x82, 0x83, 0x5A);
    Bytes plain = BuildBrrFile(blocks.data(), 3, false, 0);
    EXPECT_EQ(plain, blocks);
    Bytes looped = BuildBrrFile(blocks.data(), 3, true, 0x0112);
    ASSERT_EQ(looped.size(), blocks.size() + 2);
    EXPECT_EQ(looped[0], 0x12);
    EXPECT_EQ(looped[1], 0x01);
    EXPECT_EQ(Bytes(looped.begin() + 2, looped.end()), blocks);
}

}  // namespace
