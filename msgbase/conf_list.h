// The conference list: the catalogue of every folder of the data directory,
// stored in conf.ww and held in the array "Conferences", and the other global
// arrays of the message base. The record layouts and the list's file form are
// portable; rdconf/wtconf and their "Conf puva" pair need the file layer.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"

#pragma pack(push, 1)
struct ConfRec {
  char name[101];
  uint8_t selected;
  int32_t readMark;
  char baseName[30];
  int32_t first;
  int32_t last;
  int32_t waiting;
  uint32_t userInfo;  // last number seen, kept for the folder's user information file
  uint32_t flags;
  int32_t order;
};
static_assert(sizeof(ConfRec) == 160);

// The record form of older lists and version 2.00 user folder files.
struct OldConfRec {
  char name[65];
  uint8_t selected;
  int32_t readMark;
  char baseName[30];
  int32_t first;
  int32_t last;
  uint16_t waiting;
  uint32_t userInfo;
  int16_t flags;
  int16_t order;
};
static_assert(sizeof(OldConfRec) == 118);
#pragma pack(pop)

enum : uint32_t {
  CONF_RESIGNED = 0x0001,
  CONF_SCRAMBLED = 0x0002,
  CONF_NEEDS_MEMBERSHIP = 0x0004,  // added to a user's list only as a mail folder or beside a joined topic
  CONF_VISITED = 0x0020,
  CONF_USER_BITS = 0x0661,  // bits that belong to the user, not to conf.ww
  CONF_FILTERED = 0x8000,
};

enum : int { MAX_CONFERENCES = 16000 };

// Converts an old record field by field into a zeroed current record.
void ConvertOldConfRec(const OldConfRec& old, ConfRec* out);
// True when the record names a usable folder: a name with a "/" and a base name.
bool ConfRecUsable(const ConfRec& rec);

// Result of reading a list file.
enum ConfFileResult : int {
  CONFFILE_OK = 0,
  CONFFILE_CORRUPT,    // short header, impossible count, or fewer records than counted
  CONFFILE_NO_MEMORY,  // the array could not take the records
};

// Bytes left in a seekable stream from here; -1 when it cannot tell.
long BytesLeft(FILE* stream);
// Read `count` records of the current form, or of the old 118-byte form
// converted, into the empty array; `left` is what the file still holds (-1:
// unknown), checked before anything is allocated. A failure empties the array.
ConfFileResult ReadConfRecords(FILE* stream, VirtualArray& list, int64_t count, long left);
ConfFileResult ReadOldConfRecords(FILE* stream, VirtualArray& list, int64_t count, long left);

// Reads conf.ww from the stream's current position into the array (emptied
// first): either record form. A failure leaves the array empty.
ConfFileResult ReadConfList(FILE* stream, VirtualArray& list, uint32_t* header);
// Writes the current form: header word, marker -1, count, records. False on
// any short write.
bool WriteConfList(FILE* stream, VirtualArray& list, uint32_t header);

// Global arrays of the message base, built before start-up.
extern VirtualArray Conferences;  // "Conferences"
extern VirtualArray ConfPuva;     // "Conf puva"
extern VirtualArray IndexArray;   // "index": 12-byte index records of the open topic
extern VirtualArray LogCva;       // "log cva": 10-byte number index of the open topic
extern VirtualArray Synopsis;     // "Synopsis": 34-byte thread nodes
extern VirtualArray SelConf;      // "SelConf": 130-byte subscription selection entries
extern SmartPointer CurrentFolder;

int CompareMsgNumbers(const void* a, const void* b);
int CompareSynNodes(const void* a, const void* b);
int CompareSynNodesReverse(const void* a, const void* b);
// Subscription selection entries by their leading folder name.
int CompareSelConfEntries(const void* a, const void* b);

// 1 while rdconf, wtconf, rduconf or wtuconf run.
extern int ConferencesBusy;
// Set by rduconf after it merged the user's file; read by the list painting.
extern bool g_userFoldersMerged;

int findmsgidx(int32_t number);
int findsynnode(int32_t number);

// What the list's readers and the user-folder merge ask of the browser and the
// subscription windows. Unset members mean: every folder passes the filter,
// no window to refresh, no moderated topics, no long operation running.
struct MessageBaseHooks {
  bool (*folderFilter)(const ConfRec* rec);    // MbwFolderFilter
  void (*fillList)();                          // MbwFillList on the message-base window
  void (*selectFolder)(const char* name);      // MbwSelectFolder
  bool (*isModeratedTopic)(const char* name);  // IsModeratedTopic
  bool (*longOperation)();                     // a reindex or prune is running
  void (*applyFolderOrder)();                  // re-applies the user's folder order file
  void (*loadUserInfo)();                      // per-folder user information
  // Maintenance: the message-base window's selection (folder names separated
  // by blanks; null or empty: none), whether the window exists and is the
  // active MDI window, refreshing its list keeping the selection, and
  // refreshing the folders after the base changed underneath.
  const char* (*selection)();
  bool (*windowExists)();
  bool (*windowActive)();
  void (*refreshList)();
  void (*refreshFolders)();
};
extern MessageBaseHooks g_messageBaseHooks;
// The table installed from the start; tests put it back.
extern const MessageBaseHooks kDefaultMessageBaseHooks;
bool PassesFolderFilter(const ConfRec& rec);

// The file form, Win32 builds only.
int rdconf(int mode);
int wtconf();
int rdconfpuva(int mode);
int wtconfpuva();
