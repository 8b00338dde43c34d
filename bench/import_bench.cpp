// Imports a batch of news messages of about 3 KB (100,000 by default, spread
// over 50 topics in 20 files) through the import queue and import32.exe, beside
// a plain copy of the same bytes; then opens one of the topics through logopen
// (the index rebuild) and checks its message count.
// Usage: import_bench [messages] [path of import32.exe]
// Without a path the program looks beside itself, then where the build put it.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "core/appstate.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_queue_file.h"
#include "msgbase/import_text.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"

namespace {

constexpr long kTopics = 50;
constexpr long kFiles = 20;
constexpr long kCopyOutputs = 50;
constexpr DWORD kCopyBuffer = 64 * 1024;
// The flags of a connection's downloaded message batch: delete after importing.
constexpr uint32_t kDownloadedBatch = 0x00000880;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string TopicName(long topic) {
  char name[64];
  std::snprintf(name, sizeof name, "net:bench.group%02ld/all", topic + 1);
  return name;
}

long Poster(long topic, long k) { return (topic * 131 + k) % 977; }

// The text of the k-th message (from 1) of a topic: a news article of about
// 3 KB; each even-numbered one answers the message before it, as in a
// threaded group.
std::string NewsBody(long topic, long k) {
  long poster = Poster(topic, k);
  std::string body;
  body += "From: Poster " + std::to_string(poster) + " <poster" + std::to_string(poster) + "@example.com>\r\n";
  std::string folder = TopicName(topic);
  body += "Newsgroups: " + folder.substr(4, folder.find('/') - 4) + "\r\n";
  body += "Subject: " + std::string(k % 2 == 0 ? "Re: " : "") + "Question number " + std::to_string((k + 1) / 2) +
          " about pointers\r\n";
  body += "Message-ID: <" + std::to_string(topic) + "." + std::to_string(k) + "@example.com>\r\n\r\n";
  while (body.size() < 2900)
    body += "This is the text of the message, written to fill about three kilobytes of body.\r\n";
  return body;
}

// The k-th message of a topic as the import program reads it.
std::string NewsMessage(long topic, long k) {
  std::string folder = TopicName(topic);
  long poster = Poster(topic, k);
  std::string author = "poster" + std::to_string(poster) + "@example.com";
  ImportMessage m;
  m.folder = folder;
  m.number = 0;  // the import program gives the next number
  m.author = author;
  m.date = "Tue, 05 Mar 1996 14:07";
  m.commentTo = k % 2 == 0 ? k - 1 : 0;
  return ImportMessageText(m, NewsBody(topic, k));
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  return CloseHandle(h) && ok;
}

// Writes the batch files; message i goes to topic i % topics and file
// i * files / count, and each file holds its messages grouped by topic, as a
// news download comes group by group. Returns the bytes written, or -1.
long long WriteBatch(const std::string& dir, long count, long topics, long files, std::vector<std::string>* paths) {
  long long total = 0;
  for (long f = 0; f < files; ++f) {
    long from = static_cast<long>(static_cast<long long>(f) * count / files);
    long to = static_cast<long>(static_cast<long long>(f + 1) * count / files);
    std::string text;
    for (long t = 0; t < topics; ++t) {
      long first = from + (t - from % topics + topics) % topics;
      for (long i = first; i < to; i += topics) text += NewsMessage(t, i / topics + 1);
    }
    char name[32];
    std::snprintf(name, sizeof name, "batch%02ld.tmp", f + 1);
    std::string path = dir + name;
    if (!WriteFileBytes(path, text)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return -1;
    }
    paths->push_back(path);
    total += static_cast<long long>(text.size());
  }
  return total;
}

struct CopyTimes {
  double copy = -1;   // read, write, close
  double flush = -1;  // one flush of each output before it is closed
};

// The same bytes through plain file calls: every batch file read in 64 KB
// pieces, the pieces dealt in turn to the output files.
CopyTimes PlainCopy(const std::string& dir, const std::vector<std::string>& inputs, long long* copied) {
  CopyTimes times;
  std::vector<char> buffer(kCopyBuffer);
  std::vector<HANDLE> outputs;
  *copied = 0;
  auto start = Clock::now();
  for (long o = 0; o < kCopyOutputs; ++o) {
    std::string path = dir + "copy" + std::to_string(o + 1) + ".out";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) break;
    outputs.push_back(h);
  }
  bool ok = outputs.size() == static_cast<size_t>(kCopyOutputs);
  size_t next = 0;
  for (const std::string& path : inputs) {
    if (!ok) break;
    HANDLE in = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
      ok = false;
      break;
    }
    DWORD got = 0;
    while ((ok = ReadFile(in, buffer.data(), kCopyBuffer, &got, nullptr) != 0) && got > 0) {
      DWORD put = 0;
      if (!WriteFile(outputs[next], buffer.data(), got, &put, nullptr) || put != got) {
        ok = false;
        break;
      }
      *copied += got;
      next = (next + 1) % outputs.size();
    }
    CloseHandle(in);
  }
  auto flushStart = Clock::now();
  for (HANDLE h : outputs)
    if (!FlushFileBuffers(h)) ok = false;
  double flush = Seconds(flushStart);
  for (HANDLE h : outputs) CloseHandle(h);
  double total = Seconds(start);
  if (ok) {
    times.flush = flush;
    times.copy = total - flush;
  }
  return times;
}

void RemoveCopies(const std::string& dir) {
  for (long o = 0; o < kCopyOutputs; ++o) DeleteFileA((dir + "copy" + std::to_string(o + 1) + ".out").c_str());
}

std::string FindImportProgram(const char* given) {
  if (given && given[0]) return given;
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string beside = self;
  size_t slash = beside.find_last_of("\\/");
  beside = (slash == std::string::npos ? std::string() : beside.substr(0, slash + 1)) + "import32.exe";
  if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
#ifdef IMPORT32_EXE
  return IMPORT32_EXE;
#else
  return beside;
#endif
}

// Runs the import program on the data directory; its exit code, or -1 when
// it could not be started.
long RunImportProgram(const std::string& program, const std::string& dir, double* seconds) {
  std::string command = "import32.exe \"" + dir + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  // Minimised and inactive, as the program starts it unless the user asked
  // for the import in the foreground.
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION pi = {};
  auto start = Clock::now();
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  *seconds = Seconds(start);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<long>(code);
}

// Removes a directory with everything below it ("dir" ends in a backslash).
void RemoveDirectoryTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = dir + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryTree(path + "\\");
      } else {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(dir.c_str());
}

// The bench's data directory, removed however the program ends: normal
// return, a failed check, or Ctrl+C / the console closing.
std::string g_benchDir;

BOOL WINAPI OnConsoleClose(DWORD) {
  if (!g_benchDir.empty()) RemoveDirectoryTree(g_benchDir);
  return FALSE;  // the default handler then ends the process
}

void RemoveBenchDir() {
  if (!g_benchDir.empty()) RemoveDirectoryTree(g_benchDir);
  g_benchDir.clear();
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

// The body of a message of the open topic as the log holds it; empty when the
// message cannot be found.
std::string StoredBody(long number) {
  std::string body;
  if (scanmsg(number) != 1) return body;
  while (g_logReader.remaining > 0) {
    long counted = readmsgline(g_logReader);
    if (counted <= 0) break;
    body.append(g_logReader.line, g_logReader.lineLength);
    g_logReader.remaining -= counted;
  }
  return WithoutCarriageReturns(body);
}

int Quiet(HWND, const char* text, const char*, UINT) {
  std::fprintf(stderr, "box: %s\n", text);
  return IDOK;
}

double MegabytesPerSecond(long long bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds : 0.0;
}

// Start to exit of a program, best of three; -1 when it did not start or failed.
double BestRun(const std::string& program, const std::string& arguments) {
  double best = -1;
  for (int round = 0; round < 3; ++round) {
    std::string command = "\"" + program + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION pi = {};
    auto start = Clock::now();
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double seconds = Seconds(start);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != 0) return -1;
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

int Bench(const std::string& dir, long count, const std::string& program) {
  // The fixed cost before the first message: the import program on an empty
  // queue, beside a process that exits at once (this program with --exit).
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  double bare = BestRun(self, "--exit");
  double empty = BestRun(program, "\"" + dir + "\"");
  if (bare < 0 || empty < 0) {
    std::fprintf(stderr, "%s did not run\n", bare < 0 ? self : program.c_str());
    return 1;
  }

  long topics = count < kTopics ? count : kTopics;
  long files = count < kFiles ? count : kFiles;
  std::vector<std::string> batch;
  long long bytes = WriteBatch(dir, count, topics, files, &batch);
  if (bytes < 0) return 1;
  std::printf("batch: %ld messages in %ld files over %ld topics, %lld bytes\n", count, files, topics, bytes);

  // The best of three copies: the first also warms the file cache for the import.
  CopyTimes copy;
  for (int round = 0; round < 3; ++round) {
    long long copied = 0;
    CopyTimes times = PlainCopy(dir, batch, &copied);
    RemoveCopies(dir);
    if (times.copy < 0 || copied != bytes) {
      std::fprintf(stderr, "plain copy failed (%lld of %lld bytes)\n", copied, bytes);
      return 1;
    }
    if (copy.copy < 0 || times.copy < copy.copy) copy.copy = times.copy;
    if (copy.flush < 0 || times.flush < copy.flush) copy.flush = times.flush;
  }

  for (const std::string& path : batch) {
    if (!QueueImport("net", path.c_str(), "messages", kDownloadedBatch)) {
      std::fprintf(stderr, "cannot queue %s\n", path.c_str());
      return 1;
    }
  }
  double importSeconds = 0;
  long code = RunImportProgram(program, dir, &importSeconds);
  if (code != 0) {
    std::fprintf(stderr, "%s %s (exit code %ld)\n", program.c_str(), code < 0 ? "did not start" : "failed", code);
    std::fprintf(stderr, "%s", ReadAll(dir + "import.log").c_str());
    return 1;
  }
  if (!ImportQueueEmpty()) {
    std::fprintf(stderr, "the import queue still holds entries\n%s", ReadAll(dir + "import.log").c_str());
    return 1;
  }
  std::string report = ReadAll(dir + "import.log");
  if (report.find("not imported") != std::string::npos || report.find("stopped") != std::string::npos) {
    std::fprintf(stderr, "import.log reports a failure:\n%s", report.c_str());
    return 1;
  }

  if (rdconf(0) != 1) {
    std::fprintf(stderr, "conf.ww cannot be read after the import\n");
    return 1;
  }
  long expected = (count + topics - 1) / topics;  // topic 1 holds messages 0, topics, 2 * topics ...
  std::string folder = TopicName(0);
  lstrcpynA(g_topic.openName, folder.c_str(), sizeof g_topic.openName);
  auto openStart = Clock::now();
  int opened = logopen();
  double openSeconds = Seconds(openStart);
  long messages = opened ? LogCva.Count() : -1;
  // The imported text, message by message: first, middle and last of the topic.
  long wrongBodies = 0;
  if (opened && messages == expected) {
    for (long k : {1L, (expected + 1) / 2, expected}) {
      std::string stored = StoredBody(g_topic.first + k - 1);
      std::string wanted = WithoutCarriageReturns(NewsBody(0, k));
      if (stored.compare(0, wanted.size(), wanted) != 0 || stored.size() > wanted.size() + 2) {
        std::fprintf(stderr, "message %ld of %s differs from the text imported (%zu bytes stored, %zu sent)\n",
                     g_topic.first + k - 1, folder.c_str(), stored.size(), wanted.size());
        ++wrongBodies;
      }
    }
  }
  logclose();
  Conferences.SetSize(0);

  double importRate = MegabytesPerSecond(bytes, importSeconds);
  double copyRate = MegabytesPerSecond(bytes, copy.copy);
  std::printf("bytes: %lld (%.1f MB)\n", bytes, static_cast<double>(bytes) / (1024.0 * 1024.0));
  std::printf("plain copy (ReadFile/WriteFile, 64 KB, into %ld files, best of 3): %.3f s, %.1f MB/s\n", kCopyOutputs,
              copy.copy, copyRate);
  std::printf("  one flush of each copy output afterwards: %.3f s more\n", copy.flush);
  std::printf("import32.exe (start to exit): %.3f s, %.1f MB/s, %.0f messages/s\n", importSeconds, importRate,
              importSeconds > 0 ? count / importSeconds : 0.0);
  std::printf("import32.exe on an empty queue (start to exit, best of 3): %.1f ms\n", empty * 1000);
  std::printf("  a process that exits at once: %.1f ms; the import program's own fixed cost: %.1f ms (goal under 50)\n",
              bare * 1000, (empty - bare) * 1000);
  std::printf("ratio import/copy: %.2f (goal within 4)\n", copy.copy > 0 ? importSeconds / copy.copy : 0.0);
  std::printf("ratio import/(copy + flush): %.2f\n",
              copy.copy + copy.flush > 0 ? importSeconds / (copy.copy + copy.flush) : 0.0);
  std::printf("logopen of %s (index rebuild): %.3f s, %ld messages (expected %ld)\n", folder.c_str(), openSeconds,
              messages, expected);
  if (messages != expected) {
    std::fprintf(stderr, "wrong message count in %s\n", folder.c_str());
    return 1;
  }
  if (wrongBodies) return 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && !std::strcmp(argv[1], "--exit")) return 0;  // the bare process of the start-up figure
  long count = argc > 1 ? std::atol(argv[1]) : 100000;
  if (count < 1) {
    std::fprintf(stderr, "usage: import_bench [messages] [path of import32.exe]\n");
    return 2;
  }
  std::string program = FindImportProgram(argc > 2 ? argv[2] : nullptr);
  if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "import32.exe not found at %s; give its path as the second argument\n", program.c_str());
    return 2;
  }

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  char dirText[MAX_PATH];
  std::snprintf(dirText, sizeof dirText, "%simport_bench_%lu_%lu\\", temp, GetCurrentProcessId(), GetTickCount());
  std::string dir = dirText;
  if (!CreateDirectoryA(dir.c_str(), nullptr)) {
    std::fprintf(stderr, "cannot create %s\n", dir.c_str());
    return 1;
  }
  g_benchDir = dir;
  SetConsoleCtrlHandler(OnConsoleClose, TRUE);
  std::atexit(RemoveBenchDir);
  g_ui.messageBox = Quiet;
  lstrcpynA(g_app.dataDir, dir.c_str(), sizeof g_app.dataDir);
  InitDefaults();
  g_hconf.warned = true;  // no service configuration files in the bench's directory
  g_user.importToForeground = 0;

  int result = Bench(dir, count, program);
  RemoveBenchDir();
  return result;
}
