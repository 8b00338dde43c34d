#include "online/outbasket_order.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/text1252.h"

namespace {

bool StartsNoCase(const char* text, const char* prefix) {
  for (; *prefix; text++, prefix++) {
    if (!*text || ToLower1252(static_cast<unsigned char>(*text)) != ToLower1252(static_cast<unsigned char>(*prefix)))
      return false;
  }
  return true;
}

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(ToLower1252(static_cast<unsigned char>(c)));
  return out;
}
std::string Lower(const char* text) { return Lower(std::string(text ? text : "")); }

bool SameLine(const std::string& a, const std::string& b) { return a.size() == b.size() && Lower(a) == Lower(b); }

// The value after a message block line's prefix, first 199 characters of the line.
bool BlockValue(const char* line, const char* prefix, char* out, size_t size) {
  if (!StartsNoCase(line, prefix)) return false;
  char cut[200];
  StrCopyN(cut, line, sizeof cut - 1);
  StrCopyN(out, cut + strlen(prefix), size - 1);
  return true;
}

void DescribeMessage(OutbasketAction* action) {
  static const struct {
    const char* flag;
    const char* title;
  } kKinds[] = {{"bFaxing: y", "Faxing"},
                {"bSay: y", "Post New Message"},
                {"bComment: y", "Reply To Message"},
                {"bReply: y", "Reply By Mail"},
                {"bMailing: y", "Post New Mail"}};
  char folder[101] = "", subject[101] = "", faxName[101] = "", references[101] = "", recipient[200] = "";
  char attachment[200] = "";
  int attachments = 0;
  int count = action->lines ? action->lines->count() : 0;
  for (int i = 0; i < count; i++) {
    char line[200];
    StrCopyN(line, action->lines->get(i), sizeof line - 1);
    if (!action->title[0]) {
      for (const auto& kind : kKinds) {
        if (StartsNoCase(line, kind.flag)) {
          StrCopyN(action->title, kind.title, sizeof action->title - 1);
          break;
        }
      }
    }
    char value[200];
    if (BlockValue(line, "szFolders: ", folder, sizeof folder) ||
        BlockValue(line, "szSubject: ", subject, sizeof subject) ||
        BlockValue(line, "szFaxName: ", faxName, sizeof faxName) ||
        BlockValue(line, "szReferences: ", references, sizeof references))
      continue;
    if (!recipient[0] && BlockValue(line, "To: ", value, sizeof value)) {
      char* tab = strchr(value, '\t');
      if (tab) *tab = 0;
      StrCopyN(recipient, value, sizeof recipient - 1);
    } else if (BlockValue(line, "Attachments: ", value, sizeof value)) {
      if (++attachments == 1)
        StrCopyN(attachment, value, sizeof attachment - 1);
      else
        snprintf(attachment, sizeof attachment, "%d", attachments);
    }
  }
  std::string text = std::string(action->title) + ",";
  if (!strstr(action->title, "Mail") && !strstr(action->title, "Fax")) text += std::string(folder) + " ";
  text += subject[0] ? std::string("Subj:") + subject : std::string("#") + references;
  text += " ";
  text += faxName[0] ? std::string(faxName) : std::string("To:") + recipient;
  text += " Attachments:";
  text += attachment;
  StrCopyN(action->description, text.c_str(), sizeof action->description - 1);
}

bool IsMessageTitle(const char* title) {
  return strcmp(title, "Post New Mail") == 0 || strcmp(title, "Post New Message") == 0 ||
         strcmp(title, "Reply To Message") == 0 || strcmp(title, "Reply By Mail") == 0;
}

// The forum, conference or first argument an action of the other services is
// grouped by.
std::string ActionGroup(const OutbasketAction& action) {
  const char* title = action.title;
  const char* description = action.description;
  std::string group;
  if (strcmp(title, "Post New Mail") == 0 || strcmp(title, "Faxing") == 0 || strcmp(title, "Reply By Mail") == 0) {
    group = "a";
  } else if (strcmp(title, "Post New Message") == 0 || strcmp(title, "Reply To Message") == 0) {
    const char* from = strlen(description) > 17 ? description + 17 : "";
    group.assign(from, strcspn(from, " /"));
  } else {
    const char* comma = strchr(description, ',');
    if (!comma) {
      group = "a";
    } else {
      const char* from = comma[1] ? comma + 2 : comma + 1;
      group.assign(from, strcspn(from, " ,/"));
    }
  }
  if (group.size() >= 7 && StartsNoCase(group.c_str(), "PELMORA")) group.replace(0, 7, "FENWOLD");
  if (group.size() > 60) group.resize(60);  // room for the numbers after it
  return group;
}

// Numbers in the keys are wide enough that text order is number order for any
// list and priority.
int ClampPriority(int value) {
  if (value < 0) value = -value;
  return value > 99999 ? 99999 : value;
}

bool IsDownloadTitle(const char* title) {
  static const char* const kTitles[] = {"Download messages", "Download roots", "Download headers", "Collect newsgroup",
                                        "Download waiting messages"};
  for (const char* known : kTitles)
    if (SameText1252(title, known)) return true;
  return false;
}

std::string LinesKey(OutbasketAction& action) {
  std::string key = Lower(action.service);
  key += '\x01';
  int count = action.lines->count();
  key += std::to_string(count);
  for (int i = 0; i < count; i++) {
    key += '\x01';
    key += Lower(action.lines->line(i));
  }
  return key;
}

std::string DownloadKey(OutbasketAction& action) {
  int count = action.lines->count();
  std::string key = Lower(action.service) + '\x01' + std::to_string(count) + '\x01' + Lower(action.title) + '\x01';
  if (count >= 2) key += Lower(action.lines->line(1));
  return key;
}

// Earlier records that equal a later one: they are all dropped by it, and it
// takes their held marks.
struct DuplicateGroup {
  bool held = false;
  std::vector<int> pending;
};

void MergeInto(DuplicateGroup& group, ActionList* list, bool* held) {
  *held = *held || group.held;
  for (int j : group.pending) list->records[j].dropped = 1;
  group.pending.clear();
}

}  // namespace

OutbasketAction NewHeadingRow(const char* service) {
  OutbasketAction row;
  memset(&row, 0, sizeof row);
  row.heading = 1;
  StrCopyN(row.service, service ? service : "", sizeof row.service - 1);
  return row;
}

void DescribeAction(OutbasketAction* action) {
  if (action->heading) return;
  if (action->edit) {
    DescribeMessage(action);
    return;
  }
  std::string text = action->title;
  int count = action->lines ? action->lines->count() : 0;
  for (int i = 1; i < count; i++) {
    const char* line = action->lines->get(i);
    if (text.size() + 2 + strlen(line) > sizeof action->description - 1) break;
    text += ", ";
    text += line;
  }
  StrCopyN(action->description, text.c_str(), sizeof action->description - 1);
}

void MakeSortKey(OutbasketAction* action, int position) {
  char* key = action->sortKey;
  const size_t size = sizeof action->sortKey;
  const char* service = action->service;
  if (action->heading) {
    snprintf(key, size, "%s", service);
    return;
  }
  if (StartsNoCase(action->description, "Fetch Mail")) {
    snprintf(key, size, "%s#0", service);
    return;
  }
  bool quorl = SameText1252(service, "quorl");
  bool net = SameText1252(service, "net");
  if (quorl || net) {
    if (IsMessageTitle(action->title)) {
      const char* rank = net ? "1" : stristr(action->description, ":usenet_") ? "2" : "3";
      snprintf(key, size, "%s#%s#%08d", service, rank, position);
    } else if (strcmp(action->title, "Collect newsgroup") == 0 && action->lines && action->lines->count() >= 2) {
      std::string group = action->lines->get(1);
      if (group.size() > 60) group.resize(60);
      snprintf(key, size, "%s#2#%s#%08d", service, group.c_str(), position);
    } else {
      snprintf(key, size, "%s#2#%08d", service, position);
    }
    return;
  }
  if (!action->edit && action->priority < 0) {
    snprintf(key, size, "%s#a#%05d#%08d", service, ClampPriority(action->priority), position);
    return;
  }
  snprintf(key, size, "%s#%s#%05d#%08d", service, ActionGroup(*action).c_str(), ClampPriority(action->priority),
           position);
}

bool IsDuplicateAction(ActionList* list, int i, int j) {
  OutbasketAction& a = list->records[i];
  OutbasketAction& b = list->records[j];
  if (a.edit || b.edit || !SameText1252(a.service, b.service) || !a.lines || !b.lines) return false;
  int count = a.lines->count();
  if (count != b.lines->count()) return false;
  if (IsDownloadTitle(a.title) && IsDownloadTitle(b.title)) {
    if (!SameText1252(a.title, b.title)) return false;
    if (count < 2) return true;
    return SameLine(a.lines->line(1), b.lines->line(1));
  }
  for (int k = 0; k < count; k++) {
    if (!SameLine(a.lines->line(k), b.lines->line(k))) return false;
  }
  return true;
}

void OrderActions(ActionList* list) {
  std::vector<OutbasketAction>& records = list->records;
  const int count = static_cast<int>(records.size());
  std::vector<std::string> keys(count);
  for (int i = 0; i < count; i++) {
    MakeSortKey(&records[i], i);
    keys[i] = Lower(records[i].sortKey);
  }
  std::vector<int> order(count);
  for (int i = 0; i < count; i++) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
  std::vector<OutbasketAction> sorted;
  sorted.reserve(count);
  for (int i : order) sorted.push_back(records[i]);
  records.swap(sorted);

  // Every pair is compared by the rule of IsDuplicateAction, through keys:
  // records of the download titles match each other by title and second
  // line, and any other record by all their lines.
  std::unordered_map<std::string, DuplicateGroup> byLines;     // records without a download title
  std::unordered_map<std::string, DuplicateGroup> byLinesDl;   // download titles, by all lines
  std::unordered_map<std::string, DuplicateGroup> byDownload;  // download titles, by title and second line
  for (int i = 0; i < count; i++) {
    OutbasketAction& action = records[i];
    if (action.edit || !action.lines || action.heading) continue;
    bool held = action.held != 0;
    std::string lines = LinesKey(action);
    bool download = IsDownloadTitle(action.title);
    if (download) {
      std::string dl = DownloadKey(action);
      MergeInto(byDownload[dl], list, &held);
      MergeInto(byLines[lines], list, &held);
      action.held = held;
      for (auto* group : {&byDownload[dl], &byLinesDl[lines]}) {
        group->held = group->held || held;
        group->pending.push_back(i);
      }
    } else {
      MergeInto(byLines[lines], list, &held);
      MergeInto(byLinesDl[lines], list, &held);
      action.held = held;
      DuplicateGroup& group = byLines[lines];
      group.held = group.held || held;
      group.pending.push_back(i);
    }
  }
}
