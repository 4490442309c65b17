#include "engine/inputs/transfer_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <numeric>
#include <queue>
#include <unordered_map>

#include "engine/files/little_endian.h"
#include "engine/inputs/spc_file.h"

namespace {

constexpr uint32_t kHeaderBytes = 4;
// Code never runs from the direct page or the stack page.
constexpr uint32_t kFirstCodeAddress = 0x200;
// The boot loader's own registers and ports: an upload over them would
// break the transfer it is part of.
constexpr uint32_t kIoStart = 0xF0;
constexpr uint32_t kIoEnd = 0x100;
// No real upload comes near these; they bound the work on crafted images.
constexpr size_t kMaxStoredBlocks = 1u << 20;
// Parses that merge share their later blocks: copies of blocks another
// stream already holds may number a few times the blocks held once.
constexpr size_t kSharedPerBlock = 4;
constexpr size_t kSharedSlack = 1u << 16;

struct Image {
    const uint8_t* bytes;
    uint32_t size;

    uint32_t Length(uint32_t at) const { return GetLe16(bytes + at); }
    uint32_t Address(uint32_t at) const { return GetLe16(bytes + at + 2); }
    uint32_t Next(uint32_t at) const { return at + kHeaderBytes + Length(at); }
};

bool Covers(uint32_t aram, uint32_t length, uint32_t address) { return address >= aram && address < aram + length; }

// Per image offset: whether a parse from there reaches a zero-length
// block whose jump address can hold code, and whether a block of such a
// parse ends there.
constexpr uint8_t kReaches = 1;
constexpr uint8_t kFollowed = 2;

// Each block leads to exactly one next, further on, so one backward pass
// decides every offset.
std::vector<uint8_t> ParseFlags(const Image& image) {
    std::vector<uint8_t> flags(image.size, 0);
    for (uint32_t s = image.size >= kHeaderBytes ? image.size - kHeaderBytes + 1 : 0; s-- > 0;) {
        uint32_t length = image.Length(s);
        uint32_t aram = image.Address(s);
        if (length == 0) {
            flags[s] = aram >= kFirstCodeAddress ? kReaches : 0;
            continue;
        }
        uint64_t next = static_cast<uint64_t>(s) + kHeaderBytes + length;
        bool writesPorts = aram < kIoEnd && aram + length > kIoStart;
        if (aram + length <= 0x10000 && !writesPorts && next + kHeaderBytes <= image.size) {
            flags[s] = flags[next] & kReaches;
            if (flags[s]) flags[next] |= kFollowed;
        }
    }
    return flags;
}

// A store to DIR somewhere in the image.
struct DirStore {
    uint32_t at;
    uint8_t page;
};

// A set of DIR pages, one bit each.
using PageSet = std::array<uint64_t, 4>;

std::vector<DirStore> FindDirStores(const Image& image) {
    std::vector<DirStore> stores;
    uint32_t page = 0;
    // Every pattern holds the register number 0x5D as its second byte.
    const uint8_t* end = image.bytes + image.size;
    for (const uint8_t* p = image.bytes + 1; p < end; ++p) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0x5D, static_cast<size_t>(end - p)));
        if (!p) break;
        uint32_t at = static_cast<uint32_t>(p - image.bytes) - 1;
        if (DirStoreAt(image.bytes, image.size, at, page) && page >= 2) stores.push_back({at, static_cast<uint8_t>(page)});
    }
    return stores;
}

// Set bits in a word, without a library call where the target lacks an
// instruction for it.
uint32_t BitCount(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<uint32_t>((x * 0x0101010101010101ull) >> 56);
}

// What is known of the rest of a parse from each offset that reaches a
// terminator on: kept densely, in image order, for those offsets only.
class ParseSuffixes {
public:
    ParseSuffixes(const Image& image, const std::vector<uint8_t>& flags, const PlacesSample& placesSample)
        : bits_((image.size + 63) / 64, 0), before_(bits_.size(), 0) {
        for (uint32_t s = 0; s < image.size; ++s)
            if (flags[s] & kReaches) bits_[s / 64] |= uint64_t{1} << (s % 64);
        uint32_t count = 0;
        for (size_t w = 0; w < bits_.size(); ++w) {
            before_[w] = count;
            count += static_cast<uint32_t>(BitCount(bits_[w]));
        }
        terminator_.resize(count);
        blocks_.resize(count);
        marks_.resize(count);
        // Each block leads to one next further on, which reaches too.
        for (uint32_t s = image.size; s-- > 0;) {
            if (!(flags[s] & kReaches)) continue;
            uint32_t i = Index(s);
            if (image.Length(s) == 0) {
                terminator_[i] = s;
                continue;
            }
            uint32_t next = Index(image.Next(s));
            terminator_[i] = terminator_[next];
            blocks_[i] = blocks_[next] + 1;
            bool jumpUploaded = Covers(image.Address(s), image.Length(s), image.Address(terminator_[i]));
            bool places = image.Length(s) >= kBrrBlockBytes && (!placesSample || placesSample(s + 4, image.Length(s)));
            marks_[i] = static_cast<uint8_t>((marks_[next] & (kJumpUploaded | kPlacesSample)) |
                                             (jumpUploaded ? kJumpUploaded : 0) | (places ? kPlacesSample : 0));
        }
    }

    uint32_t Terminator(uint32_t s) const { return terminator_[Index(s)]; }
    // Blocks from s to the terminator, s included.
    uint32_t Blocks(uint32_t s) const { return blocks_[Index(s)]; }
    // The jump address lies in a block from s on.
    bool JumpUploaded(uint32_t s) const { return marks_[Index(s)] & kJumpUploaded; }
    // A block from s on can place a sample.
    bool PlacesSampleFrom(uint32_t s) const { return marks_[Index(s)] & kPlacesSample; }
    // An accepted stream holds the block at s, and so all after it.
    bool Kept(uint32_t s) const { return marks_[Index(s)] & kKept; }
    void Keep(uint32_t s) { marks_[Index(s)] |= kKept; }

private:
    static constexpr uint8_t kJumpUploaded = 1;
    static constexpr uint8_t kPlacesSample = 2;
    static constexpr uint8_t kKept = 4;
    static constexpr uint32_t kBrrBlockBytes = 9;

    // The rank of a reaching offset among them.
    uint32_t Index(uint32_t s) const {
        uint64_t below = bits_[s / 64] & ((uint64_t{1} << (s % 64)) - 1);
        return before_[s / 64] + BitCount(below);
    }

    std::vector<uint64_t> bits_;    // the offsets that reach
    std::vector<uint32_t> before_;  // reaching offsets before each word of bits_
    std::vector<uint32_t> terminator_;
    std::vector<uint32_t> blocks_;
    std::vector<uint8_t> marks_;
};

class StreamFinder {
public:
    StreamFinder(const Image& image, std::vector<DirStore> stores, const PlacesSample& placesSample)
        : image_(image), stores_(std::move(stores)), flags_(ParseFlags(image)), suffixes_(image, flags_, placesSample) {}

    std::vector<TransferStream> Find() {
        std::vector<uint32_t> others;  // first blocks not accepted on their own
        for (uint32_t s = 0; s < image_.size; ++s) {
            if (!IsFirstBlock(s)) continue;
            if (!suffixes_.JumpUploaded(s)) others.push_back(s);
            else if (Accept(s, true) && streams_.back().dirPages.empty()) streams_.pop_back();
        }
        // A later upload jumps back into the driver an earlier one brought:
        // the first driver whose entry block holds its jump address. One
        // that places no sample only repeats what its driver says.
        std::vector<int> entering = FirstDriverAt();
        for (uint32_t leaf : others) {
            int driver = entering[image_.Address(suffixes_.Terminator(leaf))];
            if (driver < 0 || !suffixes_.PlacesSampleFrom(leaf) || !Accept(leaf, false)) continue;
            streams_.back().entersStream = driver;
            streams_.back().dirPages = streams_[static_cast<size_t>(driver)].dirPages;
        }
        return std::move(streams_);
    }

private:
    bool IsFirstBlock(uint32_t s) const {
        return (flags_[s] & (kReaches | kFollowed)) == kReaches && image_.Length(s) != 0;
    }

    // For every audio RAM address, the first stream accepted so far whose
    // entry block (the latest to write its jump address) holds it, or -1.
    // Each address is given once: a free-address chain skips those given.
    std::vector<int> FirstDriverAt() const {
        std::vector<int> driver(0x10000, -1);
        std::vector<uint32_t> free(0x10001);
        std::iota(free.begin(), free.end(), 0u);
        auto nextFree = [&free](uint32_t aram) {
            while (free[aram] != aram) aram = free[aram] = free[free[aram]];
            return aram;
        };
        for (size_t k = 0; k < streams_.size(); ++k) {
            const std::vector<StreamBlock>& blocks = streams_[k].blocks;
            auto entry = std::find_if(blocks.rbegin(), blocks.rend(), [&](const StreamBlock& b) {
                return Covers(b.aram, b.length, streams_[k].jump);
            });
            if (entry == blocks.rend()) continue;
            for (uint32_t aram = nextFree(entry->aram); aram < entry->aram + entry->length; aram = nextFree(aram)) {
                driver[aram] = static_cast<int>(k);
                free[aram] = aram + 1;
            }
        }
        return driver;
    }

    // Keeps the parse from first as a stream, with the pages its own DIR
    // code stores when ownPages.
    bool Accept(uint32_t first, bool ownPages) {
        const uint32_t terminator = suffixes_.Terminator(first);
        size_t fresh = 0;
        uint32_t at = first;
        for (; at != terminator && !suffixes_.Kept(at); at = image_.Next(at)) ++fresh;
        size_t total = fresh + (at == terminator ? 0 : suffixes_.Blocks(at));
        if (storedBlocks_ + total > kMaxStoredBlocks ||
            sharedBlocks_ + (total - fresh) > kSharedPerBlock * (storedBlocks_ - sharedBlocks_ + fresh) + kSharedSlack)
            return false;
        storedBlocks_ += total;
        sharedBlocks_ += total - fresh;
        TransferStream stream{first, 0, 0, {}, {}, -1};
        stream.blocks.reserve(total);
        PageSet pages{};
        for (at = first; image_.Length(at) != 0; at = image_.Next(at)) {
            StreamBlock block{at + kHeaderBytes, image_.Length(at), image_.Address(at)};
            stream.blocks.push_back(block);
            suffixes_.Keep(at);
            if (!ownPages) continue;
            const PageSet& in = PagesIn(block);
            for (size_t w = 0; w < pages.size(); ++w) pages[w] |= in[w];
        }
        stream.terminator = at;
        stream.jump = static_cast<uint16_t>(image_.Address(at));
        for (uint32_t w = 0; w < pages.size(); ++w) {
            uint32_t page = w * 64;
            for (uint64_t rest = pages[w]; rest != 0; rest >>= 1, ++page)
                if (rest & 1) stream.dirPages.push_back(static_cast<uint8_t>(page));
        }
        streams_.push_back(std::move(stream));
        return true;
    }

    // The pages stored by code lying wholly in the block. Blocks that many
    // parses share are read once when they hold many stores.
    const PageSet& PagesIn(const StreamBlock& block) {
        auto first = std::lower_bound(stores_.begin(), stores_.end(), block.data,
                                      [](const DirStore& store, uint32_t at) { return store.at < at; });
        auto last = std::lower_bound(first, stores_.end(), block.data + block.length,
                                     [](const DirStore& store, uint32_t at) { return store.at < at; });
        constexpr std::ptrdiff_t kFewStores = 16;
        PageSet* pages = &scratch_;
        if (last - first > kFewStores) {
            auto [known, added] = blockPages_.try_emplace(block.data);
            if (!added) return known->second;
            pages = &known->second;
        }
        *pages = PageSet{};
        uint32_t page = 0;
        for (auto it = first; it != last; ++it)
            if (DirStoreAt(image_.bytes + block.data, block.length, it->at - block.data, page))
                (*pages)[page / 64] |= uint64_t{1} << (page % 64);
        return *pages;
    }

    const Image& image_;
    std::vector<DirStore> stores_;
    std::vector<uint8_t> flags_;
    ParseSuffixes suffixes_;
    std::unordered_map<uint32_t, PageSet> blockPages_;  // by data offset, for blocks with many stores
    PageSet scratch_{};
    std::vector<TransferStream> streams_;
    size_t storedBlocks_ = 0;
    size_t sharedBlocks_ = 0;  // of those, copies of blocks kept before
};

}  // namespace

std::vector<TransferStream> FindTransferStreams(const uint8_t* image, uint32_t size) {
    return FindTransferStreams(image, size, PlacesSample());
}

std::vector<TransferStream> FindTransferStreams(const uint8_t* image, uint32_t size, const PlacesSample& placesSample) {
    Image view{image, size};
    // A stream is believed only through its driver's DIR code: an image
    // without any is passed over in one quick look.
    std::vector<DirStore> stores = FindDirStores(view);
    if (stores.empty()) return {};
    return StreamFinder(view, std::move(stores), placesSample).Find();
}

AramWriters::AramWriters(const TransferStream& stream) {
    // Sweeps the address boundaries; the latest block covering an
    // interval is the highest index among those open there.
    std::vector<uint32_t> bounds;
    std::vector<int> byStart(stream.blocks.size());
    for (size_t k = 0; k < stream.blocks.size(); ++k) {
        bounds.push_back(stream.blocks[k].aram);
        bounds.push_back(stream.blocks[k].aram + stream.blocks[k].length);
        byStart[k] = static_cast<int>(k);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&stream](int a, int b) { return stream.blocks[a].aram < stream.blocks[b].aram; });
    std::priority_queue<int> open;
    size_t next = 0;
    for (size_t i = 0; i + 1 < bounds.size(); ++i) {
        uint32_t at = bounds[i];
        for (; next < byStart.size() && stream.blocks[static_cast<size_t>(byStart[next])].aram <= at; ++next)
            open.push(byStart[next]);
        while (!open.empty()) {
            const StreamBlock& top = stream.blocks[static_cast<size_t>(open.top())];
            if (top.aram + top.length > at) break;
            open.pop();
        }
        if (open.empty()) continue;
        if (!spans_.empty() && spans_.back().end == at && spans_.back().block == open.top()) spans_.back().end = bounds[i + 1];
        else spans_.push_back({at, bounds[i + 1], open.top()});
    }
}

const AramWriters::Span* AramWriters::Find(uint32_t aram) const {
    auto after = std::upper_bound(spans_.begin(), spans_.end(), aram,
                                  [](uint32_t address, const Span& span) { return address < span.begin; });
    if (after == spans_.begin() || std::prev(after)->end <= aram) return nullptr;
    return &*std::prev(after);
}

int AramWriters::At(uint32_t aram) const {
    const Span* span = Find(aram);
    return span ? span->block : -1;
}

bool AramWriters::AllBy(uint32_t begin, uint32_t end, int block) const {
    const Span* span = Find(begin);
    return span && span->block == block && end <= span->end;
}
