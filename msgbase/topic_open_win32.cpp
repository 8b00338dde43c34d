// Opening and closing the one open topic, and the lookups of its messages.
#include "msgbase/topic_open.h"

#include <windows.h>

#include <io.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_lookup.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_keys.h"
#include "core/settings.h"
#include "core/small_text.h"
#include "msgbase/change_detect.h"
#include "msgbase/conf_files.h"
#include "msgbase/msg_fields.h"
#include "msgbase/msgid_list.h"
#include "msgbase/read_state.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_index.h"
#include "msgbase/topic_scan.h"
#include "msgbase/topic_scan_parallel.h"
#include "msgbase/user_folders.h"
#include "msgbase/user_info.h"

OpenTopicState g_topic;
LogReader g_logReader;
RebuildTimes g_lastRebuildTimes;
RebuildWalkSettings g_rebuildWalk;
namespace {
void Nothing() {}
bool No() { return false; }
int ThreadOrder() { return 4; }
bool NoFolder(const ConfRec*) { return false; }
bool NotIgnored(long) { return false; }
}  // namespace

// Until the browser, the shell and the outbasket install theirs: no browser,
// thread order, nothing ignored or resigned, nothing to repaint or abandon.
const TopicOpenHooks kDefaultTopicOpenHooks = {
    Nothing,      // browse
    Nothing,      // closeBrowser
    No,           // browserOpen
    ThreadOrder,  // messageOrder
    Nothing,      // nextNewMessage
    NoFolder,     // resignFilter
    Nothing,      // repaintList
    Nothing,      // updateFolderView
    Nothing,      // updateCommandStates
    Nothing,      // setMainTitle
    Nothing,      // repaintStatusBar
    NotIgnored,   // isIgnored
    No,           // ghostsChanged
    Nothing,      // refreshGhosts
    Nothing,      // abortCommand
};
TopicOpenHooks g_topicOpenHooks = kDefaultTopicOpenHooks;

namespace {

constexpr unsigned long kRightKeepMarks = 0x400;
constexpr int kMaxLogCvaRecords = 999999;

VirtualArray s_msgIds("msgid", sizeof(MsgIdEntry), CompareMsgIdKeys);
VirtualArray s_subjects("subject", sizeof(MsgIdEntry), CompareMsgIdKeys);

ConfRec* Folder() { return CurrentFolder.Bound() ? static_cast<ConfRec*>(CurrentFolder.element) : nullptr; }

bool LongOperation() { return g_messageBaseHooks.longOperation(); }
bool BrowserOpen() { return g_topicOpenHooks.browserOpen(); }
void CloseBrowser() { g_topicOpenHooks.closeBrowser(); }
void Call(void (*hook)()) { hook(); }
int MessageOrder() { return g_topicOpenHooks.messageOrder(); }

const char* OpenFolderName() { return g_topic.log ? g_topic.openName : nullptr; }

void Copy(char* to, const char* from, size_t size) { lstrcpynA(to, from ? from : "", static_cast<int>(size)); }

// A path beside the log with another extension.
void PathWithExtension(const char* logPath, const char* extension, char* out) {
  Copy(out, logPath, MAX_PATH);
  setext(out, extension, MAX_PATH);
}

// The file's time exactly as filetime gives it (the same conversion), from
// its directory entry in one call: the directory search behind filetime
// costs more under some systems than reading a whole index.
time_t FileTimeOf(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  FILETIME when = data.ftLastWriteTime;
  if (!when.dwLowDateTime && !when.dwHighDateTime) when = data.ftCreationTime;
  return CalendarTime(when);
}

void ReloadServiceConfig() {
  char key[SERVICE_KEY_MAX + 1] = "";
  if (g_topic.log) getservice(key, g_topic.openName);
  LoadFolderConf(key);
}

struct LogCvaIgnored {
  static bool Test(void*, long number) { return g_topicOpenHooks.isIgnored(number); }
};

// Rewrites a file through a temporary one beside it; the old file stays
// until the new one is whole.
struct TempRewrite {
  char path[MAX_PATH] = "";
  char temp[MAX_PATH] = "";
  FILE* file = nullptr;

  bool Begin(const char* target) {
    Copy(path, target, sizeof path);
    std::snprintf(temp, sizeof temp, "%s~", target);
    EraseFileOnce(temp);  // left by an earlier run that stopped half way
    file = CreateTempBeside(temp);
    return file != nullptr;
  }
  bool Finish(bool ok) {
    if (file) ok = CloseTemp(file) && ok;
    file = nullptr;
    ok = ok && MoveOver(temp, path);
    if (!ok) EraseFileOnce(temp);
    return ok;
  }
};

bool WriteIndexFile(const char* indexPath, long first, long last) {
  TempRewrite out;
  bool ok = out.Begin(indexPath);
  int error = ok ? 0 : errno;
  if (ok) {
    TopicIndexArrays arrays{&IndexArray, &LogCva, &Synopsis};
    ok = WriteTopicIndex(StdioSink(out.file), arrays, first, last, MessageOrder()) == 1;
    if (!ok) error = errno;
  }
  if (!out.Finish(ok)) {
    if (!error) error = static_cast<int>(GetLastError());
    WarnBoxF("Index File Error. File Name: %s;  Dos Error Code:%d\n", indexPath, error);
    return false;
  }
  return true;
}

// ---- the reindex path of scanmsg ----

// The thread file's records gathered and written 64 KB at a time:
// a record is 125 bytes, and there is one per message.
struct ThreadFileWriter {
  FILE* file = nullptr;
  std::vector<unsigned char> bytes;
  bool ok = true;

  static bool Add(void* context, const void* data, size_t size) {
    auto& w = *static_cast<ThreadFileWriter*>(context);
    const auto* p = static_cast<const unsigned char*>(data);
    w.bytes.insert(w.bytes.end(), p, p + size);
    return w.bytes.size() < kFlushSize || w.Flush();
  }
  // False once any write failed.
  bool Flush() {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) ok = false;
    bytes.clear();
    return ok;
  }
  ByteSink Sink() {
    ByteSink sink;
    sink.context = this;
    sink.write = Add;
    return sink;
  }
  static constexpr size_t kFlushSize = 1 << 16;
};

struct Rebuild {
  ThreadFileWriter thr;
  uint32_t thrLength = 0;  // the thread file starts empty
  bool scrambled = false;
  MessageIdList* ids = nullptr;
  bool ok = true;
  long first = kReindexNumber, last = 0;
};

int32_t NumberAt(int slot) { return static_cast<MsgIndexRec*>(LogCva.At(slot))->number; }

// The slot of the first record whose number is not below `number`.
int LowerBound(long number) {
  int low = 0, high = LogCva.Count();
  while (low < high) {
    int mid = low + (high - low) / 2;
    if (NumberAt(mid) < number)
      low = mid + 1;
    else
      high = mid;
  }
  return low;
}

void DropOldest(Rebuild& b) {
  LogCva.RemoveAt(0);
  IndexArray.RemoveAt(0);
  if (LogCva.Count() > 0) b.first = NumberAt(0);
}

void AddScanned(void* context, const ScanRecord& m) {
  Rebuild& b = *static_cast<Rebuild*>(context);
  IndexRec index = {m.logOffset, 0, static_cast<int32_t>(m.date)};
  index.thrOffset = b.thrLength;
  if (!WriteThreadRecord(b.thr.Sink(), m.thread, b.scrambled)) b.ok = false;
  b.thrLength += sizeof(ThreadRecord);
  MsgIndexRec rec = {static_cast<int32_t>(m.number), static_cast<int32_t>(m.parent), m.flags};

  int count = LogCva.Count();
  if (count == 0 || NumberAt(count - 1) < m.number) {
    if (count >= kMaxLogCvaRecords) DropOldest(b);
    LogCva.Append(&rec);
    IndexArray.Append(&index);
  } else {
    int slot = LowerBound(m.number);
    if (slot < count && NumberAt(slot) == m.number) {
      std::memcpy(LogCva.At(slot), &rec, sizeof rec);
      std::memcpy(IndexArray.At(slot), &index, sizeof index);
    } else {
      if (count >= kMaxLogCvaRecords) {
        DropOldest(b);
        slot = slot > 0 ? slot - 1 : 0;
      }
      LogCva.InsertAt(slot, &rec);
      IndexArray.InsertAt(slot, &index);
    }
  }
  if (LogCva.Count() > 0) {
    b.first = NumberAt(0);
    if (m.number > b.last) b.last = m.number;
  }
  if (b.ids) {
    MsgIdListAdd(*b.ids, m.messageId, StripReplyPrefix(m.subject), m.number, static_cast<long>(m.date));
  }
}

double SecondsNow() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The rebuild's workers each read the log through a handle of their own.
// Shared as the import program and other instances need it; when the log
// was opened denying all sharing, none opens and the walk keeps to one thread.
long ReadHandle(void* context, char* buffer, size_t size) {
  DWORD got = 0;
  if (!ReadFile(static_cast<HANDLE>(context), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
  return static_cast<long>(got);
}
long SeekHandle(void* context, long offset) {
  DWORD at = SetFilePointer(static_cast<HANDLE>(context), offset, nullptr, FILE_BEGIN);
  return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
}
bool OpenLogAgain(void*, LogSource* source) {
  HANDLE h = CreateFileA(g_topic.logPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  source->context = h;
  source->read = ReadHandle;
  source->seek = SeekHandle;
  return true;
}
void CloseLogAgain(void*, LogSource* source) { CloseHandle(static_cast<HANDLE>(source->context)); }

void CantOpen(const char* path) {
  char text[MAX_PATH + 32];
  std::snprintf(text, sizeof text, "Can't open '%s'", path);
  msgnote(text);
}

int ReindexOpenTopic() {
  ConfRec* rec = Folder();
  if (!g_topic.log || !rec) return 0;
  BeginWait();
  g_topic.cachedNumber = kNoCachedMessage;
  FolderKind kind = FolderKindFromName(g_topic.openName);
  LogCva.SetSize(0);
  IndexArray.SetSize(0);
  // The thread order points into the old slots; the browser builds it anew.
  Synopsis.SetSize(0);
  bool browserWasOpen = BrowserOpen();
  if (browserWasOpen) CloseBrowser();

  char indexPath[MAX_PATH], thrPath[MAX_PATH], idPath[MAX_PATH];
  PathWithExtension(g_topic.logPath, ".ind", indexPath);
  PathWithExtension(indexPath, ".thr", thrPath);
  PathWithExtension(g_topic.logPath, ".id", idPath);
  TempRewrite thr, ids;
  if (!thr.Begin(thrPath)) {
    CantOpen(thrPath);
    EndWait();
    return 0;
  }
  bool keepIds = kind.mail || kind.news;
  if (keepIds && !ids.Begin(idPath)) {
    thr.Finish(false);
    CantOpen(idPath);
    EndWait();
    return 0;
  }
  MessageIdList list;
  list.msgid = &s_msgIds;
  list.subject = &s_subjects;
  list.pump = PumpMessages;
  char dravenetDomain[256], unused[256];
  ServiceMailDomains("dvn", dravenetDomain, unused, sizeof dravenetDomain);
  list.dravenetMailDomain = dravenetDomain;
  if (keepIds) MsgIdListOpen(list, nullptr);

  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, g_topic.openName);
  LoadServiceSettings(key);
  ScanOptions options;
  options.folderName = g_topic.openName;
  options.kind = kind;
  options.identity = sameservice(key, "net") ? g_service.emailAddress : g_service.name;
  options.personalAddress = g_service.personalAddress;
  options.nameList = g_service.groupNames;
  char quorlDomains[2][256];
  if (kind.quorl) {
    ServiceMailDomains(key, quorlDomains[0], quorlDomains[1], sizeof quorlDomains[0]);
    options.quorlMailDomains[0] = quorlDomains[0];
    options.quorlMailDomains[1] = quorlDomains[1];
  }

  Rebuild build;
  build.thr.file = thr.file;
  build.thr.bytes.reserve(ThreadFileWriter::kFlushSize + sizeof(ThreadRecord));
  build.scrambled = (rec->flags & CONF_SCRAMBLED) != 0;
  build.ids = keepIds ? &list : nullptr;
  RebuildTimes& times = g_lastRebuildTimes;
  double at = SecondsNow(), was = at;
  auto lap = [&](double& into) {
    at = SecondsNow();
    into = at - was;
    was = at;
  };
  ParallelScanSetup walk;
  walk.opener.open = OpenLogAgain;
  walk.opener.close = CloseLogAgain;
  walk.logSize = static_cast<long>(_filelength(_fileno(g_topic.log)));
  walk.threads = g_rebuildWalk.threads;
  walk.pieceBytes = g_rebuildWalk.pieceBytes;
  times.threads = ParallelScanThreads(walk);
  ScanTopicLogParallel(g_logReader, options, walk, AddScanned, &build);
  lap(times.walk);

  if (!thr.Finish(build.thr.Flush() && build.ok)) CantOpen(thrPath);
  lap(times.threadFile);
  if (keepIds && !ids.Finish(MsgIdListSave(list, ids.file) == 1)) CantOpen(idPath);
  lap(times.idList);

  if (LogCva.Count() > 0) {
    g_topic.first = build.first;
    g_topic.last = build.last;
  } else {
    g_topic.first = g_topic.last = 0;
  }
  rec->first = g_topic.first;
  rec->last = g_topic.last;
  // Written now as well as at close, so a topic that is never closed (a
  // stopped program) does not rebuild again at its next open. The file just
  // written is the one close compares with: the time noted at open would
  // make close take it for another instance's and skip later changes.
  if (WriteIndexFile(indexPath, g_topic.first > g_topic.last ? 0 : g_topic.first, g_topic.last))
    g_topic.indexTime = FileTimeOf(indexPath);
  lap(times.index);
  g_topic.indexChanged = true;
  if (browserWasOpen) Call(g_topicOpenHooks.browse);
  EndWait();
  return 1;
}

void ReportMissing(long number) {
  if (g_topic.opening) throw TopicRecovery{};
  if (number >= g_topic.first && number <= g_topic.last) {
    msgwarn("Index File Error");
  } else {
    char text[300];
    Copy(text,
         "%PROGRAM% has detected an index range error in your message database.\n\n"
         "To correct the problem please run Reindex.",
         sizeof text);
    ExpandTextMacros(text, sizeof text);
    msgwarn(text);
  }
  WarnBoxF("first %ld last %ld current %ld num %ld\n", g_topic.first, g_topic.last, g_topic.readMark, number);
  Call(g_topicOpenHooks.abortCommand);
}

// ---- logopen ----

void ReportOpenFailure(const ConfRec& rec, const char* path, int error) {
  DebugLogF("logopen(): fn=%s, errno=%d\n", path, error);
  if (g_topic.exclusiveOpen) return;
  char name[101];
  Copy(name, rec.name, sizeof name);
  FixNameCase(name);
  DWORD attributes = GetFileAttributesA(path);
  bool missing = attributes == INVALID_FILE_ATTRIBUTES &&
                 (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
  if (!missing && error == EACCES) {
    WarnBoxF("'%s' is locked by another user or program.\n\nFilename is '%s'", name, path);
    return;
  }
  if (!missing) {
    char base[sizeof rec.baseName + 1] = {};
    std::memcpy(base, rec.baseName, strnlen(rec.baseName, sizeof rec.baseName));
    char status[128];
    std::snprintf(status, sizeof status, "%s: File error %d", base, error);
    setstatus(status);
  }
  WarnBoxF("Can't find message file for folder '%s'", name);
}

// The read mark kept in the record, brought inside the range the index gives;
// true when the first message must show unread afterwards.
bool ReconcileLoadedReadMark(ConfRec& rec) {
  bool firstUnread = false;
  long mark = rec.readMark;
  if (mark > g_topic.last) mark = g_topic.last;
  if (mark < g_topic.first) {
    mark = g_topic.first;
    firstUnread = true;
  }
  rec.readMark = mark;
  g_topic.readMark = mark;
  MarkReadUpTo(LogCva, mark);
  ReadUserInfo();
  return firstUnread;
}

bool LoadIndex(ConfRec& rec, const char* indexPath) {
  FILE* file = fileopen(indexPath, _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!file) return false;
  char thrPath[MAX_PATH];
  PathWithExtension(indexPath, ".thr", thrPath);
  TopicIndexLimits limits;
  // Sizes from the open log's handle and the thread file's directory entry:
  // opening a file only to measure it costs more than reading the index.
  long logSize = _filelength(_fileno(g_topic.log));
  limits.logSize = logSize < 0 ? 0 : logSize;
  // A thread file that is gone makes every record of the index point nowhere.
  WIN32_FILE_ATTRIBUTE_DATA thr;
  limits.thrSize = GetFileAttributesExA(thrPath, GetFileExInfoStandard, &thr) && thr.nFileSizeHigh == 0 &&
                           thr.nFileSizeLow <= static_cast<DWORD>(LONG_MAX)
                       ? static_cast<long>(thr.nFileSizeLow)
                       : 0;
  TopicIndexHeader header;
  TopicIndexArrays arrays{&IndexArray, &LogCva, &Synopsis};
  arrays.logCvaByNumber = true;
  int result = ReadTopicIndex(StdioSource(file), arrays, &header, limits);
  fileclose(file);
  if (result != kIndexRead) return false;
  if (Synopsis.Count() > 1) Synopsis.Sort(CompareSynNodes);
  g_topic.first = header.first;
  g_topic.last = header.last;
  rec.first = header.first;
  rec.last = header.last;
  return true;
}

void RebuildOnOpen(ConfRec& rec, const char* indexPath) {
  LogCva.SetSize(0);
  IndexArray.SetSize(0);
  Synopsis.SetSize(0);
  setstatus("Recreating .ind file");
  g_topic.last = 0;
  g_topic.first = kReindexNumber;
  scanmsg(kReindexNumber);
  if (!LongOperation()) {
    FILE* check = fopen_r(indexPath, FO_BINARY | FO_QUIET);
    if (check)
      fileclose(check);
    else
      setstatus("Message file is corrupted; Cannot create index");
  }
  if (g_topic.first > g_topic.last || LogCva.Count() == 0) g_topic.first = g_topic.last = 0;
  rec.first = g_topic.first;
  rec.last = g_topic.last;
  long mark = rec.readMark;
  // first - 1 stands for "nothing read" and stays so.
  if (mark > g_topic.last || mark < g_topic.first - 1) mark = g_topic.last;
  if (mark < 0) mark = 0;
  rec.readMark = mark;
  g_topic.readMark = mark;
  MarkReadUpTo(LogCva, mark);
  g_topic.indexTime = -1;
}

// Steps of the open after the recovery point; 1 opened, 0 not (nothing open).
int OpenTopicSteps(bool repair) {
  DebugLog("logopen() start\n");
  BeginWait();
  if (g_topic.remergeUserFolders && !LongOperation()) {
    wtuconf();
    rduconf();
    Call(g_messageBaseHooks.loadUserInfo);
    g_topic.remergeUserFolders = false;
  }
  g_topic.indexChanged = false;
  if (!findconf(CurrentFolder, g_topic.openName)) {
    EndWait();
    return 0;
  }
  ConfRec& rec = *Folder();
  char base[sizeof rec.baseName + 1] = {};
  std::memcpy(base, rec.baseName, strnlen(rec.baseName, sizeof rec.baseName));
  char joined[MAX_PATH * 2];
  JoinPath(joined, sizeof joined, {g_app.dataDir, base});
  NormalisePath(joined, g_topic.logPath, sizeof g_topic.logPath);
  rec.flags &= ~CONF_VISITED;
  g_topic.openFlags = rec.flags;

  bool exclusive = g_topic.exclusiveOpen;
  errno = 0;
  FILE* log = fileopen(g_topic.logPath, _O_RDONLY | _O_BINARY, "rb", (exclusive ? LOCK_EXCLUSIVE : 0) | LOCK_QUIET);
  int error = errno;
  if (!log) {
    ReportOpenFailure(rec, g_topic.logPath, error);
    g_topic.exclusiveOpen = false;
    g_topic.log = nullptr;
    EndWait();
    return 0;
  }
  g_topic.exclusiveOpen = false;
  // The line reader has its own block buffer; a second one only copies.
  setvbuf(log, nullptr, _IONBF, 0);
  g_topic.log = log;
  g_folderNameHooks.openFolderName = OpenFolderName;
  g_topic.logTime = FileTimeOf(g_topic.logPath);
  g_logTime = g_topic.logTime;  // the poll's change test starts from the open
  DebugLogF("logopen(): _logtime=%d\n", static_cast<int>(g_topic.logTime));
  LogReaderOpen(g_logReader, StdioSource(log), (rec.flags & CONF_SCRAMBLED) != 0);
  g_logReader.notices.status = setstatus;
  g_logReader.notices.box = msgwarn;
  g_topic.cachedNumber = kNoCachedMessage;

  char indexPath[MAX_PATH];
  PathWithExtension(g_topic.logPath, ".ind", indexPath);
  g_topic.indexTime = FileTimeOf(indexPath);
  // Each open empties and refills these; the blocks of the last topic serve
  // the next rather than going back to the system and being asked for again.
  for (VirtualArray* array : {&IndexArray, &LogCva, &Synopsis}) array->KeepBlocksWhenEmptied(true);
  IndexArray.SetSize(0);
  g_topic.readMark = 0;
  bool firstUnread = false;
  if (!repair && LoadIndex(rec, indexPath)) {
    firstUnread = ReconcileLoadedReadMark(rec);
  } else {
    RebuildOnOpen(rec, indexPath);
  }
  if (firstUnread && LogCva.Count() > 0) static_cast<MsgIndexRec*>(LogCva.At(0))->flags &= ~kMsgRead;
  if (std::strchr(g_topic.openName, '\xFF')) MarkReadUpTo(LogCva, g_topic.last);

  DebugLog("logopen() after index file has been loaded\n");
  if (!LongOperation()) {
    setstatus("");
    ReloadServiceConfig();
    if (g_topicOpenHooks.ghostsChanged()) Call(g_topicOpenHooks.refreshGhosts);
    Call(g_topicOpenHooks.setMainTitle);
    g_messageBaseHooks.selectFolder(g_topic.openName);
    Call(g_topicOpenHooks.repaintStatusBar);
    Call(g_topicOpenHooks.updateCommandStates);
    rec.flags &= ~CONF_RESIGNED;
    Call(g_topicOpenHooks.browse);
  }
  EndWait();
  return 1;
}

// Gives up what a failed open left behind.
void DropHalfOpenTopic() {
  CloseBrowser();
  if (g_topic.log) fileclose(g_topic.log);
  g_topic.log = nullptr;
  LogReaderClose(g_logReader);
}

bool OwnMailFolder() {
  if (!ismailfolder(g_topic.openName) || !g_app.userName[0]) return false;
  const char* after = std::strpbrk(g_topic.openName, "/ ");
  return after && lstrcmpiA(after + 1, g_app.userName) == 0;
}

}  // namespace

int logopen() {
  if (g_topic.guard) return 0;
  g_topic.guard = true;
  g_topic.opening = true;
  bool repair = false;
  int result = 0;
  for (;;) {
    try {
      result = OpenTopicSteps(repair);
      break;
    } catch (const TopicRecovery&) {
      g_topic.opening = false;
      EndWait();
      DropHalfOpenTopic();
      char name[101];
      Copy(name, g_topic.openName, sizeof name);
      FixNameCase(name);
      char question[400];
      std::snprintf(question, sizeof question,
                    "%%PROGRAM%% has detected a problem with folder '%s'.\n\n"
                    "Do you want %%PROGRAM%% to try to repair the file ?",
                    name);
      ExpandTextMacros(question, sizeof question);
      // A repair that meets the same problem again is not offered twice.
      if (repair || !askyesno(question)) {
        result = 0;
        break;
      }
      repair = true;
      g_topic.opening = true;
    }
  }
  g_topic.guard = false;
  g_topic.opening = false;
  DebugLog("logopen() close\n");
  return result;
}

void logclose() {
  if (g_topic.guard || !g_topic.log) return;
  g_topic.guard = true;
  BeginWait();
  ConfRec* rec = Folder();
  long mark = ReadMarkFromReadBits(LogCva, g_topic.first, g_topic.last);
  g_topic.readMark = mark;
  if (rec) {
    rec->first = g_topic.first;
    rec->last = g_topic.last;
    rec->readMark = mark;
    UnreadCountOptions options;
    options.folderName = g_topic.openName;
    options.last = g_topic.last;
    options.isIgnored = LogCvaIgnored::Test;
    options.recomputeReadMark = g_recomputeReadMark;
    // The record keeps the mark of the read bits; the option recomputes the
    // open topic's own.
    rec->waiting = countunread(LogCva, options, &g_topic.readMark);
  }

  bool write = OwnMailFolder() || LongOperation() || HasRight(kRightKeepMarks) || g_topic.indexChanged;
  if (write) {
    char indexPath[MAX_PATH];
    PathWithExtension(g_topic.logPath, ".ind", indexPath);
    // Another instance that rewrote the index since our open wins.
    if (g_topic.indexTime == -1 || FileTimeOf(indexPath) == g_topic.indexTime)
      WriteIndexFile(indexPath, g_topic.first, g_topic.last);
    PumpMessages();
  }

  if (BrowserOpen()) CloseBrowser();
  PumpMessages();
  if (!LongOperation() && g_app.userName[0]) {
    WriteUserInfo();
    wtuconf();
  }
  fileclose(g_topic.log);
  g_topic.log = nullptr;
  LogReaderClose(g_logReader);
  if (!LongOperation()) {
    Call(g_topicOpenHooks.updateCommandStates);
    Call(g_topicOpenHooks.repaintStatusBar);
  }
  Copy(g_topic.previousName, g_topic.openName, sizeof g_topic.previousName);
  if (!g_topic.switching) ReloadServiceConfig();
  Call(g_topicOpenHooks.setMainTitle);
  Call(g_topicOpenHooks.repaintList);
  Call(g_topicOpenHooks.updateFolderView);
  EndWait();
  g_topic.guard = false;
}

void SwitchTopic(const char* name) {
  if (g_topic.guard) return;
  char wanted[100], old[100];
  Copy(wanted, name, sizeof wanted);
  Copy(old, g_topic.openName, sizeof old);
  g_topic.switching = true;
  if (g_topic.log) logclose();
  Copy(g_topic.requestedName, wanted, sizeof g_topic.requestedName);
  Copy(g_topic.openName, wanted, sizeof g_topic.openName);
  Copy(g_topic.previousName, old, sizeof g_topic.previousName);
  logopen();
  g_topic.switching = false;
  if (!g_topic.log) ReloadServiceConfig();
  EndWait();
}

int ReopenTopic() {
  if (!g_topic.previousName[0]) {
    msgnote("No folder to rejoin");
    return 0;
  }
  char previous[100];
  Copy(previous, g_topic.previousName, sizeof previous);
  if (g_topic.log) logclose();
  Copy(g_topic.requestedName, previous, sizeof g_topic.requestedName);
  Copy(g_topic.openName, previous, sizeof g_topic.openName);
  int result = logopen();
  g_topic.previousName[0] = 0;
  return result;
}

void NextWaitingFolder() {
  ConfRec* open = g_topic.log ? Folder() : nullptr;
  if (!open) {
    Call(g_topicOpenHooks.nextNewMessage);
    return;
  }
  open->flags |= CONF_VISITED;
  bool any = false, unvisited = false;
  for (int i = 0; i < Conferences.Count(); ++i) {
    ConfRec* c = static_cast<ConfRec*>(Conferences.At(i));
    if (!c || (c->flags & CONF_RESIGNED) || c->waiting == 0) continue;
    if (g_topicOpenHooks.resignFilter(c)) continue;
    if (lstrcmpiA(c->name, g_topic.openName) == 0) continue;
    any = true;
    if (!(c->flags & CONF_VISITED)) unvisited = true;
  }
  if (!any) {
    msgnote("No messages waiting in other folders");
    return;
  }
  if (!unvisited) {
    for (int i = 0; i < Conferences.Count(); ++i) {
      ConfRec* c = static_cast<ConfRec*>(Conferences.At(i));
      if (c) c->flags &= ~CONF_VISITED;
    }
  }
  logclose();
  SmartPointer closed;
  if (findconf(closed, g_topic.previousName)) {
    ConfRec* c = static_cast<ConfRec*>(closed.element);
    if (c->waiting > 0) c->flags |= CONF_VISITED;
  }
  Call(g_topicOpenHooks.nextNewMessage);
}

int scanmsg(long number) {
  if (!g_topic.log) return 0;
  g_logReader.remaining = 0;
  if (number > kMaxMessageNumber) return ReindexOpenTopic();
  for (int attempt = 0; attempt < 2; ++attempt) {
    long offset;
    if (number != g_topic.cachedNumber || number == 0) {
      if (number < g_topic.first || number > g_topic.last) return 0;
      int slot = findmsgidx(static_cast<int32_t>(number));
      if (slot < 0) return 0;
      offset = static_cast<long>(static_cast<IndexRec*>(IndexArray.At(slot))->logOffset);
      DebugLogF("scanmsg(%ld): Seeking to offset %ld\n", number, offset);
      g_topic.cachedNumber = number;
      g_topic.cachedOffset = offset;
    } else {
      offset = g_topic.cachedOffset;
    }
    MessageHeader header;
    if (ReadMessageStartAt(g_logReader, offset, &header) == number) return 1;
    if (attempt == 0 && !ReindexOpenTopic()) return 0;
    g_topic.cachedNumber = kNoCachedMessage;
  }
  return 0;
}

int IsOwnMessage(long number) {
  OwnMessageQuery query;
  MessageHeader header;
  // scanmsg keeps the message's offset; the header is read again from it for
  // the author, and the fields follow it.
  query.found = scanmsg(number) == 1 && ReadMessageStartAt(g_logReader, g_topic.cachedOffset, &header) == number;
  if (!query.found) return 0;
  MessageFields fields = {};
  GetMessageFields(g_logReader, FolderKindFromName(g_topic.openName), fields);
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, g_topic.openName);
  LoadServiceSettings(key);
  char quorl[256], bix[256], unused[256], own[512];
  ServiceMailDomains("quorl", quorl, unused, sizeof quorl);
  ServiceMailDomains("bix", bix, unused, sizeof bix);
  OwnAddressDomains domains;
  domains.quorl = quorl;
  domains.bix = bix;
  MakeOwnAddress(g_topic.openName, g_service.name, g_service.emailAddress, domains, own, sizeof own);
  query.dravenet = sameservice(g_topic.openName, "dvn");
  query.author = header.author;
  query.from = fields.sender;
  query.serviceUserName = g_service.name;
  query.ownAddress = own;
  return IsOwnMessage(query);
}

int msgindex(long number, int quiet) {
  if (!CurrentFolder.Bound()) return 0;
  int slot = -1;
  if (number >= g_topic.first && number <= g_topic.last) slot = findmsgidx(static_cast<int32_t>(number));
  if (slot >= 0) return slot;
  if (!quiet) ReportMissing(number);
  return -1;
}

MsgIndexRec* getmsghdr(long number, int quiet) {
  static MsgIndexRec standBy;
  int slot = msgindex(number, quiet);
  if (slot >= 0 && CurrentFolder.Bound()) {
    MsgIndexRec* rec = static_cast<MsgIndexRec*>(LogCva.At(slot));
    if (rec) return rec;
  }
  standBy = {static_cast<int32_t>(number), 0, kMsgMissing};
  return &standBy;
}
