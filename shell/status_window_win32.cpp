// The status window "Frostmere": lines printed by long operations, with a
// pause when its edit control is full.
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "resources/shell_ids.h"
#include "shell/commands.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"

namespace {

enum : size_t { STATUS_BUFFER = 8193 };

struct StatusWindowState {
  HWND edit = nullptr;
  WNDPROC editPrevProc = nullptr;
  bool waiting = false;
};
StatusWindowState s_status;

LRESULT CALLBACK ReadOnlyEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_PASTE: return 0;
    case WM_SETFONT: InvalidateRect(window, nullptr, TRUE); break;
  }
  return CallWindowProcA(s_status.editPrevProc, window, message, wParam, lParam);
}

void Layout(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  LONG base = GetDialogBaseUnits();
  int unitX = LOWORD(base), unitY = HIWORD(base);
  int width = 40 * unitX / 4, height = 12 * unitY / 8, step = 44 * unitX / 4;
  const int ids[] = {IDOK + 1, IDC_STATUS_COPY, IDC_STATUS_PRINT, IDC_STATUS_FULL};
  for (int i = 0; i < 4; ++i) {
    HWND button = GetDlgItem(window, ids[i]);
    if (button) MoveWindow(button, 6 + i * step, 4, i == 3 ? 3 * width : width, height, TRUE);
  }
  int top = 4 + height + 6;
  if (s_status.edit) MoveWindow(s_status.edit, 6, top, client.right - 12, client.bottom - top - 6, TRUE);
}

void OnCreate(HWND window) {
  HINSTANCE instance = g_app.instance;
  struct ButtonDef {
    const char* text;
    int id;
    bool visible;
  };
  const ButtonDef buttons[] = {{"Cl&ose", 2, true},
                               {"&Copy", IDC_STATUS_COPY, true},
                               {"&Print", IDC_STATUS_PRINT, true},
                               {"&Window full - Press to clear", IDC_STATUS_FULL, false}};
  for (const ButtonDef& b : buttons) {
    DWORD style = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | (b.visible ? WS_VISIBLE : 0);
    HWND button = CreateWindowA("button", b.text, style, 0, 0, 10, 10, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  }
  s_status.edit = CreateWindowExA(WS_EX_CLIENTEDGE, "edit", "",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0,
                                  0, 10, 10, window, reinterpret_cast<HMENU>(IDC_STATUS_EDIT), instance, nullptr);
  SendMessageA(s_status.edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), 0);
  SendMessageA(s_status.edit, EM_LIMITTEXT, STATUS_BUFFER - 1, 0);
  s_status.editPrevProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(s_status.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ReadOnlyEditProc)));
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  RECT line = {0, 0, client.right, 1};
  FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(window, &ps);
}

void CopySelection() {
  DWORD start = 0, end = 0;
  SendMessageA(s_status.edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (end > start) SendMessageA(s_status.edit, WM_COPY, 0, 0);
}

void OnCommand(HWND window, int id) {
  switch (id) {
    case 2: SendMessageA(window, WM_CLOSE, 0, 0); break;
    case IDC_STATUS_COPY: CopySelection(); break;
    case IDC_STATUS_PRINT: FrameCommand(IDC_STATUS_PRINT, 0); break;
    case IDC_STATUS_FULL:
      ShowWindow(GetDlgItem(window, IDC_STATUS_FULL), SW_HIDE);
      s_status.waiting = false;
      break;
  }
}

LRESULT StatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_SIZE: Layout(window); break;  // the MDI child needs it too
    case WM_PAINT: OnPaint(window); return 0;
    case WM_SETFOCUS:
      if (s_status.edit) SetFocus(s_status.edit);
      return 0;
    case WM_COMMAND: OnCommand(window, LOWORD(wParam)); return 0;
    case WM_CLOSE:
      if (s_status.waiting) return 0;
      break;
    case WM_DESTROY:
      g_shell.statusWindow = nullptr;
      s_status.edit = nullptr;
      break;
  }
  return DefChildProc(window, message, wParam, lParam);
}

// Line feeds become CR LF; bare CRs go.
std::string ToEditText(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\r') continue;
    if (*p == '\n') out += '\r';
    out += *p;
  }
  return out;
}

bool Append(const std::string& text) {
  int length = GetWindowTextLengthA(s_status.edit);
  if (length + text.size() >= STATUS_BUFFER - 1) return false;
  SendMessageA(s_status.edit, EM_SETSEL, length, length);
  SendMessageA(s_status.edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  return true;
}

// Until the user clears the window: its own messages, nothing that would
// start another command elsewhere.
void WaitForClear() {
  s_status.waiting = true;
  ShowWindow(GetDlgItem(g_shell.statusWindow, IDC_STATUS_FULL), SW_SHOW);
  MSG msg;
  while (s_status.waiting && g_shell.statusWindow) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      g_app.quitSeen = true;
      break;
    }
    if (IsDialogMessageA(g_shell.statusWindow, &msg)) continue;
    bool ours = msg.hwnd == g_shell.statusWindow || IsChild(g_shell.statusWindow, msg.hwnd);
    if (!ours && (msg.message == WM_SYSCOMMAND || msg.message == WM_COMMAND)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  s_status.waiting = false;
}

}  // namespace

LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<StatusProc>(window, message, wParam, lParam);
}

void OpenStatusWindow() {
  if (g_shell.statusWindow || !g_shell.mdiClient) return;
  MDICREATESTRUCTA create = {};
  create.szClass = "Frostmere";
  create.szTitle = loadstr(IDS_STATUS_INFORMATION);
  create.hOwner = g_app.instance;
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  g_shell.statusWindow =
      reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
}

void StatusPrint(const char* text) {
  OpenStatusWindow();
  if (!g_shell.statusWindow || !s_status.edit || !text) return;
  std::string converted = ToEditText(text);
  if (converted.size() >= STATUS_BUFFER - 1) converted.resize(STATUS_BUFFER - 2);
  if (!Append(converted)) {
    WaitForClear();
    if (!g_shell.statusWindow || !s_status.edit) return;
    SetWindowTextA(s_status.edit, "");
    Append(converted);
  }
  PumpMessages();
}
