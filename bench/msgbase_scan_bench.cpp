// Walks a topic log of 100,000 news messages of about 3 KB and compares the
// time with a plain read of the same file through the same 8192-byte reads.
// Usage: msgbase_scan_bench [messages] [directory]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "core/small_text.h"
#include "msgbase/msgid_list.h"
#include "msgbase/topic_scan.h"

namespace {

#ifdef _WIN32
struct File {
  HANDLE h = INVALID_HANDLE_VALUE;
  bool Open(const std::string& path) {
    h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return h != INVALID_HANDLE_VALUE;
  }
  void Close() { CloseHandle(h); }
  static long Read(void* context, char* buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(static_cast<File*>(context)->h, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
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
  bool Open(const std::string& path) {
    fd = ::open(path.c_str(), O_RDONLY);
    return fd >= 0;
  }
  void Close() { ::close(fd); }
  static long Read(void* context, char* buffer, size_t size) {
    return static_cast<long>(::read(static_cast<File*>(context)->fd, buffer, size));
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

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double PlainRead(const std::string& path, long long* bytes) {
  File f;
  if (!f.Open(path)) return -1;
  static char buffer[8192];
  auto start = std::chrono::steady_clock::now();
  long long total = 0;
  for (long n; (n = File::Read(&f, buffer, sizeof buffer)) > 0;) total += n;
  double s = Seconds(start);
  f.Close();
  *bytes = total;
  return s;
}

struct Rebuild {
  std::vector<IndexRec> index;
  MessageIdList* ids = nullptr;
};

void Keep(void* context, const ScannedMessage& m) {
  auto* rebuild = static_cast<Rebuild*>(context);
  rebuild->index.push_back({m.logOffset, 0, static_cast<int32_t>(m.date)});
  if (rebuild->ids)
    MsgIdListAdd(*rebuild->ids, m.fields.messageId, StripReplyPrefix(m.fields.subject), m.number, m.date);
}

// The walk, and with withIds the message-id list filled and saved as well.
double Walk(const std::string& path, long* messages, bool withIds) {
  File f;
  if (!f.Open(path)) return -1;
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
  std::string idPath = path + ".id";
  auto start = std::chrono::steady_clock::now();
  LogReaderOpen(reader, source, false);
  *messages = ScanTopicLog(reader, options, Keep, &rebuild);
  if (withIds) {
    FILE* out = std::fopen(idPath.c_str(), "wb");
    MsgIdListSave(list, out);
    if (out) std::fclose(out);
  }
  double s = Seconds(start);
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
  auto start = std::chrono::steady_clock::now();
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
  PlainRead(path, &bytes);  // warm the file cache for both sides
  double raw = 1e9, walk = 1e9, lineRead = 1e9, walkIds = 1e9;
  long messages = 0, lines = 0;
  for (int round = 0; round < 3; ++round) {
    double r = PlainRead(path, &bytes);
    double l = ReadLines(path, &lines);
    double w = Walk(path, &messages, false);
    double wi = Walk(path, &messages, true);
    if (r < raw) raw = r;
    if (l < lineRead) lineRead = l;
    if (w < walk) walk = w;
    if (wi < walkIds) walkIds = wi;
  }
  std::remove(path.c_str());
  std::printf("log: %ld messages, %lld bytes\n", messages, bytes);
  std::printf("plain read: %.3f s  lines only: %.3f s (%ld lines)  walk: %.3f s\n", raw, lineRead, lines, walk);
  std::printf("walk with the message-id list filled and saved: %.3f s\n", walkIds);
  std::printf("ratio lines/read: %.1f  ratio walk/read: %.1f  ratio walk+ids/read: %.1f\n", lineRead / raw, walk / raw,
              walkIds / raw);
  return messages == count ? 0 : 2;
}
