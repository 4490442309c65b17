// The Help and About boxes.
#pragma once

constexpr const char* kVersionString = "VOXTRAWL --- v2.1";

void ShowHelp();
void ShowAbout();
// Resets the About counter (tests only).
void ResetAboutCount();
