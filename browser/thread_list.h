// The browser's thread list: preparing the open folder (thread file, row
// cache, thread order), filling the VLBCLASS list, expanding and collapsing
// threads, moving between unread messages and painting the rows.
#pragma once
#include <windows.h>

#include <cstdint>

#include "browser/browser_state.h"
#include "msgbase/records.h"

// Thread order of the open folder.
int PrepareThreadOrder();
int syn_scan(int firstSlot, uint16_t hideMask, int kept);
int BuildChronoOrder(int firstSlot, uint16_t hideMask);
int SynNodeOfMessage(long number);
// The order commands 1788 to 1792.
void SetMessageOrder(int command);
int MessageOrderCommandValue(int command);  // 0 for another command
// Closes the thread file and frees the row cache.
void ReleaseThreadOrder();

// The row cache and the thread file.
constexpr int kRowCacheRows = 400;
constexpr int kRowCacheRowBytes = 130;
int BuildThreadRow(char* row, int node);  // row: 125 bytes (ThreadRecord); 1 read, 0 not
void RefreshThreadRow(long number);
int RowCacheSlotOf(int node);  // the node's cache row, -1 none
long ThreadFileReads();        // records read from the thread file so far

// The list.
void FillThreadList();
void ThreadListNotify(int code);
void ExpandThread();
void CollapseThread();
int CurrentThreadCollapsed();
void NoteCurrentMessage(const char* folder);
void SyncCurrentMessage();
typedef void (*SelectionCallback)(bool first, int indexSlot, int node);
int ApplyToSelection(SelectionCallback callback, bool wholeThread);
long CountUnreadInThread(long number, bool countAll);
unsigned ThreadSummary(long number);
void NextUnreadInFolder(unsigned flags);
void MarkReadAndAdvance(unsigned flags);
void RefreshGhostRows();
int SelectMessage(long number, const char* folder, int show);
void PaintThreadRow(HWND list, int id, int row, int32_t node, HDC dc, const RECT* rect, BOOL caretWithFocus,
                    BOOL selected);

// Flags of NextUnreadInFolder.
enum : unsigned {
  kNextUnreadMayLeaveFolder = 0x1,
  kNextUnreadLeaveFolderNow = 0x2,
};

// Bits of ThreadSummary.
enum : unsigned {
  kSummaryAllDeleted = 0x0002,
  kSummaryBookmarked = 0x0004,
  kSummaryAllKept = 0x0008,
  kSummaryDownload = 0x0010,
  kSummaryUnreadLock = 0x1000,
  kSummarySomeKept = 0x4000,
  kSummarySomeDeleted = 0x8000,
};

// The state icons.
enum StateIcon {
  kIconFolder,
  kIconOpenFolder,
  kIconDown,
  kIconHeader,
  kIconUnread,
  kIconKeep,
  kIconDelete,
  kIconMark,
  kIconGhost,
  kIconWithdraw,
  kIconUnreadThread,
  kIconFileDown,
  kIconKeepThread,
  kIconDeleteThread,
  kIconKeepDeleteThread,
  kIconDownload,
  kIconReadLock,
  kIconReadLockThread,
  kStateIconCount
};
void LoadStateIcons();
void FreeStateIcons();
HBITMAP StateIconBitmap(int icon, bool selected);

// Files of the open folder's announcements: downloaded ones and requested
// ones, loaded when the folder opens.
void LoadDownloadedFiles();
void LoadQueuedDownloads();
bool IsFileDownloaded(long number);
bool IsDownloadQueued(long number);
