// The browser's operations in the dispatcher's table: installing them here
// enables their menu items and toolbar buttons.
#include <windows.h>

#include "browser/browser.h"
#include "browser/message_ops.h"
#include "browser/thread_list.h"
#include "browser/vlb.h"
#include "msgbase/conf_list.h"
#include "msgbase/records.h"
#include "msgbase/topic_open.h"
#include "shell/commands_hooks.h"

namespace {

void MarkRead() { MarkReadCommand(); }
void MarkUnread() { MarkUnreadCmd(); }
void MarkDelete() { MarkDeleteCmd(); }
void MarkKeep() { MarkKeepCmd(); }
void MarkIgnore() { MarkIgnoreCmd(); }
void MarkBookmark() { MarkBookmarkCmd(); }
void MarkUnreadLock() { MarkUnreadLockCmd(); }
void ListKey(int key) { ThreadListKey(key); }

// Copy: the view's selected text while the view has the focus and a
// selection, else the selected messages.
void Copy() {
  if (ViewHasFocus() && g_browser.view) {
    SendMessageA(g_browser.view, WM_COPY, 0, 0);
    return;
  }
  CopyMessagesToClipboard(0);
}

void GotoOpenFolder() { GotoFolder(nullptr); }
void AskGotoMessage() { GotoMessage(0, nullptr); }

void RecreateBrowser() {
  if (!g_topic.log) return;
  CloseBrowser();
  browse();
}

void SelectAt(int how) {
  if (how == 3) NextUnreadInFolder(0);
}

void NoteCurrent(const char* folder) {
  g_browser.lastShown = -1;
  NoteCurrentMessage(folder && folder[0] ? folder : g_browser.folder);
  ShowCurrentMessage();
}

bool Open() { return g_browser.open; }
bool ListFocused() { return g_browser.list && GetFocus() == g_browser.list; }
bool Selected() { return g_browser.open && g_browser.currentMessage > 0; }
int Zoom() { return g_browser.zoomMode; }
bool TopicHasUnread() {
  for (int i = 0; i < LogCva.Count(); ++i) {
    auto* rec = static_cast<const MsgIndexRec*>(LogCva.At(i));
    if (rec && !(rec->flags & kMsgRead)) return true;
  }
  return false;
}

}  // namespace

void InstallBrowserCommands() {
  CommandHooks& h = g_commandHooks;
  h.MarkReadCommand = MarkRead;
  h.MarkUnreadCmd = MarkUnread;
  h.MarkDeleteCmd = MarkDelete;
  h.MarkKeepCmd = MarkKeep;
  h.MarkIgnoreCmd = MarkIgnore;
  h.MarkBookmarkCmd = MarkBookmark;
  h.MarkUnreadLockCmd = MarkUnreadLock;
  h.ThreadListKey = ListKey;
  h.ThreadListPageUp = ThreadListPageUp;
  h.ThreadListPageDown = ThreadListPageDown;
  h.CopyCommand = Copy;
  h.RecreateMessageView = RecreateMessageView;
  h.SetZoomMode = SetZoomMode;
  h.ToggleBrowserFocus = ToggleBrowserFocus;
  h.RecreateBrowser = RecreateBrowser;
  h.SelectMessageAt = SelectAt;
  h.NoteCurrentMessage = NoteCurrent;
  h.BrowserOpen = Open;
  h.ThreadListFocused = ListFocused;
  h.MessageSelected = Selected;
  h.ZoomMode = Zoom;
  h.CurFolderName = CurFolderName;
  h.ViewCanCopy = ViewCanCopy;
  h.GetViewSelText = GetViewSelText;
  h.TopicHasUnread = TopicHasUnread;
  h.NextNewMessage = NextNewMessage;
  h.GotoFolder = GotoOpenFolder;
  h.GotoMessage = AskGotoMessage;
  InstallMessageOpsCommands();
}
