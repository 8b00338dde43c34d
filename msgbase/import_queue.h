// The import queue import.dat: the files of import text waiting for the
// message-import program, oldest first. The program only ever adds to it;
// the import program takes entries off. Holding the file open is the lock.
#pragma once
#include <cstdint>

#include "core/virtual_array.h"
#include "msgbase/import_queue_file.h"

// "Import queue": the file's entries between a load and the next save.
extern VirtualArray ImportQueue;

// Loads import.dat. With lock true the file stays open, unshared, until
// SaveImportQueue; with lock false it is read and closed. A missing file is an
// empty queue (taking the lock creates it). A damaged file is reported and
// left untouched.
bool LockImportQueue(bool lock);
// Writes the queue back and releases the lock. False (reported) when the file
// can't be opened or a write fails.
bool SaveImportQueue();
// Adds a file of import text for the service's messages. False when the file
// was already queued (compared without regard to case), does not exist, or
// the queue could not be read or saved.
bool QueueImport(const char* service, const char* path, const char* kind, uint32_t flags);
// Removes the entry with exactly this path (without regard to case, not made
// absolute). True when one was removed and the queue saved.
bool UnqueueImport(const char* path);
// True when nothing waits: no file, an unreadable file, or no first entry.
// Reads without the lock and leaves it alone.
bool ImportQueueEmpty();
void ClearImportQueue();

// Command of the import program's window that brings it forward.
enum : int { IDM_IMPORT_FOREGROUND = 4481 };
