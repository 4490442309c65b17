// End-to-end driver of voxtrawl.exe: `voxtrawl_e2e <scenario>` runs one
// scenario and exits with 0 when every check passed.
#include <cstdio>
#include <cstring>

#include "e2e_support.h"
#include "scenarios.h"

namespace {

struct Scenario {
    const char* name;
    void (*run)();
};

const Scenario kScenarios[] = {
    {"startup", RunStartup},
    {"startup_quoted", RunStartupQuoted},
    {"navigation", RunNavigation},
    {"samples_window", RunSamplesWindow},
    {"options", RunOptions},
    {"saving", RunSaving},
    {"load_failures", RunLoadFailures},
    {"about_help", RunAboutHelp},
    {"exit", RunExit},
    {"screenshot", RunScreenshot},
    {"ansi_names_command_line", RunAnsiNamesCommandLine},
    {"ansi_names_dialog", RunAnsiNamesDialog},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) {
        for (const Scenario& scenario : kScenarios) {
            if (strcmp(argv[1], scenario.name) != 0) continue;
            SetScenario(scenario.name);
            scenario.run();
            printf("PASS %s\n", scenario.name);
            return 0;
        }
    }
    fprintf(stderr, "usage: voxtrawl_e2e SCENARIO\nscenarios:");
    for (const Scenario& scenario : kScenarios) fprintf(stderr, " %s", scenario.name);
    fprintf(stderr, "\n");
    return 2;
}
