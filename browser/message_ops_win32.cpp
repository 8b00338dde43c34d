// Message operations that queue work for the outbasket or the import program:
// Fetch Full Message, Cancel Message, relinking a broken thread, copying
// messages into another folder, Send To and Paste, and the pane bar's
// buttons of composite folders.
#include "browser/message_ops.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/command_dialogs.h"
#include "browser/message_actions.h"
#include "browser/rethread.h"
#include "browser/thread_list.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_keys.h"
#include "core/system_helpers.h"
#include "core/ui_seams.h"
#include "msgbase/change_detect.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/message_ops.h"
#include "msgbase/records.h"
#include "msgbase/service_config.h"
#include "msgbase/thread_ids.h"
#include "msgbase/topic_open.h"
#include "online/script_cmd.h"
#include "resources/browser_ids.h"
#include "shell/commands_hooks.h"
#include "shell/shell_state.h"

namespace {

constexpr uint16_t kMsgFullRequested = 0x0010;
constexpr uint32_t kFolderSpecial = 0x800;
constexpr uint32_t kFolderModerated = 0x0008;

MsgIndexRec* Rec(int slot) {
  return slot >= 0 && slot < LogCva.Count() ? static_cast<MsgIndexRec*>(LogCva.At(slot)) : nullptr;
}

bool IsDravenet(const char* name) { return sameservice(name, "dvn"); }
bool IsQuorl(const char* name) { return sameservice(name, "quorl"); }
bool IsLocal(const char* name) { return ServiceKeyOf(name).empty() || sameservice(name, "local"); }

std::string HeaderField(long number, const char* field) {
  char value[512] = "";
  if (!GetHeaderField(number, field, value, sizeof value, false)) return "";
  return value;
}

std::string ActionFilePath(const std::string& key) {
  char path[MAX_PATH] = "";
  const std::string file = key + ".bsc";
  if (!JoinPath(path, sizeof path, {g_app.dataDir, key.c_str(), file.c_str()})) return "";
  return path;
}

// Appends the lines in text mode, so each ends in CR LF on disk.
bool AppendActionLines(const std::string& key, const std::string& lines) {
  const std::string path = ActionFilePath(key);
  FILE* file = path.empty() ? nullptr : fopen_alock(path.c_str(), FO_QUIET);
  if (!file) {
    WarnBoxF("Can't open '%s'", path.c_str());
    return false;
  }
  bool ok = std::fputs(lines.c_str(), file) >= 0;
  ok = std::fflush(file) == 0 && ok;
  fileclose(file);
  return ok;
}

void QueueReadnum(long number) {
  std::string folder = WithoutServiceKey(g_topic.openName);
  if (IsDravenet(g_topic.openName)) folder = ForumOf(folder);
  const std::string command = "readnum " + ActionField(folder) + " " + std::to_string(number);
  g_messageOpsHooks.makeScriptCmd(command.c_str());
}

// --- Fetch Full Message ----------------------------------------------------

struct FetchRun {
  bool request = true;
  bool markRead = true;
  bool dravenet = false;
} g_fetch;

bool FetchKindOf(FetchKind* kind) {
  if (g_browser.libraryFolder)
    *kind = FetchKind::kLibraryList;
  else if (ismailfolder(g_topic.openName))
    *kind = FetchKind::kMail;
  else if (IsDravenet(g_topic.openName))
    *kind = FetchKind::kDravenet;
  else if (isnewsfolder(g_topic.openName))
    *kind = FetchKind::kNews;
  else
    return false;
  return true;
}

void FetchOne(bool first, int slot, int) {
  MsgIndexRec* rec = Rec(slot);
  if (!rec) return;
  if (first) {
    g_fetch.request = !(rec->flags & kMsgFullRequested);
    g_fetch.markRead = GetKeyState(VK_SHIFT) >= 0;
  }
  const long number = rec->number;
  const long threadId = std::atol(HeaderField(number, "Thread-Id").c_str());
  if (!g_fetch.request) {
    // Withdrawing writes nothing: the request was never sent.
    if (g_fetch.dravenet && threadId) ThreadIdSet(threadId, 0);
    rec->flags &= ~kMsgFullRequested;
    return;
  }
  if (rec->flags & kMsgFullRequested) return;  // asked for already
  FetchKind kind;
  if (!FetchKindOf(&kind)) return;
  std::string origin = HeaderField(number, "X-PL-Origin");
  const std::string openKey = ServiceKeyOf(g_topic.openName);
  if (origin.empty()) {
    const std::string groups = HeaderField(number, "Newsgroups");
    origin = groups.empty() ? g_topic.openName : OriginOfNewsgroups(openKey, groups);
  }
  std::string key = ServiceKeyOf(origin.c_str());
  if (key.empty()) key = openKey;
  FetchRequest request;
  request.kind = kind;
  request.user = g_app.userName;
  request.folder = WithoutServiceKey(origin.c_str());
  request.messageId = HeaderField(number, "Message-ID");
  request.number = number;
  request.commentTo = rec->commentTo;
  if (kind == FetchKind::kDravenet && threadId) ThreadIdSet(threadId, 1);
  if (!AppendActionLines(key, FetchActionLines(request))) return;
  rec->flags |= kMsgFullRequested;
  if (g_fetch.markRead) rec->flags |= kMsgRead;
}

// --- Paste -------------------------------------------------------------------

struct MessageCopy {
  std::string text, references;
  DWORD sequence = 0;
} g_copy;

UINT MessageFormat() { return RegisterClipboardFormatA("500_MESSAGE"); }

std::string ClipboardText(UINT format) {
  std::string out;
  HANDLE block = GetClipboardData(format);
  const char* p = block ? static_cast<const char*>(GlobalLock(block)) : nullptr;
  if (p) {
    out.assign(p, strnlen(p, GlobalSize(block)));
    GlobalUnlock(block);
  }
  return out;
}

// --- Send To -----------------------------------------------------------------

struct SendToChoices {
  char folder[kIniStringValue] = "";
  uint32_t append = 0;
  uint32_t remove = 0;
  bool loaded = false;
} g_sendTo;

std::string UserIni() { return std::string(g_app.userName).substr(0, 8) + ".ini"; }

void LoadSendToChoices() {
  if (g_sendTo.loaded) return;
  g_sendTo.loaded = true;
  IniKey keys[] = {{"Folder", g_sendTo.folder, INI_STRING, 0},
                   {"Append", &g_sendTo.append, INI_FLAG, 0},
                   {"Delete", &g_sendTo.remove, INI_FLAG, 0},
                   {"", nullptr, 0, 0}};
  readini(UserIni().c_str(), "Send To", keys);
}

void SaveSendToChoices() {
  IniKey keys[] = {{"Folder", g_sendTo.folder, INI_STRING, 0},
                   {"Append", &g_sendTo.append, INI_FLAG, 0},
                   {"Delete", &g_sendTo.remove, INI_FLAG, 0},
                   {"", nullptr, 0, 0}};
  writeini(UserIni().c_str(), "Send To", keys);
}

std::string Underscored(std::string text) {
  for (char& c : text)
    if (c == ' ') c = '_';
  return text;
}

void OnSendToInit(HWND dialog, std::string* result) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(result));
  LoadSendToChoices();
  HWND combo = GetDlgItem(dialog, IDC_SENDTO_NAME);
  SendMessageA(combo, CB_LIMITTEXT, 100, 0);
  int chosen = 0;
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || (rec->flags & 1) || std::strchr(rec->name, '\xFF') || !lstrcmpiA(rec->name, g_topic.openName)) continue;
    char shown[120];
    snprintf(shown, sizeof shown, "%s%s", std::strchr(rec->name, ':') ? "" : "local:", rec->name);
    FixNameCase(shown);
    const int at = static_cast<int>(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown)));
    if (at >= 0 && !lstrcmpiA(Underscored(shown).c_str(), Underscored(g_sendTo.folder).c_str())) chosen = at;
  }
  SendMessageA(combo, CB_SETCURSEL, chosen, 0);
  CheckDlgButton(dialog, IDC_SENDTO_APPEND, g_sendTo.append ? BST_CHECKED : BST_UNCHECKED);
  const bool mayDelete = HasRight(1024);
  CheckDlgButton(dialog, IDC_SENDTO_DELETE, mayDelete && g_sendTo.remove ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, IDC_SENDTO_DELETE), mayDelete);
}

void OnSendToOk(HWND dialog) {
  char typed[101] = "";
  GetDlgItemTextA(dialog, IDC_SENDTO_NAME, typed, sizeof typed);
  std::string name = CleanFolderName(typed);
  if (!name.empty() && name.find(':') == std::string::npos) name = "local:" + name;
  const std::string refusal = SendToRefusal(name);
  if (!refusal.empty()) {
    msgwarn(refusal.c_str());
    return;
  }
  lstrcpynA(g_sendTo.folder, name.c_str(), sizeof g_sendTo.folder);
  g_sendTo.append = IsDlgButtonChecked(dialog, IDC_SENDTO_APPEND) == BST_CHECKED;
  g_sendTo.remove = IsDlgButtonChecked(dialog, IDC_SENDTO_DELETE) == BST_CHECKED;
  SaveSendToChoices();
  if (auto* result = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER))) *result = name;
  EndDialog(dialog, IDOK);
}

// --- Relink ------------------------------------------------------------------

long ParentFromSubject(long number) {
  std::string text;
  if (!ReadMessageText(number, text)) return 0;
  static const char kPrefix[] = "subject: reply to #";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.size() > sizeof kPrefix - 1 && !_strnicmp(line.c_str(), kPrefix, sizeof kPrefix - 1))
      return std::atol(line.c_str() + sizeof kPrefix - 1);
    start = end + 1;
  }
  return 0;
}

// Every message of the thread whose root is `top`, by comment-to links.
std::vector<long> ThreadOf(long top) {
  std::set<long> members = {top};
  for (bool grew = true; grew;) {
    grew = false;
    for (int i = 0; i < LogCva.Count(); ++i) {
      const MsgIndexRec* r = Rec(i);
      if (r && r->commentTo && members.count(r->commentTo) && members.insert(r->number).second) grew = true;
    }
  }
  return std::vector<long>(members.begin(), members.end());
}

void RelinkInOpenFolder(long parent, const std::string& startFolder) {
  long top = parent;
  for (int steps = 0; steps < 100000; ++steps) {
    MsgIndexRec* r = getmsghdr(top, 1);
    if (!r || !r->commentTo) break;
    MsgIndexRec* up = getmsghdr(r->commentTo, 1);
    if (!up || (up->flags & kMsgMissing)) break;
    top = r->commentTo;
  }
  char path[MAX_PATH] = "";
  if (!pendingtmpname(path, sizeof path)[0]) return;
  FILE* out = fopen_w(path, FO_BINARY);
  if (!out) return;
  bool ok = true;
  for (long number : ThreadOf(top)) ok = CopyMessageAsImport(out, number, startFolder.c_str()) && ok;
  ok = std::fflush(out) == 0 && ok;
  fileclose(out);
  if (!ok) {
    EraseFile(path);
    return;
  }
  QueueImport(ServiceKeyOf(g_topic.openName).c_str(), path, "messages", 2048);
  RunImportProgram();
}

}  // namespace

bool ReadMessageText(long number, std::string& text, std::string* header) {
  text.clear();
  if (!scanmsg(number)) return false;
  if (header) header->assign(g_logReader.line, g_logReader.lineLength);
  for (long guard = 0; g_logReader.remaining >= 1 && guard < 10000000; ++guard) {
    const long n = readmsgline(g_logReader);
    if (n <= 0) break;
    g_logReader.remaining -= n;
    text.append(g_logReader.line, g_logReader.lineLength);
  }
  return true;
}

bool FetchFullMessageOffered() {
  return g_browser.open && g_topic.log && !(g_topic.openFlags & kFolderSpecial) && g_hconf.slots &&
         g_hconf.slots[HCONF_H][0];
}

void FetchFullMessage() {
  if (!FetchFullMessageOffered()) return;
  g_fetch = FetchRun();
  g_fetch.dravenet = IsDravenet(g_topic.openName);
  if (g_fetch.dravenet) {
    char tid[MAX_PATH];
    lstrcpynA(tid, g_topic.logPath, sizeof tid);
    setext(tid, ".tid", sizeof tid);
    LoadThreadIds(tid);
  }
  const int rows = ApplyToSelection(FetchOne, true);
  if (rows == 1) AdvanceAfterMark('F');
  if (g_fetch.dravenet) SaveThreadIds();
  if (g_browser.list) InvalidateRect(g_browser.list, nullptr, FALSE);
  UpdateFolderView();
}

void CancelMessage() {
  const long number = g_browser.currentMessage;
  if (!g_topic.log || number <= 0 || (g_topic.openFlags & kFolderSpecial) || ismailfolder(g_topic.openName)) return;
  if (g_browserHooks.getGhostKind(number) == 1) return;
  if (!EraseMessage(number)) return;
  if (MsgIndexRec* r = getmsghdr(number, 1)) r->flags |= kMsgRead;
  g_topicOpenHooks.refreshGhosts();
  if (g_browser.list) InvalidateRect(g_browser.list, nullptr, FALSE);
}

void RelinkThread() {
  const long number = g_browser.currentMessage;
  if (!g_topic.log || number <= 0) return;
  const MsgIndexRec* rec = getmsghdr(number, 1);
  long parent = rec ? rec->commentTo : 0;
  const bool dravenet = IsDravenet(g_topic.openName);
  if (!parent && dravenet) parent = ParentFromSubject(number);
  if (parent <= 0) return;
  if (SelectMessage(parent, g_browser.folder, 1)) return;
  if (findmsgidx(static_cast<int32_t>(parent)) >= 0) {
    msgnote("You cannot see that message in the current reading mode.");
    return;
  }
  if (IsLocal(g_topic.openName) || ismailfolder(g_topic.openName)) {
    msgnote("Message not found!");
    return;
  }
  if (dravenet) {
    const std::string section = FindMessageSection(parent);
    if (!section.empty()) {
      const std::string startFolder = WithoutServiceKey(g_topic.openName);
      FollowLink(("PL://" + section + "#" + std::to_string(parent)).c_str());
      PumpMessages();
      if (askyesno("Do you want to relink the broken thread?")) RelinkInOpenFolder(parent, startFolder);
      return;
    }
  }
  if (!askyesno("Collect original message from Service ?")) return;
  if (!dravenet && !IsQuorl(g_topic.openName)) {
    msgnote("This operation is not supported in this service.");
    return;
  }
  QueueReadnum(parent);
}

bool CopyMessageAsImport(FILE* out, long number, const char* destination) {
  std::string text, header;
  if (!ReadMessageText(number, text, &header) || header.empty()) return false;
  std::string note;
  const std::string all =
      ImportHeaderLine(header, WithoutServiceKey(g_topic.openName), destination, g_topic.openName, number, &note) +
      text;
  std::string body;
  for (char c : all) {
    if (c == '\r') continue;  // a lone carriage return is dropped; "\n" gets its own
    if (c == '\n') body += '\r';
    body += c;
  }
  body += "\r\n" + note;
  return std::fwrite(body.data(), 1, body.size(), out) == body.size();
}

void KeepMessageCopy(const std::string& text, const std::string& references) {
  g_copy.text = text;
  g_copy.references = references;
  g_copy.sequence = GetClipboardSequenceNumber();
}

bool ClipboardHoldsOwnCopy() {
  if (g_copy.references.empty() || !IsClipboardFormatAvailable(MessageFormat())) return false;
  if (GetClipboardSequenceNumber() != g_copy.sequence) return false;
  if (!OpenClipboard(nullptr)) return false;
  const bool same = ClipboardText(MessageFormat()) == g_copy.references;
  CloseClipboard();
  return same;
}

bool PasteMessages(const char* folder, int renumber) {
  if (!folder || !folder[0] || !IsClipboardFormatAvailable(MessageFormat())) return false;
  if (!ClipboardHoldsOwnCopy()) {
    msgnote("The messages on the clipboard were not copied in this window.\n\nPlease copy them again, then paste.");
    return false;
  }
  std::string key = ServiceKeyOf(folder);
  if (key.empty()) key = "local";
  const std::string name = WithoutServiceKey(folder);
  char path[MAX_PATH] = "";
  if (!pendingtmpname(path, sizeof path)[0]) return false;
  if (renumber == -1) {
    const int answer = askyesnocancel("Append messages and renumber them after the last message ?");
    if (answer == IDCANCEL) return false;
    renumber = answer == IDYES;
  }
  FILE* out = fopen_w(path, FO_BINARY);
  if (!out) {
    WarnBoxF("Can't open '%s'", path);
    return false;
  }
  std::string head = renumber ? "#pragma overridenumber=yes\r\n" : "";
  head += "#pragma override=" + ActionField(name) + "\r\n\r\n";
  bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size() &&
            std::fwrite(g_copy.text.data(), 1, g_copy.text.size(), out) == g_copy.text.size();
  ok = std::fflush(out) == 0 && ok;
  fileclose(out);
  if (!ok) {
    EraseFile(path);
    WarnBoxF("Unable to write '%s'", path);
    return false;
  }
  QueueImport(key.c_str(), path, "messages", 0x800);
  RunImportProgram();
  return true;
}

std::string SendToRefusal(const std::string& name) {
  if (!ValidSendToName(name))
    return "You have entered an invalid folder name.\n\nThe format is <service>:<folder>/<folder>.";
  if (sameservice(name.c_str(), "local")) return "";
  // A forbidden folder is refused wherever it stands in the list.
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (rec && !lstrcmpiA(rec->name, name.c_str()) && (rec->flags & 2) && (rec->flags & 4))
      return "You have attempted to write to a folder that you are not allowed in.\n\nPlease choose another folder "
             "name.";
  }
  const std::string key = ServiceKeyOf(name.c_str());
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (rec && !key.empty() && sameservice(rec->name, key.c_str())) return "";
  }
  return "Invalid service name.\n\nYou may only copy messages to an existing service.";
}

INT_PTR CALLBACK SendToAnyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnSendToInit(dialog, reinterpret_cast<std::string*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnSendToOk(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

void SendToAnyFolder(const char* name) {
  if (!g_browser.open || !g_topic.log) return;
  LoadSendToChoices();
  std::string chosen = name ? name : "";
  if (chosen.empty()) {
    HINSTANCE module = g_app.instance ? g_app.instance : GetModuleHandleA(nullptr);
    if (g_ui.dialogBox(module, "SendToAny", g_app.mainWindow, SendToAnyDlgProc, reinterpret_cast<LPARAM>(&chosen)) !=
            IDOK ||
        chosen.empty())
      return;
  }
  if (!CopyMessagesToClipboard(g_sendTo.remove && HasRight(1024) ? 1 : 0)) return;
  PasteMessages(chosen.c_str(), g_sendTo.append ? 1 : 0);
}

void CreatePaneBarButtons(HWND bar) {
  if (!g_browser.composite || !g_topic.log) return;
  struct Button {
    const char* caption;
    int id;
  };
  std::vector<Button> buttons = {{"&Download", 1140}, {"&Refresh", 1766}};
  const bool moderated = (IsQuorl(g_topic.openName) || IsLocal(g_topic.openName)) &&
                         (g_topic.openFlags & kFolderModerated) && g_markHooks.canModerateTopic(g_topic.openName);
  if (moderated) {
    buttons.push_back({"Er&ase", 1285});
    if (!ismailfolder(g_topic.openName)) buttons.push_back({"M&odify", 1177});
  }
  const int du = LOWORD(GetDialogBaseUnits());
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(bar, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (size_t i = 0; i < buttons.size(); ++i) {
    HWND button =
        CreateWindowA("BUTTON", buttons[i].caption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                      6 + static_cast<int>(i) * 11 * du, 4, 10 * du, 23, bar,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(buttons[i].id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  }
}

void InstallMessageOpsCommands() {
  CommandHooks& h = g_commandHooks;
  h.RefreshLibraryList = FetchFullMessage;
  h.UpdateGhostState = CancelMessage;
  h.RelinkThread = RelinkThread;
  h.SendToAnyFolder = SendToAnyFolder;
  h.ReThreadMessages = ReThreadMessages;
  h.RemoteSearch = RemoteSearch;
  h.EditFavourites = EditFavourites;
}
