// Operations on single messages of the open topic: erasing or cancelling a
// message, one header field of a message, and appending a message to the open
// batch or archive file.
#pragma once
#include <cstddef>
#include <cstdio>

#include "msgbase/message_text.h"

// What erasing asks of the outbasket. Unset members count as "not possible"
// (no script command queued, no moderator, no action file, no cancel format).
struct MessageOpsHooks {
  int (*makeScriptCmd)(const char* command);         // MakeScriptCmd: 2 when queued
  bool (*canModerateTopic)(const char* folderName);  // CanModerateTopic
  const char* (*actionFile)();                       // the current service's action file
  const char* (*cancelFormat)();                     // a terminal service's cancel format
  void (*ownAddress)(char* out, size_t size);        // the user's own address
};
// cancelFormat may stay unset: the service file's "z" line applies then.
extern MessageOpsHooks g_messageOpsHooks;
extern const MessageOpsHooks kDefaultMessageOpsHooks;

// 1 when an erase or cancel of the open topic's message was queued.
int EraseMessage(long number);

// 1 when the open topic's message has the field; its value goes to buffer.
int GetHeaderField(long number, const char* field, char* buffer, size_t size, bool whole);

// The open batch or archive file; null when none is open.
extern FILE* g_batchFile;
// Appends the open topic's message to g_batchFile; the log form keeps the
// log's own header line.
void WriteBatchMessage(long number, bool logForm);
