#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "browser/bookmarks.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "core/virtual_array.h"
#include "msgbase/conf_list.h"
#include "msgbase/read_state.h"
#include "msgbase/topic_open.h"

namespace {

int NoGhost(long) { return 0; }
bool NoNextGhost(int*, long*, bool*, bool*) { return false; }
void NoCommand(int) {}
void NoHistory(const char*, long) {}
void NoShow() {}
void NoProgress(int) {}

FILE* g_threadFile;
unsigned char* g_rowCache;  // kRowCacheRows rows: owning node (32-bit), then the 125-byte record
int g_rowCacheNext;
long g_threadFileReads;
int g_databaseErrors;  // one count for the whole run

bool Node(int node, SynNode* out) { return ReadSynNode(node, out); }

MsgIndexRec* IndexOfSlot(int slot) {
  return slot >= 0 && slot < LogCva.Count() ? static_cast<MsgIndexRec*>(LogCva.At(slot)) : nullptr;
}
uint16_t FlagsOfNode(const SynNode& n) {
  MsgIndexRec* rec = IndexOfSlot(n.indexSlot);
  return rec ? rec->flags : 0;
}
IndexRec* IndexRecOfSlot(int slot) {
  return slot >= 0 && slot < IndexArray.Count() ? static_cast<IndexRec*>(IndexArray.At(slot)) : nullptr;
}

LRESULT List(UINT op, LPARAM l = 0) { return g_browser.list ? VlbCommand(g_browser.list, op, 0, l) : -1; }

void ThreadFilePath(char* out) {
  char path[MAX_PATH];
  lstrcpynA(path, g_topic.logPath, MAX_PATH);
  char* dot = std::strrchr(path, '.');
  char* slash = std::strrchr(path, '\\');
  if (dot && (!slash || dot > slash)) *dot = 0;
  snprintf(out, MAX_PATH, "%s.thr", path);
}

void ShowCantOpen(const char* path) {
  char text[400];
  snprintf(text, sizeof text, "Can't open '%s'", path);
  msgwarn(text);
}

bool ScrambledFolder() { return (g_topic.openFlags & CONF_SCRAMBLED) != 0; }

// Reads the node's record from the thread file at its IndexRec offset.
bool ReadRecordOf(const SynNode& n, ThreadRecord* out) {
  IndexRec* ir = IndexRecOfSlot(n.indexSlot);
  if (!ir) return false;
  const long offset = static_cast<long>(ir->thrOffset);
  FILE* f = g_threadFile;
  char path[MAX_PATH];
  if (!f) {
    ThreadFilePath(path);
    f = std::fopen(path, "rb");
    if (!f) {
      ShowCantOpen(path);
      return false;
    }
  }
  bool ok = std::fseek(f, offset, SEEK_SET) == 0 && std::fread(out, sizeof *out, 1, f) == 1;
  if (f != g_threadFile) std::fclose(f);
  ++g_threadFileReads;
  if (!ok) return false;
  out->author[sizeof out->author - 1] = 0;
  out->subject[sizeof out->subject - 1] = 0;
  if (ScrambledFolder()) {
    nibbleswap(out->author);
    nibbleswap(out->subject);
  }
  return true;
}

void MissingRecord(ThreadRecord* r) {
  std::memset(r, 0, sizeof *r);
  lstrcpynA(r->author, "*unknown*", sizeof r->author);
  lstrcpynA(r->subject, "*missing message*", sizeof r->subject);
}

uint16_t LocalAuthorFlags(int node) {
  ThreadRecord r;
  BuildThreadRow(reinterpret_cast<char*>(&r), node);
  uint16_t flags = 0;
  if (g_app.userName[0] && lstrcmpiA(r.author, g_app.userName) == 0) flags |= kSynInvolved;
  if (g_service.groupNames[0] && MatchNameList(r.author, g_service.groupNames)) flags |= kSynGroup;
  return flags;
}

long RootOf(long number) { return ThreadRoot(LogCva, number); }
void LogText(const char* text) { DebugLog(text); }
void DiskFull() { msgwarn("Not enough disk space"); }

ThreadOrderServices Services() {
  ThreadOrderServices s;
  s.ghostKind = g_browserHooks.getGhostKind;
  s.inCurrentSet = IsBookmarkedInSet;
  s.isIgnored = IsIgnored;
  s.threadRoot = RootOf;
  s.authorFlags = LocalAuthorFlags;
  s.debugLog = LogText;
  s.diskFull = DiskFull;
  FolderBookmarkState(&s.folderHasIgnored, &s.folderHasBookmarks);
  char service[32] = "";
  const char* colon = std::strchr(g_topic.openName, ':');
  if (colon) lstrcpynA(service, g_topic.openName, static_cast<int>(std::min<size_t>(colon - g_topic.openName + 1, 32)));
  s.localService = !colon || lstrcmpiA(service, "local") == 0;
  return s;
}

// The root of the node's thread: back along previous to level 0.
int RootNodeOf(int node) {
  SynNode n;
  for (long steps = 0; steps < kMaxLinkSteps && Node(node, &n); ++steps) {
    if (n.level == 0) return node;
    node = n.previous;
  }
  return node;
}

int CurrentNode() { return g_browser.currentMessage > 0 ? SynNodeOfMessage(g_browser.currentMessage) : -1; }

int RowOfNode(int node) { return static_cast<int>(List(kVlbFindValue, node)); }

// Half the rows the list pane shows, for centring a found row.
int HalfPage() {
  int rows = g_browser.listRows > 0 ? g_browser.listRows : static_cast<int>(List(kVlbRowsPerPage));
  return rows / 2;
}

void CentreRow(int row) {
  if (row < 0) return;
  int half = HalfPage();
  List(kVlbSetTopRow, row > half ? row - half : 0);
}

void SetRedraw(bool on) {
  if (!g_browser.list) return;
  SendMessageA(g_browser.list, WM_SETREDRAW, on, 0);
  if (on) InvalidateRect(g_browser.list, nullptr, FALSE);
}

bool IsUnread(const SynNode& n) { return !(FlagsOfNode(n) & kMsgRead); }

// The first unread node of the ring from `from` on (`from` included); -1 none.
int FirstUnreadFrom(int from) {
  SynNode n;
  int node = from;
  for (long steps = 0; steps < kMaxLinkSteps && Node(node, &n); ++steps) {
    if (IsUnread(n)) return node;
    node = n.next;
    if (node == from) break;
  }
  return -1;
}

int LastRootNode() {
  SynNode zero;
  return Node(0, &zero) ? zero.previousRoot : 0;
}

}  // namespace

BrowserState g_browser;
int MessageOrder = kOrderThreads;
BrowserHooks g_browserHooks = {NoGhost, NoNextGhost, NoCommand, NoHistory, NoShow, NoProgress};

// --- Thread order of the open folder -----------------------------------------

int SynNodeOfMessage(long number) {
  if (number > g_topic.last) return -1;
  int node = findsynnode(static_cast<int32_t>(number));
  if (node >= 0) return node;
  if (++g_databaseErrors <= 4) {
    char text[600];
    snprintf(text, sizeof text,
             "%%PROGRAM%% has detected an error in your message database in folder '%s'.\n\nTo correct the problem "
             "please run Reindex.",
             g_topic.openName);
    ExpandTextMacros(text, sizeof text);
    msgwarn(text);
  }
  // Node 0 would make the command act on another message: callers skip it.
  return -1;
}

int syn_scan(int firstSlot, uint16_t hideMask, int kept) {
  return ScanThreadOrder(Services(), firstSlot, hideMask, kept != 0);
}

int BuildChronoOrder(int firstSlot, uint16_t hideMask) {
  return BuildChronologicalOrder(Services(), firstSlot, hideMask, MessageOrder == kOrderReverseChronological);
}

void ReleaseThreadOrder() {
  if (g_threadFile) std::fclose(g_threadFile);
  g_threadFile = nullptr;
  std::free(g_rowCache);
  g_rowCache = nullptr;
  g_rowCacheNext = 0;
}

int PrepareThreadOrder() {
  SetBookmarkFolder(g_topic.openName);
  MessageOrder = NormaliseMessageOrder(MessageOrder);
  uint16_t hideMask = MessageOrder == kOrderUnreadOnly ? kMsgRead : 0;
  if (g_user.hideDeleted) hideMask |= kMsgMarkedForDeletion;
  ReleaseThreadOrder();
  char path[MAX_PATH];
  ThreadFilePath(path);
  g_threadFile = std::fopen(path, "rb");
  if (!g_threadFile) {
    ShowCantOpen(path);
    return 0;
  }
  const bool rebuilt = MessageOrder == kOrderUnreadOnly || MessageOrder == kOrderChronological ||
                       MessageOrder == kOrderReverseChronological;
  if (rebuilt) Synopsis.SetSize(0);
  FirstShown first = FindFirstShown(hideMask);
  bool kept = Synopsis.Count() > 0;
  if (kept && Synopsis.Count() != (g_user.hideDeleted ? first.notDeleted : first.all)) {
    Synopsis.SetSize(0);
    kept = false;
  }
  g_rowCache = static_cast<unsigned char*>(std::malloc(kRowCacheRows * kRowCacheRowBytes));
  if (g_rowCache)
    for (int i = 0; i < kRowCacheRows; ++i) std::memset(g_rowCache + i * kRowCacheRowBytes, 0xFF, 4);
  g_rowCacheNext = 0;
  if (kept) ResetKeptNodes();
  int result = MessageOrder >= kOrderChronological ? BuildChronoOrder(first.slot, hideMask)
                                                   : syn_scan(first.slot, hideMask, kept);
  if (!result) return 0;
  if (kept) {
    bool hasIgnored, hasEntries;
    FolderBookmarkState(&hasIgnored, &hasEntries);
    for (int i = 0; hasEntries && i < Synopsis.Count(); ++i) {
      auto* n = static_cast<SynNode*>(Synopsis.At(i));
      if (!n) continue;
      if (IsBookmarkedInSet(n->number))
        n->flags |= kSynBookmarked;
      else
        n->flags &= static_cast<uint16_t>(~kSynBookmarked);
    }
  }
  return 1;
}

int MessageOrderCommandValue(int command) {
  switch (command) {
    case 1788: return kOrderThreads;
    case 1789: return kOrderRootsOnly;
    case 1790: return kOrderChronological;
    case 1791: return kOrderUnreadOnly;
    case 1792: return kOrderReverseChronological;
    default: return 0;
  }
}

void SetMessageOrder(int command) {
  int order = MessageOrderCommandValue(command);
  if (!order || order == MessageOrder) return;
  MessageOrder = order;
  g_user.readingMode = static_cast<uint32_t>(order);
  if (!g_browser.open) return;
  long current = g_browser.currentMessage;
  char folder[100];
  lstrcpynA(folder, g_browser.folder, sizeof folder);
  g_topicOpenHooks.closeBrowser();
  g_topicOpenHooks.browse();
  SelectMessage(current, folder, 1);
}

// --- Rows and the row cache --------------------------------------------------

int RowCacheSlotOf(int node) {
  SynNode n;
  return Node(node, &n) ? n.rowCacheSlot : -1;
}

long ThreadFileReads() { return g_threadFileReads; }

int BuildThreadRow(char* row, int node) {
  SynNode n;
  ThreadRecord record;
  if (!Node(node, &n)) {
    MissingRecord(&record);
    std::memcpy(row, &record, sizeof record);
    return 0;
  }
  if (g_threadFile && g_rowCache) {
    int slot = n.rowCacheSlot;
    if (slot < 0 || slot >= kRowCacheRows) {
      slot = g_rowCacheNext;
      unsigned char* line = g_rowCache + slot * kRowCacheRowBytes;
      int32_t owner;
      std::memcpy(&owner, line, 4);
      if (owner >= 0 && owner != node) {
        if (auto* old = static_cast<SynNode*>(Synopsis.At(owner))) old->rowCacheSlot = -1;
      }
      if (!ReadRecordOf(n, &record)) MissingRecord(&record);
      std::memcpy(line, &node, 4);
      std::memcpy(line + 4, &record, sizeof record);
      if (auto* self = static_cast<SynNode*>(Synopsis.At(node))) self->rowCacheSlot = slot;
      g_rowCacheNext = (g_rowCacheNext + 1) % kRowCacheRows;
    }
    std::memcpy(row, g_rowCache + slot * kRowCacheRowBytes + 4, sizeof record);
    return 1;
  }
  // Without the cache the record is read where the index says it is.
  bool ok = ReadRecordOf(n, &record);
  if (!ok) MissingRecord(&record);
  std::memcpy(row, &record, sizeof record);
  return ok;
}

void RefreshThreadRow(long number) {
  int node = findsynnode(static_cast<int32_t>(number));
  SynNode n;
  if (node < 0 || !Node(node, &n) || !g_rowCache) return;
  if (n.rowCacheSlot >= 0 && n.rowCacheSlot < kRowCacheRows) {
    std::memset(g_rowCache + n.rowCacheSlot * kRowCacheRowBytes, 0xFF, 4);
    if (auto* self = static_cast<SynNode*>(Synopsis.At(node))) self->rowCacheSlot = -1;
  }
  char row[sizeof(ThreadRecord)];
  BuildThreadRow(row, node);
}

// --- Filling and the current message -----------------------------------------

void FillThreadList() {
  if (!g_browser.list) return;
  SetRedraw(false);
  List(kVlbReset);
  List(kVlbModeMultiple);
  const int count = Synopsis.Count();
  if (count == 0 || LogCva.Count() == 0) {
    SetRedraw(true);
    return;
  }
  const bool wholeThreads = MessageOrder == kOrderUnreadOnly || MessageOrder == kOrderThreads;
  const std::vector<SynNode>& nodes = CopyOfSynopsis();
  auto valid = [&](int node) { return node >= 0 && node < static_cast<int>(nodes.size()); };
  std::vector<int32_t> rows;
  rows.reserve(nodes.size());
  int root = 0;
  long rootSteps = 0;
  while (valid(root) && rootSteps++ < kMaxLinkSteps) {
    rows.push_back(root);
    if (wholeThreads) {
      int node = nodes[root].next;
      for (long steps = 0; node != root && valid(node) && steps < kMaxLinkSteps; ++steps) {
        rows.push_back(node);
        node = nodes[node].next;
      }
    }
    root = nodes[root].nextRoot;
    if (root == 0) break;
  }
  VlbAppendRows(g_browser.list, rows.data(), static_cast<int>(rows.size()));
  SetRedraw(true);
}

void NoteCurrentMessage(const char* folder) {
  int row = static_cast<int>(List(kVlbCaret));
  if (row < 0) return;
  SynNode n;
  if (!Node(static_cast<int>(List(kVlbRowValue, row)), &n)) return;
  const char* name = folder ? folder : g_browser.folder;
  if (name != g_browser.folder) lstrcpynA(g_browser.folder, name, sizeof g_browser.folder);
  for (char* p = g_browser.folder; *p; ++p) *p = static_cast<char>(ToLower1252(static_cast<unsigned char>(*p)));
  g_browser.currentMessage = n.number;
  g_browser.refreshPending = true;
}

void SyncCurrentMessage() { NoteCurrentMessage(nullptr); }

int CurrentThreadCollapsed() {
  int node = CurrentNode();
  SynNode n;
  if (node < 0 || !Node(node, &n) || n.level != 0) return 0;
  if (n.next == node) return 1;
  int row = RowOfNode(node);
  return row < 0 || List(kVlbRowValue, row + 1) != n.next ? 1 : 0;
}

void ExpandThread() {
  int root = RootNodeOf(CurrentNode());
  SynNode n;
  if (root < 0 || !Node(root, &n) || n.next == root) return;
  int row = RowOfNode(root);
  if (row < 0 || List(kVlbRowValue, row + 1) == n.next) return;
  SetRedraw(false);
  int node = n.next;
  SynNode m;
  for (long steps = 0; node != root && steps < kMaxLinkSteps && Node(node, &m); ++steps) {
    int32_t pair[2] = {++row, node};
    if (List(kVlbInsertRow, reinterpret_cast<LPARAM>(pair)) != 0) break;
    node = m.next;
  }
  SetRedraw(true);
}

void CollapseThread() {
  int root = RootNodeOf(CurrentNode());
  int row = RowOfNode(root);
  if (row < 0) return;
  SetRedraw(false);
  SynNode n;
  for (long steps = 0; steps < kMaxLinkSteps; ++steps) {
    LRESULT value = List(kVlbRowValue, row + 1);
    if (value < 0 || !Node(static_cast<int>(value), &n) || n.level == 0) break;
    List(kVlbDeleteRow, row + 1);
  }
  List(kVlbSelectRow, row);
  SyncCurrentMessage();
  SetRedraw(true);
}

void ThreadListNotify(int code) {
  if (code == kVlbNotifySelChange) {
    if (List(kVlbAddMode) == 0) {
      NoteCurrentMessage(nullptr);
      g_browserHooks.showCurrentMessage();
    }
    return;
  }
  if (code != kVlbNotifyDoubleClick) return;
  if (g_browser.libraryFolder || g_browser.composite) {
    g_browserHooks.frameCommand(kDownloadFileCommand);
    return;
  }
  if (CurrentThreadCollapsed()) {
    ExpandThread();
    SelectMessage(g_browser.currentMessage, g_browser.folder, 0);
  } else {
    CollapseThread();
  }
}

int SelectMessage(long number, const char* folder, int show) {
  if (!g_browser.open || !g_browser.list || number < g_topic.first || number > g_topic.last) return 0;
  int node = findsynnode(static_cast<int32_t>(number));
  if (node < 0) return 0;
  int row = RowOfNode(node);
  if (row < 0) {
    if (MessageOrder == kOrderRootsOnly && CurrentNode() >= 0 && !CurrentThreadCollapsed()) CollapseThread();
    int root = RootNodeOf(node);
    if (root != node) {
      SynNode r;
      if (Node(root, &r)) g_browser.currentMessage = r.number;
      ExpandThread();
    }
    row = RowOfNode(node);
  }
  if (row < 0) return 0;
  List(kVlbSelectRow, row);
  if (show) CentreRow(row);
  NoteCurrentMessage(folder ? folder : g_browser.folder);
  return 1;
}

// --- Walks over the selection and threads ------------------------------------

int ApplyToSelection(SelectionCallback callback, bool wholeThread) {
  HGLOBAL block = reinterpret_cast<HGLOBAL>(List(kVlbSelectedRows));
  if (reinterpret_cast<LRESULT>(block) == -1 || reinterpret_cast<LRESULT>(block) == -2 || !block) return 0;
  const int count = static_cast<int>(GlobalSize(block) / sizeof(int32_t));
  std::vector<int32_t> rows(static_cast<size_t>(count));
  std::memcpy(rows.data(), GlobalLock(block), rows.size() * sizeof(int32_t));
  GlobalUnlock(block);
  GlobalFree(block);
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  bool first = true;
  for (int i = 0; i < count; ++i) {
    if (i < 25 || (count >= 25 && i % (count / 25) == 0)) g_browserHooks.setStatusProgress(MulDiv(i, 100, count));
    int node = static_cast<int>(List(kVlbRowValue, rows[i]));
    SynNode n;
    if (!Node(node, &n)) continue;
    const bool collapsedRoot =
        wholeThread && n.level == 0 && n.next != node && List(kVlbRowValue, rows[i] + 1) != n.next;
    if (!collapsedRoot) {
      callback(first, n.indexSlot, node);
      first = false;
      continue;
    }
    int at = node;
    SynNode m;
    for (long steps = 0; steps < kMaxLinkSteps && Node(at, &m); ++steps) {
      callback(first, m.indexSlot, at);
      first = false;
      at = m.next;
      if (at == node) break;
    }
  }
  g_browserHooks.setStatusProgress(0);
  SetCursor(previous);
  return count;
}

long CountUnreadInThread(long number, bool countAll) {
  int start = findsynnode(static_cast<int32_t>(number));
  if (start < 0) return 0;
  int root = RootNodeOf(start);
  long unread = 0, steps = 0;
  int node = root;
  SynNode n;
  while (Node(node, &n)) {
    if (++steps > kMaxLinkSteps) {
      msgwarn("Error: loop overrun");
      return kMaxLinkSteps;
    }
    if (IsUnread(n)) {
      ++unread;
      if (!countAll) return 1;
    }
    node = n.next;
    if (node == root) break;
  }
  return unread;
}

unsigned ThreadSummary(long number) {
  int start = findsynnode(static_cast<int32_t>(number));
  if (start < 0) return 0;
  int root = RootNodeOf(start);
  unsigned all = kSummaryAllDeleted | kSummaryAllKept, some = 0;
  int node = root;
  SynNode n;
  for (long steps = 0; steps < kMaxLinkSteps && Node(node, &n); ++steps) {
    uint16_t f = FlagsOfNode(n);
    if (!(f & kMsgMarkedForDeletion)) all &= ~kSummaryAllDeleted;
    if (!(f & kMsgKeep)) all &= ~kSummaryAllKept;
    if (f & kMsgMarkedForDeletion) some |= kSummarySomeDeleted;
    if (f & kMsgKeep) some |= kSummarySomeKept;
    if (f & kMsgFetchFull) some |= kSummaryDownload;
    if (f & kMsgUnreadLock) some |= kSummaryUnreadLock;
    if (n.flags & kSynBookmarked) some |= kSummaryBookmarked;
    node = n.next;
    if (node == root) break;
  }
  return all | some;
}

void NextUnreadInFolder(unsigned flags) {
  int current = CurrentNode();
  SynNode cur;
  if (current < 0 || !Node(current, &cur)) return;
  const bool ignored = (cur.flags & kSynIgnored) != 0;
  int target = -1;
  if (!ignored && CountUnreadInThread(cur.number, false)) {
    if (CurrentThreadCollapsed()) ExpandThread();
    target = FirstUnreadFrom(current);
  }
  const int currentRoot = RootNodeOf(current);
  if (target < 0) {
    if (MessageOrder == kOrderRootsOnly && !CurrentThreadCollapsed() && cur.level > 0) CollapseThread();
    SynNode r;
    int root = currentRoot;
    for (long steps = 0; steps < kMaxLinkSteps && Node(root, &r); ++steps) {
      root = r.nextRoot;
      if (root == currentRoot) break;
      SynNode t;
      if (!Node(root, &t)) break;
      if (t.flags & kSynIgnored) continue;
      int found = FirstUnreadFrom(root);
      if (found >= 0) {
        target = found;
        break;
      }
    }
    if (target < 0) {
      if (currentRoot == LastRootNode() || (flags & kNextUnreadLeaveFolderNow)) {
        if ((flags & kNextUnreadMayLeaveFolder) && g_topicOpenHooks.nextNewMessage) g_topicOpenHooks.nextNewMessage();
        return;
      }
      target = LastRootNode();
    }
  }
  SynNode t;
  if (!Node(target, &t)) return;
  if (RowOfNode(target) < 0) {
    g_browser.currentMessage = t.number;
    ExpandThread();
  }
  int row = RowOfNode(target);
  if (row < 0) return;
  List(kVlbSelectRow, row);
  CentreRow(row);
  SyncCurrentMessage();
}

void MarkReadAndAdvance(unsigned flags) {
  int node = CurrentNode();
  SynNode n;
  if (node >= 0 && Node(node, &n)) {
    if (MsgIndexRec* rec = IndexOfSlot(n.indexSlot)) rec->flags |= kMsgRead;
  }
  NextUnreadInFolder(flags);
  if (g_browser.list) InvalidateRect(g_browser.list, nullptr, FALSE);
  SyncCurrentMessage();
  g_topicOpenHooks.updateFolderView();
}

void RefreshGhostRows() {
  if (!g_browser.open) return;
  for (int i = 0; i < Synopsis.Count(); ++i)
    if (auto* n = static_cast<SynNode*>(Synopsis.At(i)))
      n->flags &= static_cast<uint16_t>(~(kSynReplyQueued | kSynCancelQueued));
  int position = 0;
  long number;
  bool reply, cancel;
  while (g_browserHooks.nextGhost(&position, &number, &reply, &cancel)) {
    int node = findsynnode(static_cast<int32_t>(number));
    if (node < 0) continue;
    if (auto* n = static_cast<SynNode*>(Synopsis.At(node))) {
      if (reply) n->flags |= kSynReplyQueued;
      if (cancel) n->flags |= kSynCancelQueued;
    }
  }
  if (g_browser.list) InvalidateRect(g_browser.list, nullptr, FALSE);
}
