#include "engine/formats/soundfont_chunks.h"

#include <algorithm>

#include "engine/files/little_endian.h"

namespace {

// Generators (SoundFont 2.01, section 8.1.2).
enum Generator : uint16_t {
    kInstrument = 41,
    kKeyRange = 43,
    kFineTune = 52,
    kSampleId = 53,
    kSampleModes = 54,
    kOverridingRootKey = 58,
};
constexpr uint16_t kLoopContinuously = 1;
constexpr uint16_t kMonoSample = 1;
constexpr size_t kNameBytes = 20;
constexpr size_t kMaxBankName = 255;
constexpr uint8_t kLastKey = 127;
constexpr uint16_t kKitBank = 128;

void Append16(ChunkBytes& out, uint16_t value) {
    uint8_t bytes[2];
    PutLe16(bytes, value);
    out.insert(out.end(), bytes, bytes + 2);
}

void Append32(ChunkBytes& out, uint32_t value) {
    uint8_t bytes[4];
    PutLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

uint16_t KeyRange(uint8_t low, uint8_t high) { return static_cast<uint16_t>(low | high << 8); }

void AppendGenerator(ChunkBytes& gens, uint16_t generator, uint16_t amount) {
    Append16(gens, generator);
    Append16(gens, amount);
}

// A bag record opens a zone at the current generator count; no modulators.
void AppendBag(ChunkBytes& bags, const ChunkBytes& gens) {
    Append16(bags, static_cast<uint16_t>(gens.size() / 4));
    Append16(bags, 0);
}

// The preset records: one per sample, then the kit.
void AppendPresets(const std::vector<SoundFontSample>& samples, ChunkBytes& phdr, ChunkBytes& pbag, ChunkBytes& pgen) {
    size_t count = samples.size();
    for (size_t i = 0; i <= count; ++i) {
        bool kit = i == count;
        AppendName(phdr, kit ? "all samples" : samples[i].name);
        Append16(phdr, static_cast<uint16_t>(kit ? 0 : i % 128));
        Append16(phdr, static_cast<uint16_t>(kit ? kKitBank : i / 128));
        Append16(phdr, static_cast<uint16_t>(pbag.size() / 4));
        phdr.resize(phdr.size() + 12, 0);  // library, genre, morphology
        AppendBag(pbag, pgen);
        AppendGenerator(pgen, kKeyRange, KeyRange(0, kLastKey));
        AppendGenerator(pgen, kInstrument, static_cast<uint16_t>(i));
    }
    AppendName(phdr, "EOP");
    Append16(phdr, 0);
    Append16(phdr, 0);
    Append16(phdr, static_cast<uint16_t>(pbag.size() / 4));
    phdr.resize(phdr.size() + 12, 0);
    AppendBag(pbag, pgen);
    AppendGenerator(pgen, 0, 0);
}

// One instrument zone playing sample index over low..high, with extra
// generators between the key range and the loop mode.
void AppendZone(const SoundFontSample& sample, size_t index, uint8_t low, uint8_t high, bool kit, ChunkBytes& ibag,
                ChunkBytes& igen, const std::vector<SoundFontGenerator>& extra = {}) {
    AppendBag(ibag, igen);
    AppendGenerator(igen, kKeyRange, KeyRange(low, high));
    for (const SoundFontGenerator& g : extra) AppendGenerator(igen, g.generator, static_cast<uint16_t>(g.amount));
    if (kit) {
        // In the kit each sample plays at its own rate on its key.
        AppendGenerator(igen, kOverridingRootKey, low);
        if (sample.correction != 0)
            AppendGenerator(igen, kFineTune, static_cast<uint16_t>(static_cast<int16_t>(-sample.correction)));
    }
    AppendGenerator(igen, kSampleModes, sample.looped ? kLoopContinuously : 0);
    AppendGenerator(igen, kSampleId, static_cast<uint16_t>(index));
}

// The instrument records: one per sample, then the kit's, one zone a key.
void AppendInstruments(const std::vector<SoundFontSample>& samples, ChunkBytes& inst, ChunkBytes& ibag,
                       ChunkBytes& igen) {
    for (size_t i = 0; i < samples.size(); ++i) {
        AppendName(inst, samples[i].name);
        Append16(inst, static_cast<uint16_t>(ibag.size() / 4));
        if (samples[i].layers.empty()) AppendZone(samples[i], i, 0, kLastKey, false, ibag, igen);
        for (const std::vector<SoundFontGenerator>& layer : samples[i].layers)
            AppendZone(samples[i], i, 0, kLastKey, false, ibag, igen, layer);
    }
    AppendName(inst, "all samples");
    Append16(inst, static_cast<uint16_t>(ibag.size() / 4));
    size_t kitSamples = std::min<size_t>(samples.size(), kLastKey - kFirstKitKey + 1);
    for (size_t k = 0; k < kitSamples; ++k) {
        uint8_t key = static_cast<uint8_t>(kFirstKitKey + k);
        AppendZone(samples[k], k, key, key, true, ibag, igen);
    }
    AppendName(inst, "EOI");
    Append16(inst, static_cast<uint16_t>(ibag.size() / 4));
    AppendBag(ibag, igen);
    AppendGenerator(igen, 0, 0);
}

void AppendSampleHeaders(const std::vector<SoundFontSample>& samples, const std::vector<uint32_t>& starts,
                         ChunkBytes& shdr) {
    for (size_t i = 0; i < samples.size(); ++i) {
        const SoundFontSample& sample = samples[i];
        uint32_t start = starts[i];
        AppendName(shdr, sample.name);
        Append32(shdr, start);
        Append32(shdr, start + sample.length);
        // An unlooped sample still gets valid loop points: its whole length.
        Append32(shdr, start + (sample.looped ? sample.loopStart : 0));
        Append32(shdr, start + (sample.looped ? sample.loopEnd : sample.length));
        Append32(shdr, sample.rate);
        shdr.push_back(sample.rootKey);
        shdr.push_back(static_cast<uint8_t>(sample.correction));
        Append16(shdr, 0);  // no linked sample
        Append16(shdr, kMonoSample);
    }
    AppendName(shdr, "EOS");
    shdr.resize(shdr.size() + 26, 0);
}

ChunkBytes TerminalModulator() { return ChunkBytes(10, 0); }

}  // namespace

void AppendChunk(ChunkBytes& out, const char* id, const ChunkBytes& body) {
    out.insert(out.end(), id, id + 4);
    Append32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) out.push_back(0);
}

ChunkBytes MakeList(const char* type, const ChunkBytes& chunks) {
    ChunkBytes body(type, type + 4);
    body.insert(body.end(), chunks.begin(), chunks.end());
    ChunkBytes list;
    AppendChunk(list, "LIST", body);
    return list;
}

std::string PrintableName(const std::string& name, size_t maxBytes) {
    std::string printable = name.substr(0, maxBytes);
    for (char& c : printable) {
        uint8_t byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte >= 0x7F) c = '_';
    }
    return printable;
}

void AppendName(ChunkBytes& out, const std::string& name) {
    std::string printable = PrintableName(name, kNameBytes - 1);
    out.insert(out.end(), printable.begin(), printable.end());
    out.resize(out.size() + kNameBytes - printable.size(), 0);
}

ChunkBytes MakeInfoList(const std::string& bankName) {
    ChunkBytes chunks;
    ChunkBytes version;
    Append16(version, 2);
    Append16(version, 1);
    AppendChunk(chunks, "ifil", version);
    const char engine[] = "EMU8000";
    AppendChunk(chunks, "isng", ChunkBytes(engine, engine + sizeof engine));
    // The name, NUL-terminated, to an even length (the padding byte counts
    // in the chunk's size here, as the format asks).
    std::string printable = PrintableName(bankName, kMaxBankName);
    ChunkBytes name(printable.begin(), printable.end());
    name.resize(name.size() + (name.size() % 2 ? 1 : 2), 0);
    AppendChunk(chunks, "INAM", name);
    return MakeList("INFO", chunks);
}

ChunkBytes MakePresetDataList(const std::vector<SoundFontSample>& samples, const std::vector<uint32_t>& starts) {
    ChunkBytes phdr, pbag, pgen, inst, ibag, igen, shdr;
    AppendPresets(samples, phdr, pbag, pgen);
    AppendInstruments(samples, inst, ibag, igen);
    AppendSampleHeaders(samples, starts, shdr);
    ChunkBytes chunks;
    AppendChunk(chunks, "phdr", phdr);
    AppendChunk(chunks, "pbag", pbag);
    AppendChunk(chunks, "pmod", TerminalModulator());
    AppendChunk(chunks, "pgen", pgen);
    AppendChunk(chunks, "inst", inst);
    AppendChunk(chunks, "ibag", ibag);
    AppendChunk(chunks, "imod", TerminalModulator());
    AppendChunk(chunks, "igen", igen);
    AppendChunk(chunks, "shdr", shdr);
    return MakeList("pdta", chunks);
}
