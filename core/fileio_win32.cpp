#include "core/fileio.h"

#include <direct.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "resources/resource.h"

namespace {
DWORD SystemNetConnection(const char* local, char* remote, DWORD* length) {
  return WNetGetConnectionA(local, remote, length);
}
bool NothingConsumed(MSG*) { return false; }
}  // namespace

FileIoHooks g_fileIoHooks = {SystemNetConnection, NothingConsumed};

DWORD GetNetConnection(const char* localName, char* remoteName, DWORD* length) {
  return g_fileIoHooks.getNetConnection(localName, remoteName, length);
}

namespace {

struct OpenFileRow {
  char path[MAX_PATH];
  FILE* stream;
  int lock;
};

// Starts at 100 rows and grows: an open stream that could not be recorded
// would never be closed by fileclose and would leak its lock.
std::vector<OpenFileRow>& Table() {
  static std::vector<OpenFileRow> rows(100, OpenFileRow{"", nullptr, 0});
  return rows;
}

const char* ProgramFile() {
  static char path[MAX_PATH] = "";
  if (!path[0]) GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

bool HasDrive(const char* path) { return path[0] && path[1] == ':'; }

int ShareMode(int lock) {
  if ((lock & LOCK_TEMP) || (lock & LOCK_EXCLUSIVE) == LOCK_EXCLUSIVE) return _SH_DENYRW;
  if (lock & LOCK_DENY_WRITE) return _SH_DENYWR;
  if (lock & LOCK_DENY_READ) return _SH_DENYRD;
  return _SH_DENYNO;
}

void WaitOneAttempt() {
  for (int i = 0; i < 10; ++i) {
    PumpMessages();
    Sleep(100);
  }
}

void NormaliseOrWarn(const char* path, char* out, size_t outSize) {
  if (NormalisePath(path, out, outSize)) {
    char text[MAX_PATH + 128];
    std::snprintf(text, sizeof text, loadstr(IDS_UNABLE_TO_FIND_PATH), path);
    msgwarn(text);
  }
}

FILE* Wrapper(const char* path, int flags, int openFlags, const char* textMode, const char* binaryMode, int lock) {
  bool binary = flags & FO_BINARY;
  if (binary) openFlags |= _O_BINARY;
  return fileopen(path, openFlags, binary ? binaryMode : textMode, lock | (flags & FO_QUIET ? LOCK_QUIET : 0));
}

}  // namespace

FILE* fileopen(const char* path, int openFlags, const char* mode, int lock) {
  char expanded[MAX_PATH];
  NormaliseOrWarn(path, expanded, sizeof expanded);
  int share = ShareMode(lock);
  DebugLogF("file open: %s, modes=0x%04x, model=%s, shflag=%d, lock=%d\n", expanded, openFlags, mode, share, lock);

  int fd = -1;
  int error = 0;
  unsigned n = 1;
  for (;;) {
    errno = 0;
    fd = _sopen(expanded, openFlags, share, _S_IREAD | _S_IWRITE);
    error = errno;
    if ((lock & LOCK_TEMP) || g_app.cancelTask || g_app.fatalError || fd >= 0 || error != EACCES) break;
    DebugLogF("file open: Error! errno = %d\n", error);
    if (n % 10 == 0) {
      char status[MAX_PATH + 64];
      std::snprintf(status, sizeof status, "Lock error opening %s, retry %u", expanded, n / 10);
      setstatus(status);
    }
    WaitOneAttempt();
    if (++n >= 180) break;
  }
  if (n > 1) setstatus("");

  if (fd >= 0) {
    FILE* stream = _fdopen(fd, mode);
    if (!stream) {
      _close(fd);
      return nullptr;
    }
    auto& table = Table();
    OpenFileRow* row = nullptr;
    for (auto& r : table)
      if (!r.stream) {
        row = &r;
        break;
      }
    if (!row) {
      table.push_back(OpenFileRow{"", nullptr, 0});
      row = &table.back();
    }
    StrCopyN(row->path, expanded, sizeof row->path - 1);
    row->stream = stream;
    row->lock = lock;
    return stream;
  }
  if (error == ENOENT || error == EBADF || error == EINVAL) return nullptr;
  if (!(lock & (LOCK_QUIET | LOCK_TEMP))) {
    char text[MAX_PATH + 64];
    std::snprintf(text, sizeof text, loadstr(IDS_FILE_ERROR), expanded, error);
    msgwarn(text);
  }
  return nullptr;
}

void fileclose(FILE* stream) {
  if (!stream) return;
  for (auto& row : Table()) {
    if (row.stream != stream) continue;
    char path[MAX_PATH];
    StrCopyN(path, row.path, sizeof path - 1);
    int lock = row.lock;
    fflush(stream);
    row.stream = nullptr;  // free the row before anything can re-enter
    fclose(stream);
    DebugLogF("closing %s\n", path);
    if (lock & LOCK_TEMP) EraseFile(path);
    return;
  }
  DebugLog("attempt to close twice\n");
  msgnoteid(IDS_CLOSE_TWICE);
}

FILE* fopen_r(const char* p, int f) { return Wrapper(p, f, _O_RDONLY, "r", "rb", 0); }
FILE* fopen_rtemp(const char* p, int f) { return Wrapper(p, f, _O_RDONLY, "r", "rb", LOCK_TEMP); }
FILE* fopen_rlock(const char* p, int f) { return Wrapper(p, f, _O_RDONLY, "r", "rb", LOCK_DENY_WRITE); }
FILE* fopen_rexcl(const char* p, int f) { return Wrapper(p, f, _O_RDONLY, "r", "rb", LOCK_EXCLUSIVE); }
FILE* fopen_rw(const char* p, int f) { return Wrapper(p, f, _O_RDWR, "r+", "r+b", LOCK_EXCLUSIVE); }
FILE* fopen_a(const char* p, int f) { return Wrapper(p, f, _O_RDWR | _O_APPEND | _O_CREAT, "a", "ab", 0); }
FILE* fopen_alock(const char* p, int f) {
  return Wrapper(p, f, _O_RDWR | _O_APPEND | _O_CREAT, "a", "ab", LOCK_EXCLUSIVE);
}
FILE* fopen_w(const char* p, int f) { return Wrapper(p, f, _O_RDWR | _O_CREAT | _O_TRUNC, "w", "wb", LOCK_EXCLUSIVE); }
FILE* fopen_wtemp(const char* p, int f) {
  return fileopen(p, _O_RDWR | _O_CREAT | _O_TRUNC, "w", LOCK_TEMP | LOCK_QUIET);
}

FILE* openuserlock(const char* userFileName) {
  char name[MAX_PATH];
  StrCopyN(name, userFileName, sizeof name - 5);
  char* slash = std::strrchr(name, '\\');
  char* dot = std::strrchr(name, '.');
  if (dot && (!slash || dot > slash)) std::strcpy(dot, ".ulk");
  char path[MAX_PATH];
  if (!slash)
    JoinPath(path, sizeof path, {g_app.dataDir, name});
  else
    StrCopyN(path, name, sizeof path - 1);
  return fileopen(path, _O_RDWR | _O_CREAT | _O_TRUNC, "w", LOCK_TEMP | LOCK_QUIET);
}

void listopenfiles() {
  for (auto& row : Table()) {
    if (!row.stream) continue;
    char text[MAX_PATH + 32];
    std::snprintf(text, sizeof text, loadstr(IDS_OPEN_FILE), row.path);
    msgwarn(text);
    DebugLogF("%s\n", text);
  }
}

int OpenFileCount() {
  int n = 0;
  for (auto& row : Table())
    if (row.stream) ++n;
  return n;
}

int EraseFile(const char* path) {
  char expanded[MAX_PATH];
  NormalisePath(path, expanded, sizeof expanded);
  int result = -1;
  unsigned attempt = 1;
  for (; attempt < 180; ++attempt) {
    errno = 0;
    result = remove(expanded);
    int error = errno;
    if (g_app.cancelTask || g_app.fatalError || result == 0 || error != EACCES) break;
    DebugLogF("unlink: %s, errno = %d\n", expanded, error);
    if (attempt % 10 == 0) {
      char status[MAX_PATH + 96];
      std::snprintf(status, sizeof status, "Error erasing %s - file in use by another application, retry %u", expanded,
                    attempt / 10);
      setstatus(status);
    }
    WaitOneAttempt();
  }
  if (attempt > 1) setstatus("");
  return result == 0 ? 0 : -1;
}

int EraseFileOnce(const char* path) {
  char expanded[MAX_PATH];
  NormalisePath(path, expanded, sizeof expanded);
  return remove(expanded) == 0 ? 0 : -1;
}

int filerename(const char* oldPath, const char* newPath) {
  char from[MAX_PATH], to[MAX_PATH];
  NormalisePath(oldPath, from, sizeof from);
  NormalisePath(newPath, to, sizeof to);
  return rename(from, to) == 0 ? 0 : -1;
}

int makedir(const char* path) {
  char expanded[MAX_PATH];
  NormalisePath(path, expanded, sizeof expanded);
  return _mkdir(expanded) == 0 ? 0 : -1;
}

int removedir(const char* path) {
  char expanded[MAX_PATH];
  NormalisePath(path, expanded, sizeof expanded);
  return _rmdir(expanded) == 0 ? 0 : -1;
}

int changedir(const char* path) {
  char full[MAX_PATH];
  if (path[0] == '\\' && path[1] == '\\') {
    NormaliseOrWarn(path, full, sizeof full);
  } else if (!HasDrive(path) && HasDrive(ProgramFile())) {
    std::snprintf(full, sizeof full, "%c:%s", ProgramFile()[0], path);
  } else {
    StrCopyN(full, path, sizeof full - 1);
  }
  if (HasDrive(full)) {
    if (_chdrive(ToUpper1252(static_cast<unsigned char>(full[0])) - 'A' + 1) != 0) return -1;
    if (!full[2]) return 0;
  }
  size_t n = std::strlen(full);
  bool driveRoot = n == 3 && HasDrive(full);
  if (n > 1 && full[n - 1] == '\\' && !driveRoot) full[n - 1] = 0;
  return _chdir(full) == 0 ? 0 : -1;
}

namespace {
// The directory search also answers for names with wild cards and for a
// directory named with a closing backslash, as it always has; any other name
// is looked up directly, which costs far less under some systems.
bool NeedsDirectorySearch(const char* path) {
  size_t n = std::strlen(path);
  return std::strpbrk(path, "*?") != nullptr || (n && (path[n - 1] == '\\' || path[n - 1] == '/'));
}
}  // namespace

time_t CalendarTime(const FILETIME& when) {
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&when, &st)) return -1;
  struct tm fields = {};
  fields.tm_year = st.wYear - 1900;
  fields.tm_mon = st.wMonth - 1;
  fields.tm_mday = st.wDay;
  fields.tm_hour = st.wHour;
  fields.tm_min = st.wMinute;
  fields.tm_sec = st.wSecond;
  fields.tm_isdst = -1;
  return mktime(&fields);
}

time_t filetime(const char* path) {
  char expanded[MAX_PATH];
  NormalisePath(path, expanded, sizeof expanded);
  FILETIME when, created;
  if (NeedsDirectorySearch(expanded)) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(expanded, &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FindClose(search);
    when = found.ftLastWriteTime;
    created = found.ftCreationTime;
  } else {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(expanded, GetFileExInfoStandard, &data)) return -1;
    when = data.ftLastWriteTime;
    created = data.ftCreationTime;
  }
  if (!when.dwLowDateTime && !when.dwHighDateTime) when = created;
  return CalendarTime(when);
}

FileStamp FileStamp::Of(const char* path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!path || !path[0] || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return stamp;
  stamp.present = true;
  stamp.sizeHigh = data.nFileSizeHigh;
  stamp.sizeLow = data.nFileSizeLow;
  stamp.written = data.ftLastWriteTime;
  return stamp;
}

bool FileStamp::operator==(const FileStamp& o) const {
  return present == o.present && sizeHigh == o.sizeHigh && sizeLow == o.sizeLow &&
         written.dwLowDateTime == o.written.dwLowDateTime && written.dwHighDateTime == o.written.dwHighDateTime;
}

bool FileStamp::Settled() const {
  if (!present) return true;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG current = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const ULONGLONG at = (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  constexpr ULONGLONG kSettleTime = 3ull * 10000000ull;  // 3 seconds in 100 ns steps
  return at + kSettleTime <= current;
}

long filesize(const char* path) {
  FILE* f = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fileclose(f);
  return size < 0 ? 0 : size;
}

namespace {
// out holds MAX_PATH bytes and path fits in it.
int NormaliseInto(const char* path, char* out) {
  StrCopyN(out, path, MAX_PATH - 1);
  StrLower1252(out);
  if (!(out[0] == '\\' && out[1] == '\\')) {
    if (!HasDrive(out) && HasDrive(ProgramFile())) {
      char rest[MAX_PATH];
      StrCopyN(rest, out, MAX_PATH - 3);
      out[0] = static_cast<char>(ToLower1252(static_cast<unsigned char>(ProgramFile()[0])));
      out[1] = ':';
      StrCopyN(out + 2, rest, MAX_PATH - 3);
    }
    return 0;
  }
  static char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
  static bool looked = false;
  if (!looked) {
    DWORD size = sizeof computer;
    if (!GetComputerNameA(computer, &size)) computer[0] = 0;
    looked = true;
  }
  if (!computer[0]) return 1;
  const char* server = out + 2;
  const char* serverEnd = std::strchr(server, '\\');
  size_t serverLen = serverEnd ? static_cast<size_t>(serverEnd - server) : std::strlen(server);
  if (serverLen == std::strlen(computer) && _strnicmp(server, computer, serverLen) == 0) {
    const char* share = serverEnd ? serverEnd + 1 : server + serverLen;
    const char* rest = std::strchr(share, '\\');
    char tail[MAX_PATH];
    StrCopyN(tail, rest ? rest : "\\", MAX_PATH - 1);
    std::strcpy(out, tail);
    return 0;
  }
  static char lastDrive = 0;
  auto tryDrive = [&](char letter) {
    char local[3] = {letter, ':', 0};
    char remote[MAX_PATH];
    DWORD length = sizeof remote;
    if (GetNetConnection(local, remote, &length) != NO_ERROR) return false;
    size_t rl = std::strlen(remote);
    if (!rl || _strnicmp(out, remote, rl) != 0) return false;
    char tail[MAX_PATH];
    StrCopyN(tail, out + rl, MAX_PATH - 3);
    out[0] = static_cast<char>(ToLower1252(static_cast<unsigned char>(letter)));
    out[1] = ':';
    StrCopyN(out + 2, tail, MAX_PATH - 3);
    lastDrive = letter;
    return true;
  };
  if (lastDrive && tryDrive(lastDrive)) return 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    if (tryDrive(letter)) return 0;
  return 0;
}
}  // namespace

int NormalisePath(const char* path, char* out, size_t outSize) {
  if (!out || !outSize) return 1;
  out[0] = 0;
  if (!path) path = "";
  // A path cut to fit would name another file: none rather than part.
  if (std::strlen(path) >= MAX_PATH) return 1;
  char work[MAX_PATH];
  int result = NormaliseInto(path, work);
  if (std::strlen(work) >= outSize) return 1;
  std::memcpy(out, work, std::strlen(work) + 1);
  return result;
}

void PumpMessages() {
  if (g_app.quitSeen) return;
  g_app.pumping = true;
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      g_app.quitSeen = true;
    } else if (!g_fileIoHooks.preTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  g_app.pumping = false;
}
