// Walks a topic log of 100,000 news messages of about 3 KB, filling and
// saving the message-id list as a rebuild does, on one thread and on several
// (the same rounds, the same log), and compares the time with
// plain reads of the same file: through the reader's own 8 KB blocks, and
// through the 64 KB blocks the walk reads. The best of five rounds counts;
// the first round is shown too. The index entries and the id file written
// are checked against the plain path's: the walk through 8 KB reads, with
// the id list settled through its arrays.
// Usage: msgbase_scan_bench [messages] [directory]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "bench/bench_clock.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "core/small_text.h"
#include "msgbase/msgid_list.h"
#include "msgbase/topic_scan.h"
#include "msgbase/topic_scan_parallel.h"

namespace {

#ifdef _WIN32
struct File {
  HANDLE h = INVALID_HANDLE_VALUE;
  size_t maxRead = 0;  // most bytes a read asks for; 0 no limit
  bool Open(const std::string& path) {
    h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return h != INVALID_HANDLE_VALUE;
  }
  void Close() { CloseHandle(h); }
  static long Read(void* context, char* buffer, size_t size) {
    File* f = static_cast<File*>(context);
    if (f->maxRead && size > f->maxRead) size = f->maxRead;
    DWORD got = 0;
    if (!ReadFile(f->h, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    return static_cast<long>(got);
  }
  static long Seek(void* context, long offset) {
    DWORD at = SetFilePointer(static_cast<File*>(context)->h, offset, nullptr, FILE_BEGIN);
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
  }
};
#else
struct File {
  int fd = -1;
  size_t maxRead = 0;
  bool Open(const std::string& path) {
    fd = ::open(path.c_str(), O_RDONLY);
    return fd >= 0;
  }
  void Close() { ::close(fd); }
  static long Read(void* context, char* buffer, size_t size) {
    File* f = static_cast<File*>(context);
    if (f->maxRead && size > f->maxRead) size = f->maxRead;
    return static_cast<long>(::read(f->fd, buffer, size));
  }
  static long Seek(void* context, long offset) {
    return static_cast<long>(::lseek(static_cast<File*>(context)->fd, offset, SEEK_SET));
  }
};
#endif

std::string NewsMessage(long number) {
  std::string body;
  body += "Path: news.example.net!feed.example.org!not-for-mail\r\n";
  body +=
      "From: Poster " + std::to_string(number % 977) + " <poster" + std::to_string(number % 977) + "@example.com>\r\n";
  body += "Newsgroups: comp.lang.c\r\n";
  body += "Subject: " + std::string(number % 2 ? "Re: " : "") + "Question number " + std::to_string(number / 2) +
          " about pointers\r\n";
  body += "Date: Tue, 5 Mar 1996 14:07:33 -0500\r\n";
  body += "Message-ID: <" + std::to_string(number) + "@example.com>\r\n";
  body += "Lines: 40\r\n\r\n";
  if (number % 2) {
    body += "In article <" + std::to_string(number - 1) + "@example.com>, someone@example.org wrote:\r\n";
    for (int i = 0; i < 8; ++i) body += "> A quoted line of the earlier message that goes on for a while.\r\n";
    body += "\r\n";
  }
  while (body.size() < 2900)
    body += "This is the text of the message, written to fill about three kilobytes of body.\r\n";
  size_t size = 0;
  for (char c : body)
    if (c != '\r') ++size;
  std::string m = "==========\r\nnet:comp.lang.c/all #" + std::to_string(number) + ", from poster" +
                  std::to_string(number % 977) + "@example.com, " + std::to_string(size) +
                  " chars, Tue, 5 Mar 1996 14:07:33 -0500\r\n";
  if (number % 2) m += "Comment to " + std::to_string(number - 1) + "\r\n";
  m += "----------\r\n" + body;
  return m;
}

#ifndef _WIN32
double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
#endif

double Seconds(double since) { return Now() - since; }

// The file read through in blocks of blockSize bytes.
double PlainRead(const std::string& path, size_t blockSize, long long* bytes) {
  File f;
  if (!f.Open(path)) return -1;
  static char buffer[1 << 16];
  if (blockSize > sizeof buffer) blockSize = sizeof buffer;
  auto start = Now();
  long long total = 0;
  for (long n; (n = File::Read(&f, buffer, blockSize)) > 0;) total += n;
  double s = Seconds(start);
  f.Close();
  *bytes = total;
  return s;
}

struct Rebuild {
  std::vector<IndexRec> index;
  MessageIdList* ids = nullptr;
  std::string* detail = nullptr;  // when checking: the rest of what each message gave
};

void Keep(void* context, const ScannedMessage& m) {
  auto* rebuild = static_cast<Rebuild*>(context);
  rebuild->index.push_back({m.logOffset, 0, static_cast<int32_t>(m.date)});
  if (rebuild->ids)
    MsgIdListAdd(*rebuild->ids, m.fields.messageId, StripReplyPrefix(m.fields.subject), m.number, m.date);
  if (rebuild->detail)
    *rebuild->detail += std::to_string(m.number) + " " + std::to_string(m.parent) + " " + std::to_string(m.flags) +
                        " " + m.thread.author + "|" + m.thread.subject + "\n";
}

void KeepRecord(void* context, const ScanRecord& m) {
  auto* rebuild = static_cast<Rebuild*>(context);
  rebuild->index.push_back({m.logOffset, 0, static_cast<int32_t>(m.date)});
  if (rebuild->ids) MsgIdListAdd(*rebuild->ids, m.messageId, StripReplyPrefix(m.subject), m.number, m.date);
  if (rebuild->detail)
    *rebuild->detail += std::to_string(m.number) + " " + std::to_string(m.parent) + " " + std::to_string(m.flags) +
                        " " + m.thread.author + "|" + m.thread.subject + "\n";
}

// The workers of the walk on several threads each open the log again.
bool OpenAgain(void* context, LogSource* source) {
  auto* f = new File;
  if (!f->Open(*static_cast<const std::string*>(context))) {
    delete f;
    return false;
  }
  source->context = f;
  source->read = File::Read;
  source->seek = File::Seek;
  return true;
}
void CloseAgain(void*, LogSource* source) {
  auto* f = static_cast<File*>(source->context);
  f->Close();
  delete f;
}

// What a walk wrote, for the check against the plain path.
struct Written {
  std::vector<IndexRec> index;
  std::string ids, detail;
};

long long FileSize(const std::string& path) {
  long long size = 0;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
  }
  return size;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

// The walk, and with withIds the message-id list filled and saved as well.
// With plain, the walk reads no more than 8 KB a read and the id list is
// settled through its arrays before it is saved; written (when given) gets
// what the walk wrote. With threads the walk is the one on several threads
// (0 as many as the processors allow), and *used gets their number.
double Walk(const std::string& path, long* messages, bool withIds, bool plain = false, Written* written = nullptr,
            int threads = -1, int* used = nullptr) {
  File f;
  if (!f.Open(path)) return -1;
  if (plain) f.maxRead = kLogBlockSize;
  LogSource source;
  source.context = &f;
  source.read = File::Read;
  source.seek = File::Seek;
  static LogReader reader;
  ScanOptions options;
  options.folderName = "net:comp.lang.c/all";
  options.kind = FolderKindFromName(options.folderName);
  options.identity = "me@home.org";
  options.nameList = "Poster_1*";
  Rebuild rebuild;
  VirtualArray ids("msgid", sizeof(MsgIdEntry), CompareMsgIdKeys);
  VirtualArray subjects("subject", sizeof(MsgIdEntry), CompareMsgIdKeys);
  MessageIdList list;
  list.msgid = &ids;
  list.subject = &subjects;
  if (withIds) rebuild.ids = &list;
  if (written) rebuild.detail = &written->detail;
  std::string idPath = path + ".id";
  auto start = Now();
  LogReaderOpen(reader, source, false);
  if (threads < 0) {
    *messages = ScanTopicLog(reader, options, Keep, &rebuild);
  } else {
    ParallelScanSetup setup;
    setup.opener.context = const_cast<std::string*>(&path);
    setup.opener.open = OpenAgain;
    setup.opener.close = CloseAgain;
    setup.logSize = static_cast<long>(FileSize(path));
    setup.threads = threads;
    if (used) *used = ParallelScanThreads(setup);
    *messages = ScanTopicLogParallel(reader, options, setup, KeepRecord, &rebuild);
  }
  if (withIds) {
    if (plain) MsgIdListFindMessageId(list, "<>");
    FILE* out = std::fopen(idPath.c_str(), "wb");
    MsgIdListSave(list, out);
    if (out) std::fclose(out);
  }
  double s = Seconds(start);
  if (written) {
    written->index = std::move(rebuild.index);
    written->ids = FileBytes(idPath);
  }
  if (withIds) std::remove(idPath.c_str());
  LogReaderClose(reader);
  f.Close();
  return s;
}

// Only the line reader, without the header and field rules.
double ReadLines(const std::string& path, long* lines) {
  File f;
  if (!f.Open(path)) return -1;
  LogSource source;
  source.context = &f;
  source.read = File::Read;
  source.seek = File::Seek;
  static LogReader reader;
  auto start = Now();
  LogReaderOpen(reader, source, false);
  *lines = 0;
  while (readmsgline(reader) > 0) ++*lines;
  double s = Seconds(start);
  LogReaderClose(reader);
  f.Close();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  long count = argc > 1 ? std::atol(argv[1]) : 100000;
  std::string dir = argc > 2 ? argv[2] : ".";
  std::string path = dir + "/msgbase_scan_bench.log";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return 1;
  }
  for (long i = 1; i <= count; ++i) {
    std::string m = NewsMessage(i);
    std::fwrite(m.data(), 1, m.size(), out);
  }
  std::fclose(out);

  long long bytes = 0;
  PlainRead(path, kLogBlockSize, &bytes);  // warm the file cache for every side
  double raw = 1e9, rawLarge = 1e9, walk = 1e9, lineRead = 1e9, walkIds = 1e9;
  double firstRaw = 0, firstRawLarge = 0, firstWalkIds = 0;
  long messages = 0, lines = 0, parallelMessages = 0;
  double walkParallel = 1e9;
  int threads = 1;
  for (int round = 0; round < 5; ++round) {
    double r = PlainRead(path, kLogBlockSize, &bytes);
    double rl = PlainRead(path, 1 << 16, &bytes);
    double l = ReadLines(path, &lines);
    double w = Walk(path, &messages, false);
    double wi = Walk(path, &messages, true);
    double wp = Walk(path, &parallelMessages, true, false, nullptr, 0, &threads);
    if (wp < walkParallel) walkParallel = wp;
    if (round == 0) {
      firstRaw = r;
      firstRawLarge = rl;
      firstWalkIds = wi;
    }
    if (r < raw) raw = r;
    if (rl < rawLarge) rawLarge = rl;
    if (l < lineRead) lineRead = l;
    if (w < walk) walk = w;
    if (wi < walkIds) walkIds = wi;
  }
  // The result, against the plain path's.
  Written fast, plain;
  long fastMessages = 0, plainMessages = 0;
  Walk(path, &fastMessages, true, false, &fast);
  Walk(path, &plainMessages, true, true, &plain);
  Written onThreads;
  long threadMessages = 0;
  Walk(path, &threadMessages, true, false, &onThreads, 0);
  const bool sameOnThreads =
      onThreads.ids == plain.ids && onThreads.detail == plain.detail && onThreads.index.size() == plain.index.size() &&
      std::equal(onThreads.index.begin(), onThreads.index.end(), plain.index.begin(),
                 [](const IndexRec& a, const IndexRec& b) { return a.logOffset == b.logOffset && a.date == b.date; });
  bool sameIndex = fast.index.size() == plain.index.size();
  for (size_t i = 0; sameIndex && i < fast.index.size(); ++i)
    sameIndex = fast.index[i].logOffset == plain.index[i].logOffset && fast.index[i].date == plain.index[i].date;
  const bool sameIds = fast.ids == plain.ids && !fast.ids.empty() && fast.detail == plain.detail;
  std::remove(path.c_str());
  std::printf("log: %ld messages, %lld bytes\n", messages, bytes);
  std::printf("plain read in 8 KB reads: %.3f s  in 64 KB reads: %.3f s\n", raw, rawLarge);
  std::printf("lines only: %.3f s (%ld lines)  walk: %.3f s\n", lineRead, lines, walk);
  std::printf("walk with the message-id list filled and saved: %.3f s\n", walkIds);
  std::printf("ratio lines/read: %.1f  ratio walk/read: %.1f\n", lineRead / raw, walk / raw);
  // The walk reads 64 KB blocks, so the like-for-like read is the 64 KB one;
  // the reader's own 8 KB blocks cost more calls and are shown beside it.
  std::printf("ratio walk+ids/read in 64 KB reads (the walk's blocks): %.2f (goal within 3)  in 8 KB reads: %.2f\n",
              walkIds / rawLarge, walkIds / raw);
  std::printf(
      "walk on %d threads with the message-id list filled and saved: %.3f s, ratio %.2f to the 64 KB read, %.2fx "
      "faster than on one thread; its result %s the plain path's\n",
      threads, walkParallel, walkParallel / rawLarge, walkIds / walkParallel,
      sameOnThreads ? "the same as" : "DIFFERENT from");
  std::printf("first round: walk+ids %.3f s, ratios %.2f (64 KB) and %.2f (8 KB)\n", firstWalkIds,
              firstWalkIds / firstRawLarge, firstWalkIds / firstRaw);
  std::printf("result: %zu index entries, %zu bytes of ids, %s the plain path's\n", fast.index.size(), fast.ids.size(),
              sameIndex && sameIds ? "the same as" : "DIFFERENT from");
  if (messages != count || fastMessages != count || plainMessages != count || parallelMessages != count ||
      threadMessages != count || !sameIndex || !sameIds || !sameOnThreads) {
    std::fprintf(stderr, "wrong result: %ld messages expected, walked %ld/%ld/%ld; index %s, ids %s\n", count, messages,
                 fastMessages, plainMessages, sameIndex ? "same" : "different", sameIds ? "same" : "different");
    return 2;
  }
  return 0;
}
