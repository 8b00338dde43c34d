// Attachments of the open topic's messages: removing saved attachments from
// a stored message, joining message/partial parts, and text to the clipboard.
#include "compose/attachments.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compose/message_view.h"
#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/system_helpers.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/msg_fields.h"
#include "msgbase/topic_open.h"

namespace {

// The log's own header of a message of the open topic.
bool StoredHeader(long number, MessageHeader* header) {
  int slot = msgindex(number, 1);
  if (slot < 0) return false;
  auto* rec = static_cast<IndexRec*>(IndexArray.At(slot));
  if (!rec || ReadMessageStartAt(g_logReader, static_cast<long>(rec->logOffset), header) != number) return false;
  size_t n = std::strlen(header->author);
  if (n && header->author[n - 1] == ',') header->author[n - 1] = 0;
  return true;
}

std::string ServiceOf(const char* folder) {
  const char* colon = std::strchr(folder, ':');
  return colon ? std::string(folder, colon) : std::string("local");
}

// Writes text to a new file in the pending directory: its path, or empty.
std::string WritePending(const std::string& text) {
  char path[MAX_PATH] = "";
  pendingtmpname(path, sizeof path);
  if (!path[0]) return "";
  FILE* f = std::fopen(path, "wb");
  if (!f) {
    WarnBoxF("Can't open '%s'", path);
    return "";
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0) ok = false;
  if (!ok) {
    WarnBoxF("Can't open '%s'", path);
    std::remove(path);
    return "";
  }
  return path;
}

std::string NowDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (std::tm* t = std::localtime(&now)) local = *t;
  return ImportDate(local);
}

}  // namespace

bool StoredMessageText(long number, std::string* text) {
  if (!scanmsg(number)) return false;
  text->clear();
  long remaining = g_logReader.remaining;
  while (remaining > 0) {
    long n = readmsgline(g_logReader);
    if (n <= 0) break;
    remaining -= n;
    text->append(g_logReader.line, g_logReader.lineLength);
  }
  return true;
}

bool DecodeAttachments(long number, bool ownHeader) {
  MessageHeader header;
  if (!g_topic.log || !StoredHeader(number, &header) || !scanmsg(number)) return false;
  SavedNames saved = g_savedNames;
  std::string stored;
  MimeWalk walk;
  walk.reader = &g_logReader;
  walk.remaining = g_logReader.remaining;
  walk.number = number;
  walk.ownHeader = ownHeader;
  walk.options.headerMode = 3;
  walk.options.decode = true;
  walk.options.decodePath = g_user.decodePath[0] ? g_user.decodePath : g_app.dataDir;
  if (walk.options.decodePath.back() != '\\' && walk.options.decodePath.back() != '/') walk.options.decodePath += '\\';
  walk.options.tempDir = g_app.dataDir;
  walk.saved = &saved;
  walk.stored = &stored;
  walk.out = MakeMimeOutput(nullptr);
  if (WalkMessage(walk) != WALK_DONE) return false;
  std::string path =
      WritePending(ImportMessageText({g_topic.openName, number, header.author, header.dateText, 0}, stored));
  if (path.empty()) return false;
  if (!QueueImport(ServiceOf(g_topic.openName).c_str(), path.c_str(), "messages", 0)) return false;
  RunImportProgram();
  msgnote(
      "The attachments have been removed from this message.\n\nTo reclaim the diskspace it is necessary to prune the "
      "messagebase.");
  return true;
}

bool GetPartialInfo(long number, PartialInfo* info) {
  const char* folder = g_topic.openName;
  bool local = ServiceOf(folder) == "local";
  bool fits =
      local ? ismailfolder(folder) : (isnewsfolder(folder) || ismailfolder(folder) || ServiceOf(folder) == "dvn");
  if (!fits || !scanmsg(number)) return false;
  std::string header;
  long remaining = g_logReader.remaining;
  while (remaining > 0 && header.size() < kHeaderBufferSize) {
    long n = readmsgline(g_logReader);
    if (n <= 0) break;
    remaining -= n;
    header.append(g_logReader.line, g_logReader.lineLength);
    if (g_logReader.line[0] == '\r' || g_logReader.line[0] == '\n') break;
  }
  return ParsePartialHeader(header.c_str(), info);
}

std::string PartialPartText(long number) {
  std::string text;
  if (!StoredMessageText(number, &text)) return "";
  // The part's own header goes; what follows it (for part 1 the enclosed
  // message's header, then the body) is the part.
  size_t at = text.find("\r\n\r\n");
  size_t skip = 4;
  size_t lf = text.find("\n\n");
  if (lf != std::string::npos && (at == std::string::npos || lf < at)) {
    at = lf;
    skip = 2;
  }
  return at == std::string::npos ? "" : text.substr(at + skip);
}

bool JoinPartialMessage(const std::vector<long>& partsInOrder) {
  if (partsInOrder.empty()) return false;
  MessageHeader first;
  if (!StoredHeader(partsInOrder[0], &first)) return false;
  std::string body;
  for (long number : partsInOrder) body += PartialPartText(number);
  const char* folder = g_topic.openName[0] ? g_topic.openName : "local";
  std::string path = WritePending(ImportMessageText({folder, 0, first.author, NowDate(), 0}, body));
  return !path.empty() && QueueImport(ServiceOf(folder).c_str(), path.c_str(), "messages", 0);
}

int ReassemblePartials() {
  BeginWait();
  struct Part {
    long number;
    PartialInfo info;
  };
  std::vector<Part> parts;
  for (long n = g_topic.first; g_topic.log && n > 0 && n <= g_topic.last; ++n) {
    if (msgindex(n, 1) < 0) continue;
    MsgIndexRec* rec = getmsghdr(n, 1);
    if (!rec || (rec->flags & kMsgMarkedForDeletion)) continue;
    PartialInfo info;
    if (!GetPartialInfo(n, &info)) continue;
    DebugLogF("msgno=%lu, partid=%s, partno=%d, total=%d", static_cast<unsigned long>(n), info.id.c_str(), info.number,
              info.total);
    parts.push_back({n, info});
  }
  if (parts.empty()) {
    EndWait();
    msgnote("No partial Mime messages in this topic");
    return 0;
  }
  std::map<std::string, std::map<int, long>> byId;
  std::map<std::string, int> totals;
  for (const Part& p : parts) {
    byId[p.info.id].emplace(p.info.number, p.number);
    totals[p.info.id] = p.info.total;
  }
  int joined = 0;
  for (auto& [id, numbers] : byId) {
    int total = totals[id];
    std::vector<long> order;
    for (int i = 1; i <= total; ++i) {
      auto it = numbers.find(i);
      if (it == numbers.end()) break;
      order.push_back(it->second);
    }
    if (static_cast<int>(order.size()) != total) continue;  // a part is missing: left alone
    if (JoinPartialMessage(order)) ++joined;
  }
  // The topic is opened again so its index sees what the import appends.
  logclose();
  logopen();
  RunImportProgram();
  EndWait();
  return joined;
}

bool CopyTextToClipboard(HWND owner, const char* text) {
  if (!OpenClipboard(owner)) return false;
  size_t n = std::strlen(text);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, n + 1);
  bool ok = false;
  if (block) {
    if (char* p = static_cast<char*>(GlobalLock(block))) {
      std::memcpy(p, text, n + 1);
      GlobalUnlock(block);
      EmptyClipboard();
      ok = SetClipboardData(CF_TEXT, block) != nullptr;
    }
    if (!ok) GlobalFree(block);
  }
  CloseClipboard();
  return ok;
}
