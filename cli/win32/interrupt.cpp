#include "cli/interrupt.h"

#include <windows.h>

#include "output/pending_file.h"

namespace {

// Runs on a thread of its own. The temporary file was created with
// FILE_SHARE_DELETE, so deleting it while it is open succeeds: it goes
// when the process ends and its handle closes.
BOOL WINAPI RemovePendingAndExit(DWORD event) {
    if (const char* path = PendingFile()) DeleteFileA(path);
    // The exit codes of the POSIX build: 128 + SIGINT, SIGHUP, SIGTERM.
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: ExitProcess(130);
    case CTRL_CLOSE_EVENT: ExitProcess(129);
    default: ExitProcess(143);
    }
    return TRUE;
}

}  // namespace

void InstallInterruptCleanup() { SetConsoleCtrlHandler(RemovePendingAndExit, TRUE); }
