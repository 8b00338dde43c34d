// Who a message is from (the sender's name and address for its service and
// the user's sender forms), and the services a new mail can go through.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "compose/compose.h"
#include "compose/editor_internal.h"
#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/service_dirs.h"
#include "core/service_keys.h"
#include "core/settings.h"
#include "core/small_text.h"
#include "core/text1252.h"
#include "core/user_settings.h"

namespace {

bool FirstLetterIs(const char* text, char letter) {
  return ToUpper1252(static_cast<unsigned char>(text[0])) == static_cast<unsigned char>(letter);
}

// The index of the first recipient with this address in To, Cc or Bcc.
AddrListEntry* FindRecipient(EditorState* s, const char* address) {
  for (CAddrList* list : {&s->To, &s->Cc, &s->Bcc}) {
    int at = list->FindAddress(address);
    if (at >= 0) return list->At(at);
  }
  return nullptr;
}

}  // namespace

std::string SenderFormsPath() {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s%.8s.frm", g_app.dataDir, g_app.userName);
  return path;
}

void SetSender(EditorState* s, bool refresh) {
  DebugLog("SetSender: start\n");
  bool net = sameservice(s->szService, "net"), dvn = sameservice(s->szService, "dvn");
  if (net)
    s->bMime = s->bMailing ? FirstLetterIs(GetServiceIniString(nullptr, "net", "Mime"), 'Y') : 0;
  else
    s->bMime = dvn ? 1 : 0;
  if (!refresh && sameservice(s->szService, "quorl")) s->bSendAsShown = 1;
  if (s->receiptBox) EnableWindow(s->receiptBox, dvn);
  if (net && (s->bMailing || s->bNews)) {
    ReadServiceSettings("net");
    if (!g_serviceAddress.emailAddress[0]) ReadServiceAddress("net");
    StrCopyN(s->szRealname, g_serviceAddress.realName, sizeof s->szRealname - 1);
    StrCopyN(s->szEmail, g_serviceAddress.emailAddress, sizeof s->szEmail - 1);
    if (refresh) {
      // A "From:" line of the custom headers names the sender itself.
      if (const char* from = stristr(s->szCustomHeaders, "From:")) {
        from += 5;
        while (*from == ' ') ++from;
        char line[200];
        StrCopyN(line, from, sizeof line - 1);
        line[std::strcspn(line, "\r\n")] = 0;
        char name[200] = "", address[204] = "";
        ParseAddress(line, name, sizeof name, address, sizeof address);
        StrCopyN(s->szRealname, name, sizeof s->szRealname - 1);
        StrCopyN(s->szEmail, address, sizeof s->szEmail - 1);
      }
    }
    if ((s->szEmail[0] && FindRecipient(s, s->szEmail)) || !(s->bComment || s->bReply)) {
      DebugLog("SetSender: end\n");
      return;
    }
    // Replying to a message sent to one of the user's other identities:
    // answer as that identity.
    s->senderForms.LoadFromFile(SenderFormsPath().c_str());
    for (int i = 0; i < s->senderForms.Count(); ++i) {
      AddrListEntry* form = s->senderForms.At(i);
      if (!form) break;
      char address[101];
      std::strcpy(address, form->address);
      if (AddrListEntry* match = FindRecipient(s, address)) {
        StrCopyN(s->szRealname, match->name, sizeof s->szRealname - 1);
        StrCopyN(s->szEmail, match->address, sizeof s->szEmail - 1);
        break;
      }
    }
  } else {
    StrCopyN(s->szRealname, GetNamedIniString(g_userIniName, "Main", "Real Name"), sizeof s->szRealname - 1);
    const char* key = dvn && (s->bSay || s->bComment) ? "Personal Address" : "Name";
    StrCopyN(s->szEmail, GetServiceIniString(nullptr, s->szService, key), sizeof s->szEmail - 1);
  }
  DebugLog("SetSender: end\n");
}

void FillServiceList(HWND control) {
  char cls[16] = "";
  GetClassNameA(control, cls, sizeof cls);
  bool combo = lstrcmpiA(cls, "ComboBox") == 0;
  char pattern[MAX_PATH];
  std::snprintf(pattern, sizeof pattern, "%s*", g_app.dataDir);
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(pattern, &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == '.') continue;
    char name[MAX_PATH];
    StrCopyN(name, found.cFileName, sizeof name - 1);
    for (char* c = name; *c; ++c) *c = static_cast<char>(ToLower1252(static_cast<unsigned char>(*c)));
    if (!IsServiceDir(name)) continue;
    if (!std::strcmp(name, "local") && !g_main.localMail) continue;
    if (!std::strcmp(name, "delnews") || !std::strcmp(name, "quorlnews") || !std::strcmp(name, "msmail") ||
        !std::strcmp(name, "ccmail"))
      continue;
    if (!std::strcmp(name, "net") && !GetServiceIniString(nullptr, "net", "Smtp Mail Gateway")[0]) continue;
    if (FirstLetterIs(GetServiceIniString(nullptr, name, "Mail Disabled"), 'Y') ||
        GetServiceIniString(nullptr, name, "Mail Disabled")[0] == '1')
      continue;
    FixNameCase(name);
    SendMessageA(control, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  } while (FindNextFileA(h, &found));
  FindClose(h);
}
