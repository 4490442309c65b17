// Opens arbitrary bytes as an SPC snapshot or as a ROM image through the
// one way in (OpenInputBytes), as every command does, then decodes every sample with
// both decoders and makes every file a rip could write: each sample's WAVE
// and BRR image and the one-file WAVE, streamed into memory. Checks the
// directory against what makes an entry a sample, the PCM against the two
// decoding models, and every image's sizes and contents.
//
// Input: byte 0 holds the flags below, byte 1 the minimum span's
// parameter. For an SPC, byte 2 is the DSP's DIR register and byte 3 the
// byte audio RAM is filled with; then come patches, each a little-endian
// audio RAM address, a length byte and that many bytes. For a ROM the rest
// is the image.

#include <stdio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/brr/brr_block.h"
#include "engine/brr/brr_chip_decoder.h"
#include "engine/brr/loop_render.h"
#include "engine/files/little_endian.h"
#include "engine/formats/sample_images.h"
#include "engine/formats/sample_writer.h"
#include "engine/formats/wav_header.h"
#include "engine/formats/wav_loop.h"
#include "engine/inputs/open_input.h"
#include "engine/inputs/spc_file.h"
#include "fuzz/fuzz_check.h"
#include "tests/brr_model.h"
#include "tests/chip_brr_model.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kRomFlag = 0x01;         // the rest is a ROM image, not a snapshot
constexpr uint8_t kSkipSilentFlag = 0x02;  // plan without the silent samples
constexpr uint8_t kLoopHeaderFlag = 0x04;  // BRR files start with their loop offset
constexpr uint8_t kChipFlag = 0x08;        // ROM: the chip decoder; SPC: the file is cut short
constexpr size_t kSpcFileBytes = 0x10200;  // a whole snapshot with its extra RAM
constexpr uint32_t kDirRegister = 0x5D;
constexpr int32_t kSpcRate = 32000;
constexpr int32_t kRomRate = 8000;

// What a rip is asked for besides the samples.
struct RipChoice {
    bool skipSilent = false;
    bool brrLoopHeader = false;
};

uint32_t ChooseMinRun(uint8_t flags, uint8_t parameter) {
    switch ((flags >> 4) & 3) {
    case 0: return 0;
    case 1: return parameter;
    case 2: return 9u * parameter;
    default: return kInitialMinRunBytes;
    }
}

// --- Opening the inputs ------------------------------------------------

InputOptions OptionsOf(uint32_t minRun, DecoderKind decoder) {
    InputOptions options;
    options.minRun = minRun;
    options.decoder = decoder;
    return options;
}

// The runs of a ROM image as rows: in image order, apart, long enough,
// the first kMaxSamples kept.
void OpenRom(const uint8_t* image, size_t size, uint32_t minRun, DecoderKind decoder, OpenedInput& opened) {
    opened = OpenInputBytes("fuzz.sfc", Bytes(image, image + size), OptionsOf(minRun, decoder));
    const SampleSet& set = opened.set;
    FUZZ_CHECK(opened.Ok() && set.kind == InputKind::Rom && set.decoder == decoder && set.dataSize == size);
    for (size_t k = 0; k < set.samples.size(); ++k) {
        const SetSample& sample = set.samples[k];
        uint32_t end = sample.DataEnd();
        FUZZ_CHECK(end < size && end - sample.dataStart >= minRun);
        FUZZ_CHECK(k == 0 || sample.dataStart >= set.samples[k - 1].DataEnd() + kBlockBytes);
        FUZZ_CHECK(sample.rom.stored == (k < kMaxSamples) && !sample.fromDirectory);
        FUZZ_CHECK(sample.rom.stored ? sample.rom.slot == k : std::string(sample.rom.notStored) == "limit");
    }
}

// The snapshot the patches describe; its DIR register and fill come first.
Bytes SnapshotOf(const uint8_t* data, size_t size) {
    Bytes file(kSpcFileBytes, 0);
    std::memcpy(file.data(), "SNES-SPC700 Sound File Data v0.30", 33);
    std::fill(file.begin() + kSpcAramOffset, file.begin() + kSpcAramOffset + kAramBytes, data[1]);
    file[kSpcDspOffset + kDirRegister] = data[0];
    size_t at = 2;
    while (at + 3 <= size) {
        uint32_t address = GetLe16(data + at);
        size_t length = std::min<size_t>(data[at + 2], size - at - 3);
        length = std::min<size_t>(length, kAramBytes - address);
        std::memcpy(file.data() + kSpcAramOffset + address, data + at + 3, length);
        at += 3 + data[at + 2];
    }
    return file;
}

// --- The directory -----------------------------------------------------

bool OnChain(const SpcSample& sample, uint32_t address) {
    return address >= sample.start && address <= sample.end && (address - sample.start) % kBlockBytes == 0;
}

// Every entry is a sample by the rules: a start past the direct page and
// stack, a chain reaching its first end block inside audio RAM, not
// covering the entries up to its own, a loop reading on its own chain,
// and the same words as an earlier entry noted.
void CheckDirectory(const SampleSet& set, const Bytes& file) {
    const SampleDirectory& directory = set.directory;
    const uint8_t* aram = set.data;
    if (directory.source == DirectorySource::Scan) {
        FUZZ_CHECK(directory.samples.empty());
        return;
    }
    FUZZ_CHECK(!directory.samples.empty() && directory.address % 0x100 == 0 && directory.address >= 0x200);
    if (directory.source == DirectorySource::Register)
        FUZZ_CHECK(directory.address == file[kSpcDspOffset + kDirRegister] * 0x100u);
    for (size_t k = 0; k < directory.samples.size(); ++k) {
        const SpcSample& entry = directory.samples[k];
        FUZZ_CHECK(entry.index < kMaxDirectoryEntries && (k == 0 || entry.index > directory.samples[k - 1].index));
        uint32_t at = directory.address + 4 * entry.index;
        FUZZ_CHECK(at + 4 <= kAramBytes);
        FUZZ_CHECK(entry.start == GetLe16(aram + at) && entry.loopWord == GetLe16(aram + at + 2));
        // Only unused slots lie between samples; past one (the index is
        // then beyond k), an entry must name a block of its own chain in
        // its loop word.
        for (uint32_t i = k == 0 ? 0 : directory.samples[k - 1].index + 1; i < entry.index; ++i) {
            uint16_t start = GetLe16(aram + directory.address + 4 * i);
            FUZZ_CHECK(start == 0x0000 || start == 0xFFFF);
        }
        const bool afterUnused = entry.index != k;
        if (afterUnused)
            FUZZ_CHECK(OnChain(entry, entry.loopWord) || OnChain(entry, entry.start + entry.loopWord));
        FUZZ_CHECK(entry.start >= 0x200 && entry.start <= entry.end && entry.end + kBlockBytes <= kAramBytes);
        FUZZ_CHECK((entry.end - entry.start) % kBlockBytes == 0 && (aram[entry.end] & kEndFlag));
        for (uint32_t b = entry.start; b < entry.end; b += kBlockBytes) FUZZ_CHECK(!(aram[b] & kEndFlag));
        uint32_t chainEnd = entry.end + kBlockBytes;
        FUZZ_CHECK(chainEnd <= directory.address || entry.start >= at + 4);
        for (size_t j = 0; j < k; ++j) {
            const SpcSample& before = directory.samples[j];
            FUZZ_CHECK(before.end + kBlockBytes <= at || before.start >= at + 4);
        }
        bool loops = (aram[entry.end] & kLoopFlag) != 0;
        FUZZ_CHECK(loops == (entry.loop != LoopKind::None));
        if (entry.LoopKnown()) {
            FUZZ_CHECK(OnChain(entry, entry.loopAddress));
            FUZZ_CHECK(entry.LoopStartSample() < entry.Blocks() * kSamplesPerBlock);
        }
        if (entry.sameAs >= 0) {
            FUZZ_CHECK(static_cast<uint32_t>(entry.sameAs) < entry.index);
            FUZZ_CHECK(GetLe32(aram + directory.address + 4 * entry.sameAs) == GetLe32(aram + at));
        }
    }
}

// --- Decoding ----------------------------------------------------------

// A known loop under the chip decoder: the first pass is the plain
// decoding, each later pass the loop blocks decoded from the two samples
// before it, and one pass more from the end repeats the pass the loop
// starts at (when stable). Linear in the output, so long chains stay quick.
void CheckChipLoop(const Bytes& blocks, const SetSample& sample, const std::vector<int16_t>& pcm) {
    std::vector<int16_t> plain;
    chip_model::DecodeOnto(blocks, 0, sample.blocks, plain);
    const size_t attack = size_t{kSamplesPerBlock} * sample.loopBlock, pass = plain.size() - attack;
    FUZZ_CHECK(pass > 0 && pcm.size() >= plain.size() && (pcm.size() - attack) % pass == 0);
    FUZZ_CHECK(std::equal(plain.begin(), plain.end(), pcm.begin()));
    const size_t passes = (pcm.size() - attack) / pass;
    const LoopPlan& plan = sample.measures.loopPlan;
    FUZZ_CHECK(passes <= 64 && passes == plan.passes);
    auto passAfter = [&](size_t at) {
        std::vector<int16_t> next{pcm[at - 2], pcm[at - 1]};
        chip_model::DecodeOnto(blocks, sample.loopBlock, sample.blocks, next);
        return std::vector<int16_t>(next.begin() + 2, next.end());
    };
    for (size_t p = 1; p < passes; ++p) {
        std::vector<int16_t> next = passAfter(attack + p * pass);
        FUZZ_CHECK(std::equal(next.begin(), next.end(), pcm.begin() + attack + p * pass));
    }
    const size_t loopStart = plan.LoopStartSample();
    FUZZ_CHECK(loopStart >= attack && (loopStart - attack) % pass == 0 && loopStart < pcm.size());
    if (plan.stable) {
        std::vector<int16_t> again = passAfter(pcm.size());
        FUZZ_CHECK(std::equal(again.begin(), again.end(), pcm.begin() + loopStart));
    }
}

// A sample's PCM by the decoder of view (the set as built, or a copy with
// the other decoder), against the two models.
void CheckDecoding(const SampleSet& view, const SetSample& sample, const SampleSet& set) {
    const DecoderKind decoder = view.decoder;
    std::vector<int16_t> pcm;
    bool decoded = view.Decode(sample, pcm);
    if (!decoded) {
        FUZZ_CHECK(decoder == DecoderKind::Spec && !sample.rom.stored && view.PcmBytes(sample) == 0);
        return;
    }
    FUZZ_CHECK(pcm.size() * 2 == view.PcmBytes(sample));
    Bytes blocks = set.Blocks(sample);
    FUZZ_CHECK(blocks.size() == size_t{sample.blocks} * kBlockBytes);
    size_t inData = std::min<size_t>(blocks.size(), set.dataSize - sample.dataStart);
    FUZZ_CHECK(std::memcmp(blocks.data(), set.data + sample.dataStart, inData) == 0);
    std::vector<int16_t> model;
    // The set decides once, as it is built, whether the chip's loop is rendered.
    const SampleMeasures& measures = sample.measures;
    FUZZ_CHECK(measures.chipLoop == (set.decoder == DecoderKind::Chip && sample.loopKnown));
    if (decoder == DecoderKind::Chip && measures.chipLoop) {
        CheckChipLoop(blocks, sample, pcm);
        return;
    }
    if (decoder == DecoderKind::Chip) {
        chip_model::DecodeOnto(blocks, 0, sample.blocks, model);
    } else {
        FUZZ_CHECK(sample.rom.specBytes == 32 * (sample.blocks - 1));
        model = ModelDecodeRun(set.data, sample.dataStart, sample.DataEnd());
    }
    FUZZ_CHECK(model == pcm);
    if (decoder == set.decoder && measures.silent >= 0)
        FUZZ_CHECK(measures.silent == (IsSilent(pcm.data(), pcm.size()) ? 1 : 0));
}

// --- The files ---------------------------------------------------------

void CheckWavImage(const SampleSet& set, const SetSample& sample, int32_t rate) {
    WriteSettings settings;
    settings.rate = rate;
    Bytes image = WavImage(set, sample, settings);
    std::vector<int16_t> pcm;
    set.Decode(sample, pcm);
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    FUZZ_CHECK(dataBytes == set.PcmBytes(sample));
    const bool smpl = sample.measures.chipLoop && !pcm.empty();
    const uint32_t extra = smpl ? kSmplChunkBytes : 0;
    FUZZ_CHECK(image.size() == kWavHeaderSize + size_t{dataBytes} + extra);
    FUZZ_CHECK(GetLe32(image.data() + 4) == dataBytes + 36 + extra && GetLe32(image.data() + 40) == dataBytes);
    FUZZ_CHECK(std::memcmp(image.data() + 8, BuildWavHeader(dataBytes, rate).data() + 8, kWavHeaderSize - 8) == 0);
    for (size_t i = 0; i < pcm.size(); ++i)
        FUZZ_CHECK(static_cast<int16_t>(GetLe16(image.data() + kWavHeaderSize + 2 * i)) == pcm[i]);
    if (!smpl) return;
    const uint8_t* chunk = image.data() + kWavHeaderSize + dataBytes;
    FUZZ_CHECK(std::memcmp(chunk, "smpl", 4) == 0 && GetLe32(chunk + 4) == kSmplChunkBytes - 8);
    // The one loop's start and end frames, inside the data.
    uint32_t loopStart = GetLe32(chunk + 8 + 36 + 8), loopEnd = GetLe32(chunk + 8 + 36 + 12);
    FUZZ_CHECK(loopStart == sample.measures.loopPlan.LoopStartSample() && loopStart <= loopEnd && loopEnd == pcm.size() - 1);
}

void CheckBrrImage(const SampleSet& set, const SetSample& sample, bool loopHeader) {
    WriteSettings settings;
    settings.brrLoopHeader = loopHeader;
    Bytes image = BrrImage(set, sample, settings);
    const size_t head = loopHeader ? 2 : 0;
    Bytes blocks = set.Blocks(sample);
    FUZZ_CHECK(image.size() == head + blocks.size());
    FUZZ_CHECK(std::equal(blocks.begin(), blocks.end(), image.begin() + head));
    if (!loopHeader) return;
    uint32_t offset = GetLe16(image.data());
    FUZZ_CHECK(offset == sample.LoopOffsetBytes() && offset % kBlockBytes == 0 && offset < blocks.size());
}

// The names a rip writes, and the one-file WAVE streamed sample by sample.
void CheckPlanAndOneFile(const SampleSet& set, const RipChoice& choice, int32_t rate) {
    RipPlan plan = PlanFiles(set, *FindFileFormat("wav"), choice.skipSilent);
    std::set<std::string> names;
    unsigned saved = 0;
    for (const SetSample& sample : set.samples) saved += set.Saved(sample);
    FUZZ_CHECK(plan.files.size() + plan.skippedSilent == saved);
    for (const PlannedFile& file : plan.files) {
        FUZZ_CHECK(names.insert(file.name).second);
        FUZZ_CHECK(set.Saved(*file.sample) && !(choice.skipSilent && file.sample->measures.silent == 1));
        if (file.sample->fromDirectory) FUZZ_CHECK(file.name.size() == 6);  // "XX.wav"
    }

    char* buffer = nullptr;
    size_t size = 0;
    OutputFile out;
    out.stream = open_memstream(&buffer, &size);
    FUZZ_CHECK(out.stream != nullptr);
    WriteSettings settings;
    settings.rate = rate;
    int error = WriteJoinedWav(set, PlannedSamples(plan), settings, out);
    FUZZ_CHECK(std::fclose(out.stream) == 0);
    uint64_t total = 0;
    for (const PlannedFile& file : plan.files) total += set.PcmBytes(*file.sample);
    FUZZ_CHECK(error == 0 && size == kWavHeaderSize + total);
    FUZZ_CHECK(std::memcmp(buffer, BuildWavHeader(static_cast<uint32_t>(total), rate).data(), kWavHeaderSize) == 0);
    size_t at = kWavHeaderSize;
    std::vector<int16_t> pcm;
    for (const PlannedFile& file : plan.files) {
        if (!set.Decode(*file.sample, pcm)) continue;
        Bytes bytes;
        AppendPcm(bytes, pcm.data(), pcm.size());
        FUZZ_CHECK(bytes.empty() || std::memcmp(buffer + at, bytes.data(), bytes.size()) == 0);
        at += bytes.size();
    }
    FUZZ_CHECK(at == size);
    free(buffer);
}

// The set's bytes read by the other decoder (a ROM's samples with either).
void FlipDecoder(const SampleSet& set, SampleSet& flipped) {
    flipped.kind = set.kind;
    flipped.data = set.data;
    flipped.dataSize = set.dataSize;
    flipped.decoder = set.decoder == DecoderKind::Chip ? DecoderKind::Spec : DecoderKind::Chip;
}

void CheckSet(const SampleSet& set, const RipChoice& choice, int32_t rate) {
    SampleSet flipped;
    FlipDecoder(set, flipped);
    std::vector<const SetSample*> checked;
    for (const SetSample& sample : set.samples) {
        FUZZ_CHECK(sample.blocks >= 1 && sample.dataStart < set.dataSize);
        FUZZ_CHECK(sample.measures.silent >= 0 || (set.decoder == DecoderKind::Spec && !sample.rom.stored));
        // A row naming blocks already checked, with the same loop, decodes
        // alike and must be measured alike; checking it again would only
        // multiply the time (a directory may name one sample 256 times).
        auto same = std::find_if(checked.begin(), checked.end(), [&](const SetSample* other) {
            return other->dataStart == sample.dataStart && other->blocks == sample.blocks &&
                   other->rom.stored == sample.rom.stored && other->loopKnown == sample.loopKnown &&
                   other->loopBlock == sample.loopBlock;
        });
        if (same != checked.end()) {
            const SampleMeasures& other = (*same)->measures;
            const SampleMeasures& mine = sample.measures;
            FUZZ_CHECK(other.silent == mine.silent && other.peak == mine.peak && other.padding == mine.padding &&
                       other.chipLoop == mine.chipLoop && other.tonePeriods == mine.tonePeriods &&
                       other.loopPlan.passes == mine.loopPlan.passes && other.loopPlan.stable == mine.loopPlan.stable &&
                       other.loopPlan.LoopStartSample() == mine.loopPlan.LoopStartSample());
            continue;
        }
        checked.push_back(&sample);
        CheckDecoding(set, sample, set);
        CheckDecoding(flipped, sample, set);
        CheckWavImage(set, sample, rate);
        CheckBrrImage(set, sample, choice.brrLoopHeader);
    }
    CheckPlanAndOneFile(set, choice, rate);
}

// A few bytes of patches can make a directory of 256 entries that each
// render 64 passes of all of audio RAM: gigabytes of output whose cost is
// linear, not a hang, and far beyond what the checks below get through in
// a fuzzer's timeout. Such snapshots are left out, by the most samples
// their directory could render (a loop whose block has filter 0 repeats
// after one pass).
constexpr uint64_t kMaxRenderableSamples = uint64_t{1} << 23;

uint64_t RenderableSamples(const Bytes& file) {
    const uint8_t* aram = file.data() + kSpcAramOffset;
    SampleDirectory directory = FindSampleDirectory(aram, file.data() + kSpcDspOffset);
    uint64_t total = 0;
    for (const SpcSample& entry : directory.samples) {
        if (entry.sameAs >= 0) continue;
        uint64_t samples = uint64_t{entry.Blocks()} * kSamplesPerBlock;
        bool repeats = entry.LoopKnown() && (aram[entry.loopAddress] & 0x0C) != 0;
        total += repeats ? samples * kMaxLoopPasses : samples;
    }
    return total;
}

void CheckSpc(const uint8_t* data, size_t size, uint8_t flags, uint32_t minRun, const RipChoice& choice) {
    if (size < 2) return;
    Bytes file = SnapshotOf(data, size);
    if (flags & kChipFlag) file.resize(kSpcMinFileBytes - 1 - data[1]);
    if (file.size() >= kSpcMinFileBytes && RenderableSamples(file) > kMaxRenderableSamples) return;
    OpenedInput opened = OpenInputBytes("fuzz.spc", file, OptionsOf(minRun, DecoderKind::Chip));
    const SampleSet& set = opened.set;
    const bool cutShort = file.size() < kSpcMinFileBytes;
    FUZZ_CHECK(opened.Ok() == !cutShort && set.kind == InputKind::Spc);
    if (cutShort) {
        FUZZ_CHECK(set.samples.empty());
        return;
    }
    FUZZ_CHECK(set.decoder == DecoderKind::Chip && set.dataSize == kAramBytes);
    FUZZ_CHECK(std::equal(set.data, set.data + kAramBytes, file.begin() + kSpcAramOffset));
    CheckDirectory(set, file);
    const bool tableFull = std::find(opened.log.begin(), opened.log.end(), "\r\nMax of 1280 samples reached.") !=
                           opened.log.end();
    if (set.directory.source == DirectorySource::Scan) {
        size_t runs = 0;
        FindRuns(set.data, kAramBytes, minRun, [&runs](const FoundRun&) { ++runs; }, nullptr);
        FUZZ_CHECK(set.samples.size() == std::min<size_t>(runs, kMaxSamples));
        FUZZ_CHECK(tableFull == (runs > kMaxSamples));
    } else {
        FUZZ_CHECK(set.samples.size() == set.directory.samples.size() && !tableFull);
    }
    for (size_t k = 0; k < set.samples.size(); ++k) {
        const SetSample& sample = set.samples[k];
        // A scanned run's end header may sit in the last block's bytes (its
        // tail reads as zeros); a directory entry's chain lies inside.
        FUZZ_CHECK(sample.number == k + 1 && sample.DataEnd() < kAramBytes);
        if (sample.fromDirectory) FUZZ_CHECK(sample.DataEnd() + kBlockBytes <= kAramBytes);
        FUZZ_CHECK(sample.fromDirectory == (set.directory.source != DirectorySource::Scan));
        FUZZ_CHECK(set.Saved(sample) == (!sample.fromDirectory || sample.entry.sameAs < 0));
    }
    CheckSet(set, choice, kSpcRate);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const uint32_t minRun = ChooseMinRun(flags, data[1]);
    RipChoice choice;
    choice.skipSilent = flags & kSkipSilentFlag;
    choice.brrLoopHeader = flags & kLoopHeaderFlag;
    if (flags & kRomFlag) {
        // An image that starts as a snapshot opens as one: the other branch checks those.
        if (size > 2 && !HasSpcSignature(data + 2, size - 2)) {
            OpenedInput opened;
            OpenRom(data + 2, size - 2, minRun, flags & kChipFlag ? DecoderKind::Chip : DecoderKind::Spec, opened);
            CheckSet(opened.set, choice, kRomRate);
        }
    } else {
        CheckSpc(data + 2, size - 2, flags, minRun, choice);
    }
    return 0;
}
