// Re-threading a message: a modeless dialog while the user may click other
// messages, then import text that states the new parent, given to the import
// program (the only way the message base changes).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/browser.h"
#include "browser/link_target.h"
#include "browser/message_actions.h"
#include "browser/message_ops.h"
#include "browser/rethread.h"
#include "browser/thread_list.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/service_keys.h"
#include "core/system_helpers.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/records.h"
#include "msgbase/topic_log.h"
#include "msgbase/topic_open.h"
#include "resources/browser_ids.h"

namespace {

constexpr long kPending = -2;

struct ReThreadRun {
  long own = 0;   // the message being re-threaded
  long seen = 0;  // the current message last seen
  long result = kPending;
  bool filling = false;  // the dialog sets the field itself
} g_run;

// The user's choice of the bare "#number" over the author and size.
bool ShortFormSetting() {
  uint32_t on = 0;
  IniKey table[] = {{"ReThread Short Form", &on, INI_FLAG, 0}, {"", nullptr, 0, 0}};
  char section[64];
  SettingsSection("Main", section, sizeof section);
  if (g_userIniName[0]) readini(g_userIniName, section, table);
  return on != 0;
}

void SetNumber(HWND dialog, const char* text) {
  g_run.filling = true;
  SetDlgItemTextA(dialog, IDC_RETHREAD_NUMBER, text);
  g_run.filling = false;
}

void Choose(HWND dialog, int radio) { CheckRadioButton(dialog, IDC_RETHREAD_ROOT, IDC_RETHREAD_THREAD, radio); }

void OnInit(HWND dialog) {
  std::string header, body;
  ReadMessageText(g_run.own, body, &header);
  char description[300];
  const size_t line = header.find('\n');
  char folder[101] = "", author[201] = "";
  long number = 0, size = 0;
  const std::string headerLine = line == std::string::npos ? header : header.substr(line + 1);
  if (!ShortFormSetting() &&
      ScanHeaderLine(headerLine.c_str(), folder, sizeof folder, &number, author, sizeof author, &size) >= 3)
    snprintf(description, sizeof description, "#%ld from %s %ld chars", g_run.own, author, size);
  else
    snprintf(description, sizeof description, "#%ld", g_run.own);
  SetDlgItemTextA(dialog, IDC_RETHREAD_MESSAGE, description);
  Choose(dialog, IDC_RETHREAD_ROOT);
  SendDlgItemMessageA(dialog, IDC_RETHREAD_NUMBER, EM_LIMITTEXT, 8, 0);
  char start[81] = "";
  GetViewSelText(start, sizeof start);
  if (!start[0])
    if (const long hashed = FirstHashNumber(body.data(), body.size())) snprintf(start, sizeof start, "%ld", hashed);
  SetNumber(dialog, start);
  HWND field = GetDlgItem(dialog, IDC_RETHREAD_NUMBER);
  SendMessageA(field, EM_SETSEL, 0, -1);
  SetFocus(field);
}

void OnOk(HWND dialog) {
  if (IsDlgButtonChecked(dialog, IDC_RETHREAD_ROOT) == BST_CHECKED) {
    g_run.result = 0;
    return;
  }
  char typed[16] = "";
  GetDlgItemTextA(dialog, IDC_RETHREAD_NUMBER, typed, sizeof typed);
  long parent = 0;
  if (!RethreadTarget(typed, g_run.own, &parent)) {
    char text[120];
    snprintf(text, sizeof text, "You can only re-attach this message to message numbers 1 to %ld.", g_run.own - 1);
    msgwarn(text);
    return;
  }
  g_run.result = parent;
}

// Follows the user's clicks in the thread list while the dialog is open.
void FollowCurrentMessage(HWND dialog) {
  const long current = g_browser.currentMessage;
  if (current == g_run.seen) return;
  g_run.seen = current;
  if (current > 0 && current < g_run.own) {
    char text[16];
    snprintf(text, sizeof text, "%ld", current);
    SetNumber(dialog, text);
    Choose(dialog, IDC_RETHREAD_THREAD);
  } else {
    SetNumber(dialog, "");
    Choose(dialog, IDC_RETHREAD_ROOT);
  }
}

bool WriteImportText(const char* path, long parent) {
  std::string header, body;
  if (!ReadMessageText(g_run.own, body, &header)) return false;
  const std::string all = RethreadHeader(header, parent) + body;
  std::string text = "#pragma thread=no\r\n";
  for (char c : all) {
    if (c == '\r') continue;
    if (c == '\n') text += '\r';
    text += c;
  }
  text += "\r\n";
  FILE* out = fopen_w(path, FO_BINARY);
  if (!out) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  ok = std::fflush(out) == 0 && ok;
  fileclose(out);
  return ok;
}

}  // namespace

INT_PTR CALLBACK ReThreadProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog);
      // Other loops may run meanwhile (a box, a menu): the dialog follows the
      // current message on its own as well.
      SetTimer(dialog, 1, 100, nullptr);
      return FALSE;
    case WM_TIMER: FollowCurrentMessage(dialog); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnOk(dialog); return TRUE;
        case IDCANCEL: g_run.result = -1; return TRUE;
        case IDC_RETHREAD_NUMBER:
          if (HIWORD(wParam) == EN_CHANGE && !g_run.filling) Choose(dialog, IDC_RETHREAD_THREAD);
          return TRUE;
        case IDC_RETHREAD_THREAD:
          if (HIWORD(wParam) == BN_CLICKED) SetFocus(GetDlgItem(dialog, IDC_RETHREAD_NUMBER));
          return TRUE;
        case 3010:
          if (g_browser.list) SetFocus(g_browser.list);
          return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

long AskReThread(long number) {
  g_run = ReThreadRun();
  g_run.own = number;
  g_run.seen = g_browser.currentMessage;
  HINSTANCE module = g_app.instance ? g_app.instance : GetModuleHandleA(nullptr);
  HWND dialog = CreateDialogParamA(module, "ReThread", g_app.mainWindow, ReThreadProc, 0);
  if (!dialog) return -1;
  ShowWindow(dialog, SW_SHOW);
  // The user may click in the thread list meanwhile: every message flows.
  while (g_run.result == kPending && IsWindow(dialog)) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      FollowCurrentMessage(dialog);
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    FollowCurrentMessage(dialog);
  }
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return g_run.result == kPending ? -1 : g_run.result;
}

void ReThreadMessages() {
  if (!g_browser.open || !g_topic.log || g_app.modalOwner) return;
  const long number = g_browser.currentMessage;
  if (number <= 0) return;
  const long parent = AskReThread(number);
  if (parent < 0) return;
  char path[MAX_PATH] = "";
  if (!pendingtmpname(path, sizeof path)[0] || !WriteImportText(path, parent)) {
    if (path[0]) EraseFile(path);
    return;
  }
  if (MsgIndexRec* rec = getmsghdr(number, 1)) rec->commentTo = parent;
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, g_topic.openName);
  if (!key[0]) lstrcpynA(key, "local", sizeof key);
  CloseBrowser();
  browse();
  SelectMessage(number, g_browser.folder, 1);
  QueueImport(key, path, "messages", 2048);
  RunImportProgram();
}
