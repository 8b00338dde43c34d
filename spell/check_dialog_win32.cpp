// The "Check Spelling" dialog: shows each word the walk asks about, with its
// case and suggestions, and carries out the user's answer.
#include <windows.h>

#include <cstring>
#include <string>

#include "core/resstr.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "resources/spell_ids.h"
#include "shell/commands_hooks.h"
#include "spell/spell_front_win32.h"

namespace {

constexpr INT_PTR kClosed = -1000;
constexpr INT_PTR kStopped = -1002;
constexpr int kSpellCheckerWindow = 22;  // the "Spell Checker" row of the window settings
constexpr int kSpellingOptionsPage = 4;

CheckDialogState* StateOf(HWND dialog) {
  return reinterpret_cast<CheckDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

int Box(HWND dialog, const std::string& text) {
  return g_ui.messageBox(dialog, text.c_str(), "Check Spelling", MB_OK | MB_ICONEXCLAMATION);
}

std::string ItemText(HWND dialog, int id) {
  char text[SORN_WORD_SIZE * 2] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

SpellOpenSettings DictionarySettings() {
  SpellOpenSettings settings;
  settings.options = g_user.dictionaryOptions;
  settings.language = static_cast<uint16_t>(g_user.dictionary1 ? g_user.dictionary1 : 1033);
  settings.autoCorrectPath = g_spellLexicons.autocorrect;
  settings.ignorePath = g_spellLexicons.ignore;
  settings.suggestPath = g_spellLexicons.suggest;
  return settings;
}

// The combo's rows in order name the dictionaries Ignore, Suggestion, AutoCorrect.
SpellDictionary ChosenDictionary(HWND dialog) {
  LRESULT row = SendDlgItemMessageA(dialog, IDC_SPELL_ADD_TO, CB_GETCURSEL, 0, 0);
  if (row == 1) return DICT_SUGGESTION;
  if (row == 2) return DICT_AUTOCORRECT;
  return DICT_IGNORE;
}

// The dialog opens where the user last left it, if that is still on the screen.
void PlaceDialog(HWND dialog) {
  const WindowPlacement& p = g_windowPlacements[kSpellCheckerWindow];
  bool stored = p.left != CW_USEDEFAULT && p.top != CW_USEDEFAULT && p.left >= 0 && p.top >= 0 &&
                p.left < GetSystemMetrics(SM_CXSCREEN) - 40 && p.top < GetSystemMetrics(SM_CYSCREEN) - 40;
  if (stored)
    SetWindowPos(dialog, nullptr, p.left, p.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  else
    CentreDialog(GetParent(dialog), dialog);
}

void EndCheck(HWND dialog, INT_PTR result) {
  RECT r;
  if (GetWindowRect(dialog, &r))
    g_windowPlacements[kSpellCheckerWindow] = {r.left, r.top, r.right - r.left, r.bottom - r.top, 1};
  StateOf(dialog)->result = result;
  EndDialog(dialog, result);
}

// The edit window shows the text as it stands now, the word selected.
void ShowInEditor(CheckDialogState* s, bool textChanged) {
  if (!s->edit) return;
  if (textChanged) {
    std::string text(s->walk.text, WalkLength(s->walk));
    SetWindowTextA(s->edit, text.c_str());
  }
  if (s->walk.result == SORN_END_OF_BLOCK) return;
  DWORD start = s->offset + WalkCursor(s->walk);
  SendMessageA(s->edit, EM_SETSEL, start, start + static_cast<DWORD>(std::strlen(s->walk.word)));
  SendMessageA(s->edit, EM_SCROLLCARET, 0, 0);
}

const char* CaseLabel(int16_t result) {
  if (result & SORN_NOTFOUND) return "Not in Dictionary:";
  if (result & SORN_SUGGESTED) return "Consider replacing:";
  if (result & SORN_CAPITALISE) return "Capitalization:";
  if (result & SORN_MIXEDCASE) return "Mixed case:";
  if (result & SORN_DOUBLED) return "Doubled word:";
  return "Not in Dictionary:";
}

void EnableForCase(HWND dialog, int16_t result) {
  bool doubled = (result & SORN_DOUBLED) && !(result & (SORN_NOTFOUND | SORN_SUGGESTED));
  const int changes[] = {IDC_SPELL_REPLACE, IDC_SPELL_REPLACE_ALL, IDC_SPELL_IGNORE_ALL, IDC_SPELL_ADD};
  for (int id : changes) EnableWindow(GetDlgItem(dialog, id), !doubled);
  EnableWindow(GetDlgItem(dialog, IDC_SPELL_DELETE), doubled);
  SendMessageA(dialog, DM_SETDEFID, doubled ? IDC_SPELL_DELETE : IDC_SPELL_REPLACE, 0);
}

// Shows the walk's question, or ends the dialog at the end of the text.
void ShowQuestion(HWND dialog, bool textChanged) {
  CheckDialogState* s = StateOf(dialog);
  ShowInEditor(s, textChanged);
  int16_t result = s->walk.result;
  if (result == SORN_END_OF_BLOCK) return EndCheck(dialog, 0);
  if (result < 0) return EndCheck(dialog, result);
  SetDlgItemTextA(dialog, IDC_SPELL_CASE, CaseLabel(result));
  SetDlgItemTextA(dialog, IDC_SPELL_WORD, s->walk.word);
  HWND list = GetDlgItem(dialog, IDC_SPELL_SUGGESTIONS);
  bool doubledOnly = (result & SORN_DOUBLED) && !(result & (SORN_NOTFOUND | SORN_SUGGESTED));
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  int listed = doubledOnly ? 0 : FillSuggestions(s->walk.word, list);
  std::string changeTo;
  if (result & (SORN_SUGGESTED | SORN_CAPITALISE | SORN_MIXEDCASE)) {
    changeTo = s->walk.replacement;
  } else if (listed > 0) {
    char first[SORN_WORD_SIZE * 2] = "";
    if (SendMessageA(list, LB_GETTEXTLEN, 0, 0) < static_cast<LRESULT>(sizeof first))
      SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    changeTo = first;
  }
  SetDlgItemTextA(dialog, IDC_SPELL_CHANGE_TO, changeTo.c_str());
  EnableForCase(dialog, result);
}

// Carries out an answer; a failed one leaves the question standing.
void Answer(HWND dialog, int16_t (*action)(CheckWalk&, const char*), const char* failure) {
  CheckDialogState* s = StateOf(dialog);
  std::string changeTo = ItemText(dialog, IDC_SPELL_CHANGE_TO);
  s->walk.changed = false;
  int16_t result = action(s->walk, changeTo.c_str());
  if (result < 0 && failure) {
    Box(dialog, failure);
    return;
  }
  ShowQuestion(dialog, s->walk.changed);
}

void AddWord(HWND dialog) {
  CheckDialogState* s = StateOf(dialog);
  SpellDictionary which = ChosenDictionary(dialog);
  std::string word = ItemText(dialog, IDC_SPELL_WORD);
  std::string changeTo = ItemText(dialog, IDC_SPELL_CHANGE_TO);
  int16_t added = AddToDictionary(which, word.c_str(), changeTo.c_str(), DictionarySettings());
  std::string request = loadstr(IDS_SPELL_WORD_REPLACEMENT);
  if (added == SORN_NEED_REPLACEMENT) {
    Box(dialog, request);
    return;
  }
  if (added < 0) {
    const char* failure = which == DICT_IGNORE       ? "Error saving word in Ignore dictionary"
                          : which == DICT_SUGGESTION ? "Error saving word in Suggestion dictionary."
                                                     : "Error saving word in AutoCorrect dictionary.";
    Box(dialog, std::string(failure) + "\n\n" + request);
  }
  IgnoreOnce(s->walk);
  ShowQuestion(dialog, false);
}

void OnInitDialog(HWND dialog, CheckDialogState* s) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(s));
  HWND combo = GetDlgItem(dialog, IDC_SPELL_ADD_TO);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Ignore"));
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Suggestion"));
  if (!(g_user.dictionaryOptions & kSpellNoAutoCorrect))
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("AutoCorrect"));
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  // Until the options dialog exists there is no page to open.
  EnableWindow(GetDlgItem(dialog, IDC_SPELL_OPTIONS), COMMAND_HOOK_SET(DoOptions));
  PlaceDialog(dialog);
  ShowQuestion(dialog, false);
}

void OnSuggestion(HWND dialog, int code) {
  HWND list = GetDlgItem(dialog, IDC_SPELL_SUGGESTIONS);
  LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return;
  char word[SORN_WORD_SIZE * 2] = "";
  if (SendMessageA(list, LB_GETTEXTLEN, row, 0) >= static_cast<LRESULT>(sizeof word)) return;
  SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(word));
  SetDlgItemTextA(dialog, IDC_SPELL_CHANGE_TO, word);
  if (code == LBN_DBLCLK) Answer(dialog, ReplaceOnce, nullptr);
}

void OnEditDictionary(HWND dialog) {
  EditLexicon(dialog, ChosenDictionary(dialog), true);
  // The edited dictionary may now hold the word.
  CheckDialogState* s = StateOf(dialog);
  NextSpellingQuestion(s->walk);
  ShowQuestion(dialog, false);
}

INT_PTR OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_SPELL_IGNORE:
      Answer(
          dialog, [](CheckWalk& w, const char*) { return IgnoreOnce(w); }, nullptr);
      break;
    case IDC_SPELL_IGNORE_ALL:
      Answer(
          dialog, [](CheckWalk& w, const char*) { return IgnoreAll(w); }, "Error saving word in Ignore dictionary");
      break;
    case IDC_SPELL_REPLACE: Answer(dialog, ReplaceOnce, nullptr); break;
    case IDC_SPELL_REPLACE_ALL: Answer(dialog, ReplaceAll, "Error saving word in AutoCorrect dictionary."); break;
    case IDC_SPELL_DELETE:
      Answer(
          dialog, [](CheckWalk& w, const char*) { return DeleteWord(w); }, nullptr);
      break;
    case IDC_SPELL_ADD: AddWord(dialog); break;
    case IDC_SPELL_SUGGESTIONS:
      if (code == LBN_SELCHANGE || code == LBN_DBLCLK) OnSuggestion(dialog, code);
      break;
    case IDC_SPELL_EDIT_DICT: OnEditDictionary(dialog); break;
    case IDC_SPELL_OPTIONS: g_commandHooks.DoOptions(kSpellingOptionsPage); break;
    case IDC_SPELL_CLOSE:
    case IDCANCEL: EndCheck(dialog, kClosed); break;
    case IDC_SPELL_STOP: EndCheck(dialog, kStopped); break;
    default: return FALSE;
  }
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK CheckBlockDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog, reinterpret_cast<CheckDialogState*>(lParam)); return TRUE;
    case WM_COMMAND: return StateOf(dialog) ? OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)) : FALSE;
    default: return FALSE;
  }
}
