#include "engine/inputs/stream_directory.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "engine/brr/brr_block.h"
#include "engine/files/little_endian.h"

namespace {

constexpr uint32_t kFirstSampleAddress = 0x200;
constexpr uint32_t kEntryBytes = 4;
constexpr uint32_t kTableBytes = 256 * kEntryBytes;
constexpr uint16_t kFar = 0xFFFF;  // more blocks than any upload holds

bool OnChainBlock(uint32_t start, uint32_t end, uint32_t address) {
    return address >= start && address <= end && (address - start) % kBlockBytes == 0;
}

class EntryReader {
public:
    EntryReader(const uint8_t* image, ChainEnds& chains, const TransferStream& stream)
        : image_(image), chains_(chains), stream_(stream), writers_(stream) {}

    const AramWriters& Writers() const { return writers_; }

    // The entry at aram, which the table block wrote last, when it
    // describes a sample by the rules above.
    bool Read(int table, uint32_t aram, StreamEntry& entry) {
        const StreamBlock& holder = stream_.blocks[static_cast<size_t>(table)];
        const uint8_t* bytes = image_ + holder.data + (aram - holder.aram);
        entry = {aram, GetLe16(bytes), GetLe16(bytes + 2), 0, writers_.At(GetLe16(bytes)), false};
        if (entry.start < kFirstSampleAddress || entry.block < 0) return false;
        // The loop word must name a block from the start on, as an address
        // or an offset; most words read from code or data do not, and are
        // let go before their chain is followed.
        bool addressFits = entry.loopWord >= entry.start && (entry.loopWord - entry.start) % kBlockBytes == 0;
        if (!addressFits && entry.loopWord % kBlockBytes != 0) return false;
        const StreamBlock& block = stream_.blocks[static_cast<size_t>(entry.block)];
        uint32_t end = 0;
        if (!chains_.EndBefore(block.data + (entry.start - block.aram), block.data + block.length, end)) return false;
        entry.end = block.aram + (end - block.data);
        entry.overwritten = !writers_.AllBy(entry.start, entry.end + kBlockBytes, entry.block);
        bool loopOnChain = OnChainBlock(entry.start, entry.end, entry.loopWord) ||
                           OnChainBlock(entry.start, entry.end, entry.start + entry.loopWord);
        bool coversEntry = entry.start < aram + kEntryBytes && aram < entry.end + kBlockBytes;
        return loopOnChain && !coversEntry;
    }

private:
    const uint8_t* image_;
    ChainEnds& chains_;
    const TransferStream& stream_;
    AramWriters writers_;
};

// An entry row being read: its entries and, for the row rules, its
// distinct samples by start (they never meet).
class Row {
public:
    // Whether the entry at the next address continues the row: its sample
    // lies over no entry of the row and is one of the row's samples or
    // meets none of them.
    bool Fits(const StreamEntry& entry) const {
        if (entries_.empty()) return true;
        bool overRow = entry.start <= entries_.back().address && entries_.front().address < entry.end + kBlockBytes;
        if (overRow) return false;
        auto after = samples_.upper_bound(entry.start);
        if (after != samples_.begin()) {
            auto before = std::prev(after);
            if (before->first == entry.start && before->second == entry.end) return true;
            if (before->second >= entry.start) return false;
        }
        return after == samples_.end() || after->first > entry.end;
    }

    void Add(const StreamEntry& entry) {
        entries_.push_back(entry);
        samples_.emplace(entry.start, entry.end);
    }

    // Ends the row, keeping it when it has two entries or more and more
    // than one sample: a lone entry, or one sample named over and over, is
    // too easily read into code or data.
    void Close(std::vector<StreamEntry>& out) {
        if (entries_.size() >= 2 && samples_.size() >= 2) out.insert(out.end(), entries_.begin(), entries_.end());
        entries_.clear();
        samples_.clear();
    }

private:
    std::vector<StreamEntry> entries_;
    std::map<uint32_t, uint32_t> samples_;  // start -> end
};

// Rows of entries from each 4-aligned address in [from, to) that the
// stream writes; an address it leaves alone ends a row.
void ReadRows(EntryReader& reader, uint32_t from, uint32_t to, std::vector<StreamEntry>& out) {
    const std::vector<AramWriters::Span>& spans = reader.Writers().Spans();
    auto span = std::upper_bound(spans.begin(), spans.end(), from,
                                 [](uint32_t at, const AramWriters::Span& s) { return at < s.begin; });
    if (span != spans.begin() && std::prev(span)->end > from) --span;
    Row row;
    uint32_t expected = from;
    StreamEntry entry{};
    for (; span != spans.end() && span->begin < to; ++span) {
        uint32_t last = std::min(to, span->end);
        for (uint32_t aram = (std::max(from, span->begin) + kEntryBytes - 1) / kEntryBytes * kEntryBytes;
             aram + kEntryBytes <= last; aram += kEntryBytes) {
            if (aram != expected) row.Close(out);
            expected = aram + kEntryBytes;
            // No sample of a row may lie over the row read so far, nor share
            // bytes with another sample of it: a driver's samples lie side by
            // side, while chains read into code or zero fill run over each other.
            if (!reader.Read(span->block, aram, entry) || !row.Fits(entry)) row.Close(out);
            else row.Add(entry);
        }
    }
    row.Close(out);
}

}  // namespace

uint16_t& ChainEnds::Steps(uint32_t at) {
    std::unique_ptr<uint16_t[]>& chunk = chunks_[at / kChunk];
    if (!chunk) chunk.reset(new uint16_t[kChunk]());
    return chunk[at % kChunk];
}

bool ChainEnds::EndBefore(uint32_t at, uint32_t limit, uint32_t& end) {
    if (at >= size_) return false;
    if (chunks_.empty()) chunks_.resize(size_ / kChunk + 1);
    // Follows the chain to an end flag, the image's end or an offset
    // already known, then fills in every offset passed.
    path_.clear();
    uint16_t tail = kFar;  // the value where the walk stopped
    for (uint32_t p = at;; p += kBlockBytes) {
        uint16_t& steps = Steps(p);
        if (steps != 0) {
            tail = steps;
            break;
        }
        if (p + kBlockBytes > size_) {
            steps = kFar;
            break;
        }
        if (image_[p] & kEndFlag) {
            tail = steps = 1;
            break;
        }
        path_.push_back(p);
        if (p + 2 * kBlockBytes > size_) break;
    }
    for (size_t k = path_.size(); k-- > 0;) {
        tail = tail >= kFar - 1 ? kFar : static_cast<uint16_t>(tail + 1);
        Steps(path_[k]) = tail;
    }
    uint16_t steps = Steps(at);
    if (steps == kFar) return false;
    end = at + (steps - 1u) * kBlockBytes;
    return end + kBlockBytes <= limit;
}

std::vector<StreamEntry> FindStreamEntries(const uint8_t* image, ChainEnds& chains, const TransferStream& stream) {
    // Without the driver's DIR code a table could be anywhere, and pointer
    // tables in code and data read as entries far too often to be believed.
    if (stream.dirPages.empty()) return {};
    EntryReader reader(image, chains, stream);
    std::vector<StreamEntry> entries;
    for (uint8_t page : stream.dirPages) {
        uint32_t table = page * 0x100u;
        ReadRows(reader, table, std::min<uint32_t>(table + kTableBytes, 0x10000), entries);
    }
    return entries;
}
