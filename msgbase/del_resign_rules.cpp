#include "msgbase/del_resign_rules.h"

#include <cstring>

#include "core/folder_names.h"
#include "core/text1252.h"
#include "msgbase/message_text.h"

std::vector<std::string> SplitSelection(const char* text) {
  std::vector<std::string> names;
  std::string all = text ? text : "";
  size_t at = 0;
  while (at < all.size()) {
    size_t end = all.find(' ', at);
    if (end == std::string::npos) end = all.size();
    if (end > at) names.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

bool FolderCovers(const char* selected, const char* folder) {
  if (std::strchr(selected, '/')) return SameText1252(selected, folder);
  size_t length = std::strlen(selected);
  return length > 0 && std::strlen(folder) > length && folder[length] == '/' && StartsWithNoCase(folder, selected);
}

ResignPlan PlanResign(const char* name, bool mayModerate) {
  ResignPlan plan;
  const char* colon = std::strchr(name, ':');
  if (!colon || !mayModerate) return plan;
  plan.service.assign(name, colon);
  const char* after = colon + 1;
  if (StartsWithNoCase(name, "dvn:usenet/")) {
    plan.kind = ResignKind::kScriptCommand;
    plan.command = std::string("useresign ") + (name + 11);
    return plan;
  }
  if (sameservice(name, "local") || ismailfolder(name) || sameservice(name, "quorlnews") ||
      sameservice(name, "delnews") || IsDvnLibraryFolder(name) || std::strchr(name, '\xFF'))
    return plan;
  // The list edit is the whole of these resigns: no command is sent.
  if (sameservice(name, "dvn")) {
    plan.kind = ResignKind::kMessageSections;
    return plan;
  }
  if (sameservice(name, "net")) {
    plan.kind = ResignKind::kConfsSel;
    return plan;
  }
  plan.kind = ResignKind::kScriptCommand;
  if (StartsWithNoCase(after, "usenet_")) {
    char group[256];
    StrCopyN(group, name, sizeof group - 1);
    MakeUsenetName(group);
    plan.command = std::string("useresign ") + group;
  } else {
    plan.command = std::string("rresign ") + after;
  }
  return plan;
}

bool MarkConfsSelLine(char* line, const char* group) {
  size_t length = std::strlen(group);
  if (!length || !StartsWithNoCase(line, group)) return false;
  // "comp.lang" is not the line of "comp.lang.c".
  char next = line[length];
  if (next != ' ' && next != '\t') return false;
  bool changed = false;
  for (const char* from : {" f", " h"}) {
    if (char* at = std::strstr(line + length, from)) {
      at[1] = 'd';
      changed = true;
    }
  }
  return changed;
}

int NameMatches(const char* name, const char* pattern, int substring) {
  if (!name || !pattern) return 0;
  if (!substring) return WildMatch(name, pattern) ? 1 : 0;
  return stristr(name, pattern) ? 1 : 0;
}
