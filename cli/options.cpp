// Options shared by the subcommands, and their checks.
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "cli/commands.h"

namespace {

constexpr int64_t kMaxOption = std::numeric_limits<int32_t>::max();

// Accepts plain decimal digits for a number in min..max and rewrites them
// without leading zeros, so that the parser, which would read "010" as
// octal and "0x10" as hexadecimal, sees only the decimal reading.
CLI::Validator DecimalIn(int64_t min, int64_t max) {
    std::string range = "a decimal whole number from " + std::to_string(min) + " to " + std::to_string(max);
    return CLI::Validator(
        [min, max, range](std::string& text) -> std::string {
            std::string refusal = "takes " + range + ", not '" + text + "'";
            if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return refusal;
            size_t first = text.find_first_not_of('0');
            std::string digits = first == std::string::npos ? "0" : text.substr(first);
            if (digits.size() > 10 || std::stoll(digits) < min || std::stoll(digits) > max) return refusal;
            text = digits;
            return "";
        },
        range);
}

}  // namespace

CLI::Validator NotEmpty() {
    return CLI::Validator(
        [](std::string& text) -> std::string { return text.empty() ? "needs a path, not an empty string" : ""; },
        "PATH");
}

void AddRipSettingOptions(CLI::App& command, RipSettings& settings) {
    command.add_option("-r,--rate", settings.rate, "Sample rate written into the WAVE headers, in Hz")
        ->capture_default_str()
        ->transform(DecimalIn(1, kMaxOption));
    command
        .add_option("-m,--min-run", settings.minRun,
                    "Minimum span of a run in bytes (first to end block header) for it to count as a sample")
        ->capture_default_str()
        ->transform(DecimalIn(0, kMaxOption));
}

CLI::Validator DecimalSeconds(double max) {
    std::string range = "a decimal number of seconds from 0 to " + std::to_string(static_cast<long>(max));
    return CLI::Validator(
        [max, range](std::string& text) -> std::string {
            size_t point = text.find('.');
            std::string whole = text.substr(0, point);
            std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
            bool digits = text.find_first_not_of("0123456789.") == std::string::npos &&
                          fraction.find('.') == std::string::npos && !(whole.empty() && fraction.empty()) &&
                          (point == std::string::npos || !fraction.empty());
            if (!digits || std::strtod(text.c_str(), nullptr) > max) return "takes " + range + ", not '" + text + "'";
            return "";
        },
        "SECONDS");
}
