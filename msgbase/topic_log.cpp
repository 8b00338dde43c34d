#include "msgbase/topic_log.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <emmintrin.h>
#endif

#include "msgbase/scan_text.h"

namespace {

constexpr const char kReadErrorText[] = "Unable to read message file.  Possible index file error.";
constexpr long kMaxStoredCRs = 4096;

// Scrambled folders store every byte with its two halves exchanged. Every
// byte of the block is swapped, a zero byte included, so text after a stray
// NUL is not left scrambled.
void SwapBlockNibbles(char* bytes, long length) {
  for (long i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    bytes[i] = static_cast<char>((c << 4) | (c >> 4));
  }
}

// Byte scans over the block. Every byte of a log passes through them, so
// where the processor has 16-byte vectors (all it meets in practice) the
// bulk goes by vectors; the word-at-a-time forms give the same answers
// elsewhere and take what the vectors leave.
// Copies the ordinary bytes (above CR) from p on to out, at most limit of
// them and never past end: how many. Up to room bytes of out may be written,
// past the bytes copied too.
using OrdinaryCopy = long (*)(const unsigned char* p, const unsigned char* end, char* out, size_t room, long limit);

constexpr std::uintptr_t kOnes = ~std::uintptr_t(0) / 255;
constexpr std::uintptr_t kHigh = kOnes * 128;

// Non-zero when some byte of w is zero.
inline std::uintptr_t ZeroBytes(std::uintptr_t w) { return (w - kOnes) & ~w & kHigh; }

// The first byte at or after p that is CR or below (LF, TAB, NUL and the other
// control characters), or end.
const unsigned char* SkipOrdinaryBytesByWord(const unsigned char* p, const unsigned char* end) {
  using Word = std::uintptr_t;
  while (end - p >= static_cast<long>(sizeof(Word))) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    if ((w - kOnes * ('\r' + 1)) & ~w & kHigh) break;  // some byte is CR or below
    p += sizeof w;
  }
  while (p<end&& * p> '\r') ++p;
  return p;
}

long CopyOrdinaryBytesByWord(const unsigned char* p, const unsigned char* end, char* out, size_t, long limit) {
  long n = static_cast<long>(SkipOrdinaryBytesByWord(p, end) - p);
  if (n > limit) n = limit;
  std::memcpy(out, p, static_cast<size_t>(n));
  return n;
}

// The first CR or LF at or after p, or end.
const unsigned char* FindLineBreakByWord(const unsigned char* p, const unsigned char* end) {
  using Word = std::uintptr_t;
  while (end - p >= static_cast<long>(sizeof(Word))) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    if (ZeroBytes(w ^ (kOnes * '\n')) | ZeroBytes(w ^ (kOnes * '\r'))) break;
    p += sizeof w;
  }
  while (p < end && *p != '\n' && *p != '\r') ++p;
  return p;
}

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define PELMORA_VECTOR_SCAN 1
// Stores each vector as it looks at it, so a line is copied in the same pass
// that finds its end, with no call into the C library for the copy.
__attribute__((target("sse2"))) long CopyOrdinaryBytesByVector(const unsigned char* p, const unsigned char* end,
                                                               char* out, size_t room, long limit) {
  const __m128i cr = _mm_set1_epi8('\r');
  long n = 0;
  while (end - p - n >= 16 && room >= static_cast<size_t>(n) + 16 && n < limit) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), v);
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, cr), v));  // bytes up to CR
    if (mask) {
      n += __builtin_ctz(static_cast<unsigned>(mask));
      return n < limit ? n : limit;
    }
    n += 16;
  }
  if (n >= limit) return limit;
  while (p + n < end && n < limit && p[n] > '\r') {
    out[n] = static_cast<char>(p[n]);
    ++n;
  }
  return n;
}

unsigned CountBits16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

// Bits from..to-1 of a 16-bit mask (0 <= from <= to <= 16).
inline unsigned BitRange(unsigned from, unsigned to) { return ((1u << to) - 1) & ~((1u << from) - 1); }

// SkipUnwantedLines over whole 16-byte vectors: every LF of a vector ends a
// line without a call or a byte loop. line starts a line that may be passed;
// returns where the passing stopped (before the first line it may not pass,
// or within the last 15 bytes, which the caller finishes).
__attribute__((target("sse2"))) const unsigned char* PassLinesByVector(const unsigned char* line,
                                                                       const unsigned char* end, const char* wanted,
                                                                       long* remaining, long* passed) {
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  long crsBefore = 0;  // CRs of the current line in the vectors already passed
  for (const unsigned char* q = line; end - q >= 16; q += 16) {
    if (q - line > kMaxLineCount) break;  // the plain reader splits it
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
    const unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
    unsigned from = line > q ? static_cast<unsigned>(line - q) : 0;  // 0: the line began earlier
    while (ends) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(ends));
      ends &= ends - 1;
      const long bytes = static_cast<long>(q + bit + 1 - line);
      if (bytes > kMaxLineCount) return line;
      const long count = bytes - crsBefore - static_cast<long>(crs ? CountBits16(crs & BitRange(from, bit)) : 0);
      *passed += count;
      if (remaining) *remaining -= count;
      line = q + bit + 1;
      crsBefore = 0;
      from = bit + 1;
      if (line >= end || (remaining && *remaining <= 0)) return line;
      for (const char* w = wanted; *w; ++w)
        if (*line == static_cast<unsigned char>(*w)) return line;
    }
    if (crs) crsBefore += CountBits16(crs & BitRange(from, 16));
  }
  return line;
}

// Adds up the per-lane counts and clears them.
__attribute__((target("sse2"))) inline long SettleByteCounts(__m128i& counts) {
  const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
  counts = _mm_setzero_si128();
  return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
}

// The bulk of a body for PassLinesByVector: 64 bytes a step, with no look
// at single lines. A step is taken whole while no line in it starts with a
// wanted byte, the characters through its end stay below *remaining and no
// line can reach the line limit; any other step is left, from the line it
// falls in, to the exact walk. line starts a line that may be passed (its
// first byte is checked by the caller); returns the start of a line, with
// *passed and *remaining counting the lines passed before it. end - line
// must leave a readable byte after every step (the block's terminator).
__attribute__((target("sse2"))) const unsigned char* PassBodyByVector(const unsigned char* const line,
                                                                      const unsigned char* end, const char* wanted,
                                                                      long* remaining, long* passed) {
  size_t kinds = 0;
  while (wanted[kinds]) ++kinds;
  if (kinds == 0 || kinds > 3) return line;
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  const __m128i w0 = _mm_set1_epi8(wanted[0]), w1 = _mm_set1_epi8(wanted[kinds > 1 ? 1 : 0]),
                w2 = _mm_set1_epi8(wanted[kinds > 2 ? 2 : 0]);
  const long budget = remaining ? *remaining : LONG_MAX;
  const unsigned char* q = line;
  const unsigned char* lastBreakStep = line;  // a step holding a LF, or the start
  long crs = 0;                               // CRs in line..q
  __m128i crCounts = _mm_setzero_si128();     // CRs of the steps not yet in crs, per byte lane
  int stepsCounted = 0;
  auto settleCrs = [&]() __attribute__((target("sse2"))) {
    crs += SettleByteCounts(crCounts);
    stepsCounted = 0;
  };
  // One byte past each step is read: the wanted test looks at the byte after a LF.
  while (end - q > 64) {
    // A line ending in this step began after a LF of lastBreakStep or
    // later (or at line): it may be passed only when it cannot exceed the
    // limit, at which the plain reader splits it.
    if (q + 64 - lastBreakStep > kMaxLineCount) break;
    if (q + 64 - line - crs > budget - 1) {
      settleCrs();
      if (q + 64 - line - crs > budget - 1) break;
    }
    __m128i stop = _mm_setzero_si128(), breaks = _mm_setzero_si128(), crStep = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i));
      const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i + 1));
      const __m128i isLf = _mm_cmpeq_epi8(v, lf);
      const __m128i isWanted =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(after, w0), _mm_cmpeq_epi8(after, w1)), _mm_cmpeq_epi8(after, w2));
      stop = _mm_or_si128(stop, _mm_and_si128(isLf, isWanted));
      breaks = _mm_or_si128(breaks, isLf);
      crStep = _mm_sub_epi8(crStep, _mm_cmpeq_epi8(v, cr));
    }
    if (_mm_movemask_epi8(stop)) break;
    crCounts = _mm_add_epi8(crCounts, crStep);
    if (++stepsCounted == 60) settleCrs();  // each lane gains at most 4 a step
    if (_mm_movemask_epi8(breaks)) lastBreakStep = q;
    q += 64;
  }
  settleCrs();
  // Back to the start of the line q stands in: the exact walk goes on from
  // there, and those bytes are not passed yet.
  const unsigned char* at = q;
  while (at > line && at[-1] != '\n') {
    --at;
    if (*at == '\r') --crs;
  }
  const long count = static_cast<long>(at - line) - crs;
  *passed += count;
  if (remaining) *remaining -= count;
  return at;
}

__attribute__((target("sse2"))) const unsigned char* FindLineBreakByVector(const unsigned char* p,
                                                                           const unsigned char* end) {
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
    if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
  return FindLineBreakByWord(p, end);
}

bool HaveVectors() {
#if defined(__SSE2__)
  return true;
#else
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2");
#endif
}
// Asked on first use, so a reader used while other modules start works too.
bool Vectors() {
  static const bool vectors = HaveVectors();
  return vectors;
}
#else
bool Vectors() { return false; }
#endif

// The first CR or LF at or after p, or end.
const unsigned char* FindLineBreak(const unsigned char* p, const unsigned char* end) {
#ifdef PELMORA_VECTOR_SCAN
  if (Vectors()) return FindLineBreakByVector(p, end);
#endif
  return FindLineBreakByWord(p, end);
}

// The place after the line at p when it lies whole before end, its count
// (its bytes less its CRs) added to passed and taken from remaining. Null
// for a line that may reach the line limit or runs past end: the plain
// reader takes those, and splits them.
const unsigned char* PassWholeLine(const unsigned char* p, const unsigned char* end, long* passed, long* remaining) {
  const unsigned char* limit = end - p > kMaxLineCount ? p + kMaxLineCount : end;
  const unsigned char* q = p;
  long crs = 0;
  for (;;) {
    q = FindLineBreak(q, limit);
    if (q >= limit || *q == '\n') break;
    ++crs;
    ++q;
  }
  if (q >= limit) return nullptr;
  const long count = static_cast<long>(q + 1 - p) - crs;
  *passed += count;
  if (remaining) *remaining -= count;
  return q + 1;
}

OrdinaryCopy CopyOrdinaryBytes() {
#ifdef PELMORA_VECTOR_SCAN
  if (Vectors()) return CopyOrdinaryBytesByVector;
#endif
  return CopyOrdinaryBytesByWord;
}

char* BlockBuffer(LogReader& r) { return r.largeBlock ? r.largeBlock : r.block; }

void ReportReadError(LogReader& r) {
  if (!r.endOrError && r.notices.box) r.notices.box(kReadErrorText);
  r.endOrError = true;
}

// Reads the next block at the source's position. 1 loaded, 0 end of file,
// -1 read error.
int LoadNextBlock(LogReader& r) {
  char* block = BlockBuffer(r);
  long n = r.source.read ? r.source.read(r.source.context, block, static_cast<size_t>(r.blockCapacity)) : -1;
  if (n < 0 || n > r.blockCapacity) {
    r.blockLength = 0;
    r.position = 0;
    ReportReadError(r);
    return -1;
  }
  if (n == 0) return 0;
  r.blockOffset = r.filePosition;
  r.filePosition += n;
  r.blockLength = n;
  r.position = 0;
  r.blockLoaded = true;
  block[n] = 0;
  if (r.scrambled) SwapBlockNibbles(block, n);
  return 1;
}

bool StartsWith(const char* text, const char* prefix) {
  for (; *prefix; ++prefix, ++text)
    if (*text != *prefix) return false;
  return true;
}

// The few text functions every header goes through, kept inline: the C
// library's are calls into another module on the target, and its strtol
// consults the locale.
size_t TextLength(const char* text) {
  const char* p = text;
  while (*p) ++p;
  return static_cast<size_t>(p - text);
}

const char* FindText(const char* text, const char* needle) {
  for (; *text; ++text)
    if (*text == *needle && StartsWith(text, needle)) return text;
  return nullptr;
}

// A decimal number as strtol reads it in base 10: leading white space, a
// sign, the digits; out of range it gives the nearest limit. *end is text
// when there are no digits.
long ParseDecimal(const char* text, const char** end) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') {
    *end = text;
    return 0;
  }
  const unsigned long limit =
      negative ? 0UL - static_cast<unsigned long>(LONG_MIN) : static_cast<unsigned long>(LONG_MAX);
  unsigned long magnitude = 0;
  bool overflow = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    unsigned long digit = static_cast<unsigned long>(*p - '0');
    if (overflow || magnitude > (limit - digit) / 10)
      overflow = true;
    else
      magnitude = magnitude * 10 + digit;
  }
  *end = p;
  if (overflow) return negative ? LONG_MIN : LONG_MAX;
  return negative ? static_cast<long>(0UL - magnitude) : static_cast<long>(magnitude);
}

// Appends a line of n bytes to the header block; false when the block would
// reach its limit, which makes the header invalid.
bool AppendToHeader(char* header, size_t& used, const char* line, size_t n) {
  if (used + n >= kHeaderBufferSize) return false;
  CopyScanBytes(header + used, line, n + 1);
  used += n;
  return true;
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int MonthFromName(const char* name) {
  for (int i = 0; i < 12; ++i)
    if (std::strlen(name) == 3 && std::toupper(static_cast<unsigned char>(name[0])) == kMonths[i][0] &&
        std::tolower(static_cast<unsigned char>(name[1])) == kMonths[i][1] &&
        std::tolower(static_cast<unsigned char>(name[2])) == kMonths[i][2])
      return i + 1;
  return 0;
}

bool ValidHeader(const MessageHeader& h, long statedNumber) {
  const char* slash = h.folder;
  while (*slash && *slash != '/') ++slash;
  if (!*slash || !slash[1]) return false;
  if (!h.author[0]) return false;
  // A negative number would sort before every real message; the log never
  // states one, so it is hostile or damaged text.
  if (statedNumber < 0 || statedNumber >= kMaxMessageNumber) return false;
  return true;
}

// ">>>folder number author(size)dMonyy hh:mm [cParent]"
bool ParseSingleLine(const char* rest, MessageHeader& h, long& statedNumber) {
  char folder[101] = "", author[201] = "", dateToken[21] = "", fifth[10] = "";
  long number = 0;
  int fields = std::sscanf(rest, "%100s %ld %200s %20s %9s", folder, &number, author, dateToken, fifth);
  if (fields < 4) return false;
  std::memcpy(h.folder, folder, sizeof folder);
  statedNumber = number;
  h.number = number;
  char* open = std::strchr(author, '(');
  if (open) {
    *open = 0;
    h.size = std::strtol(open + 1, nullptr, 10);
    if (h.size < 0) h.size = 0;
  }
  std::memcpy(h.author, author, sizeof author);
  if (fifth[0] == 'c') {
    char digits[11] = "";
    size_t n = 0;
    for (const char* p = fifth + 1; *p && n < 10; ++p)
      if (std::isdigit(static_cast<unsigned char>(*p))) digits[n++] = *p;
    digits[n] = 0;
    h.parent = std::strtol(digits, nullptr, 10);
    if (h.parent == 0) h.parent = -1;
  }
  // The date follows the ")" in the line itself.
  const char* close = std::strchr(rest, ')');
  if (close) {
    int day = 0, year = 0, hour = 0, minute = 0;
    char month[4] = "";
    if (std::sscanf(close + 1, "%2d%3[A-Za-z]%2d %d:%d", &day, month, &year, &hour, &minute) == 5) {
      int m = MonthFromName(month);
      if (m) {
        if (year < 70)
          year += 2000;
        else if (year < 1900)
          year += 1900;
        h.day = day;
        h.month = m;
        h.year = year;
        h.hour = hour;
        h.minute = minute;
        std::snprintf(h.dateText, sizeof h.dateText, "%02d-%s-%04d %d:%02d", day, kMonths[m - 1], year, hour, minute);
      }
    }
  }
  return true;
}

// Reads text the way the C library's formatted input does for the few
// directives the header patterns use; the library's own is slow on some
// platforms, and every message passes through here.
struct PatternScanner {
  const char* p;
  static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  void SkipSpace() {
    while (IsSpace(*p)) ++p;
  }
  // Format text: a blank matches any run of white space, other characters
  // must match exactly.
  bool Literal(const char* format) {
    for (; *format; ++format) {
      if (*format == ' ')
        SkipSpace();
      else if (*p == *format)
        ++p;
      else
        return false;
    }
    return true;
  }
  // "%Ns"
  bool Word(char* out, size_t width) {
    SkipSpace();
    size_t n = 0;
    while (*p && !IsSpace(*p) && n < width) out[n++] = *p++;
    out[n] = 0;
    return n > 0;
  }
  // "%ld"
  bool Long(long* value) {
    SkipSpace();
    const char* digits = p + (*p == '+' || *p == '-');
    if (*digits < '0' || *digits > '9') return false;
    *value = ParseDecimal(p, &p);
    return true;
  }
};

}  // namespace

int ScanHeaderLine(const char* text, char* folder, size_t folderSize, long* number, char* author, size_t authorSize,
                   long* size) {
  if (folderSize < 2 || authorSize < 2) return 0;
  const size_t folderWidth = folderSize - 1 < 100 ? folderSize - 1 : 100;
  const size_t authorWidth = authorSize - 1 < 200 ? authorSize - 1 : 200;
  PatternScanner s{text};
  // "%100s #%ld, from %200s %ld", and when that yields only two fields
  // "%100s #%ld, %200s %ld"; both start alike, so the second goes on from
  // the number.
  if (!s.Word(folder, folderWidth)) return 0;
  if (!s.Literal(" #") || !s.Long(number)) return 1;
  const char* afterNumber = s.p;
  int fields = 2;
  if (s.Literal(", from ") && s.Word(author, authorWidth)) {
    fields = 3;
  } else {
    s.p = afterNumber;
    if (!s.Literal(", ") || !s.Word(author, authorWidth)) return 2;
    fields = 3;
  }
  if (s.Literal(" ") && s.Long(size)) ++fields;
  return fields;
}

namespace {

// "folder #number, from author, size chars, date"
bool ParseHeaderLine(const char* text, MessageHeader& h, long& statedNumber) {
  long number = 0, size = 0;
  if (ScanHeaderLine(text, h.folder, sizeof h.folder, &number, h.author, sizeof h.author, &size) != 4) return false;
  size_t n = TextLength(h.author);
  if (n) h.author[n - 1] = 0;  // the comma after the author
  statedNumber = number;
  h.number = number;
  h.size = size < 0 ? 0 : size;
  const char* chars = FindText(text, " chars, ");
  if (chars) {
    const char* from = chars + 8;
    size_t len = 0;
    while (len < 90 && from[len] && from[len] != '\r' && from[len] != '\n') ++len;
    std::memcpy(h.dateText, from, len);
    h.dateText[len] = 0;
  }
  return true;
}

// "Comment to %ld" or "This is a comment to message %ld".
bool ParseCommentLine(const char* text, long& parent) {
  const char* rest = nullptr;
  if (StartsWith(text, "Comment to"))
    rest = text + 10;
  else if (StartsWith(text, "This is a comment to message"))
    rest = text + 28;
  if (!rest) return false;
  const char* end = nullptr;
  long n = ParseDecimal(rest, &end);
  if (end == rest) return false;
  parent = n == 0 ? -1 : n;
  return true;
}

}  // namespace

void LogReaderOpen(LogReader& r, const LogSource& source, bool scrambled) {
  r.largeBlock = nullptr;
  r.blockCapacity = static_cast<long>(kLogBlockSize);
  r.source = source;
  r.scrambled = scrambled;
  r.open = true;
  r.blockLength = r.position = r.blockOffset = 0;
  r.filePosition = 0;
  r.blockLoaded = false;
  r.endOrError = false;
  r.remaining = 0;
  r.line[0] = 0;
  r.lineLength = 0;
  if (r.source.seek) r.source.seek(r.source.context, 0);
}

void LogReaderClose(LogReader& r) {
  r.open = false;
  r.blockLength = r.position = r.blockOffset = r.filePosition = 0;
  r.blockLoaded = false;
  r.line[0] = 0;
  r.lineLength = 0;
}

long readmsgline(LogReader& r) {
  if (!r.open) return 0;
  const OrdinaryCopy copyOrdinaryBytes = CopyOrdinaryBytes();
  size_t stored = 0;
  long count = 0, storedCRs = 0;
  bool done = false;
  char* line = r.line;
  while (!done) {
    if (r.position >= r.blockLength) {
      int loaded = LoadNextBlock(r);
      if (loaded < 0) {
        r.line[0] = 0;
        r.lineLength = 0;
        return 0;
      }
      if (loaded == 0) break;  // end of file: what was gathered is still a line
    }
    const unsigned char* const base = reinterpret_cast<const unsigned char*>(BlockBuffer(r));
    const unsigned char* p = base + r.position;
    const unsigned char* end = base + r.blockLength;
    while (p < end) {
      // Ordinary bytes (above CR) are copied in runs; only the few control
      // bytes take the slow path below.
      const long n = copyOrdinaryBytes(p, end, line + stored, sizeof r.line - 1 - stored, kMaxLineCount - count);
      if (n > 0) {
        stored += static_cast<size_t>(n);
        count += n;
        p += n;
        if (count >= kMaxLineCount) {
          done = true;
          break;
        }
        if (p >= end) break;
      }
      unsigned char c = *p++;
      if (c == '\r') {
        // CRs are not counted; beyond a bound they are not kept either, so a
        // long run of them cannot overrun the line.
        if (storedCRs < kMaxStoredCRs) {
          ++storedCRs;
          line[stored++] = '\r';
        }
        continue;
      }
      if (c == 0 || c == '\t') c = ' ';
      line[stored++] = static_cast<char>(c);
      ++count;
      if (c == '\n' || count >= kMaxLineCount) {
        done = true;
        break;
      }
    }
    r.position = static_cast<long>(p - base);
  }
  line[stored] = 0;
  r.lineLength = stored;
  if (count) r.endOrError = false;
  return count;
}

long SkipUnwantedLines(LogReader& r, const char* wanted, long* remaining) {
  if (!r.open) return 0;
  const unsigned char* base = reinterpret_cast<const unsigned char*>(BlockBuffer(r));
  const unsigned char* p = base + r.position;
  const unsigned char* const end = base + r.blockLength;
  long passed = 0;
#ifdef PELMORA_VECTOR_SCAN
  // Long runs of body text go by whole steps first, then the bulk of the
  // lines by vectors, each tried once; the lines they leave (near the
  // block's end, or one they stop before) go by the loop below.
  using VectorPass = const unsigned char* (*)(const unsigned char*, const unsigned char*, const char*, long*, long*);
  static constexpr VectorPass kVectorPasses[] = {PassBodyByVector, PassLinesByVector};
  size_t vectorPass = Vectors() ? 0 : std::size(kVectorPasses);
#endif
  while (p < end && (!remaining || *remaining > 0)) {
    // The plain reader stores a NUL or TAB first byte as a blank, which no
    // caller wants, so the raw byte decides.
    bool stop = false;
    for (const char* w = wanted; *w && !stop; ++w) stop = *p == static_cast<unsigned char>(*w);
    if (stop) break;
#ifdef PELMORA_VECTOR_SCAN
    // A pass stops at a line start, whose first byte is tested above like
    // any other.
    const unsigned char* at = p;
    while (at == p && vectorPass < std::size(kVectorPasses))
      at = kVectorPasses[vectorPass++](p, end, wanted, remaining, &passed);
    if (at != p) {
      p = at;
      continue;
    }
#endif
    const unsigned char* next = PassWholeLine(p, end, &passed, remaining);
    if (!next) break;
    p = next;
  }
  r.position = static_cast<long>(p - base);
  if (passed) r.endOrError = false;
  return passed;
}

long SkipLinesStartingWith(LogReader& r, char first, long* remaining) {
  if (!r.open) return 0;
  const unsigned char* base = reinterpret_cast<const unsigned char*>(BlockBuffer(r));
  const unsigned char* p = base + r.position;
  const unsigned char* const end = base + r.blockLength;
  long passed = 0;
  while (p < end && *p == static_cast<unsigned char>(first) && (!remaining || *remaining > 0)) {
    const unsigned char* next = PassWholeLine(p, end, &passed, remaining);
    if (!next) break;
    p = next;
  }
  r.position = static_cast<long>(p - base);
  if (passed) r.endOrError = false;
  return passed;
}

void LogReaderUseBlock(LogReader& r, char* buffer, long capacity) {
  if (!buffer || capacity < 1) {
    buffer = nullptr;
    capacity = static_cast<long>(kLogBlockSize);
  }
  if (!r.open) {
    r.largeBlock = buffer;
    r.blockCapacity = capacity;
    return;
  }
  // The loaded block belongs to the old buffer: the reader goes on from the
  // same offset with nothing loaded.
  const long offset = msgtell(r);
  r.largeBlock = buffer;
  r.blockCapacity = capacity;
  r.blockLoaded = false;
  r.blockLength = r.position = 0;
  r.blockOffset = offset;
  if (r.filePosition != offset) {
    long at = r.source.seek ? r.source.seek(r.source.context, offset) : -1;
    r.filePosition = at < 0 ? offset : at;
    r.blockOffset = r.filePosition;
  }
}

long msgtell(const LogReader& r) {
  if (!r.open) return 0;
  return r.blockOffset + r.position;
}

long msgseek(LogReader& r, long offset) {
  if (!r.open || offset < 0) return -1;
  if (r.blockLoaded && offset >= r.blockOffset && offset <= r.blockOffset + r.blockLength) {
    r.position = offset - r.blockOffset;
    return r.blockOffset;
  }
  long at = r.source.seek ? r.source.seek(r.source.context, offset) : -1;
  if (at != offset) {
    if (r.notices.status) r.notices.status("Seek error");
    at = r.source.seek ? r.source.seek(r.source.context, 0) : -1;
    if (at != 0) {
      r.blockLength = r.position = 0;
      r.blockLoaded = false;
      ReportReadError(r);
      return -1;
    }
  }
  r.filePosition = at;
  char* block = BlockBuffer(r);
  long n = r.source.read ? r.source.read(r.source.context, block, static_cast<size_t>(r.blockCapacity)) : -1;
  if (n < 0 || n > r.blockCapacity) {
    r.blockLength = r.position = 0;
    r.blockLoaded = false;
    ReportReadError(r);
    return -1;
  }
  r.blockOffset = at;
  r.filePosition = at + n;
  r.blockLength = n;
  r.position = 0;
  r.blockLoaded = true;
  block[n] = 0;
  if (r.scrambled) SwapBlockNibbles(block, n);
  return r.blockOffset;
}

long ParseMessageHeader(LogReader& r, MessageHeader* out) {
  MessageHeader h;
  char* header = r.headerScratch;
  size_t used = 0;
  header[0] = 0;
  if (!AppendToHeader(header, used, r.line, TextLength(r.line))) return 0;
  long stated = 0;

  if (StartsWith(r.line, ">>>")) {
    if (!ParseSingleLine(r.line + 3, h, stated) || !ValidHeader(h, stated)) return 0;
    h.singleLine = true;
  } else {
    if (readmsgline(r) == 0) return 0;
    if (!AppendToHeader(header, used, r.line, r.lineLength)) return 0;
    if (!ParseHeaderLine(r.line, h, stated) || !ValidHeader(h, stated)) return 0;
    bool warned = false;
    bool first = true;
    for (;;) {
      if (readmsgline(r) == 0) return 0;  // the log ends inside the header
      if (!AppendToHeader(header, used, r.line, r.lineLength)) return 0;
      if (used >= kHeaderBufferSize - 50 && !warned && !r.suppressHeaderWarning) {
        warned = true;
        if (r.notices.box) {
          char text[64];
          std::snprintf(text, sizeof text, "\nCorrupted header in message %ld\n", h.number);
          r.notices.box(text);
        }
      }
      if (first) {
        first = false;
        if (ParseCommentLine(r.line, h.parent)) continue;
      }
      if (r.line[0] == '-') break;
    }
  }
  if (h.number == 0) h.number = -1;
  CopyScanBytes(r.line, header, used + 1);
  r.lineLength = used;
  r.remaining = h.size;
  if (out) *out = h;
  return h.number;
}

long IsMessageStart(LogReader& r, MessageHeader* header) {
  const char* p = r.line;
  int equals = 0;
  while (*p == '=' && equals < 9) {
    ++p;
    ++equals;
  }
  if (equals < 9 && !StartsWith(r.line, ">>>")) return 0;
  long offset = msgtell(r);
  char* saved = r.savedLine;
  size_t savedLength = TextLength(r.line);
  CopyScanBytes(saved, r.line, savedLength + 1);
  long number = ParseMessageHeader(r, header);
  if (!number) {
    msgseek(r, offset);
    std::memcpy(r.line, saved, savedLength + 1);
    r.lineLength = savedLength;
  }
  return number;
}

long ReadMessageStartAt(LogReader& r, long offset, MessageHeader* header) {
  r.remaining = 0;
  if (msgseek(r, offset) < 0 || msgtell(r) != offset) return 0;
  if (readmsgline(r) == 0) return 0;
  return IsMessageStart(r, header);
}
