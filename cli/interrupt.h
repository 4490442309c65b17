// What voxtrawl-cli does when it is interrupted: remove the temporary file
// it is writing (engine/files/pending_file.h), then end with exit code 128 + the
// signal number. One implementation per system: cli/posix/interrupt.cpp.
#pragma once

void InstallInterruptCleanup();
