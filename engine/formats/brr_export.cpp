#include "engine/formats/brr_export.h"

#include <cstddef>

#include "engine/brr/brr_block.h"
#include "engine/files/little_endian.h"

std::vector<uint8_t> BuildBrrFile(const uint8_t* data, uint32_t blocks, bool loopHeader, uint32_t loopOffset) {
    std::vector<uint8_t> file;
    file.reserve(static_cast<size_t>(blocks) * kBlockBytes + 2);
    if (loopHeader) {
        file.resize(2);
        PutLe16(file.data(), static_cast<uint16_t>(loopOffset));
    }
    file.insert(file.end(), data, data + static_cast<size_t>(blocks) * kBlockBytes);
    return file;
}
