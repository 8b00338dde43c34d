#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "msgbase/user_folders.h"
#include "online/login_script.h"
#include "resources/shell_ids.h"

namespace {

enum : int { FIELD_LIMIT = 40, FIELD_READ = 18 };

struct LoginFields {
  char prefill[64];
  char name[FIELD_READ + 1];
  char password[FIELD_READ + 1];
};

void OnInit(HWND dialog, LoginFields* fields) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(fields));
  SendDlgItemMessageA(dialog, IDC_LOGIN_NAME, EM_LIMITTEXT, FIELD_LIMIT, 0);
  SendDlgItemMessageA(dialog, IDC_LOGIN_PASSWORD, EM_LIMITTEXT, FIELD_LIMIT, 0);
  SetDlgItemTextA(dialog, IDC_LOGIN_NAME, fields->prefill);
  if (g_main.newUsers) {
    char title[160] = "";
    GetWindowTextA(dialog, title, sizeof title);
    StrCatN(title, loadstr(IDS_NEW_IF_NONE), sizeof title - 1 - std::strlen(title));
    SetWindowTextA(dialog, title);
  }
  SetFocus(GetDlgItem(dialog, fields->prefill[0] ? IDC_LOGIN_PASSWORD : IDC_LOGIN_NAME));
}

void OnOk(HWND dialog, LoginFields* fields) {
  GetDlgItemTextA(dialog, IDC_LOGIN_NAME, fields->name, sizeof fields->name);
  GetDlgItemTextA(dialog, IDC_LOGIN_PASSWORD, fields->password, sizeof fields->password);
  if (fields->name[0] && lstrcmpiA(fields->name, "new") != 0 && !fields->password[0]) {
    SetFocus(GetDlgItem(dialog, IDC_LOGIN_PASSWORD));
    return;
  }
  EndDialog(dialog, fields->name[0] ? 1 : 0);
}

INT_PTR CALLBACK LoginDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  auto* fields = reinterpret_cast<LoginFields*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: OnInit(dialog, reinterpret_cast<LoginFields*>(lParam)); return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && fields)
        OnOk(dialog, fields);
      else if (LOWORD(wParam) == IDCANCEL)
        EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int ChooseLoginScript(const char* userName) {
  LoginFields fields = {};
  StrCopyN(fields.prefill, userName ? userName : "", sizeof fields.prefill - 1);
  StrCopyN(g_app.userName, "default", sizeof g_app.userName - 1);
  INT_PTR result =
      g_ui.dialogBox(StringModule(), "TRENDYLOGIN", nullptr, LoginDialogProc, reinterpret_cast<LPARAM>(&fields));
  g_app.userName[0] = 0;
  if (result != 1) return 0;
  StrCopyN(g_app.userName, fields.name, sizeof g_app.userName - 1);
  StrCopyN(g_userPassword, fields.password, sizeof g_userPassword - 1);
  return 1;
}
