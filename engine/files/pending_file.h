// The temporary files being written at this moment, kept where an
// interrupt handler can find them: on SIGINT, SIGTERM or a console close,
// the handler removes them so that no half-written file is left beside its
// target. A folder's files stay pending together until they are renamed.
#pragma once

// Remembers a temporary file's path (a copy); false when no memory was had.
bool AddPendingFile(const char* path);
// Forgets it (when it was renamed or removed).
void RemovePendingFile(const char* path);
// Calls remove for every remembered path. Safe to call from a signal
// handler: it only reads what was fully set up before it was published.
void ForEachPendingFile(void (*remove)(const char* path));
