// The one door to the file system: share-mode opens with retry, the open-file
// table, deletion with retry, and the path expansion every file call passes.
#pragma once
#include <windows.h>
#include <fcntl.h>

#include <cstdio>
#include <ctime>

// Lock bits of fileopen.
enum : int {
  LOCK_DENY_WRITE = 1,
  LOCK_DENY_READ = 2,
  LOCK_EXCLUSIVE = 3,
  LOCK_TEMP = 4,
  LOCK_QUIET = 8,
};
// Open flags are the C library's: _O_RDONLY, _O_RDWR, _O_APPEND, _O_CREAT,
// _O_TRUNC, _O_BINARY from <fcntl.h>.
// Flags of the fopen_* wrappers.
enum : int { FO_BINARY = 1, FO_QUIET = 8 };

FILE* fileopen(const char* path, int openFlags, const char* mode, int lock);
void fileclose(FILE* stream);
FILE* fopen_r(const char* path, int flags);
FILE* fopen_rtemp(const char* path, int flags);
FILE* fopen_rlock(const char* path, int flags);
FILE* fopen_rexcl(const char* path, int flags);
FILE* fopen_rw(const char* path, int flags);
FILE* fopen_a(const char* path, int flags);
FILE* fopen_alock(const char* path, int flags);
FILE* fopen_w(const char* path, int flags);
FILE* fopen_wtemp(const char* path, int flags);
FILE* openuserlock(const char* userFileName);
void listopenfiles();
int OpenFileCount();
int EraseFile(const char* path);
int EraseFileOnce(const char* path);
int filerename(const char* oldPath, const char* newPath);
int makedir(const char* path);
int removedir(const char* path);
int changedir(const char* path);
time_t filetime(const char* path);
// A file time as filetime gives it: local calendar seconds, -1 when it cannot be converted.
time_t CalendarTime(const FILETIME& when);
// A file's size and last write time as its directory entry gives them, or
// that it is absent: what a cache of something read from the file compares
// to learn whether the file changed.
struct FileStamp {
  bool present = false;
  DWORD sizeHigh = 0, sizeLow = 0;
  FILETIME written = {};

  static FileStamp Of(const char* path);
  bool operator==(const FileStamp& other) const;
  // False while the file was written within the last few seconds: file times
  // are coarse on some systems, so a second change may leave the stamp as it
  // was. A cache keeps nothing read from an unsettled file.
  bool Settled() const;
};
long filesize(const char* path);
// 1 (out empty) when the path or its normal form does not fit: MAX_PATH for
// the path, outSize for the result.
int NormalisePath(const char* path, char* out, size_t outSize);
void PumpMessages();

struct FileIoHooks {
  // Network connection lookup behind NormalisePath (WNetGetConnectionA);
  // tests replace it.
  DWORD (*getNetConnection)(const char* localName, char* remoteName, DWORD* length);
  // Pre-translation of the main loop (modeless dialogs, MDI keys,
  // accelerators); the shell sets it. True when the message was consumed;
  // by default none is.
  bool (*preTranslateMessage)(MSG* msg);
};
extern FileIoHooks g_fileIoHooks;
DWORD GetNetConnection(const char* localName, char* remoteName, DWORD* length);
