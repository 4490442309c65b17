#include "engine/inputs/stream_directory.h"

#include <algorithm>

#include "engine/brr/brr_block.h"
#include "engine/files/little_endian.h"

namespace {

constexpr uint32_t kFirstSampleAddress = 0x200;
constexpr uint32_t kEntryBytes = 4;
constexpr uint32_t kTableBytes = 256 * kEntryBytes;
constexpr uint32_t kNoEnd = 0xFFFFFFFFu;

// For every byte of a block, the end block of the chain that starts there
// (block-relative), found in one backward pass per block instead of one
// walk per candidate entry.
std::vector<uint32_t> ChainEnds(const uint8_t* data, uint32_t length) {
    std::vector<uint32_t> ends(length, kNoEnd);
    for (uint32_t at = length >= kBlockBytes ? length - kBlockBytes + 1 : 0; at-- > 0;) {
        if (data[at] & kEndFlag) ends[at] = at;
        else if (at + 2 * kBlockBytes <= length) ends[at] = ends[at + kBlockBytes];
    }
    return ends;
}

bool OnChainBlock(uint32_t start, uint32_t end, uint32_t address) {
    return address >= start && address <= end && (address - start) % kBlockBytes == 0;
}

class EntryReader {
public:
    EntryReader(const uint8_t* image, const TransferStream& stream)
        : image_(image), stream_(stream), ends_(stream.blocks.size()) {}

    // The entry at aram, when it describes a sample by the rules above.
    bool Read(uint32_t aram, StreamEntry& entry) {
        int holder = LatestWriter(stream_, aram);
        if (holder < 0 || LatestWriter(stream_, aram + kEntryBytes - 1) != holder) return false;
        const StreamBlock& table = stream_.blocks[static_cast<size_t>(holder)];
        const uint8_t* bytes = image_ + table.data + (aram - table.aram);
        entry = {aram, GetLe16(bytes), GetLe16(bytes + 2), 0, LatestWriter(stream_, GetLe16(bytes))};
        if (entry.start < kFirstSampleAddress || entry.block < 0) return false;
        const StreamBlock& block = stream_.blocks[static_cast<size_t>(entry.block)];
        const std::vector<uint32_t>& ends = EndsOf(static_cast<size_t>(entry.block));
        uint32_t end = ends[entry.start - block.aram];
        if (end == kNoEnd) return false;
        entry.end = block.aram + end;
        bool loopOnChain = OnChainBlock(entry.start, entry.end, entry.loopWord) ||
                           OnChainBlock(entry.start, entry.end, entry.start + entry.loopWord);
        bool coversEntry = entry.start < aram + kEntryBytes && aram < entry.end + kBlockBytes;
        return loopOnChain && !coversEntry;
    }

private:
    const std::vector<uint32_t>& EndsOf(size_t k) {
        if (ends_[k].empty()) ends_[k] = ChainEnds(image_ + stream_.blocks[k].data, stream_.blocks[k].length);
        return ends_[k];
    }

    const uint8_t* image_;
    const TransferStream& stream_;
    std::vector<std::vector<uint32_t>> ends_;
};

// Rows of entries from each 4-aligned address in [from, to) that the
// stream writes.
void ReadRows(EntryReader& reader, uint32_t from, uint32_t to, std::vector<StreamEntry>& out) {
    std::vector<StreamEntry> row;
    auto closeRow = [&out, &row]() {
        bool distinct = false;
        for (const StreamEntry& e : row) distinct = distinct || e.start != row.front().start;
        // A lone entry, or one sample named over and over, is too easily
        // read into code or data.
        if (row.size() >= 2 && distinct) out.insert(out.end(), row.begin(), row.end());
        row.clear();
    };
    StreamEntry entry{};
    for (uint32_t aram = (from + kEntryBytes - 1) / kEntryBytes * kEntryBytes; aram + kEntryBytes <= to;
         aram += kEntryBytes) {
        bool valid = reader.Read(aram, entry);
        // No sample of a row may lie over the row read so far, nor share
        // bytes with another sample of it: a driver's samples lie side by
        // side, while chains read into code or zero fill run over each other.
        for (const StreamEntry& before : row) {
            bool overRow = entry.start <= before.address && before.address < entry.end + kBlockBytes;
            bool sameSample = entry.start == before.start && entry.end == before.end;
            bool meets = entry.start <= before.end && before.start <= entry.end;
            valid = valid && !overRow && (sameSample || !meets);
        }
        if (!valid) closeRow();
        else row.push_back(entry);
    }
    closeRow();
}

}  // namespace

std::vector<StreamEntry> FindStreamEntries(const uint8_t* image, const TransferStream& stream) {
    // Without the driver's DIR code a table could be anywhere, and pointer
    // tables in code and data read as entries far too often to be believed.
    EntryReader reader(image, stream);
    std::vector<StreamEntry> entries;
    for (uint8_t page : stream.dirPages) {
        uint32_t table = page * 0x100u;
        ReadRows(reader, table, std::min<uint32_t>(table + kTableBytes, 0x10000), entries);
    }
    return entries;
}
