#include "core/service_dirs.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/fileio.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/text1252.h"

MapiBindings g_mapiBindings;
const ServiceDirsHooks kDefaultServiceDirsHooks = {std::fwrite};
ServiceDirsHooks g_serviceDirsHooks = kDefaultServiceDirsHooks;

namespace {

constexpr unsigned kNotScanned = 0xFFFFFFFFu;
unsigned g_haveQuorl = kNotScanned, g_haveDvn = kNotScanned, g_haveNet = kNotScanned, g_haveLocal = kNotScanned;

bool Exists(const char* path) { return filetime(path) != static_cast<time_t>(-1); }

bool Have(unsigned& flag) {
  if (flag == kNotScanned) ScanServiceDirs();
  return flag == 1;
}

}  // namespace

bool IsServiceDir(const char* name) {
  if (!name || !name[0]) return false;
  if (lstrcmpiA(name, "msmail") == 0) return g_mapiBindings.first;
  if (lstrcmpiA(name, "ccmail") == 0) return g_mapiBindings.second;
  for (const char* other : {"pending", "backup", "spool", "temp", "ghosts", "scripts"})
    if (lstrcmpiA(name, other) == 0) return false;
  if (name[0] == '%' || name[0] == '.') return false;
  for (const char* p = name; *p; ++p)
    if (!IsAlnum1252(static_cast<unsigned char>(*p))) return false;
  if (lstrcmpiA(name, "local") == 0) return true;
  if (std::strlen(name) > 64) return false;
  char path[2 * MAX_PATH], file[80];
  snprintf(file, sizeof file, "%sint.cnf", name);
  JoinPath(path, sizeof path, {g_main.messagePath, name, file});
  if (Exists(path)) return true;
  snprintf(file, sizeof file, "%s.cnf", name);
  JoinPath(path, sizeof path, {g_main.messagePath, name, file});
  return Exists(path);
}

void ScanServiceDirs() {
  if (g_haveQuorl != kNotScanned || !g_main.messagePath[0]) return;
  g_haveQuorl = g_haveDvn = g_haveNet = g_haveLocal = 0;
  // Listed by full path, so the current directory stays where it was.
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, sizeof pattern, {g_main.messagePath, "*."})) return;
  char normalised[MAX_PATH];
  NormalisePath(pattern, normalised, sizeof normalised);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(normalised, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const char* name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name[0] == '.' || name[0] == '%') continue;
    if (!IsServiceDir(name)) continue;
    if (lstrcmpiA(name, "dvn") == 0) g_haveDvn = 1;
    if (lstrcmpiA(name, "quorl") == 0) g_haveQuorl = 1;
    if (lstrcmpiA(name, "net") == 0) g_haveNet = 1;
    if (lstrcmpiA(name, "local") == 0) g_haveLocal = 1;
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool HaveQuorl() { return Have(g_haveQuorl); }
bool HaveDvn() { return Have(g_haveDvn); }
bool HaveNet() { return Have(g_haveNet); }
bool HaveLocal() { return Have(g_haveLocal); }

void ForgetServiceDirScan() { g_haveQuorl = g_haveDvn = g_haveNet = g_haveLocal = kNotScanned; }

bool CopyFileChunked(const char* source, const char* target) {
  BeginWait();
  FILE* in = fopen_rexcl(source, FO_BINARY);
  if (!in) {
    EndWait();
    WarnBoxF(loadstr(IDS_CANT_FIND), source);
    return false;
  }
  FILE* out = fopen_w(target, FO_BINARY);
  if (!out) {
    fileclose(in);
    EndWait();
    WarnBoxF(loadstr(IDS_CANT_CREATE_FILE), target);
    return false;
  }
  static char buffer[4096];
  bool ok = true;
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, in);
    if (n == 0) break;
    if (g_serviceDirsHooks.copyFileWrite(buffer, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  // A read error is not the end of the file: the copy would be short.
  if (std::ferror(in)) ok = false;
  if (std::fflush(out) != 0) ok = false;
  fileclose(in);
  fileclose(out);
  if (!ok) {
    // A partial copy must not pass for the file.
    EraseFile(target);
    EndWait();
    WarnBoxF(loadstr(IDS_UNABLE_TO_WRITE), target);
    return false;
  }
  EndWait();
  return true;
}
