#include "browser/drop_import.h"

#include <cstring>
#include <string>

#include "core/folder_names.h"
#include "core/service_keys.h"

namespace {

bool Put(FILE* out, const std::string& text) { return std::fwrite(text.data(), 1, text.size(), out) == text.size(); }

bool PutHeader(FILE* out, const char* path, bool importedFrom) {
  return !importedFrom || Put(out, std::string("Imported-from: FILE://") + path + "\r\n\r\n");
}

}  // namespace

bool DropWritesImportedFrom(const char* target) {
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, target);
  const bool mail = ismailfolder(target);
  const bool local = !key[0] || sameservice(target, "local");
  const bool kept = isnewsfolder(target) || sameservice(target, "dvn") || mail;
  return kept && (!local || mail);
}

const char* DroppedFileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}

bool IsDroppedTextFile(const char* path) {
  const size_t n = std::strlen(path);
  if (n < 4) return false;
  const char* ext = path + n - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 't' && (ext[2] | 0x20) == 'x' && (ext[3] | 0x20) == 't';
}

bool WriteDroppedText(FILE* out, FILE* in, const char* folder, const char* path, bool importedFrom) {
  bool ok = Put(out, std::string("!start ") + folder + " File\r\n") && PutHeader(out, path, importedFrom);
  // A long line is read in pieces but written whole: the body keeps its lines.
  char piece[4096];
  std::string line;
  bool pending = false;
  while (ok && std::fgets(piece, sizeof piece, in)) {
    size_t n = std::strlen(piece);
    const bool ended = n > 0 && piece[n - 1] == '\n';
    while (n > 0 && (piece[n - 1] == '\n' || piece[n - 1] == '\r')) --n;
    line.assign(piece, n);
    ok = Put(out, line);
    pending = !ended;
    if (ended) ok = ok && Put(out, "\r\n");
  }
  if (pending) ok = ok && Put(out, "\r\n");
  return ok && Put(out, "\r\n!end\r\n") && std::fflush(out) == 0;
}

bool WriteDroppedFileHead(FILE* out, const char* folder, const char* path, bool importedFrom) {
  const char* name = DroppedFileName(path);
  return Put(out, std::string("!start ") + folder + " " + name + "\r\n") && PutHeader(out, path, importedFrom) &&
         Put(out, std::string(name) + "\r\n");
}
