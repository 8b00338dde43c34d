// The editor's dialogs: send as shown, the message options with the sender
// forms and the newsgroups, the attachments, and the signatures.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/editor_internal.h"
#include "core/appstate.h"
#include "core/folder_lookup.h"
#include "core/folder_names.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/service_keys.h"
#include "core/small_text.h"
#include "core/system_helpers.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/message_text.h"
#include "msgbase/topic_open.h"
#include "resources/compose_ids.h"

namespace {

template <typename T>
T* DialogData(HWND dialog) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR RunDialog(const char* name, HWND owner, DLGPROC proc, void* data) {
  return g_ui.dialogBox(StringModule(), name, owner, proc, reinterpret_cast<LPARAM>(data));
}

std::string DlgText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  int n = GetWindowTextLengthA(item);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(item, &text[0], n + 1)));
  return text;
}

std::string Trimmed(std::string text) {
  size_t a = text.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  size_t b = text.find_last_not_of(" \t\r\n");
  return text.substr(a, b - a + 1);
}

bool IsNetMailOrNews(const EditorState* s) { return sameservice(s->szService, "net") && (s->bMailing || s->bNews); }

// --- "SendAsShown" -----------------------------------------------------------

INT_PTR CALLBACK SendAsShownProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG: SetWindowLongPtrA(dialog, DWLP_USER, lParam); return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      if (IsDlgButtonChecked(dialog, IDC_SENDASSHOWN_ALWAYS) == BST_CHECKED) {
        StrCopyN(g_user.autoSendAsShown, id == IDOK ? "YES" : "NO", sizeof g_user.autoSendAsShown - 1);
        WriteMainItem();
      }
      if (EditorState* s = DialogData<EditorState>(dialog)) s->bChanged = 1;
      EndDialog(dialog, id == IDOK ? 1 : 0);
      return TRUE;
    }
  }
  return FALSE;
}

// --- "NewFrom" -------------------------------------------------------------------

struct NewFromData {
  EditorState* s;
};

void EnableNewFromOk(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthA(GetDlgItem(dialog, IDC_NEWFROM_NAME)) > 0 &&
                                             GetWindowTextLengthA(GetDlgItem(dialog, IDC_NEWFROM_ADDRESS)) > 0);
}

INT_PTR CALLBACK NewFromProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SendDlgItemMessageA(dialog, IDC_NEWFROM_NAME, EM_LIMITTEXT, 40, 0);
      SendDlgItemMessageA(dialog, IDC_NEWFROM_ADDRESS, EM_LIMITTEXT, 40, 0);
      EnableNewFromOk(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_NEWFROM_NAME:
        case IDC_NEWFROM_ADDRESS:
          if (HIWORD(wParam) == EN_CHANGE) EnableNewFromOk(dialog);
          return TRUE;
        case IDOK: {
          EditorState* s = DialogData<NewFromData>(dialog)->s;
          StrCopyN(s->szRealname, Trimmed(DlgText(dialog, IDC_NEWFROM_NAME)).c_str(), sizeof s->szRealname - 1);
          StrCopyN(s->szEmail, Trimmed(DlgText(dialog, IDC_NEWFROM_ADDRESS)).c_str(), sizeof s->szEmail - 1);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- "SelectNewsgroups" ----------------------------------------------------------

// The folders a post can go to in the editor's service: mail and library
// folders left out; for news their newsgroup names.
std::vector<std::string> PostableFolders(const EditorState* s, bool news) {
  std::vector<std::string> out;
  if (!g_conferenceList) return out;
  for (int i = 0; i < g_conferenceList->Count(); ++i) {
    const auto* rec = static_cast<const ConfRec*>(g_conferenceList->At(i));
    if (!rec) break;
    char name[CONF_NAME_SIZE + 1];
    StrCopyN(name, rec->name, CONF_NAME_SIZE);
    char service[SERVICE_KEY_MAX + 1] = "";
    getservice(service, name);
    if (!sameservice(service, s->szService) || ismailfolder(name) || IsDvnLibraryFolder(name)) continue;
    stripservice(name);
    if (news) MakeUsenetName(name);
    out.push_back(name);
  }
  return out;
}

void EnableGroupsOk(HWND dialog, int list) {
  LRESULT chosen = list == IDC_GROUPS_SINGLE ? (SendDlgItemMessageA(dialog, list, LB_GETCURSEL, 0, 0) != LB_ERR)
                                             : SendDlgItemMessageA(dialog, list, LB_GETSELCOUNT, 0, 0);
  EnableWindow(GetDlgItem(dialog, IDOK), chosen > 0);
}

INT_PTR CALLBACK SelectNewsgroupsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  auto* s = DialogData<EditorState>(dialog);
  int list = s && s->bNews ? IDC_GROUPS_SINGLE : IDC_GROUPS_MULTIPLE;
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      s = reinterpret_cast<EditorState*>(lParam);
      list = s->bNews ? IDC_GROUPS_SINGLE : IDC_GROUPS_MULTIPLE;
      DestroyWindow(GetDlgItem(dialog, list == IDC_GROUPS_SINGLE ? IDC_GROUPS_MULTIPLE : IDC_GROUPS_SINGLE));
      if (list == IDC_GROUPS_SINGLE) SetDlgItemTextA(dialog, IDC_GROUPS_LABEL, "Post to this &folder:");
      for (const std::string& name : PostableFolders(s, s->bNews != 0))
        SendDlgItemMessageA(dialog, list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
      // The folders chosen now, blanks stored as '_'.
      std::string current = s->szFolders;
      size_t at = 0;
      while (at <= current.size()) {
        size_t comma = current.find(',', at);
        std::string one = current.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        for (char& c : one)
          if (c == '_') c = ' ';
        LRESULT row = SendDlgItemMessageA(dialog, list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(one.c_str()));
        if (row == LB_ERR)
          row = SendDlgItemMessageA(dialog, list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(Trimmed(one).c_str()));
        if (row != LB_ERR) {
          if (list == IDC_GROUPS_SINGLE)
            SendDlgItemMessageA(dialog, list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
          else
            SendDlgItemMessageA(dialog, list, LB_SETSEL, TRUE, row);
        }
        if (comma == std::string::npos) break;
        at = comma + 1;
      }
      EnableGroupsOk(dialog, list);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == list && HIWORD(wParam) == LBN_SELCHANGE) EnableGroupsOk(dialog, list);
      if (LOWORD(wParam) == IDOK) {
        std::string chosen;
        int count = static_cast<int>(SendDlgItemMessageA(dialog, list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
          bool on = list == IDC_GROUPS_SINGLE ? SendDlgItemMessageA(dialog, list, LB_GETCURSEL, 0, 0) == i
                                              : SendDlgItemMessageA(dialog, list, LB_GETSEL, i, 0) > 0;
          if (!on) continue;
          char name[300] = "";
          if (SendDlgItemMessageA(dialog, list, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof name)) continue;
          SendDlgItemMessageA(dialog, list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(name));
          for (char* c = name; *c; ++c)
            if (*c == ' ') *c = '_';
          if (!chosen.empty()) chosen += ',';
          chosen += name;
        }
        if (chosen.size() < sizeof s->szFolders) {
          std::strcpy(s->szFolders, chosen.c_str());
          SetEditorTitle(s);
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- "EditOptions" ------------------------------------------------------------------

struct OptionsData {
  EditorState* s;
  CAddrList* forms;
};

void AddSenderForm(HWND dialog, const char* name, const char* address, bool select) {
  std::string shown = FormatAddressDisplay(name, address, false);
  LRESULT row = SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(shown.c_str()));
  if (row == LB_ERR)
    row = SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  if (select && row >= 0) SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

void InitOptions(HWND dialog, OptionsData* d) {
  EditorState* s = d->s;
  bool netMail = IsNetMailOrNews(s);
  EnableWindow(GetDlgItem(dialog, IDC_OPTIONS_HEADERS), netMail);
  EnableWindow(GetDlgItem(dialog, IDC_OPTIONS_DATASOURCE), s->bMailing && !s->bEditAction);
  EnableWindow(GetDlgItem(dialog, IDC_OPTIONS_SENDASSHOWN), !sameservice(s->szService, "quorl"));
  EnableWindow(GetDlgItem(dialog, IDC_OPTIONS_SENDTOSELF), s->bMailing);
  EnableWindow(GetDlgItem(dialog, IDC_OPTIONS_NEWSGROUPS), s->bSay || s->bNews);
  CheckDlgButton(dialog, IDC_OPTIONS_SENDASSHOWN, s->bSendAsShown ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_OPTIONS_SENDTOSELF, s->bSendToSelf ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(dialog, IDC_OPTIONS_HEADERS, s->szCustomHeaders);
  if (netMail) {
    d->forms->LoadFromFile(SenderFormsPath().c_str());
    for (int i = 0; i < d->forms->Count(); ++i)
      if (AddrListEntry* e = d->forms->At(i)) AddSenderForm(dialog, e->name, e->address, false);
    if (s->szEmail[0]) AddSenderForm(dialog, s->szRealname, s->szEmail, true);
  } else {
    for (int id : {IDC_OPTIONS_FORMS, IDC_OPTIONS_NEWFROM, IDC_OPTIONS_DELETE})
      EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
}

void OptionsOk(HWND dialog, OptionsData* d) {
  EditorState* s = d->s;
  s->bChanged = 1;
  if (IsNetMailOrNews(s)) {
    // The list as shown becomes the sender-forms file.
    d->forms->Clear();
    int count = static_cast<int>(SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char shown[400] = "";
      if (SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof shown))
        continue;
      SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETTEXT, i, reinterpret_cast<LPARAM>(shown));
      d->forms->Parse(shown, true);
    }
    d->forms->SaveToFile(SenderFormsPath().c_str());
    LRESULT row = SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETCURSEL, 0, 0);
    char shown[400] = "";
    if (row != LB_ERR &&
        SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETTEXTLEN, row, 0) < static_cast<LRESULT>(sizeof shown)) {
      SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETTEXT, row, reinterpret_cast<LPARAM>(shown));
      ParseAddress(shown, s->szRealname, sizeof s->szRealname, s->szEmail, sizeof s->szEmail);
    }
  }
  s->bSendAsShown = IsDlgButtonChecked(dialog, IDC_OPTIONS_SENDASSHOWN) == BST_CHECKED;
  s->bSendToSelf = IsDlgButtonChecked(dialog, IDC_OPTIONS_SENDTOSELF) == BST_CHECKED;
  std::string headers = Trimmed(DlgText(dialog, IDC_OPTIONS_HEADERS));
  if (headers.size() < sizeof s->szCustomHeaders) std::strcpy(s->szCustomHeaders, headers.c_str());
  RefreshEditorStatus(s);
}

INT_PTR CALLBACK EditOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  auto* d = DialogData<OptionsData>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      InitOptions(dialog, reinterpret_cast<OptionsData*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (!d) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_OPTIONS_NEWFROM: {
          NewFromData data{d->s};
          if (RunDialog("NewFrom", dialog, NewFromProc, &data) == IDOK)
            AddSenderForm(dialog, d->s->szRealname, d->s->szEmail, true);
          return TRUE;
        }
        case IDC_OPTIONS_DELETE: {
          LRESULT row = SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_GETCURSEL, 0, 0);
          if (row != LB_ERR)
            SendDlgItemMessageA(dialog, IDC_OPTIONS_FORMS, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
          return TRUE;
        }
        case IDC_OPTIONS_NEWSGROUPS: RunDialog("SelectNewsgroups", dialog, SelectNewsgroupsProc, d->s); return TRUE;
        case IDC_OPTIONS_DATASOURCE: {
          char path[MAX_PATH] = "";
          if (PromptOpenFileName(dialog, "Select Datasource", path, "CSV (Comma delimited)\0*.csv\0", false))
            StrCopyN(d->s->szMergeFile, path, sizeof d->s->szMergeFile - 1);
          SetCurrentDirectoryA(g_app.dataDir);
          return TRUE;
        }
        case IDOK:
          OptionsOk(dialog, d);
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- "EditAttachments" ------------------------------------------------------------

void EnableRemove(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDC_ATTACH_REMOVE),
               SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_GETSELCOUNT, 0, 0) > 0);
}

// The files an "Attach File" answer names: one path, or a directory and the
// names chosen in it (NUL separated).
std::vector<std::string> ChosenFiles(const char* answer) {
  std::vector<std::string> files;
  std::string dir = answer;
  const char* p = answer + dir.size() + 1;
  if (!*p) {
    if (!dir.empty()) files.push_back(dir);
    return files;
  }
  for (; *p; p += std::strlen(p) + 1) files.push_back(dir + (dir.back() == '\\' ? "" : "\\") + p);
  return files;
}

INT_PTR CALLBACK EditAttachmentsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  auto* s = DialogData<EditorState>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      s = reinterpret_cast<EditorState*>(lParam);
      for (int i = 0; i < s->Attachments.count(); ++i)
        SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s->Attachments.get(i)));
      CheckDlgButton(dialog, IDC_ATTACH_MIME, s->bMime ? BST_CHECKED : BST_UNCHECKED);
      EnableWindow(GetDlgItem(dialog, IDC_ATTACH_MIME), sameservice(s->szService, "net"));
      EnableRemove(dialog);
      return TRUE;
    case WM_COMMAND:
      if (!s) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_ATTACH_LIST:
          if (HIWORD(wParam) == LBN_SELCHANGE) EnableRemove(dialog);
          return TRUE;
        case IDC_ATTACH_ADD: {
          std::vector<char> answer(26000, '\0');
          if (PromptAttachFileName(dialog, "Attach File", answer.data()))
            for (const std::string& file : ChosenFiles(answer.data()))
              SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(file.c_str()));
          SetCurrentDirectoryA(g_app.dataDir);
          return TRUE;
        }
        case IDC_ATTACH_REMOVE: {
          int count = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_GETCOUNT, 0, 0));
          for (int i = count - 1; i >= 0; --i)
            if (SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_GETSEL, i, 0) > 0)
              SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_DELETESTRING, i, 0);
          EnableRemove(dialog);
          return TRUE;
        }
        case IDOK: {
          s->bChanged = 1;
          s->bMime = IsDlgButtonChecked(dialog, IDC_ATTACH_MIME) == BST_CHECKED;
          s->Attachments.clear();
          int count = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_GETCOUNT, 0, 0));
          for (int i = 0; i < count; ++i) {
            std::vector<char> path(
                static_cast<size_t>(SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_GETTEXTLEN, i, 0)) + 1);
            SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(path.data()));
            s->Attachments.add(path.data());
          }
          ShowAttachmentCount(s);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- "Signature" ------------------------------------------------------------------------

// The signature key of a folder list row: a service row keys by its service,
// a conference row by its conference.
std::string SignatureKey(std::string name) {
  if (!name.empty() && name.back() == ':') name.pop_back();
  return name;
}

std::vector<std::string> SelectedFolders() {
  std::vector<std::string> out;
  const char* selection = g_messageBaseHooks.selection();
  std::string all = selection ? selection : "";
  size_t at = 0;
  while ((at = all.find_first_not_of(' ', at)) != std::string::npos) {
    size_t end = all.find(' ', at);
    out.push_back(SignatureKey(all.substr(at, end == std::string::npos ? std::string::npos : end - at)));
    at = end;
  }
  return out;
}

struct SignatureData {
  std::vector<std::string> folders;  // the selection, or the one folder shown
};

void InitSignature(HWND dialog, SignatureData* d) {
  SendDlgItemMessageA(dialog, IDC_SIGNATURE_TEXT, EM_LIMITTEXT, 319, 0);
  std::string folder;
  if (!d->folders.empty())
    folder = d->folders[0];
  else if (g_topic.log)
    folder = g_topic.openName;
  else if (g_conferenceList && g_conferenceList->Count() > 0) {
    const auto* rec = static_cast<const ConfRec*>(g_conferenceList->At(0));
    char service[SERVICE_KEY_MAX + 1] = "";
    if (rec) getservice(service, rec->name);
    folder = service;
  }
  char sig[320] = "";
  GetSig(folder.c_str(), sig);
  SetDlgItemTextA(dialog, IDC_SIGNATURE_TEXT, sig);
  char caption[200] = "";
  GetWindowTextA(dialog, caption, sizeof caption);
  std::string title = caption;
  if (d->folders.size() > 1) {
    title += " - Multiple Selection";
  } else if (!folder.empty()) {
    char shown[260];
    StrCopyN(shown, folder.c_str(), sizeof shown - 1);
    if (isnewsfolder(shown) && !ismailfolder(shown)) {
      std::string n = shown;
      size_t dot;
      while ((dot = n.find("/.")) != std::string::npos) n.erase(dot, 2);
      for (char& c : n)
        if (c == '/') c = '.';
      StrCopyN(shown, n.c_str(), sizeof shown - 1);
    }
    FixNameCase(shown);
    title += std::string(" - ") + shown;
  }
  SetWindowTextA(dialog, title.c_str());
}

void SignatureOk(HWND dialog, SignatureData* d) {
  std::string text = DlgText(dialog, IDC_SIGNATURE_TEXT);
  if (text.size() > 319) text.resize(319);
  if (d->folders.empty())
    SaveSig("", text.c_str());
  else
    for (const std::string& folder : d->folders) SaveSig(folder.c_str(), text.c_str());
  EndDialog(dialog, IDOK);
}

// Ctrl+Enter in the signature acts as OK.
LRESULT CALLBACK SignatureEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropA(edit, "PlSigEdit"));
  if ((message == WM_CHAR && wParam == '\n') ||
      (message == WM_KEYDOWN && wParam == VK_RETURN && GetKeyState(VK_CONTROL) < 0)) {
    if (message == WM_KEYDOWN) PostMessageA(GetParent(edit), WM_COMMAND, IDOK, 0);
    return 0;
  }
  return CallWindowProcA(original, edit, message, wParam, lParam);
}

INT_PTR CALLBACK SignatureProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  auto* d = DialogData<SignatureData>(dialog);
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      InitSignature(dialog, reinterpret_cast<SignatureData*>(lParam));
      HWND edit = GetDlgItem(dialog, IDC_SIGNATURE_TEXT);
      SetPropA(edit, "PlSigEdit",
               reinterpret_cast<HANDLE>(
                   SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SignatureEditProc))));
      return TRUE;
    }
    case WM_COMMAND:
      if (!d) return FALSE;
      if (LOWORD(wParam) == IDOK) {
        SignatureOk(dialog, d);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_DESTROY: {
      HWND edit = GetDlgItem(dialog, IDC_SIGNATURE_TEXT);
      if (HANDLE old = RemovePropA(edit, "PlSigEdit"))
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
      break;
    }
  }
  return FALSE;
}

}  // namespace

int SendAsShownDialog(EditorState* s) { return RunDialog("SendAsShown", s->window, SendAsShownProc, s) == 1; }

void EditOptionsDialog(EditorState* s) {
  CAddrList forms;
  OptionsData data{s, &forms};
  RunDialog("EditOptions", s->window, EditOptionsProc, &data);
}

void EditAttachmentsDialog(EditorState* s) { RunDialog("EditAttachments", s->window, EditAttachmentsProc, s); }

void SignatureDialog() {
  SignatureData data;
  data.folders = SelectedFolders();
  PushHelpContext(1215);
  RunDialog("Signature", GetActiveWindow(), SignatureProc, &data);
  PopHelpContext();
}
