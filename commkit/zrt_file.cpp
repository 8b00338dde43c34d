// File access by Win32 handle, and path joining and splitting.
#include "internal.h"

#include <string.h>

namespace {
bool IsNone(HANDLE file) { return file == INVALID_HANDLE_VALUE; }
bool EndsInSeparator(const char* path) {
  size_t length = strlen(path);
  return length && (path[length - 1] == '\\' || path[length - 1] == ':');
}
}  // namespace

void ZRTAPI ZrtNoOp() {}

int ZRTAPI ZrtFileEof(HANDLE file) {
  if (IsNone(file)) return 1;
  char byte;
  DWORD got = 0;
  if (!ReadFile(file, &byte, 1, &got, nullptr)) return 0;
  if (got == 0) return 1;
  SetFilePointer(file, -1, nullptr, FILE_CURRENT);
  return 0;
}

int ZRTAPI ZrtFileRead(HANDLE file, void* buffer, uint16_t count) {
  DWORD got = 0;
  if (IsNone(file) || !buffer || !ReadFile(file, buffer, count, &got, nullptr)) return -1;
  return int(got);
}

int ZRTAPI ZrtFileWrite(HANDLE file, const void* buffer, uint16_t count) {
  DWORD put = 0;
  if (IsNone(file) || !buffer || !WriteFile(file, buffer, count, &put, nullptr)) return -1;
  return int(put);
}

long ZRTAPI ZrtFileTell(HANDLE file) {
  if (IsNone(file)) return -1;
  return long(SetFilePointer(file, 0, nullptr, FILE_CURRENT));
}

int ZRTAPI ZrtFileSeek(HANDLE file, long offset, int origin) {
  static const DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  if (IsNone(file) || origin < 0 || origin > 2) return 0;
  SetLastError(NO_ERROR);
  DWORD result = SetFilePointer(file, offset, nullptr, methods[origin]);
  return !(result == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

HANDLE ZRTAPI ZrtFileOpen(const char* name, uint16_t mode) {
  DWORD access;
  switch (mode & 0xFF) {
    case 1:
    case 5: access = GENERIC_WRITE; break;
    case 2: access = GENERIC_READ; break;
    case 3:
    case 7: access = GENERIC_READ | GENERIC_WRITE; break;
    default: return INVALID_HANDLE_VALUE;
  }
  DWORD share;
  switch (mode >> 8) {
    case 0x02: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case 0x04: share = FILE_SHARE_WRITE; break;
    case 0x08: share = FILE_SHARE_READ; break;
    default: share = 0; break;
  }
  if (!name) return INVALID_HANDLE_VALUE;
  HANDLE file = CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsNone(file) && (mode & 0x04)) SetFilePointer(file, 0, nullptr, FILE_END);
  return file;
}

HANDLE ZRTAPI ZrtFileCreate(const char* name) {
  if (!name) return INVALID_HANDLE_VALUE;
  return CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int ZRTAPI ZrtFileClose(HANDLE file) {
  if (IsNone(file) || !CloseHandle(file)) return -1;
  return 0;
}

long ZRTAPI ZrtFileSize(HANDLE file) {
  if (IsNone(file)) return -1;
  DWORD size = GetFileSize(file, nullptr);
  return size == INVALID_FILE_SIZE ? -1 : long(size);
}

int ZRTAPI ZrtFileExists(const char* name) {
  if (!name) return 0;
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

int ZRTAPI ZrtFileDelete(const char* name) {
  if (!name) return 0;
  return DeleteFileA(name);
}

int ZRTAPI MakePath(char* destination, const char* directory, const char* name) {
  if (!destination) return 0;
  const char* base = name ? name : "";
  if (directory && *directory) {
    // The destination may be the directory itself.
    if (destination != directory) strcpy(destination, directory);
    if (!EndsInSeparator(destination)) strcat(destination, "\\");
    strcat(destination, base);
  } else {
    strcpy(destination, base);
  }
  return 1;
}

void ZRTAPI AddBackslash(char* path) {
  if (path && *path && !EndsInSeparator(path)) strcat(path, "\\");
}

int ZRTAPI SplitPath(const char* path, char* directory, char* name) {
  if (directory) *directory = 0;
  if (name) *name = 0;
  if (!path) return 0;
  const char* split = nullptr;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == ':') split = p;
  if (!split) {
    if (name) strcpy(name, path);
    return 0;
  }
  if (directory) {
    memcpy(directory, path, size_t(split - path + 1));
    directory[split - path + 1] = 0;
  }
  if (name) strcpy(name, split + 1);
  return 1;
}

void PathDirectory(char* destination, const char* path) {
  const char* last = strrchr(path, '\\');
  if (last) {
    memcpy(destination, path, size_t(last - path + 1));
    destination[last - path + 1] = 0;
  } else if (!*destination) {
    strcpy(destination, ".\\");
  }
}

char* PathWithDir(const char* path) {
  if (!path) return nullptr;
  if (*path && strpbrk(path + 1, "\\/:")) return StrDup(path);
  char* copy = static_cast<char*>(ZrtMemAlloc(uint32_t(strlen(path) + 3)));
  if (copy) {
    strcpy(copy, ".\\");
    strcat(copy, path);
  }
  return copy;
}

char* SessionScriptPath(const char* scriptDirectory, const char* name, uint32_t* error) {
  char* path = static_cast<char*>(ZrtMemAlloc(261));
  if (!path) {
    if (error) *error = 768;
    return nullptr;
  }
  if (!name) return path;
  if (!scriptDirectory || !*scriptDirectory) {
    CopyBounded(path, 261, name);
    return path;
  }
  char directory[261];
  char base[261];
  if (strlen(name) >= sizeof base) return path;
  SplitPath(name, directory, base);
  char joined[600];
  CopyBounded(joined, 261, scriptDirectory);
  MakePath(joined, joined, base);
  CopyBounded(path, 261, joined);
  return path;
}
