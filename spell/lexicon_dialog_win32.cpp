// The dictionary editor: lists one of the user's dictionaries and adds,
// deletes and clears its words.
#include <windows.h>

#include <string>
#include <vector>

#include "core/help.h"
#include "core/resstr.h"
#include "core/ui_seams.h"
#include "resources/spell_ids.h"
#include "spell/spell_front_win32.h"

namespace {

constexpr int kWordMax = 128;

LexiconDialogState* StateOf(HWND dialog) {
  return reinterpret_cast<LexiconDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

int Box(HWND dialog, const char* text, UINT style) { return g_ui.messageBox(dialog, text, "Edit Dictionary", style); }

bool IsPairDictionary(const LexiconDialogState* s) { return s->which != DICT_IGNORE; }

void FillList(HWND dialog, LexiconDialogState* s) {
  HWND list = GetDlgItem(dialog, IDC_LEX_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  uint32_t size = 0;
  uint16_t format = 0, language = 0;
  int16_t type = 0;
  if (SORN_GetLexInfo(g_sorn.session, s->lexicon, &size, &format, &type, &language) < 0 || size == 0) return;
  std::vector<char> image(size + 1, 0);
  if (SORN_GetLex(g_sorn.session, s->lexicon, image.data(), size) < 0) return;
  // Entries one after the other, each ended by a zero; an empty one ends the list.
  for (const char* p = image.data(); p < image.data() + size && *p; p += lstrlenA(p) + 1)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p));
}

void AddEntry(HWND dialog, LexiconDialogState* s) {
  char entry[kWordMax + 1] = "";
  GetDlgItemTextA(dialog, IDC_LEX_WORD, entry, sizeof entry);
  std::string word = entry, replacement;
  if (word.empty()) return;
  if (IsPairDictionary(s)) {
    size_t colon = word.find(':');
    if (colon == std::string::npos) {
      Box(dialog, loadstr(IDS_SPELL_WORD_REPLACEMENT), MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    replacement = word.substr(colon + 1);
    word.resize(colon);
  }
  int16_t added =
      SORN_AddToLex(g_sorn.session, s->lexicon, word.c_str(), IsPairDictionary(s) ? replacement.c_str() : nullptr);
  if (added == SORN_OUT_OF_MEMORY) {
    Box(dialog, "Dictionary is full.", MB_OK | MB_ICONEXCLAMATION);
  } else if (added < 0) {
    Box(dialog, "Error adding word.", MB_OK | MB_ICONEXCLAMATION);
  } else {
    FillList(dialog, s);
    SetDlgItemTextA(dialog, IDC_LEX_WORD, "");
  }
}

void DeleteEntry(HWND dialog, LexiconDialogState* s) {
  HWND list = GetDlgItem(dialog, IDC_LEX_LIST);
  LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return;
  std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, row, 0)) + 1, '\0');
  text.resize(static_cast<size_t>(SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(&text[0]))));
  if (IsPairDictionary(s)) text = text.substr(0, text.find(':'));
  SORN_DelFromLex(g_sorn.session, s->lexicon, text.c_str());
  FillList(dialog, s);
}

void ClearEntries(HWND dialog, LexiconDialogState* s) {
  if (Box(dialog, "Are you sure you want to remove all words from this dictionary?", MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return;
  SORN_ClearLex(g_sorn.session, s->lexicon);
  FillList(dialog, s);
}

void OnSelection(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_LEX_LIST);
  LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return;
  std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, row, 0)) + 1, '\0');
  text.resize(static_cast<size_t>(SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(&text[0]))));
  SetDlgItemTextA(dialog, IDC_LEX_WORD, text.c_str());
}

void OnInitDialog(HWND dialog, LexiconDialogState* s) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(s));
  const char* titles[] = {"Edit AutoCorrect dictionary", "Edit Ignore dictionary", "Edit Suggestion dictionary"};
  SetWindowTextA(dialog, titles[s->which]);
  SendDlgItemMessageA(dialog, IDC_LEX_WORD, EM_LIMITTEXT, kWordMax, 0);
  FillList(dialog, s);
  CentreDialog(GetParent(dialog), dialog);
}

INT_PTR OnCommand(HWND dialog, LexiconDialogState* s, int id, int code) {
  switch (id) {
    case IDC_LEX_ADD: AddEntry(dialog, s); break;
    case IDC_LEX_DELETE: DeleteEntry(dialog, s); break;
    case IDC_LEX_CLEAR: ClearEntries(dialog, s); break;
    case IDC_LEX_LIST:
      if (code == LBN_SELCHANGE) OnSelection(dialog);
      break;
    case IDC_LEX_HELP: ShowHelp(IDC_LEX_HELP, nullptr); break;
    case IDC_LEX_CLOSE:
    case IDCANCEL: EndDialog(dialog, IDOK); break;
    default: return FALSE;
  }
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK EditLexDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog, reinterpret_cast<LexiconDialogState*>(lParam)); return TRUE;
    case WM_COMMAND: {
      LexiconDialogState* s = StateOf(dialog);
      return s ? OnCommand(dialog, s, LOWORD(wParam), HIWORD(wParam)) : FALSE;
    }
    default: return FALSE;
  }
}
