// The spelling front end as the program calls it (Win32): the spell check of
// an editor's subject and body, the dictionary editor, and the dialogs' state
// for tests that drive them without a modal loop.
#pragma once
#include <windows.h>

#include <cstdint>

#include "spell/check_walk.h"

// Opens the program's session with the user's languages and dictionaries
// (0, or the failing step's negative code); closeSORN closes it.
int16_t openSORN();

// Checks the subject (none, a reply or a binary mail: skipped) and the body,
// puts the corrected texts back; the last check's result (-1002 stopped,
// -1000 closed, else the body's new length), 4403 when out of memory.
int SpellCheckWindow(HWND subject, HWND body);
// One text through the "Check Spelling" dialog: the dialog's negative
// result, or the text's new length.
int CheckText(HWND edit, uint32_t offset, char* text, uint32_t length, uint32_t size);
// Lists the strong suggestions for a word; the number listed.
int FillSuggestions(const char* word, HWND listBox);
// The dictionary editor on AutoCorrect, Ignore or Suggestion.
void EditLexicon(HWND owner, SpellDictionary which, bool keepOpen);

// Puts the spell check into the editor's hooks.
void InstallSpellHooks();

// What a dialog of the front end holds; the dialog's LPARAM.
struct CheckDialogState {
  HWND edit = nullptr;  // whose text is checked
  uint32_t offset = 0;  // where the text starts in the edit window
  CheckWalk walk;
  INT_PTR result = 0;
};
struct LexiconDialogState {
  SpellDictionary which = DICT_IGNORE;
  int16_t lexicon = -1;
};
INT_PTR CALLBACK CheckBlockDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EditLexDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
