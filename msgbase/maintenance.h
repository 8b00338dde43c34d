// Maintenance of the message base: reindexing, pruning, deleting and
// resigning folders, and the statistics. The commands and start-up's "/build"
// and "/prune" call these by name. Win32.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/virtual_array.h"
#include "msgbase/conf_list.h"
#include "msgbase/del_resign_rules.h"
#include "msgbase/msgbase_stats.h"
#include "msgbase/prune_rules.h"

// Scopes of the "Which ?" dialogs.
enum : int {
  kScopeAll = 1,
  kScopeSelected = 2,
  kScopeCurrent = 3,
};

// What maintenance asks of other parts of the program. Every member has a
// default that does the least: no program to run, no sections to edit, no
// process ended.
struct MaintenanceHooks {
  // Runs a program of the program's directory ("import32.exe build") and
  // waits for its end while pumping messages; false when it did not start.
  bool (*runAndWait)(const char* commandLine);
  // EditMessageSections: takes a resigned Dravenet folder off its forum's
  // message-section list.
  void (*editMessageSections)(const char* folderName);
  // A point a test may end the process at, as a crash or a kill would.
  void (*dieAt)(const char* point);
};
extern MaintenanceHooks g_maintenanceHooks;

// "Filenames": the logs a rebuild of all folders found, relative to the data directory.
extern VirtualArray Filenames;
enum : int { kFilenameSize = 30 };

// True while a reindex or prune runs (the message base's long-operation test).
bool MaintenanceRunning();

// ---- reindexing ----
// The Reindex command; ask false (start-up's "/build") takes all folders.
// 1 when it ran to the end.
int RebuildMessageBase(bool ask);
// 1 when the import program is stopped and no other user is logged on; holds "usrlock".
int ClaimMessageBase();
void ReleaseMessageBase();
// Fills "Filenames" from the data directory.
void ScanForLogs();
// Walks `dir` (absolute, ending in a backslash) and below; `file` gets each
// file's directory relative to the top and its name; `enter` decides on each
// directory (relative path). Depth is bounded.
void WalkDataDirectory(const char* dir, bool (*enter)(void* context, const char* relativeDir),
                       void (*file)(void* context, const char* relativeDir, const char* name), void* context);
// The open topic's record, or null (reported to the status window) when its
// index is inconsistent.
ConfRec* CheckTopicIndex();
// Hands the log of entry `slot` of "Filenames" to the import program to rebuild.
void RebuildTopic(int slot);
// Moves `source` to `destination`, swapping the halves of every byte; the
// source goes only once the destination is wholly written. 1 done.
int copyfile(const char* source, const char* destination);
// Carries flags 0x998 of confww.bak's folders over to the live list.
void RestoreFolderFlags();

// ---- pruning ----
struct PruneSettings {
  int32_t defaultDays = 30;
  bool purge = false;
  bool firstPrune = true;
  char fileName[MAX_PATH] = "";
  uint32_t sequence = 0;
};
extern PruneSettings g_pruneSettings;
void ReadPruneSettings();
bool WritePruneSettings();

// The prune list in memory between ReadPruneList and its caller's end.
extern std::vector<PruneEntry> g_pruneList;
bool LockPruneList();
void UnlockPruneList();
// False (reported) when conf.pru is damaged; a missing file is an empty list.
bool ReadPruneList();
bool WritePruneList();
void DropPruneFolder(const char* name);

// The Prune command; ask false (start-up's "/prune") takes all folders.
void PruneMessageBase(bool ask);
// Messages removed, or -1 when the pass did not start.
long PrunePass(int scope);
// Gives each folder of the list its days; false when the user stopped.
bool AssignPruneDays(std::vector<int32_t>* days);
// Calendar day number of the open topic's message's date; 0 when unknown.
long msgdaynum(long number);
long msgage(long number);
// The Prune Options dialog.
void SetPrune();

// ---- deleting and resigning ----
void DoDelResign();
void DeleteFolder(const char* name, bool withUserInfo);
int UnsubscribeConfsSel(const char* service, const char* folderName);
int FolderExists(const char* service, const char* name);
void DrawFolderNode(HDC dc, int x, int y, bool closed, bool conference);
void FillServiceCombo(HWND combo, const char* service);

// ---- statistics ----
// Fills `lines` ("%s\t%lu\t%lu\t%u\t%u" each) and the totals from conf.ww.
void FillStats(std::vector<std::string>* lines, StatsTotals* totals);
void ShowStats();
