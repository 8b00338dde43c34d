// Imports a batch of news messages of about 3 KB (100,000 by default, spread
// over 50 topics in 20 files) through the import queue and import32.exe, beside
// a plain copy of the same bytes; then opens one of the topics through logopen
// (the index rebuild) and checks its message count and texts. Three rounds,
// each on a fresh data directory and freshly written batch files (written
// back to disk before anything is timed); the best round of each is shown,
// with where the import program's time went in its best round.
// Usage: import_bench [messages] [path of import32.exe]
// Without a path the program looks beside itself, then where the build put it.
#include <windows.h>

#include <chrono>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
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

// Written back to disk before it is closed, so that neither the copy nor the
// import pays for writing the fixture.
bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  ok = FlushFileBuffers(h) && ok;
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
// it could not be started. *started is the clock when it was started, on the
// clock the program's own figures use.
long RunImportProgram(const std::string& program, const std::string& dir, double* seconds, double* started) {
  std::string command = "import32.exe \"" + dir + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  // Minimised and inactive, as the program starts it unless the user asked
  // for the import in the foreground.
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION pi = {};
  *started = Now();
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  *seconds = Now() - *started;
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

// One round's import: its time, the program's own split of it and the
// index rebuild's time.
struct ImportRound {
  double seconds = -1;
  double started = 0;                                  // the bench's clock at CreateProcess
  std::vector<std::pair<std::string, double>> stages;  // as the program wrote them, in order
  std::map<std::string, long> counts;
  double openSeconds = 0;

  double Stage(const std::string& name) const {
    for (auto& [n, seconds] : stages)
      if (n == name) return seconds;
    return 0;
  }
  double Syncs() const {
    double total = 0;
    for (auto& [n, seconds] : stages)
      if (n.compare(0, 5, "sync ") == 0) total += seconds;
    return total;
  }
};

// "name<TAB>seconds<TAB>count" lines, as import32.exe writes them when
// IMPORT32_STATS names a file.
bool ReadStats(const std::string& path, ImportRound* run) {
  std::string text = ReadAll(path);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    size_t tab = line.find('\t'), tab2 = tab == std::string::npos ? tab : line.find('\t', tab + 1);
    if (tab2 == std::string::npos) return false;
    std::string name = line.substr(0, tab);
    run->stages.push_back({name, std::atof(line.c_str() + tab + 1)});
    run->counts[name] = std::atol(line.c_str() + tab2 + 1);
  }
  return run->Stage("main end") > 0;
}

// Where the import program's time went: process start, each stage of the
// run (what a stage holds is indented under it), the syncs by kind, exit.
void PrintSplit(const ImportRound& run) {
  double mainStart = run.Stage("main start"), mainEnd = run.Stage("main end");
  std::printf("  split of the best import run (seconds, times):\n");
  std::printf("    process start to WinMain     %.3f\n", mainStart - run.started);
  const char* const topLevel[] = {"recover",   "queue read", "map",          "parse",      "read-ahead wait",
                                  "conf read", "plan",       "journal",      "log append", "index delete",
                                  "conf save", "postits",    "queue remove", "finish",     "close logs"};
  double accounted = 0;
  for (const char* name : topLevel) {
    double seconds = run.Stage(name);
    accounted += seconds;
    std::printf("    %-28s %.3f  %ld\n", name, seconds, run.counts.count(name) ? run.counts.at(name) : 0L);
    const char* inner = !std::strcmp(name, "log append")     ? "log writes"
                        : !std::strcmp(name, "finish")       ? "entry delete"
                        : !std::strcmp(name, "journal")      ? "sync journal"
                        : !std::strcmp(name, "conf save")    ? "sync conf"
                        : !std::strcmp(name, "queue remove") ? "sync queue"
                                                             : nullptr;
    if (inner)
      std::printf("      %-26s %.3f  %ld\n", inner, run.Stage(inner),
                  run.counts.count(inner) ? run.counts.at(inner) : 0L);
  }
  std::printf("    sync log (rewrites, undo)    %.3f  %ld\n", run.Stage("sync log"),
              run.counts.count("sync log") ? run.counts.at("sync log") : 0L);
  std::printf("    rest of WinMain              %.3f\n", mainEnd - mainStart - accounted);
  std::printf("    WinMain's end to exit        %.3f\n", run.started + run.seconds - mainEnd);
}

// Writes the batch into a fresh data directory, copies it plainly, then
// imports it and checks the result. False, with the reason on stderr, on any
// failure.
bool Round(const std::string& dir, long count, long topics, long files, const std::string& program, ImportRound* run,
           CopyTimes* copy, long long* bytes) {
  lstrcpynA(g_app.dataDir, dir.c_str(), sizeof g_app.dataDir);
  std::vector<std::string> batch;
  *bytes = WriteBatch(dir, count, topics, files, &batch);
  if (*bytes < 0) return false;

  long long copied = 0;
  *copy = PlainCopy(dir, batch, &copied);
  RemoveCopies(dir);
  if (copy->copy < 0 || copied != *bytes) {
    std::fprintf(stderr, "plain copy failed (%lld of %lld bytes)\n", copied, *bytes);
    return false;
  }

  for (const std::string& path : batch) {
    if (!QueueImport("net", path.c_str(), "messages", kDownloadedBatch)) {
      std::fprintf(stderr, "cannot queue %s\n", path.c_str());
      return false;
    }
  }
  std::string stats = dir + "import.sta";
  SetEnvironmentVariableA("IMPORT32_STATS", stats.c_str());
  long code = RunImportProgram(program, dir, &run->seconds, &run->started);
  SetEnvironmentVariableA("IMPORT32_STATS", nullptr);
  if (code != 0) {
    std::fprintf(stderr, "%s %s (exit code %ld)\n", program.c_str(), code < 0 ? "did not start" : "failed", code);
    std::fprintf(stderr, "%s", ReadAll(dir + "import.log").c_str());
    return false;
  }
  if (!ReadStats(stats, run)) {
    std::fprintf(stderr, "import32.exe wrote no figures to %s\n", stats.c_str());
    return false;
  }
  if (!ImportQueueEmpty()) {
    std::fprintf(stderr, "the import queue still holds entries\n%s", ReadAll(dir + "import.log").c_str());
    return false;
  }
  std::string report = ReadAll(dir + "import.log");
  if (report.find("not imported") != std::string::npos || report.find("stopped") != std::string::npos) {
    std::fprintf(stderr, "import.log reports a failure:\n%s", report.c_str());
    return false;
  }
  for (const std::string& path : batch) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      std::fprintf(stderr, "%s was imported but not deleted\n", path.c_str());
      return false;
    }
  }

  if (rdconf(0) != 1) {
    std::fprintf(stderr, "conf.ww cannot be read after the import\n");
    return false;
  }
  bool ok = true;
  // Every topic holds its share, numbered from 1; topic 1's messages are
  // read back and compared with what was sent.
  for (long t = 0; t < topics && ok; ++t) {
    long expected = (count - t + topics - 1) / topics;  // messages t, t + topics, t + 2 * topics ...
    std::string folder = TopicName(t);
    const ConfRec* rec = nullptr;
    for (int i = 0; i < Conferences.Count() && !rec; ++i)
      if (!lstrcmpiA(static_cast<const ConfRec*>(Conferences.At(i))->name, folder.c_str()))
        rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || rec->first != 1 || rec->last != expected) {
      std::fprintf(stderr, "%s: %s\n", folder.c_str(), rec ? "wrong range in conf.ww" : "missing from conf.ww");
      ok = false;
    }
  }
  long expected = (count + topics - 1) / topics;
  std::string folder = TopicName(0);
  lstrcpynA(g_topic.openName, folder.c_str(), sizeof g_topic.openName);
  double openStart = Now();
  int opened = ok ? logopen() : 0;
  run->openSeconds = Now() - openStart;
  long messages = opened ? LogCva.Count() : -1;
  if (ok && messages != expected) {
    std::fprintf(stderr, "%s holds %ld messages, expected %ld\n", folder.c_str(), messages, expected);
    ok = false;
  }
  for (long k = 1; ok && k <= expected; ++k) {
    std::string stored = StoredBody(g_topic.first + k - 1);
    std::string wanted = WithoutCarriageReturns(NewsBody(0, k));
    if (stored.compare(0, wanted.size(), wanted) != 0 || stored.size() > wanted.size() + 2) {
      std::fprintf(stderr, "message %ld of %s differs from the text imported (%zu bytes stored, %zu sent)\n",
                   g_topic.first + k - 1, folder.c_str(), stored.size(), wanted.size());
      ok = false;
    }
  }
  logclose();
  Conferences.SetSize(0);
  return ok;
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
  CopyTimes copy;
  ImportRound import;
  long long bytes = 0;
  for (int round = 1; round <= 3; ++round) {
    std::string roundDir = dir + "round" + std::to_string(round) + "\\";
    ImportRound run;
    CopyTimes times;
    bool ok = CreateDirectoryA(roundDir.c_str(), nullptr) &&
              Round(roundDir, count, topics, files, program, &run, &times, &bytes);
    RemoveDirectoryTree(roundDir);
    if (!ok) return 1;
    if (copy.copy < 0 || times.copy < copy.copy) copy.copy = times.copy;
    if (copy.flush < 0 || times.flush < copy.flush) copy.flush = times.flush;
    if (import.seconds < 0 || run.seconds < import.seconds) import = run;
  }
  std::printf("batch: %ld messages in %ld files over %ld topics, %lld bytes (%.1f MB)\n", count, files, topics, bytes,
              static_cast<double>(bytes) / (1024.0 * 1024.0));
  std::printf("plain copy (ReadFile/WriteFile, 64 KB, into %ld files, best of 3): %.3f s, %.1f MB/s\n", kCopyOutputs,
              copy.copy, MegabytesPerSecond(bytes, copy.copy));
  std::printf("  one flush of each copy output afterwards: %.3f s more (best of 3)\n", copy.flush);
  std::printf(
      "import32.exe (start to exit, best of 3, a fresh data directory each): %.3f s, %.1f MB/s, %.0f messages/s\n",
      import.seconds, MegabytesPerSecond(bytes, import.seconds), import.seconds > 0 ? count / import.seconds : 0.0);
  std::printf("import32.exe on an empty queue (start to exit, best of 3): %.1f ms\n", empty * 1000);
  std::printf("  a process that exits at once: %.1f ms; the import program's own fixed cost: %.1f ms (goal under 50)\n",
              bare * 1000, (empty - bare) * 1000);
  PrintSplit(import);
  double syncs = import.Syncs();
  std::printf("ratio import/copy: %.2f (goal within 4)\n", copy.copy > 0 ? import.seconds / copy.copy : 0.0);
  std::printf("ratio import/(copy + flush): %.2f\n",
              copy.copy + copy.flush > 0 ? import.seconds / (copy.copy + copy.flush) : 0.0);
  std::printf("syncs the import must pay: %.3f s, beside one flush of the copy's outputs: %.3f s\n", syncs, copy.flush);
  std::printf("ratio (import - its syncs)/copy: %.2f\n", copy.copy > 0 ? (import.seconds - syncs) / copy.copy : 0.0);
  // The copy runs inside this process; the import pays a process's start
  // and exit, which a process that exits at once measures.
  std::printf("ratio (import - its syncs - a bare process)/copy: %.2f\n",
              copy.copy > 0 ? (import.seconds - syncs - bare) / copy.copy : 0.0);
  std::printf("logopen of %s (index rebuild, in the best round): %.3f s\n", TopicName(0).c_str(), import.openSeconds);
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
