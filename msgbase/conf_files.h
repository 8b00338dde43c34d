// Safe rewrites of the message base's list files (Win32): every write is
// checked, and the old file stays until a complete new one exists.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"

// "<path without extension>.new": the temporary file beside a list file;
// empty when it does not fit size bytes.
void TempPathBeside(const char* path, char* out, size_t size);
// Creates the temporary file for one rewrite, exclusively, in one attempt;
// close it with CloseTemp, which is false when any write failed.
FILE* CreateTempBeside(const char* temp);
bool CloseTemp(FILE* file);
// Writes the list to a temporary file beside `path`, then replaces `path` by it.
bool ReplaceConfList(const char* path, VirtualArray& list, uint32_t header);
// Rewrites a held (exclusively open) list file in place without giving up the
// hold: a complete copy is written and checked beside it first, and the held
// file is grown to its new length before any record is overwritten.
bool RewriteHeldConfList(FILE* held, const char* path, VirtualArray& list, uint32_t header);
// Moves `from` over `to`, retrying a little while another instance reads `to`.
bool MoveOver(const char* from, const char* to);
