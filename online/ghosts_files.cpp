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

// Lines of a file read in blocks, with bytes passed over without reading
// them when they lie beyond the block.
class BlockReader {
 public:
  explicit BlockReader(FILE* file) : file_(file) {}
  // One line with its line end (NUL bytes kept); false at the end.
  bool line(std::string* out) {
    out->clear();
    for (;;) {
      if (at_ == held_ && !fill()) return !out->empty();
      const char* start = block_ + at_;
      const void* end = memchr(start, '\n', held_ - at_);
      size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - start) + 1 : held_ - at_;
      out->append(start, length);
      at_ += length;
      position_ += static_cast<long>(length);
      if (end) return true;
    }
  }
  long position() const { return position_; }
  bool skip(unsigned long count) {
    if (count <= held_ - at_) {
      at_ += count;
    } else {
      if (fseek(file_, position_ + static_cast<long>(count), SEEK_SET) != 0) return false;
      at_ = held_ = 0;
    }
    position_ += static_cast<long>(count);
    return true;
  }

 private:
  bool fill() {
    held_ = fread(block_, 1, sizeof block_, file_);
    at_ = 0;
    return held_ > 0;
  }
  FILE* file_;
  char block_[4096];  // small: after a body passed over, a block is read again
  size_t held_ = 0, at_ = 0;
  long position_ = 0;
};

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

// A live script entry that may queue a withdrawal; the parser decides.
bool MayBeWithdrawal(const std::string& header) {
  return header.find("script:\tWithdraw Message") != std::string::npos ||
         header.find("script:\tCancel Message") != std::string::npos;
}

}  // namespace

// The entries of an action file that can be ghosts (live messages and
// withdrawals), with the bodies of the messages passed over (their count
// lines then read 0): a ghost needs only the message block's lines, and an
// outbasket of messages runs to megabytes that the frame's timer may ask for
// every second. An entry ends at the next header, so leaving out the others
// whole changes no ghost.
bool GhostReadFile(const char* path, std::vector<char>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  setvbuf(file, nullptr, _IONBF, 0);  // the reader keeps its own block
  bytes->clear();
  long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  bool ok = size >= 0 && fseek(file, 0, SEEK_SET) == 0;
  std::string line;
  bool inMessage = false, keep = false;
  BlockReader reader(file);
  while (ok && reader.line(&line)) {
    if (IsEntryHeader(line)) {
      // A held message is still followed, so its counted body is passed over.
      inMessage = line.find("type:\tedit") != std::string::npos;
      keep = line[1] == '-' && (inMessage || MayBeWithdrawal(line));
    } else if (inMessage && FieldIs(line, "MessageEnd:")) {
      inMessage = false;
    } else if (unsigned long count; inMessage && BodyCount(line, &count)) {
      inMessage = false;
      // A count past the end is read as the reader reads it: not passed over.
      if (count <= static_cast<unsigned long>(size - reader.position())) {
        ok = reader.skip(count);
        static const char kNoBody[] = "Body: 0\r\n";
        if (keep) bytes->insert(bytes->end(), kNoBody, kNoBody + sizeof kNoBody - 1);
        continue;
      }
    }
    if (keep) bytes->insert(bytes->end(), line.begin(), line.end());
  }
  ok = ok && !ferror(file);
  fclose(file);
  return ok;
}
