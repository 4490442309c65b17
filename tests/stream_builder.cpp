#include "tests/stream_builder.h"

#include <algorithm>
#include <random>

#include "tests/spc_builder.h"

Bytes DriverCode(unsigned pattern, uint8_t page) {
    const Bytes patterns[] = {
        {0x8F, 0x5D, 0xF2, 0x8F, page, 0xF3},
        {0xE8, 0x5D, 0xC4, 0xF2, 0xE8, page, 0xC4, 0xF3},
        {0xE8, 0x5D, 0x8D, page, 0xDA, 0xF2},
    };
    const Bytes& store = patterns[pattern];
    Bytes code = {0x20, 0xCD, 0xEF, 0xBD};  // clrp; mov x,#$EF; mov sp,x
    code.resize(4 + store.size() + 2);
    std::copy(store.begin(), store.end(), code.begin() + 4);
    code[4 + store.size()] = 0x2F;  // bra $
    code[5 + store.size()] = 0xFE;
    return code;
}

Bytes Entries(std::initializer_list<std::pair<uint16_t, uint16_t>> words) {
    Bytes out;
    for (auto [start, loop] : words) out.insert(out.end(), {uint8_t(start), uint8_t(start >> 8), uint8_t(loop), uint8_t(loop >> 8)});
    return out;
}

std::vector<uint32_t> PutStream(Bytes& image, uint32_t& at, const std::vector<Upload>& uploads, uint16_t jump) {
    std::vector<uint32_t> offsets;
    for (const Upload& up : uploads) {
        PutLe16(&image[at], static_cast<uint16_t>(up.data.size()));
        PutLe16(&image[at + 2], static_cast<uint16_t>(up.aram));
        std::copy(up.data.begin(), up.data.end(), image.begin() + at + 4);
        offsets.push_back(at + 4);
        at += 4 + static_cast<uint32_t>(up.data.size());
    }
    PutLe16(&image[at], 0);
    PutLe16(&image[at + 2], jump);
    at += 4;
    return offsets;
}

const StreamSample kStreamSamples[5] = {
    {0x4000, 6, true}, {0x4100, 4, true}, {0x4200, 5, false}, {0x5000, 3, true}, {0x5100, 2, true}};
const Bytes kTableEntries = Entries({{0x4000, 0x4012}, {0x4100, 0x0009}, {0x4200, 0x4200}});
const Bytes kMoreEntries = Entries({{0x5000, 0x5000}, {0x5100, 0x0000}});

Upload SampleBlock(std::initializer_list<unsigned> which) {
    const StreamSample& first = kStreamSamples[*which.begin()];
    Upload up{first.aram, {}};
    for (unsigned k : which) {
        up.data.resize(kStreamSamples[k].aram - first.aram, 0x00);
        Bytes brr = EncodeInstrument(kStreamSamples[k].blocks, kStreamSamples[k].loop);
        up.data.insert(up.data.end(), brr.begin(), brr.end());
    }
    return up;
}

StreamImage::StreamImage(const std::vector<std::vector<Upload>>& streams, uint16_t jump, uint32_t seed)
    : image(0x10000, 0xFE), runs(std::size(kStreamSamples), FoundRun{0, 0}) {
    std::mt19937 random(seed);
    if (seed != 0)
        for (uint8_t& byte : image) byte = static_cast<uint8_t>(random());
    uint32_t at = 0x1000;
    for (const std::vector<Upload>& stream : streams) {
        std::vector<uint32_t> offsets = PutStream(image, at, stream, jump);
        for (size_t u = 0; u < stream.size(); ++u) {
            const Upload& up = stream[u];
            for (size_t k = 0; k < std::size(kStreamSamples); ++k) {
                uint32_t offset = kStreamSamples[k].aram - up.aram;
                if (kStreamSamples[k].aram >= up.aram && offset < up.data.size())
                    runs[k] = {offsets[u] + offset, offsets[u] + offset + 9 * (kStreamSamples[k].blocks - 1)};
            }
        }
        at += 0x40;
    }
}
