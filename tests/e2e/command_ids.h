// The numbers of voxtrawl.exe's commands and controls, written out here
// rather than taken from the program's own header, so that a wrong number
// there shows up as a failure.
#pragma once

// Menu commands
constexpr unsigned kLoadAndRip = 1124;
constexpr unsigned kUnload = 1125;
constexpr unsigned kRip = 1126;
constexpr unsigned kSaveAllOneFile = 1127;
constexpr unsigned kSaveEach = 1128;
constexpr unsigned kExit = 1129;
constexpr unsigned kOptions = 1224;
constexpr unsigned kHelp = 1324;
constexpr unsigned kAbout = 1325;
constexpr unsigned kSamplesWindow = 1735;

// Toolbar commands
constexpr unsigned kPlay = 1626;
constexpr unsigned kStop = 1627;
constexpr unsigned kNext = 1628;
constexpr unsigned kPrevious = 1629;
constexpr unsigned kFirst = 1630;
constexpr unsigned kUnloadButton = 1631;
constexpr unsigned kSaveCurrent = 1632;

// Options dialog
constexpr int kOptionsValueEdit = 1524;
constexpr int kOptionsUpDown = 1527;
constexpr int kOptionsApply = 1532;

// Samples window
constexpr int kSampleNumberEdit = 1526;
constexpr int kLoopCheck = 1530;
constexpr int kJump = 1724;
constexpr int kFirstRateRadio = 1725;
constexpr int kRateRadioCount = 10;
constexpr int kSampleUpDown = 1736;

// Captions
constexpr char kOptionsCaption[] = "Opzioni del Ripping";
constexpr char kSamplesCaption[] = "Frequenza:";
