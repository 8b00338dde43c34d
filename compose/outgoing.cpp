#include "compose/outgoing.h"

#include <sys/stat.h>

#include <cstring>

#include "core/folder_names.h"

namespace {

// Walks the text once: an LF right after exactly two counted CRs ends a soft
// break; a third CR, like any other character, means it is none.
char* RewriteSoftBreaks(char* text, bool keepHard) {
  if (!text) return text;
  char* out = text;
  int crs = 0;
  for (const char* p = text; *p; ++p) {
    char c = *p;
    if (c == '\r') {
      ++crs;
      *out++ = c;
      continue;
    }
    if (c == '\n' && crs == 2) {
      out -= 2;  // the two CRs
      if (keepHard) {
        *out++ = '\r';
        *out++ = '\n';
      }
      crs = 0;
      continue;
    }
    crs = 0;
    *out++ = c;
  }
  *out = 0;
  return text;
}

char UuChar(unsigned value) {
  value &= 0x3f;
  return value ? static_cast<char>(value + 32) : '`';
}

void WriteBlock(FILE* out, const char* label, CAddrList& list) {
  if (!list.Count()) return;
  std::fprintf(out, "%s:", label);
  for (int i = 0; i < list.Count(); ++i)
    std::fprintf(out, " %s%s\r\n", list.FormatEntry(i, false), i + 1 < list.Count() ? "," : "");
}

// One-line header values never carry a line break into the memo.
const char* Line(const char* text) {
  static char buffer[4][4097];
  static int next = 0;
  char* out = buffer[next++ & 3];
  size_t n = 0;
  for (const char* p = text ? text : ""; *p && n < 4096; ++p)
    if (*p != '\r' && *p != '\n') out[n++] = *p;
  out[n] = 0;
  return out;
}

}  // namespace

const char kLocalHostName[] = "pelmora.local";

char* SoftBreaksToHard(char* text) { return RewriteSoftBreaks(text, true); }
char* RemoveSoftBreaks(char* text) { return RewriteSoftBreaks(text, false); }

void UuencodeGroup(const unsigned char b[3], FILE* out) {
  char c[4] = {UuChar(b[0] >> 2), UuChar(((b[0] & 3) << 4) | (b[1] >> 4)), UuChar(((b[1] & 15) << 2) | (b[2] >> 6)),
               UuChar(b[2] & 0x3f)};
  std::fwrite(c, 1, 4, out);
}

int UuencodeFile(const char* path, FILE* out) {
  FILE* in = std::fopen(path, "rb");
  if (!in) return 1;
  struct stat st;
  unsigned mode = stat(path, &st) == 0 ? static_cast<unsigned>(st.st_mode) & 0777 : 0644;
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  std::fprintf(out, "\r\nbegin %o %s\r\n", mode, name);
  unsigned char line[45];
  for (;;) {
    size_t n = std::fread(line, 1, sizeof line, in);
    std::fputc(UuChar(static_cast<unsigned>(n)), out);
    for (size_t i = 0; i < n; i += 3) {
      unsigned char group[3] = {line[i], 0, 0};
      if (i + 1 < n) group[1] = line[i + 1];
      if (i + 2 < n) group[2] = line[i + 2];
      UuencodeGroup(group, out);
    }
    std::fputc('\n', out);
    g_outgoingHooks.pumpMessages();
    if (n == 0) break;
  }
  std::fputs("end\r\n", out);
  std::fclose(in);
  return 0;
}

int BodyCharCount(const char* body) {
  int n = 0;
  for (const char* p = body ? body : ""; *p; ++p)
    if (*p != '\r') ++n;
  return n;
}

void FormatLocalMessageId(char* out, size_t size, long seconds, unsigned first, unsigned second) {
  // The second value drawn comes first.
  std::snprintf(out, size, "<PL.%ld.%04X.%04X@%s>", seconds, second & 0xffffu, first & 0xffffu, kLocalHostName);
}

void WriteMemoHead(FILE* out, EditorState* s, const OutgoingHead& head, bool senderCopy) {
  std::fputs("Memo #0 (0000000000)\r\n", out);
  if (senderCopy) {
    std::fprintf(out, "Date: %s\r\n", head.date);
    std::fprintf(out, "From: %s\r\n", Line(head.user));
  } else {
    std::fprintf(out, "From: %s\r\n", Line(head.user));
    std::fprintf(out, "Date: %s\r\n", head.date);
  }
  std::fprintf(out, "Subject: %s\r\n", Line(s->szSubject));
  std::fprintf(out, "Message-ID: %s\r\n", head.messageId);
  if (s->szReferences[0]) std::fprintf(out, "In-Reply-To: %s\r\n", Line(s->szReferences));
  std::fprintf(out, "Priority: %s\r\n", Line(s->szImportance));
  WriteBlock(out, "To", s->To);
  WriteBlock(out, "Cc", s->Cc);
  if (senderCopy) WriteBlock(out, "Bcc", s->Bcc);
  std::fputs("\r\n", out);
}

void WriteConferenceHead(FILE* out, EditorState* s, const OutgoingHead& head, int bodyChars) {
  const char* subject = Line(s->szSubject);
  bool subjectLine = s->bSay && subject[0];
  int count = bodyChars;
  if (subjectLine) count += static_cast<int>(std::strlen(subject)) + 11;
  std::fputs("==========\r\n", out);
  std::fprintf(out, "%s #0, from %s, %d chars, %s\r\n", Line(s->szFolders), Line(head.user), count, head.date);
  if (s->bComment) std::fprintf(out, "Comment to %ld.\r\n", static_cast<long>(s->nComment));
  std::fputs("----------\r\n", out);
  if (subjectLine) std::fprintf(out, "Subject: %s\r\n\r\n", subject);
}

bool PatchMemoLength(FILE* out) {
  if (std::fflush(out) != 0 || std::fseek(out, 0, SEEK_END) != 0) return false;
  long length = std::ftell(out);
  if (length < 21 || std::fseek(out, 0, SEEK_SET) != 0) return false;
  std::fprintf(out, "Memo #0 (%010u)\r\n", static_cast<unsigned>(length - 21));
  return std::fflush(out) == 0 && std::fseek(out, 0, SEEK_END) == 0;
}

void CustomHeaderKeys(const EditorState* s, bool mailFolder, char keys[3][128]) {
  if (s->bMailing && !mailFolder)
    std::snprintf(keys[0], 128, "%s:mail", s->szService);
  else
    std::snprintf(keys[0], 128, "%s:%-.100s", s->szService, s->szFolders);
  if (char* comma = std::strchr(keys[0], ',')) *comma = 0;
  std::memcpy(keys[1], keys[0], 128);
  if (char* slash = std::strchr(keys[1], '/')) *slash = 0;
  std::memcpy(keys[2], keys[0], 128);
  char* colon = std::strchr(keys[2], ':');
  if (colon)
    *colon = 0;
  else
    std::snprintf(keys[2], 128, "local");
  if (!keys[2][0]) std::snprintf(keys[2], 128, "local");
}
