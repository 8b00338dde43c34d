#include "msgbase/msgid_list.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text1252.h"

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

void SettleBoth(MessageIdList& list) {
  if (list.settled) return;
  if (list.msgid) Settle(*list.msgid, list.pump);
  if (list.subject) Settle(*list.subject, list.pump);
  list.settled = true;
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
  StrCopyN(out, id, size - 1);
  if (!domain || !domain[0]) return;
  const char* underscore = std::strchr(id, '_');
  if (!underscore || !stristr(id, domain)) return;
  const char* start = underscore + 1;
  const char* at = std::strchr(start, '@');
  size_t n = at ? static_cast<size_t>(at - start) : std::strcspn(start, ">");
  if (n > size - 3) n = size - 3;
  out[0] = '<';
  std::memcpy(out + 1, start, n);
  out[n + 1] = '>';
  out[n + 2] = 0;
}

// "[subject]", cut to fit a key.
void SubjectKey(const char* subject, char* key, size_t size) {
  key[0] = '[';
  StrCopyN(key + 1, subject, size - 3);
  size_t n = std::strlen(key);
  key[n] = ']';
  key[n + 1] = 0;
}

// Writes "key number" or "key number,date" and a LF; false when the write fails.
bool WriteEntry(FILE* stream, const MsgIdEntry& e, bool withDate) {
  char line[260];
  size_t n = std::strlen(e.key);
  std::memcpy(line, e.key, n);
  line[n++] = ' ';
  auto number = [&](long value) {
    char digits[16];
    int d = 0;
    unsigned long v = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
      digits[d++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v);
    if (value < 0) line[n++] = '-';
    while (d) line[n++] = digits[--d];
  };
  number(e.number);
  if (withDate) {
    line[n++] = ',';
    number(e.date);
  }
  line[n++] = '\n';
  return std::fwrite(line, 1, n, stream) == n;
}

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
    Append(list, list.msgid, key, number, date);
  }
  if (subject && subject[0]) {
    char key[200];
    SubjectKey(subject, key, sizeof key);
    if (std::strcmp(key, "[<No Subject>]") != 0 && std::strcmp(key, "[== No Subject ==]") != 0)
      Append(list, list.subject, key, number, date);
  }
  return 1;
}

int MsgIdListSave(MessageIdList& list, FILE* stream) {
  if (!stream) return 0;
  SettleBoth(list);
  bool ok = true;
  long written = 0;
  const long oldest = list.expiryDays > 0 ? static_cast<long>(list.newestDate) - list.expiryDays * 86400L : 0;
  if (list.msgid) {
    for (int i = 0, n = list.msgid->Count(); i < n && ok; ++i) {
      const MsgIdEntry* e = static_cast<const MsgIdEntry*>(list.msgid->At(i));
      if (!e) {
        ok = false;
        break;
      }
      if (list.expiryDays > 0 && e->date) {
        if (e->date > oldest) ok = WriteEntry(stream, *e, true);
      } else {
        ok = WriteEntry(stream, *e, false);
      }
      if (list.pump && ++written % 1000 == 0) list.pump();
    }
  }
  if (list.subject) {
    for (int i = 0, n = list.subject->Count(); i < n && ok; ++i) {
      const MsgIdEntry* e = static_cast<const MsgIdEntry*>(list.subject->At(i));
      if (!e) {
        ok = false;
        break;
      }
      ok = WriteEntry(stream, *e, false);
      if (list.pump && ++written % 1000 == 0) list.pump();
    }
  }
  if (std::fflush(stream) != 0) ok = false;
  if (list.msgid) list.msgid->SetSize(0, true);
  if (list.subject) list.subject->SetSize(0, true);
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
