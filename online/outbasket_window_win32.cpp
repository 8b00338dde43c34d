#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "online/connect.h"
#include "online/ghosts.h"
#include "online/outbasket.h"
#include "online/outbasket_order.h"
#include "online/outbasket_window.h"
#include "online/script_cmd.h"
#include "online/script_template.h"
#include "resources/online_ids.h"
#include "shell/commands_hooks.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/window_classes.h"

namespace {

const char kClassName[] = "Marrowfold";
const char kAdministratorOnly[] = "Only the administrator can edit the outbasket.";
const char kLocked[] =
    "The outbasket is currently locked by another user or a connection is in progress.  Please try again later.";
const char kEditing[] = "You are editing a message.  Please finish editing the message and then close the outbasket.";
const char kAskSave[] = "You have changed the contents of the outbasket.\n\nDo you want to save the changes ?";
constexpr UINT_PTR kTimerId = 1;
constexpr int kHeadingBoxRight = 38;  // a click left of it on a heading folds it

HWND NoEditor(HWND, OutbasketAction*) {
  msgwarn("Editing a queued message is not available yet.");
  return nullptr;
}
HWND FrameMdiClient() { return g_shell.mdiClient; }
const char* NoSelection() { return ""; }

struct ButtonSpec {
  int id;
  int caption;
};
const ButtonSpec kButtons[] = {
    {IDOK, IDS_REVIEW_OK},          {kReviewEdit, IDS_REVIEW_EDIT}, {kReviewDelete, IDS_REVIEW_DELETE},
    {kReviewHold, IDS_REVIEW_HOLD}, {IDCANCEL, IDS_REVIEW_CANCEL},  {kReviewHelp, IDS_REVIEW_HELP}};
constexpr int kButtonCount = 6;

// What Review hands the window at its creation.
struct ReviewRequest {
  std::string service, fixedFile, currentFolder;
  bool preview = false;
};

struct ReviewState {
  HWND window = nullptr;
  HWND list = nullptr;
  HWND buttons[kButtonCount] = {};
  WNDPROC listProc = nullptr;
  COutbasket basket{"", ""};
  std::set<std::string> expanded;  // service keys, lower case
  std::string currentFolder;       // with its service key
  HBRUSH faceBrush = nullptr, windowBrush = nullptr;
  int baseX = 8, baseY = 16;  // dialog base units
  int ticks = 0;
  int firstSelected = -1;
  int editingRecord = -1;  // the record an open edit belongs to
  bool swallowDoubleClick = false;
  bool preview = false, editing = false, changed = false;
  // Records of each service in its outbasket file as last loaded or saved;
  // what the file holds beyond them came from its append file since.
  std::vector<std::pair<std::string, size_t>> fileCounts;
};

ReviewState* g_review = nullptr;
bool g_lastReviewOk = false;

ReviewState* StateOf(HWND window) { return reinterpret_cast<ReviewState*>(GetWindowLongPtrA(window, 0)); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string ServiceOfFolder(const std::string& folder) {
  size_t colon = folder.find(':');
  return colon == std::string::npos ? "" : Lower(folder.substr(0, colon));
}

// --- The list ---------------------------------------------------------------

OutbasketAction* RecordOfRow(ReviewState* s, int row) {
  LRESULT index = SendMessageA(s->list, LB_GETITEMDATA, row, 0);
  if (index == LB_ERR || index < 0 || static_cast<size_t>(index) >= s->basket.list.records.size()) return nullptr;
  return &s->basket.list.records[static_cast<size_t>(index)];
}

std::vector<int> SelectedRows(ReviewState* s) {
  int count = static_cast<int>(SendMessageA(s->list, LB_GETSELCOUNT, 0, 0));
  std::vector<int> rows(count > 0 ? count : 0);
  if (count > 0) SendMessageA(s->list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(rows.data()));
  return rows;
}

void NoteFileCounts(ReviewState* s, bool afterSave) {
  s->fileCounts.clear();
  for (const OutbasketAction& a : s->basket.list.records) {
    if (a.heading) {
      s->fileCounts.push_back({a.service, 0});
      continue;
    }
    // A save leaves out dropped records; a load read them all from the file.
    if (afterSave && a.dropped) continue;
    for (auto& count : s->fileCounts)
      if (SameText1252(count.first.c_str(), a.service)) count.second++;
  }
}

std::string StringOfFolderLine(const OutbasketAction& a, const char* key) {
  if (!a.lines) return "";
  size_t keyLength = strlen(key);
  for (int i = 0; i < a.lines->count(); i++) {
    const std::string& line = a.lines->line(i);
    if (line.size() >= keyLength && _strnicmp(line.c_str(), key, keyLength) == 0) {
      std::string value = line.substr(keyLength);
      value.erase(0, value.find_first_not_of(' '));
      return value;
    }
  }
  return "";
}

// The edit action of the current folder to select first: the reply to the
// current message, else the first message queued for the folder.
int PreselectedRecord(ReviewState* s) {
  std::string folder = s->currentFolder;
  if (folder.find(':') != std::string::npos) folder = folder.substr(folder.find(':') + 1);
  if (folder.empty()) return -1;
  long message = g_scriptCmdHooks.currentMessage();
  int first = -1;
  for (size_t i = 0; i < s->basket.list.records.size(); i++) {
    const OutbasketAction& a = s->basket.list.records[i];
    if (a.heading || a.dropped || !a.edit) continue;
    std::string folders = StringOfFolderLine(a, "szFolders:");
    folders = folders.substr(0, folders.find(','));
    if (folders.find(':') != std::string::npos) folders = folders.substr(folders.find(':') + 1);
    if (!SameText1252(folders.c_str(), folder.c_str())) continue;
    if (message > 0 && atol(StringOfFolderLine(a, "szReferences:").c_str()) == message) return static_cast<int>(i);
    if (first < 0) first = static_cast<int>(i);
  }
  return first;
}

void UpdateButtons(ReviewState* s) {
  std::vector<int> rows = SelectedRows(s);
  OutbasketAction* first = rows.empty() ? nullptr : RecordOfRow(s, rows[0]);
  bool some = !rows.empty() && !s->editing;
  bool oneAction = rows.size() == 1 && first && !first->heading && !s->editing;
  EnableWindow(GetDlgItem(s->window, kReviewHold), some);
  EnableWindow(GetDlgItem(s->window, kReviewDelete), some);
  EnableWindow(GetDlgItem(s->window, kReviewEdit), oneAction);
  bool held = first && first->held;
  SetWindowTextA(GetDlgItem(s->window, kReviewHold), loadstr(held ? IDS_REVIEW_RELEASE : IDS_REVIEW_HOLD));
  s->firstSelected = first ? static_cast<int>(first - s->basket.list.records.data()) : -1;
}

// Refills the list box; the rows of the records in `select` come back selected.
void FillList(ReviewState* s, const std::set<int>& select, int caretRecord) {
  SendMessageA(s->list, WM_SETREDRAW, FALSE, 0);
  int top = static_cast<int>(SendMessageA(s->list, LB_GETTOPINDEX, 0, 0));
  SendMessageA(s->list, LB_RESETCONTENT, 0, 0);
  int caretRow = -1;
  for (size_t i = 0; i < s->basket.list.records.size(); i++) {
    const OutbasketAction& a = s->basket.list.records[i];
    if (a.dropped) continue;
    if (!a.heading && !s->expanded.count(Lower(a.service))) continue;
    int row = static_cast<int>(SendMessageA(s->list, LB_ADDSTRING, 0, static_cast<LPARAM>(i)));
    if (select.count(static_cast<int>(i))) SendMessageA(s->list, LB_SETSEL, TRUE, row);
    if (static_cast<int>(i) == caretRecord) caretRow = row;
  }
  if (caretRow >= 0) SendMessageA(s->list, LB_SETCARETINDEX, caretRow, FALSE);
  SendMessageA(s->list, LB_SETTOPINDEX, top, 0);
  SendMessageA(s->list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(s->list, nullptr, TRUE);
  UpdateButtons(s);
}

std::set<int> SelectedRecords(ReviewState* s) {
  std::set<int> records;
  for (int row : SelectedRows(s))
    if (OutbasketAction* a = RecordOfRow(s, row)) records.insert(static_cast<int>(a - s->basket.list.records.data()));
  return records;
}

void Refill(ReviewState* s) {
  int caret = static_cast<int>(SendMessageA(s->list, LB_GETCARETINDEX, 0, 0));
  OutbasketAction* a = caret >= 0 ? RecordOfRow(s, caret) : nullptr;
  FillList(s, SelectedRecords(s), a ? static_cast<int>(a - s->basket.list.records.data()) : -1);
}

void LoadAndFill(ReviewState* s) {
  s->basket.Load();
  NoteFileCounts(s, false);
  std::set<int> select;
  int preselect = PreselectedRecord(s);
  if (preselect >= 0) {
    s->expanded.insert(Lower(s->basket.list.records[static_cast<size_t>(preselect)].service));
    select.insert(preselect);
  }
  FillList(s, select, preselect);
}

bool SaveAll(ReviewState* s) {
  bool ok = s->basket.Save();
  if (!ok) msgwarn("The outbasket could not be saved; the files stay as they were.");
  NoteFileCounts(s, true);
  s->changed = false;
  RefreshGhosts();
  return ok;
}

// Takes the entries that reached the outbasket files from their append files
// into the list, leaving the user's unsaved holds and deletions as they are.
void MergeNewActions(ReviewState* s) {
  ActionList& list = s->basket.list;
  for (auto& count : s->fileCounts) {
    ActionList fresh;
    LoadOutbasketFile(&fresh, count.first.c_str());
    for (size_t i = count.second; i < fresh.records.size(); i++) {
      list.records.push_back(fresh.records[i]);
      fresh.records[i] = OutbasketAction{};  // the list owns its buffers now
    }
    count.second = std::max(count.second, fresh.records.size());
  }
  // A service that had no heading yet.
  COutbasket probe(s->basket.serviceFilter, nullptr);
  probe.Load();
  for (const OutbasketAction& a : probe.list.records) {
    if (!a.heading) continue;
    bool known = false;
    for (auto& count : s->fileCounts) known = known || SameText1252(count.first.c_str(), a.service);
    if (known) continue;
    list.records.push_back(NewHeadingRow(a.service));
    size_t added = 0;
    for (OutbasketAction& r : probe.list.records)
      if (!r.heading && SameText1252(r.service, a.service)) {
        list.records.push_back(r);
        r = OutbasketAction{};
        added++;
      }
    s->fileCounts.push_back({a.service, added});
  }
  OrderActions(&list);
}

// --- Drawing ------------------------------------------------------------------

enum class Icon { Mail, Message, Script };

Icon IconOf(const OutbasketAction& a) {
  const char* t = a.title;
  if (!strcmp(t, "Post New Mail") || !strcmp(t, "Reply By Mail") || !strcmp(t, "Faxing")) return Icon::Mail;
  if (!strcmp(t, "Reply To Message") || !strcmp(t, "Post New Message")) return Icon::Message;
  return Icon::Script;
}

// Our own small pictures: an envelope, a page of text, a script scroll.
void DrawIcon(HDC dc, Icon icon, int x, int y, COLORREF ink) {
  HPEN pen = CreatePen(PS_SOLID, 1, ink);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  switch (icon) {
    case Icon::Mail:
      Rectangle(dc, x, y + 3, x + 15, y + 13);
      MoveToEx(dc, x, y + 3, nullptr);
      LineTo(dc, x + 7, y + 9);
      LineTo(dc, x + 15, y + 2);
      break;
    case Icon::Message:
      Rectangle(dc, x + 2, y + 1, x + 13, y + 15);
      for (int line = 4; line <= 11; line += 3) {
        MoveToEx(dc, x + 4, y + line, nullptr);
        LineTo(dc, x + 11, y + line);
      }
      break;
    case Icon::Script:
      Rectangle(dc, x + 3, y + 2, x + 13, y + 14);
      Ellipse(dc, x + 1, y + 1, x + 6, y + 5);
      Ellipse(dc, x + 10, y + 11, x + 15, y + 15);
      MoveToEx(dc, x + 6, y + 7, nullptr);
      LineTo(dc, x + 11, y + 7);
      break;
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void DrawHeadingBox(HDC dc, const RECT& r, bool expanded, COLORREF ink) {
  int mid = (r.top + r.bottom) / 2;
  RECT box = {4, mid - 4, 13, mid + 5};
  HPEN pen = CreatePen(PS_SOLID, 1, ink);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, box.left, box.top, box.right, box.bottom);
  MoveToEx(dc, box.left + 2, mid, nullptr);
  LineTo(dc, box.right - 2, mid);
  if (!expanded) {
    MoveToEx(dc, (box.left + box.right) / 2, box.top + 2, nullptr);
    LineTo(dc, (box.left + box.right) / 2, box.bottom - 2);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void OnDrawItem(ReviewState* s, const DRAWITEMSTRUCT* item) {
  if (item->itemID == static_cast<UINT>(-1)) return;
  OutbasketAction* a = RecordOfRow(s, static_cast<int>(item->itemID));
  HDC dc = item->hDC;
  RECT r = item->rcItem;
  bool selected = (item->itemState & ODS_SELECTED) != 0;
  COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
  COLORREF ink = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  if (a && a->held) ink = GetSysColor(COLOR_BTNSHADOW);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  if (!a) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ink);
  std::string text;
  RECT textRect = r;
  if (a->heading) {
    DrawHeadingBox(dc, r, s->expanded.count(Lower(a->service)) != 0, ink);
    char name[16];
    StrCopyN(name, a->service, sizeof name - 1);
    text = FixNameCase(_strlwr(name));
    textRect.left = 18;
  } else {
    // Tree lines from the heading's box to the icon.
    HPEN pen = CreatePen(PS_DOT, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = SelectObject(dc, pen);
    int mid = (r.top + r.bottom) / 2;
    MoveToEx(dc, 8, r.top, nullptr);
    LineTo(dc, 8, r.bottom);
    MoveToEx(dc, 8, mid, nullptr);
    LineTo(dc, 19, mid);
    SelectObject(dc, old);
    DeleteObject(pen);
    DrawIcon(dc, IconOf(*a), 20, mid - 8, a->held ? ink : GetSysColor(COLOR_WINDOWTEXT));
    text = a->description;
    std::replace(text.begin(), text.end(), ',', ' ');
    textRect.left = 40;
  }
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
}

int RowHeight(HWND window) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return std::max<int>(16, metrics.tmHeight + metrics.tmExternalLeading);
}

// --- Layout -------------------------------------------------------------------

void Layout(ReviewState* s, int width, int height) {
  int u = s->baseX, v = s->baseY;
  int buttonWidth = 8 * u, buttonHeight = 3 * (v / 2) - 2;
  int listWidth = std::max(0, width - (2 * u + 2) - buttonWidth);
  MoveWindow(s->list, 2, 2, listWidth, std::max(0, height - 4), TRUE);
  int x = width - buttonWidth - u + 1;
  for (int i = 0; i < kButtonCount; i++)
    MoveWindow(s->buttons[i], x, 2 + i * (buttonHeight + 2), buttonWidth, buttonHeight, TRUE);
}

// --- Commands -----------------------------------------------------------------

void ToggleService(ReviewState* s, const char* service) {
  std::string key = Lower(service);
  if (s->expanded.count(key))
    s->expanded.erase(key);
  else
    s->expanded.insert(key);
  Refill(s);
}

void SetCaretServiceExpanded(ReviewState* s, bool expand) {
  int caret = static_cast<int>(SendMessageA(s->list, LB_GETCARETINDEX, 0, 0));
  OutbasketAction* a = caret >= 0 ? RecordOfRow(s, caret) : nullptr;
  if (!a) return;
  std::string key = Lower(a->service);
  if (expand)
    s->expanded.insert(key);
  else
    s->expanded.erase(key);
  Refill(s);
}

// Every action the selection names: the selected actions and all actions of
// a selected heading's service.
std::vector<OutbasketAction*> SelectedActions(ReviewState* s) {
  std::set<std::string> services;
  std::set<OutbasketAction*> chosen;
  for (int row : SelectedRows(s)) {
    OutbasketAction* a = RecordOfRow(s, row);
    if (!a) continue;
    if (a->heading)
      services.insert(Lower(a->service));
    else
      chosen.insert(a);
  }
  std::vector<OutbasketAction*> out;
  for (OutbasketAction& a : s->basket.list.records)
    if (!a.heading && !a.dropped && (chosen.count(&a) || services.count(Lower(a.service)))) out.push_back(&a);
  return out;
}

void MarkChanged(ReviewState* s) { s->changed = true; }

void HoldSelection(ReviewState* s) {
  std::vector<int> rows = SelectedRows(s);
  if (rows.empty() || s->editing) return;
  OutbasketAction* first = RecordOfRow(s, rows[0]);
  uint32_t held = first && first->held ? 0 : 1;
  for (OutbasketAction* a : SelectedActions(s)) a->held = held;
  MarkChanged(s);
  InvalidateRect(s->list, nullptr, TRUE);
  UpdateButtons(s);
}

void DeleteSelection(ReviewState* s) {
  if (SelectedRows(s).empty() || s->editing) return;
  if (!askyesno("Are you sure ?")) return;
  for (OutbasketAction* a : SelectedActions(s)) a->dropped = 1;
  MarkChanged(s);
  FillList(s, {}, -1);
}

// The dialog that edits a script action's argument lines and text block.
struct ScriptEdit {
  std::string title;
  std::vector<std::string> labels;
  std::vector<std::string> lines;  // argument lines (the command line is not shown)
  std::string text;                // the text block, CR LF line ends
  bool counted = false;
};

std::string ControlText(HWND control) {
  int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(control, &text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

void InitScriptEdit(HWND dialog, ScriptEdit* edit) {
  SetWindowTextA(dialog, edit->title.c_str());
  for (int k = 0; k < kScriptArgs; k++) {
    HWND label = GetDlgItem(dialog, IDC_SCRIPT_LABEL + k), line = GetDlgItem(dialog, IDC_SCRIPT_LINE + k);
    bool used = k < static_cast<int>(edit->lines.size());
    ShowWindow(label, used ? SW_SHOW : SW_HIDE);
    ShowWindow(line, used ? SW_SHOW : SW_HIDE);
    if (!used) continue;
    SetWindowTextA(label, k < static_cast<int>(edit->labels.size()) ? edit->labels[k].c_str() : "Parameter");
    SendMessageA(line, EM_LIMITTEXT, 199, 0);
    SetWindowTextA(line, edit->lines[k].c_str());
  }
  HWND text = GetDlgItem(dialog, IDC_SCRIPT_TEXT);
  ShowWindow(text, edit->counted ? SW_SHOW : SW_HIDE);
  if (edit->counted) SetWindowTextA(text, edit->text.c_str());
  // The lines and the block an action lacks leave no gap.
  RECT unit = {0, 0, 4, 8};
  MapDialogRect(dialog, &unit);
  int rowHeight = 14 * unit.bottom / 8;
  int shift = (kScriptArgs - static_cast<int>(edit->lines.size())) * rowHeight;
  if (!edit->counted) shift += 64 * unit.bottom / 8;
  for (int id : {IDC_SCRIPT_TEXT, IDOK, IDCANCEL}) {
    HWND control = GetDlgItem(dialog, id);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(control, nullptr, r.left, r.top - shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  RECT frame;
  GetWindowRect(dialog, &frame);
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - shift,
               SWP_NOMOVE | SWP_NOZORDER);
}

INT_PTR CALLBACK ScriptEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  ScriptEdit* edit = reinterpret_cast<ScriptEdit*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      InitScriptEdit(dialog, reinterpret_cast<ScriptEdit*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && edit) {
        for (size_t k = 0; k < edit->lines.size(); k++)
          edit->lines[k] = ControlText(GetDlgItem(dialog, IDC_SCRIPT_LINE + static_cast<int>(k)));
        if (edit->counted) edit->text = ControlText(GetDlgItem(dialog, IDC_SCRIPT_TEXT));
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

std::string ReadConfigText(const char* service) {
  std::string path = std::string(g_app.dataDir) + service + "\\" + service + ".cnf";
  std::string text;
  if (FILE* file = fopen(path.c_str(), "rb")) {
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    fclose(file);
  }
  return text;
}

// A text block as the edit control shows it (CR LF), and back as the record
// keeps it: every line ended, CR LF.
std::string BlockText(const OutbasketAction& a) { return a.text ? std::string(a.text, a.textLength) : ""; }
std::string StoredBlock(const std::string& shown) {
  std::string out;
  size_t start = 0;
  while (start < shown.size()) {
    size_t end = shown.find('\n', start);
    std::string line = shown.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += line + "\r\n";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

void EditScriptAction(ReviewState* s, OutbasketAction* a) {
  ScriptEdit edit;
  edit.title = a->title;
  edit.counted = a->text != nullptr;
  for (int i = 1; a->lines && i < a->lines->count(); i++) edit.lines.push_back(a->lines->line(i));
  if (edit.lines.size() > static_cast<size_t>(kScriptArgs)) edit.lines.resize(kScriptArgs);
  edit.labels = ScriptEditLabels(FindEditTemplate(ReadConfigText(a->service), a->title), a->service);
  edit.text = BlockText(*a);
  if (g_ui.dialogBox(StringModule(), "PopupScript", s->window, ScriptEditProc, reinterpret_cast<LPARAM>(&edit)) != IDOK)
    return;
  ActionLines* lines = new ActionLines;
  for (int i = 0; i < a->lines->count(); i++) {
    size_t k = static_cast<size_t>(i) - 1;
    lines->add(i > 0 && k < edit.lines.size() ? edit.lines[k].c_str() : a->lines->get(i));
  }
  delete a->lines;
  a->lines = lines;
  if (edit.counted) {
    std::string block = StoredBlock(edit.text);
    char* text = static_cast<char*>(malloc(block.size() + 1));
    if (text) {
      memcpy(text, block.c_str(), block.size() + 1);
      free(a->text);
      a->text = text;
      a->textLength = static_cast<uint32_t>(block.size());
    }
  }
  DescribeAction(a);
  MarkChanged(s);
}

void EditMessageAction(ReviewState* s, OutbasketAction* a) {
  HWND editor = g_outbasketWindowHooks.editMessage(s->window, a);
  MSG msg;
  while (editor && IsWindow(editor)) {
    int got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop to end too
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (!g_review) return;  // the window went while the editor was open
  a->title[0] = 0;        // the kind of message may have changed too
  DescribeAction(a);
}

void EditSelection(ReviewState* s) {
  std::vector<int> rows = SelectedRows(s);
  if (rows.size() != 1 || s->editing) return;
  OutbasketAction* a = RecordOfRow(s, rows[0]);
  if (!a || a->heading) return;
  size_t index = static_cast<size_t>(a - s->basket.list.records.data());
  s->editing = true;
  s->editingRecord = static_cast<int>(index);
  UpdateButtons(s);
  if (a->edit)
    EditMessageAction(s, a);
  else
    EditScriptAction(s, a);
  if (g_review != s) return;
  s->editing = false;
  s->editingRecord = -1;
  FillList(s, {static_cast<int>(index)}, static_cast<int>(index));
}

void CloseWindowNow(ReviewState* s) {
  HWND client = GetParent(s->window);
  if (client)
    SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(s->window), 0);
  else
    DestroyWindow(s->window);
}

void OnOk(ReviewState* s) {
  if (s->editing) {
    msgwarn(kEditing);
    return;
  }
  KillTimer(s->window, kTimerId);
  SaveAll(s);
  g_lastReviewOk = true;
  CloseWindowNow(s);
}

// False when the close is refused.
bool OnClose(ReviewState* s) {
  if (s->editing) {
    msgwarn(kEditing);
    return false;
  }
  if (s->changed) {
    int answer = askyesnocancel(kAskSave);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) {
      SaveAll(s);
      g_lastReviewOk = true;
    }
    s->changed = false;  // answered: the question is not asked again
  }
  return true;
}

void OnTimer(ReviewState* s) {
  s->ticks++;
  if (s->preview && g_user.reviewTimeout && s->ticks >= static_cast<int>(g_user.reviewTimeout)) {
    OnOk(s);
    return;
  }
  if (s->editing || !HasNewActions(s->basket.serviceFilter, s->basket.fixedFile)) return;
  if (!s->changed) {
    SaveAll(s);
    LoadAndFill(s);
    return;
  }
  // Unsaved holds and deletions stay unsaved: only the new actions join.
  MergeNewActions(s);
  FillList(s, {}, -1);
}

// An edited action came back. The editor's Hold button bore this window's
// Hold caption, so it does what that button would: hold a live action,
// release a held one. The edited record is kept apart from the selection,
// which the user may change while the editor is open.
void OnMarkChanged(ReviewState* s, bool hold) {
  MarkChanged(s);
  if (!hold) return;
  if (s->editingRecord >= 0 && static_cast<size_t>(s->editingRecord) < s->basket.list.records.size()) {
    OutbasketAction& a = s->basket.list.records[static_cast<size_t>(s->editingRecord)];
    a.held = a.held ? 0 : 1;
  } else {
    for (OutbasketAction* a : SelectedActions(s)) a->held = 1;
  }
  InvalidateRect(s->list, nullptr, TRUE);
  UpdateButtons(s);
}

void OnListClick(ReviewState* s, int x, int y, bool doubleClick) {
  LRESULT hit = SendMessageA(s->list, LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
  if (HIWORD(hit)) return;
  OutbasketAction* a = RecordOfRow(s, LOWORD(hit));
  if (!a) return;
  if (!doubleClick) {
    if (a->heading && x < kHeadingBoxRight) {
      ToggleService(s, a->service);
      s->swallowDoubleClick = true;
    }
    return;
  }
  if (s->swallowDoubleClick) {
    s->swallowDoubleClick = false;
    return;
  }
  if (a->heading)
    ToggleService(s, a->service);
  else
    EditSelection(s);
}

void OnCommand(ReviewState* s, int id, int code, LPARAM lParam) {
  switch (id) {
    case kReviewList:
      if (code == LBN_SELCHANGE) UpdateButtons(s);
      return;
    case IDOK: OnOk(s); return;
    case IDCANCEL: SendMessageA(s->window, WM_CLOSE, 0, 0); return;
    case kReviewEdit: EditSelection(s); return;
    case kReviewDelete: DeleteSelection(s); return;
    case kReviewHold: HoldSelection(s); return;
    case kReviewHelp: ShowHelp(8022, nullptr); return;
    case kReviewCollapse: SetCaretServiceExpanded(s, false); return;
    case kReviewExpand: SetCaretServiceExpanded(s, true); return;
    case kReviewSelectAll:
      SendMessageA(s->list, LB_SETSEL, TRUE, -1);
      UpdateButtons(s);
      return;
    case kReviewNextControl: NextFocus(true); return;
    case kReviewPreviousControl: NextFocus(false); return;
    case kReviewEnterKey: {
      HWND focus = GetFocus();
      int focused = focus && GetParent(focus) == s->window ? GetDlgCtrlID(focus) : 0;
      bool button = focused && focused != kReviewList;
      PostMessageA(s->window, WM_COMMAND, button ? focused : IDOK, 0);
      return;
    }
    case kReviewMarkChanged: OnMarkChanged(s, lParam == 1); return;
  }
}

LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  ReviewState* s = StateOf(GetParent(list));
  WNDPROC previous = s ? s->listProc : DefWindowProcA;
  if (s) switch (message) {
      case WM_LBUTTONDOWN: {
        LRESULT result = CallWindowProcA(previous, list, message, wParam, lParam);
        OnListClick(s, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), false);
        return result;
      }
      case WM_LBUTTONDBLCLK:
        OnListClick(s, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), true);
        return 0;
      case WM_RBUTTONDOWN: {
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(list, &point);
        PopReviewMenu(s->window, point);
        return 0;
      }
    }
  return CallWindowProcA(previous, list, message, wParam, lParam);
}

// --- Window messages -----------------------------------------------------------

bool OnCreate(HWND window, const ReviewRequest* request) {
  ReviewState* s = new ReviewState;
  SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(s));
  g_review = s;
  s->window = window;
  s->preview = request->preview;
  s->currentFolder = request->currentFolder;
  StrCopyN(s->basket.serviceFilter, request->service.c_str(), sizeof s->basket.serviceFilter - 1);
  StrCopyN(s->basket.fixedFile, request->fixedFile.c_str(), sizeof s->basket.fixedFile - 1);
  LONG units = GetDialogBaseUnits();
  s->baseX = LOWORD(units);
  s->baseY = HIWORD(units);
  s->faceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  s->windowBrush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  s->list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWFIXED | LBS_EXTENDEDSEL |
                                LBS_NOTIFY | LBS_DISABLENOSCROLL | LBS_NOINTEGRALHEIGHT,
                            0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kReviewList)), instance,
                            nullptr);
  if (!s->list) return false;
  s->listProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(s->list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(s->list, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  for (int i = 0; i < kButtonCount; i++) {
    s->buttons[i] = CreateWindowExA(0, "BUTTON", loadstr(kButtons[i].caption),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtons[i].id)), instance, nullptr);
    SendMessageA(s->buttons[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  }
  // Only the service of the current folder (or the one asked for) starts open.
  std::string service = !request->service.empty() ? Lower(request->service) : ServiceOfFolder(s->currentFolder);
  if (!service.empty()) s->expanded.insert(service);
  LoadAndFill(s);
  if (!s->basket.problems.empty())
    msgwarn(("Some actions could not be read and are held:\n" + s->basket.problems).c_str());
  SetTimer(window, kTimerId, 1000, nullptr);
  return true;
}

void OnDestroy(HWND window) {
  ReviewState* s = StateOf(window);
  KillTimer(window, kTimerId);
  ReleaseConnectLock();
  if (!s) return;
  DeleteObject(s->faceBrush);
  DeleteObject(s->windowBrush);
  SetWindowLongPtrA(window, 0, 0);
  if (g_review == s) g_review = nullptr;
  delete s;
}

}  // namespace

const OutbasketWindowHooks kDefaultOutbasketWindowHooks = {NoEditor, FrameMdiClient, NoSelection};
OutbasketWindowHooks g_outbasketWindowHooks = kDefaultOutbasketWindowHooks;

LRESULT CALLBACK OutbasketWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ReviewState* s = StateOf(window);
  switch (message) {
    case WM_CREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      auto* mdi = static_cast<MDICREATESTRUCTA*>(create->lpCreateParams);
      const ReviewRequest* request = reinterpret_cast<const ReviewRequest*>(mdi ? mdi->lParam : 0);
      ReviewRequest none;
      return OnCreate(window, request ? request : &none) ? 0 : -1;
    }
    case WM_SIZE:
      if (s) Layout(s, LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(RowHeight(window));
      return TRUE;
    case WM_DRAWITEM:
      if (s) OnDrawItem(s, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, s ? s->faceBrush : GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_SETFOCUS:
      if (s) SetFocus(s->list);
      return 0;
    case WM_COMMAND:
      if (s) OnCommand(s, LOWORD(wParam), HIWORD(wParam), lParam);
      return 0;
    case WM_CONTEXTMENU:
      if (s) PopReviewMenu(window, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return 0;
    case WM_TIMER:
      if (s && wParam == kTimerId) OnTimer(s);
      return 0;
    case WM_CLOSE:
      if (s && !OnClose(s)) return 0;
      break;
    case WM_QUERYENDSESSION: return !s || OnClose(s);
    case WM_GETMINMAXINFO:
      if (s) reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = 40 * s->baseX;
      break;
    case WM_DESTROY: OnDestroy(window); break;
  }
  return DefChildProc(window, message, wParam, lParam);
}

void PopReviewMenu(HWND window, POINT screen) {
  ReviewState* s = StateOf(window);
  HMENU menu = LoadMenuA(StringModule(), "PopReviewMenu");
  if (!menu || !s) return;
  HMENU popup = GetSubMenu(menu, 0);
  UpdateButtons(s);
  for (int id : {kReviewEdit, kReviewDelete, kReviewHold})
    EnableMenuItem(popup, id, MF_BYCOMMAND | (IsWindowEnabled(GetDlgItem(window, id)) ? MF_ENABLED : MF_GRAYED));
  char hold[32];
  GetWindowTextA(GetDlgItem(window, kReviewHold), hold, sizeof hold);
  ModifyMenuA(popup, kReviewHold, MF_BYCOMMAND | MF_STRING, kReviewHold, hold);
  EnableMenuItem(popup, kReviewHold,
                 MF_BYCOMMAND | (IsWindowEnabled(GetDlgItem(window, kReviewHold)) ? MF_ENABLED : MF_GRAYED));
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr);
  DestroyMenu(menu);
}

namespace {
// What the frame's idle time does for the open folder, while the preview
// keeps the main loop waiting: ghost marks of actions saved or queued, and a
// thread list refill that waits.
void RefreshOpenFolderView() {
  if (g_topicOpenHooks.ghostsChanged()) g_topicOpenHooks.refreshGhosts();
  if (g_shellHooks.threadListRefillPending()) g_shellHooks.fillThreadList();
}
}  // namespace

HWND OutbasketWindow() { return g_review ? g_review->window : nullptr; }

ActionList* OutbasketWindowList() { return g_review ? &g_review->basket.list : nullptr; }

bool Review(const char* service, const char* fixedFile, int preview) {
  if (g_review) {
    SendMessageA(g_review->window, WM_COMMAND, g_lastReviewOk ? IDCANCEL : IDOK, 0);
    return false;
  }
  if (!HasRight(RIGHT_ADMINISTRATOR) && !g_main.allReview) {
    msgwarn(kAdministratorOnly);
    return false;
  }
  if (!TakeConnectLock()) {
    msgwarn(kLocked);
    return false;
  }
  HWND client = g_outbasketWindowHooks.mdiClient();
  if (!client) {
    ReleaseConnectLock();
    return false;
  }
  g_lastReviewOk = false;
  ReviewRequest request;
  request.service = service ? service : "";
  request.fixedFile = fixedFile ? fixedFile : "";
  request.currentFolder = g_outbasketWindowHooks.selectedFolder();
  request.preview = preview != 0;
  const char* title = preview ? "Review Outbasket - [Connection Preview]" : "Review Outbasket";
  MDICREATESTRUCTA create = {kClassName,    title,           GetModuleHandleA(nullptr),
                             CW_USEDEFAULT, CW_USEDEFAULT,   480,
                             300,           WS_CLIPCHILDREN, reinterpret_cast<LPARAM>(&request)};
  HWND window = reinterpret_cast<HWND>(SendMessageA(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  if (!window) {
    ReleaseConnectLock();
    return false;
  }
  if (!preview) return true;
  MSG msg;
  while (IsWindow(window)) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      RefreshOpenFolderView();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The main loop's idle refresh has not run meanwhile.
  RefreshOpenFolderView();
  return g_lastReviewOk;
}

namespace {
void ReviewCommand(const char* service, int how) { Review(service, nullptr, how); }
bool ReviewBeforeConnect(const char* service) { return Review(service, nullptr, 1); }
// The message-base window's first selected folder, else the open topic.
const char* MessageBaseFolder() {
  static std::string folder;
  const char* selection = g_messageBaseHooks.selection();
  folder = selection && *selection ? std::string(selection).substr(0, std::string(selection).find(' '))
                                   : std::string(g_topic.openName);
  return folder.c_str();
}
}  // namespace

void InstallOutbasketWindow() {
  g_windowClassProcs.outbasket = OutbasketWndProc;
  InstallOutbasketEditor();
  g_outbasketWindowHooks.selectedFolder = MessageBaseFolder;
  g_commandHooks.Review = ReviewCommand;
  g_commandHooks.MakeScriptCmd = MakeScriptCmd;
  g_connectHooks.review = ReviewBeforeConnect;
  InstallScriptCmdHooks();
}
