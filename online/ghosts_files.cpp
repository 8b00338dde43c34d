// The ghosts' file access: the modification time and the entries of a file.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "online/ghosts.h"

time_t GhostFileTime(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return -1;
  return info.st_mtime;
}

namespace {

// One line with its line end (NUL bytes kept); false at the end of the file.
bool ReadLine(FILE* file, std::string* line) {
  line->clear();
  int c;
  while ((c = getc(file)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line->empty();
}

// Whether the line's field name (up to its first colon) is the given one, any case.
bool FieldIs(const std::string& line, const char* name) {
  size_t length = strlen(name);
  if (line.find(':') != length - 1) return false;
  for (size_t i = 0; i < length; i++)
    if (tolower(static_cast<unsigned char>(line[i])) != tolower(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

bool IsEntryHeader(const std::string& line) {
  return line.compare(0, 8, ";-; id:\t") == 0 || line.compare(0, 8, ";#; id:\t") == 0;
}

// The byte count of a message block's "Body:" line (any case, blanks after
// the colon); false for any other line.
bool BodyCount(const std::string& line, unsigned long* count) {
  if (!FieldIs(line, "Body:")) return false;
  size_t colon = 4;
  size_t at = line.find_first_not_of(' ', colon + 1);
  unsigned long value = 0;
  for (; at != std::string::npos && at < line.size() && isdigit(static_cast<unsigned char>(line[at])); at++) {
    value = value * 10 + static_cast<unsigned long>(line[at] - '0');
    if (value > 0xffffffffUL / 10) break;
  }
  *count = value & 0xffffffffUL;
  return true;
}

}  // namespace

// The entries of an action file with the bodies of its messages passed over
// (their count lines then read 0): a ghost needs only the message block's
// lines, and an outbasket of messages runs to megabytes that the frame's
// timer may ask for every second.
bool GhostReadFile(const char* path, std::vector<char>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  bytes->clear();
  long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  bool ok = size >= 0 && fseek(file, 0, SEEK_SET) == 0;
  std::string line;
  bool inMessage = false;
  while (ok && ReadLine(file, &line)) {
    if (IsEntryHeader(line)) {
      inMessage = line.find("type:\tedit") != std::string::npos;
    } else if (inMessage && FieldIs(line, "MessageEnd:")) {
      inMessage = false;
    } else if (unsigned long count; inMessage && BodyCount(line, &count)) {
      inMessage = false;
      long at = ftell(file);
      // A count past the end is read as the reader reads it: not passed over.
      if (at >= 0 && count <= static_cast<unsigned long>(size - at) &&
          fseek(file, static_cast<long>(count), SEEK_CUR) == 0) {
        static const char kNoBody[] = "Body: 0\r\n";
        bytes->insert(bytes->end(), kNoBody, kNoBody + sizeof kNoBody - 1);
        continue;
      }
    }
    bytes->insert(bytes->end(), line.begin(), line.end());
  }
  ok = ok && !ferror(file);
  fclose(file);
  return ok;
}
