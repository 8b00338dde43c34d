#include "core/dlg_controls.h"

#include <cstring>
#include <vector>

#include "core/small_text.h"

namespace {

enum ControlKind { kOther, kEdit, kListBox, kComboBox };

ControlKind KindOf(HWND control) {
  char name[32] = "";
  GetClassNameA(control, name, sizeof name);
  if (lstrcmpiA(name, "edit") == 0) return kEdit;
  if (lstrcmpiA(name, "listbox") == 0) return kListBox;
  if (lstrcmpiA(name, "combobox") == 0) return kComboBox;
  return kOther;
}

// Item texts are measured first, so a long item is cut, never overrun.
void SaveItems(CStrList& list, HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
  LRESULT count = SendMessageA(control, countMessage, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(control, lengthMessage, static_cast<WPARAM>(i), 0);
    if (length < 0) continue;
    std::vector<char> text(static_cast<size_t>(length) + 1, 0);
    SendMessageA(control, textMessage, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.back() = 0;
    list.add(text.data());
  }
}

}  // namespace

int SaveDlgControls(CStrList& list, HWND control, bool append) {
  ControlKind kind = KindOf(control);
  if (kind == kOther) return 1;
  if (!append) list.clear();
  switch (kind) {
    case kEdit: {
      int length = GetWindowTextLengthA(control);
      if (length <= 0) break;
      std::vector<char> text(static_cast<size_t>(length) + 1, 0);
      GetWindowTextA(control, text.data(), length + 1);
      // Every line end makes a string, also between two line ends.
      char* piece = text.data();
      for (;;) {
        char* lineFeed = std::strchr(piece, '\n');
        if (lineFeed) *lineFeed = 0;
        list.add(stripcrlf(piece));
        if (!lineFeed) break;
        piece = lineFeed + 1;
      }
      break;
    }
    case kListBox: SaveItems(list, control, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT); break;
    case kComboBox: SaveItems(list, control, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT); break;
    default: break;
  }
  return 0;
}

int RestoreDlgControls(CStrList& list, HWND control, bool append) {
  ControlKind kind = KindOf(control);
  if (kind == kOther) return 1;
  if (!append) {
    if (kind == kEdit) SetWindowTextA(control, "");
    if (kind == kListBox) SendMessageA(control, LB_RESETCONTENT, 0, 0);
    if (kind == kComboBox) SendMessageA(control, CB_RESETCONTENT, 0, 0);
  }
  for (int i = 0; i < list.count(); ++i) {
    const char* line = list.get(i);
    if (!line) continue;
    if (kind == kEdit) {
      int end = GetWindowTextLengthA(control);
      SendMessageA(control, EM_SETSEL, end, end);
      if (end > 0) SendMessageA(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("\r\n"));
      SendMessageA(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line));
    } else {
      SendMessageA(control, kind == kListBox ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
  }
  return 0;
}
