// Read state of the open topic: the read bits of "log cva" and the read mark
// that stands for them while the folder is closed, the unread count, Mark All
// Read, thread roots, the test whether the user wrote a message, and the
// user's folder order file. Portable: the arrays, names and settings are the
// caller's and come in as arguments.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/virtual_array.h"
#include "msgbase/records.h"
#include "msgbase/topic_log.h"

// A message counts as read when its flags hold any of these, unless it
// carries kMsgUnreadLock.
constexpr uint16_t kReadMask = kMsgRead | kMsgMarkedForDeletion | kMsgMissing;

// Sets the read bit of every message numbered up to readMark and clears it on
// the others; no other bit changes.
void MarkReadUpTo(VirtualArray& logCva, long readMark);

// The read mark a closing topic keeps: the number before the first message
// that is neither read, marked for deletion nor missing (first - 1 when that is
// the first message), or last when there is none.
long ReadMarkFromReadBits(VirtualArray& logCva, long first, long last);

// The user's read-mark recomputation option ("Always Refresh Unread"), set at
// log-in; the open topic's close counts with it.
extern bool g_recomputeReadMark;

struct UnreadCountOptions {
  const char* folderName = "";     // a name holding the byte 0xFF is a composite folder
  bool recomputeReadMark = false;  // the user's read-mark recomputation option
  long last = 0;                   // the topic's last message number
  // The browser's ignore marks; null ignores nothing.
  bool (*isIgnored)(void* context, long number) = nullptr;
  void* ignoredContext = nullptr;
};

// Unread messages of the topic; 0 for a composite folder. With the
// recomputation option the read mark becomes the number before the first
// unread message: 0 when that is the first, last when none is unread.
long countunread(VirtualArray& logCva, const UnreadCountOptions& options, long* readMark);

// The command that marks everything read without asking.
constexpr int kMarkAllReadWithoutAsking = 1175;

struct MarkAllReadRequest {
  int command = 0;
  const char* folderName = "";  // the open folder's name, case restored
  // Asks the question; true for Yes. Unset, nothing is marked.
  bool (*confirm)(void* context, const char* question) = nullptr;
  void* confirmContext = nullptr;
};

// Mark All Read for the open topic (logCva null when none is open): 0 when the
// user declines, else 1. The message-base window's selected folders are its
// own caller's.
int MarkAllRead(VirtualArray* logCva, const MarkAllReadRequest& request);

// The root of the message's thread: follows commentTo while the parent is in
// the folder and not a stand-by (missing) record. A message not in the folder
// is its own root. A loop of parents in a damaged index ends too: every
// message of the loop gets the loop's lowest number.
long ThreadRoot(VirtualArray& logCva, long number);

struct OwnMessageQuery {
  bool found = false;                // the message could be read
  bool dravenet = false;             // a Dravenet folder
  const char* author = "";           // the author of the message's header line
  const char* from = "";             // its "From" header field
  const char* serviceUserName = "";  // Dravenet: the user name of the service's settings
  const char* ownAddress = "";       // the user's own address (MakeOwnAddress)
};

// 1 when the user wrote the message, else 0.
int IsOwnMessage(const OwnMessageQuery& query);

// The mail domains that make a Quorl or bix user name an address; the
// configuration supplies them.
struct OwnAddressDomains {
  const char* quorl = "";
  const char* bix = "";
};

// The user's own address in the folder's service: in Quorl and bix folders the
// settings' user name at the service's mail domain, elsewhere the settings'
// address. out holds size bytes; the result is cut to fit.
void MakeOwnAddress(const char* folderName, const char* settingsName, const char* settingsAddress,
                    const OwnAddressDomains& domains, char* out, size_t size);

// The order file's path: the user's path with ".odr" for its extension.
// False when the user's path has no extension.
bool FolderOrderPath(const char* userPath, char* out, size_t size);

// Sets `order` of every ConfRec of the list by the file's patterns, one a
// line: each line numbers, from 1, the folders it matches that no earlier line
// matched, and the rest follow in list order. Does nothing for an empty list.
void LoadFolderOrder(const LogSource& odr, VirtualArray& conferences);
