// Finding a folder's record in the conference list by its name. Portable.
#pragma once

#include "core/virtual_array.h"

// The array "Conferences" of 160-byte folder records whose name (101 bytes)
// comes first; the message base sets it when it builds the array.
extern VirtualArray* g_conferenceList;
enum : int { CONF_NAME_SIZE = 101, CONF_RECORD_SIZE = 160 };

// True when the list holds the name: the pointer is then bound to that
// record; otherwise it is detached.
bool findconf(SmartPointer& pointer, const char* name);
