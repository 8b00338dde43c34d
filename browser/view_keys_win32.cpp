// The message view as a pane of the browser: its subclass procedure (wheel,
// paste refused, the pane-switch commands, keys handed to the list while the
// view lacks the focus) and the tips of "acronyms.lst".
#include <windows.h>

#include <cstdio>
#include <string>

#include "browser/acronyms.h"
#include "browser/browser.h"
#include "core/appstate.h"
#include "core/paths.h"
#include "shell/shell_hooks.h"
#include "shell/toolbar.h"
#include "wrx/wrx.h"

namespace {

WNDPROC g_viewProc = nullptr;

// "acronyms.lst" is looked at on every mouse move: it is read again only when
// its time or size changes.
struct AcronymFile {
  std::string path;
  FILETIME written = {};
  DWORD size = 0;
  bool present = false;
  std::string text;
};
AcronymFile g_acronyms;
long g_acronymReads = 0;

const std::string& AcronymText() {
  char path[MAX_PATH];
  if (!JoinPath(path, sizeof path, {g_app.dataDir, "acronyms.lst"})) path[0] = 0;
  WIN32_FILE_ATTRIBUTE_DATA info;
  const bool present = path[0] && GetFileAttributesExA(path, GetFileExInfoStandard, &info);
  if (!present) {
    g_acronyms = AcronymFile();
    return g_acronyms.text;
  }
  if (g_acronyms.present && g_acronyms.path == path &&
      CompareFileTime(&info.ftLastWriteTime, &g_acronyms.written) == 0 && info.nFileSizeLow == g_acronyms.size)
    return g_acronyms.text;
  g_acronyms.path = path;
  g_acronyms.written = info.ftLastWriteTime;
  g_acronyms.size = info.nFileSizeLow;
  g_acronyms.present = true;
  g_acronyms.text.clear();
  ++g_acronymReads;
  if (FILE* f = std::fopen(path, "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) g_acronyms.text.append(buffer, n);
    std::fclose(f);
  }
  return g_acronyms.text;
}

void ShowAcronymTip(HWND view, LPARAM position) {
  const std::string& file = AcronymText();
  char* word = file.empty() ? nullptr : GetWrxWordAt(view, static_cast<DWORD>(position));
  std::string text = word ? LookupAcronym(file, word) : std::string();
  if (word) WrxMemFree(word);
  if (text.empty()) {
    RemoveToolTip();
    return;
  }
  POINT p = {static_cast<short>(LOWORD(position)) - 6, static_cast<short>(HIWORD(position)) - 6};
  ClientToScreen(view, &p);
  ShowToolTip(text.c_str(), p.x, p.y);
}

bool HasSelection(HWND view) {
  WrxFieldRec field = {};
  field.size = sizeof field;
  if (!GetWrxField(view, &field)) return false;
  return field.highlightKind != 0;
}

bool OnWheel(HWND view, WPARAM wParam, LPARAM lParam) {
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  const short delta = static_cast<short>(HIWORD(wParam));
  if (lines == WHEEL_PAGESCROLL) {
    SendMessageA(view, WM_VSCROLL, delta > 0 ? SB_PAGEUP : SB_PAGEDOWN, 0);
    return true;
  }
  if (lines == 0) return false;
  WrxFieldRec field = {};
  field.size = sizeof field;
  if (GetWrxField(view, &field)) {
    const int by = delta > 0 ? -static_cast<int>(lines) : static_cast<int>(lines);
    field.firstLine = field.firstLine + by < 0 ? 0 : field.firstLine + by;
    field.cursorLine = field.cursorLine + by < 0 ? 0 : field.cursorLine + by;
    SetWrxField(view, &field);
    InvalidateRect(view, nullptr, FALSE);
  }
  CallWindowProcA(g_viewProc, view, WM_MOUSEWHEEL, wParam, lParam);
  return true;
}

}  // namespace

long AcronymFileReads() { return g_acronymReads; }

LRESULT CALLBACK MessageViewSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PASTE: return 0;
    case WM_MOUSEWHEEL:
      if (OnWheel(window, wParam, lParam)) return 0;
      break;
    case WM_RBUTTONUP: {
      LRESULT handled = CallWindowProcA(g_viewProc, window, message, wParam, lParam);
      if (handled != 1) {
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(window, &p);
        g_shellHooks.showMvwMenu(window, p);
      }
      return handled;
    }
    case WM_MOUSEMOVE:
      if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() != window) ShowAcronymTip(window, lParam);
      break;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if ((id == 602 || id == 604) && !HasSelection(window) && !(GetKeyState(VK_SHIFT) & 0x8000)) {
        if (id == 602 && g_browser.open) ToggleBrowserFocus();
        if (id == 604 && g_browser.list) ThreadListKey(VK_LEFT);
        return 0;
      }
      break;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      if (!ViewHasFocus() && g_browser.list) {
        SendMessageA(g_browser.list, message, wParam, lParam);
        return 0;
      }
      break;
    default: break;
  }
  return CallWindowProcA(g_viewProc, window, message, wParam, lParam);
}

void SubclassMessageView(HWND view) {
  if (!view) return;
  WNDPROC previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MessageViewSubclassProc)));
  if (previous != MessageViewSubclassProc) g_viewProc = previous;
}

bool ViewCanCopy() {
  char* text = g_browser.view ? GetWrxSelText(g_browser.view) : nullptr;
  if (!text) return false;
  WrxMemFree(text);
  return true;
}

bool GetViewSelText(char* out, int size) {
  if (size <= 0) return false;
  out[0] = 0;
  char* text = g_browser.view ? GetWrxSelText(g_browser.view) : nullptr;
  if (!text) return false;
  lstrcpynA(out, text, size);
  WrxMemFree(text);
  return out[0] != 0;
}
