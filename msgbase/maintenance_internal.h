// What the maintenance files share among themselves: the progress dialog,
// the running mark, the status window lines, the questions an unattended run
// answers itself, and paths in the data directory. Win32.
#pragma once
#include <windows.h>

#include <string>

// The data directory's file `name`.
std::string DataFile(const char* name);
// The folder record's log, or empty when its base name would leave the data directory.
std::string FolderLog(const char* baseName);

// A line for the status window.
void PrintStatusLine(const char* text);
// Asks yes or no; an unattended run takes `unattendedAnswer` (the answer that
// changes nothing) without asking, and logs the question.
bool AskUnlessUnattended(const char* question, bool unattendedAnswer);
// A box, or in an unattended run only the debug log.
void NoteUnlessUnattended(const char* text);

// Marks a reindex or prune as running while it lives.
struct MaintenanceRun {
  MaintenanceRun();
  ~MaintenanceRun();
  bool (*savedHook)();
};

struct ConfRec;
// The folder is one the scope takes: all, the open one, or the selected ones
// (its selected byte, or named in the message-base window's selection).
bool InScope(const ConfRec& rec, int scope);

// Ends the process at `point` when a test asked for it.
void DieAt(const char* point);

// Opens the folder named as the one topic (no switching bookkeeping): 1 opened.
int OpenFolderTopic(const char* name);

// The "Which ?" dialog of the template: the scope, or 0 for Cancel.
int AskScope(const char* templateName);

// The modeless progress dialog "Scan"; one at a time.
bool CreateScanDialog(const char* title);
void DestroyScanDialog();
void ScanSetText(int control, const char* text);
void ScanSetProgress(long position, long range);
void ScanShowElapsed(DWORD startTick);
HWND ScanDialog();
