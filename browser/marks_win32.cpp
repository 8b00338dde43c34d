// The mark commands of the thread list and the move that follows a mark.
#include <windows.h>

#include "browser/bookmarks.h"
#include "browser/browser.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/read_state.h"
#include "msgbase/topic_open.h"

namespace {

constexpr uint32_t kModeratedFolder = 0x0008;

bool NoModeration(const char*) { return false; }

// The direction of a toggling command, decided at its first message.
bool g_on;
bool g_keepRead;  // Shift held at the first message

MsgIndexRec* Rec(int slot) {
  return slot >= 0 && slot < LogCva.Count() ? static_cast<MsgIndexRec*>(LogCva.At(slot)) : nullptr;
}
SynNode* NodeAt(int node) {
  return node >= 0 && node < Synopsis.Count() ? static_cast<SynNode*>(Synopsis.At(node)) : nullptr;
}

void Begin(bool first, bool on) {
  if (!first) return;
  g_on = on;
  g_keepRead = GetKeyState(VK_SHIFT) < 0;
}

void SetRead(bool first, int slot, int) {
  if (MsgIndexRec* r = Rec(slot)) r->flags |= kMsgRead;
}
void ClearRead(bool first, int slot, int) {
  if (MsgIndexRec* r = Rec(slot)) r->flags &= ~kMsgRead;
}
void ToggleDelete(bool first, int slot, int) {
  MsgIndexRec* r = Rec(slot);
  if (!r) return;
  Begin(first, !(r->flags & kMsgMarkedForDeletion));
  r->flags = g_on ? (r->flags | kMsgMarkedForDeletion) & ~kMsgKeep : r->flags & ~kMsgMarkedForDeletion;
  if (!g_keepRead) r->flags |= kMsgRead;
}
void ToggleKeep(bool first, int slot, int) {
  MsgIndexRec* r = Rec(slot);
  if (!r) return;
  Begin(first, !(r->flags & kMsgKeep));
  r->flags = g_on ? (r->flags | kMsgKeep) & ~kMsgMarkedForDeletion : r->flags & ~kMsgKeep;
  if (!g_keepRead) r->flags |= kMsgRead;
}
void ToggleUnreadLock(bool first, int slot, int) {
  MsgIndexRec* r = Rec(slot);
  if (!r) return;
  Begin(first, !(r->flags & kMsgUnreadLock));
  if (g_on) {
    r->flags = (r->flags | kMsgUnreadLock) & ~kMsgRead;
  } else {
    r->flags &= ~kMsgUnreadLock;
    if (!g_keepRead) r->flags |= kMsgRead;
  }
}
void ToggleBookmark(bool first, int slot, int node) {
  MsgIndexRec* r = Rec(slot);
  if (!r) return;
  const long number = r->number;
  Begin(first, !IsBookmarkedInSet(number));
  SetBookmarkedInSet(number, g_on);
  if (SynNode* n = NodeAt(node)) n->flags = g_on ? n->flags | kSynBookmarked : n->flags & ~kSynBookmarked;
}
void ToggleIgnore(bool first, int slot, int node) {
  MsgIndexRec* r = Rec(slot);
  if (!r) return;
  const long number = r->number;
  if (first) Begin(true, !IsIgnored(ThreadRoot(LogCva, number)));
  r = Rec(slot);
  SetIgnored(number, g_on);
  if (g_on)
    r->flags |= kMsgRead | kMsgIgnoredInView;
  else
    r->flags &= ~kMsgIgnoredInView;
  if (SynNode* n = NodeAt(node)) n->flags = g_on ? n->flags | kSynIgnored : n->flags & ~kSynIgnored;
}

uint32_t MovementSetting(char letter) {
  switch (letter) {
    case 'B': return g_user.movementModeB;
    case 'D': return g_user.movementModeD;
    case 'F': return g_user.movementModeF;
    case 'I': return g_user.movementModeI;
    case 'K': return g_user.movementModeK;
    case 'L': return g_user.movementModeL;
    default: return 0;
  }
}

bool FolderHasUnread() {
  for (int i = 0; i < LogCva.Count(); ++i)
    if (MsgIndexRec* r = Rec(i); r && !(r->flags & kMsgRead)) return true;
  return false;
}

void Finish() {
  if (g_browser.list) InvalidateRect(g_browser.list, nullptr, FALSE);
  g_topicOpenHooks.updateFolderView();
}

int Mark(SelectionCallback callback, bool wholeThread, char letter) {
  if (!g_browser.open || !g_topic.log) return 0;
  const int rows = ApplyToSelection(callback, wholeThread || GetKeyState(VK_CONTROL) < 0);
  if (rows == 1 && letter) AdvanceAfterMark(letter);
  Finish();
  return rows;
}

// Delete and keep change what the folder keeps: refused only where the topic
// is moderated and the user may not moderate it.
bool MayChangeKeeping() {
  if (!(g_topic.openFlags & kModeratedFolder) || g_markHooks.canModerateTopic(g_topic.openName)) return true;
  g_ui.setStatusText("Only a moderator can mark messages for deletion or keeping in this folder");
  return false;
}

}  // namespace

MarkHooks g_markHooks = {NoModeration};

int AdvanceAfterMark(char letter) {
  if (!g_browser.list || !g_topic.log) return 0;
  const uint32_t value = MovementSetting(letter);
  if (value == 0 || value > 4) return 1;
  if (value == 2) {
    if (!CurrentThreadCollapsed()) CollapseThread();
  }
  if (value <= 2) {
    LRESULT caret = VlbCommand(g_browser.list, kVlbCaret, 0, 0);
    LRESULT count = VlbCommand(g_browser.list, kVlbRowCount, 0, 0);
    if (caret >= 0 && caret + 1 < count) VlbCommand(g_browser.list, kVlbSelectRow, 0, caret + 1);
    SyncCurrentMessage();
    SelectMessage(g_browser.currentMessage, g_browser.folder, 1);
    return 1;
  }
  if (FolderHasUnread()) {
    MarkReadAndAdvance(kNextUnreadMayLeaveFolder * (value == 4));
    SelectMessage(g_browser.currentMessage, g_browser.folder, 1);
    return 1;
  }
  if (value == 4) {
    HWND browser = g_browser.window;
    logclose();
    g_topicOpenHooks.nextNewMessage();
    if (g_topic.log && g_browser.open) {
      SelectMessage(g_browser.currentMessage, g_browser.folder, 1);
    } else {
      g_ui.setStatusText("No new messages");
      if (browser && IsWindow(browser)) SendMessageA(browser, WM_CLOSE, 0, 0);
    }
  }
  return 1;
}

int MarkReadCommand() {
  if (!g_browser.open || !g_topic.log) return 0;
  if (VlbCommand(g_browser.list, kVlbSelectedCount, 0, 0) > 1) return Mark(SetRead, false, 0);
  g_browserHooks.pushHistory(g_browser.folder, g_browser.currentMessage);
  MarkReadAndAdvance(0);
  Finish();
  return 1;
}
int MarkUnreadCmd() { return Mark(ClearRead, false, 0); }
int MarkDeleteCmd() { return MayChangeKeeping() ? Mark(ToggleDelete, false, 'D') : 0; }
int MarkKeepCmd() { return MayChangeKeeping() ? Mark(ToggleKeep, false, 'K') : 0; }
int MarkUnreadLockCmd() { return Mark(ToggleUnreadLock, false, 'L'); }
int MarkBookmarkCmd() { return Mark(ToggleBookmark, false, 'B'); }
int MarkIgnoreCmd() { return Mark(ToggleIgnore, true, 'I'); }

void ThreadListPageUp() {
  if (g_browser.list) SendMessageA(g_browser.list, WM_VSCROLL, SB_PAGEUP, 0);
}
void ThreadListPageDown() {
  if (g_browser.list) SendMessageA(g_browser.list, WM_VSCROLL, SB_PAGEDOWN, 0);
}
