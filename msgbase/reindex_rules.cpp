#include "msgbase/reindex_rules.h"

#include <cstdio>
#include <cstring>

#include "core/text1252.h"

LogKind LogKindOfExtension(const char* fileName) {
  const char* slash = std::strrchr(fileName, '\\');
  const char* base = slash ? slash + 1 : fileName;
  const char* dot = std::strrchr(base, '.');
  if (!dot) return kPlainLog;
  const char* ext = dot + 1;
  if (SameText1252(ext, "R")) return kPlainLog;
  if (SameText1252(ext, "C") || SameText1252(ext, "RC")) return kScrambledLog;
  return kNotALog;
}

LogKind LogKindOf(const char* relativeDir, const char* fileName) {
  if (!relativeDir || !fileName || !relativeDir[0] || !fileName[0]) return kNotALog;
  if (relativeDir[0] == '%' || std::strstr(relativeDir, "\\%") || std::strchr(relativeDir, '.')) return kNotALog;
  int slashes = 0;
  for (const char* p = relativeDir + 1; *p; ++p) slashes += *p == '\\';
  if (slashes != 1 || relativeDir[std::strlen(relativeDir) - 1] == '\\') return kNotALog;
  return LogKindOfExtension(fileName);
}

std::string FolderNameOfEntry(const char* entry) {
  std::string name = entry ? entry : "";
  // The log's extension says only how it is stored.
  size_t dot = name.find_last_of('.');
  size_t slash = name.find_last_of("\\/");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
  bool first = true;
  for (char& c : name) {
    if (c == '\\' || c == '/') {
      c = first ? ':' : '/';
      first = false;
    }
    c = static_cast<char>(ToLower1252(static_cast<unsigned char>(c)));
  }
  return name;
}

bool IsSafeBaseName(const char* baseName) {
  if (!baseName || !baseName[0]) return false;
  if (baseName[0] == '\\' || baseName[0] == '/' || std::strchr(baseName, ':')) return false;
  const char* part = baseName;
  for (;;) {
    size_t length = std::strcspn(part, "\\/");
    if (length == 0) return false;
    // Dots alone name this or a parent directory (the system ignores extra ones).
    bool dotsOnly = true;
    for (size_t i = 0; i < length; ++i) dotsOnly = dotsOnly && (part[i] == '.' || part[i] == ' ');
    if (dotsOnly) return false;
    if (!part[length]) return true;
    part += length + 1;
  }
}

std::string CheckIndexRecords(const MsgIndexRec* records, size_t count, long folderFirst, long folderLast) {
  char line[160];
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && records[i].number <= records[i - 1].number) {
      std::snprintf(line, sizeof line, "Index error: message %ld is earlier than message %ld in the file\r\n",
                    static_cast<long>(records[i].number), static_cast<long>(records[i - 1].number));
      return line;
    }
    if (records[i].commentTo >= records[i].number) {
      std::snprintf(line, sizeof line, "Index error: message %ld claims to be a comment to message %ld\r\n",
                    static_cast<long>(records[i].number), static_cast<long>(records[i].commentTo));
      return line;
    }
  }
  if (count == 0) return "";
  if (folderFirst != records[0].number) {
    std::snprintf(line, sizeof line, "Index error 2: %ld %ld\r\n", folderFirst, static_cast<long>(records[0].number));
    return line;
  }
  if (folderLast != records[count - 1].number) {
    std::snprintf(line, sizeof line, "Index error 3: %ld %ld\r\n", folderLast,
                  static_cast<long>(records[count - 1].number));
    return line;
  }
  return "";
}
