// The end-to-end scenarios; each starts voxtrawl.exe one or more times and
// ends it again. A failed check ends the driver with exit code 1.
#pragma once

void RunStartup();
void RunStartupQuoted();
void RunNavigation();
void RunSamplesWindow();
void RunOptions();
void RunSaving();
void RunLoadFailures();
void RunAboutHelp();
void RunExit();
void RunScreenshot();
void RunAnsiNamesCommandLine();
void RunAnsiNamesDialog();
