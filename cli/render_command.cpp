// render: plays an SPC snapshot as the console would and saves what it
// sounds like as a 16-bit stereo WAVE file at 32000 Hz, and optionally the
// song's key-ons as JSON lines.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/native_path.h"
#include "cli/paths.h"
#include "cli/standard_output.h"
#include "engine/files/file_system.h"
#include "engine/inputs/open_input.h"
#include "engine/inputs/spc_file.h"
#include "engine/sound/play_length.h"
#include "engine/sound/sound_processor.h"
#include "engine/files/whole_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr double kMaxSeconds = 3600;
constexpr size_t kSliceFrames = 4096;

struct RenderOptions {
    std::string song;
    std::string out;
    std::string keyOns;
    std::string seconds;  // empty: the tag's length
};

// The 44-byte header of a 16-bit stereo WAVE file at 32000 Hz.
std::vector<uint8_t> StereoWavHeader(uint32_t dataBytes) {
    std::vector<uint8_t> header;
    auto text = [&header](const char* s) { header.insert(header.end(), s, s + 4); };
    auto number = [&header](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    text("RIFF");
    number(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    number(16, 4);
    number(1, 2);  // PCM
    number(2, 2);  // channels
    number(kFramesPerSecond, 4);
    number(kFramesPerSecond * 4, 4);
    number(4, 2);
    number(16, 2);
    text("data");
    number(dataBytes, 4);
    return header;
}

// An output of the command: a whole-file target or standard output.
struct RenderOutput {
    std::string path;
    OutputFile file;
    bool toOut = false;

    std::string Shown() const { return toOut ? "standard output" : Quoted(path); }
};

// Opens an output; 0 or an errno value (kNotAFile for a folder there).
int Open(RenderOutput& output) {
    output.toOut = output.path == kStandardOutputPath;
    if (!output.toOut) return OpenOutput(output.path, output.file);
    FlushOut();
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    output.file.stream = stdout;
    return 0;
}

int Finish(RenderOutput& output) { return output.toOut ? FinishOut() : FinishOutput(output.file); }

void Abandon(RenderOutput& output) {
    if (!output.toOut && output.file.stream) AbandonOutput(output.file);
}

// Writes each key-on as a line as the song makes it.
class KeyOnWriter : public KeyOnListener {
public:
    explicit KeyOnWriter(OutputFile& file) : file_(file) {}
    void OnKeyOn(const KeyOn& keyOn) override {
        char line[kKeyOnLineBytes];
        size_t length = FormatKeyOn(keyOn, line);
        if (!failed_) failed_ = !WriteOutput(file_, line, length);
    }
    bool Failed() const { return failed_; }

private:
    OutputFile& file_;
    bool failed_ = false;
};

// Runs the song for its length into the outputs; 0 or the errno of a failed write.
int Play(const SpcSnapshot& snapshot, const PlayLength& length, RenderOutput& wav, RenderOutput* keyOns) {
    auto sound = std::make_unique<SoundProcessor>();
    sound->Load(snapshot);
    std::unique_ptr<KeyOnWriter> writer;
    if (keyOns) {
        writer = std::make_unique<KeyOnWriter>(keyOns->file);
        sound->SetKeyOnListener(writer.get());
    }
    std::vector<uint8_t> header = StereoWavHeader(static_cast<uint32_t>(length.frames * 4));
    if (!WriteOutput(wav.file, header.data(), header.size())) return wav.file.error;
    // The DSP may hand out a few frames more than a slice asks (its lead-in
    // of silence): they wait for the next slice.
    std::vector<int16_t> frames(2 * (kSliceFrames + 2 * kRunSlackFrames));
    std::vector<uint8_t> bytes;
    size_t pending = 0;
    for (uint64_t done = 0; done < length.frames;) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kSliceFrames, length.frames - done));
        pending += sound->Run(want, frames.data() + 2 * pending);
        size_t take = std::min(want, pending);
        ApplyFade(frames.data(), take, done, length);
        bytes.resize(take * 4);
        for (size_t i = 0; i < take * 2; ++i) {
            bytes[2 * i] = static_cast<uint8_t>(frames[i]);
            bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(frames[i]) >> 8);
        }
        if (!WriteOutput(wav.file, bytes.data(), bytes.size())) return wav.file.error;
        std::copy(frames.begin() + 2 * take, frames.begin() + 2 * pending, frames.begin());
        pending -= take;
        done += take;
        if (writer && writer->Failed()) return keyOns->file.error;
    }
    return 0;
}

// Says why an output could not be written; the exit code.
int CannotWrite(const RenderOutput& output, int error) {
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", output.toOut ? "to standard output" : output.Shown().c_str(),
                 error == kNotAFile ? "not a regular file" : std::strerror(error));
    return kExitFailed;
}

// An output that is the song itself would destroy it.
bool OverwritesSong(const std::string& song, const std::string& output) {
    if (output == kStandardOutputPath || !SameFile(output, song)) return false;
    std::fprintf(stderr, "voxtrawl-cli: %s is the snapshot %s itself (or a link to it); writing there would destroy "
                         "it. Choose another output.\n",
                 Quoted(output).c_str(), Quoted(song).c_str());
    return true;
}

// The snapshot, or the exit code after saying why there is none.
int ReadSnapshot(const std::string& path, SpcSnapshot& snapshot) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason)) {
        std::fprintf(stderr, "voxtrawl-cli: cannot read %s: %s\n", Quoted(path).c_str(), reason.c_str());
        return kExitFailed;
    }
    if (IsBrrFileName(path) || !HasSpcSignature(bytes.data(), bytes.size())) {
        std::fprintf(stderr, "voxtrawl-cli: %s is not an SPC snapshot; only snapshots can be played (a ROM or a .brr "
                             "file holds no sound program to run).\n",
                     Quoted(path).c_str());
        return kExitUsage;
    }
    if (!ReadSpcSnapshot(bytes.data(), bytes.size(), snapshot)) {
        std::fprintf(stderr, "voxtrawl-cli: cannot read %s: an SPC snapshot of %zu bytes is cut short (a whole one has "
                             "at least %zu)\n",
                     Quoted(path).c_str(), bytes.size(), kSpcMinFileBytes);
        return kExitFailed;
    }
    return kExitOk;
}

int RunRender(const RenderOptions& options) {
    RenderOutput wav;
    wav.path = options.out.empty() ? NativeFromPath(PathFromNative(options.song).replace_extension(".wav")) : options.out;
    if (OverwritesSong(options.song, wav.path)) return kExitUsage;
    std::unique_ptr<RenderOutput> keyOns;
    if (!options.keyOns.empty()) {
        keyOns = std::make_unique<RenderOutput>();
        keyOns->path = options.keyOns;
        if (OverwritesSong(options.song, keyOns->path)) return kExitUsage;
        if (keyOns->path == wav.path || SameFile(keyOns->path, wav.path)) {
            std::fprintf(stderr, "voxtrawl-cli: the WAVE file and the key-on log would both go to %s.\n",
                         wav.Shown().c_str());
            return kExitUsage;
        }
    }
    auto snapshot = std::make_unique<SpcSnapshot>();
    if (int status = ReadSnapshot(options.song, *snapshot)) return status;
    PlayLength length = options.seconds.empty() ? TaggedPlayLength(*snapshot)
                                                : ChosenPlayLength(std::strtod(options.seconds.c_str(), nullptr));
    if (int error = Open(wav)) return CannotWrite(wav, error);
    if (keyOns) {
        if (int error = Open(*keyOns)) {
            Abandon(wav);
            return CannotWrite(*keyOns, error);
        }
    }
    int error = Play(*snapshot, length, wav, keyOns.get());
    RenderOutput* failed = error ? (keyOns && keyOns->file.error ? keyOns.get() : &wav) : nullptr;
    if (!error && keyOns && (error = Finish(*keyOns))) failed = keyOns.get();
    if (!error && (error = Finish(wav))) failed = &wav;
    if (!error) return kExitOk;
    Abandon(wav);
    if (keyOns) Abandon(*keyOns);
    return CannotWrite(*failed, error);
}

}  // namespace

void AddRenderCommand(CLI::App& cli, CommandAction& action) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* render = cli.add_subcommand(
        "render", "Play an SPC snapshot as the console would and save it as a 16-bit stereo WAVE file at 32000 Hz.");
    render->add_option("SONG", options->song, "The SPC snapshot to play")->required()->check(NotEmpty());
    render->add_option("-o,--out", options->out,
                       "The WAVE file (default: the snapshot's path with .wav for its extension; '-': standard output)")
        ->check(NotEmpty());
    render->add_option("--seconds", options->seconds,
                       "How long to play, 0 to 3600 (default: the tag's length then its fade, else 180)")
        ->check(DecimalSeconds(kMaxSeconds));
    render->add_option("--key-ons", options->keyOns,
                       "Also write every key-on as a JSON line to this file ('-': standard output)")
        ->check(NotEmpty());
    render->callback([options, &action]() {
        if (options->out == kStandardOutputPath && options->keyOns == kStandardOutputPath)
            throw CLI::ValidationError("--key-ons", "cannot go to standard output with the WAVE file");
        action = [options]() { return RunRender(*options); };
    });
}
