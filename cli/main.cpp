// voxtrawl-cli: the ripper without a window. Parses the command line and
// runs the chosen subcommand.
#include <cstdio>
#include <cstring>
#include <new>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/paths.h"
#include "cli/standard_output.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  voxtrawl-cli rip INPUT... [--out DIR] [--clean] [--format wav|brr|sf2|midi] [--skip-silent] [--used-only]\n"
    "                [SETTINGS]\n"
    "  voxtrawl-cli rip INPUT --one-file FILE|- [--format wav|sf2] [SETTINGS]\n"
    "  voxtrawl-cli list ROM [--json] [SETTINGS]\n"
    "  voxtrawl-cli report ROM [-o FILE.html] [SETTINGS]\n"
    "  voxtrawl-cli render SONG.spc [-o FILE.wav|-] [--seconds N] [--key-ons FILE.jsonl]\n"
    "SETTINGS: [--rate HZ] [--min-run BYTES] [--decoder spec|chip] [--mapping lorom|hirom|exhirom|none]\n"
    "          [--play SECONDS]\n"
    "Run 'voxtrawl-cli --help' or 'voxtrawl-cli COMMAND --help' for more.\n";

bool IsCommand(CLI::App& cli, const char* word) {
    for (CLI::App* command : cli.get_subcommands(std::function<bool(CLI::App*)>()))
        if (command->get_name() == word) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    InstallInterruptCleanup();
    CLI::App cli{"Finds BRR sound samples in SNES ROM images, SPC snapshots and .brr files and saves them as WAVE files or SoundFonts.", "voxtrawl-cli"};
    cli.set_version_flag("--version", "voxtrawl-cli " VOXTRAWL_VERSION);
    cli.require_subcommand(1);
    CommandAction action;
    AddRipCommand(cli, action);
    AddListCommand(cli, action);
    AddReportCommand(cli, action);
    AddRenderCommand(cli, action);
    // A first word that is neither an option nor a command gets named,
    // rather than the parser's "a subcommand is required".
    if (argc > 1 && argv[1][0] != '-' && !IsCommand(cli, argv[1])) {
        std::fprintf(stderr, "voxtrawl-cli: unknown command '%s'\n%s", ShownText(argv[1]).c_str(), kUsage);
        return kExitUsage;
    }
    try {
        cli.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return cli.exit(done);  // --help or --version
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "voxtrawl-cli: %s\n%s", error.what(), kUsage);
        return kExitUsage;
    }
    int status = kExitFailed;
    try {
        status = action();
    } catch (const std::bad_alloc&) {
        // Whatever was being written was removed by its writer.
        FlushOut();
        std::fprintf(stderr, "voxtrawl-cli: out of memory; the command was stopped.\n");
        return kExitFailed;
    }
    if (int error = FinishOut()) {
        std::fprintf(stderr, "voxtrawl-cli: cannot write to standard output: %s\n", std::strerror(error));
        if (status == kExitOk) status = kExitFailed;
    }
    return status;
}
