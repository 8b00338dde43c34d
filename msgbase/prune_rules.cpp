#include "msgbase/prune_rules.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/folder_names.h"
#include "core/text1252.h"

const char kPruneMailDefault[] = "!mail";
const char kPruneLibraryDefault[] = "!libraries";
const char kPruneMailDisplay[] = "* All Mail Folders (default) *";
const char kPruneLibraryDisplay[] = "* All Libraries (default) *";
const char kPruneDefaultDisplay[] = "* Default *";

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool StartsWithNoCase(const char* text, const char* prefix, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (!text[i]) return false;
    if (ToUpper1252(static_cast<unsigned char>(text[i])) != ToUpper1252(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// A decimal number as the C library reads one: blanks, a sign, digits; the
// value kept to 32 bits. False when no digit follows.
bool ReadNumber(const char*& p, const char* end, int32_t* value) {
  while (p < end && IsBlank(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  if (p >= end || !std::isdigit(static_cast<unsigned char>(*p))) return false;
  uint64_t n = 0;
  while (p < end && std::isdigit(static_cast<unsigned char>(*p))) {
    if (n < (1ull << 40)) n = n * 10 + static_cast<unsigned>(*p - '0');
    ++p;
  }
  uint32_t bits = static_cast<uint32_t>(n);
  if (negative) bits = 0u - bits;
  *value = static_cast<int32_t>(bits);
  return true;
}

// The pattern an entry's name gives for the folder names it covers.
std::string EntryPattern(const char* name) {
  std::string pattern = name;
  if (StartsWithNoCase(pattern.c_str(), "local:", 6)) pattern.erase(0, 6);
  if (pattern.find('/') == std::string::npos) pattern += '/';
  if (sameservice(pattern.c_str(), "dvn")) {
    char buffer[sizeof PruneEntry::name + 16];
    StrCopyN(buffer, pattern.c_str(), sizeof buffer - 1);
    strirepl(buffer, "/Libraries", "/L");
    strirepl(buffer, "/Messages", "/S");
    pattern = buffer;
  }
  return pattern;
}

// Characters that would make a part of a folder name a path of its own.
void MakeFilePart(std::string& part, size_t cut) {
  for (char& c : part)
    if (c == '-' || c == ';' || c == ':' || c == '.' || c == '/' || c == '\\') c = '_';
  if (cut && part.size() > cut) part.resize(cut);
}

}  // namespace

int32_t ParsePruneDays(const char* text) {
  if (!text) return 0;
  while (IsBlank(*text)) ++text;
  if (!std::strcmp(text, "-1") || !std::strcmp(text, "65535") || !std::strcmp(text, "4294967295"))
    return kPruneDeleteOnly;
  if (!std::strcmp(text, "-2") || !std::strcmp(text, "65534") || !std::strcmp(text, "4294967294")) return kPruneNever;
  int32_t value = 0;
  const char* p = text;
  return ReadNumber(p, text + std::strlen(text), &value) ? value : 0;
}

bool ParsePruneList(std::string_view text, std::vector<PruneEntry>* out) {
  out->clear();
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!lineEnd) lineEnd = end;
    const char* q = p;
    while (q < lineEnd && IsBlank(*q)) ++q;
    if (q < lineEnd) {
      const char* nameStart = q;
      while (q < lineEnd && !IsBlank(*q)) ++q;
      size_t nameLength = static_cast<size_t>(q - nameStart);
      PruneEntry entry = {};
      bool ok = nameLength < sizeof entry.name && !std::memchr(nameStart, 0, nameLength);
      if (ok) {
        std::memcpy(entry.name, nameStart, nameLength);
        ok = ReadNumber(q, lineEnd, &entry.days);
      }
      if (!ok) {
        out->clear();
        return false;
      }
      out->push_back(entry);
    }
    p = lineEnd < end ? lineEnd + 1 : end;
  }
  return true;
}

std::string FormatPruneList(const std::vector<PruneEntry>& entries) {
  std::string text;
  for (const PruneEntry& e : entries) {
    if (e.days == kPruneRemoved || !e.name[0]) continue;
    char line[sizeof e.name + 16];
    std::snprintf(line, sizeof line, "%.*s %d\n", static_cast<int>(sizeof e.name - 1), e.name, e.days);
    text += line;
  }
  return text;
}

PruneEntry* FindPruneEntry(std::vector<PruneEntry>& entries, const char* name) {
  for (PruneEntry& e : entries)
    if (e.days != kPruneRemoved && SameText1252(e.name, name)) return &e;
  return nullptr;
}

PruneEntry* AddPruneEntry(std::vector<PruneEntry>& entries, const char* name, int32_t days) {
  if (PruneEntry* found = FindPruneEntry(entries, name)) return found;
  PruneEntry entry = {};
  StrCopyN(entry.name, name, sizeof entry.name - 1);
  entry.days = days;
  entries.push_back(entry);
  return &entries.back();
}

bool RemovePruneEntry(std::vector<PruneEntry>& entries, const char* name) {
  PruneEntry* found = FindPruneEntry(entries, name);
  if (!found) return false;
  found->days = kPruneRemoved;
  found->name[0] = '@';  // no search meets it again
  return true;
}

void AssignFolderDays(const std::vector<PruneEntry>& entries, int32_t defaultDays, PruneFolder* folders, size_t count) {
  bool haveMail = false, haveLibraries = false;
  int32_t mailDays = 0, libraryDays = 0;
  for (size_t i = 0; i < count; ++i) folders[i].days = kPruneUnassigned;
  for (const PruneEntry& e : entries) {
    if (e.days == kPruneRemoved) continue;
    if (SameText1252(e.name, kPruneMailDefault)) {
      haveMail = true;
      mailDays = e.days;
      continue;
    }
    if (SameText1252(e.name, kPruneLibraryDefault)) {
      haveLibraries = true;
      libraryDays = e.days;
      continue;
    }
    std::string pattern = EntryPattern(e.name);
    for (size_t i = 0; i < count; ++i) {
      if (SameText1252(folders[i].name, pattern.c_str()))
        folders[i].days = e.days;
      else if (folders[i].days == kPruneUnassigned &&
               StartsWithNoCase(folders[i].name, pattern.c_str(), pattern.size()))
        folders[i].days = e.days;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    if (folders[i].days != kPruneUnassigned) continue;
    folders[i].days = defaultDays;
    if (haveLibraries && sameservice(folders[i].name, "dvn") && WildMatch(folders[i].name, "*/L*_*"))
      folders[i].days = libraryDays;
    if (haveMail && ismailfolder(folders[i].name)) folders[i].days = mailDays;
  }
}

std::string BuildArchiveName(const char* pattern, const struct tm& when, const char* folderName, long sequence,
                             size_t cut) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string name = folderName ? folderName : "";
  std::string service = "local", rest = name;
  size_t colon = name.find(':');
  if (colon != std::string::npos) {
    service = name.substr(0, colon);
    rest = name.substr(colon + 1);
  }
  size_t split = rest.find_first_of("/\\ ");
  std::string conference = rest.substr(0, split);
  std::string topic = split == std::string::npos ? "" : rest.substr(split + 1);
  MakeFilePart(service, cut);
  MakeFilePart(conference, cut);
  MakeFilePart(topic, cut);

  std::string out;
  char number[32];
  for (const char* p = pattern ? pattern : ""; *p; ++p) {
    if (*p != '%' || !p[1]) {
      out += *p;
      continue;
    }
    char token = p[1];
    switch (token) {
      case 'd':
      case 'D':
        std::snprintf(number, sizeof number, "%02d", when.tm_mday);
        out += number;
        break;
      case 'm':
      case 'M': out += kMonths[(when.tm_mon % 12 + 12) % 12]; break;
      case 'y':
        std::snprintf(number, sizeof number, "%02d", ((when.tm_year + 1900) % 100 + 100) % 100);
        out += number;
        break;
      case 'Y':
        std::snprintf(number, sizeof number, "%04d", when.tm_year + 1900);
        out += number;
        break;
      case 's':
      case 'S': out += service; break;
      case 'f':
      case 'F':
      case 'c':
      case 'C': out += conference; break;
      case 't':
      case 'T': out += topic; break;
      case 'n':
      case 'N':
        std::snprintf(number, sizeof number, "%ld", sequence);
        out += number;
        break;
      default: out += '%'; continue;  // not a token: the next character stands as it is
    }
    ++p;
  }
  return out;
}

long CalendarDayNumber(int year, int month, int mday) {
  // Days since 1 March of year 0 of the proleptic calendar, shifted so that
  // leap days fall at the end of each counted year.
  long y = year - (month <= 2 ? 1 : 0);
  long era = (y >= 0 ? y : y - 399) / 400;
  long yearOfEra = y - era * 400;
  long m = month > 2 ? month - 3 : month + 9;
  long dayOfYear = (153 * m + 2) / 5 + mday - 1;
  long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 693901;  // 1 Jan 1900 is day 0
}

std::vector<int32_t> ComputeThreadAges(const MsgIndexRec* records, size_t count, long firstNumber,
                                       int32_t (*ageOf)(void* context, size_t slot), void* context) {
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::vector<int32_t> ages(count, 0);
  std::vector<size_t> top(count, kNone);   // the thread's top record, once known
  std::vector<uint8_t> state(count, 0);    // 1 on the walk in hand
  std::vector<uint8_t> topAged(count, 0);  // the top's thread age is known
  std::vector<int32_t> topAge(count, 0);
  std::vector<size_t> path;
  auto slotOf = [&](long number) -> size_t {
    size_t low = 0, high = count;
    while (low < high) {
      size_t mid = low + (high - low) / 2;
      if (records[mid].number < number)
        low = mid + 1;
      else
        high = mid;
    }
    return low < count && records[low].number == number ? low : kNone;
  };
  for (size_t start = count; start-- > 0;) {
    path.clear();
    size_t at = start, reached = kNone;
    for (;;) {
      if (top[at] != kNone) {
        reached = top[at];
        break;
      }
      path.push_back(at);
      state[at] = 1;
      long parent = records[at].commentTo;
      size_t up = parent >= firstNumber && parent != records[at].number ? slotOf(parent) : kNone;
      if (up == kNone || up == at || state[up]) {
        reached = at;  // the top of the thread (or of a loop of comments)
        break;
      }
      at = up;
    }
    for (size_t node : path) {
      state[node] = 0;
      top[node] = reached;
    }
    if (!topAged[reached]) {
      topAged[reached] = 1;
      topAge[reached] = (records[start].flags & kMsgMissing) ? 0 : ageOf(context, start);
    }
    ages[start] = topAge[reached];
  }
  return ages;
}

std::vector<PruneAction> PlanPrune(const MsgIndexRec* records, const int32_t* ages, size_t count, long lastNumber,
                                   bool servicePrefix, int32_t days) {
  std::vector<PruneAction> plan(count, PruneAction::kKeep);
  bool anyKept = false;
  for (size_t i = 0; i < count; ++i) {
    const MsgIndexRec& m = records[i];
    const bool missing = (m.flags & kMsgMissing) != 0;
    PruneAction action;
    if (servicePrefix && m.number == lastNumber && !missing)
      action = PruneAction::kKeep;
    else if (missing)
      action = PruneAction::kDrop;
    else if (m.flags & kMsgKeep)
      action = PruneAction::kKeep;
    else if (m.flags & kMsgMarkedForDeletion)
      action = PruneAction::kArchive;
    else
      action = days >= 0 && ages[i] > days ? PruneAction::kArchive : PruneAction::kKeep;
    plan[i] = action;
    anyKept = anyKept || action == PruneAction::kKeep;
  }
  if (!anyKept && lastNumber != 0 && count > 0 && !(records[count - 1].flags & kMsgMissing))
    plan[count - 1] = PruneAction::kKeep;
  return plan;
}
