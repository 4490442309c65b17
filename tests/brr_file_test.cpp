#include <cstdint>
#include <vector>

#include "engine/inputs/brr_file.h"
#include "tests/test_support.h"

namespace {

constexpr int kRaw = -1;  // no loop header

// A file of blocks with these headers, after the loop offset when one is given.
Bytes MakeFile(int loopOffset, std::vector<uint8_t> headers) {
    Bytes file;
    if (loopOffset != kRaw) {
        file.push_back(static_cast<uint8_t>(loopOffset));
        file.push_back(static_cast<uint8_t>(loopOffset >> 8));
    }
    for (uint8_t header : headers) AppendBlock(file, header);
    return file;
}

TEST(BrrFileTest, LayoutsExtentAndLoop) {
    using L = BrrFileLoop;
    using U = BrrLoopUnknown;
    constexpr BrrFileLayout kNoHeader = BrrFileLayout::Raw, kHeader = BrrFileLayout::LoopHeader;
    struct Case {
        const char* what;
        Bytes file;
        BrrFileLayout layout;
        uint32_t blocks, ignored;
        BrrFileLoop loop;
        BrrLoopUnknown unknown;
        uint32_t loopBlock;
    } cases[] = {
        {"raw, stops", MakeFile(kRaw, {0x80, 0x80, 0x81}), kNoHeader, 3, 0, L::None, U::None, 0},
        {"raw, loops somewhere", MakeFile(kRaw, {0x82, 0x83}), kNoHeader, 2, 0, L::Unknown, U::RawLayout, 0},
        {"raw, no end block", MakeFile(kRaw, {0x80, 0x80}), kNoHeader, 2, 0, L::Unknown, U::NoEndBlock, 0},
        {"loops at block 1", MakeFile(9, {0x02, 0x92, 0x93}), kHeader, 3, 0, L::Known, U::None, 1},
        {"loops at the end block", MakeFile(18, {0x02, 0x02, 0x03}), kHeader, 3, 0, L::Known, U::None, 2},
        {"offset 0, stops", MakeFile(0, {0x00, 0x01}), kHeader, 2, 0, L::None, U::None, 0},
        {"blocks after the end", MakeFile(0, {0x02, 0x03, 0x80, 0x81}), kHeader, 2, 2, L::Known, U::None, 0},
        {"offset between blocks", MakeFile(10, {0x02, 0x03}), kHeader, 2, 0, L::Unknown, U::OffsetNotOnBlock, 0},
        {"offset into ignored blocks", MakeFile(18, {0x02, 0x03, 0x80}), kHeader, 2, 1, L::Unknown, U::OffsetPastEnd, 0},
        {"large offset", MakeFile(0xFFF9, {0x03}), kHeader, 1, 0, L::Unknown, U::OffsetPastEnd, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BrrFile file = ParseBrrFile(c.file.data(), c.file.size());
        ASSERT_TRUE(file.Ok());
        EXPECT_EQ(file.layout, c.layout);
        EXPECT_EQ(file.dataOffset, c.layout == BrrFileLayout::Raw ? 0u : 2u);
        EXPECT_EQ(file.blocks, c.blocks);
        EXPECT_EQ(file.ignoredBlocks, c.ignored);
        EXPECT_EQ(file.loop, c.loop);
        EXPECT_EQ(file.loopUnknown, c.unknown);
        EXPECT_EQ(DescribeBrrLoopUnknown(file).empty(), c.unknown == BrrLoopUnknown::None);
        if (c.loop == BrrFileLoop::Known) {
            EXPECT_EQ(file.loopBlock, c.loopBlock);
        }
    }
}

TEST(BrrFileTest, RefusedSizesNameTheSize) {
    struct Case {
        size_t size;
        BrrFileError error;
    } cases[] = {{0, BrrFileError::NoBlocks}, {2, BrrFileError::NoBlocks}, {1, BrrFileError::BadSize},
                 {10, BrrFileError::BadSize}, {17, BrrFileError::BadSize}, {100, BrrFileError::BadSize}};
    for (const Case& c : cases) {
        Bytes bytes(c.size, 0x01);
        BrrFile file = ParseBrrFile(bytes.data(), bytes.size());
        EXPECT_EQ(file.error, c.error) << c.size;
        EXPECT_NE(DescribeBrrFileError(file).find(std::to_string(c.size) + " bytes"), std::string::npos) << c.size;
    }
}

}  // namespace
