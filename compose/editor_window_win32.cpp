// The editor window "Bramblewick": an MDI child holding one EditorState, its
// creation in a mode, its layout, and sending (the outbasket entry, or the
// import queue for the local service).
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "browser/browser_state.h"
#include "compose/compose.h"
#include "compose/editor_internal.h"
#include "compose/editor_text.h"
#include "compose/message_block.h"
#include "compose/outgoing.h"
#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_lookup.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/service_keys.h"
#include "core/small_text.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/message_ops.h"
#include "msgbase/message_text.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"
#include "wrx/wrx.h"

namespace {

constexpr char kEditorClass[] = "Bramblewick";

enum : int {
  ID_BODY = 3000,
  ID_TO = 3001,
  ID_CC = 3002,
  ID_SUBJECT = 3003,
  ID_OK = 3004,
  ID_CANCEL = 3006,
  ID_TO_BUTTON = 3015,
  ID_ORIGINATOR = 3017,
  ID_QUOTE = 3018,
  ID_ATTACH = 3026,
  ID_HOLD = 1315,
  ID_HELP = 1159,
  ID_OPTIONS = 4331,
  ID_BCC = 14738,
  ID_WORD_WRAP = 1715,
  ID_INSERT_MODE = 1990,
  ID_RELOAD_AUTOCORRECT = 1472,
};

EditorState* StateOf(HWND window) { return EditorStateOf(window); }

HFONT DialogFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HWND MakeControl(EditorState* s, const char* cls, const char* text, DWORD style, int id, bool clientEdge = false) {
  HWND c =
      CreateWindowExA(clientEdge ? WS_EX_CLIENTEDGE : 0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                      s->window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (c) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  return c;
}

HWND MakeEdit(EditorState* s, int id, int limit) {
  HWND e = MakeControl(s, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, id, true);
  SendMessageA(e, EM_LIMITTEXT, limit, 0);
  return e;
}

int BodyLimit(const EditorState* s) {
  bool topic = s->bSay || s->bComment;
  if (topic && sameservice(s->szService, "dvn")) return 9800;
  if (topic && sameservice(s->szService, "quorl")) return 64000;
  return 2048000;
}

}  // namespace

EditorState* EditorStateOf(HWND window) {
  return reinterpret_cast<EditorState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

std::string EditorFieldText(HWND edit) {
  if (!edit) return "";
  int n = GetWindowTextLengthA(edit);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(edit, &text[0], n + 1)));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string EditorBodyText(EditorState* s) {
  int n = GetWindowTextLengthA(s->bodyEdit);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(s->bodyEdit, &text[0], n + 1)));
  return text;
}

void CreateBodyEdit(EditorState* s) {
  DWORD style = WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL | WS_TABSTOP;
  if (!s->bWordWrap) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  s->bodyEdit = MakeControl(s, "EDIT", "", style, ID_BODY);
  SendMessageA(s->bodyEdit, EM_LIMITTEXT, BodyLimit(s), 0);
  // One tab stop of "Editor Tab Size" characters, in dialog units.
  LONG units = GetDialogBaseUnits();
  int tabSize = g_user.editorTabSize ? static_cast<int>(g_user.editorTabSize) : 8;
  int stop = s->charWidth * tabSize * 4 / (LOWORD(units) ? LOWORD(units) : 8);
  if (stop > 0) SendMessageA(s->bodyEdit, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
  SubclassBodyEdit(s);
}

void SetEditorTitle(EditorState* s) {
  char folders[110];
  StrCopyN(folders, s->szFolders, 100);
  if (std::strlen(s->szFolders) > 100) std::strcpy(folders + 97, "...");
  FixNameCase(folders);
  char title[4300];
  if (s->bReply)
    std::snprintf(title, sizeof title, "Replying by mail");
  else if (s->bFaxing)
    std::snprintf(title, sizeof title, "Faxing");
  else if (s->bMailing)
    std::snprintf(title, sizeof title, "Post New Mail");
  else if (s->bComment)
    std::snprintf(title, sizeof title, "Replying to %s, %.80s", folders, s->szReferences);
  else if (s->bSay)
    std::snprintf(title, sizeof title, "Post New Message - %s", folders);
  else
    std::snprintf(title, sizeof title, "%s", s->szSubject);
  if (char* lf = std::strchr(title, '\n')) std::strcpy(lf, "...");
  SetWindowTextA(s->window, title);
}

void RefreshEditorStatus(EditorState* s) {
  if (!s->bodyEdit) return;
  DWORD start = 0, end = 0;
  SendMessageA(s->bodyEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  char text[32] = "";
  if (start == end) {
    long line = static_cast<long>(SendMessageA(s->bodyEdit, EM_LINEFROMCHAR, start, 0));
    long first = static_cast<long>(SendMessageA(s->bodyEdit, EM_LINEINDEX, line, 0));
    std::snprintf(text, sizeof text, "%u:%u", static_cast<unsigned>(line + 1),
                  static_cast<unsigned>(start - first + 1));
  }
  SetWindowTextA(s->statusPane[0], text);
  SetWindowTextA(s->statusPane[1], s->bInsert ? "INS" : "OVR");
  SetWindowTextA(s->statusPane[2], s->bWordWrap ? "WRAP" : "");
  if (s->statusPane4) SetWindowTextA(s->statusPane4, s->szCustomHeaders[0] ? "CUSTOM" : "");
}

void ShowAttachmentCount(EditorState* s) {
  if (!s->attachPane) return;
  char text[40];
  int n = s->Attachments.count();
  if (n == 0)
    std::snprintf(text, sizeof text, "No Attached Files");
  else if (n == 1)
    std::snprintf(text, sizeof text, "1 Attached File");
  else
    std::snprintf(text, sizeof text, "%d Attached Files", n);
  SetWindowTextA(s->attachPane, text);
}

// Wrapped text breaks at the wrap column, not at the window's edge; once the
// user drags the window to a new size the body's new width is the wrap width.
void ApplyWrapWidth(EditorState* s) {
  if (!s->bodyEdit || !s->bWordWrap) return;
  RECT format = {};
  SendMessageA(s->bodyEdit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  RECT client;
  GetClientRect(s->bodyEdit, &client);
  DWORD margins = static_cast<DWORD>(SendMessageA(s->bodyEdit, EM_GETMARGINS, 0, 0));
  format.left = client.left + LOWORD(margins);
  format.right = client.right - HIWORD(margins);
  int available = format.right - format.left;
  if (available <= 0) return;
  if (s->bSizing && !IsZoomed(s->window)) s->wrapWidth = available;
  // Never wider than the body: text past its edge could not be seen.
  if (s->wrapWidth > 0 && s->wrapWidth < available) format.right = format.left + s->wrapWidth;
  SendMessageA(s->bodyEdit, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&format));
  // Some edit controls take the rectangle as an outer one and shrink it by
  // their border and margins: ask again for what is left over.
  RECT got = {};
  SendMessageA(s->bodyEdit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
  if (got.left > format.left || got.right < format.right) {
    RECT wider = format;
    wider.left -= got.left - format.left;
    wider.right += format.right - got.right;
    SendMessageA(s->bodyEdit, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&wider));
  }
}

void LayoutEditor(EditorState* s) {
  RECT rc;
  GetClientRect(s->window, &rc);
  LONG units = GetDialogBaseUnits();
  int x = LOWORD(units) ? LOWORD(units) : 8, half = (HIWORD(units) ? HIWORD(units) : 16) / 2;
  int h = 3 * half - 2, b = 8 * x, width = rc.right - rc.left;
  int y = 3;
  auto place = [](HWND w, int left, int top, int wd, int ht) {
    if (w) MoveWindow(w, left, top, wd > 0 ? wd : 1, ht, TRUE);
  };
  if (s->serviceBox) {
    place(s->serviceLabel, 3, y + 2, 6 * x, h);
    place(s->serviceBox, 3 + 6 * x, y, 3 * b, h * 8);
    y += h + 4;
  }
  if (s->toEdit) {
    place(s->toLabel, 3, y, 5 * x, h);
    int right = s->originatorButton ? width - 3 - b : width - 3;
    place(s->toEdit, 3 + 5 * x, y, right - (3 + 5 * x) - 2, h);
    place(s->originatorButton, width - 3 - b, y, b, h);
    y += h + 4;
  }
  if (s->ccEdit) {
    int boxes = (s->urgentBox ? b : 0) + (s->receiptBox ? b : 0);
    int half2 = (width - 6 - boxes) / 2;
    place(s->ccLabel, 3, y + 2, 5 * x, h);
    place(s->ccEdit, 3 + 5 * x, y, half2 - 5 * x - 2, h);
    if (s->bccEdit) {
      place(s->bccLabel, 3 + half2, y + 2, 5 * x, h);
      place(s->bccEdit, 3 + half2 + 5 * x, y, half2 - 5 * x - 2, h);
    }
    place(s->urgentBox, width - 3 - boxes, y, b, h);
    place(s->receiptBox, width - 3 - b, y, b, h);
    y += h + 4;
  }
  if (s->subjectEdit) {
    int right = s->privateBox ? width - 3 - b : width - 3;
    place(s->subjectLabel, 3, y + 2, 5 * x, h);
    place(s->subjectEdit, 3 + 5 * x, y, right - (3 + 5 * x) - 2, h);
    place(s->privateBox, width - 3 - b, y, b, h);
    y += h + 4;
  }
  int bx = 3;
  HWND buttons[] = {s->okButton,   s->optionsButton, s->quoteButton, s->attachButton,
                    s->holdButton, s->cancelButton,  s->helpButton};
  for (HWND button : buttons) {
    if (!button) continue;
    int wd = button == s->attachButton ? b * 4 / 3 : b;
    place(button, bx, y, wd, h);
    bx += wd + x;
  }
  y += h + 2;
  int paneHeight = 3 * h / 4 + 1;
  int bottom = rc.bottom - paneHeight - 2;
  place(s->bodyEdit, 0, y, width, bottom - y);
  ApplyWrapWidth(s);
  int px = x + 3;
  HWND panes[] = {s->statusPane[0], s->statusPane[1], s->statusPane[2], s->statusPane4, s->attachPane};
  // The attachment pane is as wide as its longest text in its own font, so
  // a wider face than the dialog units suggest does not wrap it.
  int attachWidth = 3 * b / 2;
  if (s->attachPane) {
    HDC dc = GetDC(s->attachPane);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(s->attachPane, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE extent = {};
    static const char kLongest[] = "99 Attached Files";
    if (GetTextExtentPoint32A(dc, kLongest, sizeof kLongest - 1, &extent) && extent.cx + x > attachWidth)
      attachWidth = extent.cx + x;
    if (old) SelectObject(dc, old);
    ReleaseDC(s->attachPane, dc);
  }
  int widths[] = {2 * b / 3, b / 2, 2 * b / 3, 2 * b / 3, attachWidth};
  for (int i = 0; i < 5; ++i) {
    if (!panes[i]) continue;
    place(panes[i], px, bottom + 1, widths[i], paneHeight);
    px += widths[i] + 2;
  }
}

namespace {

void Layout(EditorState* s) { LayoutEditor(s); }

// A queued action's Hold button says what the outbasket's own Hold button
// says for it ("Re&lease" when the action is held already).
std::string HoldCaption(EditorState* s) {
  HWND outbasket = s->bEditAction ? g_composeHooks.outbasketWindow() : nullptr;
  char caption[64] = "";
  if (outbasket) GetDlgItemTextA(outbasket, 4246, caption, sizeof caption);
  return caption[0] ? caption : "Ho&ld";
}

void CreateControls(EditorState* s) {
  bool mail = s->bMailing != 0;
  bool dvnPost = s->bSay && sameservice(s->szService, "dvn");
  if (mail && !s->bEditAction) {
    s->serviceLabel = MakeControl(s, "STATIC", "Ser&vice", SS_LEFT, -1);
    s->serviceBox = MakeControl(s, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, ID_EDITOR_SERVICE);
    FillServiceList(s->serviceBox);
    const char* wanted = s->szService[0] ? s->szService : g_user.defaultMailService;
    LRESULT at =
        SendMessageA(s->serviceBox, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wanted));
    if (at == CB_ERR)
      at = SendMessageA(s->serviceBox, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(g_user.defaultMailService));
    if (at != CB_ERR) {
      SendMessageA(s->serviceBox, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
      char chosen[32] = "";
      SendMessageA(s->serviceBox, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(chosen));
      if (!sameservice(chosen, s->szService)) {
        for (CAddrList* list : {&s->To, &s->Cc, &s->Bcc}) list->QualifyAddresses(s->szService, chosen);
        StrCopyN(s->szService, chosen, sizeof s->szService - 1);
        for (char* c = s->szService; *c; ++c) *c = static_cast<char>(ToLower1252(static_cast<unsigned char>(*c)));
      }
    }
  }
  if (s->bFaxing) {
    s->toLabel = MakeControl(s, "STATIC", "&To:", SS_LEFT, -1);
    s->toEdit = MakeEdit(s, ID_TO, 199);
    SetWindowTextA(s->toEdit, s->szFaxName);
    s->ccLabel = MakeControl(s, "STATIC", "&Number", SS_LEFT, -1);
    s->ccEdit = MakeEdit(s, ID_CC, 199);
    SetWindowTextA(s->ccEdit, s->szFaxNumber);
  } else if (mail || dvnPost) {
    s->toLabel = MakeControl(s, "BUTTON", "&To:", BS_PUSHBUTTON, ID_TO_BUTTON);
    EnableWindow(s->toLabel, FALSE);  // the address book is not there yet
    s->toEdit = MakeEdit(s, ID_TO, 4095);
    s->To.FillControl(s->toEdit, s->szService, false);
    s->originatorButton = MakeControl(s, "BUTTON", "Ori&ginator", BS_PUSHBUTTON, ID_ORIGINATOR);
  }
  if (mail) {
    s->ccLabel = MakeControl(s, "STATIC", "&CC", SS_LEFT, -1);
    s->ccEdit = MakeEdit(s, ID_CC, 4095);
    s->Cc.FillControl(s->ccEdit, s->szService, false);
    if (HaveDvn() || HaveNet() || HaveLocal()) {
      s->bccLabel = MakeControl(s, "STATIC", "&BCC", SS_LEFT, -1);
      s->bccEdit = MakeEdit(s, ID_BCC, 4095);
      s->Bcc.FillControl(s->bccEdit, s->szService, false);
      bool quorl = sameservice(s->szService, "quorl");
      EnableWindow(s->bccEdit, !quorl);
      EnableWindow(s->bccLabel, !quorl);
    }
    s->urgentBox = MakeControl(s, "BUTTON", "&Urgent", BS_AUTOCHECKBOX, 14747);
    if (s->szImportance[0] == 'H') SendMessageA(s->urgentBox, BM_SETCHECK, BST_CHECKED, 0);
  }
  if ((mail || s->bFaxing) && HaveDvn()) {
    s->receiptBox = MakeControl(s, "BUTTON", "&Receipt", BS_AUTOCHECKBOX, 14742);
    if (s->bReceipt) SendMessageA(s->receiptBox, BM_SETCHECK, BST_CHECKED, 0);
    EnableWindow(s->receiptBox, sameservice(s->szService, "dvn"));
  }
  if (mail || s->bSay || s->bNews) {
    s->subjectLabel = MakeControl(s, "STATIC", "Sub&ject:", SS_LEFT, -1);
    s->subjectEdit = MakeEdit(s, ID_SUBJECT, dvnPost ? 24 : 4095);
    if (dvnPost) s->szSubject[24] = 0;
    SetWindowTextA(s->subjectEdit, s->szSubject);
  }
  if ((s->bSay || s->bComment) && sameservice(s->szService, "dvn")) {
    s->privateBox = MakeControl(s, "BUTTON", "P&rivate", BS_AUTOCHECKBOX, 4249);
    if (s->szSensitivity[0] == 'P') SendMessageA(s->privateBox, BM_SETCHECK, BST_CHECKED, 0);
  }
  s->okButton = MakeControl(s, "BUTTON", "&OK", BS_DEFPUSHBUTTON, ID_OK);
  if (!s->bPlainFile) s->optionsButton = MakeControl(s, "BUTTON", "O&ptions", BS_PUSHBUTTON, ID_OPTIONS);
  s->quoteButton = MakeControl(s, "BUTTON", "&Quote", BS_PUSHBUTTON, ID_QUOTE);
  if (mail || s->bNews) s->attachButton = MakeControl(s, "BUTTON", "&Attachments", BS_PUSHBUTTON, ID_ATTACH);
  if (!s->bPlainFile) s->holdButton = MakeControl(s, "BUTTON", HoldCaption(s).c_str(), BS_PUSHBUTTON, ID_HOLD);
  s->cancelButton = MakeControl(s, "BUTTON", "Cancel", BS_PUSHBUTTON, ID_CANCEL);
  s->helpButton = MakeControl(s, "BUTTON", "&Help", BS_PUSHBUTTON, ID_HELP);
  for (HWND& pane : s->statusPane) pane = MakeControl(s, "STATIC", "", SS_CENTER | SS_SUNKEN, -1);
  if (mail || s->bNews) s->statusPane4 = MakeControl(s, "STATIC", "", SS_CENTER | SS_SUNKEN, -1);
  if (s->attachButton) s->attachPane = MakeControl(s, "STATIC", "", SS_CENTER | SS_SUNKEN, -1);
  CreateBodyEdit(s);
  for (HWND edit : {s->toEdit, s->ccEdit, s->bccEdit, s->subjectEdit})
    if (edit) SubclassFieldEdit(s, edit);
}

// The current message's header lines and body, and its author, through the
// open topic's reader.
bool ReadCurrentMessage(long number, std::string* author, std::string* headers, std::string* body) {
  if (!g_topic.log || number <= 0 || !scanmsg(number)) return false;
  MessageHeader header;
  if (ReadMessageStartAt(g_logReader, g_topic.cachedOffset, &header) != number) return false;
  if (author) *author = header.author;
  bool inHeader = true;
  std::string text;
  while (g_logReader.remaining > 0) {
    long n = readmsgline(g_logReader);
    if (n <= 0) break;
    g_logReader.remaining -= n;
    std::string line(g_logReader.line, g_logReader.lineLength);
    if (inHeader && (line == "\r\n" || line == "\n")) {
      inHeader = false;
      continue;
    }
    (inHeader ? *headers : *body) += line;
  }
  // A message without a header block is all body.
  if (inHeader) {
    body->swap(*headers);
    headers->clear();
  }
  return true;
}

std::string HeaderValue(const std::string& headers, const char* name) {
  const char* v = FindLinePrefix(name, headers.c_str());
  if (!v) return "";
  std::string value(v, std::strcspn(v, "\r\n"));
  size_t a = value.find_first_not_of(" \t");
  return a == std::string::npos ? "" : value.substr(a);
}

void InsertText(EditorState* s, const std::string& text, bool atStart) {
  SendMessageA(s->bodyEdit, WM_SETREDRAW, FALSE, 0);
  if (atStart) SendMessageA(s->bodyEdit, EM_SETSEL, 0, 0);
  SendMessageA(s->bodyEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(s->bodyEdit, WM_SETREDRAW, TRUE, 0);
  SendMessageA(s->bodyEdit, EM_SCROLLCARET, 0, 0);
  InvalidateRect(s->bodyEdit, nullptr, TRUE);
}

// The attribution and the quoted text of the message replied to.
void QuoteCurrentMessage(EditorState* s, long number) {
  std::string author, headers, body;
  if (!ReadCurrentMessage(number, &author, &headers, &body)) return;
  char service[SERVICE_KEY_MAX + 1] = "";
  getservice(service, g_topic.openName);
  if (!service[0]) std::strcpy(service, "local");
  if (!s->bAttributed && !s->bEditAction) {
    uint32_t copyOnly = 0;
    const char* templ = ReadServiceQuoting(service, &copyOnly);
    std::string t = templ ? templ : "";
    if (t.empty()) t = isnewsfolder(g_topic.openName) ? "In article %messageid%, %realname% wrote:" : "%firstname%,";
    s->bAttributed = 1;
    if (!SameText1252(t.c_str(), "None")) {
      AttributionFields f;
      f.number = number;
      char folder[100];
      StrCopyN(folder, g_topic.openName, sizeof folder - 1);
      stripservice(folder);
      f.folder = folder;
      f.dvn = sameservice(service, "dvn");
      f.messageId = HeaderValue(headers, "Message-Id:");
      f.from = HeaderValue(headers, "From:");
      if (f.from.empty()) f.from = HeaderValue(headers, "Fm:");
      if (f.from.empty()) f.from = author;
      f.date = HeaderValue(headers, "Date:");
      char news[100];
      StrCopyN(news, folder, sizeof news - 1);
      f.newsgroup = MakeUsenetName(news);
      std::string line = ExpandAttribution(t.c_str(), f);
      if (!line.empty()) InsertText(s, line, false);
    }
  }
  bool bracket = sameservice(s->szService, "dvn") && !g_user.alwaysInternetQuote;
  // A selection in the message view is what the user means to quote; the
  // whole message goes without its signature and appended Internet header.
  std::string text;
  if (char* selected = g_browser.view ? GetWrxSelText(g_browser.view) : nullptr) {
    text = selected;
    WrxMemFree(selected);
  } else {
    text = WithoutSignature(body);
  }
  QuoteText(s, text, bracket);
}

}  // namespace

void QuoteText(EditorState* s, const std::string& text, bool bracket) {
  std::string quoted = QuotedText(text.c_str(), bracket);
  if (quoted.empty()) return;
  // The editor widens to the longest quoted line, so quoting breaks no line.
  int longest = LongestLine(quoted.c_str());
  if (!bracket && longest + 3 > s->nWrapChars) {
    s->nWrapChars = longest + 3;
    s->wrapWidth = s->nWrapChars * s->charWidth;
    LayoutEditor(s);
  }
  InsertText(s, quoted, false);
}

namespace {

void FillReplyRecipients(EditorState* s, long number, bool fromOnly, const std::string& recipientWord) {
  if (s->bComment && !s->bDvnComment) {
    std::string author, headers, body;
    if (ReadCurrentMessage(number, &author, &headers, &body)) {
      s->To.Clear();
      char name[] = "";
      s->To.AddEntry(name, author.c_str());
      char source[SERVICE_KEY_MAX + 1] = "";
      getservice(source, g_topic.openName);
      s->To.QualifyAddresses(source, s->szService);
    }
    return;
  }
  if (s->bDvnComment) {
    s->To.FromReplyHeaders(number, "From:", s->szService, false);
    if (!s->To.Count()) s->To.FromReplyHeaders(number, "Fm:", s->szService, false);
    return;
  }
  // A reply by mail.
  if (!fromOnly) s->To.FromReplyHeaders(number, "Reply-To:", s->szService, false);
  if (!s->To.Count()) s->To.FromReplyHeaders(number, "From:", s->szService, false);
  s->To.FromReplyHeaders(number, "To:", s->szService, true);
  s->Cc.FromReplyHeaders(number, "CC:", s->szService, true);
  SetSender(s, false);
  s->To.RemoveDuplicates(nullptr);
  s->Cc.RemoveDuplicates(nullptr);
  s->Cc.RemoveDuplicates(&s->To);
  s->To.RemoveOwnAddresses(s->szService);
  s->Cc.RemoveOwnAddresses(s->szService);
  bool keepFirst = SameText1252(recipientWord.c_str(), "sender");
  if (!keepFirst && !SameText1252(recipientWord.c_str(), "all") && s->To.Count() + s->Cc.Count() > 1)
    keepFirst = !askyesno("Copy to all recipients ?");
  if (keepFirst) {
    while (s->To.Count() > 1) s->To.RemoveAt(s->To.Count() - 1);
    s->Cc.Clear();
  }
  if (!s->To.Count() && !s->Cc.Count()) {
    s->To.FromReplyHeaders(number, "From:", s->szService, false);
    if (!s->To.Count()) s->To.FromReplyHeaders(number, "Reply-To:", s->szService, false);
  }
}

// The checks of a post's or reply's folder: false when the editor must close.
bool FolderAllowsPosting(const std::string& folderName) {
  if (folderName.empty()) return false;
  SmartPointer pointer;
  if (!findconf(pointer, folderName.c_str())) return true;
  uint32_t flags = static_cast<const ConfRec*>(pointer.element)->flags;
  if (flags & 0x800) return false;
  if (IsDvnLibraryFolder(folderName.c_str())) {
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "This folder is a library list.  You cannot post messages here.");
    return false;
  }
  if ((flags & 0x10) && !(flags & 0x08)) {
    if (g_main.protectReadOnly) return false;
    if (!askyesno("Folder is Read Only; Continue?")) return false;
  }
  if ((flags & 0x80) && !askyesno("Folder may be full. Continue ?")) return false;
  return true;
}

// A block brought back: a queued action's lines (mode 11) or a saved block
// in an open file (mode 40).
bool CreateFromBlock(EditorState* s, const char* subject, const char* parameters) {
  int mode = s->nType;
  int failed;
  if (mode == EDITOR_EDIT_ACTION) {
    s->actionLines = reinterpret_cast<CStrList*>(const_cast<char*>(subject));
    s->actionBody = reinterpret_cast<char**>(const_cast<char*>(parameters));
    failed = ReadDraft(s, nullptr, s->actionLines, s->actionBody ? *s->actionBody : nullptr);
    s->bEditAction = 1;
  } else {
    failed = ReadDraft(s, reinterpret_cast<FILE*>(const_cast<char*>(subject)), nullptr, nullptr);
    s->bReopened = 1;
  }
  if (failed) return false;
  if (!s->szService[0]) std::strcpy(s->szService, "local");
  s->nWrapChars = g_user.rightMargin ? static_cast<int32_t>(g_user.rightMargin) : 72;
  s->wrapWidth = s->nWrapChars * s->charWidth;
  SetSender(s, true);
  CreateControls(s);
  if (s->bodyText) {
    RemoveSoftBreaks(s->bodyText);
    SetWindowTextA(s->bodyEdit, s->bodyText);
    std::free(s->bodyText);
    s->bodyText = nullptr;
  }
  SetEditorTitle(s);
  return true;
}

// The notes file or a resume: the body is the file named by the parameter.
bool CreatePlainFile(EditorState* s, const char* path) {
  getservice(s->szService, g_topic.log ? g_topic.openName : "");
  if (!s->szService[0]) std::strcpy(s->szService, "local");
  s->bPlainFile = 1;
  s->nWrapChars = g_user.rightMargin ? static_cast<int32_t>(g_user.rightMargin) : 72;
  s->wrapWidth = s->nWrapChars * s->charWidth;
  StrCopyN(s->szSubject, path ? path : "", sizeof s->szSubject - 1);
  CreateControls(s);
  if (path && path[0]) InsertTextFile(s->window, path);
  EditorCaretToTop(s->window);
  SetEditorTitle(s);
  return true;
}

bool CreateContents(EditorState* s, const char* subject, const char* parameters, int flag) {
  s->charWidth = LOWORD(GetDialogBaseUnits());
  if (s->nType == EDITOR_EDIT_ACTION || s->nType == EDITOR_REOPEN) return CreateFromBlock(s, subject, parameters);
  if (s->nType == EDITOR_NOTES || s->nType == EDITOR_PLAIN_FILE) return CreatePlainFile(s, parameters);
  const char* folder = g_topic.log ? g_topic.openName : "";
  long current = g_topic.log ? g_browser.currentMessage : 0;
  if (s->nType == EDITOR_FAX)
    std::strcpy(s->szService, "dvn");
  else if (s->nType == EDITOR_MAIL && g_user.defaultMailService[0])
    StrCopyN(s->szService, g_user.defaultMailService, sizeof s->szService - 1);
  else
    getservice(s->szService, folder);
  EditorParams p = ParseEditorParams(parameters);
  if (p.hasSubject) StrCopyN(s->szSubject, p.subject.c_str(), sizeof s->szSubject - 1);
  if (p.hasName) StrCopyN(s->szFaxName, p.name.c_str(), sizeof s->szFaxName - 1);
  if (p.hasNumber) StrCopyN(s->szFaxNumber, p.number.c_str(), sizeof s->szFaxNumber - 1);
  if (p.hasService) StrCopyN(s->szService, p.service.c_str(), sizeof s->szService - 1);
  for (const std::string& a : p.attachments) s->Attachments.add(a.c_str());
  std::string folderName = folder;
  if (p.hasFolder) {
    folderName = p.folder;
    getservice(s->szService, p.folder.c_str());
    s->nType = EDITOR_POST;
  }
  if (p.hasInReplyTo) {
    StrCopyN(s->szReferences, p.inReplyTo.c_str(), sizeof s->szReferences - 1);
    s->nType = s->nType == EDITOR_MAIL ? EDITOR_REPLY_BY_MAIL : EDITOR_REPLY;
  }
  if (!s->szService[0]) std::strcpy(s->szService, "local");
  s->bSendAsShown = sameservice(s->szService, "quorl") || sameservice(s->szService, "net") ||
                    ToUpper1252(static_cast<unsigned char>(g_user.autoSendAsShown[0])) == 'A';
  s->bSay = s->nType == EDITOR_POST;
  s->bComment = s->nType == EDITOR_REPLY;
  s->bMailing = s->nType == EDITOR_MAIL || s->nType == EDITOR_REPLY_BY_MAIL;
  s->bReply = s->nType == EDITOR_REPLY_BY_MAIL;
  s->bFaxing = s->nType == EDITOR_FAX;
  s->bPlainFile = s->nType == EDITOR_NOTES || s->nType == EDITOR_PLAIN_FILE;
  bool dvn = sameservice(s->szService, "dvn");
  s->bDvnSay = s->bSay && dvn;
  s->bDvnComment = s->bComment && dvn;
  s->bNews = (s->bSay || s->bComment) && isnewsfolder(folderName.c_str());
  s->nWrapChars = g_user.rightMargin ? static_cast<int32_t>(g_user.rightMargin) : 72;
  s->wrapWidth = s->nWrapChars * s->charWidth;

  std::string author, headers, body;
  bool haveMessage = (s->bComment || s->bReply) && ReadCurrentMessage(current, &author, &headers, &body);
  if (subject) {
    StrCopyN(s->szSubject, subject, sizeof s->szSubject - 1);
  } else if (haveMessage && !p.hasSubject) {
    std::string sub = HeaderValue(headers, "Subject:");
    char reply[4096];
    if (sub.empty() && sameservice(s->szService, "quorl"))
      std::snprintf(s->szSubject, sizeof s->szSubject, "Re: %s:%ld", folder, current);
    else if (s->bDvnComment)
      StrCopyN(s->szSubject, StripReplyPrefix(sub.c_str()), sizeof s->szSubject - 1);
    else {
      StripReplyPrefix(sub.c_str(), reply, sizeof reply);
      StrCopyN(s->szSubject, reply, sizeof s->szSubject - 1);
    }
  }
  char bare[260];
  StrCopyN(bare, folderName.c_str(), sizeof bare - 1);
  stripservice(bare);
  StrCopyN(s->szFolders, bare, sizeof s->szFolders - 1);
  if (s->bNews) {
    MakeUsenetName(s->szFolders);
    std::string followUp = s->bComment && haveMessage ? HeaderValue(headers, "Followup-To:") : "";
    if (!followUp.empty()) {
      char question[4400];
      std::snprintf(question, sizeof question,
                    "This message has Followup-To: set and so replies to it should be posted to '%s' rather than to "
                    "the message directly.\n\nDo you wish to do this ?",
                    followUp.c_str());
      int answer = askyesnocancel(question);
      if (answer == IDCANCEL) return false;
      if (answer == IDNO) followUp.clear();
    }
    bool byMail = SameText1252(followUp.c_str(), "poster") || followUp.find('@') != std::string::npos;
    if (byMail) {
      // The poster asked for replies by mail.
      s->nType = EDITOR_REPLY_BY_MAIL;
      s->bMailing = s->bReply = 1;
      s->bNews = s->bComment = s->bSay = 0;
      s->szFolders[0] = 0;
      if (followUp.find('@') != std::string::npos) s->To.Parse(followUp.c_str(), true);
    } else if (!followUp.empty()) {
      StrCopyN(s->szFolders, followUp.c_str(), sizeof s->szFolders - 1);
    } else {
      std::string groups = haveMessage ? HeaderValue(headers, "Newsgroups:") : "";
      if (s->bComment && !groups.empty()) StrCopyN(s->szFolders, groups.c_str(), sizeof s->szFolders - 1);
    }
  }
  if (!p.hasInReplyTo && haveMessage) {
    if (s->bComment && !s->bNews) {
      std::snprintf(s->szReferences, sizeof s->szReferences, "%ld", current);
    } else if (s->bComment) {
      std::string refs = HeaderValue(headers, "References:");
      std::string id = HeaderValue(headers, "Message-Id:");
      std::snprintf(s->szReferences, sizeof s->szReferences, "%s%s%s", refs.c_str(), refs.empty() ? "" : " ",
                    id.c_str());
    } else if (s->bReply) {
      StrCopyN(s->szReferences, HeaderValue(headers, "Message-Id:").c_str(), sizeof s->szReferences - 1);
    }
  }
  if (s->bComment || s->bReply)
    s->nComment = p.hasInReplyTo ? std::atoi(s->szReferences) : static_cast<int32_t>(current);
  if ((s->bSay || s->bComment) && !FolderAllowsPosting(folderName)) return false;
  if (s->bComment && haveMessage && WildMatch(folderName.c_str(), "*:*noticeboard/*postcards") &&
      !SameText1252(author.c_str(), g_app.userName)) {
    char question[400];
    std::snprintf(question, sizeof question,
                  "It is against conference rules to reply to messages in this folder.\n\nWould you like to mail "
                  "'%.200s' instead ?",
                  author.c_str());
    if (askyesno(question)) {
      s->nType = EDITOR_REPLY_BY_MAIL;
      s->bComment = s->bDvnComment = s->bNews = 0;
      s->bMailing = s->bReply = 1;
      s->To.Clear();
      char name[] = "";
      s->To.AddEntry(name, author.c_str());
      char source[SERVICE_KEY_MAX + 1] = "";
      getservice(source, folderName.c_str());
      s->To.QualifyAddresses(source, s->szService);
    }
  }

  bool recipientText = !p.recipients.empty() && !SameText1252(p.recipients.c_str(), "sender") &&
                       !SameText1252(p.recipients.c_str(), "all");
  if (recipientText) {
    s->To.Parse(p.recipients.c_str(), false);
    s->To.RemoveDuplicates(nullptr);
    s->To.RemoveOwnAddresses(s->szService);
  } else if (haveMessage && !s->To.Count()) {
    FillReplyRecipients(s, current, flag != 0, p.recipients);
  }

  if (flag && !stristr(s->szCustomHeaders, "Reply-To:")) {
    std::string key = std::string(s->szService) + ":" + s->szFolders;
    const char* list = MailingListsName(key.c_str());
    if (list && list[0] && std::strcmp(list, "*") != 0) {
      size_t used = std::strlen(s->szCustomHeaders);
      std::snprintf(s->szCustomHeaders + used, sizeof s->szCustomHeaders - used, "Reply-To: %s\r\n", list);
    }
  }
  SetSender(s, true);
  CreateControls(s);
  for (const std::string& file : p.fileNames) InsertTextFile(s->window, file.c_str());
  if (s->bodyText) {
    RemoveSoftBreaks(s->bodyText);
    SetWindowTextA(s->bodyEdit, s->bodyText);
    std::free(s->bodyText);
    s->bodyText = nullptr;
  }
  if (haveMessage && (s->bComment || s->bReply)) QuoteCurrentMessage(s, current);
  if (!s->bPlainFile) {
    const char* tag = Tagline(s->bMailing != 0);
    if (tag[0]) {
      // At the end of the body, the caret and selection kept.
      DWORD start = 0, end = 0;
      SendMessageA(s->bodyEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      int length = GetWindowTextLengthA(s->bodyEdit);
      SendMessageA(s->bodyEdit, EM_SETSEL, length, length);
      SendMessageA(s->bodyEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>((std::string("\r\n") + tag).c_str()));
      SendMessageA(s->bodyEdit, EM_SETSEL, start, end);
    }
  }
  SetEditorTitle(s);
  return true;
}

// --- sending ---------------------------------------------------------------

std::string FieldText(HWND edit) { return EditorFieldText(edit); }

bool Refuse(HWND focus, const char* text) {
  MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "%s", text);
  if (focus) SetFocus(focus);
  return false;
}

bool CheckFields(EditorState* s) {
  DebugLog("Editor: OKID\n");
  if (g_user.autoSpellcheck && GetKeyState(VK_SHIFT) >= 0 && g_editorSpellHooks.checkEditor(s->window) == -1002)
    return false;
  DebugLog("Editor: After Spellcheck\n");
  if (s->toEdit && !s->bFaxing) {
    std::string to = FieldText(s->toEdit);
    if (to.empty()) {
      if (s->bMailing && sameservice(s->szService, "quorl"))
        return Refuse(s->toEdit,
                      "You have entered a mail message without any primary recipients.  Please enter some now.");
      if (!s->bMailing) SetWindowTextA(s->toEdit, "All");
    }
  }
  if (s->bFaxing && (FieldText(s->toEdit).empty() || FieldText(s->ccEdit).empty()))
    return Refuse(FieldText(s->toEdit).empty() ? s->toEdit : s->ccEdit,
                  "You have entered a mail message without any primary recipients.  Please enter some now.");
  DebugLog("Editor: After check for blank To\n");
  if (s->bMailing) {
    CAddrList all;
    if (s->toEdit) all.ReadControl(s->toEdit, true);
    if (s->ccEdit) all.ReadControl(s->ccEdit, true);
    if (s->bccEdit) all.ReadControl(s->bccEdit, true);
    if (sameservice(s->szService, "local"))
      for (int i = 0; i < all.Count(); ++i)
        if (!CheckUserFile(all.At(i)->address)) {
          MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "There is no local mail user called '%s'; Please re-edit the message",
                  all.FormatEntry(i, false));
          SetFocus(s->toEdit);
          return false;
        }
    DebugLog("Editor: After check for invalid local user\n");
    if (!all.Count())
      return Refuse(s->toEdit, "You have entered a mail message without any recipients.  Please enter some now.");
    DebugLog("Editor: After check for any addressees\n");
  }
  if (s->bFaxing) {
    StrCopyN(s->szFaxName, FieldText(s->toEdit).c_str(), 199);
    StrCopyN(s->szFaxNumber, FieldText(s->ccEdit).c_str(), 199);
  }
  if (s->subjectEdit) {
    std::string subject = FieldText(s->subjectEdit);
    if (subject.empty()) {
      if (!s->bMailing) return Refuse(s->subjectEdit, "You cannot post a message without a subject.");
      if (!askyesno("You have entered a mail message without a subject.\n\nDo you want to continue anyway?")) {
        SetFocus(s->subjectEdit);
        return false;
      }
      SetWindowTextA(s->subjectEdit, "<No Subject>");
    }
  }
  DebugLog("Editor: After check for blank subject\n");
  if (!s->bPlainFile && GetWindowTextLengthA(s->bodyEdit) == 0 &&
      !askyesno("You have attempted to post a blank message.\n\nAre you sure you want to do this?")) {
    SetFocus(s->bodyEdit);
    return false;
  }
  int tabSize = g_user.editorTabSize ? static_cast<int>(g_user.editorTabSize) : 8;
  std::string body = EditorBodyText(s);
  if (body.find('\t') != std::string::npos) SetWindowTextA(s->bodyEdit, ExpandTabs(body.c_str(), tabSize).c_str());
  auto checked = [](HWND box) { return box && SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; };
  s->bReceipt = checked(s->receiptBox);
  std::strcpy(s->szImportance, checked(s->urgentBox) ? "High" : "Normal");
  std::strcpy(s->szSensitivity, checked(s->privateBox) ? "Private" : "Normal");
  DebugLog("Editor: After check for blank message\n");
  return true;
}

bool AppendToOutbasket(EditorState* s, bool hold) {
  DebugLog("Editor: Before bsc update\n");
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s%s\\%s.bsc", g_app.dataDir, s->szService, s->szService);
  FILE* f = fopen_alock(path, FO_BINARY);
  if (!f) {
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to write to the outbasket!");
    DebugLog("Editor: After bsc update\n");
    return false;
  }
  int failed;
  if (s->szMergeFile[0]) {
    failed = !WriteMergeEntries(s, f, hold);
  } else {
    failed = std::fprintf(f, "%s id:\t%s type:\tedit\r\n", hold ? ";#;" : ";-;", g_app.userName) < 0;
    if (!failed) failed = WriteDraft(s, f, nullptr, nullptr);
  }
  if (std::fflush(f) != 0) failed = 1;
  fileclose(f);
  if (failed) {
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to write to the outbasket!");
    return false;
  }
  DebugLog("Editor: Before ghost refresh\n");
  g_topicOpenHooks.refreshGhosts();
  DebugLog("Editor: After bsc update\n");
  return true;
}

// The body written over the plain file it came from, through a temporary
// file beside it.
bool SavePlainFile(EditorState* s) {
  std::string body = EditorBodyText(s);
  std::string temp = std::string(s->szSubject) + ".new";
  FILE* f = std::fopen(temp.c_str(), "wb");
  bool ok = f && std::fwrite(body.data(), 1, body.size(), f) == body.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (ok) ok = MoveFileExA(temp.c_str(), s->szSubject, MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) {
    DeleteFileA(temp.c_str());
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to write %s", s->szSubject);
  }
  return ok;
}

void Send(EditorState* s, bool hold) {
  if (!CheckFields(s)) return;
  if (s->bEditAction) {
    DebugLog("Editor: Before Review update\n");
    if (s->actionLines) {
      s->actionLines->clear();
      WriteDraft(s, nullptr, s->actionLines, s->actionBody);
    }
    g_composeHooks.actionEdited(hold);
    DebugLog("Editor: After Review update\n");
  } else if (s->bPlainFile) {
    DebugLog("Editor: Before edit update\n");
    if (!SavePlainFile(s)) return;
    if (s->nType == EDITOR_PLAIN_FILE && !hold) g_composeHooks.queuePutResume();
    DebugLog("Editor: After edit update\n");
  } else if (sameservice(s->szService, "local")) {
    if (hold) {
      MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to save local messages for posting later.");
      return;
    }
    DebugLog("Editor: Before local update\n");
    if (ComposeOutgoing(s) != 0) return;
    DebugLog("Editor: After local update\n");
  } else if (!AppendToOutbasket(s, hold)) {
    return;
  }
  PostMessageA(s->window, WM_CLOSE, 0, 0);
}

// The current message's sender into To: added for mail, in place of the text
// otherwise.
void InsertOriginator(EditorState* s) {
  if (!s->toEdit || s->bFaxing) return;
  long number = g_topic.log ? g_browser.currentMessage : 0;
  CAddrList from;
  from.FromReplyHeaders(number, "From:", s->szService, false);
  from.FromReplyHeaders(number, "Reply-To:", s->szService, true);
  if (from.Count() == 2) from.RemoveDuplicates(nullptr);
  if (!from.Count()) {
    std::string author, headers, body;
    if (!ReadCurrentMessage(number, &author, &headers, &body) || author.empty()) return;
    char name[] = "";
    from.AddEntry(name, author.c_str());
    char source[SERVICE_KEY_MAX + 1] = "";
    getservice(source, g_topic.openName);
    from.QualifyAddresses(source, s->szService);
  }
  from.FillControl(s->toEdit, s->szService, s->bMailing != 0);
  s->To.ReadControl(s->toEdit, false);
  s->To.RemoveDuplicates(nullptr);
  s->To.FillControl(s->toEdit, s->szService, false);
  s->bChanged = 1;
}

void CancelEditor(EditorState* s) {
  if (s->bChanged && !askyesno(s->bEditAction ? "You will lose any changes made.\n\nAbort message editor ?"
                                              : "Text will be lost.\n\nAbort message editor ?"))
    return;
  PostMessageA(s->window, WM_CLOSE, 0, 0);
}

// --- the window procedure ---------------------------------------------------

// Editors of a mode open where that mode's editor was last left. An edited
// action or a reopened block has no place of its own: the kind numbered as
// its mode belongs to another window (11 is the status window's).
int PlacementSlot(int mode) {
  switch (mode) {
    case EDITOR_POST:
    case EDITOR_REPLY:
    case EDITOR_MAIL:
    case EDITOR_REPLY_BY_MAIL:
    case EDITOR_FAX:
    case EDITOR_NOTES:
    case EDITOR_PLAIN_FILE: return mode;
    default: return 0;
  }
}

void RememberPlacement(EditorState* s) {
  int slot = PlacementSlot(s->nType);
  if (slot && !IsIconic(s->window)) SaveWindowState(s->window, IsZoomed(s->window) ? 3 : 1, slot, false);
}

void FreeBrushes(EditorState* s) {
  if (s->faceBrush) DeleteObject(s->faceBrush);
  if (s->windowBrush) DeleteObject(s->windowBrush);
  s->faceBrush = s->windowBrush = nullptr;
}

void MakeBrushes(EditorState* s) {
  FreeBrushes(s);
  s->faceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  s->windowBrush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
}

HBRUSH FaceBrush(EditorState* s) { return s->faceBrush ? s->faceBrush : GetSysColorBrush(COLOR_BTNFACE); }
HBRUSH WindowBrush(EditorState* s) { return s->windowBrush ? s->windowBrush : GetSysColorBrush(COLOR_WINDOW); }

// Labels and buttons stand on the window's face colour; the brush origin
// follows the window so a patterned face lines up across the controls.
LRESULT OnControlColour(EditorState* s, HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  POINT origin = {0, 0};
  ClientToScreen(s->window, &origin);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  return reinterpret_cast<LRESULT>(FaceBrush(s));
}

LRESULT OnListBoxColour(EditorState* s, HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return reinterpret_cast<LRESULT>(WindowBrush(s));
}

bool OnSetCursor(HWND control) {
  char cls[16] = "";
  if (!control || !GetClassNameA(control, cls, sizeof cls) || lstrcmpiA(cls, "Edit") != 0) return false;
  SetCursor(LoadCursor(nullptr, IDC_IBEAM));
  return true;
}

// Commands of the frame that the editor's keys and menu also reach.
bool IsFrameCommand(int id) {
  switch (id) {
    case 1002:  // Address Book
    case 1201:  // Review Outbasket
    case 1259:  // macro: start or stop recording
    case 1260:  // macro: play
    case 1764:  // PGP Encryption
      return true;
    default: return false;
  }
}

LRESULT PassToFrame(HWND window, WPARAM wParam, LPARAM lParam) {
  HWND client = GetParent(window);
  HWND frame = client ? GetParent(client) : nullptr;
  return frame ? SendMessageA(frame, WM_COMMAND, wParam, lParam) : 0;
}

LRESULT OnCommand(HWND window, EditorState* s, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam), code = HIWORD(wParam);
  switch (id) {
    case ID_OK: Send(s, false); return 0;
    case ID_HOLD: Send(s, true); return 0;
    case ID_CANCEL: CancelEditor(s); return 0;
    case ID_QUOTE: QuoteCurrentMessage(s, g_browser.currentMessage); return 0;
    case ID_ORIGINATOR: InsertOriginator(s); return 0;
    case ID_RELOAD_AUTOCORRECT: ReloadAutoCorrect(); return 0;
    case ID_INSERT_MODE:
      s->bInsert = !s->bInsert;
      RefreshEditorStatus(s);
      return 0;
    case ID_BODY:
    case ID_SUBJECT:
    case ID_TO:
    case ID_CC:
    case ID_BCC:
      if (code == EN_SETFOCUS) s->focusControl = reinterpret_cast<HWND>(lParam);
      if (code == EN_CHANGE) s->bChanged = 1;
      return 0;
    case 4249:
    case 14742:
    case 14747: s->bChanged = 1; return 0;
    default: break;
  }
  if (EditorCommand(s, id, code, lParam)) return 0;
  if (IsFrameCommand(id)) return PassToFrame(window, wParam, lParam);
  return DefMDIChildProcA(window, WM_COMMAND, wParam, lParam);
}

LRESULT OnPaint(HWND window, EditorState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  FillRect(dc, &ps.rcPaint, FaceBrush(s));
  EndPaint(window, &ps);
  return 0;
}

LRESULT OnGetMinMaxInfo(LPARAM lParam) {
  LONG units = GetDialogBaseUnits();
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize.x = 40 * LOWORD(units);
  info->ptMinTrackSize.y = 13 * HIWORD(units);
  return 0;
}

void OnDestroy(HWND window) {
  EditorState* s = StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  FreeBrushes(s);
  delete s;
}

LRESULT EditorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  EditorState* s = StateOf(window);
  if (message == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* mdi = static_cast<MDICREATESTRUCTA*>(create->lpCreateParams);
    s = reinterpret_cast<EditorState*>(mdi->lParam);
    s->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
    DragAcceptFiles(window, TRUE);
    return DefMDIChildProcA(window, message, wParam, lParam);
  }
  if (!s) return DefMDIChildProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_MOVE: RememberPlacement(s); break;
    case WM_SIZE:
      Layout(s);
      RememberPlacement(s);
      break;
    case WM_SETFOCUS: SetFocus(s->focusControl ? s->focusControl : s->bodyEdit); return 0;
    case WM_PAINT: return OnPaint(window, s);
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return OnControlColour(s, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORLISTBOX: return OnListBoxColour(s, reinterpret_cast<HDC>(wParam));
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE:
      MakeBrushes(s);
      InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
      break;
    case WM_COMMAND: return OnCommand(window, s, wParam, lParam);
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        CancelEditor(s);
        return 0;
      }
      break;
    case WM_DROPFILES: EditorDropFiles(s, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_ADDRECIPIENTS: EditorAddRecipients(s, wParam, reinterpret_cast<const char*>(lParam)); return 0;
    case WM_RBUTTONUP: {
      POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ClientToScreen(window, &at);
      EditorPopupMenu(s, at);
      return 0;
    }
    case WM_QUERYENDSESSION:
      if (s->bChanged && !askyesno(s->bEditAction ? "You will lose any changes made.\n\nAbort message editor ?"
                                                  : "Text will be lost.\n\nAbort message editor ?"))
        return FALSE;
      PostMessageA(window, WM_CLOSE, 0, 0);
      return TRUE;
    case WM_SIZING: s->bSizing = 1; break;
    case WM_EXITSIZEMOVE: s->bSizing = 0; break;
    case WM_DESTROY: OnDestroy(window); break;
    default: break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK EditorClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<EditorWndProc>(window, message, wParam, lParam);
}

// The fields are filled before the window has its size, so an edit only a
// pixel wide scrolled to its text's end; once laid out they show their
// starts again, the caret kept.
void ShowFieldStarts(EditorState* s) {
  for (HWND edit : {s->toEdit, s->ccEdit, s->bccEdit, s->subjectEdit}) {
    if (!edit) continue;
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    SendMessageA(edit, EM_SETSEL, start, end);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
  }
}

bool IsActiveChildMaximized() {
  BOOL maximized = FALSE;
  SendMessageA(g_shell.mdiClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized));
  return maximized != FALSE;
}

}  // namespace

HWND OpenEditor(int mode, const char* subject, const char* parameters, int flag) {
  if (!g_shell.mdiClient) return nullptr;
  auto* s = new (std::nothrow) EditorState;
  if (!s) return nullptr;
  s->nType = mode;
  MakeBrushes(s);
  char title[110];
  StrCopyN(title, g_topic.log ? g_topic.openName : "", sizeof title - 1);
  // A mode never opened before starts at the default place and size.
  const WindowPlacement* place = PlacementSlot(mode) ? &g_windowPlacements[PlacementSlot(mode)] : nullptr;
  bool remembered = place && place->width > 0 && place->height > 0 && place->left != CW_USEDEFAULT &&
                    place->top != CW_USEDEFAULT && place->left != -1;
  MDICREATESTRUCTA create = {kEditorClass,
                             title,
                             GetModuleHandleA(nullptr),
                             remembered ? place->left : CW_USEDEFAULT,
                             remembered ? place->top : CW_USEDEFAULT,
                             remembered ? place->width : CW_USEDEFAULT,
                             remembered ? place->height : CW_USEDEFAULT,
                             WS_CLIPCHILDREN,
                             reinterpret_cast<LPARAM>(s)};
  HWND window =
      reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  if (!window) {
    FreeBrushes(s);
    delete s;
    return nullptr;
  }
  if (!CreateContents(s, subject, parameters, flag)) {
    SendMessageA(g_shell.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
    return nullptr;
  }
  ShowWindow(window, IsActiveChildMaximized() ? SW_SHOWMAXIMIZED : SW_SHOW);
  Layout(s);
  ShowFieldStarts(s);
  RefreshEditorStatus(s);
  ShowAttachmentCount(s);
  SendMessageA(g_shell.mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(window), 0);
  HWND edits[] = {s->toEdit, s->ccEdit, s->bccEdit, s->subjectEdit, s->bodyEdit};
  for (HWND e : edits)
    if (e) SendMessageA(e, EM_SETMODIFY, FALSE, 0);
  s->bChanged = 0;
  HWND focus = s->bodyEdit;
  if (!(s->bComment || s->bReply)) {
    if (flag && s->subjectEdit)
      focus = s->subjectEdit;
    else
      for (HWND e : edits)
        if (e) {
          focus = e;
          break;
        }
  }
  s->focusControl = focus;
  SetFocus(focus);
  return window;
}

HWND ActiveEditorWindow() {
  if (!g_shell.mdiClient) return nullptr;
  HWND active = reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDIGETACTIVE, 0, 0));
  char cls[32] = "";
  if (!active || !GetClassNameA(active, cls, sizeof cls) || lstrcmpA(cls, kEditorClass) != 0) return nullptr;
  return active;
}

EditorState* ActiveEditorState() {
  HWND w = ActiveEditorWindow();
  return w ? StateOf(w) : nullptr;
}

WNDPROC EditorClassProcedure() { return EditorClassProc; }
