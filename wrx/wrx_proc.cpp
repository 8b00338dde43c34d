// The control's message handling once a window is open: focus and caret,
// mouse hits that place the cursor and select, link clicks reported to the
// host, scrolling, menus, help mode and the accelerator pre-filter through
// which keys become commands.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

WrxHelpProc g_helpProc = nullptr;

constexpr UINT kDeferredUpdate = 1034;
constexpr char kHelpFile[] = "wrx.hlp";

bool Writable(const WrxWindow* w) { return !w->arg.readOnly; }

bool IsChild(const WrxWindow* w) { return (GetWindowLongA(w->hwnd, GWL_STYLE) & WS_CHILD) != 0; }

DWORD FontStyle(const WrxWindow* w, int id) { return w->fonts[id >= 0 && id < w->fontCount ? id : 0].style; }

int CharFontAt(WrxWindow* w, int32_t line, int32_t col) { return GetCharFont(w, line, col); }

// Steps over the characters of the document, across line ends.
bool StepBack(WrxWindow* w, int32_t& line, int32_t& col) {
  if (col > 0) return --col, true;
  while (line > 0) {
    --line;
    if (w->lines[line]->length > 0) return col = w->lines[line]->length - 1, true;
  }
  return false;
}

bool StepForward(WrxWindow* w, int32_t& line, int32_t& col) {
  if (col + 1 < w->lines[line]->length) return ++col, true;
  while (line + 1 < w->lineCount) {
    ++line;
    if (w->lines[line]->length > 0) return col = 0, true;
  }
  return false;
}

// Whether the block still belongs to the window after the host had a say.
bool StillOpen(HWND hwnd, const WrxWindow* w) {
  return IsWindow(hwnd) && reinterpret_cast<WrxWindow*>(GetWindowLongPtrA(hwnd, 0)) == w;
}

bool CursorOnLink(WrxWindow* w) {
  const WrxLine* l = w->lines[w->curLine];
  return w->curCol < l->length && IsLinkFont(w, CharFontAt(w, w->curLine, w->curCol));
}

// A command sent by an embedded form control goes on to the host.
bool FromEmbeddedControl(WrxWindow* w, int command) {
  for (int id = 0; id < w->fontCount; ++id)
    if (w->fonts[id].inUse && w->fonts[id].kind == 2 && id == command) return true;
  return false;
}

LRESULT MouseMessage(WrxWindow* w, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      WrxButtonDown(w, msg, wp, lp);
      w->pointerReleased = 0;
      if (!w->linkDoubleClick && CursorOnLink(w)) {
        const LRESULT taken = WrxLinkClicked(w, msg == WM_LBUTTONDOWN ? 1 : 0);
        if (!StillOpen(hwnd, w)) return 0;
        if (taken) {
          // The host took the link: no selection follows the press.
          w->pointerReleased = 1;
          w->selecting = 0;
        }
      }
      WrxPostCommand(w, msg, wp);
      return 0;
    case WM_LBUTTONDBLCLK: {
      LRESULT taken = 0;
      if (w->linkDoubleClick && CursorOnLink(w)) {
        taken = WrxLinkClicked(w, 1);
        if (!StillOpen(hwnd, w)) return 0;
      }
      if (!taken) SelectWord(w);
      WrxPostCommand(w, msg, wp);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      w->selecting = 0;
      w->dragStarted = 0;
      if (w->hilight == 2) AdjustBlockToCells(w);
      if (w->hilight && w->hlFirstLine == w->hlLastLine && w->hlFirstCol == w->hlLastCol) {
        w->hilight = 0;
        w->paintScope = 3;
        PaintWrx(w);
      }
      w->pointerReleased = 1;
      if (GetCapture() == hwnd) ReleaseCapture();
      if (msg == WM_RBUTTONUP && CursorOnLink(w)) {
        const LRESULT taken = WrxLinkClicked(w, 0);
        if (taken) return 1;
        if (!StillOpen(hwnd, w)) return 0;
      }
      WrxPostCommand(w, msg, wp);
      return 0;
    case WM_MOUSEMOVE:
      if ((wp & (MK_LBUTTON | MK_RBUTTON)) && !w->pointerReleased)
        MouseDragSelect(w, wp, lp);
      else if (GetFocus() == hwnd || w->trackPointer)
        SetMouseCursor(w, lp, 0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

WrxHelpProc SetWrxHelpProc(WrxHelpProc proc) {
  WrxHelpProc old = g_helpProc;
  g_helpProc = proc;
  return old;
}

BOOL WrxShowHelp(HWND hwnd, UINT command, ULONG_PTR data) {
  return g_helpProc ? g_helpProc(hwnd, kHelpFile, command, data) : WinHelpA(hwnd, kHelpFile, command, data);
}

int IsLinkFont(const WrxWindow* w, int id) {
  if (id < 0 || id >= w->fontCount) return 0;
  const WrxFont& f = w->fonts[id];
  const DWORD mask = DWORD(w->linkStyleMask);
  if (mask && !(mask & f.style) && !(mask & 0x80)) return 0;
  if ((f.style & 0x80) && (f.style & mask) == mask) return 1;
  if (f.textColor == w->linkColor) return 1;
  return (f.style & 0x4000) != 0;
}

LRESULT NotifyWrxParent(WrxWindow* w, UINT msg, WPARAM wp, LPARAM lp, int disable) {
  if (w->notify) return w->notify(w->hwnd, msg, wp, lp);
  if (w->notify2) return w->notify2(w->hwnd, msg, wp, lp);
  if (w->foreign) return 0;
  HWND parent = w->arg.parent ? w->arg.parent : GetParent(w->hwnd);
  if (!parent) return 0;
  HWND self = w->hwnd;  // the host may close the control while it answers
  HWND focus = GetFocus();
  const bool wasEnabled = IsWindowEnabled(self) != 0;
  if (disable) EnableWindow(self, FALSE);
  const LRESULT answer = SendMessageA(parent, msg, wp, lp);
  if (disable && wasEnabled && IsWindow(self)) EnableWindow(self, TRUE);
  if (focus && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
  return answer;
}

LRESULT WrxLinkClicked(WrxWindow* w, int activation) {
  if (!w->arg.parent && !GetParent(w->hwnd)) return 0;
  if (!CursorOnLink(w)) return 0;
  // The link text is the run of link characters around the cursor; the code
  // is the run of hidden characters that ends where the link begins.
  int32_t line = w->curLine, col = w->curCol;
  int32_t startLine = line, startCol = col, taken = 1;
  while (taken < 2048) {
    int32_t l = startLine, c = startCol;
    if (!StepBack(w, l, c) || !IsLinkFont(w, CharFontAt(w, l, c))) break;
    startLine = l, startCol = c, ++taken;
  }
  auto* rec = static_cast<WrxLinkRec*>(calloc(1, sizeof(WrxLinkRec)));
  if (!rec) return WrxErrorBox(w, 108, "WrxLinkClicked"), 0;
  rec->window = w->hwnd;
  rec->activation = activation;
  int32_t n = 0;
  for (int32_t l = startLine, c = startCol; n < 2048;) {
    const uint8_t ch = uint8_t(w->lines[l]->text[c]);
    if (!IsLinkFont(w, CharFontAt(w, l, c)) || ch == w->paraEnd) break;
    rec->text[n++] = char(ch);
    if (!StepForward(w, l, c)) break;
  }
  char code[2048];
  int32_t k = 0;
  for (int32_t l = startLine, c = startCol; k < 2048;) {
    if (!StepBack(w, l, c) || !(FontStyle(w, CharFontAt(w, l, c)) & 0x40)) break;
    code[k++] = w->lines[l]->text[c];
  }
  for (int32_t i = 0; i < k; ++i) rec->code[i] = code[k - 1 - i];
  const LRESULT answer = NotifyWrxParent(w, WRXN_LINK, WPARAM(w->hwnd), LPARAM(rec), 1);
  free(rec);
  return answer;
}

void HideWrxCaret(WrxWindow* w) {
  if (w->caretShown) DestroyCaret();
  w->caretShown = 0;
  w->caretCreate = 1;
}

int CreateWrxCaret(WrxWindow* w, int32_t line, int32_t col) {
  // Only lines on screen can hold it (tested first: it is cheap).
  bool allowed = line >= 0 && line < w->lineCount && line >= w->firstLine && line <= w->firstLine + w->linesPerWindow;
  if (allowed) {
    const int32_t x = w->textRect.left + GetColumnX(w, col, line, 0) - w->hOffset;
    const int32_t y = CalcLineY(w, line);
    allowed = line >= w->firstLine && y < w->textRect.bottom && x >= w->textRect.left && x <= w->textRect.right;
  }
  if (allowed && !w->caretOnProtected && col < w->lines[line]->length &&
      (FontStyle(w, CharFontAt(w, line, col)) & 0x200))
    allowed = false;
  if (allowed && w->lines[line]->frame > 0 && size_t(w->lines[line]->frame) < w->frames.size()) {
    int32_t flags;
    memcpy(&flags, w->frames[size_t(w->lines[line]->frame)].bytes + 40, 4);
    if (flags & 0x300) allowed = false;
  }
  if (w->editStyle >= 0 || w->hilight) allowed = false;
  if (!allowed) {
    HideWrxCaret(w);
    return 0;
  }
  if (!w->caretShown || w->caretCreate) {
    CreateCaret(w->hwnd, nullptr, std::max<int32_t>(1, w->avgCharWidth / 4), w->caretHeight);
    ShowCaret(w->hwnd);
    w->caretShown = 1;
    w->caretCreate = 0;
  }
  return 1;
}

void ShowWrxCaret(WrxWindow* w) {
  if (w->arg.readOnly && w->flags < 128) {
    HideWrxCaret(w);
    return;
  }
  if (w->preview || GetFocus() != w->hwnd || !IsWindowVisible(w->hwnd)) {
    HideWrxCaret(w);
    return;
  }
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (line < w->firstLine || line > w->firstLine + w->linesPerWindow) {
    HideWrxCaret(w);  // off screen
    return;
  }
  int32_t top = CalcLineY(w, line);
  int32_t height = GetLineHeight(w, line);
  if (top < w->textRect.top) height -= w->textRect.top - top, top = w->textRect.top;
  if (top + height > w->textRect.bottom) height = w->textRect.bottom - top;
  if (height < 1) height = std::max<int32_t>(1, w->fonts[0].lineHeight);
  if (height != w->caretHeight) {
    HideWrxCaret(w);
    w->caretHeight = height;
  }
  if (CreateWrxCaret(w, line, w->curCol))
    SetCaretPos(w->textRect.left + GetColumnX(w, w->curCol, line, 0) - w->hOffset, top);
}

int WrxAccelFilter(WrxWindow* w, UINT msg, WPARAM wp, LPARAM lp, HACCEL table) {
  if ((w->flags & 0x20) || msg == WM_NCHITTEST || msg == WM_MOUSEMOVE || msg == WM_SETCURSOR || !table ||
      w->translating)
    return 0;
  HWND hwnd = w->hwnd;
  MSG m{hwnd, msg, wp, lp, 0, POINT{0, 0}};
  w->translating = 1;
  w->refused = 0;
  const int translated = TranslateAcceleratorA(hwnd, table, &m);
  if (!StillOpen(hwnd, w)) return translated;  // the command closed the window
  w->translating = 0;
  if (!translated || w->refused) return 0;
  // The key's own character must not act a second time; it comes before any
  // other key in the queue and carries the key's scan code and flags.
  // Characters typed after it are the user's and stay.
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
    MSG next;
    if (PeekMessageA(&next, hwnd, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE) &&
        (next.message == WM_CHAR || next.message == WM_SYSCHAR || next.message == WM_DEADCHAR ||
         next.message == WM_SYSDEADCHAR) &&
        ((next.lParam ^ lp) & 0x01FF0000) == 0)
      PeekMessageA(&next, hwnd, next.message, next.message, PM_REMOVE);
  }
  // Its release, and a menu the key would have opened, are not wanted.
  static const UINT kDropped[][2] = {{WM_KEYUP, WM_KEYUP},
                                     {WM_SYSKEYUP, WM_SYSKEYUP},
                                     {WM_SYSCOMMAND, WM_SYSCOMMAND},
                                     {WM_INITMENU, WM_INITMENUPOPUP},
                                     {WM_MENUSELECT, WM_MENUCHAR}};
  MSG pending;
  for (const auto& range : kDropped)
    while (PeekMessageA(&pending, hwnd, range[0], range[1], PM_REMOVE)) {}
  return 1;
}

namespace {

// WM_CHAR: Backspace, Tab, Enter (with Shift a line break) and printable
// characters; the other control characters are no text.
void TypeCharacter(WrxWindow* w, uint8_t c) {
  switch (c) {
    case 8: BackSpace(w); break;
    case 9: WrxInsertTab(w, 608); break;
    case 13: InsertReturn(w, GetKeyState(VK_SHIFT) < 0); break;
    default:
      if (c > 26) InsertChar(w, c);
      break;
  }
}

}  // namespace

LRESULT WrxWndProc(WrxWindow* w, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  w->lastMsg = msg;
  if (msg == WM_COMMAND) w->lastCommand = LOWORD(wp);
  if (w->preview) {
    // The preview owns the window: typing, dropped files and the mouse go
    // by, and only paging and leaving the preview are commands.
    if (msg == WM_CHAR || msg == WM_DROPFILES || (msg >= WM_MOUSEFIRST && msg <= 0x20A))
      return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_COMMAND && LOWORD(wp) != 600 && LOWORD(wp) != 601 && LOWORD(wp) != 717) return 0;
  }
  if (WrxAccelFilter(w, msg, wp, lp, w->accel)) return 1;
  switch (msg) {
    case WM_SETFOCUS:
      ShowWrxCaret(w);
      if (IsChild(w)) {
        if (HWND parent = GetParent(hwnd)) BringWindowToTop(parent);
        BringWindowToTop(hwnd);
      }
      return 0;
    case WM_KILLFOCUS: HideWrxCaret(w); return 0;
    case WM_PAINT:
      WrxOnPaint(w);
      if (!w->caretShown && (Writable(w) || w->flags >= 128)) ShowWrxCaret(w);
      WrxPostCommand(w, msg, wp);
      return 0;
    case WM_ERASEBKGND: {
      // The paint leaves the edges of the client area outside the text.
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH brush = CreateSolidBrush(w->backColor);
      FillRect(HDC(wp), &rc, brush);
      DeleteObject(brush);
      return 1;
    }
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) WrxRefreshWindow(hwnd, 0);
      return 0;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && (GetFocus() == hwnd || w->trackPointer) && !w->preview) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        SetMouseCursor(w, MAKELPARAM(pt.x, pt.y), 0);
        return 1;
      }
      break;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      if (IsChild(w) && GetFocus() != hwnd) SetFocus(hwnd);
      break;
    case WM_KEYUP:
      if (wp == VK_SHIFT) {
        EndShiftSelect(w);
        WrxPostCommand(w, msg, wp);
        return 0;
      }
      break;
    case WM_CHAR:
      RestoreCursorAnchor(w, 0);
      if (Writable(w)) {
        if (!w->caretShown) ShowWrxCaret(w);
        TypeCharacter(w, uint8_t(wp));
        if (StillOpen(hwnd, w)) WrxPostCommand(w, msg, wp);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: return MouseMessage(w, hwnd, msg, wp, lp);
    case WM_DROPFILES: WrxPostCommand(w, msg, wp); return 0;
    case WM_TIMER: {
      // Ticks that piled up while the window was busy count as one.
      MSG pending;
      while (PeekMessageA(&pending, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) {}
      return 0;
    }
    case WM_VSCROLL:
      WrxVScroll(w, wp);
      WrxPostCommand(w, msg, wp);
      return 0;
    case WM_HSCROLL:
      WrxHScroll(w, wp);
      WrxPostCommand(w, msg, wp);
      return 0;
    case WM_INITMENU:
      if (HMENU(wp) == GetMenu(hwnd)) WrxMenuUpdate(w, HMENU(wp));
      return 0;
    case WM_ENTERIDLE:
      if (wp == MSGF_MENU && GetKeyState(VK_F1) < 0) {
        // F1 on a menu item: close the menu; the command chosen shows help.
        w->helpMode = 1;
        PostMessageA(hwnd, WM_KEYDOWN, VK_RETURN, 0);
      }
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return NotifyWrxParent(w, msg, wp, lp, 0);
    case kDeferredUpdate: WrxPostCommand(w, msg, wp); return 0;
    case WM_COMMAND: {
      const int command = LOWORD(wp);
      if (FromEmbeddedControl(w, command)) {
        w->controlId = command;
        return NotifyWrxParent(w, msg, wp, lp, 0);
      }
      if (w->helpMode) {
        WrxShowHelp(hwnd, HELP_CONTEXT, ULONG_PTR(command));
        w->helpMode = 0;
        WrxPostCommand(w, msg, wp);
        return 0;
      }
      if (w->translating && command >= 600 && command <= 799 && !w->accelEnabled[command - 600]) {
        w->refused = 1;
        return 0;
      }
      if (!w->caretShown) ShowWrxCaret(w);
      RestoreCursorAnchor(w, command);
      return WrxCommand(w, wp);
    }
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
