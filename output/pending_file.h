// The temporary file being written at this moment, kept where an interrupt
// handler can find it: on SIGINT, SIGTERM or a console close, the handler
// removes it so that no half-written file is left beside its target. The
// program writes one file at a time, so one slot is enough.
#pragma once

// Remembers the temporary file's path (a copy); a path too long for the
// slot is not remembered.
void SetPendingFile(const char* path);
void ClearPendingFile();
// The remembered path, or nullptr. Safe to call from a signal handler: it
// only reads a static buffer.
const char* PendingFile();
