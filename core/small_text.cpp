#include "core/small_text.h"

#include "core/text1252.h"

#include <cstdio>
#include <cstring>
#include <string>

ClockHooks g_clockHooks = {LocalZoneOffsetNow};
namespace {
int NoLine(char*, size_t) { return 0; }
long NoPlace() { return 0; }
void StayPut(long) {}
}  // namespace
const MessageLineReader kNoMessageLines = {NoLine, NoPlace, StayPut};
MessageLineReader g_messageLines = kNoMessageLines;

namespace {

// The 1252 lower-case map as a table: the date reader folds every letter of
// every date of a topic.
struct LowerMap {
  unsigned char c[256];
  bool alpha[256];
  LowerMap() {
    for (int i = 0; i < 256; ++i) {
      c[i] = ToLower1252(static_cast<unsigned char>(i));
      alpha[i] = IsAlpha1252(static_cast<unsigned char>(i));
    }
  }
};
const LowerMap& Lower() {
  static const LowerMap map;
  return map;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads a run of digits; false when it is too long to be any date field.
bool ReadNumber(const char*& p, long& value) {
  const char* start = p;
  value = 0;
  while (IsDigit(*p)) {
    if (p - start < 9) value = value * 10 + (*p - '0');
    ++p;
  }
  return p - start <= 9;
}

struct ZoneName {
  const char* name;
  size_t length;
  int minutes;
};
// "UT" and "UTC" are what many mailers write for Greenwich time.
constexpr ZoneName kZones[] = {{"GMT0", 4, 0},   {"BST-1", 5, 60}, {"BST", 3, 60},   {"GMT", 3, 0},    {"UTC", 3, 0},
                               {"UT", 2, 0},     {"EST", 3, -300}, {"CST", 3, -360}, {"MST", 3, -420}, {"PST", 3, -480},
                               {"EDT", 3, -240}, {"CDT", 3, -300}, {"MDT", 3, -360}, {"PDT", 3, -420}};
constexpr bool ZoneLengthsRight() {
  for (const ZoneName& z : kZones)
    if (std::char_traits<char>::length(z.name) != z.length) return false;
  return true;
}
static_assert(ZoneLengthsRight());

}  // namespace

int LocalZoneOffsetNow() {
  time_t now = time(nullptr);
  struct tm local = *localtime(&now);
  struct tm utc = *gmtime(&now);
  long long localMinutes =
      DaysFromCivil(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday) * 1440 + local.tm_hour * 60 + local.tm_min;
  long long utcMinutes =
      DaysFromCivil(utc.tm_year + 1900LL, utc.tm_mon + 1, utc.tm_mday) * 1440 + utc.tm_hour * 60 + utc.tm_min;
  return static_cast<int>(localMinutes - utcMinutes);
}

time_t ParseDate(const char* text) {
  if (!text) return 0;
  static const char* const kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
  int month = 0, day = 0, year = -1;
  long hour = -1, minute = 0, second = 0;
  bool zoneSet = false;
  int zone = 0;
  // The earliest month in the year whose name appears anywhere, in any case;
  // one pass over the text instead of one search per month.
  const LowerMap& lower = Lower();  // once: each call asks whether it is built yet
  const unsigned char* low = lower.c;
  for (const char* p = text; p[0] && p[1] && p[2] && month != 1; ++p) {
    unsigned char a = low[static_cast<unsigned char>(p[0])];
    if (a < 'a' || a > 's') continue;
    unsigned char b = low[static_cast<unsigned char>(p[1])];
    unsigned char c = low[static_cast<unsigned char>(p[2])];
    for (int i = 0; i < 12; ++i)
      if (a == static_cast<unsigned char>(kMonths[i][0]) && b == static_cast<unsigned char>(kMonths[i][1]) &&
          c == static_cast<unsigned char>(kMonths[i][2])) {
        if (!month || i + 1 < month) month = i + 1;
        break;
      }
  }

  for (const char* p = text; *p;) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (lower.alpha[c]) {
      bool matched = false;
      const unsigned char first = low[c];
      for (const ZoneName& z : kZones) {
        if (low[static_cast<unsigned char>(z.name[0])] != first) continue;
        const size_t len = z.length;
        if (StartsWithNoCase(p, z.name) && !IsAlnum1252(static_cast<unsigned char>(p[len]))) {
          if (!zoneSet) {
            zone = z.minutes;
            zoneSet = true;
          }
          p += len;
          matched = true;
          break;
        }
      }
      if (!matched)
        while (lower.alpha[static_cast<unsigned char>(*p)]) ++p;
      continue;
    }
    if ((c == '+' || c == '-') && (p[1] == '0' || p[1] == '1') && IsDigit(p[2]) && IsDigit(p[3]) && IsDigit(p[4]) &&
        !IsDigit(p[5])) {
      int hours = (p[1] - '0') * 10 + (p[2] - '0');
      int minutes = (p[3] - '0') * 10 + (p[4] - '0');
      // "-1999" in "05-Mar-1999" is a year, not a zone.
      if (minutes < 60) {
        if (!zoneSet) {
          zone = (hours * 60 + minutes) * (c == '-' ? -1 : 1);
          zoneSet = true;
        }
        p += 5;
        continue;
      }
    }
    if (!IsDigit(static_cast<char>(c))) {
      ++p;
      continue;
    }
    long n;
    if (!ReadNumber(p, n)) return 0;
    if (*p == ':') {
      long h = n, m = 0, s = 0;
      ++p;
      if (IsDigit(*p) && !ReadNumber(p, m)) return 0;
      if (*p == ':' && IsDigit(p[1])) {
        ++p;
        if (!ReadNumber(p, s)) return 0;
      }
      if (hour < 0) {
        hour = h;
        minute = m;
        second = s;
      }
      continue;
    }
    if (!month && n >= 1 && n <= 12)
      month = static_cast<int>(n);
    else if (!day && n >= 1 && n <= 31)
      day = static_cast<int>(n);
    else if (year < 0) {
      if (n >= 81 && n <= 99)
        year = static_cast<int>(1900 + n);
      else if (n >= 0 && n <= 80)
        year = static_cast<int>(2000 + n);
      else if (n >= 1981 && n <= 2099)
        year = static_cast<int>(n);
    }
  }
  // A date with a field missing or out of range is no date: better none than
  // a wrong one.
  if (!month || !day || year < 0 || day > DaysInMonth(year, month)) return 0;
  if (hour < 0) hour = 0;
  if (hour > 23 || minute > 59 || second > 60) return 0;
  if (!zoneSet) zone = g_clockHooks.localZoneOffset();
  long long seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                      hour * 3600 + minute * 60 + second - zone * 60LL;
  // Where calendar time is 32 bits, a date past 2038 can't be held: no date
  // rather than a wrapped one.
  if (static_cast<long long>(static_cast<time_t>(seconds)) != seconds || seconds <= 0) return 0;
  return static_cast<time_t>(seconds);
}

const char* StripReplyPrefix(const char* subject) { return StripReplyPrefix(subject, nullptr, 0); }

const char* StripReplyPrefix(const char* subject, char* replySubject, size_t replySize) {
  // Every subject of a rebuild comes here: copied and measured in one pass,
  // with no calls into the C library.
  static char buffer[200];
  const char* from = subject ? subject : "";
  size_t len = 0;
  for (; len < sizeof buffer - 1 && from[len]; ++len) buffer[len] = from[len];
  buffer[len] = 0;
  if (len > 8 && StartsWithNoCase(buffer + len - 8, " - reply")) buffer[len - 8] = 0;

  struct Prefix {
    const char* text;
    size_t length;
  };
  static constexpr Prefix kPrefixes[] = {{"FW:", 3}, {"FWD:", 4}, {"Re: Reply to:", 13}, {"Reply to:", 9}, {"Re:", 3},
                                         {"AW:", 3}, {"SV:", 3}};
  struct Numbered {
    const char* open;
    size_t length;
    char close;
  };
  static constexpr Numbered kNumbered[] = {{"Re[", 3, ']'}, {"Re(", 3, ')'}, {"Re (", 4, ')'}};
  static_assert([] {
    for (const Prefix& prefix : kPrefixes)
      if (std::char_traits<char>::length(prefix.text) != prefix.length) return false;
    for (const Numbered& form : kNumbered)
      if (std::char_traits<char>::length(form.open) != form.length) return false;
    return true;
  }());
  char* p = buffer;
  for (bool removed = true; removed;) {
    removed = false;
    if (*p == ' ') {
      ++p;
      removed = true;
      continue;
    }
    // Every prefix begins with F, R, A or S: most subjects are done here.
    const unsigned char first = ToLower1252(static_cast<unsigned char>(*p));
    if (first != 'f' && first != 'r' && first != 'a' && first != 's') break;
    for (const Prefix& prefix : kPrefixes) {
      if (StartsWithNoCase(p, prefix.text)) {
        p += prefix.length;
        removed = true;
        break;
      }
    }
    if (removed) continue;
    for (const Numbered& form : kNumbered) {
      if (!StartsWithNoCase(p, form.open)) continue;
      char* q = p + form.length;
      char* digits = q;
      while (IsDigit(*q)) ++q;
      if (q == digits) break;
      if (*q == form.close) {
        ++q;
        if (*q == ':') ++q;
      } else if (*q == ':') {
        ++q;
      } else {
        break;  // not a numbered prefix after all: keep the rest as it is
      }
      p = q;
      removed = true;
      break;
    }
  }
  if (p != buffer)
    for (size_t i = 0;; ++i)
      if (!(buffer[i] = p[i])) break;

  // Inside the subject, a doubled "Re: Re: " (a reply whose prefix was added
  // twice after other text) shrinks to one; a single one is the author's.
  while (char* twice = stristr(buffer, "Re: Re: ")) std::memmove(twice, twice + 4, std::strlen(twice + 4) + 1);

  if (replySubject && replySize > 0) {
    const size_t room = (replySize < 200 ? replySize : 200) - 1;
    size_t n = 0;
    for (const char* p = "Re: "; *p && n < room; ++p) replySubject[n++] = *p;
    for (const char* p = buffer; *p && n < room; ++p) replySubject[n++] = *p;
    replySubject[n] = 0;
  }
  return buffer;
}

const char* EscapeLine(const char* text) {
  static char buffer[ESCAPED_LINE_MAX + 1];
  size_t n = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    char escape = *p == '\\' ? '\\' : *p == '\r' ? 'r' : *p == '\n' ? 'n' : 0;
    size_t need = escape ? 2 : 1;
    if (n + need > ESCAPED_LINE_MAX) break;
    if (escape) {
      buffer[n++] = '\\';
      buffer[n++] = escape;
    } else {
      buffer[n++] = *p;
    }
  }
  buffer[n] = 0;
  return buffer;
}

const char* UnescapeLine(const char* text) {
  static char buffer[ESCAPED_LINE_MAX + 1];
  size_t n = 0;
  for (const char* p = text ? text : ""; *p && n < ESCAPED_LINE_MAX; ++p) {
    if (*p == '\\' && (p[1] == '\\' || p[1] == 'r' || p[1] == 'n')) {
      ++p;
      buffer[n++] = *p == 'r' ? '\r' : *p == 'n' ? '\n' : '\\';
    } else {
      buffer[n++] = *p;
    }
  }
  buffer[n] = 0;
  return buffer;
}

const char* FindLinePrefix(const char* prefix, const char* block) {
  if (!prefix || !block || !*block) return nullptr;
  for (const char* p = block; *p; ++p)
    if ((p == block || p[-1] == '\r' || p[-1] == '\n') && StartsWithNoCase(p, prefix)) return p + std::strlen(prefix);
  return nullptr;
}

char* GetHeaderParam(const char* line, const char* name, char* out, size_t outSize) {
  if (!line || !name || !*name || !out || !outSize) return nullptr;
  size_t nameLen = std::strlen(name);
  for (const char* p = line; *p; ++p) {
    // The name must be a whole parameter name: "xboundary=" is not "boundary".
    if (p != line && !std::strchr("; \t", p[-1])) continue;
    if (!StartsWithNoCase(p, name)) continue;
    const char* q = p + nameLen;
    while (*q == ' ' || *q == '\t') ++q;
    if (*q != '=') continue;
    ++q;
    while (*q == ' ' || *q == '\t') ++q;
    size_t n = 0;
    if (*q == '"') {
      for (++q; *q && *q != '"' && *q != '\r' && *q != '\n'; ++q)
        if (n + 1 < outSize) out[n++] = *q;
    } else {
      for (; *q && *q != ';' && *q != '\r' && *q != '\n'; ++q)
        if (n + 1 < outSize) out[n++] = *q;
    }
    out[n] = 0;
    rtrim(out);
    return DecodeEncodedWords(out);
  }
  return nullptr;
}

int ReadHeaderLine(char* out, size_t outSize) {
  if (!out || !outSize) return 0;
  out[0] = 0;
  static char line[HEADER_LINE_MAX + 2];
  int consumed = g_messageLines.readLine(line, sizeof line);
  if (consumed <= 0) return 0;
  size_t limit = outSize - 1 < HEADER_LINE_MAX - 1 ? outSize - 1 : HEADER_LINE_MAX - 1;
  StrCopyN(out, stripcrlf(line), limit);
  for (;;) {
    long before = g_messageLines.tell();
    int length = g_messageLines.readLine(line, sizeof line);
    if (length <= 0) break;
    if (line[0] != ' ' && line[0] != '\t') {
      g_messageLines.seek(before);  // not a continuation: leave it for the next call
      break;
    }
    consumed += length;
    size_t used = std::strlen(out);
    if (used < limit) StrCopyN(out + used, stripcrlf(line), limit - used);
  }
  return consumed;
}

char* strtr(char* text, char from, char to) {
  if (!text) return text;
  for (char* p = text; *p; ++p)
    if (*p == from) *p = to;
  return text;
}

char* strsetchar(char* text, const char* set, char to) {
  if (!text || !set) return text;
  for (char* p = text; *p; ++p)
    if (std::strchr(set, *p)) *p = to;
  return text;
}

char* stripcrlf(char* text) {
  if (!text) return text;
  size_t len = std::strlen(text);
  while (len && (text[len - 1] == '\r' || text[len - 1] == '\n')) text[--len] = 0;
  return text;
}
