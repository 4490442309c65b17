// The subcommands of voxtrawl-cli. Each adds itself to the parser; when
// chosen, it leaves in action the work to run after parsing, which
// returns the exit code.
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

#include "engine/formats/sample_rates.h"
#include "engine/scan/scanner.h"

// Exit codes of voxtrawl-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // an input could not be read or a file not written
constexpr int kExitUsage = 2;

// The settings a user can change, with the program's initial values.
struct RipSettings {
    int32_t rate = kInitialFrequency;
    int32_t minRun = kInitialMinRunBytes;
};

using CommandAction = std::function<int()>;

// --rate and --min-run, shared by every subcommand that rips.
void AddRipSettingOptions(CLI::App& command, RipSettings& settings);
// Refuses an empty path.
CLI::Validator NotEmpty();
// Takes a decimal number of seconds (fractions allowed) from 0 to max.
CLI::Validator DecimalSeconds(double max);

void AddRipCommand(CLI::App& cli, CommandAction& action);
void AddListCommand(CLI::App& cli, CommandAction& action);
void AddReportCommand(CLI::App& cli, CommandAction& action);
void AddRenderCommand(CLI::App& cli, CommandAction& action);
