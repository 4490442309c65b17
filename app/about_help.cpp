#include "app/about_help.h"

#include "app/platform.h"
#include "app/log.h"

namespace {

// About commands handled so far; the third one gets a reply.
int aboutCount = 0;

constexpr const char* kAboutText =
    "%s\n\nThis program rips SNES sound data from (surprise!)\nSNES ROMs.  "
    "English texts and C++ port by the VOXTRAWL team."
    "\n\nMade in America.";
constexpr const char* kAboutAlternative =
    "%s\n\nThis program rips SNES sound data from (surprise!)\nSNES ROMs.  Now you too can have Windows 95 yell\n"
    "\"Ha-do-ken!\" when it starts up!\n\nMade in America.";
constexpr const char* kGaspText =
    "Sheesh!  Can't you stay on the about box for a\nlittle longer than that?  I need a little rest!\n"
    "I TOLD you I was made in America, didn't I?\n";

}  // namespace

void ShowHelp() {
    ShowMessage(true, "Help", kMbInformation, "%s",
                "Help?  Load a ROM, and the samples come out by themselves.\n"
                "If they don't, the ROM didn't have any, and no manual would have helped.");
}

void ShowAbout() {
    ShowMessage(true, "About VOXTRAWL", kMbInformation, kAboutText, kVersionString);
    if (aboutCount == 2 && ShowMessage(true, "*gasp*", kMbYesNoExclaim, "%s", kGaspText) == kIdNo)
        ShowMessage(true, "About VOXTRAWL", kMbInformation, kAboutAlternative, kVersionString);
    ++aboutCount;
}

void ResetAboutCount() { aboutCount = 0; }
