// Painting one row of the thread list: state column, icons, tree lines,
// message number, author and subject, through a memory bitmap.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "browser/name_text.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"

namespace {

enum : int {
  kThread = 0,
  kThreadInvolved = 1,
  kThreadGroup = 2,
  kThreadIgnored = 3,
  kCurrent = 4,
  kCurrentInvolved = 5,
  kCurrentGroup = 6,
  kCurrentIgnored = 7,
};

COLORREF TextColour(int entry, bool selected) {
  if (g_fonts[entry].face[0]) return g_fonts[entry].textColour;
  if (entry == kThreadIgnored || entry == kCurrentIgnored) return GetSysColor(COLOR_GRAYTEXT);
  if (entry == kThreadInvolved || entry == kCurrentInvolved) return selected ? RGB(255, 255, 160) : RGB(160, 0, 0);
  if (entry == kThreadGroup || entry == kCurrentGroup) return selected ? RGB(200, 255, 200) : RGB(0, 110, 0);
  return GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
}

COLORREF BackColour(bool selected) {
  const int entry = selected ? kCurrent : kThread;
  if (g_fonts[entry].face[0]) return g_fonts[entry].backColour;
  return GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
}

int Setting(uint32_t value, int fallback) { return value ? static_cast<int>(value) : fallback; }

// One memory bitmap for every row, grown when a row is larger, and one
// device context for the icons: made once, not per row.
HDC g_rowDc, g_iconDc;
HBITMAP g_rowBitmap, g_firstBitmap;
int g_rowWidth, g_rowHeight;

HDC RowSurface(HDC target, int width, int height) {
  if (!g_rowDc) {
    g_rowDc = CreateCompatibleDC(target);
    g_iconDc = CreateCompatibleDC(target);
  }
  if (!g_rowBitmap || width > g_rowWidth || height > g_rowHeight) {
    HBITMAP grown = CreateCompatibleBitmap(target, width, height);
    HGDIOBJ old = SelectObject(g_rowDc, grown);
    if (!g_firstBitmap) g_firstBitmap = static_cast<HBITMAP>(old);
    if (g_rowBitmap) DeleteObject(g_rowBitmap);
    g_rowBitmap = grown;
    g_rowWidth = width;
    g_rowHeight = height;
  }
  return g_rowDc;
}

void DrawIcon(HDC dc, int icon, bool selected, int x, int y) {
  HBITMAP bitmap = StateIconBitmap(icon, selected);
  if (!bitmap) return;
  BITMAP info;
  GetObjectA(bitmap, sizeof info, &info);
  HGDIOBJ old = SelectObject(g_iconDc, bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, g_iconDc, 0, 0, SRCCOPY);
  SelectObject(g_iconDc, old);
}

// The author as the row shows it.
void DisplayAuthor(const char* stored, char* out, size_t size) {
  const char* name = stored;
  char shown[64];
  if (name[0] == '!') {
    snprintf(shown, sizeof shown, "To:%s", name + 1);
  } else {
    lstrcpynA(shown, name, sizeof shown);
  }
  if (!g_browser.libraryFolder) {
    char service[32] = "";
    const char* colon = std::strchr(g_topic.openName, ':');
    if (colon)
      lstrcpynA(service, g_topic.openName,
                static_cast<int>(colon - g_topic.openName + 1 < 32 ? colon - g_topic.openName + 1 : 32));
    const bool everywhere = g_browser.mailFolder || !lstrcmpiA(service, "dvn") || !lstrcmpiA(service, "caucus") ||
                            !lstrcmpiA(service, "msmail") || !lstrcmpiA(service, "ccmail") || HasUpperCase(shown);
    if (everywhere) {
      for (char* p = shown; *p; ++p)
        if (*p == '_') *p = ' ';
    } else if (g_browser.newsFolder) {
      if (char* at = std::strchr(shown, '@'))
        for (char* p = at; *p; ++p)
          if (*p == '_') *p = ' ';
    }
  }
  lstrcpynA(out, shown, static_cast<int>(size));
}

// Draws the tree of a reply: its own elbow and the lines of shallower levels
// that still have a later sibling.
void DrawTreeLines(HDC dc, int node, const SynNode& n, int treeX, int unit, int fit, const RECT& r) {
  const int top = 0, bottom = r.bottom - r.top, middle = bottom / 2;
  auto columnX = [&](int level) { return treeX + (level - g_browser.levelOffset - 1) * unit + unit / 2; };
  auto visible = [&](int level) {
    return level - g_browser.levelOffset - 1 >= 0 && level - g_browser.levelOffset - 1 < fit;
  };
  bool later[100] = {};
  int lowest = n.level;
  int at = n.next;
  SynNode m;
  for (long steps = 0; steps < kMaxLinkSteps && at != node && ReadSynNode(at, &m) && m.level > 0; ++steps) {
    if (m.level <= lowest) {
      lowest = m.level;
      if (lowest < 100) later[lowest] = true;
      if (lowest == 1) break;
    }
    at = m.next;
  }
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  if (visible(n.level)) {
    const int x = columnX(n.level);
    MoveToEx(dc, x, top, nullptr);
    LineTo(dc, x, later[n.level] ? bottom : middle);
    MoveToEx(dc, x, middle, nullptr);
    LineTo(dc, x + unit, middle);
  }
  for (int level = 1; level < n.level && level < 100; ++level) {
    if (!later[level] || !visible(level)) continue;
    MoveToEx(dc, columnX(level), top, nullptr);
    LineTo(dc, columnX(level), bottom);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

// One line of text, vertically centred and clipped to its box, without
// prefix processing.
void TextInBox(HDC dc, const RECT& box, const char* text, int textHeight) {
  const int y = box.top + (box.bottom - box.top - textHeight) / 2;
  ExtTextOutA(dc, box.left, y, ETO_CLIPPED, &box, text, lstrlenA(text), nullptr);
}

int IconForMessage(uint16_t flags, const SynNode& n, int slot) {
  switch (slot) {
    case 0:
      if (flags & kMsgHeaderOnly) return kIconHeader;
      if (flags & kMsgFetchFull) return kIconDown;
      return -1;
    case 1:
      if (n.flags & kSynBookmarked) return kIconMark;
      if (flags & kMsgUnreadLock) return kIconReadLock;
      if (!(flags & kMsgRead)) return kIconUnread;
      return -1;
    case 2:
      if (flags & kMsgKeep) return kIconKeep;
      if (flags & kMsgMarkedForDeletion) return kIconDelete;
      return -1;
    default:
      if (IsFileDownloaded(n.number)) return kIconFileDown;
      if (IsDownloadQueued(n.number)) return kIconDownload;
      return -1;
  }
}

int IconForThread(unsigned summary, bool unread, bool rootRead, const SynNode& n, int slot) {
  switch (slot) {
    case 0: return summary & kSummaryDownload ? kIconDown : -1;
    case 1:
      if (summary & kSummaryBookmarked) return kIconMark;
      if (summary & kSummaryUnreadLock) return kIconReadLockThread;
      if (unread) return rootRead ? kIconUnreadThread : kIconUnread;
      return -1;
    case 2:
      if (summary & kSummaryAllKept) return kIconKeep;
      if (summary & kSummaryAllDeleted) return kIconDelete;
      if ((summary & kSummarySomeKept) && (summary & kSummarySomeDeleted)) return kIconKeepDeleteThread;
      if (summary & kSummarySomeKept) return kIconKeepThread;
      if (summary & kSummarySomeDeleted) return kIconDeleteThread;
      return -1;
    default:
      if (IsFileDownloaded(n.number)) return kIconFileDown;
      if (IsDownloadQueued(n.number)) return kIconDownload;
      return -1;
  }
}

}  // namespace

void PaintThreadRow(HWND list, int id, int row, int32_t node, HDC target, const RECT* rect, BOOL caretWithFocus,
                    BOOL selected) {
  SynNode n;
  if (!g_browser.open || !ReadSynNode(node, &n)) return;
  const int width = rect->right - rect->left, height = rect->bottom - rect->top;
  HDC dc = RowSurface(target, width, height);
  HGDIOBJ oldFont = g_browser.threadFont ? SelectObject(dc, g_browser.threadFont) : nullptr;
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  const int unit = tm.tmAveCharWidth < 8 ? 8 : tm.tmAveCharWidth;
  const int numberX = Setting(g_user.threadNumber, 64), fromX = Setting(g_user.threadFrom, 172),
            subjectX = Setting(g_user.threadSubject, 324);
  const int fit = (fromX - numberX) / unit - g_browser.numberDigits;

  // The selected row shifts deep threads left so its level stays in view.
  if (selected && fit > 1 && VlbCommand(list, kVlbSelectedCount, 0, 0) <= 1) {
    int offset = g_browser.levelOffset;
    if (n.level > offset + fit) offset = n.level - fit;
    if (n.level < offset) offset = n.level;
    offset = offset < 0 ? 0 : offset > 99 ? 99 : offset;
    if (offset != g_browser.levelOffset) {
      g_browser.levelOffset = offset;
      InvalidateRect(list, nullptr, FALSE);
    }
  }

  const uint16_t flags = [&] {
    MsgIndexRec* rec =
        n.indexSlot >= 0 && n.indexSlot < LogCva.Count() ? static_cast<MsgIndexRec*>(LogCva.At(n.indexSlot)) : nullptr;
    return rec ? rec->flags : uint16_t{0};
  }();
  const int textEntry = (n.flags & kSynIgnored)    ? kThreadIgnored
                        : (n.flags & kSynInvolved) ? kThreadInvolved
                        : (n.flags & kSynGroup)    ? kThreadGroup
                                                   : kThread;
  const bool sel = selected != FALSE;
  RECT all = {0, 0, width, height};
  HBRUSH back = CreateSolidBrush(BackColour(sel));
  FillRect(dc, &all, back);
  DeleteObject(back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextColour(textEntry + (sel ? kCurrent : 0), sel));

  const int iconY = 0;
  if (n.flags & kSynReplyQueued) DrawIcon(dc, kIconGhost, sel, 0, iconY);
  if (n.flags & kSynCancelQueued) DrawIcon(dc, kIconWithdraw, sel, 0, iconY);

  const bool root = n.level == 0;
  const bool collapsed = root && n.next != node && VlbCommand(list, kVlbRowValue, 0, row + 1) != n.next;
  int icons[4];
  if (collapsed) {
    unsigned summary = ThreadSummary(n.number);
    bool unread = CountUnreadInThread(n.number, false) > 0;
    for (int slot = 0; slot < 4; ++slot) icons[slot] = IconForThread(summary, unread, flags & kMsgRead, n, slot);
  } else {
    for (int slot = 0; slot < 4; ++slot) icons[slot] = IconForMessage(flags, n, slot);
  }
  // A narrow state area moves the later icons left over the earlier ones.
  for (int slot = 3; slot >= 1; --slot)
    if (numberX - 2 * unit - 2 < (2 * slot + 4) * unit && icons[slot] >= 0)
      icons[slot - 1] = icons[slot], icons[slot] = -1;
  for (int slot = 0; slot < 4; ++slot)
    if (icons[slot] >= 0 && (2 + 2 * slot) * unit < numberX)
      DrawIcon(dc, icons[slot], sel, (2 + 2 * slot) * unit, iconY);

  int textX = numberX;
  if (root) {
    if (collapsed) DrawIcon(dc, kIconFolder, sel, numberX, iconY);
    if (!collapsed && n.next != node) DrawIcon(dc, kIconOpenFolder, sel, numberX, iconY);
    if (n.next != node) textX += 2 * unit;
  } else {
    DrawTreeLines(dc, node, n, numberX, unit, fit, *rect);
    int shown = n.level - g_browser.levelOffset;
    if (shown < 0) shown = 0;
    if (shown > fit) shown = fit;
    textX += shown * unit + unit / 2;
  }
  char text[160];
  char format[16];
  snprintf(format, sizeof format, "%%-%dld", g_browser.numberDigits);
  MsgIndexRec* rec =
      n.indexSlot >= 0 && n.indexSlot < LogCva.Count() ? static_cast<MsgIndexRec*>(LogCva.At(n.indexSlot)) : nullptr;
  const bool commentsElsewhere = root && rec && rec->commentTo > 0;
  int used = commentsElsewhere ? snprintf(text, sizeof text, " ...") : 0;
  if (g_browser.numberColumn) snprintf(text + used, sizeof text - used, format, static_cast<long>(n.number));
  RECT field = {textX, 0, fromX - 4, height};
  TextInBox(dc, field, text, tm.tmHeight);

  ThreadRecord record;
  BuildThreadRow(reinterpret_cast<char*>(&record), node);
  char author[64];
  DisplayAuthor(record.author, author, sizeof author);
  RECT from = {fromX, 0, subjectX - 4, height};
  TextInBox(dc, from, author, tm.tmHeight);
  RECT subject = {subjectX, 0, width, height};
  TextInBox(dc, subject, record.subject, tm.tmHeight);
  if (caretWithFocus) DrawFocusRect(dc, &all);

  BitBlt(target, rect->left, rect->top, width, height, dc, 0, 0, SRCCOPY);
  if (oldFont) SelectObject(dc, oldFont);
}
