// About, with its question on the third visit answered both ways (one
// program run each), and Help from the menu and from F1.
#include <windows.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

constexpr char kAboutCaption[] = "About VOXTRAWL";
constexpr char kAboutStart[] = "VOXTRAWL --- v2.1\n\nThis program rips SNES sound data from (surprise!)\nSNES ROMs.  ";
constexpr char kAboutEnd[] = "\n\nMade in America.";
constexpr char kGaspText[] =
    "Sheesh!  Can't you stay on the about box for a\nlittle longer than that?  I need a little rest!\nI TOLD you I "
    "was made in America, didn't I?\n";
constexpr char kOtherAboutText[] =
    "VOXTRAWL --- v2.1\n\nThis program rips SNES sound data from (surprise!)\nSNES ROMs.  Now you too can have "
    "Windows 95 yell\n\"Ha-do-ken!\" when it starts up!\n\nMade in America.";

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// The About box: the fixed text around a one-line credit.
void AnswerAbout(Program& program) {
    HWND box = WaitForDialog(program.Main(), kAboutCaption);
    std::string text = BoxText(box);
    const std::string start = kAboutStart, end = kAboutEnd;
    bool framed = text.size() > start.size() + end.size() && StartsWith(text, start) &&
                  text.compare(text.size() - end.size(), end.size(), end) == 0;
    Check(framed, "the About box says \"%s\"", Escaped(text).c_str());
    std::string credit = text.substr(start.size(), text.size() - start.size() - end.size());
    Check(credit.find('\n') == std::string::npos, "the credit is not one line: \"%s\"", Escaped(credit).c_str());
    Check(BoxButtons(box) == std::vector<int>{IDOK}, "the About box is not an OK box");
    AnswerBox(box, IDOK);
}

// Returns the Help text: two lines joined by "\n".
std::string AnswerHelp(Program& program) {
    HWND box = WaitForDialog(program.Main(), "Help");
    std::string text = BoxText(box);
    size_t newline = text.find('\n');
    Check(newline != std::string::npos && newline > 0 && newline + 1 < text.size() &&
              text.find('\n', newline + 1) == std::string::npos,
          "the Help text is not two lines: \"%s\"", Escaped(text).c_str());
    Check(BoxButtons(box) == std::vector<int>{IDOK}, "the Help box is not an OK box");
    AnswerBox(box, IDOK);
    return text;
}

// Help is posted behind the command just answered: once its box is up,
// that command has ended, so no box of its own may still be open.
void ExpectNothingMoreThanHelp(Program& program) {
    program.Post(kHelp);
    HWND help = WaitForDialog(program.Main(), "Help");
    Check(CountOwnedDialogs(program.Main(), kAboutCaption) == 0, "an About box is open beside Help");
    Check(CountOwnedDialogs(program.Main(), "*gasp*") == 0, "the *gasp* box is open beside Help");
    AnswerBox(help, IDOK);
}

HWND ThirdAboutQuestion(Program& program) {
    for (int visit = 1; visit <= 3; ++visit) {
        program.Post(kAbout);
        AnswerAbout(program);
        if (visit < 3) ExpectNothingMoreThanHelp(program);
    }
    return ExpectBox(program.Main(), "*gasp*", kGaspText, {IDYES, IDNO});
}

}  // namespace

void RunAboutHelp() {
    {
        Program program("");
        ExpectWelcome(program);
        AnswerBox(ThirdAboutQuestion(program), IDYES);
        ExpectNothingMoreThanHelp(program);
        // The fourth visit is an ordinary one.
        program.Post(kAbout);
        AnswerAbout(program);
        ExpectNothingMoreThanHelp(program);

        program.Post(kHelp);
        std::string fromMenu = AnswerHelp(program);
        PostMessageA(program.Main(), WM_KEYDOWN, VK_F1, 0x003B0001);
        std::string fromKey = AnswerHelp(program);
        Check(fromKey == fromMenu, "F1 shows \"%s\", the menu \"%s\"", Escaped(fromKey).c_str(),
              Escaped(fromMenu).c_str());
        program.ExpectLogUnchanged();
        program.Send(kExit);
        program.ExpectExitCodeZero();
    }
    {
        Program program("");
        ExpectWelcome(program);
        AnswerBox(ThirdAboutQuestion(program), IDNO);
        AnswerBox(ExpectBox(program.Main(), kAboutCaption, kOtherAboutText, {IDOK}), IDOK);
        ExpectNothingMoreThanHelp(program);
        program.Send(kExit);
        program.ExpectExitCodeZero();
    }
}
