// The subclass of the editor's one-line fields (To, Cc, Bcc, Subject, the
// fax fields): Enter moves on to the next field, the typing aids of the body
// (not in address fields), overwrite mode and the status timer.
#include <windows.h>

#include <string>

#include "compose/compose.h"
#include "compose/editor_internal.h"

namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusDelay = 1500;
// One field timer for all editors.
bool g_fieldTimer = false;

EditorState* StateOfField(HWND field) { return EditorStateOf(GetParent(field)); }

bool IsAddressField(EditorState* s, HWND field) {
  return !s->bFaxing && (field == s->toEdit || field == s->ccEdit || field == s->bccEdit);
}

void RestartTimer(HWND field) {
  if (g_fieldTimer) KillTimer(field, kStatusTimer);
  SetTimer(field, kStatusTimer, kStatusDelay, nullptr);
  g_fieldTimer = true;
}

void OnTimer(EditorState* s, HWND field) {
  KillTimer(field, kStatusTimer);
  g_fieldTimer = false;
  if (ActiveEditorWindow() == s->window) RefreshEditorStatus(s);
}

// Enter: a trailing ';' of an address goes, the caret to the start, the focus
// to the next control.
void MoveToNextField(EditorState* s, HWND field) {
  if (IsAddressField(s, field)) {
    std::string text = EditorFieldTextRaw(field);
    if (!text.empty() && text.back() == ';') {
      text.pop_back();
      SetWindowTextA(field, text.c_str());
    }
  }
  SendMessageA(field, EM_SETSEL, 0, 0);
  HWND next = GetNextDlgTabItem(s->window, field, FALSE);
  if (next) SetFocus(next);
}

bool OnChar(EditorState* s, HWND field, WPARAM ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  if (!IsAddressField(s, field)) ApplyTypingAids(field, c);
  if (TypeOverwriting(s, field, c)) return true;
  if (c == '\r') {
    MoveToNextField(s, field);
    return true;
  }
  return false;
}

LRESULT CALLBACK FieldEditProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
  EditorState* s = StateOfField(field);
  if (!s || !s->fieldEditProc[1]) return DefWindowProcA(field, message, wParam, lParam);
  auto original = reinterpret_cast<WNDPROC>(s->fieldEditProc[1]);
  switch (message) {
    case WM_SETFOCUS:
    case WM_KEYUP:
    case WM_LBUTTONUP: RestartTimer(field); break;
    case WM_TIMER:
      if (wParam == kStatusTimer) OnTimer(s, field);
      break;
    case WM_CHAR:
      if (OnChar(s, field, wParam)) return 0;
      break;
    case WM_GETDLGCODE:
      // Enter and Tab reach the field rather than the frame's dialog keys.
      return CallWindowProcA(original, field, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_RBUTTONUP:
      // The address book's pop-up for address fields is not there yet.
      if (field != s->subjectEdit) return 0;
      break;
    default: break;
  }
  return CallWindowProcA(original, field, message, wParam, lParam);
}

}  // namespace

void SubclassFieldEdit(EditorState* s, HWND edit) {
  s->fieldEditProc[0] = reinterpret_cast<void*>(FieldEditProc);
  LONG_PTR old = SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldEditProc));
  if (!s->fieldEditProc[1]) s->fieldEditProc[1] = reinterpret_cast<void*>(old);
}
