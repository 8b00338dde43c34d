// Attachments of the open topic's messages: removing the saved ones from a
// stored message, joining message/partial parts, and the clipboard.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "compose/mime_walker.h"

// The stored text of a message of the open topic (its lines as stored).
bool StoredMessageText(long number, std::string* text);
// Queues the message rebuilt from its stored text with every attachment
// saved during the current display replaced by its notice; it replaces the
// stored message when the import program runs.
bool DecodeAttachments(long number, bool ownHeader);
// A message of the open topic that is a message/partial part.
bool GetPartialInfo(long number, PartialInfo* info);
// What a part adds to the joined message: its text after its own header.
std::string PartialPartText(long number);
// Queues one message joined from the parts, in order, for the open topic.
bool JoinPartialMessage(const std::vector<long>& partsInOrder);
// Joins every complete set of parts of the open topic; the sets joined.
int ReassemblePartials();
bool CopyTextToClipboard(HWND owner, const char* text);
