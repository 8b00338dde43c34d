#include "msgbase/msgid_list.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text1252.h"
#include "msgbase/scan_text.h"

namespace {

// The 1252 upper-case map as a table: the sort compares keys millions of times.
struct UpperMap {
  unsigned char c[256];
  UpperMap() {
    for (int i = 0; i < 256; ++i) c[i] = ToUpper1252(static_cast<unsigned char>(i));
  }
};
const UpperMap kUpper;

// Additions are appended and settled in one sort when the list is next read
// or written, so a rebuild of n messages costs n log n, not n squared. Of a
// run of equal keys the entry with the highest number stays.
void Settle(VirtualArray& array, void (*pump)()) {
  array.Sort(CompareMsgIdKeys);
  int n = array.Count();
  if (n < 2) return;
  MsgIdEntry best, current;
  int kept = 0;
  bool haveBest = false;
  auto keep = [&]() {
    void* slot = array.At(kept);
    if (!slot) return false;
    std::memcpy(slot, &best, sizeof best);
    ++kept;
    return true;
  };
  for (int i = 0; i < n; ++i) {
    const void* e = array.At(i);
    if (!e) return;
    std::memcpy(&current, e, sizeof current);
    if (haveBest && CompareMsgIdKeys(&best, &current) == 0) {
      if (current.number > best.number) best = current;
      continue;
    }
    if (haveBest && !keep()) return;
    best = current;
    haveBest = true;
    if (pump && i % 1000 == 999) pump();
  }
  if (haveBest && !keep()) return;
  array.SetSize(kept);
}

void Append(MessageIdList& list, VirtualArray* array, const char* key, long number, long date) {
  if (!array) return;
  MsgIdEntry e = {};
  StrCopyN(e.key, key, sizeof e.key - 1);
  e.number = static_cast<int32_t>(number);
  e.date = static_cast<int32_t>(date);
  array->Append(&e);
  list.settled = false;
}

// Keys are cut to what an element holds.
constexpr size_t kMaxKeyLength = sizeof(MsgIdEntry::key) - 1;

void Add(MessageIdList& list, MsgIdAdditions& added, const char* key, long number, long date) {
  size_t n = 0;
  while (n < kMaxKeyLength && key[n]) ++n;
  list.settled = false;
  // A key the same as the one just added (a reply after the message it
  // answers): one entry holds both, the higher number and its date, as the
  // settled list would keep.
  if (added.count) {
    const char* lastKey = added.Key(added.last);
    size_t same = 0;
    while (same < n && lastKey[same] == key[same]) ++same;
    if (same == n && lastKey[n] == 0) {
      if (number > added.Number(added.last))
        added.SetNumberAndDate(added.last, static_cast<int32_t>(number), static_cast<int32_t>(date));
      return;
    }
  }
  added.Store(key, n, static_cast<int32_t>(number), static_cast<int32_t>(date));
}

void MoveIntoArray(MessageIdList& list, MsgIdAdditions& added, VirtualArray* array) {
  if (array) added.ForEach([&](uint32_t at) { Append(list, array, added.Key(at), added.Number(at), added.Date(at)); });
  added.Clear();
}

void SettleBoth(MessageIdList& list) {
  if (list.settled) return;
  MoveIntoArray(list, list.addedIds, list.msgid);
  MoveIntoArray(list, list.addedSubjects, list.subject);
  if (list.msgid) Settle(*list.msgid, list.pump);
  if (list.subject) Settle(*list.subject, list.pump);
  list.settled = true;
}

// What the sort of the additions works in, kept from one list to the next;
// packed, as every byte of it is memory touched afresh.
#pragma pack(push, 4)
struct SortItem {
  uint64_t head;  // eight upper-cased bytes after the beginning all keys share, first highest
  uint32_t at;    // the entry
};
#pragma pack(pop)
static_assert(sizeof(SortItem) == 12);
struct SortBuffers {
  std::unique_ptr<SortItem[]> items, scratch;
  size_t capacity = 0;
  // Room for n items in both, left as it is: every item is written before
  // it is read, and clearing would touch each page once more.
  void Reserve(size_t n) {
    if (n <= capacity) return;
    items.reset(new SortItem[n]);
    scratch.reset(new SortItem[n]);
    capacity = n;
  }
};

// Sorts the first n items by their heads, keeping the order of equal
// heads: a byte a pass, skipping the bytes every head shares.
void RadixSortByHead(SortBuffers& buffers, size_t n) {
  for (int shift = 0; shift < 64; shift += 8) {
    const SortItem* const from = buffers.items.get();
    SortItem* const to = buffers.scratch.get();
    size_t counts[256] = {};
    for (size_t i = 0; i < n; ++i) ++counts[(from[i].head >> shift) & 0xFF];
    if (counts[(from[0].head >> shift) & 0xFF] == n) continue;
    size_t at = 0;
    for (size_t& c : counts) {
      const size_t k = c;
      c = at;
      at += k;
    }
    for (size_t i = 0; i < n; ++i) to[counts[(from[i].head >> shift) & 0xFF]++] = from[i];
    std::swap(buffers.items, buffers.scratch);
  }
}

inline bool HasZeroByte(uint64_t w) { return ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0; }

// Calls write(at) for the added entries in the arrays' order, one per key:
// of equal keys the first added with the highest number, as adding them one
// by one to a settled list would keep.
template <typename Write>
void ForEachSettled(const MsgIdAdditions& added, SortBuffers& buffers, Write write) {
  const size_t count = added.count;
  if (count == 0) return;
  auto bytes = [&](uint32_t at) { return reinterpret_cast<const unsigned char*>(added.Key(at)); };
  // Keys often share a long beginning (a site's Message-IDs, a series of
  // subjects): the heads start after what every key shares.
  const unsigned char* first = bytes(0);
  size_t common = 0;
  while (first[common]) ++common;
  added.ForEach([&](uint32_t at) {
    const unsigned char* key = bytes(at);
    size_t i = 0;
    while (i < common && kUpper.c[key[i]] == kUpper.c[first[i]]) ++i;
    common = i;
  });
  buffers.Reserve(count);
  size_t filled = 0;
  added.ForEach([&](uint32_t at) {
    const unsigned char* key = bytes(at) + common;
    uint64_t head = 0;
    for (int b = 0; b < 8; ++b) {
      const unsigned char c = kUpper.c[*key];
      head = head << 8 | c;
      if (c) ++key;
    }
    buffers.items[filled++] = {head, at};
  });
  // Beyond equal heads that do not end their keys.
  auto compareTails = [&](const SortItem& a, const SortItem& b) {
    for (const unsigned char *x = bytes(a.at) + common + 8, *y = bytes(b.at) + common + 8;; ++x, ++y) {
      const unsigned char cx = kUpper.c[*x], cy = kUpper.c[*y];
      if (cx != cy) return cx < cy ? -1 : 1;
      if (!cx) return 0;
    }
  };
  auto sameKey = [&](const SortItem& a, const SortItem& b) {
    return a.head == b.head && (HasZeroByte(a.head) || compareTails(a, b) == 0);
  };
  // Stable throughout, so equal keys stay in the order they were added.
  RadixSortByHead(buffers, count);
  SortItem* const items = buffers.items.get();
  for (size_t i = 0; i < count;) {
    size_t j = i + 1;
    while (j < count && items[j].head == items[i].head) ++j;
    if (j - i > 1 && !HasZeroByte(items[i].head))
      std::stable_sort(items + i, items + j,
                       [&](const SortItem& a, const SortItem& b) { return compareTails(a, b) < 0; });
    i = j;
  }
  for (size_t i = 0; i < count;) {
    uint32_t best = items[i].at;
    size_t j = i + 1;
    for (; j < count && sameKey(items[i], items[j]); ++j)
      if (added.Number(items[j].at) > added.Number(best)) best = items[j].at;
    write(best);
    i = j;
  }
}

// A whole line of any length; false at the end of the stream.
bool ReadWholeLine(FILE* stream, std::string& line) {
  line.clear();
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, stream)) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') return true;
  }
  return !line.empty();
}

// The short form of a Dravenet Message-ID: "<" the text after its first "_"
// up to the first at sign ">".
void DravenetShortForm(const char* id, const char* domain, char* out, size_t size) {
  // Copied and searched in one pass: every message of a rebuild comes here.
  const char* underscore = nullptr;
  size_t n = 0;
  for (; id[n] && n < size - 1; ++n) {
    out[n] = id[n];
    if (id[n] == '_' && !underscore) underscore = id + n;
  }
  out[n] = 0;
  if (!underscore && id[n]) underscore = std::strchr(id + n, '_');
  if (!domain || !domain[0]) return;
  if (!underscore || !stristr(id, domain)) return;
  const char* start = underscore + 1;
  const char* at = std::strchr(start, '@');
  n = at ? static_cast<size_t>(at - start) : std::strcspn(start, ">");
  if (n > size - 3) n = size - 3;
  out[0] = '<';
  std::memcpy(out + 1, start, n);
  out[n + 1] = '>';
  out[n + 2] = 0;
}

// "[subject]", cut to fit a key.
void SubjectKey(const char* subject, char* key, size_t size) {
  key[0] = '[';
  size_t n = 1;
  for (; *subject && n < size - 2; ++subject) key[n++] = *subject;
  key[n] = ']';
  key[n + 1] = 0;
}

// The file's lines gathered in one large buffer, so the stream sees a few
// large writes rather than one small one per entry.
class EntryWriter {
 public:
  explicit EntryWriter(FILE* stream) : stream_(stream) { buffer_.resize(kSize); }
  // Adds "key number" or "key number,date" and a LF.
  void Entry(const char* key, int32_t number, int32_t date, bool withDate) {
    if (used_ + kLongestLine > kSize) Flush();
    char* line = buffer_.data() + used_;
    size_t n = 0;
    while (n < kMaxKeyLength && key[n]) {
      line[n] = key[n];
      ++n;
    }
    line[n++] = ' ';
    n += Digits(number, line + n);
    if (withDate) {
      line[n++] = ',';
      n += Digits(date, line + n);
    }
    line[n++] = '\n';
    used_ += n;
  }
  // False when any write failed.
  bool Flush() {
    if (used_ && std::fwrite(buffer_.data(), 1, used_, stream_) != used_) ok_ = false;
    used_ = 0;
    return ok_;
  }

 private:
  static constexpr size_t kSize = 1 << 16;
  static constexpr size_t kLongestLine = kMaxKeyLength + 2 * 12 + 3;
  static size_t Digits(int32_t value, char* out) {
    char digits[12];
    int d = 0;
    uint32_t v = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
      digits[d++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v);
    size_t n = 0;
    if (value < 0) out[n++] = '-';
    while (d) out[n++] = digits[--d];
    return n;
  }
  FILE* stream_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  bool ok_ = true;
};

long FindKey(VirtualArray* array, const char* key) {
  if (!array) return 0;
  MsgIdEntry probe = {};
  StrCopyN(probe.key, key, sizeof probe.key - 1);
  int i = array->Find(&probe, CompareMsgIdKeys);
  if (i < 0) return 0;
  const MsgIdEntry* e = static_cast<const MsgIdEntry*>(array->At(i));
  return e ? e->number : 0;
}

}  // namespace

namespace {
// Blocks of emptied additions, for the next list to fill: pages already
// touched cost far less on the target than fresh ones. Enough for the ids
// of a topic of about 100,000 messages; more are freed.
constexpr size_t kSpareBlocks = 32;
std::vector<std::unique_ptr<char[]>>& SpareBlocks() {
  static std::vector<std::unique_ptr<char[]>> spare;
  return spare;
}
}  // namespace

void MsgIdAdditions::Clear() {
  auto& spare = SpareBlocks();
  for (auto& block : blocks)
    if (spare.size() < kSpareBlocks) spare.push_back(std::move(block));
  blocks.clear();
  blockUsed.clear();
  count = 0;
  last = 0;
}

uint32_t MsgIdAdditions::Store(const char* key, size_t n, int32_t number, int32_t date) {
  if (blocks.empty() || blockUsed.back() + kHead + n + 1 > kBlockSize) {
    auto& spare = SpareBlocks();
    if (spare.empty()) {
      blocks.emplace_back(new char[kBlockSize]);
    } else {
      blocks.push_back(std::move(spare.back()));
      spare.pop_back();
    }
    blockUsed.push_back(0);
  }
  const uint32_t at = static_cast<uint32_t>((blocks.size() - 1) * kBlockSize + blockUsed.back());
  char* to = blocks.back().get() + blockUsed.back();
  std::memcpy(to, &number, sizeof number);
  std::memcpy(to + 4, &date, sizeof date);
  CopyScanBytes(to + kHead, key, n);
  to[kHead + n] = 0;
  blockUsed.back() += kHead + n + 1;
  ++count;
  last = at;
  return at;
}

void MsgIdAdditions::SetNumberAndDate(uint32_t at, int32_t number, int32_t date) {
  char* to = blocks[at / kBlockSize].get() + at % kBlockSize;
  std::memcpy(to, &number, sizeof number);
  std::memcpy(to + 4, &date, sizeof date);
}

int CompareMsgIdKeys(const void* a, const void* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(static_cast<const MsgIdEntry*>(a)->key);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(static_cast<const MsgIdEntry*>(b)->key);
  for (size_t i = 0; i < sizeof(MsgIdEntry::key); ++i) {
    unsigned char cx = kUpper.c[x[i]], cy = kUpper.c[y[i]];
    if (cx != cy) return cx < cy ? -1 : 1;
    if (!cx) return 0;
  }
  return 0;
}

int MsgIdListOpen(MessageIdList& list, FILE* stream) {
  if (list.msgid) list.msgid->SetSize(0, true);
  if (list.subject) list.subject->SetSize(0, true);
  list.addedIds.Clear();
  list.addedSubjects.Clear();
  list.newestDate = 0;
  list.settled = true;
  if (!stream) return 0;
  std::string line;
  long lines = 0;
  while (ReadWholeLine(stream, line)) {
    if (list.pump && ++lines % 1000 == 0) list.pump();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    size_t blank = line.rfind(' ');
    if (blank == std::string::npos || blank == 0) continue;
    const char* tail = line.c_str() + blank + 1;
    char* end = nullptr;
    long number = std::strtol(tail, &end, 10);
    long date = *end == ',' ? std::strtol(end + 1, nullptr, 10) : 0;
    if (number <= 0) continue;
    if (date > list.newestDate) list.newestDate = static_cast<int32_t>(date);
    line.resize(blank);
    Append(list, line[0] == '<' ? list.msgid : list.subject, line.c_str(), number, date);
  }
  SettleBoth(list);
  return 1;
}

int MsgIdListAdd(MessageIdList& list, const char* messageId, const char* subject, long number, long date) {
  if (messageId && messageId[0]) {
    char key[200];
    DravenetShortForm(messageId, list.dravenetMailDomain, key, sizeof key);
    if (date > list.newestDate) list.newestDate = static_cast<int32_t>(date);
    if (list.msgid) Add(list, list.addedIds, key, number, date);
  }
  if (subject && subject[0]) {
    char key[200];
    SubjectKey(subject, key, sizeof key);
    if (!SameScanText(key, "[<No Subject>]") && !SameScanText(key, "[== No Subject ==]") && list.subject)
      Add(list, list.addedSubjects, key, number, date);
  }
  return 1;
}

int MsgIdListSave(MessageIdList& list, FILE* stream) {
  if (!stream) return 0;
  // A list that was only added to (the index rebuild) is written straight
  // from its additions; one that was read or searched goes through the arrays.
  const bool onlyAdded = (!list.msgid || list.msgid->Count() == 0) && (!list.subject || list.subject->Count() == 0);
  if (!onlyAdded) SettleBoth(list);
  EntryWriter out(stream);
  // Kept from one save to the next, like the additions' blocks.
  static SortBuffers sortBuffers;
  bool ok = true;
  long written = 0;
  const long oldest = list.expiryDays > 0 ? static_cast<long>(list.newestDate) - list.expiryDays * 86400L : 0;
  auto writeId = [&](const char* key, int32_t number, int32_t date) {
    if (list.expiryDays > 0 && date) {
      if (date > oldest) out.Entry(key, number, date, true);
    } else {
      out.Entry(key, number, date, false);
    }
    if (list.pump && ++written % 1000 == 0) list.pump();
  };
  auto writeSubject = [&](const char* key, int32_t number, int32_t) {
    out.Entry(key, number, 0, false);
    if (list.pump && ++written % 1000 == 0) list.pump();
  };
  auto writeList = [&](VirtualArray* array, const MsgIdAdditions& added, auto write) {
    if (!array || !ok) return;
    if (onlyAdded) {
      ForEachSettled(added, sortBuffers, [&](uint32_t at) { write(added.Key(at), added.Number(at), added.Date(at)); });
      return;
    }
    for (int i = 0, n = array->Count(); i < n; ++i) {
      const MsgIdEntry* e = static_cast<const MsgIdEntry*>(array->At(i));
      if (!e) {
        ok = false;
        return;
      }
      write(e->key, e->number, e->date);
    }
  };
  writeList(list.msgid, list.addedIds, writeId);
  writeList(list.subject, list.addedSubjects, writeSubject);
  if (!out.Flush()) ok = false;
  if (std::fflush(stream) != 0) ok = false;
  if (list.msgid) list.msgid->SetSize(0, true);
  if (list.subject) list.subject->SetSize(0, true);
  list.addedIds.Clear();
  list.addedSubjects.Clear();
  list.settled = true;
  return ok ? 1 : 0;
}

long MsgIdListFindMessageId(MessageIdList& list, const char* messageId) {
  SettleBoth(list);
  char key[200];
  DravenetShortForm(messageId, list.dravenetMailDomain, key, sizeof key);
  return FindKey(list.msgid, key);
}

long MsgIdListFindSubject(MessageIdList& list, const char* subject) {
  SettleBoth(list);
  char key[200];
  SubjectKey(subject, key, sizeof key);
  return FindKey(list.subject, key);
}
