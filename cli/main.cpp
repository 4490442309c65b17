// voxtrawl-cli: the ripper without a window. Parses the command line and
// runs the chosen subcommand.
#include <cstdint>
#include <cstdio>
#include <limits>

#include "cli/commands.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  voxtrawl-cli rip ROM... [--out DIR] [--rate HZ] [--min-run BYTES]\n"
    "  voxtrawl-cli rip ROM --one-file FILE [--rate HZ] [--min-run BYTES]\n"
    "  voxtrawl-cli list ROM [--json] [--rate HZ] [--min-run BYTES]\n"
    "  voxtrawl-cli report ROM [-o FILE.html] [--rate HZ] [--min-run BYTES]\n"
    "Run 'voxtrawl-cli --help' or 'voxtrawl-cli COMMAND --help' for more.\n";

}  // namespace

void AddRipSettingOptions(CLI::App& command, RipSettings& settings) {
    command.add_option("-r,--rate", settings.rate, "Sample rate written into the WAVE headers, in Hz")
        ->capture_default_str()
        ->check(CLI::Range(1, std::numeric_limits<int32_t>::max()));
    command
        .add_option("-m,--min-run", settings.minRun,
                    "Minimum span of a run in bytes (first to end block header) for it to count as a sample")
        ->capture_default_str();
}

int main(int argc, char** argv) {
    CLI::App cli{"Finds BRR sound samples in SNES ROM images and saves them as WAVE files.", "voxtrawl-cli"};
    cli.set_version_flag("--version", "voxtrawl-cli " VOXTRAWL_VERSION);
    cli.require_subcommand(1);
    CommandAction action;
    AddRipCommand(cli, action);
    AddListCommand(cli, action);
    AddReportCommand(cli, action);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return cli.exit(done);  // --help or --version
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "voxtrawl-cli: %s\n%s", error.what(), kUsage);
        return kExitUsage;
    }
    return action();
}
