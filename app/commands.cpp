#include "app/commands.h"

#include "app/platform.h"
#include "app/rom_loader.h"
#include "app/playback.h"
#include "app/save.h"
#include "app/res/resource.h"
#include "app/about_help.h"
#include "app/log.h"

namespace {

struct CommandEntry {
    unsigned id;
    void (*handler)();
    const char* tooltip;  // toolbar buttons only
};

void ExitProgram() { CurrentPlatform().PostQuit(); }
void ShowOptions() { CurrentPlatform().ShowOptionsWindow(); }
void ShowSamples() { CurrentPlatform().ShowSamplesWindow(); }

const CommandEntry kCommands[] = {
    {IDM_LOAD_AND_RIP, [] { LoadAndRip(); }, nullptr},
    {IDM_UNLOAD_ROM, UnloadRom, nullptr},
    {IDM_RIP, RequestRip, nullptr},
    // The window learns what a save did from the log and the boxes; its result is for the CLI.
    {IDM_SAVE_ALL_ONE_FILE, [] { SaveAllCommand(); }, nullptr},
    {IDM_SAVE_EACH, [] { SaveEachSample(); }, nullptr},
    {IDM_EXIT, ExitProgram, nullptr},
    {IDM_OPTIONS, ShowOptions, nullptr},
    {IDM_CLEAR_LOG, LogClear, nullptr},
    {IDM_HELP, ShowHelp, nullptr},
    {IDM_ABOUT, ShowAbout, nullptr},
    {IDT_PLAY, PlayCurrent, "Play Sample"},
    {IDT_STOP, StopSound, "Stop Whatever Is Playing"},
    {IDT_NEXT, NextSample, "Next Sample"},
    {IDT_PREV, PreviousSample, "Previous Sample"},
    {IDT_FIRST, FirstSample, "Go Back to First Sample"},
    {IDT_UNLOAD, UnloadFromToolbar, "Unload ROM and Free Samples"},
    {IDT_SAVE_CURRENT, SaveCurrentCommand, "Save Current Sample"},
    {IDM_SAMPLES_WINDOW, ShowSamples, nullptr},
};

const CommandEntry* FindCommand(unsigned id) {
    for (const CommandEntry& entry : kCommands)
        if (entry.id == id) return &entry;
    return nullptr;
}

}  // namespace

void RunCommand(unsigned id) {
    // Only the low word carries the id; the high word is the notification code.
    if (const CommandEntry* entry = FindCommand(id & 0xFFFF)) entry->handler();
}

const char* ToolbarTooltip(unsigned id) {
    const CommandEntry* entry = FindCommand(id);
    return entry ? entry->tooltip : nullptr;
}
