#include "msgbase/msg_fields.h"

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "core/folder_names.h"
#include "core/small_text.h"
#include "core/text1252.h"
#include "msgbase/scan_text.h"

namespace {

bool StartsWith(const char* text, const char* prefix) {
  for (; *prefix; ++prefix, ++text)
    if (*text != *prefix) return false;
  return true;
}

// The text functions below run on every header line and summary candidate;
// they are kept inline rather than calls into the C library's module.
size_t Length(const char* text) {
  const char* p = text;
  while (*p) ++p;
  return static_cast<size_t>(p - text);
}

// Length of the line (of length bytes) without its trailing CR and LF characters.
size_t TextLength(const char* line, size_t length) {
  size_t n = length;
  while (n && (line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
  return n;
}
size_t TextLength(const char* line) { return TextLength(line, Length(line)); }

void TrimLineEnd(char* text, size_t length) {
  size_t n = length;
  while (n && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  text[n] = 0;
}
void TrimLineEnd(char* text) { TrimLineEnd(text, Length(text)); }

// Copies at most size - 1 characters of text (of length bytes), without
// trailing CR, LF and blanks.
void CopyValue(char* dest, size_t size, const char* text, size_t length) {
  size_t n = TextLength(text, length);
  if (n > size - 1) n = size - 1;
  CopyScanBytes(dest, text, n);
  dest[n] = 0;
  TrimLineEnd(dest, n);
}
void CopyValue(char* dest, size_t size, const char* text) { CopyValue(dest, size, text, Length(text)); }

// The value of a header line: after the keyword and any blanks after it.
const char* ValueOf(const char* line, size_t keywordLength) {
  const char* p = line + keywordLength;
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// A line of length bytes.
void FillOnce(char* dest, size_t size, const char* line, size_t length, size_t keywordLength) {
  if (dest[0]) return;
  const char* value = ValueOf(line, keywordLength);
  CopyValue(dest, size, value, length - static_cast<size_t>(value - line));
}

// A blank before the first ":" (or a blank and no ":" at all): the line is
// prose, not a header.
bool BlankBeforeColon(const char* line) {
  for (const char* p = line; *p; ++p) {
    if (*p == ' ') return true;
    if (*p == ':') return false;
  }
  return false;
}

// Plain substring search; the summary rules run it on every candidate line,
// so it stays linear whatever the C library does.
bool Contains(const char* text, const char* needle) {
  for (const char* p = text; *p; ++p)
    if (*p == needle[0] && StartsWith(p, needle)) return true;
  return false;
}

// What one pass over a summary candidate finds; every candidate line is
// tested against all the rules, so they share the walk.
struct LineTraits {
  size_t withLineEnd = 0;  // characters other than CR
  bool blank = false;
  bool punctuation = false;  // ",", ";" or ":"
  bool attribution = false;  // "wrote:", "writes:", "^^^^", "said:" or "say:"
  bool monthWord = false;    // one of " Jan " to " Dec ": an attribution with a date
};

// The characters TraitsOf looks at more closely; most of a line is other
// characters, which only count. Letters are not among them: an attribution
// word is found from the colon that ends it.
struct TraitBytes {
  bool special[256];
  constexpr TraitBytes() : special() {
    for (unsigned char c : {'\r', ' ', ',', ';', ':', '^'}) special[c] = true;
  }
};
constexpr TraitBytes kTraitBytes;

// True when the size characters before p (from line on) are word.
bool Before(const char* line, const char* p, const char* word, size_t size) {
  return static_cast<size_t>(p - line) >= size && std::memcmp(p - size, word, size) == 0;
}

LineTraits TraitsOf(const char* line) {
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  LineTraits t;
  for (const char* p = line; *p; ++p) {
    if (!kTraitBytes.special[static_cast<unsigned char>(*p)]) {
      ++t.withLineEnd;
      continue;
    }
    switch (*p) {
      case '\r': continue;
      case ' ':
        t.blank = true;
        // Every month name starts with a capital from A to S.
        if (!t.monthWord && p[1] >= 'A' && p[1] <= 'S' && p[2] && p[3] && p[4] == ' ')
          for (int m = 0; m < 12; ++m)
            if (p[1] == kMonths[3 * m] && p[2] == kMonths[3 * m + 1] && p[3] == kMonths[3 * m + 2]) t.monthWord = true;
        break;
      case ':':
        t.punctuation = true;
        // "wrote:", "writes:", "said:" or "say:" ending here.
        if (Before(line, p, "wrote", 5) || Before(line, p, "writes", 6) || Before(line, p, "said", 4) ||
            Before(line, p, "say", 3))
          t.attribution = true;
        break;
      case ',':
      case ';': t.punctuation = true; break;
      case '^':
        if (StartsWith(p, "^^^^")) t.attribution = true;
        break;
      default: break;
    }
    ++t.withLineEnd;
  }
  return t;
}

// A line of length bytes.
bool RejectedAsSummary(const char* line, size_t length, const FolderKind& kind) {
  size_t textLength = TextLength(line, length);
  if (textLength == 0) return true;
  for (const char* p : {">", "|", ":", ")", "<<", "\r", "\n"})
    if (StartsWith(line, p)) return true;
  for (const char* p : {"<G>", "<BG>", "<VBG>", ":-", "In-Reply-To:", "X-No-Archive:"})
    if (StartsWithAsciiNoCase(line, p)) return true;
  for (const char* p : {"->", " >", "In article ", "======", "--", "Excerpts from ", "begin ",
                        "Message text written by ", "From:", "**COPIED FROM: >>>"})
    if (StartsWith(line, p)) return true;
  if (kind.signatureName && kind.signatureName[0] && StartsWith(line, kind.signatureName)) {
    unsigned char next = static_cast<unsigned char>(line[Length(kind.signatureName)]);
    if (next && next < 32) return true;
  }
  auto exactly = [&](std::string_view text) { return textLength == text.size() && StartsWith(line, text.data()); };
  if (exactly("There is 1 reply")) return true;
  if (StartsWith(line, "There are ") && std::isdigit(static_cast<unsigned char>(line[10])) &&
      Contains(line, " replies"))
    return true;
  if (exactly("Only the header of this message was collected") ||
      exactly("Only the header of this message was collected.") || exactly("[Mark the message for collection]"))
    return true;
  const LineTraits t = TraitsOf(line);
  for (const char* p : {"Dear ", "Hello ", "Hi ", "Yo "})
    if (StartsWith(line, p) && t.withLineEnd <= 24) return true;
  if (!t.blank && t.punctuation) return true;
  if (kind.mail || kind.news) {
    if (t.attribution) return true;
    if (StartsWithAsciiNoCase(line, "In newsgroup ") || StartsWithAsciiNoCase(line, "In message ")) return true;
  }
  return t.monthWord;
}

// The header keywords the fields come from. A line's keyword ends at its
// first colon, so one look at the line names it.
enum class HeaderKey {
  kNone,
  kMimeVersion,
  kContentType,
  kTransferEncoding,
  kFrom,
  kFm,
  kTo,
  kSubject,
  kSubj,
  kMessageId,
  kDate
};

HeaderKey KeyOf(const char* line) {
  struct Keyword {
    const char* text;  // with its colon
    size_t length;
    HeaderKey key;
  };
  static const Keyword kKeywords[] = {
      {"Mime-Version:", 13, HeaderKey::kMimeVersion},
      {"Content-Type:", 13, HeaderKey::kContentType},
      {"Content-Transfer-Encoding:", 26, HeaderKey::kTransferEncoding},
      {"From:", 5, HeaderKey::kFrom},
      {"Fm:", 3, HeaderKey::kFm},
      {"To:", 3, HeaderKey::kTo},
      {"Subject:", 8, HeaderKey::kSubject},
      {"Subj:", 5, HeaderKey::kSubj},
      {"Message-Id:", 11, HeaderKey::kMessageId},
      {"Date:", 5, HeaderKey::kDate},
  };
  constexpr size_t kLongest = 26;
  size_t colon = 0;
  while (colon < kLongest && line[colon] && line[colon] != ':') ++colon;
  if (line[colon] != ':') return HeaderKey::kNone;
  for (const Keyword& k : kKeywords)
    if (k.length == colon + 1 && StartsWithAsciiNoCase(line, k.text)) return k.key;
  return HeaderKey::kNone;
}

// The one-line fields of a header: the first of each kind counts.
void TakeHeaderField(HeaderKey key, const char* line, size_t lineLength, MessageFields& f) {
  switch (key) {
    case HeaderKey::kFrom: FillOnce(f.sender, sizeof f.sender, line, lineLength, 5); break;
    case HeaderKey::kFm: FillOnce(f.sender, sizeof f.sender, line, lineLength, 3); break;
    case HeaderKey::kTo: FillOnce(f.recipients, sizeof f.recipients, line, lineLength, 3); break;
    case HeaderKey::kSubject: FillOnce(f.subject, sizeof f.subject, line, lineLength, 8); break;
    case HeaderKey::kSubj: FillOnce(f.subject, sizeof f.subject, line, lineLength, 5); break;
    case HeaderKey::kMessageId:
      if (!f.messageId[0]) {
        FillOnce(f.messageId, sizeof f.messageId, line, lineLength, 11);
        if (SameScanText(f.messageId, "<>")) f.messageId[0] = 0;
      }
      break;
    case HeaderKey::kDate: FillOnce(f.date, sizeof f.date, line, lineLength, 5); break;
    default: break;
  }
}

// The summary without a "TITLE: " or "Subject: " label; a header-only notice
// gives way to the subject.
void FinishSummary(MessageFields& f) {
  if (StartsWithAsciiNoCase(f.summary, "TITLE: "))
    std::memmove(f.summary, f.summary + 7, std::strlen(f.summary + 7) + 1);
  else if (StartsWithAsciiNoCase(f.summary, "Subject: "))
    std::memmove(f.summary, f.summary + 9, std::strlen(f.summary + 9) + 1);
  if (StartsWith(f.summary, "*** Header Only ***")) std::memcpy(f.summary, f.subject, sizeof f.summary);
  TrimLineEnd(f.summary);
}

// The reader's quoted-printable line joined with the lines its soft line
// breaks continue into, decoded into decoded (kHeaderBufferSize + 1 bytes).
char* JoinQuotedPrintable(LogReader& r, char* decoded, MessageFields& f) {
  size_t have = r.lineLength;
  std::memcpy(decoded, r.line, have + 1);
  char* line = decoded;
  while (have >= 2 && TextLength(line) && line[TextLength(line) - 1] == '=' && r.remaining > 0) {
    long n = readmsgline(r);
    if (n <= 0) break;
    r.remaining -= n;
    if (IsHeaderOnlyLine(r.line)) f.headerOnlyMarker = true;
    size_t add = r.lineLength;
    if (have + add > kHeaderBufferSize) break;  // the rest is dropped, never overrun
    std::memcpy(line + have, r.line, add + 1);
    have += add;
  }
  qpdecode(line);
  return line;
}

constexpr const char kDefaultContentType[] = "text/plain; charset=us-ascii";
constexpr const char kDefaultEncoding[] = "7bit";
constexpr size_t kUnfoldLimit = 4095;

}  // namespace

FolderKind FolderKindFromName(const char* name) {
  FolderKind kind;
  if (!name) return kind;
  kind.composite = std::strchr(name, '\xFF') != nullptr;
  kind.mail = ismailfolder(name);
  kind.news = isnewsfolder(name);
  bool hasService = std::strchr(name, ':') != nullptr;
  kind.dravenet = hasService && sameservice(name, "dvn");
  kind.quorl = hasService && sameservice(name, "quorl");
  kind.local = hasService && sameservice(name, "local");
  return kind;
}

bool IsHeaderLine(const char* line) {
  if (StartsWithNoCase(line, "From ") && std::strchr(line, '@')) return true;
  static const char* const kKeywords[] = {
      "Mime-Version:", "Return-Path:", "Newsgroups:", "Received:", "Article:", "Subject:", "From:", "Date:", "Path:"};
  for (const char* k : kKeywords)
    if (StartsWithNoCase(line, k)) return Contains(line, ": ") || Contains(line, ":\t");
  return false;
}

bool IsHeaderOnlyLine(const char* line) {
  return StartsWith(line, "Only the header of this message was collected") || StartsWith(line, "*** Header Only ***");
}

int GetMessageFields(LogReader& r, const FolderKind& kind, MessageFields& f) {
  std::memset(&f, 0, sizeof f);
  // The current line: the reader's own, or the joined and decoded copy of a
  // quoted-printable line.
  char* line = r.line;
  size_t lineLength = 0;  // bytes in line
  // Not static: walks on several threads read fields at once.
  char decoded[kHeaderBufferSize + 1];

  bool headerMode = false, mime = false, haveSummary = false;
  bool quotedPrintable = false, firstLine = true;
  bool textRules = false;  // the loop below runs, not the composite rule
  char partSeparator[260];
  partSeparator[0] = 0;

  // Reads the next body line; false at the end of the body.
  auto next = [&]() {
    if (r.remaining <= 0) return false;
    // Once the summary is settled and the text is plain, a line matters only
    // when it is a header-only notice or a part separator; the others are
    // passed over without being copied.
    if (haveSummary && !headerMode) {
      SkipUnwantedLines(r, mime && partSeparator[0] ? "O*-" : "O*", &r.remaining);
      if (r.remaining <= 0) return false;
    } else if (textRules && !headerMode && !quotedPrintable) {
      // Quoted text is never the summary, never a notice or a part
      // separator, and no header line: it is passed without being copied.
      if (SkipLinesStartingWith(r, '>', &r.remaining) > 0) firstLine = false;
      if (r.remaining <= 0) return false;
    }
    long n = readmsgline(r);
    if (n <= 0) return false;
    r.remaining -= n;
    line = r.line;
    lineLength = r.lineLength;
    if (IsHeaderOnlyLine(line)) f.headerOnlyMarker = true;
    return true;
  };

  if (kind.composite) {
    if (next()) {
      CopyValue(f.subject, sizeof f.subject, line);
      CopyValue(f.summary, sizeof f.summary, line);
    }
    return 1;
  }

  headerMode = kind.mail || (!kind.local && (kind.news || kind.dravenet));
  bool inIncluded = false, pending = false;
  textRules = true;
  char contentType[kUnfoldLimit + 1];
  char encoding[100];
  std::strcpy(contentType, kDefaultContentType);
  std::strcpy(encoding, kDefaultEncoding);

  auto bodyBegins = [&]() {
    headerMode = false;
    return !StartsWithAsciiNoCase(encoding, "base64");
  };

  for (;;) {
    if (!pending && !next()) break;
    pending = false;
    if (firstLine && !headerMode && IsHeaderLine(line)) headerMode = true;
    firstLine = false;

    if (mime && partSeparator[0] && StartsWith(line, partSeparator)) {
      std::strcpy(contentType, kDefaultContentType);
      std::strcpy(encoding, kDefaultEncoding);
      quotedPrintable = false;
      headerMode = true;
      continue;
    }

    if (headerMode) {
      if (TextLength(line, lineLength) == 0) {
        if (!bodyBegins()) break;
        continue;
      }
      // An envelope line ("From " and an address) is not a "From:" field, and
      // the colons of its time must not end the header.
      if (StartsWith(line, "From ")) continue;
      if (StartsWith(line, "-- PRIVATE MESSAGE --") || StartsWith(line, "-- HOLD MESSAGE --")) continue;
      bool prose = line[0] != ' ' && line[0] != '\t' && line[0] != '>' && BlankBeforeColon(line);
      if (prose) {
        if (!bodyBegins()) break;
        // falls through to the text rules below
      } else {
        const HeaderKey key = KeyOf(line);
        if (key == HeaderKey::kMimeVersion) {
          mime = true;
        } else if (key == HeaderKey::kContentType) {
          CopyValue(contentType, sizeof contentType, ValueOf(line, 13));
          while (next()) {
            if (line[0] != ' ' && line[0] != '\t') {
              pending = true;
              break;
            }
            size_t have = std::strlen(contentType);
            if (have < kUnfoldLimit) {
              char piece[kUnfoldLimit + 1];
              CopyValue(piece, sizeof piece, line);
              StrCatN(contentType, piece, kUnfoldLimit - have);
            }
          }
          if (stristr(contentType, "multipart/")) {
            char boundary[240];
            if (GetHeaderParam(contentType, "boundary", boundary, sizeof boundary) && boundary[0]) {
              std::strcpy(partSeparator, "--");
              std::strcat(partSeparator, boundary);
            }
          }
        } else if (key == HeaderKey::kTransferEncoding) {
          CopyValue(encoding, sizeof encoding, ValueOf(line, 26));
          if (stristr(encoding, "quoted-printable")) quotedPrintable = true;
        } else {
          TakeHeaderField(key, line, lineLength, f);
        }
        continue;
      }
    }

    // Text mode.
    if (quotedPrintable) {
      line = JoinQuotedPrintable(r, decoded, f);
      lineLength = Length(line);
    }
    if (haveSummary) continue;
    if (inIncluded) {
      if (StartsWith(line, "- ----- End Included Message -----")) inIncluded = false;
      continue;
    }
    if (StartsWith(line, "- ----- Begin Included Message -----")) {
      inIncluded = true;
      continue;
    }
    if (!RejectedAsSummary(line, lineLength, kind)) {
      CopyValue(f.summary, sizeof f.summary, line, lineLength);
      haveSummary = true;
    }
  }

  FinishSummary(f);
  return 1;
}
