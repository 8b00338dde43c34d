// Read bits, read mark, unread count, thread roots, own messages and the
// folder order file.
#include "msgbase/read_state.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/folder_names.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"

namespace {

bool CountsAsUnread(uint16_t flags) { return (flags & kReadMask) == 0 || (flags & kMsgUnreadLock) != 0; }

MsgIndexRec* Slot(VirtualArray& logCva, int i) { return static_cast<MsgIndexRec*>(logCva.At(i)); }

// "log cva" is in number order; a copy of the record so that no pointer into
// the array outlives the next access.
bool FindMessage(VirtualArray& logCva, long number, MsgIndexRec* out) {
  int low = 0, high = logCva.Count() - 1;
  while (low <= high) {
    int mid = low + (high - low) / 2;
    MsgIndexRec* r = Slot(logCva, mid);
    if (!r) return false;
    if (r->number == number) {
      *out = *r;
      return true;
    }
    if (r->number < number)
      low = mid + 1;
    else
      high = mid - 1;
  }
  return false;
}

// The parent the walk may move to: present in the folder and not a stand-by.
bool Parent(VirtualArray& logCva, const MsgIndexRec& child, MsgIndexRec* parent) {
  return child.commentTo >= 1 && FindMessage(logCva, child.commentTo, parent) && !(parent->flags & kMsgMissing);
}

constexpr size_t kOrderLineSize = 4096;

// Splits the order file into lines of at most 4095 characters; the rest of a
// longer line is dropped rather than read as a pattern of its own.
class LineReader {
 public:
  explicit LineReader(const LogSource& source) : source_(source) {}

  bool Next(char* line) {
    size_t n = 0;
    bool any = false;
    for (;;) {
      int c = Get();
      if (c < 0) break;
      any = true;
      if (c == '\n') break;
      if (n < kOrderLineSize - 1) line[n++] = static_cast<char>(c);
    }
    line[n] = 0;
    return any;
  }

 private:
  int Get() {
    if (pos_ == length_) {
      if (end_ || !source_.read) return -1;
      long got = source_.read(source_.context, block_, sizeof block_);
      if (got <= 0 || got > static_cast<long>(sizeof block_)) {
        end_ = true;
        return -1;
      }
      length_ = static_cast<size_t>(got);
      pos_ = 0;
    }
    return static_cast<unsigned char>(block_[pos_++]);
  }

  LogSource source_;
  char block_[4096];
  size_t length_ = 0;
  size_t pos_ = 0;
  bool end_ = false;
};

// A pattern line as the names are compared: no line end, no leading blanks,
// blanks as "_", lower case.
void PreparePattern(char* line) {
  size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) line[--n] = 0;
  size_t start = std::strspn(line, " \t");
  std::memmove(line, line + start, n - start + 1);
  for (char* p = line; *p; ++p)
    if (*p == ' ') *p = '_';
  StrLower1252(line);
}

}  // namespace

bool g_recomputeReadMark = false;

void MarkReadUpTo(VirtualArray& logCva, long readMark) {
  // A chunk at a time: its records lie side by side, so one lookup serves
  // them all.
  const int count = logCva.Count(), perChunk = logCva.PerChunk();
  const size_t step = static_cast<size_t>(logCva.ElementSize());
  for (int start = 0; start < count; start += perChunk) {
    auto* run = static_cast<unsigned char*>(logCva.At(start));
    if (!run) return;
    const int n = count - start < perChunk ? count - start : perChunk;
    for (int j = 0; j < n; ++j) {
      MsgIndexRec& r = *reinterpret_cast<MsgIndexRec*>(run + static_cast<size_t>(j) * step);
      if (r.number <= readMark)
        r.flags |= kMsgRead;
      else
        r.flags &= static_cast<uint16_t>(~kMsgRead);
    }
  }
}

long ReadMarkFromReadBits(VirtualArray& logCva, long first, long last) {
  long previousNumber = 0;
  for (int i = 0; i < logCva.Count(); ++i) {
    MsgIndexRec* r = Slot(logCva, i);
    if (!r) break;
    if ((r->flags & kReadMask) == 0) return i == 0 ? first - 1 : previousNumber;
    previousNumber = r->number;
  }
  return last;
}

long countunread(VirtualArray& logCva, const UnreadCountOptions& options, long* readMark) {
  if (options.folderName && std::strchr(options.folderName, '\xff')) return 0;
  const bool recompute = options.recomputeReadMark && readMark;
  if (recompute) *readMark = 0;
  // The first unread message settles the read mark, even when it is the
  // first message and the mark stays 0.
  bool settled = false;
  long count = 0;
  long previousNumber = 0;
  for (int i = 0; i < logCva.Count(); ++i) {
    MsgIndexRec* r = Slot(logCva, i);
    if (!r) break;
    const long number = r->number;
    const bool unread =
        CountsAsUnread(r->flags) && !(options.isIgnored && options.isIgnored(options.ignoredContext, number));
    if (unread) {
      ++count;
      if (recompute && !settled && i > 0) *readMark = previousNumber;
      settled = true;
    }
    previousNumber = number;
  }
  if (recompute && !settled) *readMark = options.last;
  return count;
}

int MarkAllRead(VirtualArray* logCva, const MarkAllReadRequest& request) {
  if (request.command != kMarkAllReadWithoutAsking) {
    char question[300];
    std::snprintf(question, sizeof question, "Mark all messages in %.200s as read?",
                  request.folderName ? request.folderName : "");
    if (!request.confirm || !request.confirm(request.confirmContext, question)) return 0;
  }
  if (logCva) {
    for (int i = 0; i < logCva->Count(); ++i) {
      MsgIndexRec* r = Slot(*logCva, i);
      if (!r) break;
      r->flags |= kMsgRead;
    }
  }
  return 1;
}

long ThreadRoot(VirtualArray& logCva, long number) {
  MsgIndexRec current;
  if (!FindMessage(logCva, number, &current) || (current.flags & kMsgMissing)) return number;
  // More steps than the folder has messages means the walk is going round a
  // loop, and the message reached is on it.
  const int bound = logCva.Count();
  MsgIndexRec parent;
  for (int steps = 0; Parent(logCva, current, &parent); ++steps) {
    if (steps >= bound) {
      long lowest = current.number;
      MsgIndexRec at = current;
      for (int k = 0; k <= bound && Parent(logCva, at, &at) && at.number != current.number; ++k)
        if (at.number < lowest) lowest = at.number;
      return lowest;
    }
    current = parent;
  }
  return current.number;
}

int IsOwnMessage(const OwnMessageQuery& q) {
  if (!q.found) return 0;
  const char* author = q.author ? q.author : "";
  if (q.dravenet) {
    if (std::strcmp(author, "You") == 0) return 1;
    return author[0] && q.serviceUserName && std::strcmp(author, q.serviceUserName) == 0 ? 1 : 0;
  }
  if (author[0] == '!') return 1;
  // An unset address would be found in every "From" field.
  if (!q.ownAddress || !q.ownAddress[0] || !q.from) return 0;
  return stristr(q.from, q.ownAddress) ? 1 : 0;
}

void MakeOwnAddress(const char* folderName, const char* settingsName, const char* settingsAddress,
                    const OwnAddressDomains& domains, char* out, size_t size) {
  if (!out || size == 0) return;
  const char* domain = nullptr;
  if (sameservice(folderName, "quorl"))
    domain = domains.quorl;
  else if (sameservice(folderName, "bix"))
    domain = domains.bix;
  if (domain)
    std::snprintf(out, size, "%s@%s", settingsName ? settingsName : "", domain ? domain : "");
  else
    std::snprintf(out, size, "%s", settingsAddress ? settingsAddress : "");
  // A name without a domain is no address.
  if (domain && (!settingsName || !settingsName[0] || !domain[0])) out[0] = 0;
}

bool FolderOrderPath(const char* userPath, char* out, size_t size) {
  if (!userPath || !out || size == 0) return false;
  if (!*fileext(userPath)) return false;
  if (std::strlen(userPath) + 4 >= size) return false;
  std::snprintf(out, size, "%s", userPath);
  setext(out, ".odr", size);
  return true;
}

void LoadFolderOrder(const LogSource& odr, VirtualArray& conferences) {
  const int count = conferences.Count();
  if (count <= 0) return;
  auto record = [&](int i) { return static_cast<ConfRec*>(conferences.At(i)); };
  for (int i = 0; i < count; ++i)
    if (ConfRec* r = record(i)) r->order = 0;
  int32_t counter = 1;
  LineReader lines(odr);
  std::string line(kOrderLineSize, '\0');
  char name[sizeof(ConfRec::name) + 1];
  while (lines.Next(&line[0])) {
    PreparePattern(&line[0]);
    if (!line[0]) continue;
    for (int i = 0; i < count; ++i) {
      ConfRec* r = record(i);
      if (!r || r->order != 0) continue;
      size_t n = strnlen(r->name, sizeof r->name);
      std::memcpy(name, r->name, n);
      name[n] = 0;
      if (isnewsfolder(name) && !ismailfolder(name)) {
        if (char* slash = std::strchr(name, '/')) *slash = '.';
      }
      StrLower1252(name);
      if (WildMatch(name, line.c_str())) r->order = counter++;
    }
  }
  for (int i = 0; i < count; ++i) {
    ConfRec* r = record(i);
    if (r && r->order == 0) r->order = counter++;
  }
}
