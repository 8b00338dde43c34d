#include "core/resstr.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/help.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "resources/resource.h"

namespace {

const size_t kStringBuffer = 4096;
// Room kept free when loading so the macros can grow the text in place.
const size_t kMacroRoom = 128;

HMODULE g_languageDll = nullptr;
HMODULE g_stringModule = nullptr;
char g_buffers[2][kStringBuffer];
int g_nextBuffer = 0;
HFONT g_dialogFont = nullptr;
BOOL WINAPI No3dSubclass(HWND, DWORD) { return FALSE; }
HBRUSH WINAPI No3dColour(HWND, UINT, WPARAM, LPARAM) { return nullptr; }

struct PromptState {
  const char* caption;
  const char* prompt;
  char entry[80];
  bool ok;
};

HMODULE ResourceModule() { return g_stringModule ? g_stringModule : GetModuleHandleA(nullptr); }

const char* Caption(char* buffer, size_t size) {
  StrCopyN(buffer, loadstr(IDS_PROGRAM_CAPTION), size - 1);
  return buffer;
}

void ProgramDirectory(char* out, size_t size) {
  GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
  char* slash = std::strrchr(out, '\\');
  if (slash) *slash = 0;
}

bool SameThreadAsActive(HWND window) {
  HWND active = GetActiveWindow();
  return active && GetWindowThreadProcessId(window, nullptr) == GetWindowThreadProcessId(active, nullptr);
}

void WarningBox(const char* text) {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (g_app.beep) MessageBeep(0);
  CloseSplash();
  HWND focus = GetFocus();
  char caption[64];
  g_ui.messageBox(focus, text, Caption(caption, sizeof caption), MB_OK | MB_ICONEXCLAMATION);
  if (focus && IsWindow(focus) && !IsSchedulerInstance() && SameThreadAsActive(focus)) SetFocus(focus);
  SetCursor(previous);
}

int QuestionBox(const char* text, UINT buttons) {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_ARROW));
  CloseSplash();
  HWND owner = g_app.modalOwner ? g_app.modalOwner : GetFocus();
  char caption[64];
  int result = g_ui.messageBox(owner, text, Caption(caption, sizeof caption), buttons | MB_ICONQUESTION);
  SetCursor(previous);
  return result;
}

// Copies a loaded text and expands it once more: an id form of a box expands
// even a text kept unexpanded by "!".
void LoadExpanded(int id, char* out, size_t size) {
  StrCopyN(out, loadstr(id), size - kMacroRoom - 1);
  ExpandTextMacros(out, size);
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  auto* state = reinterpret_cast<PromptState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<PromptState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      CloseSplash();
      SetDlgItemTextA(dialog, IDC_ASK_PROMPT, state->prompt ? state->prompt : "");
      char caption[64];
      SetWindowTextA(dialog, state->caption && *state->caption ? state->caption : Caption(caption, sizeof caption));
      HWND entry = GetDlgItem(dialog, IDC_ASK_ANSWER);
      SendMessageA(entry, EM_LIMITTEXT, 78, 0);
      if (state->entry[0]) {
        SetWindowTextA(entry, state->entry);
        SendMessageA(entry, EM_SETSEL, 0, -1);
      }
      SetActiveWindow(dialog);
      if (!IsSchedulerInstance()) SetFocus(entry);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        state->ok = true;
        GetDlgItemTextA(dialog, IDC_ASK_ANSWER, state->entry, 79);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        state->entry[0] = 0;
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

bool RunPrompt(const char* caption, const char* prompt, char* answer, size_t answerSize, bool hidden, HWND owner) {
  if (!answer || answerSize < 2) {
    if (answer && answerSize) answer[0] = 0;
    return false;
  }
  PromptState state{caption, prompt, {}, false};
  StrCopyN(state.entry, answer, answerSize - 1 < 78 ? answerSize - 1 : 78);
  if (g_prompt.answer) {
    state.ok = g_prompt.answer(caption, prompt, state.entry, sizeof state.entry, hidden);
  } else {
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_ARROW));
    g_ui.dialogBox(ResourceModule(), hidden ? "PASK" : "ASK", owner, PromptProc, reinterpret_cast<LPARAM>(&state));
    SetCursor(previous);
  }
  if (state.ok)
    StrCopyN(answer, state.entry, answerSize - 1 < 78 ? answerSize - 1 : 78);
  else
    answer[0] = 0;
  return state.ok;
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  char cls[32];
  GetClassNameA(child, cls, sizeof cls);
  bool wanted = !lstrcmpiA(cls, "static") || !lstrcmpiA(cls, "combobox") || !lstrcmpiA(cls, "listbox");
  if (!lstrcmpiA(cls, "button")) wanted = (GetWindowLongA(child, GWL_STYLE) & 0x0F) != BS_GROUPBOX;
  if (wanted) SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

void ExpandWindowText(HWND window) {
  if (!window) return;
  char text[1024];
  if (GetWindowTextA(window, text, static_cast<int>(sizeof text - kMacroRoom)) <= 0) return;
  ExpandTextMacros(text, sizeof text);
  SetWindowTextA(window, text);
}

}  // namespace

HMODULE LoadResourceDll(HINSTANCE instance) {
  g_stringModule = instance;
  char intl[16] = "";
  GetProfileStringA("Intl", "sLanguage", "", intl, sizeof intl);
  g_app.britishEnglish = lstrcmpiA(intl, "ENG") == 0;

  char language[20] = "";
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, language, sizeof language);
  if (!language[0]) return g_stringModule;
  char dir[MAX_PATH], name[MAX_PATH + 32];
  ProgramDirectory(dir, sizeof dir);
  // The library for the whole language (EN_ for ENU and ENG) is preferred.
  char whole[20];
  StrCopyN(whole, language, sizeof whole - 1);
  whole[std::strlen(whole) - 1] = '_';
  for (const char* lang : {static_cast<const char*>(whole), static_cast<const char*>(language)}) {
    std::snprintf(name, sizeof name, "%s\\pl32%s.dll", dir, lang);
    if (HMODULE dll = LoadLibraryA(name)) {
      g_languageDll = g_stringModule = dll;
      break;
    }
  }
  return g_stringModule;
}

void FreeResourceDll() {
  if (g_languageDll) FreeLibrary(g_languageDll);
  g_languageDll = nullptr;
  g_stringModule = nullptr;
}

HMODULE StringModule() { return ResourceModule(); }

const char* loadstr(int id) {
  g_nextBuffer ^= 1;
  char* buffer = g_buffers[g_nextBuffer];
  int load = id;
  if (id >= 7100 && id <= 7200)
    load = 7100;
  else if (id >= 1489 && id <= 1688)
    load = 1489;
  else if (id >= 1013 && id <= 1098)
    load = 1013;
  buffer[0] = 0;
  LoadStringA(ResourceModule(), static_cast<UINT>(load), buffer, static_cast<int>(kStringBuffer - kMacroRoom));
  if (!buffer[0]) std::snprintf(buffer, kStringBuffer, "LoadString(%d)", id);
  if (buffer[0] == '!') return buffer + 1;
  ExpandTextMacros(buffer, kStringBuffer);
  return buffer;
}

void ExpandTextMacros(char* text, size_t size) {
  if (!text || !*text || size == 0) return;
  if (text[0] == '!') {
    std::memmove(text, text + 1, std::strlen(text));
    return;
  }
  for (int i = 0; i < 2; ++i) strrepl(text, size, "%PROGRAM%", g_app.programName);
  if (g_languageDll || g_app.britishEnglish) return;
  static const char* const kSpellings[][2] = {
      {"C&olour", "C&olor"},       {"Co&lour", "Co&lor"},
      {"Colour", "Color"},         {"colour", "color"},
      {"Customise", "Customize"},  {"Favourite", "Favorite"},
      {"Fav&ourite", "Fav&orite"}, {"Organisation", "Organization"},
  };
  for (auto& s : kSpellings) strrepl(text, size, s[0], s[1]);
}

void msgwarn(const char* text) { WarningBox(text ? text : ""); }

void msgwarnid(int id) { WarningBox(loadstr(id)); }

void msgnote(const char* text) {
  if (!text) text = "";
  if (std::strlen(text) <= 31)
    setstatus(text);
  else
    WarningBox(text);
}

void msgnoteid(int id) { msgnote(loadstr(id)); }

bool askyesno(const char* text) { return QuestionBox(text, MB_YESNO) == IDYES; }

bool askyesnoid(int id) {
  char text[kStringBuffer];
  LoadExpanded(id, text, sizeof text);
  return askyesno(text);
}

int askyesnocancel(const char* text) { return QuestionBox(text, MB_YESNOCANCEL); }

int askyesnocancelid(int id) {
  char text[kStringBuffer];
  LoadExpanded(id, text, sizeof text);
  return askyesnocancel(text);
}

void setstatus(const char* text) { g_ui.setStatusText(text ? text : ""); }

void setstatusid(int id) {
  char text[400 + kMacroRoom];
  StrCopyN(text, loadstr(id), 399);
  ExpandTextMacros(text, sizeof text);
  text[399] = 0;
  setstatus(text);
}

static int FormattedBox(UINT style, const char* format, va_list args) {
  char text[2048];
  std::vsnprintf(text, sizeof text, format, args);
  char caption[64];
  CloseSplash();
  HWND owner = g_app.modalOwner ? g_app.modalOwner : GetFocus();
  return g_ui.messageBox(owner, text, Caption(caption, sizeof caption), style);
}

int MsgBoxF(UINT style, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = FormattedBox(style, format, args);
  va_end(args);
  return result;
}

int WarnBoxF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = FormattedBox(MB_OK | MB_ICONEXCLAMATION, format, args);
  va_end(args);
  return result;
}

bool askstrwnd(const char* caption, const char* prompt, char* answer, size_t answerSize) {
  return RunPrompt(caption, prompt, answer, answerSize, false, GetActiveWindow());
}
bool askstr(const char* prompt, char* answer, size_t answerSize) {
  return RunPrompt(nullptr, prompt, answer, answerSize, false, GetActiveWindow());
}
bool paskstr(const char* prompt, char* answer, size_t answerSize) {
  return RunPrompt(nullptr, prompt, answer, answerSize, true, GetActiveWindow());
}
bool askstrnoowner(const char* prompt, char* answer, size_t answerSize) {
  return RunPrompt(nullptr, prompt, answer, answerSize, false, nullptr);
}
bool paskstrnoowner(const char* prompt, char* answer, size_t answerSize) {
  return RunPrompt(nullptr, prompt, answer, answerSize, true, nullptr);
}

void SetDialogFont(HFONT font) { g_dialogFont = font; }

const Ctl3dHooks kNoCtl3dHooks = {No3dSubclass, No3dColour};
Ctl3dHooks g_ctl3dHooks = kNoCtl3dHooks;

INT_PTR LocaliseDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case 25:  // the old control-colour message, for the 3-D library
      if (HBRUSH brush = g_ctl3dHooks.ctlColor(dialog, message, wParam, lParam))
        return reinterpret_cast<INT_PTR>(brush);
      break;
    case WM_INITDIALOG:
      if (g_dialogFont) EnumChildWindows(dialog, SetChildFont, reinterpret_cast<LPARAM>(g_dialogFont));
      ExpandWindowText(dialog);
      ExpandWindowText(GetDlgItem(dialog, IDC_EXPAND_TEXT1));
      ExpandWindowText(GetDlgItem(dialog, IDC_EXPAND_TEXT2));
      CentreDialog(g_app.mainWindow, dialog);
      break;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id == IDC_HELP_BUTTON)
        ShowHelp(HELPCTX_FINDER, nullptr);
      else if (id >= 8000 && id <= 8999)
        ShowHelp(id, nullptr);
      break;
    }
  }
  return FALSE;
}

void DlgInitHook3d(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return;
  if (LOBYTE(LOWORD(GetVersion())) < 4) g_ctl3dHooks.subclassDialog(dialog, 0xFFFF);
}

void DlgInitHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook3d(dialog, message, wParam, lParam);
  LocaliseDialog(dialog, message, wParam, lParam);
}

void CentreDialog(HWND parent, HWND dialog) {
  RECT d;
  GetWindowRect(dialog, &d);
  int w = d.right - d.left, h = d.bottom - d.top;
  if (parent && IsWindow(parent) && IsWindowVisible(parent) && !IsIconic(parent)) {
    RECT p;
    GetWindowRect(parent, &p);
    SetWindowPos(dialog, nullptr, (p.left + p.right - w) / 2, (p.top + p.bottom - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (w <= sw && h <= sh)
    SetWindowPos(dialog, nullptr, (sw - w) / 2, (sh - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void ShowBusyCursor() {
  // The system's cursors are shared and never freed, so each is looked up once.
  static HCURSOR wait = nullptr, arrow = nullptr;
  HCURSOR& cursor = g_app.busyCount > 0 ? wait : arrow;
  if (!cursor) cursor = LoadCursor(nullptr, g_app.busyCount > 0 ? IDC_WAIT : IDC_ARROW);
  SetCursor(cursor);
}

void BeginWait() {
  ++g_app.busyCount;
  ShowBusyCursor();
}

void EndWait() {
  if (g_app.busyCount > 0) --g_app.busyCount;
  ShowBusyCursor();
}

void RestoreCursor() { ShowBusyCursor(); }

void CloseSplash() {
  HWND splash = g_app.splashWindow;
  g_app.splashWindow = nullptr;
  if (!splash || !IsWindow(splash)) return;
  while (GetTickCount() - g_app.splashShownAt < 4000 && !g_app.quitSeen) {
    PumpMessages();
    Sleep(10);
  }
  DestroyWindow(splash);
}

HWND FocusIfActive(HWND window) {
  if (!window || !IsWindow(window) || IsSchedulerInstance() || !SameThreadAsActive(window)) return nullptr;
  return SetFocus(window);
}

void ShowWindowQuiet(HWND window, int command) {
  ShowWindow(window, IsSchedulerInstance() ? SW_SHOWMINNOACTIVE : command);
}
