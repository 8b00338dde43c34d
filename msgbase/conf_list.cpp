#include "msgbase/conf_list.h"

#include <cstring>

#include "core/folder_lookup.h"
#include "msgbase/user_folders.h"

namespace {
int32_t Int32At(const void* p, size_t offset) {
  int32_t v;
  std::memcpy(&v, static_cast<const unsigned char*>(p) + offset, sizeof v);
  return v;
}
int CompareInts(int32_t a, int32_t b) { return a < b ? -1 : a > b ? 1 : 0; }

// Byte offsets within the open topic's records.
constexpr size_t kMsgIndexNumber = 0;  // 10-byte number-index record
constexpr size_t kSynNodeNumber = 20;  // 34-byte thread node: the sixth word
constexpr int kSelConfEntrySize = 130;

unsigned LittleU16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t LittleU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Copies a string field of at most `width` bytes into a zeroed destination.
void CopyField(char* dest, size_t destSize, const char* source, size_t width) {
  size_t n = strnlen(source, width);
  if (n >= destSize) n = destSize - 1;
  std::memcpy(dest, source, n);
}

struct ConferencesRegistration {
  ConferencesRegistration() { g_conferenceList = &Conferences; }
};
}  // namespace

VirtualArray Conferences("Conferences", sizeof(ConfRec), CompareConfEntries);
VirtualArray ConfPuva("Conf puva", sizeof(ConfRec), CompareConfEntries);
VirtualArray IndexArray("index", 12);
VirtualArray LogCva("log cva", 10, CompareMsgNumbers);
VirtualArray Synopsis("Synopsis", 34, CompareSynNodes);
VirtualArray SelConf("SelConf", kSelConfEntrySize, CompareSelConfEntries);
SmartPointer CurrentFolder;
static ConferencesRegistration s_registration;

int ConferencesBusy = 0;
bool g_userFoldersMerged = false;
namespace {
void Nothing() {}
bool No() { return false; }
bool EveryFolder(const ConfRec*) { return true; }
bool NotModerated(const char*) { return false; }
void NoSelect(const char*) {}
const char* NoSelection() { return ""; }
}  // namespace

// Until the message-base window and the subscriptions install theirs: every
// folder passes, nothing is moderated, selected, running or refreshed.
const MessageBaseHooks kDefaultMessageBaseHooks = {
    EveryFolder,   // folderFilter
    Nothing,       // fillList
    NoSelect,      // selectFolder
    NotModerated,  // isModeratedTopic
    No,            // longOperation
    Nothing,       // applyFolderOrder
    Nothing,       // loadUserInfo
    NoSelection,   // selection
    No,            // windowExists
    No,            // windowActive
    Nothing,       // refreshList
    Nothing,       // refreshFolders
};
MessageBaseHooks g_messageBaseHooks = kDefaultMessageBaseHooks;

int CompareMsgNumbers(const void* a, const void* b) {
  if (!a || !b) return 0;
  return CompareInts(Int32At(a, kMsgIndexNumber), Int32At(b, kMsgIndexNumber));
}
int CompareSynNodes(const void* a, const void* b) {
  if (!a || !b) return 0;
  return CompareInts(Int32At(a, kSynNodeNumber), Int32At(b, kSynNodeNumber));
}
int CompareSynNodesReverse(const void* a, const void* b) { return -CompareSynNodes(a, b); }

int CompareSelConfEntries(const void* a, const void* b) {
  if (!a || !b) return 0;
  char left[kSelConfEntrySize + 1] = {}, right[kSelConfEntrySize + 1] = {};
  std::memcpy(left, a, kSelConfEntrySize);
  std::memcpy(right, b, kSelConfEntrySize);
  return CompareFolderNames(left, right);
}

bool PassesFolderFilter(const ConfRec& rec) { return g_messageBaseHooks.folderFilter(&rec); }

void ConvertOldConfRec(const OldConfRec& old, ConfRec* out) {
  std::memset(out, 0, sizeof *out);
  CopyField(out->name, sizeof out->name, old.name, sizeof old.name);
  out->selected = old.selected;
  out->readMark = old.readMark;
  CopyField(out->baseName, sizeof out->baseName, old.baseName, sizeof old.baseName);
  out->first = old.first;
  out->last = old.last;
  out->waiting = old.waiting;
  out->userInfo = old.userInfo;
  out->flags = static_cast<uint32_t>(static_cast<int32_t>(old.flags));
  out->order = old.order;
}

bool ConfRecUsable(const ConfRec& rec) {
  size_t n = strnlen(rec.name, sizeof rec.name);
  return n > 0 && std::memchr(rec.name, '/', n) && strnlen(rec.baseName, sizeof rec.baseName) > 0;
}

long BytesLeft(FILE* stream) {
  long here = std::ftell(stream);
  if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(stream);
  std::fseek(stream, here, SEEK_SET);
  return end < here ? -1 : end - here;
}

ConfFileResult ReadConfRecords(FILE* stream, VirtualArray& list, int64_t count, long left) {
  if (count < 0 || count > 0x7FFFFFFF) return CONFFILE_CORRUPT;
  if (count == 0) return CONFFILE_OK;
  // The count must fit what the file holds; a longer file keeps an old tail.
  if (left >= 0 && count * static_cast<int64_t>(sizeof(ConfRec)) > left) return CONFFILE_CORRUPT;
  if (!list.ReadElements(stream, static_cast<int>(count))) return CONFFILE_CORRUPT;
  // Stored names are NUL-terminated; a damaged one must not run past its field.
  for (int i = 0; i < list.Count(); ++i) {
    ConfRec* rec = static_cast<ConfRec*>(list.At(i));
    if (!rec) {
      list.SetSize(0);
      return CONFFILE_NO_MEMORY;
    }
    rec->name[sizeof rec->name - 1] = 0;
    rec->baseName[sizeof rec->baseName - 1] = 0;
  }
  return CONFFILE_OK;
}

ConfFileResult ReadOldConfRecords(FILE* stream, VirtualArray& list, int64_t count, long left) {
  if (count <= 0) return CONFFILE_OK;
  if (left >= 0 && count * static_cast<int64_t>(sizeof(OldConfRec)) > left) return CONFFILE_CORRUPT;
  for (int64_t i = 0; i < count; ++i) {
    OldConfRec old;
    if (std::fread(&old, sizeof old, 1, stream) != 1) {
      list.SetSize(0);
      return CONFFILE_CORRUPT;
    }
    ConfRec rec;
    ConvertOldConfRec(old, &rec);
    if (!list.Append(&rec)) {
      list.SetSize(0);
      return CONFFILE_NO_MEMORY;
    }
  }
  return CONFFILE_OK;
}

ConfFileResult ReadConfList(FILE* stream, VirtualArray& list, uint32_t* header) {
  list.SetSize(0);
  unsigned char head[6];
  if (std::fread(head, 1, 6, stream) != 6) return CONFFILE_CORRUPT;
  if (header) *header = LittleU32(head);
  int16_t marker = static_cast<int16_t>(LittleU16(head + 4));
  long left = BytesLeft(stream);
  if (marker == -1) {
    unsigned char wide[4];
    if (std::fread(wide, 1, 4, stream) != 4) return CONFFILE_CORRUPT;
    int32_t count = static_cast<int32_t>(LittleU32(wide));
    return ReadConfRecords(stream, list, count, left >= 0 ? left - 4 : -1);
  }
  return ReadOldConfRecords(stream, list, marker, left);
}

bool WriteConfList(FILE* stream, VirtualArray& list, uint32_t header) {
  unsigned char head[10];
  PutU32(head, header);
  head[4] = head[5] = 0xFF;
  PutU32(head + 6, static_cast<uint32_t>(list.Count()));
  if (std::fwrite(head, 1, sizeof head, stream) != sizeof head) return false;
  for (int i = 0; i < list.Count(); ++i) {
    const void* rec = list.At(i);
    if (!rec || std::fwrite(rec, sizeof(ConfRec), 1, stream) != 1) return false;
  }
  return std::fflush(stream) == 0;
}

int findmsgidx(int32_t number) {
  unsigned char key[10] = {};
  std::memcpy(key + kMsgIndexNumber, &number, sizeof number);
  return LogCva.Find(key);
}

int findsynnode(int32_t number) {
  unsigned char key[34] = {};
  std::memcpy(key + kSynNodeNumber, &number, sizeof number);
  return Synopsis.Find(key);
}
