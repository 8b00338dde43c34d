#include "msgbase/conf_files.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>

#include "core/fileio.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"

void TempPathBeside(const char* path, char* out, size_t size) {
  if (size == 0) return;
  const char* slash = std::strrchr(path, '\\');
  const char* dot = std::strrchr(path, '.');
  size_t stem = dot && (!slash || dot > slash) ? static_cast<size_t>(dot - path) : std::strlen(path);
  // A cut name would be the temporary file of some other list.
  if (stem + 5 > size) {
    out[0] = 0;
    return;
  }
  std::memmove(out, path, stem);
  std::memcpy(out + stem, ".new", 5);
}

bool MoveOver(const char* from, const char* to) {
  char source[MAX_PATH], target[MAX_PATH];
  NormalisePath(from, source, sizeof source);
  NormalisePath(to, target, sizeof target);
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) break;
    Sleep(100);
  }
  return false;
}

FILE* CreateTempBeside(const char* temp) {
  // Private to this write: one attempt, no retries for a name in use.
  char expanded[MAX_PATH];
  NormalisePath(temp, expanded, sizeof expanded);
  int fd = _sopen(expanded, _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FILE* file = _fdopen(fd, "w+b");
  if (!file) _close(fd);
  return file;
}

bool CloseTemp(FILE* file) {
  bool ok = std::ferror(file) == 0;
  return std::fclose(file) == 0 && ok;
}

namespace {
bool WriteTemp(const char* temp, VirtualArray& list, uint32_t header) {
  FILE* file = CreateTempBeside(temp);
  if (!file) return false;
  bool ok = WriteConfList(file, list, header);
  ok = CloseTemp(file) && ok;
  if (!ok) EraseFileOnce(temp);
  return ok;
}
}  // namespace

bool ReplaceConfList(const char* path, VirtualArray& list, uint32_t header) {
  char temp[MAX_PATH];
  TempPathBeside(path, temp, sizeof temp);
  if (!WriteTemp(temp, list, header)) return false;
  if (MoveOver(temp, path)) return true;
  EraseFileOnce(temp);
  return false;
}

bool RewriteHeldConfList(FILE* held, const char* path, VirtualArray& list, uint32_t header) {
  char temp[MAX_PATH];
  TempPathBeside(path, temp, sizeof temp);
  if (!WriteTemp(temp, list, header)) return false;
  // Room first: once the file has its new length, overwriting cannot run out
  // of disk. The old tail past the new end stays; the count bounds the records.
  const long long needed = 10 + static_cast<long long>(list.Count()) * sizeof(ConfRec);
  int fd = _fileno(held);
  std::fflush(held);
  long long length = _filelengthi64(fd);
  if (length < 0 || (needed > length && _chsize_s(fd, needed) != 0)) {
    EraseFileOnce(temp);
    return false;
  }
  std::rewind(held);
  bool ok = WriteConfList(held, list, header) && std::ferror(held) == 0;
  // A failed overwrite leaves the complete list in the temporary file.
  if (ok) EraseFileOnce(temp);
  return ok;
}
