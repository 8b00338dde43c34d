#include "msgbase/msg_fields.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

#include "core/folder_names.h"
#include "core/small_text.h"
#include "core/text1252.h"

namespace {

bool StartsWith(const char* text, const char* prefix) {
  for (; *prefix; ++prefix, ++text)
    if (*text != *prefix) return false;
  return true;
}

// The 1252 upper-case map as a table: every header line is tested against
// a dozen keywords.
struct UpperMap {
  unsigned char c[256];
  UpperMap() {
    for (int i = 0; i < 256; ++i) c[i] = ToUpper1252(static_cast<unsigned char>(i));
  }
};
const UpperMap kUpper;

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++prefix, ++text)
    if (kUpper.c[static_cast<unsigned char>(*text)] != kUpper.c[static_cast<unsigned char>(*prefix)]) return false;
  return true;
}

// Length of the line without its trailing CR and LF characters.
size_t TextLength(const char* line) {
  size_t n = std::strlen(line);
  while (n && (line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
  return n;
}

bool IsEmptyLine(const char* line) { return TextLength(line) == 0; }

void TrimLineEnd(char* text) {
  size_t n = std::strlen(text);
  while (n && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  text[n] = 0;
}

// Copies at most size - 1 characters of text, without trailing CR, LF and blanks.
void CopyValue(char* dest, size_t size, const char* text) {
  size_t n = TextLength(text);
  if (n > size - 1) n = size - 1;
  std::memcpy(dest, text, n);
  dest[n] = 0;
  TrimLineEnd(dest);
}

// The value of a header line: after the keyword and any blanks after it.
const char* ValueOf(const char* line, size_t keywordLength) {
  const char* p = line + keywordLength;
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

void FillOnce(char* dest, size_t size, const char* line, size_t keywordLength) {
  if (!dest[0]) CopyValue(dest, size, ValueOf(line, keywordLength));
}

// A blank before the first ":" (or a blank and no ":" at all): the line is
// prose, not a header.
bool BlankBeforeColon(const char* line) {
  const char* colon = std::strchr(line, ':');
  const char* blank = std::strchr(line, ' ');
  return blank && (!colon || blank < colon);
}

// Plain substring search; the summary rules run it on every candidate line,
// so it stays linear whatever the C library does.
bool Contains(const char* text, const char* needle) {
  for (const char* p = text; (p = std::strchr(p, needle[0])) != nullptr; ++p)
    if (StartsWith(p, needle)) return true;
  return false;
}

// One of " Jan " to " Dec ": an attribution with a date.
bool HasMonthWord(const char* line) {
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  for (const char* p = line; (p = std::strchr(p, ' ')) != nullptr; ++p) {
    if (!p[1] || !p[2] || !p[3] || p[4] != ' ') continue;
    for (int m = 0; m < 12; ++m)
      if (p[1] == kMonths[3 * m] && p[2] == kMonths[3 * m + 1] && p[3] == kMonths[3 * m + 2]) return true;
  }
  return false;
}

bool RejectedAsSummary(const char* line, const FolderKind& kind) {
  size_t textLength = TextLength(line);
  if (textLength == 0) return true;
  for (const char* p : {">", "|", ":", ")", "<<", "\r", "\n"})
    if (StartsWith(line, p)) return true;
  for (const char* p : {"<G>", "<BG>", "<VBG>", ":-", "In-Reply-To:", "X-No-Archive:"})
    if (StartsWithNoCase(line, p)) return true;
  for (const char* p : {"->", " >", "In article ", "======", "--", "Excerpts from ", "begin ",
                        "Message text written by ", "From:", "**COPIED FROM: >>>"})
    if (StartsWith(line, p)) return true;
  if (kind.signatureName && kind.signatureName[0] && StartsWith(line, kind.signatureName)) {
    unsigned char next = static_cast<unsigned char>(line[std::strlen(kind.signatureName)]);
    if (next && next < 32) return true;
  }
  auto exactly = [&](const char* text) {
    return textLength == std::strlen(text) && std::strncmp(line, text, textLength) == 0;
  };
  if (exactly("There is 1 reply")) return true;
  if (StartsWith(line, "There are ") && std::isdigit(static_cast<unsigned char>(line[10])) &&
      Contains(line, " replies"))
    return true;
  if (exactly("Only the header of this message was collected") ||
      exactly("Only the header of this message was collected.") ||
      exactly("[Mark the message for collection]"))
    return true;
  size_t withLineEnd = std::strlen(line);
  for (const char* p = line; *p; ++p)
    if (*p == '\r') --withLineEnd;
  for (const char* p : {"Dear ", "Hello ", "Hi ", "Yo "})
    if (StartsWith(line, p) && withLineEnd <= 24) return true;
  if (!std::strchr(line, ' ') && std::strpbrk(line, ",;:")) return true;
  if (kind.mail || kind.news) {
    for (const char* p : {"wrote:", "writes:", "^^^^", "said:", "say:"})
      if (Contains(line, p)) return true;
    if (StartsWithNoCase(line, "In newsgroup ") || StartsWithNoCase(line, "In message ")) return true;
  }
  return HasMonthWord(line);
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
  static const char* const kKeywords[] = {"Mime-Version:", "Return-Path:", "Newsgroups:", "Received:", "Article:",
                                          "Subject:",      "From:",        "Date:",       "Path:"};
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
  static char decoded[kHeaderBufferSize + 1];

  // Reads the next body line; false at the end of the body.
  auto next = [&]() {
    if (r.remaining <= 0) return false;
    long n = readmsgline(r);
    if (n <= 0) return false;
    r.remaining -= n;
    line = r.line;
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

  bool headerMode = kind.mail || (!kind.local && (kind.news || kind.dravenet));
  bool mime = false, quotedPrintable = false, inIncluded = false, haveSummary = false;
  bool firstLine = true, pending = false;
  static char contentType[kUnfoldLimit + 1];
  char encoding[100];
  char partSeparator[260] = "";
  std::strcpy(contentType, kDefaultContentType);
  std::strcpy(encoding, kDefaultEncoding);

  auto bodyBegins = [&]() {
    headerMode = false;
    return !StartsWithNoCase(encoding, "base64");
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
      if (IsEmptyLine(line)) {
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
        if (StartsWithNoCase(line, "Mime-Version:")) {
          mime = true;
        } else if (StartsWithNoCase(line, "Content-Type:")) {
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
        } else if (StartsWithNoCase(line, "Content-Transfer-Encoding:")) {
          CopyValue(encoding, sizeof encoding, ValueOf(line, 26));
          if (stristr(encoding, "quoted-printable")) quotedPrintable = true;
        } else if (StartsWithNoCase(line, "From:")) {
          FillOnce(f.sender, sizeof f.sender, line, 5);
        } else if (StartsWithNoCase(line, "Fm:")) {
          FillOnce(f.sender, sizeof f.sender, line, 3);
        } else if (StartsWithNoCase(line, "To:")) {
          FillOnce(f.recipients, sizeof f.recipients, line, 3);
        } else if (StartsWithNoCase(line, "Subject:")) {
          FillOnce(f.subject, sizeof f.subject, line, 8);
        } else if (StartsWithNoCase(line, "Subj:")) {
          FillOnce(f.subject, sizeof f.subject, line, 5);
        } else if (StartsWithNoCase(line, "Message-Id:")) {
          if (!f.messageId[0]) {
            CopyValue(f.messageId, sizeof f.messageId, ValueOf(line, 11));
            if (std::strcmp(f.messageId, "<>") == 0) f.messageId[0] = 0;
          }
        } else if (StartsWithNoCase(line, "Date:")) {
          FillOnce(f.date, sizeof f.date, line, 5);
        }
        continue;
      }
    }

    // Text mode.
    if (quotedPrintable) {
      size_t have = r.lineLength;
      std::memcpy(decoded, line, have + 1);
      line = decoded;
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
    if (!RejectedAsSummary(line, kind)) {
      CopyValue(f.summary, sizeof f.summary, line);
      haveSummary = true;
    }
  }

  if (StartsWithNoCase(f.summary, "TITLE: ")) std::memmove(f.summary, f.summary + 7, std::strlen(f.summary + 7) + 1);
  else if (StartsWithNoCase(f.summary, "Subject: "))
    std::memmove(f.summary, f.summary + 9, std::strlen(f.summary + 9) + 1);
  if (StartsWith(f.summary, "*** Header Only ***")) std::memcpy(f.summary, f.subject, sizeof f.summary);
  TrimLineEnd(f.summary);
  return 1;
}
