#include "shell/poll_rules.h"

#include <cstring>

#include "core/text1252.h"

namespace {

bool StartsNoCase(const char* text, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (std::strlen(text) < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (ToLower1252(static_cast<unsigned char>(text[i])) != ToLower1252(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace

bool OutbasketLineIsItem(const char* line) {
  static const char* const kDownloadOnly[] = {
      "script:\tDownload headers ",  "script:\tDownload messages ", "script:\tDownload roots ",
      "script:\tCollect newsgroup ", "script:\tDownload Usenet ",   "script:\tDownload waiting messages ",
      "script:\tFetch Mail",
  };
  if (std::strncmp(line, ";-;", 3) == 0) return false;
  for (const char* script : kDownloadOnly)
    if (std::strstr(line, script)) return false;
  return true;
}

void JoinOutbasketServices(const char* const* names, int count, char* out, size_t size) {
  if (!size) return;
  out[0] = 0;
  for (int i = 0; i < count; ++i) {
    size_t length = std::strlen(out);
    if (length >= 40) {
      StrCatN(out, "..", size - 1 - length);
      break;
    }
    StrCatN(out, i == 0 ? " for " : ", ", size - 1 - std::strlen(out));
    StrCatN(out, names[i], size - 1 - std::strlen(out));
  }
  if (!out[0]) return;
  StrLower1252(out);
  size_t length = std::strlen(out);
  if (out[length - 1] == '.') return;
  char* comma = std::strrchr(out, ',');
  if (!comma || length + 4 > size - 1) return;
  std::memmove(comma + 4, comma + 1, std::strlen(comma + 1) + 1);
  std::memcpy(comma, " and", 4);
}

BroadcastAction ClassifyBroadcastPiece(const char* piece, bool firstPiece, const char* userName) {
  if (!firstPiece) return BROADCAST_SHOW;
  if (StartsNoCase(piece, ".shutdown")) return BROADCAST_EXIT;
  if (!StartsNoCase(piece, ".zap ") || !userName || !userName[0]) return BROADCAST_SHOW;
  const char* named = piece + 5;
  if (!StartsNoCase(named, userName)) return BROADCAST_SHOW;
  char after = named[std::strlen(userName)];
  return after == 0 || after == ' ' || after == '\r' || after == '\n' ? BROADCAST_EXIT : BROADCAST_SHOW;
}

bool ParsePostitLine(const char* line, PostitLine* out) {
  *out = PostitLine();
  char copy[200];
  StrCopyN(copy, line, sizeof copy - 1);
  copy[std::strcspn(copy, "\r\n")] = 0;
  char* blank = std::strchr(copy, ' ');
  if (!blank) return false;
  *blank = 0;
  StrCopyN(out->folder, copy, sizeof out->folder - 1);
  char* rest = blank + 1;
  char* second = std::strchr(rest, ' ');
  if (second) *second = 0;
  StrCopyN(out->number, rest, sizeof out->number - 1);
  if (second) StrCopyN(out->sender, second + 1, sizeof out->sender - 1);
  if (second) *second = ' ';
  *blank = ' ';
  const char* last = std::strrchr(copy, ' ');
  StrCopyN(out->lastWord, last + 1, sizeof out->lastWord - 1);
  return out->folder[0] != 0;
}

bool PostitConcernsUser(const PostitLine& line, const PostitContext& context) {
  const char* user = context.userName ? context.userName : "";
  const char* colon = std::strchr(line.folder, ':');
  char service[16] = "local";
  if (colon && static_cast<size_t>(colon - line.folder) < sizeof service) {
    std::memcpy(service, line.folder, colon - line.folder);
    service[colon - line.folder] = 0;
  }
  if (!colon || SameText1252(service, "local")) {
    if (SameText1252(line.lastWord, user)) return false;
    const char* name = colon ? colon + 1 : line.folder;
    return StartsNoCase(name, "mail/") && SameText1252(name + 5, user);
  }
  if (line.lastWord[0] == '!' || std::strcmp(line.lastWord, "You") == 0) return false;
  if (context.serviceName && context.serviceName[0] && SameText1252(line.lastWord, context.serviceName)) return false;
  unsigned long flags = 0;
  if (!context.folderFlags || !context.folderFlags(line.folder, &flags)) return false;
  return !(flags & 0x0001);
}
