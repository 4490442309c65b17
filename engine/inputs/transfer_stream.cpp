#include "engine/inputs/transfer_stream.h"

#include <algorithm>
#include <cstring>
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
// No real upload comes near this; it bounds the work on crafted images.
constexpr size_t kMaxStoredBlocks = 1u << 20;

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

// What is known of the rest of a parse from one of its blocks on.
struct Suffix {
    uint32_t terminator;
    bool jumpUploaded;  // the jump address lies in a block from here on
};

class StreamFinder {
public:
    StreamFinder(const Image& image, std::vector<DirStore> stores)
        : image_(image), stores_(std::move(stores)), flags_(ParseFlags(image)) {}

    std::vector<TransferStream> Find() {
        std::vector<std::pair<uint32_t, uint32_t>> others;  // (first block, terminator) not accepted on their own
        for (uint32_t s = 0; s < image_.size; ++s) {
            if (!IsFirstBlock(s)) continue;
            Suffix suffix = Walk(s);
            if (!suffix.jumpUploaded) others.push_back({s, suffix.terminator});
            else if (Accept(s) && streams_.back().dirPages.empty()) streams_.pop_back();
        }
        // A later upload jumps back into the driver an earlier one brought.
        size_t drivers = streams_.size();
        for (const auto& [leaf, terminator] : others) {
            uint32_t jump = image_.Address(terminator);
            for (size_t k = 0; k < drivers; ++k) {
                int entry = LatestWriter(streams_[k], streams_[k].jump);
                const StreamBlock& code = streams_[k].blocks[static_cast<size_t>(entry)];
                if (Covers(code.aram, code.length, jump) && Accept(leaf)) {
                    streams_.back().entersStream = static_cast<int>(k);
                    streams_.back().dirPages = streams_[k].dirPages;
                    break;
                }
            }
        }
        return std::move(streams_);
    }

private:
    bool IsFirstBlock(uint32_t s) const {
        return (flags_[s] & (kReaches | kFollowed)) == kReaches && image_.Length(s) != 0;
    }

    // Follows a parse to its end, remembering for every block what lies
    // after it, so that parses merging into one are followed once.
    Suffix Walk(uint32_t first) {
        std::vector<uint32_t> path;
        uint32_t at = first;
        Suffix rest{};
        for (;;) {
            auto known = suffixes_.find(at);
            if (known != suffixes_.end()) {
                rest = known->second;
                break;
            }
            if (image_.Length(at) == 0) {
                rest = {at, false};
                break;
            }
            path.push_back(at);
            at = image_.Next(at);
        }
        uint32_t jump = image_.Address(rest.terminator);
        for (size_t k = path.size(); k-- > 0;) {
            uint32_t s = path[k];
            rest.jumpUploaded = rest.jumpUploaded || Covers(image_.Address(s), image_.Length(s), jump);
            suffixes_[s] = rest;
        }
        return rest;
    }

    // Keeps the parse from first as a stream, with the pages its own DIR
    // code stores.
    bool Accept(uint32_t first) {
        TransferStream stream{first, 0, 0, {}, {}, -1};
        uint32_t at = first;
        for (; image_.Length(at) != 0; at = image_.Next(at)) {
            if (storedBlocks_ >= kMaxStoredBlocks) return false;
            StreamBlock block{at + kHeaderBytes, image_.Length(at), image_.Address(at)};
            stream.blocks.push_back(block);
            ++storedBlocks_;
            AddPagesIn(block, stream.dirPages);
        }
        stream.terminator = at;
        stream.jump = static_cast<uint16_t>(image_.Address(at));
        std::sort(stream.dirPages.begin(), stream.dirPages.end());
        stream.dirPages.erase(std::unique(stream.dirPages.begin(), stream.dirPages.end()), stream.dirPages.end());
        streams_.push_back(std::move(stream));
        return true;
    }

    void AddPagesIn(const StreamBlock& block, std::vector<uint8_t>& pages) const {
        auto first = std::lower_bound(stores_.begin(), stores_.end(), block.data,
                                      [](const DirStore& store, uint32_t at) { return store.at < at; });
        uint32_t page = 0;
        // Only a store that lies wholly in the block is code the stream uploads.
        for (auto it = first; it != stores_.end() && it->at < block.data + block.length; ++it)
            if (DirStoreAt(image_.bytes + block.data, block.length, it->at - block.data, page)) pages.push_back(it->page);
    }

    const Image& image_;
    std::vector<DirStore> stores_;
    std::vector<uint8_t> flags_;
    std::unordered_map<uint32_t, Suffix> suffixes_;
    std::vector<TransferStream> streams_;
    size_t storedBlocks_ = 0;
};

}  // namespace

std::vector<TransferStream> FindTransferStreams(const uint8_t* image, uint32_t size) {
    Image view{image, size};
    // A stream is believed only through its driver's DIR code: an image
    // without any is passed over in one quick look.
    std::vector<DirStore> stores = FindDirStores(view);
    if (stores.empty()) return {};
    return StreamFinder(view, std::move(stores)).Find();
}

int LatestWriter(const TransferStream& stream, uint32_t aram) {
    for (size_t k = stream.blocks.size(); k-- > 0;)
        if (Covers(stream.blocks[k].aram, stream.blocks[k].length, aram)) return static_cast<int>(k);
    return -1;
}
