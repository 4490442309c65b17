// The subcommands of voxtrawl-cli. Each adds itself to the parser; when
// chosen, it leaves in action the work to run after parsing, which
// returns the exit code.
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

#include "cli/session.h"

using CommandAction = std::function<int()>;

// --rate and --min-run, shared by every subcommand that rips.
void AddRipSettingOptions(CLI::App& command, RipSettings& settings);
// Refuses an empty path.
CLI::Validator NotEmpty();

void AddRipCommand(CLI::App& cli, CommandAction& action);
void AddListCommand(CLI::App& cli, CommandAction& action);
void AddReportCommand(CLI::App& cli, CommandAction& action);
void AddRenderCommand(CLI::App& cli, CommandAction& action);
