#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <initializer_list>

#include "engine/files/pending_file.h"

namespace {

void Unlink(const char* path) { unlink(path); }

void RemovePendingAndExit(int signalNumber) {
    ForEachPendingFile(Unlink);
    if (signalNumber == SIGPIPE) {
        // A reader that went away ends the program the usual way.
        signal(SIGPIPE, SIG_DFL);
        raise(SIGPIPE);
    }
    _exit(128 + signalNumber);
}

}  // namespace

void InstallInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = RemovePendingAndExit;
    sigemptyset(&action.sa_mask);
    // Blocked while the handler runs, so that it runs once.
    for (int blocked : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&action.sa_mask, blocked);
    for (int handled : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction before {};
        sigaction(handled, nullptr, &before);
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (before.sa_handler == SIG_IGN) continue;
        sigaction(handled, &action, nullptr);
    }
}
