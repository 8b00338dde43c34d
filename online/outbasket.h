// The outbasket's files (Win32): queuing an action, loading a service's
// actions (the append file merged into the outbasket file first), rewriting
// the outbasket file, the connect lock, and the ordered list of every
// service's actions that a connection sends.
#pragma once
#include <string>

#include "online/action_file.h"

// Appends one plain script entry to "<data><svc>\<svc>.bsc"; null arguments
// are left out. Nothing is written when the file cannot be opened.
void AppendAction(const char* service, const char* title, int priority, const char* command, const char* arg1,
                  const char* arg2, const char* arg3, const char* arg4);

// Reads one service's actions (or the fixed file's, when fixedFile is set)
// into records appended to the list, described. Without a fixed file the
// append file is first moved to the end of the outbasket file. Damaged
// entries are described in problems. Returns the records added.
int LoadOutbasketFile(ActionList* list, const char* service, const char* fixedFile = nullptr,
                      std::string* problems = nullptr);
// Rewrites the service's outbasket file (or the fixed file) from the list's
// records of that service, through a temporary file beside it, so the old or
// the new file is always whole. False when it could not be written.
bool SaveOutbasketFile(ActionList* list, const char* service, const char* fixedFile = nullptr);

// "<data>connect.lck", held open while a connection or the outbasket window
// works on the action files. 1 taken, 0 another instance holds it.
int TakeConnectLock();
void ReleaseConnectLock();

// The outbasket list of every service taken (or one service, or one fixed
// action file), ordered and merged.
class COutbasket {
 public:
  COutbasket(const char* serviceFilter, const char* fixedFile);
  // Empties the list and loads it; with a fixed file in file order.
  void Load();
  // Rewrites the file of every service that has a heading row.
  bool Save();
  ActionList list;
  char serviceFilter[10] = "";
  char fixedFile[260] = "";
  std::string problems;
};

// Whether any service taken has an append file waiting (never for a fixed file).
bool HasNewActions(const char* serviceFilter, const char* fixedFile);
// Loads, orders and rewrites the outbasket files of the services (one, or all
// when the filter is empty or null).
void SortActions(const char* serviceFilter);
