// The MessageBase window ("Old Harl"): a search box, the folder list as a
// tree of services, conferences and topics, a column of buttons and a strip
// of tabs, one per filter set. At most one exists.
#pragma once
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

constexpr int kMbwSearchId = 4098;
constexpr int kMbwListId = 4084;

// What the window keeps between messages; reached through g_mbw.
struct MbwState {
  HWND window = nullptr;
  HWND search = nullptr;
  HWND list = nullptr;
  HFONT dialogFont = nullptr, boldFont = nullptr, normalFont = nullptr;
  HBRUSH faceBrush = nullptr, windowBrush = nullptr;
  WNDPROC editProc = nullptr, listProc = nullptr;
  bool guard = false;  // a fill or set change is under way
  bool ignoreNextDoubleClick = false;
  RECT strip = {};                // the tab strip, client coordinates
  int countColumnLeft = -1;       // smallest x a count was drawn at
  int countGeneration = 0;        // raised when counts change
  char previousFolder[120] = "";  // the folder selected last, for tidying
};
extern MbwState g_mbw;

void OpenMbw();
LRESULT CALLBACK MbwWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MbwEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MbwListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void MbwUpdateCommands(HMENU menu);
void ReadMbwFilters();
bool MbwSelectFilterSet(const char* name);
// Makes the set current and refills, under the guard; false when the guard
// is taken or the index is out of range.
bool MbwChangeSet(int index);

// The folder list.
void MbwFillList();
void MbwExpand(int row, bool expand);
void MbwOpenEntry(HWND list, int row);
// Opens a folder into the browser; with `gotoFolder` (Shift held) through
// the move to a folder's other section when that exists.
void MbwOpenFolder(const char* name, bool gotoFolder);
void MbwSelectFolder(const char* name);
// Marks the selected folders (the byte after each name: 1 as such, 2 as part
// of a service or conference) and builds the blank-separated list of them.
// -1 when a service row is selected, else the selected rows.
int RefreshMbw();
const char* MbwSelectedFolders();
void MbwDrawItem(const DRAWITEMSTRUCT* item, HWND window);
void MbwDrawFolderIcon(HDC dc, int x, int y, bool collapsed, const char* name, bool special);
void MbwTreeLine(HDC dc, int x1, int y1, int x2, int y2);
void MbwRepaintList();
int MbwRowHeight();

// A row's entry text ("0name\t12"): level, full name and folder index.
std::string MbwRowText(int row);
int MbwRowLevel(int row);  // -1 no row
// The row's full name without "local:", as folders are opened by.
std::string MbwRowFolder(int row);

// Files dropped on the window: the "DropFiles" dialog, then the import.
// ImportDroppedFiles queues the files (choice 14339) or writes each as a
// message body (14340) into `target`; the number of files taken.
INT_PTR CALLBACK DropFilesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int ImportDroppedFiles(const char* target, const std::vector<std::string>& paths, int choice, bool deleteAfter);
void MbwDropFiles(HDROP drop);

// Fills the message base's and the shell's tables with the window's calls.
void InstallMbwHooks();
