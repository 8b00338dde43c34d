// Keys and the mouse wheel of the browser's thread list, which the browser
// handles before the list box does.
#include <windows.h>

#include "browser/browser.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"

namespace {

WNDPROC g_listProc;

LRESULT List(UINT op, LPARAM l = 0) { return VlbCommand(g_browser.list, op, 0, l); }

void ShiftTree(int by) {
  int offset = g_browser.levelOffset + by;
  if (offset < 0 || offset > 99) return;
  g_browser.levelOffset = offset;
  InvalidateRect(g_browser.list, nullptr, FALSE);
}

void MoveCaretByPages(bool down) {
  const LRESULT count = List(kVlbRowCount), caret = List(kVlbCaret);
  if (count <= 0) return;
  const int step = 2 * (g_browser.listRows / 2 > 0 ? g_browser.listRows / 2 : 1);
  LRESULT row = down ? caret + step : caret - step;
  if (row < 0) row = 0;
  if (row >= count || (down && row == caret)) row = count - 1;
  List(kVlbSelectRow, row);
  InvalidateRect(g_browser.list, nullptr, FALSE);
  NoteCurrentMessage(nullptr);
}

// Back within the thread: to the row above while it belongs to this thread.
void StepBackInThread() {
  const LRESULT caret = List(kVlbCaret);
  SynNode n;
  if (caret <= 0 || !ReadSynNode(static_cast<int>(List(kVlbRowValue, caret)), &n) || n.level == 0) return;
  List(kVlbSelectRow, caret - 1);
  NoteCurrentMessage(nullptr);
}

bool CurrentIsRoot() {
  const LRESULT caret = List(kVlbCaret);
  SynNode n;
  return caret >= 0 && ReadSynNode(static_cast<int>(List(kVlbRowValue, caret)), &n) && n.level == 0;
}

void OnWheel(short delta) {
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  int step = lines == static_cast<UINT>(-1) ? static_cast<int>(List(kVlbRowsPerPage)) - 1 : static_cast<int>(lines);
  LRESULT top = List(kVlbTopRow) + (delta > 0 ? -step : step);
  const LRESULT last = List(kVlbRowCount) - 1;
  if (top > last) top = last;
  List(kVlbSetTopRow, top < 0 ? 0 : top);
}

}  // namespace

int ThreadListKey(int key) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool tracking = GetCapture() == g_browser.list;
  switch (key) {
    case VK_RETURN:
    case VK_SPACE: return tracking ? 1 : 0;
    case VK_PRIOR:
    case VK_NEXT:
      if (tracking) return 1;
      if (!ctrl && g_browser.zoomMode != 1 && !g_browser.composite && g_browser.view) {
        SendMessageA(g_browser.view, WM_COMMAND, key == VK_PRIOR ? 600 : 601, 0);
        return 0;
      }
      MoveCaretByPages(key == VK_NEXT);
      return 0;
    case VK_LEFT:
      if (ctrl) {
        ShiftTree(-1);
        return 0;
      }
      if (g_browser.zoomMode == 2) {
        SetZoomMode(0);
        return 0;
      }
      StepBackInThread();
      return 0;
    case VK_RIGHT:
      if (ctrl) {
        ShiftTree(1);
        return 0;
      }
      if (CurrentIsRoot() && CurrentThreadCollapsed() && CountUnreadInThread(g_browser.currentMessage, true) >= 0) {
        SynNode n;
        const int node = static_cast<int>(List(kVlbRowValue, List(kVlbCaret)));
        if (ReadSynNode(node, &n) && n.next != node) {
          ExpandThread();
          SelectMessage(g_browser.currentMessage, g_browser.folder, 1);
          return 0;
        }
      }
      SetZoomMode(2);
      return 0;
    default: return 1;
  }
}

LRESULT CALLBACK ThreadListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (ThreadListKey(static_cast<int>(wParam)) == 0) return 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_RETURN) return 0;
      break;
    case WM_MOUSEWHEEL: OnWheel(static_cast<short>(HIWORD(wParam))); return 0;
    case WM_RBUTTONUP: {
      LRESULT result = CallWindowProcA(g_listProc ? g_listProc : flVLBProc, window, message, wParam, lParam);
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ShowThreadMenu(window, p);
      return result;
    }
    default: break;
  }
  return CallWindowProcA(g_listProc ? g_listProc : flVLBProc, window, message, wParam, lParam);
}

void SubclassThreadList(HWND list) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ThreadListSubclassProc)));
  if (previous != ThreadListSubclassProc) g_listProc = previous;
}
