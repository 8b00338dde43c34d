#include "msgbase/import_queue.h"

#include <windows.h>
#include <direct.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "core/user_settings.h"

VirtualArray ImportQueue("Import queue", sizeof(ImportQueueEntry));

namespace {

FILE* g_queueFile = nullptr;  // set while this instance holds import.dat

void QueuePath(char* out, size_t size) { JoinPath(out, size, {g_app.dataDir, "import.dat"}); }

const char* DamageText(ImportQueueReadResult result) {
  switch (result) {
    case IMPORTQ_BAD_HEADER: return "it is not an import queue";
    case IMPORTQ_TRUNCATED: return "it ends inside an entry";
    case IMPORTQ_BAD_ENTRY: return "an entry is damaged";
    default: return "out of memory";
  }
}

// Copies the damaged queue's bytes to import.bad (import1.bad, ... when that
// exists), then writes the readable entries over the held file. False when
// the copy could not be made: the damaged file then stays as it was.
bool RepairQueue(FILE* held, const char* path, ImportQueueReadResult damage) {
  std::vector<char> bytes;
  bool read = std::fseek(held, 0, SEEK_END) == 0;
  long size = read ? std::ftell(held) : -1;
  read = size >= 0 && std::fseek(held, 0, SEEK_SET) == 0;
  if (read) {
    bytes.resize(static_cast<size_t>(size));
    read = std::fread(bytes.data(), 1, bytes.size(), held) == bytes.size();
  }
  char aside[MAX_PATH] = "";
  bool kept = false;
  for (int n = 0; read && !kept && n < 100; ++n) {
    char name[32];
    if (n == 0)
      std::snprintf(name, sizeof name, "import.bad");
    else
      std::snprintf(name, sizeof name, "import%d.bad", n);
    if (!JoinPath(aside, sizeof aside, {g_app.dataDir, name})) break;
    FILE* out = fileopen(aside, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, "wb", LOCK_EXCLUSIVE | LOCK_QUIET);
    if (!out) continue;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0;
    fileclose(out);
    if (written)
      kept = true;
    else
      remove(aside);
  }
  if (!kept) {
    WarnBoxF("The import queue '%s' can't be read: %s. It was left as it is.", path, DamageText(damage));
    return false;
  }
  if (!WriteImportQueue(held, ImportQueue)) {
    WarnBoxF("Can't write '%s'", path);
    return false;
  }
  WarnBoxF(
      "The import queue '%s' was damaged: %s. It was kept as '%s', and the queue was made again from the "
      "%d entries that could be read.",
      path, DamageText(damage), aside, ImportQueue.Count());
  return true;
}

int FindEntry(const char* path) {
  for (int i = 0; i < ImportQueue.Count(); ++i) {
    auto* e = static_cast<const ImportQueueEntry*>(ImportQueue.At(i));
    if (e && SameText1252(e->path, path)) return i;
  }
  return -1;
}

// Makes the import program's window the active one and asks it to come forward.
void WakeImportProgram() {
  HWND window = FindWindowA("MsgImport", nullptr);
  if (!window) return;
  SetActiveWindow(window);
  SetForegroundWindow(window);
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  PostMessageA(window, WM_COMMAND, IDM_IMPORT_FOREGROUND, 0);
}

}  // namespace

bool LockImportQueue(bool lock) {
  if (g_queueFile) {
    fileclose(g_queueFile);
    g_queueFile = nullptr;
    if (lock) {
      msgwarn("Error: attempting to lock twice");
      return false;
    }
  }
  ImportQueue.SetSize(0);

  char path[MAX_PATH + 16];
  QueuePath(path, sizeof path);
  bool existed = filetime(path) != -1;
  // Taking the lock creates a missing queue, so that the lock holds from the
  // start and a writer that comes meanwhile waits instead of being overwritten.
  FILE* f = lock ? fileopen(path, _O_RDWR | _O_CREAT | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET)
                 : fileopen(path, _O_RDONLY | _O_BINARY, "rb", LOCK_QUIET);
  if (!f) {
    if (!existed && !lock) return true;
    WarnBoxF("Can't open '%s'", path);
    return false;
  }
  std::fseek(f, 0, SEEK_END);
  bool fresh = std::ftell(f) == 0;  // just created: an empty queue
  ImportQueueReadResult result = fresh ? IMPORTQ_OK : ReadImportQueue(f, ImportQueue);
  if (result != IMPORTQ_OK && result != IMPORTQ_NO_MEMORY) {
    int skipped = 0;
    SalvageImportQueue(f, ImportQueue, &skipped);
    // Unlocked readers take what can be read; the holder of the lock keeps
    // the damaged bytes aside and writes the queue anew, so that later
    // additions are not refused forever.
    if (lock && !RepairQueue(f, path, result)) {
      fileclose(f);
      ImportQueue.SetSize(0);
      return false;
    }
    result = IMPORTQ_OK;
  }
  if (result != IMPORTQ_OK) {
    fileclose(f);
    WarnBoxF("The import queue '%s' can't be read: %s. It was left as it is.", path, DamageText(result));
    return false;
  }
  if (lock)
    g_queueFile = f;
  else
    fileclose(f);
  return true;
}

bool SaveImportQueue() {
  char path[MAX_PATH + 16];
  QueuePath(path, sizeof path);
  FILE* f = g_queueFile;
  g_queueFile = nullptr;
  if (!f) {
    f = fileopen(path, _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, "w+b", LOCK_EXCLUSIVE | LOCK_QUIET);
    if (!f) {
      WarnBoxF("Can't open '%s'", path);
      return false;
    }
  }
  bool written = WriteImportQueue(f, ImportQueue);
  fileclose(f);
  if (!written) WarnBoxF("Can't write '%s'", path);
  return written;
}

bool QueueImport(const char* service, const char* path, const char* kind, uint32_t flags) {
  if (!LockImportQueue(true)) return false;

  // A path that doesn't fit the entry is refused rather than cut short.
  char full[MAX_PATH];
  if (path[0] == '~' && std::strlen(path) < sizeof full) {
    StrCopyN(full, path, sizeof full - 1);
  } else if (path[0] == '~' || !_fullpath(full, path, sizeof full)) {
    SaveImportQueue();
    return false;
  }
  if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
    SaveImportQueue();
    return false;
  }
  char current[MAX_PATH] = "";
  if (_getcwd(current, sizeof current) && full[1] == ':' && current[1] == ':' && full[0] == current[0])
    std::memmove(full, full + 2, std::strlen(full + 2) + 1);

  bool added = false;
  if (FindEntry(full) < 0) {
    ImportQueueEntry entry = {};
    StrCopyN(entry.path, full, sizeof entry.path - 1);
    StrCopyN(entry.service, service ? service : "", sizeof entry.service - 1);
    StrLower1252(entry.service);
    StrCopyN(entry.kind, kind && kind[0] ? kind : "messages", sizeof entry.kind - 1);
    entry.flags = flags;
    added = ImportQueue.Append(&entry) != 0;
  }
  bool saved = SaveImportQueue();
  ImportQueue.SetSize(0);
  if (g_user.importToForeground) WakeImportProgram();
  return added && saved;
}

bool UnqueueImport(const char* path) {
  if (!LockImportQueue(true)) return false;
  int index = FindEntry(path);
  if (index >= 0) ImportQueue.RemoveAt(index);
  bool saved = SaveImportQueue();
  ImportQueue.SetSize(0);
  return index >= 0 && saved;
}

bool ImportQueueEmpty() {
  char path[MAX_PATH + 16];
  QueuePath(path, sizeof path);
  FILE* f = fileopen(path, _O_RDONLY | _O_BINARY, "rb", LOCK_QUIET);
  if (!f) return true;
  unsigned char header[IMPORT_QUEUE_HEADER_BYTES];
  bool empty = true;
  if (std::fread(header, 1, sizeof header, f) == sizeof header &&
      ImportQueueHeaderVersion(header, sizeof header) != IMPORTQ_UNKNOWN) {
    ImportQueueEntry first = {};
    if (std::fread(&first, 1, sizeof first, f) != sizeof first) first.path[0] = 0;
    empty = first.path[0] == 0;
  }
  fileclose(f);
  return empty;
}

void ClearImportQueue() { ImportQueue.SetSize(0); }
