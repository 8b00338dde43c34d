// The editor's commands beyond sending: the edit commands, word wrap,
// boilerplates, inserted and dropped files, the clipboard, recipients from
// the address book, the context menu and the mail merge.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/editor_internal.h"
#include "compose/editor_text.h"
#include "compose/message_block.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/service_keys.h"
#include "core/small_text.h"
#include "core/system_helpers.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "shell/shell_state.h"

namespace {

enum : int {
  ID_INSERT_BOILERPLATE = 1120,
  ID_SAVE_BOILERPLATE = 1996,
  ID_INSERT_FILE = 1312,
  ID_INSERT_NOTE = 1166,
  ID_SPELL_CHECK = 1449,
  ID_WORD_WRAP = 1715,
  ID_CLEAR_LINE = 1991,
  ID_LINE_START = 1992,
  ID_LINE_END = 1993,
  ID_DELETE_WORD = 1994,
  ID_CUT = 1316,
  ID_COPY = 1137,
  ID_CLEAR = 1318,
  ID_UNDO = 1240,
  ID_PASTE = 1317,
  ID_SELECT_ALL = 1319,
  ID_PASTE_REFERENCE = 1875,
  ID_PASTE_QUOTED = 2010,
  ID_HELP = 1159,
  ID_OPTIONS = 4331,
  ID_ATTACHMENTS = 3026,
  ID_PGP = 1764,
};

bool IsEdit(HWND w) {
  char cls[16] = "";
  return w && GetClassNameA(w, cls, sizeof cls) && lstrcmpiA(cls, "Edit") == 0;
}

// The edit the user works in: the one with the focus, else the last one that
// had it, else the body.
HWND FocusedEdit(EditorState* s) {
  HWND focus = GetFocus();
  if (focus && GetParent(focus) == s->window && IsEdit(focus)) return focus;
  if (s->focusControl && IsEdit(s->focusControl)) return s->focusControl;
  return s->bodyEdit;
}

std::string ReadWholeFile(const char* path, bool* ok) {
  std::string text;
  FILE* f = path && path[0] ? std::fopen(path, "rb") : nullptr;
  *ok = f != nullptr;
  if (!f) return text;
  char chunk[8192];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  if (std::ferror(f)) *ok = false;
  std::fclose(f);
  return text;
}

DWORD Caret(HWND edit, DWORD* end = nullptr) {
  DWORD start = 0, stop = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&stop));
  if (end) *end = stop;
  return start;
}

bool IsMultiLine(HWND edit) { return (GetWindowLongA(edit, GWL_STYLE) & ES_MULTILINE) != 0; }

// --- edit commands ----------------------------------------------------------

void LineStartOrEnd(HWND edit, bool end) {
  int length = GetWindowTextLengthA(edit);
  if (!IsMultiLine(edit)) {
    SendMessageA(edit, EM_SETSEL, end ? length : 0, end ? length : 0);
    return;
  }
  long line = static_cast<long>(SendMessageA(edit, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
  long start = static_cast<long>(SendMessageA(edit, EM_LINEINDEX, line, 0));
  long target = start;
  if (end) {
    long next = static_cast<long>(SendMessageA(edit, EM_LINEINDEX, line + 1, 0));
    target = next > start ? next - 2 : length;
    if (next > start) {
      // A wrapped line has no break of its own to stop before.
      long own = start + static_cast<long>(SendMessageA(edit, EM_LINELENGTH, start, 0));
      if (own > target) target = own;
    }
  }
  SendMessageA(edit, EM_SETSEL, target, target);
  SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

void ClearLine(HWND edit) {
  if (!IsMultiLine(edit)) {
    SetWindowTextA(edit, "");
    return;
  }
  long line = static_cast<long>(SendMessageA(edit, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
  long start = static_cast<long>(SendMessageA(edit, EM_LINEINDEX, line, 0));
  long next = static_cast<long>(SendMessageA(edit, EM_LINEINDEX, line + 1, 0));
  long end = next > start ? next : GetWindowTextLengthA(edit);
  SendMessageA(edit, EM_SETSEL, start, end);
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
}

void DeleteWordRight(HWND edit) {
  std::string text = EditorFieldTextRaw(edit);
  DWORD caret = Caret(edit);
  size_t n = DeleteWordRightLength(text.c_str(), text.size(), caret);
  if (!n) return;
  SendMessageA(edit, EM_SETSEL, caret, caret + n);
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
}

void ToggleWordWrap(EditorState* s) {
  std::string text = EditorBodyText(s);
  DWORD end = 0, start = Caret(s->bodyEdit, &end);
  bool hadFocus = GetFocus() == s->bodyEdit;
  BOOL modified = static_cast<BOOL>(SendMessageA(s->bodyEdit, EM_GETMODIFY, 0, 0));
  HWND old = s->bodyEdit;
  s->bWordWrap = !s->bWordWrap;
  CreateBodyEdit(s);
  DestroyWindow(old);
  SetWindowTextA(s->bodyEdit, text.c_str());
  SendMessageA(s->bodyEdit, EM_SETMODIFY, modified, 0);
  SendMessageA(s->bodyEdit, EM_SETSEL, start, end);
  SendMessageA(s->bodyEdit, EM_SCROLLCARET, 0, 0);
  if (s->focusControl == old) s->focusControl = s->bodyEdit;
  LayoutEditor(s);
  if (hadFocus || !s->focusControl) SetFocus(s->bodyEdit);
  RefreshEditorStatus(s);
}

// --- files and boilerplates ----------------------------------------------------

std::string BoilerplateDirectory() { return std::string(g_app.dataDir) + "Boilerplates"; }

void InsertBoilerplate(EditorState* s) {
  std::string dir = BoilerplateDirectory();
  CreateDirectoryA(dir.c_str(), nullptr);
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s\\*.txt", dir.c_str());
  if (PromptOpenFileName(s->window, "Insert Boilerplate", path, "Text Files (*.txt)\0*.txt\0", false))
    InsertTextFile(s->window, path);
  SetCurrentDirectoryA(g_app.dataDir);
}

void SaveBoilerplate(EditorState* s) {
  char name[260] = "";
  if (!askstr("Boilerplate Name", name) || !name[0]) return;
  // The name must not lead out of the boilerplate directory.
  if (!IsSafeBoilerplateName(name)) {
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "'%s' cannot be a boilerplate name: leave out \\, /, : and ..", name);
    return;
  }
  std::string dir = BoilerplateDirectory();
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string path = dir + "\\" + name + ".txt";
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !askyesno("This boilerplate already exists.\n\nOverwrite?"))
    return;
  std::string body = EditorBodyText(s);
  std::string temp = path + ".new";
  FILE* f = std::fopen(temp.c_str(), "wb");
  bool ok = f && std::fwrite(body.data(), 1, body.size(), f) == body.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (ok) ok = MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) {
    DeleteFileA(temp.c_str());
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to write %s", path.c_str());
  }
}

void InsertFileCommand(EditorState* s) {
  char path[MAX_PATH] = "";
  if (PromptOpenFileName(s->window, "Insert File", path, "All Files (*.*)\0*.*\0", false)) {
    InsertTextFile(s->window, path);
    SendAsShownDecision(s);
  }
  SetCurrentDirectoryA(g_app.dataDir);
}

void InsertUserNote(EditorState* s) {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s%.8s.not", g_app.dataDir, g_app.userName);
  InsertTextFile(s->window, path);
  if (!sameservice(s->szService, "quorl") && !s->bSendAsShown) SendAsShownDecision(s);
}

// --- the clipboard ---------------------------------------------------------------

std::string ClipboardText(UINT format) {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(format))
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text.assign(p, strnlen(p, GlobalSize(h)));
      GlobalUnlock(h);
    }
  CloseClipboard();
  return text;
}

UINT MessageLinkFormat() { return RegisterClipboardFormatA("500_MESSAGE_LINK"); }

void PasteAsQuoted(EditorState* s) {
  if (!sameservice(s->szService, "quorl") && !s->bSendAsShown) SendAsShownDecision(s);
  std::string text = ClipboardText(CF_TEXT);
  bool bracket = sameservice(s->szService, "dvn") && !g_user.alwaysInternetQuote;
  bool rewrap = sameservice(s->szService, "dvn") && g_user.alwaysInternetQuote;
  if (rewrap) {
    int margin = g_user.rightMargin ? static_cast<int>(g_user.rightMargin) : 72;
    WrapText(&text[0], margin - 3);
  }
  QuoteText(s, text, bracket);
}

void PasteAsReference(EditorState* s) {
  std::string text = ClipboardText(MessageLinkFormat());
  HWND edit = FocusedEdit(s);
  if (text.empty()) return;
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

// --- fields, focus and the service box -----------------------------------------------

void ServiceChanged(EditorState* s) {
  LRESULT at = SendMessageA(s->serviceBox, CB_GETCURSEL, 0, 0);
  if (at == CB_ERR) return;
  char chosen[32] = "";
  SendMessageA(s->serviceBox, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(chosen));
  for (char* c = chosen; *c; ++c) *c = static_cast<char>(ToLower1252(static_cast<unsigned char>(*c)));
  if (sameservice(chosen, s->szService)) return;
  char old[sizeof s->szService];
  StrCopyN(old, s->szService, sizeof old - 1);
  StrCopyN(s->szService, chosen, sizeof s->szService - 1);
  s->bChanged = 1;
  SetSender(s, false);
  struct Field {
    CAddrList* list;
    HWND edit;
  } fields[] = {{&s->To, s->toEdit}, {&s->Cc, s->ccEdit}, {&s->Bcc, s->bccEdit}};
  for (const Field& f : fields) {
    if (!f.edit) continue;
    f.list->ReadControl(f.edit, false);
    f.list->QualifyAddresses(old, s->szService);
    f.list->FillControl(f.edit, s->szService, false);
  }
  bool quorl = sameservice(s->szService, "quorl");
  if (s->bccEdit) EnableWindow(s->bccEdit, !quorl);
  if (s->bccLabel) EnableWindow(s->bccLabel, !quorl);
}

void FocusNext(EditorState* s, bool previous) {
  HWND next = GetNextDlgTabItem(s->window, GetFocus(), previous);
  if (next) SetFocus(next);
}

void TabCommand(EditorState* s) {
  HWND focus = GetFocus();
  if (focus == s->bodyEdit) {
    SendMessageA(focus, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("\t"));
    return;
  }
  if (focus && (focus == s->toEdit || focus == s->ccEdit || focus == s->bccEdit) && !s->bFaxing) {
    std::string text = EditorFieldTextRaw(focus);
    if (!text.empty() && text.back() == ';') {
      text.pop_back();
      SetWindowTextA(focus, text.c_str());
    }
  }
  FocusNext(s, false);
}

void ToggleBox(EditorState* s, HWND box) {
  if (!box) return;
  bool on = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  SendMessageA(box, BM_SETCHECK, on ? BST_UNCHECKED : BST_CHECKED, 0);
  s->bChanged = 1;
}

}  // namespace

// --- what the other editor files call ---------------------------------------------------

std::string EditorFieldTextRaw(HWND edit) {
  if (!edit) return "";
  int n = GetWindowTextLengthA(edit);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(edit, &text[0], n + 1)));
  return text;
}

void EditorInsertText(HWND editor, const char* text, bool atStart) {
  EditorState* s = EditorStateOf(editor);
  if (!s || !s->bodyEdit || !text) return;
  SendMessageA(s->bodyEdit, WM_SETREDRAW, FALSE, 0);
  if (atStart) SendMessageA(s->bodyEdit, EM_SETSEL, 0, 0);
  SendMessageA(s->bodyEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
  SendMessageA(s->bodyEdit, WM_SETREDRAW, TRUE, 0);
  SendMessageA(s->bodyEdit, EM_SCROLLCARET, 0, 0);
  InvalidateRect(s->bodyEdit, nullptr, TRUE);
}

void EditorCaretToTop(HWND editor) {
  EditorState* s = EditorStateOf(editor);
  if (!s || !s->bodyEdit) return;
  SendMessageA(s->bodyEdit, EM_SETSEL, 0, 0);
  SendMessageA(s->bodyEdit, EM_SCROLLCARET, 0, 0);
  InvalidateRect(s->bodyEdit, nullptr, TRUE);
}

int InsertTextFile(HWND editor, const char* path) {
  bool ok = false;
  std::string text = ReadWholeFile(path, &ok);
  if (!ok) return 1;
  // The edit control stops at a NUL; the rest of a binary file would be lost
  // silently, so it goes in as far as the text goes.
  text.resize(std::strlen(text.c_str()));
  EditorInsertText(editor, LineFeedsToCrLf(text).c_str(), false);
  return 0;
}

int SaveEditText(HWND editor, const char* path) {
  EditorState* s = EditorStateOf(editor);
  if (!s) return 1;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  std::string body = EditorBodyText(s);
  DWORD written = 0;
  bool ok = WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &written, nullptr) && written == body.size();
  CloseHandle(h);
  if (!ok) DeleteFileA(path);
  return ok ? 0 : 1;
}

void SendAsShownDecision(EditorState* s) {
  if (sameservice(s->szService, "quorl") || s->bSendAsShown) return;
  unsigned char first = ToUpper1252(static_cast<unsigned char>(g_user.autoSendAsShown[0]));
  if (first == 'Y')
    s->bSendAsShown = 1;
  else if (first == 'N')
    s->bSendAsShown = 0;
  else
    s->bSendAsShown = SendAsShownDialog(s);
}

void EditorDropFiles(EditorState* s, HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH];
    if (DragQueryFileA(drop, i, path, sizeof path)) InsertTextFile(s->window, path);
  }
  DragFinish(drop);
}

void EditorAddRecipients(EditorState* s, WPARAM field, const char* text) {
  HWND edit = nullptr;
  CAddrList* list = nullptr;
  struct Field {
    int id;
    HWND edit;
    CAddrList* list;
  } fields[] = {
      {ID_EDITOR_TO, s->toEdit, &s->To}, {ID_EDITOR_CC, s->ccEdit, &s->Cc}, {ID_EDITOR_BCC, s->bccEdit, &s->Bcc}};
  for (const Field& f : fields)
    if (static_cast<int>(field) == f.id && f.edit) edit = f.edit, list = f.list;
  if (!edit)
    for (const Field& f : fields)
      if (f.edit && f.edit == s->focusControl) edit = f.edit, list = f.list;
  if (!edit) edit = s->toEdit, list = &s->To;
  if (!edit || s->bFaxing || !text) return;
  if (s->bMailing) list->ReadControl(edit, false);
  list->Parse(text, true);
  list->QualifyAddresses(s->szService, s->szService);
  list->FillControl(edit, s->szService, false);
  s->bChanged = 1;
  if (ActiveEditorWindow() == s->window && GetFocus() && IsChild(s->window, GetFocus())) {
    SetFocus(edit);
    FocusNext(s, false);
  }
}

void EditorPopupMenu(EditorState* s, POINT screen) {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "PopMenu");
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  HWND edit = FocusedEdit(s);
  DWORD end = 0, start = Caret(edit, &end);
  auto enable = [&](UINT id, bool on) { EnableMenuItem(popup, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  enable(ID_UNDO, SendMessageA(edit, EM_CANUNDO, 0, 0) != 0);
  enable(ID_CUT, start != end);
  enable(ID_COPY, start != end);
  enable(ID_CLEAR, start != end);
  enable(ID_PASTE, IsClipboardFormatAvailable(CF_TEXT) != 0);
  enable(ID_PASTE_REFERENCE, IsClipboardFormatAvailable(MessageLinkFormat()) != 0);
  CheckMenuItem(popup, ID_WORD_WRAP, MF_BYCOMMAND | (s->bWordWrap ? MF_CHECKED : MF_UNCHECKED));
  // PGP is not set up in this program yet.
  if (!g_user.pgpProgram[0]) DeleteMenu(popup, ID_PGP, MF_BYCOMMAND);
  HWND owner = ActiveEditorWindow() ? ActiveEditorWindow() : s->window;
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
  DestroyMenu(menu);
}

bool WriteMergeEntries(EditorState* s, FILE* outbasket, bool hold) {
  FILE* data = fopen_rlock(s->szMergeFile, FO_BINARY);
  if (!data) {
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to read the mail merge file %s", s->szMergeFile);
    return false;
  }
  // The fields as the user wrote them, put back after every line.
  std::string to = EditorFieldTextRaw(s->toEdit), subject = EditorFieldTextRaw(s->subjectEdit);
  std::string body = EditorBodyText(s);
  bool quoted = false, ok = true;
  std::string line;
  int c;
  auto writeLine = [&]() {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) return;
    std::vector<std::string> fields = SplitMergeLine(line.c_str(), &quoted);
    if (s->toEdit) SetWindowTextA(s->toEdit, ReplaceMergeFields(to, fields).c_str());
    if (s->subjectEdit) SetWindowTextA(s->subjectEdit, ReplaceMergeFields(subject, fields).c_str());
    SetWindowTextA(s->bodyEdit, ReplaceMergeFields(body, fields).c_str());
    if (std::fprintf(outbasket, "%s id:\t%s type:\tedit\r\n", hold ? ";#;" : ";-;", g_app.userName) < 0 ||
        WriteDraft(s, outbasket, nullptr, nullptr) != 0)
      ok = false;
    line.clear();
  };
  while (ok && (c = std::fgetc(data)) != EOF) {
    line += static_cast<char>(c);
    if (c == '\n') writeLine();
  }
  if (ok) writeLine();
  fileclose(data);
  if (s->toEdit) SetWindowTextA(s->toEdit, to.c_str());
  if (s->subjectEdit) SetWindowTextA(s->subjectEdit, subject.c_str());
  SetWindowTextA(s->bodyEdit, body.c_str());
  return ok;
}

bool EditorCommand(EditorState* s, int id, int code, LPARAM lParam) {
  (void)lParam;
  switch (id) {
    case ID_CLEAR_LINE: ClearLine(FocusedEdit(s)); return true;
    case ID_LINE_START: LineStartOrEnd(FocusedEdit(s), false); return true;
    case ID_LINE_END: LineStartOrEnd(FocusedEdit(s), true); return true;
    case ID_DELETE_WORD: DeleteWordRight(FocusedEdit(s)); return true;
    case ID_WORD_WRAP: ToggleWordWrap(s); return true;
    case ID_INSERT_BOILERPLATE: InsertBoilerplate(s); return true;
    case ID_SAVE_BOILERPLATE: SaveBoilerplate(s); return true;
    case ID_INSERT_FILE: InsertFileCommand(s); return true;
    case ID_INSERT_NOTE: InsertUserNote(s); return true;
    case ID_SPELL_CHECK: g_editorSpellHooks.checkEditor(s->window); return true;
    case ID_CUT: SendMessageA(FocusedEdit(s), WM_CUT, 0, 0); return true;
    case ID_COPY: SendMessageA(FocusedEdit(s), WM_COPY, 0, 0); return true;
    case ID_CLEAR: SendMessageA(FocusedEdit(s), WM_CLEAR, 0, 0); return true;
    case ID_UNDO: SendMessageA(FocusedEdit(s), EM_UNDO, 0, 0); return true;
    case ID_PASTE: {
      HWND edit = FocusedEdit(s);
      if (edit == s->bodyEdit && !sameservice(s->szService, "quorl") && !s->bSendAsShown) SendAsShownDecision(s);
      SendMessageA(edit, WM_PASTE, 0, 0);
      return true;
    }
    case ID_SELECT_ALL: SendMessageA(FocusedEdit(s), EM_SETSEL, 0, -1); return true;
    case ID_PASTE_REFERENCE: PasteAsReference(s); return true;
    case ID_PASTE_QUOTED: PasteAsQuoted(s); return true;
    case ID_HELP: ShowHelp(8015 + s->nType, nullptr); return true;
    case ID_OPTIONS: EditOptionsDialog(s); return true;
    case ID_ATTACHMENTS: EditAttachmentsDialog(s); return true;
    case ID_EDITOR_SERVICE:
      if (code == CBN_SELCHANGE) ServiceChanged(s);
      if (code == CBN_SETFOCUS) s->focusControl = s->serviceBox;
      return true;
    case 3007: SetFocus(s->toEdit ? s->toEdit : s->bodyEdit); return true;
    case 3008: SetFocus(s->ccEdit ? s->ccEdit : s->bodyEdit); return true;
    case 3009: SetFocus(s->subjectEdit ? s->subjectEdit : s->bodyEdit); return true;
    case 14739: SetFocus(s->bccEdit ? s->bccEdit : s->bodyEdit); return true;
    case 3031:
      if (s->serviceBox) SetFocus(s->serviceBox);
      return true;
    case 3010: TabCommand(s); return true;
    case 3016: FocusNext(s, true); return true;
    case 3013: ToggleBox(s, s->urgentBox); return true;
    case 3024: ToggleBox(s, s->privateBox ? s->privateBox : s->receiptBox); return true;
    default: return false;
  }
}
