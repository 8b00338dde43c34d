// Copying the selected messages to the clipboard: their text, a "PL:" line
// per message on "500_MESSAGE" and a link per message on "500_MESSAGE_LINK".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/message_ops.h"
#include "browser/thread_list.h"
#include "core/folder_names.h"
#include "msgbase/conf_list.h"
#include "msgbase/message_ops.h"
#include "msgbase/topic_open.h"

namespace {

std::vector<long> g_selected;

void CollectNumber(bool, int indexSlot, int) {
  if (auto* rec = static_cast<MsgIndexRec*>(LogCva.At(indexSlot))) g_selected.push_back(rec->number);
}

bool QuorlFolder(const char* name) { return _strnicmp(name, "quorl:", 6) == 0; }

// The message's lines as the reader returns them, with CR LF line ends.
bool AppendMessageText(long number, std::string& text) {
  if (!scanmsg(number)) return false;
  // The header block comes first, so a paste can import the copy.
  for (size_t i = 0; i < g_logReader.lineLength; ++i) {
    const char c = g_logReader.line[i];
    if (c == '\r') continue;
    if (c == '\n') text += '\r';
    text += c;
  }
  for (long guard = 0; g_logReader.remaining >= 1 && guard < 10000000; ++guard) {
    long n = readmsgline(g_logReader);
    if (n <= 0) break;
    g_logReader.remaining -= n;
    for (size_t i = 0; i < g_logReader.lineLength; ++i) {
      char c = g_logReader.line[i];
      if (c == '\r') continue;
      if (c == '\n') text += '\r';
      text += c;
    }
  }
  return true;
}

void PutBlock(UINT format, const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.size() + 1);
  if (!block) return;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return;
  }
  std::memcpy(p, bytes.c_str(), bytes.size() + 1);
  GlobalUnlock(block);
  if (!SetClipboardData(format, block)) GlobalFree(block);
}

}  // namespace

int CopyMessagesToClipboard(int cut) {
  if (!g_browser.open || !g_topic.log) return 0;
  g_selected.clear();
  ApplyToSelection(CollectNumber, false);
  if (g_selected.empty()) return 0;
  if (!OpenClipboard(g_browser.window ? g_browser.window : g_browser.list)) return 0;
  const char* folder = g_topic.openName;
  const bool idLinks = ismailfolder(folder) || isnewsfolder(folder);
  std::string text, references, links;
  int copied = 0;
  for (long number : g_selected) {
    if (!AppendMessageText(number, text)) continue;
    char line[400];
    snprintf(line, sizeof line, "PL:%s#%ld\n", folder, number);
    references += line;
    char id[201] = "";
    if (idLinks && GetHeaderField(number, "Message-ID", id, sizeof id, false) && id[0])
      snprintf(line, sizeof line, "PL:%s#%s ", folder, id);
    else if (QuorlFolder(folder))
      snprintf(line, sizeof line, "%s:%lu ", folder, static_cast<unsigned long>(number));
    else
      snprintf(line, sizeof line, "PL:%s#%lu ", folder, static_cast<unsigned long>(number));
    links += line;
    if (cut) {
      int slot = findmsgidx(static_cast<int32_t>(number));
      if (auto* rec = slot >= 0 ? static_cast<MsgIndexRec*>(LogCva.At(slot)) : nullptr)
        rec->flags |= kMsgMarkedForDeletion;
    }
    ++copied;
  }
  // The text goes whole, however long.
  EmptyClipboard();
  PutBlock(CF_TEXT, text);
  PutBlock(RegisterClipboardFormatA("500_MESSAGE"), references);
  PutBlock(RegisterClipboardFormatA("500_MESSAGE_LINK"), links);
  CloseClipboard();
  KeepMessageCopy(text, references);
  if (cut && g_browser.list) InvalidateRect(g_browser.list, nullptr, FALSE);
  if (cut && g_topicOpenHooks.updateFolderView) g_topicOpenHooks.updateFolderView();
  return copied;
}
