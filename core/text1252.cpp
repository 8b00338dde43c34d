#include "core/text1252.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace {

// Class bits per byte, built once from the code page's letter ranges.
enum : unsigned char { kUpper = 1, kLower = 2, kLetter = 4, kDigit = 8 };

struct Tables {
  unsigned char cls[256];
  unsigned char upper[256];
  unsigned char lower[256];
  Tables() {
    for (int c = 0; c < 256; ++c) {
      cls[c] = 0;
      upper[c] = lower[c] = static_cast<unsigned char>(c);
    }
    auto setUpper = [&](int c) { cls[c] |= kUpper | kLetter; };
    auto setLower = [&](int c) { cls[c] |= kLower | kLetter; };
    for (int c = 'A'; c <= 'Z'; ++c) setUpper(c);
    for (int c = 'a'; c <= 'z'; ++c) setLower(c);
    for (int c = '0'; c <= '9'; ++c) cls[c] |= kDigit;
    for (int c : {138, 140, 159}) setUpper(c);
    for (int c = 192; c <= 214; ++c) setUpper(c);
    for (int c = 216; c <= 222; ++c) setUpper(c);
    for (int c : {131, 154, 156}) setLower(c);
    for (int c = 224; c <= 246; ++c) setLower(c);
    for (int c = 248; c <= 255; ++c) setLower(c);
    cls[223] |= kLetter;  // sharp s: a letter without case
    auto pair = [&](int up, int low) {
      upper[low] = up;
      lower[up] = low;
    };
    for (int c = 'a'; c <= 'z'; ++c) pair(c - 32, c);
    pair(138, 154);
    pair(140, 156);
    pair(159, 255);
    for (int c = 224; c <= 246; ++c) pair(c - 32, c);
    for (int c = 248; c <= 254; ++c) pair(c - 32, c);
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

inline unsigned char U(char c) { return static_cast<unsigned char>(c); }
// toupper in the C locale, which the program never leaves: only a-z change.
// Kept in line, as the library's is a call into another module on the target.
inline int AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? U(c) - 32 : U(c); }

}  // namespace

bool IsUpper1252(unsigned char c) { return T().cls[c] & kUpper; }
bool IsLower1252(unsigned char c) { return T().cls[c] & kLower; }
bool IsAlpha1252(unsigned char c) { return T().cls[c] & kLetter; }
bool IsAlnum1252(unsigned char c) { return T().cls[c] & (kLetter | kDigit); }
unsigned char ToUpper1252(unsigned char c) { return T().upper[c]; }
unsigned char ToLower1252(unsigned char c) { return T().lower[c]; }

bool StartsWithNoCase(const char* text, const char* prefix) {
  const unsigned char* lower = T().lower;
  for (; *prefix; ++text, ++prefix)
    if (lower[U(*text)] != lower[U(*prefix)]) return false;
  return true;
}

void CopyBounded(char* dest, size_t size, const char* source, size_t length) {
  if (!dest || size == 0) return;
  if (length >= size) length = size - 1;
  std::memcpy(dest, source, length);
  dest[length] = 0;
}

char* StrUpper1252(char* text) {
  for (char* p = text; *p; ++p) *p = static_cast<char>(T().upper[U(*p)]);
  return text;
}

char* StrLower1252(char* text) {
  for (char* p = text; *p; ++p) *p = static_cast<char>(T().lower[U(*p)]);
  return text;
}

char* strlwr_ascii(char* text) {
  for (char* p = text; *p; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + 32);
  return text;
}

bool SameText1252(const char* a, const char* b) {
  const unsigned char* low = T().lower;
  for (;; ++a, ++b) {
    unsigned char ca = low[U(*a)], cb = low[U(*b)];
    if (ca != cb) return false;
    if (!ca) return true;
  }
}

char* stristr(const char* text, const char* needle) {
  // One pass, without measuring either string first: a match cut short by
  // the end of the text means no later one fits either.
  const unsigned char* up = T().upper;
  if (!*needle) return const_cast<char*>(text);
  const unsigned char first = up[U(*needle)];
  for (const char* t = text; *t; ++t) {
    if (up[U(*t)] != first) continue;
    size_t j = 1;
    while (needle[j] && t[j] && up[U(t[j])] == up[U(needle[j])]) ++j;
    if (!needle[j]) return const_cast<char*>(t);
    if (!t[j]) return nullptr;
  }
  return nullptr;
}

static int ReplaceAt(char* text, char* at, size_t oldLen, const char* newText) {
  if (!at) return 1;
  size_t newLen = std::strlen(newText);
  std::memmove(at + newLen, at + oldLen, std::strlen(at + oldLen) + 1);
  std::memcpy(at, newText, newLen);
  return 0;
}

int strrepl(char* text, const char* oldText, const char* newText) {
  if (!*oldText) return 1;
  return ReplaceAt(text, std::strstr(text, oldText), std::strlen(oldText), newText);
}

int strrepl(char* text, size_t size, const char* oldText, const char* newText) {
  if (!*oldText || size == 0) return 1;
  char* at = std::strstr(text, oldText);
  if (!at) return 1;
  size_t room = size - 1 - static_cast<size_t>(at - text);
  size_t newLen = std::strlen(newText);
  if (newLen > room) newLen = room;
  size_t tailLen = std::strlen(at + std::strlen(oldText));
  if (tailLen > room - newLen) tailLen = room - newLen;
  std::memmove(at + newLen, at + std::strlen(oldText), tailLen);
  at[newLen + tailLen] = 0;
  std::memcpy(at, newText, newLen);
  return 0;
}

int strirepl(char* text, const char* oldText, const char* newText) {
  if (!*oldText) return 1;
  return ReplaceAt(text, stristr(text, oldText), std::strlen(oldText), newText);
}

namespace {
// The trims of every address and name of a rebuild: in line, with the
// length found once.
size_t TrimRight(char* text, size_t n) {
  while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
  return n;
}
size_t TrimLeft(char* text, size_t n) {
  size_t lead = 0;
  while (text[lead] == ' ') ++lead;
  if (lead)
    for (size_t i = lead; i <= n; ++i) text[i - lead] = text[i];
  return n - lead;
}
size_t Length(const char* text) {
  const char* p = text;
  while (*p) ++p;
  return static_cast<size_t>(p - text);
}
// strtrim for text of n characters: the length left.
size_t Trim(char* text, size_t n) { return TrimLeft(text, TrimRight(text, n)); }
}  // namespace

char* rtrim(char* text) {
  TrimRight(text, Length(text));
  return text;
}

char* ltrim(char* text) {
  TrimLeft(text, Length(text));
  return text;
}

char* strtrim(char* text) {
  Trim(text, Length(text));
  return text;
}

void StrCatN(char* dest, const char* source, size_t n) { std::strncat(dest, source, n); }

void StrCopyN(char* dest, const char* source, size_t n) {
  size_t len = strnlen(source, n);
  std::memcpy(dest, source, len);
  dest[len] = 0;
  dest[n] = 0;
}

// One pattern element that matches exactly one character: a literal, "?", an
// escaped character or a set. Returns whether c matches and sets *next past it.
static bool MatchOne(const char* p, char c, const char** next) {
  if (*p == '?') {
    *next = p + 1;
    return true;
  }
  if (*p == '\\' && p[1]) {
    *next = p + 2;
    return c == p[1] || AsciiUpper(c) == AsciiUpper(p[1]);
  }
  if (*p != '[') {
    *next = p + 1;
    return c == *p || AsciiUpper(c) == AsciiUpper(*p);
  }
  ++p;
  bool negate = false;
  if (*p == '^' && p[1]) {
    negate = true;
    ++p;
  }
  bool hit = false;
  int cu = AsciiUpper(c);
  bool first = true;
  int prev = -1;  // previous member, for ranges
  while (*p && (first || *p != ']')) {
    int member;
    if (*p == '\\' && p[1]) {
      member = U(p[1]);
      p += 2;
    } else if (*p == '-' && prev >= 0 && p[1] && p[1] != ']') {
      int hi = p[1] == '\\' && p[2] ? U(p[2]) : U(p[1]);
      p += (p[1] == '\\' && p[2]) ? 3 : 2;
      int lo = AsciiUpper(static_cast<char>(prev)), top = AsciiUpper(static_cast<char>(hi));
      if (cu >= lo && cu <= top) hit = true;
      prev = -1;
      first = false;
      continue;
    } else {
      member = U(*p);
      ++p;
    }
    if (cu == AsciiUpper(static_cast<char>(member))) hit = true;
    prev = member;
    first = false;
  }
  if (*p == ']') ++p;
  *next = p;
  return negate ? !hit : hit;
}

// Iterative with one backtrack point (the last "*"): every other element
// consumes exactly one character, so this is linear per star restart and never
// exponential however many stars the pattern holds.
bool WildMatch(const char* text, const char* pattern) {
  const char* t = text;
  const char* p = pattern;
  const char* starP = nullptr;
  const char* starT = nullptr;
  while (true) {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (!*p) return true;
      starP = p;
      starT = t;
      continue;
    }
    if (!*t) return !*p;
    const char* next;
    if (*p && MatchOne(p, *t, &next)) {
      p = next;
      ++t;
      continue;
    }
    if (!starP) return false;
    p = starP;
    t = ++starT;
  }
}

bool MatchNameList(const char* name, const char* patternList) {
  if (!name || !*name || !patternList || !*patternList) return false;
  char subject[512];
  StrCopyN(subject, name, sizeof subject - 1);
  for (char* s = subject; *s; ++s)
    if (*s == '_') *s = ' ';
  const char* p = patternList;
  while (*p) {
    const char* end = std::strchr(p, ';');
    size_t len = end ? static_cast<size_t>(end - p) : std::strlen(p);
    char pattern[512];
    StrCopyN(pattern, p, len < sizeof pattern - 1 ? len : sizeof pattern - 1);
    for (char* s = pattern; *s; ++s)
      if (*s == '_') *s = ' ';
    if (*pattern && WildMatch(subject, pattern)) return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

int base64val(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

char* Base64DecodeText(char* text) {
  // The output is never longer than the input (3 bytes per 4), so decoding in
  // place never overtakes the reader.
  const size_t kMaxOut = 4096;
  size_t in = 0, out = 0;
  int group[4];
  int n = 0;
  while (out < kMaxOut) {
    int v = base64val(U(text[in]));
    if (v < 0) break;
    group[n++] = v;
    ++in;
    if (n == 4) {
      unsigned char b[3] = {static_cast<unsigned char>(group[0] << 2 | group[1] >> 4),
                            static_cast<unsigned char>((group[1] & 15) << 4 | group[2] >> 2),
                            static_cast<unsigned char>((group[2] & 3) << 6 | group[3])};
      for (int i = 0; i < 3 && out < kMaxOut; ++i) text[out++] = static_cast<char>(b[i]);
      n = 0;
    }
  }
  if (n >= 2 && out < kMaxOut) text[out++] = static_cast<char>(group[0] << 2 | group[1] >> 4);
  if (n == 3 && out < kMaxOut) text[out++] = static_cast<char>((group[1] & 15) << 4 | group[2] >> 2);
  text[out] = 0;
  return text;
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

char* qpdecode(char* text, bool underscoreIsBlank) {
  char* out = text;
  for (const char* in = text; *in;) {
    if (*in == '=') {
      int hi = HexValue(in[1]);
      int lo = hi >= 0 ? HexValue(in[2]) : -1;
      if (hi >= 0 && lo >= 0) {
        *out++ = static_cast<char>(hi << 4 | lo);
        in += 3;
        continue;
      }
      // A soft line break: "=" then optional blanks then the line end.
      const char* q = in + 1;
      while (*q == ' ' || *q == '\t') ++q;
      if (*q == '\r' && q[1] == '\n') {
        in = q + 2;
        continue;
      }
      if (*q == '\n' || *q == '\r') {
        in = q + 1;
        continue;
      }
      if (!*q) {
        in = q;
        continue;
      }
    }
    *out++ = (underscoreIsBlank && *in == '_') ? ' ' : *in;
    ++in;
  }
  *out = 0;
  return text;
}

char* DecodeEncodedWords(char* text) {
  // The first well-formed word is decoded: a malformed one before it (no
  // charset, an unknown encoding letter, no end) stays as text. The encoding
  // letter is read right after each word's own charset, never from a later
  // word.
  char* start = text;
  char* body = nullptr;
  char* close = nullptr;
  char kind = 0;
  for (;; start += 2) {
    start = std::strstr(start, "=?");
    if (!start) return text;
    char* charsetEnd = std::strchr(start + 2, '?');
    if (!charsetEnd) return text;
    kind = static_cast<char>(AsciiUpper(charsetEnd[1]));
    if (charsetEnd == start + 2 || (kind != 'Q' && kind != 'B') || charsetEnd[2] != '?') continue;
    body = charsetEnd + 3;
    close = std::strstr(body, "?=");
    if (!close) return text;
    break;
  }
  size_t bodyLen = static_cast<size_t>(close - body);
  char decoded[4100];
  if (bodyLen >= sizeof decoded) bodyLen = sizeof decoded - 1;
  std::memcpy(decoded, body, bodyLen);
  decoded[bodyLen] = 0;
  if (kind == 'Q')
    qpdecode(decoded, true);
  else
    Base64DecodeText(decoded);
  size_t decodedLen = std::strlen(decoded);
  char* rest = close + 2;
  // Decoding never lengthens the word, so the text only shrinks.
  std::memmove(start + decodedLen, rest, std::strlen(rest) + 1);
  std::memcpy(start, decoded, decodedLen);
  return text;
}

namespace {

void CopyOut(char* dest, size_t destSize, const char* from, size_t len) {
  if (!destSize) return;
  if (len > destSize - 1) len = destSize - 1;
  std::memcpy(dest, from, len);
  dest[len] = 0;
}

bool AllAccountChars(const char* s) {
  if (!*s) return false;
  for (; *s; ++s)
    if (!((*s >= '0' && *s <= '9') || *s == '[' || *s == ']' || *s == ',')) return false;
  return true;
}

void BracketsToBlanks(char* s) {
  for (; *s; ++s)
    if (*s == '[' || *s == ']') *s = ' ';
}

}  // namespace

char ParseAddress(const char* line, char* name, size_t nameSize, char* address, size_t addressSize) {
  if (nameSize) name[0] = 0;
  if (addressSize) address[0] = 0;
  if (!line) return 0;
  char buf[4096];
  size_t n = 0;
  for (; n < sizeof buf - 1 && line[n]; ++n) buf[n] = line[n];
  buf[n] = 0;
  while (n && (buf[n - 1] == '\r' || buf[n - 1] == '\n')) buf[--n] = 0;
  n = Trim(buf, n);

  // Only the terminators are set: clearing 4 KB per address showed up in
  // every reindex.
  char work[4096];
  char nameTmp[4096];
  work[0] = 0;
  nameTmp[0] = 0;
  // The last "<", ">" and blank and the first "(", in one pass: every
  // sender of a rebuild comes here.
  char *lt = nullptr, *gt = nullptr, *lastBlank = nullptr, *firstOpen = nullptr;
  for (char* p = buf; p < buf + n; ++p) {
    switch (*p) {
      case '<': lt = p; break;
      case '>': gt = p; break;
      case ' ': lastBlank = p; break;
      case '(':
        if (!firstOpen) firstOpen = p;
        break;
      default: break;
    }
  }
  bool angle = lt && gt && lt < gt;
  bool angleAt = angle && std::memchr(lt, '@', static_cast<size_t>(gt - lt));
  const char* lastWord = lastBlank ? lastBlank + 1 : buf;

  auto angleRule = [&] {
    CopyOut(work, sizeof work, lt + 1, static_cast<size_t>(gt - lt - 1));
    size_t head = static_cast<size_t>(lt - buf);
    std::memcpy(nameTmp, buf, head);
    nameTmp[head] = 0;
    std::strcat(nameTmp, gt + 1);
  };

  if (angleAt) {
    angleRule();
  } else if (n && buf[n - 1] == ')' && firstOpen) {
    char* open = firstOpen;
    CopyOut(nameTmp, sizeof nameTmp, open + 1, static_cast<size_t>(buf + n - 1 - open - 1));
    CopyOut(work, sizeof work, buf, static_cast<size_t>(open - buf));
  } else if (AllAccountChars(lastWord)) {
    std::strcpy(work, lastWord);
    BracketsToBlanks(work);
    CopyOut(nameTmp, sizeof nameTmp, buf, static_cast<size_t>(lastWord - buf));
  } else if (n && buf[n - 1] == ']' && lastBlank) {
    std::strcpy(work, lastWord);
    BracketsToBlanks(work);
    CopyOut(nameTmp, sizeof nameTmp, buf, static_cast<size_t>(lastWord - buf));
  } else if (angle) {
    angleRule();
  } else if (n >= 2 && buf[0] == '[' && buf[n - 1] == ']') {
    CopyOut(work, sizeof work, buf + 1, n - 2);
  } else {
    std::strcpy(work, buf);
  }

  size_t addrLength = Trim(work, Length(work));
  const char* addr = work;
  if (StartsWithNoCase(addr, "INTERNET:")) {
    addr += 9;
    addrLength -= 9;
  }
  CopyOut(address, addressSize, addr, addrLength);

  strtrim(nameTmp);
  DecodeEncodedWords(nameTmp);
  char* nm = nameTmp;
  for (char quote : {'"', '\''}) {
    if (*nm == quote) {
      ++nm;
      if (char* end = std::strchr(nm, quote)) *end = 0;
      break;
    }
  }
  CopyOut(name, nameSize, nm, std::strlen(nm));
  return addressSize ? address[0] : 0;
}

bool IsUuencodeLine(const char* line) {
  if (!line || line[0] != 'M') return false;
  size_t n = std::strlen(line);
  if (std::strchr(line, ' ')) return false;
  if (n == 61) return true;
  if (n == 62) return line[61] == '\n';
  if (n == 63) return line[61] == '\r' && line[62] == '\n';
  return false;
}

int NullListCallback(int, int, int, int, int) { return 0; }
