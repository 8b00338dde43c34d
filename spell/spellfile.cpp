#include "spell/spellfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <sys/locking.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

FILE* spellOpen(const char* path, int mode) {
  static const char* const kModes[] = {"rb", "wb", "w+b", "rt", "wt"};
  if (mode < 0 || mode > 4 || !path || !*path) return nullptr;
#if defined(_WIN32)
  return fopen(path, kModes[mode]);
#else
  // The host library has no text mode; "rt" and "wt" mean "r" and "w".
  static const char* const kHostModes[] = {"rb", "wb", "w+b", "r", "w"};
  (void)kModes;
  return fopen(path, kHostModes[mode]);
#endif
}

void spellClose(FILE* file) {
  if (file) fclose(file);
}

size_t spellRead(FILE* file, void* buffer, size_t size) { return fread(buffer, 1, size, file); }

bool spellReadLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

long spellWriteLine(FILE* file, const char* text) {
  size_t n = strlen(text);
  if (fwrite(text, 1, n, file) != n || fputc('\n', file) == EOF) return -1;
  return static_cast<long>(n);
}

int spellSeek(FILE* file, long offset) { return fseek(file, offset, SEEK_SET); }

long spellFileSize(FILE* file) {
  long here = ftell(file);
  if (here < 0 || fseek(file, 0, SEEK_END) != 0) return -1;
  long size = ftell(file);
  fseek(file, here, SEEK_SET);
  return size;
}

uint32_t spellFileTime(const char* path) {
  struct stat st;
  if (!path || stat(path, &st) != 0) return 0;
  return static_cast<uint32_t>(st.st_mtime);
}

bool spellFileExists(const char* path) {
  struct stat st;
  return path && stat(path, &st) == 0;
}

namespace {

constexpr int kLockTries = 1000;  // 10 ms apart: about ten seconds in all
std::atomic<unsigned> g_tempCounter{0};

int ProcessId() {
#if defined(_WIN32)
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

std::string DirectoryOf(const char* path) {
  std::string p(path);
  size_t slash = p.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

}  // namespace

bool spellLock(const char* path, SpellLock& lock) {
  std::string lockPath = std::string(path) + ".lck";
#if defined(_WIN32)
  int fd = _open(lockPath.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  for (int i = 0; i < kLockTries; ++i) {
    _lseek(fd, 0, SEEK_SET);
    if (_locking(fd, _LK_NBLCK, 1) == 0) {
      lock.fd = fd;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  _close(fd);
  return false;
#else
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  for (int i = 0; i < kLockTries; ++i) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock.fd = fd;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  close(fd);
  return false;
#endif
}

void spellUnlock(SpellLock& lock) {
  if (lock.fd < 0) return;
#if defined(_WIN32)
  _lseek(lock.fd, 0, SEEK_SET);
  _locking(lock.fd, _LK_UNLCK, 1);
  _close(lock.fd);
#else
  flock(lock.fd, LOCK_UN);
  close(lock.fd);
#endif
  lock.fd = -1;
}

FILE* spellCreateTemp(const char* path, std::string& tempPath) {
  std::string dir = DirectoryOf(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[64];
    snprintf(name, sizeof name, "SRN%05d%04u.TMP", ProcessId() % 100000, g_tempCounter++ % 10000);
    tempPath = dir + name;
#if defined(_WIN32)
    int fd = _open(tempPath.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      FILE* f = _fdopen(fd, "wt");
      if (!f) _close(fd), remove(tempPath.c_str());
      return f;
    }
#else
    int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      FILE* f = fdopen(fd, "w");
      if (!f) close(fd), remove(tempPath.c_str());
      return f;
    }
#endif
    if (errno != EEXIST) break;
  }
  tempPath.clear();
  return nullptr;
}

int spellReplaceFile(const char* tempPath, const char* path) {
#if defined(_WIN32)
  // rename() here will not replace an existing file: the old one steps aside
  // first and comes back if the new one cannot take its place.
  if (!spellFileExists(path)) return rename(tempPath, path) == 0 ? 0 : -1;
  std::string aside = std::string(tempPath) + ".OLD";
  if (rename(path, aside.c_str()) != 0) return -1;
  if (rename(tempPath, path) != 0) {
    rename(aside.c_str(), path);
    return -1;
  }
  remove(aside.c_str());
  return 0;
#else
  return rename(tempPath, path) == 0 ? 0 : -1;
#endif
}

namespace {
std::string g_logPath;
}

void timelogSetFile(const char* path) { g_logPath = path ? path : ""; }

void timelog(const char* format, ...) {
  if (g_logPath.empty()) return;
  FILE* f = fopen(g_logPath.c_str(), "a");
  if (!f) return;
  time_t now = time(nullptr);
  struct tm* t = localtime(&now);
  if (t) fprintf(f, "%02d:%02d:%02d ", t->tm_hour, t->tm_min, t->tm_sec);
  va_list args;
  va_start(args, format);
  vfprintf(f, format, args);
  va_end(args);
  fputc('\n', f);
  fclose(f);
}
