// The message-import program: takes the files queued in import.dat in order,
// appends their messages to the topic logs and leaves each topic's index to
// be rebuilt at its next open.
//
// Nothing a queued file brings is half there after a kill: before the first
// byte of a file goes to a log, import.jnl records each log's length (or that
// it is rewritten, keeping the old one beside it) and each folder's numbers.
// A run that finds a pending journal cuts the logs back and restores the
// numbers, then imports the file again, which gives its messages the same
// numbers. A committed journal only has the queue entry and tidying left.
// The journal, conf.ww and import.dat are synced; the logs are flushed, so a
// killed run loses nothing it wrote.
//
// The windows (MsgImport, which the program asks to come forward or to stop,
// and PLCheckClass, by which it knows the import runs) have a thread of
// their own (import32_window.cpp); the import itself runs on the main thread.
// conf.ww's editing, the journal and the rebuild mode have files of their
// own too (import32_folders.cpp, import32_journal.cpp, import32_build.cpp).
//
// Command line: "build" imports the queue and writes import.ok when the
// topics handed back for rebuilding were rebuilt; an absolute directory is
// the data directory (else the current directory); other words (the user
// name) change nothing.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <functional>
#include <thread>
#include <set>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/virtual_array.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue_file.h"
#include "msgbase/import_text.h"
#include "msgbase/topic_log.h"
#include "msgbase/user_folders.h"
#include "standins/import/import32.h"
#include "standins/import/import_journal.h"
#include "standins/import/import_parse.h"

namespace import32 {

std::string g_dir;
std::atomic<bool> g_stop{false};
bool g_buildMode = false;
int g_buildsDone = 0, g_buildsFailed = 0;
std::atomic<HWND> g_window{nullptr};
std::string g_dieAt;

std::string DataFile(const char* name) { return g_dir + name; }

void DieAt(const char* point) {
  if (!g_dieAt.empty() && g_dieAt == point) TerminateProcess(GetCurrentProcess(), 99);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

long long SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Messages of the importing thread (the file layer pumps them while it
// waits for a lock); the windows have a thread of their own.
void PumpAll() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      g_stop = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// ---- small file helpers ------------------------------------------------------

void AppendReport(const std::string& line) {
  FILE* f = fileopen(DataFile("import.log").c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, "ab",
                     LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!f) return;
  std::fputs((line + "\r\n").c_str(), f);
  fileclose(f);
}

bool WriteAll(FILE* f, const char* bytes, size_t size) {
  return std::fwrite(bytes, 1, size, f) == size && std::fflush(f) == 0;
}

bool Durable(FILE* f, SyncKind kind) { return std::fflush(f) == 0 && Commit(_fileno(f), kind); }

bool ReadSmallFile(const std::string& path, std::string* out) {
  FILE* f = fileopen(path.c_str(), _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!f) return false;
  char buffer[8192];
  size_t n;
  out->clear();
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && out->size() < (64u << 20)) out->append(buffer, n);
  bool ok = !std::ferror(f);
  fileclose(f);
  return ok;
}

// Written beside the old file and then put in its place, so a reader finds
// the old or the new one whole.
bool ReplaceFileWith(const std::string& path, const std::string& bytes, SyncKind kind) {
  std::string temp = path + ".new";
  FILE* f = fileopen(temp.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, "wb", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!f) return false;
  bool ok = WriteAll(f, bytes.data(), bytes.size()) && Durable(f, kind);
  fileclose(f);
  if (ok) ok = MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileA(temp.c_str());
  return ok;
}

void Touch(const char* name) {
  if (FILE* f = fileopen(DataFile(name).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, "wb", LOCK_QUIET))
    fileclose(f);
}

std::string IndexPathOf(const std::string& logPath) {
  size_t dot = logPath.find_last_of('.');
  size_t slash = logPath.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return logPath + ".ind";
  return logPath.substr(0, dot) + ".ind";
}

std::string NowText() {
  std::time_t now = std::time(nullptr);
  std::tm* local = std::localtime(&now);
  return local ? ImportDate(*local) : std::string();
}

// A queued path: "~" stands for the data directory.
std::string EntryFile(const char* queued) {
  std::string path = queued;
  if (!path.empty() && path[0] == '~') path = g_dir + path.substr(1);
  return path;
}

// The queued file's bytes, mapped rather than read so that a large batch
// costs no copy; the file stays open and write-locked meanwhile.
class MappedFile {
 public:
  ~MappedFile() { Close(); }
  bool Open(const std::string& path) {
    file_ = fileopen(path.c_str(), _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
    if (!file_) return false;
    return Map(path, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_))));
  }
  // Off the main thread: the file layer's open waits for locks by pumping the
  // thread's messages and keeps a table of its own, so this one opens the
  // file directly, with the same sharing, and gives up at once when it is
  // held.
  bool OpenAtOnce(const std::string& path) {
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    return Map(path, handle_);
  }
  bool Map(const std::string& path, HANDLE handle) {
    long long size = SizeOf(path);
    if (size < 0 || size > 0x70000000LL) return false;
    size_ = static_cast<size_t>(size);
    if (size_ == 0) return true;
    mapping_ = CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping_) return false;
    data_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
    return data_ != nullptr;
  }
  void Close() {
    if (data_) UnmapViewOfFile(data_);
    if (mapping_) CloseHandle(mapping_);
    if (file_) fileclose(file_);
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    data_ = nullptr;
    mapping_ = nullptr;
    file_ = nullptr;
    handle_ = INVALID_HANDLE_VALUE;
  }
  std::string_view Bytes() const { return data_ ? std::string_view(data_, size_) : std::string_view(); }

 private:
  FILE* file_ = nullptr;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  const char* data_ = nullptr;
  size_t size_ = 0;
};

// Tells a queued file from a later file of the same name: its length and
// its first and last 64 KB are enough, and cost nothing on a large batch.
uint32_t IdentityOf(std::string_view bytes) {
  constexpr size_t kEnds = 65536;
  uint64_t size = bytes.size();
  uint32_t hash = HashBytes(&size, sizeof size);
  if (bytes.size() <= 2 * kEnds) return HashBytes(bytes.data(), bytes.size(), hash);
  hash = HashBytes(bytes.data(), kEnds, hash);
  return HashBytes(bytes.data() + bytes.size() - kEnds, kEnds, hash);
}

uint32_t HashOfFile(const std::string& path, bool* readable) {
  MappedFile file;
  *readable = file.Open(path);
  return IdentityOf(file.Bytes());
}

// The hash of the last bytes of a log before length.
bool TailHash(FILE* f, long length, uint32_t* hash) {
  long from = length > static_cast<long>(kTailBytes) ? length - static_cast<long>(kTailBytes) : 0;
  char buffer[kTailBytes];
  if (std::fseek(f, from, SEEK_SET) != 0) return false;
  size_t want = static_cast<size_t>(length - from);
  if (std::fread(buffer, 1, want, f) != want) return false;
  *hash = HashBytes(buffer, want);
  return true;
}

// ---- the queue -----------------------------------------------------------------

const char* QueueDamageText(ImportQueueReadResult result) {
  switch (result) {
    case IMPORTQ_BAD_HEADER: return "it is not an import queue";
    case IMPORTQ_TRUNCATED: return "it ends inside an entry";
    case IMPORTQ_BAD_ENTRY: return "an entry is damaged";
    default: return "out of memory";
  }
}

// Under the queue's lock: reads the held queue. A damaged one is copied to
// import.bad (import1.bad, ... when taken) and written again from the entries
// that still read whole, with a line in import.log, so that a broken entry
// does not stop every later run; nothing readable is lost.
bool ReadHeldQueue(FILE* q, VirtualArray& queue) {
  ImportQueueReadResult result = ReadImportQueue(q, queue);
  if (result == IMPORTQ_OK) return true;
  if (result == IMPORTQ_NO_MEMORY) return false;
  std::string bytes;
  std::fseek(q, 0, SEEK_END);
  long size = std::ftell(q);
  bool read = size >= 0 && std::fseek(q, 0, SEEK_SET) == 0;
  if (read) {
    bytes.resize(static_cast<size_t>(size));
    read = std::fread(bytes.data(), 1, bytes.size(), q) == bytes.size();
  }
  std::string aside;
  for (int n = 0; read && aside.empty() && n < 100; ++n) {
    std::string candidate = DataFile(n ? ("import" + std::to_string(n) + ".bad").c_str() : "import.bad");
    FILE* out =
        fileopen(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, "wb", LOCK_EXCLUSIVE | LOCK_QUIET);
    if (!out) continue;
    bool written = WriteAll(out, bytes.data(), bytes.size()) && std::fflush(out) == 0;
    fileclose(out);
    if (written)
      aside = candidate;
    else
      DeleteFileA(candidate.c_str());
  }
  if (aside.empty()) {
    AppendReport(std::string("import.dat: damaged (") + QueueDamageText(result) + "); it could not be kept aside");
    return false;
  }
  int skipped = 0;
  SalvageImportQueue(q, queue, &skipped);
  if (!WriteImportQueue(q, queue) || !Commit(_fileno(q), SyncKind::Queue)) {
    AppendReport("import.dat: damaged, and can't be written again");
    return false;
  }
  AppendReport(std::string("import.dat: damaged (") + QueueDamageText(result) + "); kept as " +
               aside.substr(aside.find_last_of("\\/") + 1) + ", " + std::to_string(queue.Count()) + " entries read, " +
               std::to_string(skipped) + " damaged ones set aside");
  return true;
}

// Under the queue's lock: the oldest entry, or false when none is left.
// Under the queue's lock: the oldest entry, or false when none is left; and
// the one after it, if any (*hasNext), so that it can be read ahead.
bool FirstEntry(ImportQueueEntry* entry, ImportQueueEntry* next, bool* hasNext) {
  StageTimer timer(Stage::QueueRead);
  *hasNext = false;
  FILE* q = fileopen(DataFile("import.dat").c_str(), _O_RDWR | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!q) return false;
  VirtualArray queue("Import queue", sizeof(ImportQueueEntry));
  bool found = ReadHeldQueue(q, queue) && queue.Count() > 0;
  if (found) *entry = *static_cast<ImportQueueEntry*>(queue.At(0));
  if (found && queue.Count() > 1) {
    *next = *static_cast<ImportQueueEntry*>(queue.At(1));
    *hasNext = true;
  }
  fileclose(q);
  return found;
}

// Under the queue's lock: removes the first entry with this path; with
// onlyIfHash, only while the file still holds the bytes that were imported.
bool RemoveEntry(const char* path, const uint32_t* onlyIfHash) {
  StageTimer timer(Stage::QueueRemove);
  FILE* q = fileopen(DataFile("import.dat").c_str(), _O_RDWR | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!q) return false;
  VirtualArray queue("Import queue", sizeof(ImportQueueEntry));
  bool ok = ReadHeldQueue(q, queue);
  for (int i = 0; ok && i < queue.Count(); ++i) {
    if (_stricmp(static_cast<ImportQueueEntry*>(queue.At(i))->path, path)) continue;
    if (onlyIfHash) {
      bool readable = false;
      uint32_t hash = HashOfFile(EntryFile(path), &readable);
      if (!readable || hash != *onlyIfHash) break;
    }
    queue.RemoveAt(i);
    std::fseek(q, 0, SEEK_SET);
    ok = WriteImportQueue(q, queue) && Commit(_fileno(q), SyncKind::Queue);
    break;
  }
  fileclose(q);
  return ok;
}

// ---- planning a file's import ------------------------------------------------

struct LogWork {
  std::string path;  // absolute
  bool scrambled = false;
  bool rewrite = false;    // some message may replace one already there
  bool mustBeNew = false;  // a rebuilt topic goes to a log of its own
  std::vector<size_t> messages;
  std::set<long> replaceNumbers;
  FILE* file = nullptr;  // an existing log to append to, open from its measuring on
};

// Logs appended to stay open from one queued file to the next: a batch
// spread over many files over the same topics opens each log once. They are
// closed before anything else of this program opens them (a rewrite, an
// undo) and at the end of the run.
std::map<std::string, FILE*> g_openLogs;  // lower-case path -> log

FILE* OpenLogForAppend(const std::string& path, bool create) {
  std::string key = Lower(path);
  auto it = g_openLogs.find(key);
  if (it != g_openLogs.end()) return it->second;
  int flags = _O_RDWR | _O_APPEND | _O_BINARY | (create ? _O_CREAT | _O_EXCL : 0);
  FILE* f = fileopen(path.c_str(), flags, "a+b", LOCK_DENY_WRITE | LOCK_QUIET);
  if (f) g_openLogs[key] = f;
  return f;
}

void CloseLog(const std::string& path) {
  auto it = g_openLogs.find(Lower(path));
  if (it == g_openLogs.end()) return;
  fileclose(it->second);
  g_openLogs.erase(it);
}

void CloseAllLogs() {
  for (auto& [key, f] : g_openLogs) fileclose(f);
  g_openLogs.clear();
}

struct Plan {
  bool busy = false;           // a log could not be opened: the file waits, it is not refused
  std::vector<long> numbers;   // per message
  std::vector<bool> replaces;  // per message: may take the place of its number
  std::vector<LogWork> logs;
  Journal journal;
};

// "folder number sender" in postits.log for each urgent message, so the
// program's poll opens a note for it.
void AppendPostits(const ImportFile& parsed, const Plan& plan) {
  std::string lines;
  for (size_t i = 0; i < parsed.messages.size(); ++i) {
    const ImportedMessage& m = parsed.messages[i];
    if (m.urgent) lines += m.folder + " " + std::to_string(plan.numbers[i]) + " " + m.author + "\n";
  }
  if (lines.empty()) return;
  FILE* f = std::fopen(DataFile("postits.log").c_str(), "ab");
  if (!f) return AppendReport("can't write postits.log");
  bool ok = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
  if (std::fclose(f) != 0 || !ok) AppendReport("can't write postits.log");
}

std::string PlanImport(ImportFile& parsed, ConfFile& conf, bool build, const std::string& entryPath, Plan* plan) {
  const size_t n = parsed.messages.size();
  plan->numbers.assign(n, 0);
  plan->replaces.assign(n, false);
  std::map<std::string, size_t> logByBase;
  std::map<std::string, JournalFolder> originals;
  auto remember = [&](const ConfRec& rec, bool existed) {
    std::string key = Lower(rec.name);
    if (originals.count(key)) return;
    JournalFolder f;
    f.existed = existed;
    f.first = rec.first;
    f.last = rec.last;
    f.waiting = rec.waiting;
    f.baseName = BaseNameOf(rec);
    f.name = rec.name;
    originals[key] = f;
  };
  auto folderRec = [&](const std::string& name, const std::string& baseName) -> ConfRec* {
    if (ConfRec* rec = conf.Find(name)) {
      remember(*rec, true);
      return rec;
    }
    if (conf.recs.size() >= 16000) return nullptr;
    ConfRec rec = {};
    lstrcpynA(rec.name, name.c_str(), sizeof rec.name);
    std::string base = baseName.empty() ? NewBaseName(conf, name) : baseName;
    lstrcpynA(rec.baseName, base.c_str(), sizeof rec.baseName);
    rec.order = -1;
    ConfRec* added = conf.Add(rec);
    remember(*added, false);
    return added;
  };
  auto logFor = [&](ConfRec* rec) -> LogWork& {
    std::string base = BaseNameOf(*rec);
    auto it = logByBase.find(Lower(base));
    if (it != logByBase.end()) return plan->logs[it->second];
    LogWork w;
    w.path = g_dir + base;
    w.scrambled = (rec->flags & CONF_SCRAMBLED) != 0;
    logByBase[Lower(base)] = plan->logs.size();
    plan->logs.push_back(w);
    return plan->logs.back();
  };

  for (const std::string& name : parsed.newFolders)
    if (!folderRec(name, "")) return "no room for a new folder";

  if (build) {
    // A topic handed back whole: its messages in number order, a number met
    // twice keeping its later copy, into a log of its own.
    std::string baseName;
    if (!RebuildTarget(entryPath, &baseName)) return "the topic's copy lies outside the data directory";
    if (Exists(g_dir + baseName)) return "its log " + baseName + " exists again";
    if (n == 0) return "no messages";
    std::string folder = parsed.messages[0].folder;
    ConfRec* rec = conf.Find(folder);
    if (rec && _stricmp(BaseNameOf(*rec).c_str(), baseName.c_str())) return "folder " + folder + " has another log";
    rec = folderRec(folder, baseName);
    if (!rec) return "no room for a new folder";
    std::map<long, size_t> byNumber;
    std::vector<size_t> unnumbered;
    for (size_t i = 0; i < n; ++i) {
      parsed.messages[i].folder = folder;
      if (parsed.messages[i].number > 0)
        byNumber[parsed.messages[i].number] = i;
      else
        unnumbered.push_back(i);
    }
    long last = byNumber.empty() ? 0 : byNumber.rbegin()->first;
    for (size_t i : unnumbered) byNumber[++last] = i;
    if (last >= kMaxMessageNumber) return "folder full";
    LogWork& w = logFor(rec);
    w.mustBeNew = true;
    for (auto& [number, i] : byNumber) {
      plan->numbers[i] = number;
      w.messages.push_back(i);
    }
    rec->first = byNumber.begin()->first;
    rec->last = last;
    rec->waiting = static_cast<long>(byNumber.size());
  } else {
    for (size_t i = 0; i < n; ++i) {
      ImportedMessage& m = parsed.messages[i];
      ConfRec* rec = folderRec(m.folder, "");
      if (!rec) return "no room for a new folder";
      if (!RepairRange(*rec)) return "folder " + m.folder + " is full";
      bool held = rec->last > 0 && m.number >= rec->first && m.number <= rec->last;
      long number = m.number;
      if (number == 0 || (held && m.neverReplace)) number = rec->last + 1;
      if (number >= kMaxMessageNumber) return "folder " + m.folder + " is full";
      LogWork& w = logFor(rec);
      bool replaces = held && !m.neverReplace && Exists(w.path);
      if (replaces) {
        w.rewrite = true;
        w.replaceNumbers.insert(number);
      } else {
        ++rec->waiting;
      }
      plan->numbers[i] = number;
      plan->replaces[i] = replaces;
      w.messages.push_back(i);
      if (rec->first == 0 || number < rec->first) rec->first = number;
      if (number > rec->last) rec->last = number;
    }
  }

  for (LogWork& w : plan->logs) {
    JournalLog log;
    log.rewrite = w.rewrite;
    log.path = w.path;
    log.length = -1;
    if (!w.rewrite && !w.mustBeNew) {
      // Opened once: measured now, appended to later.
      w.file = OpenLogForAppend(w.path, false);
      if (!w.file && Exists(w.path)) {
        plan->busy = true;
        return "can't open " + w.path;
      }
    }
    if (w.file) {
      std::fseek(w.file, 0, SEEK_END);
      log.length = std::ftell(w.file);
      if (log.length < 0 || !TailHash(w.file, log.length, &log.tailHash)) {
        plan->busy = true;
        return "can't read " + w.path;
      }
    }
    plan->journal.logs.push_back(log);
  }
  for (auto& [key, folder] : originals) plan->journal.folders.push_back(folder);
  return {};
}

// ---- writing the logs ------------------------------------------------------------

// Appends through one large buffer; a scrambled folder's bytes are swapped
// as they go in. The buffer is the run's, not each log's: a batch over many
// topics writes many logs, and a fresh megabyte for each costs a page fault
// for every page it fills.
class LogWriter {
 public:
  LogWriter(FILE* f, bool scrambled) : file_(f), scrambled_(scrambled), buffer_(RunBuffer()) {
    buffer_.clear();
    buffer_.reserve(kWriteChunk + 65536);
  }
  ~LogWriter() { buffer_.clear(); }
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;
  void Put(std::string_view bytes) {
    size_t at = buffer_.size();
    buffer_.append(bytes.data(), bytes.size());
    if (scrambled_)
      for (size_t i = at; i < buffer_.size(); ++i) {
        unsigned char u = static_cast<unsigned char>(buffer_[i]);
        buffer_[i] = static_cast<char>((u << 4) | (u >> 4));
      }
  }
  bool Full() const { return buffer_.size() >= kWriteChunk; }
  bool Flush() {
    StageTimer timer(Stage::LogWrites);
    bool ok = buffer_.empty() || WriteAll(file_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
  }

 private:
  static std::string& RunBuffer() {
    static std::string buffer;
    return buffer;
  }

  FILE* file_;
  bool scrambled_;
  std::string& buffer_;
};

void AppendNumber(std::string& out, long value) {
  char digits[24];
  size_t at = sizeof digits;
  unsigned long v = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    digits[--at] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  if (value < 0) digits[--at] = '-';
  out.append(digits + at, sizeof digits - at);
}

void PutMessage(LogWriter& out, const ImportedMessage& m, long number, long parent) {
  std::string_view body = m.Body();
  long chars = static_cast<long>(body.size() - CountCarriageReturns(body));
  // Built in one string kept for the run: a batch has a head per message.
  static std::string head;
  head.assign("==========\r\n");
  head += m.folder;
  head += " #";
  AppendNumber(head, number);
  head += ", from ";
  head += m.author;
  head += ", ";
  AppendNumber(head, chars);
  head += " chars, ";
  head += m.date;
  head += "\r\n";
  if (parent > 0) {
    head += "Comment to ";
    AppendNumber(head, parent);
    head += ".\r\n";
  }
  head += m.extraHeader;
  head += "----------\r\n";
  out.Put(head);
  out.Put(body);
  // The next separator must start a line of its own.
  if (!body.empty() && body.back() != '\n') out.Put("\r\n");
}

long ParentOf(const ImportFile& parsed, const Plan& plan, size_t i) {
  const ImportedMessage& m = parsed.messages[i];
  if (m.parentIndex >= 0) return plan.numbers[static_cast<size_t>(m.parentIndex)];
  return m.commentTo;
}

struct Progress {
  std::string file;
  size_t done = 0, total = 1;
  int shown = 0;
  DWORD pumped = GetTickCount();
  void Step() {
    ++done;
    int percent = static_cast<int>(done * 100 / (total ? total : 1));
    if (percent != shown) {
      shown = percent;
      ShowProgress(file, percent);
    }
    // Every few hundred messages, at most every 20 ms: a look at the queue
    // costs a call to the server.
    if (done % 256 == 0 && GetTickCount() - pumped >= 20) {
      PumpAll();
      pumped = GetTickCount();
    }
  }
};

std::string AppendToLog(const ImportFile& parsed, const Plan& plan, LogWork& w, Progress& progress) {
  FILE* f = w.file;
  w.file = nullptr;
  if (!f) {
    // A new log.
    if (!MakeDirectories(w.path.substr(g_dir.size()))) return "can't make the directory of " + w.path;
    f = OpenLogForAppend(w.path, true);
  }
  if (!f) return "can't open " + w.path;
  std::fseek(f, 0, SEEK_END);
  LogWriter out(f, w.scrambled);
  bool ok = true;
  bool first = true;
  for (size_t i : w.messages) {
    PutMessage(out, parsed.messages[i], plan.numbers[i], ParentOf(parsed, plan, i));
    if (first && g_dieAt == "append") {
      out.Flush();
      DieAt("append");  // part of the file's messages on disk
    }
    first = false;
    if (out.Full() && !(ok = out.Flush())) break;
    progress.Step();
  }
  // Flushed, not synced: a kill loses nothing written, and the journal, not
  // a sync of every log, makes the file's import all or nothing.
  ok = ok && out.Flush();
  if (!ok) CloseLog(w.path);
  return ok ? std::string() : "can't write " + w.path;
}

struct FileSource {
  FILE* f;
  static long Read(void* context, char* buffer, size_t size) {
    auto* s = static_cast<FileSource*>(context);
    size_t n = std::fread(buffer, 1, size, s->f);
    return std::ferror(s->f) ? -1 : static_cast<long>(n);
  }
  static long Seek(void* context, long offset) {
    auto* s = static_cast<FileSource*>(context);
    return offset >= 0 && std::fseek(s->f, offset, SEEK_SET) == 0 ? offset : -1;
  }
};

// Where each of the numbers starts and ends in the log, as the reader finds
// them; a number found twice counts where the reader last finds it.
std::map<long, std::pair<long, long>> FindMessages(FILE* f, bool scrambled, const std::set<long>& numbers,
                                                   long length) {
  std::map<long, std::pair<long, long>> found;
  FileSource bytes{f};
  LogSource source;
  source.context = &bytes;
  source.read = FileSource::Read;
  source.seek = FileSource::Seek;
  auto reader = std::make_unique<LogReader>();
  LogReaderOpen(*reader, source, scrambled);
  long open = -1;  // the number whose end is still to be found
  for (;;) {
    long at = msgtell(*reader);
    if (readmsgline(*reader) <= 0) break;
    MessageHeader header;
    long number = IsMessageStart(*reader, &header);
    if (!number) continue;
    if (open >= 0) found[open].second = at;
    open = -1;
    if (numbers.count(number)) {
      found[number] = {at, length};
      open = number;
    }
  }
  LogReaderClose(*reader);
  return found;
}

bool CopyRange(FILE* from, FILE* to, long start, long end) {
  if (std::fseek(from, start, SEEK_SET) != 0) return false;
  std::vector<char> buffer(kWriteChunk);
  for (long left = end - start; left > 0;) {
    size_t want = static_cast<size_t>(std::min<long>(left, static_cast<long>(buffer.size())));
    if (std::fread(buffer.data(), 1, want, from) != want || std::fwrite(buffer.data(), 1, want, to) != want)
      return false;
    left -= static_cast<long>(want);
  }
  return true;
}

// Writes source's bytes over target's from its start and cuts it to their
// length.
bool CopyInto(const std::string& source, const std::string& target) {
  FILE* in = fileopen(source.c_str(), _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!in) return false;
  FILE* out = fileopen(target.c_str(), _O_RDWR | _O_BINARY, "r+b", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!out) {
    fileclose(in);
    return false;
  }
  std::fseek(in, 0, SEEK_END);
  long length = std::ftell(in);
  bool ok = length >= 0 && std::fseek(out, 0, SEEK_SET) == 0 && CopyRange(in, out, 0, length) &&
            std::fflush(out) == 0 && _chsize(_fileno(out), length) == 0 && Commit(_fileno(out), SyncKind::Log);
  fileclose(out);
  fileclose(in);
  return ok;
}

// A log with messages to replace is written whole beside itself (".imp"),
// then over itself once a copy of the old one (".imo") is safe; the copy
// stays until the file is committed.
std::string RewriteLog(const ImportFile& parsed, const Plan& plan, const LogWork& w, Progress& progress) {
  std::string temp = w.path + ".imp", old = w.path + ".imo";
  // A copy left by an earlier, committed import must not pass for ours.
  DeleteFileA(old.c_str());
  FILE* in = fileopen(w.path.c_str(), _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!in) return "can't open " + w.path;
  std::fseek(in, 0, SEEK_END);
  long length = std::ftell(in);
  auto found = FindMessages(in, w.scrambled, w.replaceNumbers, length);
  FILE* out = fileopen(temp.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, "wb", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!out) {
    fileclose(in);
    return "can't create " + temp;
  }
  // The last message of the file for each number takes its place; the rest,
  // and numbers the log turned out not to hold, go to the end.
  std::map<long, size_t> replacement;
  std::vector<size_t> appended;
  for (size_t i : w.messages)
    if (plan.replaces[i] && found.count(plan.numbers[i])) replacement[plan.numbers[i]] = i;
  for (size_t i : w.messages)
    if (!plan.replaces[i] || !found.count(plan.numbers[i])) appended.push_back(i);
  std::vector<std::pair<std::pair<long, long>, size_t>> cuts;
  for (auto& [number, i] : replacement) cuts.push_back({found[number], i});
  std::sort(cuts.begin(), cuts.end());

  LogWriter writer(out, w.scrambled);
  bool ok = true;
  long at = 0;
  for (auto& [range, i] : cuts) {
    ok = ok && writer.Flush() && CopyRange(in, out, at, range.first);
    PutMessage(writer, parsed.messages[i], plan.numbers[i], ParentOf(parsed, plan, i));
    at = range.second;
    progress.Step();
  }
  ok = ok && writer.Flush() && CopyRange(in, out, at, length);
  for (size_t i : appended) {
    PutMessage(writer, parsed.messages[i], plan.numbers[i], ParentOf(parsed, plan, i));
    if (writer.Full()) ok = ok && writer.Flush();
    progress.Step();
  }
  ok = ok && writer.Flush() && Durable(out, SyncKind::Log);
  fileclose(out);
  fileclose(in);
  for (size_t i = replacement.size() + appended.size(); i < w.messages.size(); ++i) progress.Step();
  if (!ok) {
    DeleteFileA(temp.c_str());
    return "can't write " + temp;
  }
  // The old log is kept whole (".imo", named only once complete) before it
  // is written over in place: a reader holding it open keeps its handle.
  std::string copying = old + ".tmp";
  if (!CopyFileA(w.path.c_str(), copying.c_str(), FALSE) ||
      !MoveFileExA(copying.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(copying.c_str());
    DeleteFileA(temp.c_str());
    return "can't keep a copy of " + w.path;
  }
  DieAt("rewritten");
  if (!CopyInto(temp, w.path)) return "can't write " + w.path;
  DieAt("swap");
  DeleteFileA(temp.c_str());
  return {};
}

// ---- one queued file -------------------------------------------------------------

enum class EntryResult { Imported, Skipped, Stopped, Failed };

// A queued file mapped and parsed, on the main thread or ahead of its turn on
// a thread of its own.
struct PreparedFile {
  ImportQueueEntry entry = {};
  MappedFile file;
  bool mapped = false;
  ImportFile parsed;
  uint32_t identity = 0;
};

void Parse(const ImportQueueEntry& entry, PreparedFile* prepared) {
  std::string now = NowText();
  ImportParseOptions options;
  options.service = entry.service;
  options.kind = entry.kind;
  options.now = now;
  options.logForm = !_stricmp(entry.kind, "build");
  std::string_view bytes = prepared->file.Bytes();
  prepared->parsed = ParseImportText(bytes, options);
  prepared->identity = IdentityOf(bytes);
}

// Ahead of its turn: only reads. The pages the parse passed over are touched
// too, so that writing the file's messages finds them all in memory.
void PrepareAhead(PreparedFile* prepared) {
  prepared->mapped = prepared->file.OpenAtOnce(EntryFile(prepared->entry.path));
  if (!prepared->mapped) return;
  Parse(prepared->entry, prepared);
  std::string_view bytes = prepared->file.Bytes();
  volatile char sink = 0;
  for (size_t at = 0; at < bytes.size(); at += 4096) sink = static_cast<char>(sink + bytes[at]);
}

// Why a queued entry can never be read, or empty: a directory, or one of
// this program's own files, which it holds itself.
std::string Unreadable(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return "not imported: it is a directory";
  for (const char* own : {"import.dat", "import.jnl", "import.lck", "import.log", "conf.ww"}) {
    char full[MAX_PATH], ownFull[MAX_PATH];
    if (_fullpath(full, path.c_str(), sizeof full) && _fullpath(ownFull, DataFile(own).c_str(), sizeof ownFull) &&
        !_stricmp(full, ownFull))
      return std::string("not imported: it is the import program's own ") + own;
  }
  return {};
}

// prepared: the file read ahead, or null. startNext is called once the file
// is read, to read the next one meanwhile.
EntryResult ImportEntry(const ImportQueueEntry& entry, PreparedFile* prepared, const std::function<void()>& startNext) {
  std::string path = EntryFile(entry.path);
  bool build = !_stricmp(entry.kind, "build");
  Progress progress;
  progress.file = FileNameOf(path);
  ShowProgress(progress.file, 0);
  auto skip = [&](const std::string& why) {
    AppendReport(std::string(entry.path) + ": " + why);
    if (build) ++g_buildsFailed;
    return RemoveEntry(entry.path) ? EntryResult::Skipped : EntryResult::Failed;
  };

  // Entries that can never be read would stop every run.
  if (std::string why = Unreadable(path); !why.empty()) return skip(why);
  if (prepared && !prepared->mapped) prepared = nullptr;  // held when it was tried: opened here
  std::unique_ptr<PreparedFile> own;
  if (!prepared) {
    own = std::make_unique<PreparedFile>();
    prepared = own.get();
    StageTimer timer(Stage::Map);
    prepared->mapped = prepared->file.Open(path);
  }
  MappedFile& file = prepared->file;
  if (!prepared->mapped) {
    if (g_stop) return EntryResult::Stopped;
    // A file that is there but held elsewhere waits for the next run.
    if (Exists(path)) {
      AppendReport(std::string(entry.path) + ": stopped: can't read the file");
      return EntryResult::Failed;
    }
    return skip("can't read the file");
  }
  if (own) {
    StageTimer timer(Stage::Parse);
    Parse(entry, prepared);
  }
  ImportFile& parsed = prepared->parsed;
  // The next file is read while this one is written.
  startNext();
  if (!parsed.error.empty()) return skip("not imported: " + parsed.error);
  if (g_stop) return EntryResult::Stopped;

  ConfFile conf;
  std::string error;
  std::optional<StageTimer> stageTimer(Stage::ConfRead);
  bool confOpen = conf.Open(&error);
  stageTimer.reset();
  if (!confOpen) {
    if (g_stop) return EntryResult::Stopped;
    AppendReport(std::string(entry.path) + ": stopped: " + error);
    return EntryResult::Failed;
  }
  Plan plan;
  stageTimer.emplace(Stage::Plan);
  error = PlanImport(parsed, conf, build, path, &plan);
  stageTimer.reset();
  if (!error.empty()) {
    conf.Close();
    if (!plan.busy) return skip("not imported: " + error);
    AppendReport(std::string(entry.path) + ": stopped: " + error);
    return EntryResult::Failed;
  }
  Journal& j = plan.journal;
  j.entryPath = entry.path;
  j.entryFlags = entry.flags;
  std::string_view bytes = file.Bytes();
  j.entrySize = static_cast<long long>(bytes.size());
  j.entryHash = prepared->identity;
  j.messages = static_cast<long>(parsed.messages.size());
  stageTimer.emplace(Stage::Journal);
  bool journalled = WriteJournal(j);
  stageTimer.reset();
  if (!journalled) {
    AppendReport(std::string(entry.path) + ": stopped: can't write import.jnl");
    return EntryResult::Failed;
  }
  DieAt("journal");

  progress.total = parsed.messages.size();
  for (size_t k = 0; k < plan.logs.size() && error.empty(); ++k) {
    LogWork& w = plan.logs[k];
    if (w.rewrite) CloseLog(w.path);
    stageTimer.emplace(Stage::Append);
    error = w.rewrite ? RewriteLog(parsed, plan, w, progress) : AppendToLog(parsed, plan, w, progress);
    stageTimer.emplace(Stage::IndexDelete);
    if (error.empty()) DeleteFileA(IndexPathOf(w.path).c_str());
    stageTimer.reset();
  }
  DieAt("flushed");
  stageTimer.emplace(Stage::ConfSave);
  if (error.empty() && !conf.Save()) error = "can't write conf.ww";
  conf.Close();
  stageTimer.reset();
  if (!error.empty()) {
    CloseAllLogs();  // undoing opens them again
    // Nothing of this file stays: the logs go back, the entry stays queued.
    bool undone = RollBack(j, true);
    if (undone) DeleteFileA(JournalPath().c_str());
    AppendReport(std::string(entry.path) + ": stopped: " + error + (undone ? "; nothing of it kept" : ""));
    return EntryResult::Failed;
  }
  Touch("confnew.ww");
  DieAt("conf");

  j.committed = true;
  stageTimer.emplace(Stage::Journal);
  journalled = WriteJournal(j);
  stageTimer.reset();
  if (!journalled) return EntryResult::Failed;  // still pending: the next run undoes it
  DieAt("committed");
  stageTimer.emplace(Stage::Postits);
  AppendPostits(parsed, plan);
  stageTimer.reset();
  if (!RemoveEntry(entry.path)) return EntryResult::Failed;
  DieAt("removed");
  file.Close();
  stageTimer.emplace(Stage::Finish);
  Finish(j);
  stageTimer.reset();
  if (build) ++g_buildsDone;
  return EntryResult::Imported;
}

int RunQueue() {
  std::optional<StageTimer> recoverTimer(Stage::Recover);
  bool recovered = Recover();
  recoverTimer.reset();
  if (!recovered) {
    AppendReport("import.jnl: the interrupted import could not be undone yet");
    return 1;
  }
  ImportQueueEntry entry, next;
  bool hasNext = false;
  int code = 0;
  // The next queued file is mapped and parsed on a thread of its own while
  // the one in hand is written; that thread only reads. Used when it is still
  // the first entry once this one has left the queue.
  std::unique_ptr<PreparedFile> ahead;
  std::thread reader;
  auto takeAhead = [&](const ImportQueueEntry& wanted) {
    if (reader.joinable()) {
      StageTimer timer(Stage::AheadWait);
      reader.join();
    }
    std::unique_ptr<PreparedFile> taken = std::move(ahead);
    if (taken && (_stricmp(taken->entry.path, wanted.path) || _stricmp(taken->entry.service, wanted.service) ||
                  _stricmp(taken->entry.kind, wanted.kind) || taken->entry.flags != wanted.flags))
      taken.reset();
    return taken;
  };
  while (!g_stop) {
    PumpAll();
    if (g_stop || !FirstEntry(&entry, &next, &hasNext)) break;
    std::unique_ptr<PreparedFile> prepared = takeAhead(entry);
    auto startNext = [&] {
      if (!hasNext || !Unreadable(EntryFile(next.path)).empty()) return;
      char full[MAX_PATH], nextFull[MAX_PATH];
      // The same file queued twice is read again once the first is done with.
      if (!_fullpath(full, EntryFile(entry.path).c_str(), sizeof full) ||
          !_fullpath(nextFull, EntryFile(next.path).c_str(), sizeof nextFull) || !_stricmp(full, nextFull))
        return;
      ahead = std::make_unique<PreparedFile>();
      ahead->entry = next;
      reader = std::thread(PrepareAhead, ahead.get());
    };
    EntryResult result = ImportEntry(entry, prepared.get(), startNext);
    prepared.reset();
    ShowProgress("", 0);
    if (result == EntryResult::Failed) {
      code = 1;  // the entry stays queued for the next run
      break;
    }
    if (result == EntryResult::Stopped) break;
  }
  takeAhead(entry);
  StageTimer timer(Stage::CloseLogs);
  CloseAllLogs();
  return code;
}

std::vector<std::string> Arguments(const char* commandLine) {
  std::vector<std::string> out;
  std::string word;
  bool quoted = false, any = false;
  for (const char* p = commandLine ? commandLine : ""; *p; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && (*p == ' ' || *p == '\t')) {
      if (any) out.push_back(word);
      word.clear();
      any = false;
    } else {
      word += *p;
      any = true;
    }
  }
  if (any) out.push_back(word);
  return out;
}

bool IsAbsoluteDirectory(const std::string& text) {
  bool absolute = (text.size() > 2 && text[1] == ':') || (text.size() > 1 && (text[0] == '\\' || text[0] == '/'));
  DWORD attributes = GetFileAttributesA(text.c_str());
  return absolute && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace import32

using namespace import32;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  StatsStart();
  std::string dir;
  for (const std::string& word : Arguments(commandLine)) {
    if (!_stricmp(word.c_str(), "build"))
      g_buildMode = true;
    else if (dir.empty() && IsAbsoluteDirectory(word))
      dir = word;
  }
  if (dir.empty()) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    dir = current;
  }
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  g_dir = dir;
  char die[64] = "";
  if (GetEnvironmentVariableA("IMPORT32_TEST_DIE_AT", die, sizeof die) < sizeof die) g_dieAt = die;

  // One import at a time per data directory; a second start wakes the first.
  std::string lockPath = DataFile("import.lck");
  HANDLE lock = INVALID_HANDLE_VALUE;
  for (int tries = 0; lock == INVALID_HANDLE_VALUE; ++tries) {
    lock = CreateFileA(lockPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock != INVALID_HANDLE_VALUE) break;
    if (!g_buildMode || tries >= 180) {
      if (HWND running = FindWindowA("MsgImport", nullptr)) PostMessageA(running, WM_COMMAND, kCommandForeground, 0);
      return g_buildMode ? 1 : 0;
    }
    Sleep(1000);  // a rebuild waits for the running import to end
  }

  StartWindowThread(instance, show);
  BeginBuildMode();
  int code = RunQueue();
  EndBuildMode();
  StatsWrite();
  // The windows and their thread go with the process.
  CloseHandle(lock);
  return code;
}
