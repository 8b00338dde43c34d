// What deleting and resigning a folder means, apart from the files: which
// folders a selected name covers, what a resign does for each service, and
// the edit of a newsgroup's line in confs.sel. Portable.
#pragma once
#include <string>
#include <vector>

// The names of a selection, separated by blanks.
std::vector<std::string> SplitSelection(const char* text);
// A topic name covers itself; a conference name (no "/") every topic under it.
bool FolderCovers(const char* selected, const char* folder);

enum class ResignKind {
  kNone,             // not a folder one resigns (local, mail, news copies, libraries, composite, no right)
  kScriptCommand,    // `command` goes to the service's outbasket
  kMessageSections,  // a Dravenet forum's message-section list is edited
  kConfsSel,         // the newsgroup's line in the service's confs.sel
};
struct ResignPlan {
  ResignKind kind = ResignKind::kNone;
  std::string service;
  std::string command;
};
ResignPlan PlanResign(const char* folderName, bool mayModerate);

// The newsgroup's line of confs.sel made resigned in place: " f" and then
// " h" become " d". True when the line is the group's (its name, then a
// blank) and was changed; the length never changes.
bool MarkConfsSelLine(char* line, const char* group);

// With substring 0 a wildcard match ("*", "?"), else a case-insensitive substring test.
int NameMatches(const char* name, const char* pattern, int substring);
