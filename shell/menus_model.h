// Texts of the variable menu items, worked out without windows: mnemonics for
// service script items, bookmark set and favourite items, the file-list item.
// Portable.
#pragma once
#include <cstddef>

// Puts "&" before the first letter of text not yet in letters (compared in
// upper case) and adds that letter to letters (room for 27 bytes). A text with
// no free letter is copied without a mnemonic. Returns out.
char* PickMnemonic(const char* text, char* letters, char* out, size_t outSize);

// One menu entry made from a service script table line.
struct ScriptMenuStep {
  enum Kind { Item, Separator, Popup } kind;
  int id;         // 1489 plus the line index (items only)
  char text[80];  // with its mnemonic
};
// Walks the script menu lines (menuName of each command) until "." or the
// end; calls step for each entry. Pop-up items go into the last pop-up.
void WalkScriptMenu(const char* const* lines, int count, void (*step)(const ScriptMenuStep&, void*), void* context);

// "&%d %s\tAlt+%d" filled for bookmark set n (1-10); "&10" becomes "1&0".
void BookmarkSetItemText(const char* format, int n, const char* name, char* out, size_t outSize);
// "&%d %s\tCtrl+%d" for favourite slot n (1-10).
void FavouriteItemText(int n, const char* name, char* out, size_t outSize);
// In a file or library list folder "FileList" reads "Message Topic" and
// "LibraryList" reads "Message Section"; elsewhere the reverse. In place.
void SwapFileListWords(char* text, size_t size, bool inListFolder);
// "&%d %s%s": a macro item with its number, directory and file name.
void MacroItemText(int n, const char* dir, const char* file, char* out, size_t outSize);

// Whether two menu texts differ, ignoring case.
bool MenuTextsDiffer(const char* a, const char* b);
