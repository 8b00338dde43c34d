// Painting the MessageBase window's folder rows: indentation, tree lines,
// expanders, service and folder pictures, names and waiting counts.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "browser/mbw.h"
#include "browser/mbw_filter.h"
#include "core/folder_names.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/read_state.h"
#include "msgbase/topic_open.h"

namespace {

constexpr int kMbwFont = 14, kMbwFilesFont = 15, kMbwInfoFont = 16;

COLORREF AppearanceColour(int entry, COLORREF fallback) {
  const FontTableEntry& f = g_fonts[entry];
  return f.face[0] ? static_cast<COLORREF>(f.textColour) : fallback;
}

// Pictures drawn here when the program carries no bitmap of that name.
void DrawServicePicture(HDC dc, const char* name, int x, int y) {
  unsigned hash = 0;
  for (const char* p = name; *p; ++p) hash = hash * 31 + static_cast<unsigned char>(*p);
  static const COLORREF kColours[] = {RGB(0, 96, 160),   RGB(160, 64, 0),  RGB(0, 128, 64),
                                      RGB(112, 48, 144), RGB(176, 128, 0), RGB(0, 128, 128)};
  HBRUSH brush = CreateSolidBrush(kColours[hash % 6]);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  RoundRect(dc, x, y, x + 18, y + 14, 4, 4);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
  char letter[2] = {static_cast<char>(ToUpper1252(static_cast<unsigned char>(name[0]))), 0};
  SetBkMode(dc, TRANSPARENT);
  COLORREF oldText = SetTextColor(dc, RGB(255, 255, 255));
  RECT r = {x, y, x + 18, y + 14};
  DrawTextA(dc, letter, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SetTextColor(dc, oldText);
  SetBkMode(dc, OPAQUE);
}

void DrawFolderPicture(HDC dc, const char* name, int x, int y) {
  const bool open = std::strstr(name, "open") != nullptr;
  COLORREF face = RGB(240, 208, 96);
  if (name[0] == 'm') face = RGB(120, 168, 232);
  if (name[0] == 's') face = RGB(232, 144, 120);
  HBRUSH brush = CreateSolidBrush(face);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(96, 72, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  POINT tab[] = {{x + 1, y + 3}, {x + 6, y + 3}, {x + 8, y + 5}, {x + 15, y + 5}, {x + 15, y + 14}, {x + 1, y + 14}};
  Polygon(dc, tab, 6);
  if (open) {
    POINT flap[] = {{x + 1, y + 14}, {x + 4, y + 8}, {x + 18, y + 8}, {x + 15, y + 14}};
    Polygon(dc, flap, 4);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);
}

void DrawRowPicture(HDC dc, const char* name, int x, int y) {
  // "wunread" and a letter: the kind of folder, as a page with a coloured band.
  COLORREF band = RGB(128, 128, 128);
  switch (name[7]) {
    case 'q': band = RGB(0, 96, 200); break;
    case 'p': band = RGB(0, 160, 0); break;
    case 'i': band = RGB(200, 120, 0); break;
    case 'f': band = RGB(160, 96, 32); break;
    case 'm': band = RGB(48, 112, 208); break;
    case 't': band = RGB(176, 0, 176); break;
    case 'e': band = RGB(200, 0, 0); break;
    default: break;
  }
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Rectangle(dc, x, y, x + 12, y + 12);
  RECT r = {x + 1, y + 1, x + 11, y + 4};
  HBRUSH brush = CreateSolidBrush(band);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  for (int line = 6; line < 11; line += 2) {
    MoveToEx(dc, x + 3, y + line, nullptr);
    LineTo(dc, x + 9, y + line);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

void DrawPicture(HDC dc, const char* name, int x, int y) {
  static std::map<std::string, HBITMAP> cache;
  auto found = cache.find(name);
  HBITMAP bitmap;
  if (found == cache.end()) {
    bitmap = LoadBitmapA(GetModuleHandleA(nullptr), name);
    cache[name] = bitmap;
  } else {
    bitmap = found->second;
  }
  if (bitmap) {
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    return;
  }
  if (std::strncmp(name, "wunread", 7) == 0)
    DrawRowPicture(dc, name, x, y);
  else if (std::strstr(name, "fold"))
    DrawFolderPicture(dc, name, x, y);
  else
    DrawServicePicture(dc, name, x, y);
}

std::string ServicePictureName(const std::string& full) {
  std::string key = full.substr(0, full.find(':'));
  for (char& c : key) c = static_cast<char>(ToLower1252(static_cast<unsigned char>(c)));
  if (key == "quorlnews") key = "quorl";
  if (key == "oud") key = "ouc";
  return key + "id";
}

const char* RowPictureName(const ConfRec* rec, const char* full, bool countsLoaded) {
  if (!countsLoaded || !rec) return "wunreadn";
  const bool mail = stristr(full, ":mail/") != nullptr;
  if (rec->flags & 32) return mail ? "wunreadq" : "wunreadp";
  if (rec->flags & 0x800) return "wunreadi";
  if (IsDvnLibraryFolder(full)) return "wunreadf";
  if (mail) return "wunreadm";
  if (rec->flags & 0x100) return "wunreadt";
  if (rec->flags & 2) return "wunreade";
  return "wunreadn";
}

const ConfRec* FolderAt(int index) {
  if (index < 0 || index >= Conferences.Count()) return nullptr;
  return static_cast<const ConfRec*>(Conferences.At(index));
}

unsigned long Waiting(const ConfRec* rec) {
  if (g_topic.log && SameText1252(rec->name, g_topic.openName)) {
    static std::string cachedName;
    static long cached = 0;
    static int generation = -1;
    if (cachedName != g_topic.openName || generation != g_mbw.countGeneration) {
      generation = g_mbw.countGeneration;
      UnreadCountOptions options;
      options.folderName = g_topic.openName;
      options.last = g_topic.last;
      cached = countunread(LogCva, options, nullptr);
      cachedName = g_topic.openName;
    }
    return cached > 0 ? static_cast<unsigned long>(cached) : 0;
  }
  return rec->waiting > 0 ? static_cast<unsigned long>(rec->waiting) : 0;
}

unsigned long RowCount(int level, int index, const std::string& full) {
  const ConfRec* rec = FolderAt(index);
  if (!rec) return 0;
  if (level == 2) return Waiting(rec);
  const size_t cut = level == 1 ? full.rfind('/') : full.rfind(':');
  const std::string prefix = cut == std::string::npos ? full : full.substr(0, cut + 1);
  unsigned long sum = 0;
  for (int i = index; i < Conferences.Count(); ++i) {
    const ConfRec* r = FolderAt(i);
    if (!r) break;
    char name[120];
    MbwFullName(r->name, name, sizeof name);
    if (!StartsWithNoCase(name, prefix.c_str())) break;
    if (!MbwResignFilter(r)) sum += Waiting(r);
  }
  return sum;
}

}  // namespace

void MbwDrawFolderIcon(HDC dc, int x, int y, bool collapsed, const char*, bool) {
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, x, y + 3, x + 9, y + 12);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  MbwTreeLine(dc, x + 8, y + 7, x + 16, y + 7);
  HGDIOBJ black = SelectObject(dc, GetStockObject(BLACK_PEN));
  MoveToEx(dc, x + 2, y + 7, nullptr);
  LineTo(dc, x + 7, y + 7);
  if (collapsed) {
    MoveToEx(dc, x + 4, y + 5, nullptr);
    LineTo(dc, x + 4, y + 10);
  }
  SelectObject(dc, black);
}

void MbwDrawItem(const DRAWITEMSTRUCT* item, HWND) {
  if (static_cast<int>(item->itemID) < 0) return;
  HDC dc = item->hDC;
  const RECT& rc = item->rcItem;
  const int row = static_cast<int>(item->itemID);
  const int L = rc.left, T = rc.top, middle = (rc.top + rc.bottom) / 2;
  HBRUSH windowBrush = g_mbw.windowBrush ? g_mbw.windowBrush : GetSysColorBrush(COLOR_WINDOW);
  const std::string text = MbwRowText(row);
  const int level = MbwRowLevel(row);
  const size_t tab = text.find('\t');
  const ConfRec* rec = nullptr;
  int index = -1;
  std::string full;
  if (level >= 0 && tab != std::string::npos) {
    full = text.substr(1, tab - 1);
    index = std::atoi(text.c_str() + tab + 1);
    rec = FolderAt(index);
    char name[120];
    if (rec) MbwFullName(rec->name, name, sizeof name);
    if (!rec || !SameText1252(name, full.c_str())) rec = nullptr;  // the list was re-read under the row
  }
  if (!rec) {
    FillRect(dc, &rc, windowBrush);
    return;
  }
  RECT indent = {L, T, L + (level == 0 ? 24 : level == 1 ? 44 : 64), rc.bottom};
  FillRect(dc, &indent, windowBrush);

  const bool countsLoaded = g_userFoldersMerged;
  std::string shown;
  int textX = L + 24;
  HFONT font = g_mbw.boldFont;
  COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
  const bool expanded = MbwRowLevel(row + 1) > level;
  if (level == 0) {
    DrawPicture(dc, ServicePictureName(full).c_str(), L + 2, T + 1);
    shown = full.substr(0, full.find(':'));
  } else if (level == 1) {
    size_t colon = full.find(':'), slash = full.find('/');
    shown = full.substr(colon + 1, slash == std::string::npos ? std::string::npos : slash - colon - 1);
    textX = L + 44;
    MbwTreeLine(dc, L + 13, T, L + 13, middle);
    MbwDrawFolderIcon(dc, L + 9, T, MbwRowLevel(row + 1) != 2, full.c_str(), false);
    const bool mail = SameText1252(shown.c_str(), "mail");
    const char* picture = mail ? "mfolder" : (rec->flags & 8) && countsLoaded ? "sfolder" : "nfolder";
    if (expanded) picture = mail ? "mopenfold" : (rec->flags & 8) && countsLoaded ? "sopenfold" : "nopenfold";
    DrawPicture(dc, picture, L + 24, T);
  } else {
    size_t slash = full.find('/');
    shown = slash == std::string::npos ? full : full.substr(slash + 1);
    textX = L + 64;
    font = g_mbw.normalFont;
    if (IsDvnLibraryFolder(full.c_str())) colour = AppearanceColour(kMbwFilesFont, RGB(0, 0, 160));
    MbwTreeLine(dc, L + 33, T, L + 33, middle);
    MbwTreeLine(dc, L + 33, middle, L + 44, middle);
    DrawPicture(dc, RowPictureName(rec, full.c_str(), countsLoaded), L + 46, T + 2);
  }
  // Continuation lines of the tree below this row.
  if (level >= 1) {
    const int rows = static_cast<int>(SendMessageA(item->hwndItem, LB_GETCOUNT, 0, 0));
    for (int next = row + 1; next < rows && next - row < 16000; ++next) {
      int l = MbwRowLevel(next);
      if (l == 0) break;
      if (l == 1) {
        MbwTreeLine(dc, L + 13, T, L + 13, rc.bottom);
        break;
      }
    }
  }
  if (level >= 1 && MbwRowLevel(row + 1) == 2) MbwTreeLine(dc, L + 33, level == 1 ? middle + 4 : T, L + 33, rc.bottom);

  char name[120];
  lstrcpynA(name, shown.c_str(), sizeof name);
  FixNameCase(name);
  if (std::strcmp(name, ".") == 0) std::strcpy(name, "Messages");
  HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size;
  GetTextExtentPoint32A(dc, name, static_cast<int>(std::strlen(name)), &size);
  RECT box = {textX - 2, T, textX + size.cx + 2, rc.bottom};
  RECT rest = {textX - 2, T, rc.right, rc.bottom};
  FillRect(dc, &rest, windowBrush);
  const bool selected = (item->itemState & ODS_SELECTED) != 0;
  if (selected) {
    FillRect(dc, &box, GetSysColorBrush(COLOR_HIGHLIGHT));
    colour = GetSysColor(COLOR_HIGHLIGHTTEXT);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  RECT textRect = {textX, T, textX + size.cx + 1, rc.bottom};
  DrawTextA(dc, name, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &box);

  if (countsLoaded && !(level == 1 && MbwRowLevel(row + 1) == 2)) {
    unsigned long count = RowCount(level, index, full);
    if (count) {
      SelectObject(dc, level == 0 ? g_mbw.boldFont : g_mbw.normalFont);
      SIZE nines;
      GetTextExtentPoint32A(dc, "999999", 6, &nines);
      int right = std::min<int>(rc.right, 9 * nines.cx);
      int left = right - nines.cx;
      if (left < box.right + 4) {
        left = box.right + 4;
        right = left + nines.cx;
      }
      if (g_mbw.countColumnLeft < 0 || left < g_mbw.countColumnLeft) g_mbw.countColumnLeft = left;
      char digits[16];
      snprintf(digits, sizeof digits, "%lu", count);
      SetTextColor(dc, AppearanceColour(kMbwInfoFont, RGB(128, 0, 0)));
      RECT countRect = {left, T, right, rc.bottom};
      DrawTextA(dc, digits, -1, &countRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_RIGHT | DT_NOCLIP);
    }
  }
  SelectObject(dc, oldFont);
  SetBkMode(dc, OPAQUE);
}
