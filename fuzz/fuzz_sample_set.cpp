// Builds the sample set of arbitrary bytes read as an SPC snapshot or as a
// ROM image, the way voxtrawl-cli does, then decodes every sample with
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

#include "app/app_state.h"
#include "engine/brr/brr_block.h"
#include "engine/brr/brr_chip_decoder.h"
#include "engine/files/little_endian.h"
#include "engine/brr/loop_render.h"
#include "app/memory.h"
#include "app/platform.h"
#include "engine/inputs/sample_set.h"
#include "engine/scan/scanner.h"
#include "engine/inputs/spc_file.h"
#include "fuzz/fuzz_check.h"
#include "engine/formats/sample_images.h"
#include "engine/formats/sample_writer.h"
#include "engine/formats/wav_header.h"
#include "engine/formats/wav_loop.h"
#include "tests/brr_model.h"
#include "tests/chip_brr_model.h"
#include "tests/recording_platform.h"
#include "app/log.h"

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

RecordingPlatform* platform = nullptr;

uint32_t ChooseMinRun(uint8_t flags, uint8_t parameter) {
    switch ((flags >> 4) & 3) {
    case 0: return 0;
    case 1: return parameter;
    case 2: return 9u * parameter;
    default: return kInitialMinRunBytes;
    }
}

// --- Building the sets, as the command line does -----------------------

std::vector<ScannedRun>* runsInProgress = nullptr;

// The run record the command line keeps: the PCM is let go once its
// silence is noted, so that the set decodes each sample again when asked.
void CollectRun(uint32_t start, uint32_t end, RunOutcome outcome) {
    bool stored = outcome == RunOutcome::kStored;
    uint32_t slot = stored ? app.sampleCount - 1 : 0;
    bool loop = (app.romData[start] & kLoopFlag) != 0;
    runsInProgress->push_back({start, end, loop, outcome, slot, stored ? app.sampleBytes[slot] : 0});
    if (!stored) return;
    ScannedRun& run = runsInProgress->back();
    run.silent = IsSilent(app.sampleData[slot], run.bytes / 2) ? 1 : 0;
    FreeBlock(app.sampleData[slot]);
    app.sampleData[slot] = nullptr;
    app.sampleBytes[slot] = 0;
}

void BuildRom(const uint8_t* image, size_t size, uint32_t minRun, DecoderKind decoder, SampleSet& set) {
    std::vector<ScannedRun> runs;
    app.romData = static_cast<uint8_t*>(AllocBlock(size));
    FUZZ_CHECK(app.romData != nullptr);
    std::memcpy(app.romData, image, size);
    app.romSize = static_cast<uint32_t>(size);
    app.minRunBytes = static_cast<int32_t>(minRun);
    app.ripPending = 1;
    runsInProgress = &runs;
    SetRunObserver(CollectRun);
    ScanRom();
    SetRunObserver(nullptr);
    BuildRomSet("fuzz.sfc", app.romData, app.romSize, runs, decoder, set);

    FUZZ_CHECK(set.samples.size() == runs.size());
    for (size_t k = 0; k < runs.size(); ++k) {
        const SetSample& sample = set.samples[k];
        FUZZ_CHECK(runs[k].end < size && (runs[k].end - runs[k].start) % kBlockBytes == 0);
        FUZZ_CHECK(runs[k].end - runs[k].start >= minRun);
        FUZZ_CHECK(k == 0 || runs[k].start >= runs[k - 1].end + kBlockBytes);
        FUZZ_CHECK(sample.stored == (k < kMaxSamples) && runs[k].Stored() == sample.stored);
        FUZZ_CHECK(sample.DataEnd() == runs[k].end && !sample.fromDirectory);
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
    const uint8_t* aram = set.aram.data();
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
    FUZZ_CHECK(passes <= 64 && passes == sample.loopPlan.passes);
    auto passAfter = [&](size_t at) {
        std::vector<int16_t> next{pcm[at - 2], pcm[at - 1]};
        chip_model::DecodeOnto(blocks, sample.loopBlock, sample.blocks, next);
        return std::vector<int16_t>(next.begin() + 2, next.end());
    };
    for (size_t p = 1; p < passes; ++p) {
        std::vector<int16_t> next = passAfter(attack + p * pass);
        FUZZ_CHECK(std::equal(next.begin(), next.end(), pcm.begin() + attack + p * pass));
    }
    const size_t loopStart = sample.loopPlan.LoopStartSample();
    FUZZ_CHECK(loopStart >= attack && (loopStart - attack) % pass == 0 && loopStart < pcm.size());
    if (sample.loopPlan.stable) {
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
        FUZZ_CHECK(decoder == DecoderKind::Spec && !sample.stored && view.PcmBytes(sample) == 0);
        return;
    }
    FUZZ_CHECK(pcm.size() * 2 == view.PcmBytes(sample));
    Bytes blocks = set.Blocks(sample);
    FUZZ_CHECK(blocks.size() == size_t{sample.blocks} * kBlockBytes);
    size_t inData = std::min<size_t>(blocks.size(), set.dataSize - sample.dataStart);
    FUZZ_CHECK(std::memcmp(blocks.data(), set.data + sample.dataStart, inData) == 0);
    std::vector<int16_t> model;
    // The set decides once, as it is built, whether the chip's loop is rendered.
    FUZZ_CHECK(sample.chipLoop == (set.decoder == DecoderKind::Chip && sample.loopKnown));
    if (decoder == DecoderKind::Chip && sample.chipLoop) {
        CheckChipLoop(blocks, sample, pcm);
        return;
    }
    if (decoder == DecoderKind::Chip) {
        chip_model::DecodeOnto(blocks, 0, sample.blocks, model);
    } else {
        FUZZ_CHECK(sample.specBytes == 32 * (sample.blocks - 1));
        model = ModelDecodeRun(set.data, sample.dataStart, sample.DataEnd());
    }
    FUZZ_CHECK(model == pcm);
    if (decoder == set.decoder && sample.silent >= 0) FUZZ_CHECK(sample.silent == (IsSilent(pcm.data(), pcm.size()) ? 1 : 0));
}

// --- The files ---------------------------------------------------------

void CheckWavImage(const SampleSet& set, const SetSample& sample, int32_t rate) {
    Bytes image = SampleFileImage(set, sample, FileFormat{SampleFormat::Wav}, rate);
    std::vector<int16_t> pcm;
    set.Decode(sample, pcm);
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    FUZZ_CHECK(dataBytes == set.PcmBytes(sample));
    const bool smpl = sample.chipLoop && !pcm.empty();
    const uint32_t extra = smpl ? kSmplChunkBytes : 0;
    FUZZ_CHECK(image.size() == kWavHeaderSize + size_t{dataBytes} + extra);
    FUZZ_CHECK(GetLe32(image.data() + 4) == dataBytes + 36 + extra && GetLe32(image.data() + 40) == dataBytes);
    FUZZ_CHECK(std::memcmp(image.data() + 8, BuildWavHeader(dataBytes, rate) + 8, kWavHeaderSize - 8) == 0);
    for (size_t i = 0; i < pcm.size(); ++i)
        FUZZ_CHECK(static_cast<int16_t>(GetLe16(image.data() + kWavHeaderSize + 2 * i)) == pcm[i]);
    if (!smpl) return;
    const uint8_t* chunk = image.data() + kWavHeaderSize + dataBytes;
    FUZZ_CHECK(std::memcmp(chunk, "smpl", 4) == 0 && GetLe32(chunk + 4) == kSmplChunkBytes - 8);
    // The one loop's start and end frames, inside the data.
    uint32_t loopStart = GetLe32(chunk + 8 + 36 + 8), loopEnd = GetLe32(chunk + 8 + 36 + 12);
    FUZZ_CHECK(loopStart == sample.loopPlan.LoopStartSample() && loopStart <= loopEnd && loopEnd == pcm.size() - 1);
}

void CheckBrrImage(const SampleSet& set, const SetSample& sample, bool loopHeader) {
    FileFormat format{SampleFormat::Brr, loopHeader};
    Bytes image = SampleFileImage(set, sample, format, kSpcRate);
    const size_t head = loopHeader ? 2 : 0;
    Bytes blocks = set.Blocks(sample);
    FUZZ_CHECK(image.size() == head + blocks.size());
    FUZZ_CHECK(std::equal(blocks.begin(), blocks.end(), image.begin() + head));
    if (!loopHeader) return;
    uint32_t offset = GetLe16(image.data());
    FUZZ_CHECK(offset == sample.LoopOffsetBytes() && offset % kBlockBytes == 0 && offset < blocks.size());
}

// The names a rip writes, and the one-file WAVE streamed sample by sample.
void CheckPlanAndOneFile(const SampleSet& set, const FileFormat& format, int32_t rate) {
    RipPlan plan = PlanFiles(set, format);
    std::set<std::string> names;
    unsigned saved = 0;
    for (const SetSample& sample : set.samples) saved += set.Saved(sample);
    FUZZ_CHECK(plan.files.size() + plan.skippedSilent == saved);
    for (const PlannedFile& file : plan.files) {
        FUZZ_CHECK(names.insert(file.name).second);
        FUZZ_CHECK(set.Saved(*file.sample) && !(format.skipSilent && file.sample->silent == 1));
        if (file.sample->fromDirectory) FUZZ_CHECK(file.name.size() == 6);  // "XX.wav"
    }

    char* buffer = nullptr;
    size_t size = 0;
    OutputFile out;
    out.stream = open_memstream(&buffer, &size);
    FUZZ_CHECK(out.stream != nullptr);
    int error = WriteOneWav(set, plan, rate, out);
    FUZZ_CHECK(std::fclose(out.stream) == 0);
    uint64_t total = PlannedPcmBytes(set, plan);
    FUZZ_CHECK(error == 0 && size == kWavHeaderSize + total);
    FUZZ_CHECK(std::memcmp(buffer, BuildWavHeader(static_cast<uint32_t>(total), rate), kWavHeaderSize) == 0);
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

void CheckSet(const SampleSet& set, const FileFormat& format, int32_t rate) {
    SampleSet flipped = set;  // its data still points into set
    flipped.decoder = set.decoder == DecoderKind::Chip ? DecoderKind::Spec : DecoderKind::Chip;
    std::vector<const SetSample*> checked;
    for (const SetSample& sample : set.samples) {
        FUZZ_CHECK(sample.blocks >= 1 && sample.dataStart < set.dataSize);
        FUZZ_CHECK(sample.silent >= 0 || (set.decoder == DecoderKind::Spec && !sample.stored));
        // A row naming blocks already checked, with the same loop, decodes
        // alike and must be measured alike; checking it again would only
        // multiply the time (a directory may name one sample 256 times).
        auto same = std::find_if(checked.begin(), checked.end(), [&](const SetSample* other) {
            return other->dataStart == sample.dataStart && other->blocks == sample.blocks &&
                   other->stored == sample.stored && other->loopKnown == sample.loopKnown &&
                   other->loopBlock == sample.loopBlock;
        });
        if (same != checked.end()) {
            const SetSample& other = **same;
            FUZZ_CHECK(other.silent == sample.silent && other.peak == sample.peak && other.padding == sample.padding &&
                       other.chipLoop == sample.chipLoop && other.tonePeriods == sample.tonePeriods &&
                       other.loopPlan.passes == sample.loopPlan.passes &&
                       other.loopPlan.stable == sample.loopPlan.stable &&
                       other.loopPlan.LoopStartSample() == sample.loopPlan.LoopStartSample());
            continue;
        }
        checked.push_back(&sample);
        CheckDecoding(set, sample, set);
        CheckDecoding(flipped, sample, set);
        CheckWavImage(set, sample, rate);
        CheckBrrImage(set, sample, format.brrLoopHeader);
    }
    CheckPlanAndOneFile(set, format, rate);
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

void CheckSpc(const uint8_t* data, size_t size, uint8_t flags, uint32_t minRun, const FileFormat& format) {
    if (size < 2) return;
    Bytes file = SnapshotOf(data, size);
    if (flags & kChipFlag) file.resize(kSpcMinFileBytes - 1 - data[1]);
    if (file.size() >= kSpcMinFileBytes && RenderableSamples(file) > kMaxRenderableSamples) return;
    SampleSet set;
    SpcReading reading = ReadSpcSet("fuzz.spc", file, minRun, set);
    FUZZ_CHECK(reading.cutShort == (file.size() < kSpcMinFileBytes));
    if (reading.cutShort) {
        FUZZ_CHECK(set.samples.empty());
        return;
    }
    FUZZ_CHECK(set.isSpc && set.decoder == DecoderKind::Chip && set.dataSize == kAramBytes);
    FUZZ_CHECK(std::equal(set.aram.begin(), set.aram.end(), file.begin() + kSpcAramOffset));
    CheckDirectory(set, file);
    if (set.directory.source == DirectorySource::Scan) {
        FUZZ_CHECK(set.samples.size() == std::min<size_t>(reading.scannedRuns, kMaxSamples));
        FUZZ_CHECK(reading.tableFull == (reading.scannedRuns > kMaxSamples));
    } else {
        FUZZ_CHECK(set.samples.size() == set.directory.samples.size() && reading.scannedRuns == 0);
    }
    for (size_t k = 0; k < set.samples.size(); ++k) {
        const SetSample& sample = set.samples[k];
        // A scanned run's end header may sit in the last block's bytes (its
        // tail reads as zeros); a directory entry's chain lies inside.
        FUZZ_CHECK(sample.number == k + 1 && sample.DataEnd() < kAramBytes);
        if (sample.fromDirectory) FUZZ_CHECK(sample.DataEnd() + kBlockBytes <= kAramBytes);
        FUZZ_CHECK(sample.fromDirectory == (set.directory.source != DirectorySource::Scan));
        FUZZ_CHECK(set.Saved(sample) == (!sample.fromDirectory || sample.spc.sameAs < 0));
    }
    CheckSet(set, format, kSpcRate);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform = new RecordingPlatform();
    SetPlatform(platform);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const uint32_t minRun = ChooseMinRun(flags, data[1]);
    FileFormat format;
    format.skipSilent = flags & kSkipSilentFlag;
    format.brrLoopHeader = flags & kLoopHeaderFlag;

    ResetAppState();
    *platform = RecordingPlatform();
    LogClear();
    if (flags & kRomFlag) {
        if (size > 2) {
            SampleSet set;
            BuildRom(data + 2, size - 2, minRun, flags & kChipFlag ? DecoderKind::Chip : DecoderKind::Spec, set);
            CheckSet(set, format, kRomRate);
        }
    } else {
        CheckSpc(data + 2, size - 2, flags, minRun, format);
    }
    ResetAppState();
    return 0;
}
