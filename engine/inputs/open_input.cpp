#include "engine/inputs/open_input.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "engine/files/file_system.h"
#include "engine/inputs/input_kinds.h"
#include "engine/log/shown_text.h"

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    bool failed = std::ferror(file) != 0;
    if (failed) reason = std::strerror(errno);
    std::fclose(file);
    return !failed;
}

namespace {

// Whether a regular file starts as an SPC snapshot. A file that cannot be
// read is left to the loader, which reports it.
bool LooksLikeSpc(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[32] = {};
    file.read(head, sizeof head);
    return HasSpcSignature(reinterpret_cast<const uint8_t*>(head), static_cast<size_t>(file.gcount()));
}

// --decoder spec and --mapping on an input that is not a ROM: refused.
bool RefuseRomOnly(InputKind kind, const InputOptions& options, OpenedInput& opened) {
    const char* romOnly = options.decoderGiven && options.decoder == DecoderKind::Spec ? "--decoder spec"
                          : options.mappingGiven                                        ? "--mapping"
                                                                                        : nullptr;
    if (!romOnly) return false;
    const char* what = kind == InputKind::Brr
                           ? "a BRR file, whose sample is decoded by the chip decoder"
                           : "an SPC snapshot, whose samples are decoded by the chip decoder at their audio RAM addresses";
    return !Fail(opened, OpenStatus::kRefused,
                 Quoted(opened.set.path) + " is " + what + "; " + romOnly + " applies to ROMs only.");
}

void NoteLoaded(OpenedInput& opened, int milliseconds) {
    Note(opened, "\r\nYay!\r\nROM %s loaded ok.\r\n\r\nStats:\r\n%d bytes\r\nTook %d milliseconds",
         opened.set.path.c_str(), static_cast<int>(opened.set.bytes.size()), milliseconds);
}

// A ROM image file is read whole, with the loader's checks and words.
OpenedInput OpenRomFile(const std::string& path, const InputOptions& options) {
    OpenedInput opened;
    opened.set.path = path;
    auto start = std::chrono::steady_clock::now();
    opened.problem = ReadImageFile(path, opened.set.bytes);
    if (!opened.problem.Ok()) {
        Fail(opened, OpenStatus::kFailed, "cannot read " + Quoted(path) + ": " + LoadFailureReason(opened.problem));
        return opened;
    }
    auto elapsed = std::chrono::steady_clock::now() - start;
    NoteLoaded(opened, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    ReadRomSet(options, opened);
    return opened;
}

}  // namespace

bool Fail(OpenedInput& opened, OpenStatus status, const std::string& refusal) {
    opened.status = status;
    opened.refusal = refusal;
    return false;
}

void Note(OpenedInput& opened, const char* format, ...) {
    char text[2000];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    opened.log.push_back(text);
}

bool IsBrrFileName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".brr";
}

InputKind InputKindOf(const std::string& path) {
    if (IsBrrFileName(path)) return InputKind::Brr;
    FileInfo info;
    bool regular = StatFile(path, info) == 0 && info.kind == FileKind::kRegular;
    return regular && LooksLikeSpc(path) ? InputKind::Spc : InputKind::Rom;
}

const char* InputKindName(InputKind kind) {
    switch (kind) {
    case InputKind::Spc: return "SPC snapshot";
    case InputKind::Brr: return "BRR file";
    case InputKind::Rom: break;
    }
    return "ROM";
}

OpenedInput OpenInput(const std::string& path, const InputOptions& options) {
    bool brr = IsBrrFileName(path);
    FileInfo info;
    // A pipe or FIFO is read to its end whatever its size says; a regular
    // file is only peeked at, so that a ROM is not read twice.
    bool stream = !brr && StatFile(path, info) == 0 && info.kind == FileKind::kOther;
    if (!brr && !stream && !LooksLikeSpc(path)) return OpenRomFile(path, options);
    OpenedInput opened;
    opened.set.path = path;
    if (!stream && RefuseRomOnly(brr ? InputKind::Brr : InputKind::Spc, options, opened)) return opened;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason)) {
        Fail(opened, OpenStatus::kFailed, "cannot read " + Quoted(path) + ": " + reason);
        return opened;
    }
    return OpenInputBytes(path, std::move(bytes), options);
}

OpenedInput OpenInputBytes(const std::string& path, std::vector<uint8_t> bytes, const InputOptions& options) {
    OpenedInput opened;
    opened.set.path = path;
    opened.set.bytes = std::move(bytes);
    InputKind kind = IsBrrFileName(path)                                                   ? InputKind::Brr
                     : HasSpcSignature(opened.set.bytes.data(), opened.set.bytes.size()) ? InputKind::Spc
                                                                                           : InputKind::Rom;
    opened.set.kind = kind;
    if (kind != InputKind::Rom && RefuseRomOnly(kind, options, opened)) return opened;
    switch (kind) {
    case InputKind::Brr: ReadBrrSet(opened); break;
    case InputKind::Spc: ReadSpcSet(options, opened); break;
    case InputKind::Rom:
        opened.problem = CheckImageSize(path, opened.set.bytes.size());
        if (!opened.problem.Ok()) {
            Fail(opened, OpenStatus::kFailed, "cannot read " + Quoted(path) + ": " + LoadFailureReason(opened.problem));
            break;
        }
        NoteLoaded(opened, 0);
        ReadRomSet(options, opened);
        break;
    }
    return opened;
}
