#include "cli/interrupt.h"

#include <windows.h>

#include "engine/files/pending_file.h"

namespace {

HANDLE mainThread = nullptr;

// The exit codes of the POSIX build: 128 + SIGINT, SIGHUP, SIGTERM.
UINT ExitCodeFor(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return 130;
    case CTRL_CLOSE_EVENT: return 129;
    default: return 143;  // logoff, shutdown
    }
}

// Runs on a thread of its own while the main thread goes on, so that one is
// stopped first: it can then neither rename the file nor start another one
// while this one looks. The temporary file was created with
// FILE_SHARE_DELETE, so deleting it while it is open succeeds: it goes when
// the process ends and its handle closes.
void DeletePending(const char* path) { DeleteFileA(path); }

BOOL WINAPI RemovePendingAndExit(DWORD event) {
    // Deleting a file allocates from the process heap. Holding its lock
    // while the main thread is stopped makes sure that thread is not stopped
    // inside an allocation, holding the lock forever.
    HANDLE heap = GetProcessHeap();
    const bool heapLocked = HeapLock(heap) != 0;
    if (mainThread && SuspendThread(mainThread) != static_cast<DWORD>(-1)) {
        // SuspendThread only asks; reading the context waits until it has stopped.
        CONTEXT context = {};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(mainThread, &context);
    }
    if (heapLocked) HeapUnlock(heap);
    ForEachPendingFile(DeletePending);
    // Not ExitProcess: the C runtime would flush streams whose locks the
    // stopped thread may hold. The POSIX build ends with _exit likewise.
    TerminateProcess(GetCurrentProcess(), ExitCodeFor(event));
    return TRUE;
}

}  // namespace

void InstallInterruptCleanup() {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0);
    SetConsoleCtrlHandler(RemovePendingAndExit, TRUE);
}
