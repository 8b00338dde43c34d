// The thread ids of a Dravenet library that the user asked to have
// refreshed: the sorted array "threadid" and its .tid text file. The list and
// the file form are portable; loading and saving need the file layer.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"

extern VirtualArray ThreadIds;  // "threadid": signed 32-bit ids, smaller first

int CompareThreadIds(const void* a, const void* b);
int ThreadIdSet(int32_t id, int add);

// Reads one id a line into the list (emptied first). False, with the list
// empty, when a line is not a whole decimal number in range; empty lines are
// passed over.
bool ReadThreadIdLines(FILE* stream, VirtualArray& list, void (*pump)());
// Writes "%ld\n" per id in list order; false on any short write.
bool WriteThreadIdLines(FILE* stream, VirtualArray& list, void (*pump)());

// Win32 builds only.
int LoadThreadIds(const char* fileName);
int SaveThreadIds();
