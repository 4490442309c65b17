#include "engine/inputs/image_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/files/file_system.h"

namespace {

LoadProblem Problem(LoadFailure failure, int error, const char* caption, const std::string& text) {
    LoadProblem problem;
    problem.failure = failure;
    problem.error = error;
    problem.caption = caption;
    problem.text = text;
    return problem;
}

// Fills in a printf-style message.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[2000];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

LoadProblem CheckImageFile(const std::string& path, uint32_t& size) {
    FileInfo info;
    if (int error = StatFile(path, info))
        return Problem(LoadFailure::kStat, error, "Internal Error (?)",
                       Format("Unable to stat() file '%s'.", path.c_str()));
    // Reading a directory or a device would fail only after the loaded ROM is gone.
    if (info.kind == FileKind::kDirectory)
        return Problem(LoadFailure::kDirectory, EISDIR, "Can't Load Rom...!",
                       Format("%s is a directory, not a ROM image.", path.c_str()));
    if (info.kind != FileKind::kRegular)
        return Problem(LoadFailure::kNotRegular, 0, "Can't Load Rom...!",
                       Format("%s is not a regular file, so it can't be a ROM image.", path.c_str()));
    LoadProblem problem = CheckImageSize(path, info.size);
    if (problem.Ok()) size = static_cast<uint32_t>(info.size);
    return problem;
}

LoadProblem CheckImageSize(const std::string& path, size_t size) {
    if (size == 0)
        return Problem(LoadFailure::kEmpty, 0, "Ahem...",
                       Format("%s is 0 bytes!  Bet you didn't\nthink I knew that or something...\n", path.c_str()));
    if (size > kMaxImageBytes)
        return Problem(LoadFailure::kTooBig, EFBIG, "Can't Load Rom...!",
                       Format("%s is too big to load.\nA ROM image must be smaller than 2 GiB (2147483648 bytes).",
                              path.c_str()));
    return LoadProblem();
}

LoadProblem OpenProblem(const std::string& path, int error) {
    return Problem(LoadFailure::kOpen, error, "Can't Load Rom...!",
                   Format("Here I sit all broken hearted,\ntried to load your rom,\n\nBut only farted.\n\n\n"
                          "...Couldn't load %s.",
                          path.c_str()));
}

LoadProblem NoMemoryProblem(uint32_t size) {
    return Problem(LoadFailure::kNoMemory, ENOMEM, "Out of Memory",
                   Format("Looks like Windows couldn't grab me enough\nfree memory to load your %d byte ROM...",
                          static_cast<int>(size)));
}

LoadProblem ReadProblem(const std::string& path, int error, size_t bytesRead, uint32_t size) {
    if (error != 0)
        return Problem(LoadFailure::kRead, error, "Trouble Reading File",
                       Format("The file loaded ok, and you had enough\nmemory to load it, but an error occurred while\n"
                              "reading the file %s\n",
                              path.c_str()));
    return Problem(LoadFailure::kShortRead, 0, "Trouble Reading File",
                   Format("The file loaded ok, and you had enough\nmemory to load it, but I only read %d\n"
                          "bytes of the %d byte file %s\n",
                          static_cast<int>(bytesRead), static_cast<int>(size), path.c_str()));
}

LoadProblem ReadImageFile(const std::string& path, std::vector<uint8_t>& bytes) {
    uint32_t size = 0;
    LoadProblem problem = CheckImageFile(path, size);
    if (!problem.Ok()) return problem;
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return OpenProblem(path, errno);
    try {
        bytes.assign(size, 0);
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        return NoMemoryProblem(size);
    }
    errno = 0;
    size_t bytesRead = std::fread(bytes.data(), 1, size, file);
    int error = errno;
    std::fclose(file);
    if (error != 0 || bytesRead < size) return ReadProblem(path, error, bytesRead, size);
    return problem;
}

std::string LoadFailureReason(const LoadProblem& problem) {
    switch (problem.failure) {
    case LoadFailure::kEmpty: return "the file is empty";
    case LoadFailure::kNotRegular: return "not a regular file";
    case LoadFailure::kTooBig: return "2 GiB or larger";
    case LoadFailure::kShortRead: return "the file ended before its size";
    case LoadFailure::kCancelled: return "no file given";
    default: return std::strerror(problem.error ? problem.error : EIO);
    }
}
