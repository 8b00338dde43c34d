#include "browser/mbw_filter.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/folder_names.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"

MbwFilterTable g_mbwFilters;

namespace {

void AddSet(MbwFilterTable& table, const char* name, size_t nameLength, const char* list) {
  if (table.count >= kMaxMbwFilterSets) return;
  MbwFilterSet& set = table.sets[table.count++];
  CopyBounded(set.name, sizeof set.name, name, nameLength);
  CopyBounded(set.list, sizeof set.list, list, std::strlen(list));
}

bool IsUnreadList(const char* list) {
  return SameText1252(list, "Unread") ||
         (std::isdigit(static_cast<unsigned char>(list[0])) && list[1] == ',' && SameText1252(list + 2, "Unread"));
}

bool IsResignedList(const char* list) {
  return SameText1252(list, "Resigned") ||
         (std::isdigit(static_cast<unsigned char>(list[0])) && list[1] == ',' && SameText1252(list + 2, "Resigned"));
}

// What one item says of a folder: 1 passes, 0 fails, -1 decides nothing.
int ApplyItem(const char* item, const char* fullName, bool library) {
  if (SameText1252(item, "Messages") && !library) return 1;
  if (SameText1252(item, "!Messages") && !library) return 0;
  if (SameText1252(item, "Files") && library) return 1;
  if (SameText1252(item, "!Files") && library) return 0;
  if (item[0] == '!') return WildMatch(fullName, item + 1) ? 0 : -1;
  return WildMatch(fullName, item) ? 1 : -1;
}

// The same item in an exclusion list: true when it hits the folder.
bool ItemHits(const char* item, const char* fullName, bool library) {
  if (item[0] == '!') ++item;
  if (SameText1252(item, "Messages") && !library) return true;
  if (SameText1252(item, "Files") && library) return true;
  return WildMatch(fullName, item);
}

}  // namespace

void LoadMbwFilterSets(MbwFilterTable& table, const char* section, size_t length, bool quorlOrDvn) {
  table.count = 0;
  size_t at = 0;
  while (section && at < length && section[at] && table.count < kMaxMbwFilterSets) {
    const char* line = section + at;
    size_t lineLength = strnlen(line, length - at);
    at += lineLength + 1;
    if (line[0] == ';') continue;
    const char* equals = static_cast<const char*>(std::memchr(line, '=', lineLength));
    if (!equals) continue;
    char list[sizeof(MbwFilterSet::list)];
    CopyBounded(list, sizeof list, equals + 1, line + lineLength - equals - 1);
    AddSet(table, line, static_cast<size_t>(equals - line), list);
  }
  if (table.count == 0) {
    if (!quorlOrDvn) {
      AddSet(table, "All", 3, "*");
      AddSet(table, "Mail", 4, "*:mail/*");
      AddSet(table, "News", 4, "!*:mail/*,!*:actions/information");
    } else {
      AddSet(table, "All", 3, "*");
      AddSet(table, "Messages", 8, "Messages");
      AddSet(table, "File Lists", 10, "Files");
      AddSet(table, "Mail", 4, "*:mail/*");
    }
  }
  if (table.current >= table.count) table.current = table.count - 1;
  if (table.current < 0) table.current = 0;
}

void MbwFullName(const char* name, char* out, size_t size) {
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, name);
  if (key[0])
    snprintf(out, size, "%s", name);
  else
    snprintf(out, size, "local:%s", name);
}

bool MbwListPasses(const char* list, const char* name, int32_t waiting, int defaultDepth, int* depth) {
  *depth = defaultDepth;
  if (std::strcmp(list, "*") == 0) return true;
  if (IsUnreadList(list)) return waiting > 0;
  char fullName[120];
  MbwFullName(name, fullName, sizeof fullName);
  const bool library = IsDvnLibraryFolder(fullName);
  const bool exclusion = list[0] == '!';
  bool passes = exclusion;
  const char* at = list;
  while (*at) {
    const char* comma = std::strchr(at, ',');
    size_t length = comma ? static_cast<size_t>(comma - at) : std::strlen(at);
    char item[sizeof(MbwFilterSet::list)];
    CopyBounded(item, sizeof item, at, length);
    at = comma ? comma + 1 : at + length;
    if (length == 1 && std::isdigit(static_cast<unsigned char>(item[0])) && comma) {
      *depth = item[0] - '0';
      continue;
    }
    if (exclusion) {
      if (ItemHits(item, fullName, library)) passes = false;
      continue;
    }
    int verdict = ApplyItem(item, fullName, library);
    if (verdict >= 0) passes = verdict == 1;
  }
  return passes;
}

bool MbwFolderFilter(const ConfRec* rec) {
  MbwFilterTable& t = g_mbwFilters;
  t.workingDepth = t.defaultDepth;
  if (!rec || t.count == 0) return true;
  return MbwListPasses(t.sets[t.current].list, rec->name, rec->waiting, t.defaultDepth, &t.workingDepth);
}

bool MbwResignFilter(const ConfRec* rec) {
  if (!rec) return true;
  const MbwFilterTable& t = g_mbwFilters;
  const bool resigned = (rec->flags & CONF_RESIGNED) != 0;
  if (t.count > 0 && IsResignedList(t.sets[t.current].list)) return !resigned;
  return resigned || !(rec->flags & CONF_FILTERED);
}

bool MbwAllSet() {
  const MbwFilterTable& t = g_mbwFilters;
  return t.count == 0 || std::strcmp(t.sets[t.current].list, "*") == 0;
}

int FindMbwFilterSet(const MbwFilterTable& table, const char* name) {
  for (int i = 0; i < table.count; ++i)
    if (SameText1252(table.sets[i].name, name)) return i;
  return -1;
}

void ShrinkTabLabel(const char* name, char* out, bool (*fits)(const char* text, void* context), void* context) {
  CopyBounded(out, 40, name, std::strlen(name));
  while (!fits(out, context)) {
    if (std::strcmp(out, "Messages") == 0)
      std::strcpy(out, "Msgs");
    else if (std::strcmp(out, "Libraries") == 0)
      std::strcpy(out, "Libs");
    else if (std::strcmp(out, "FileLists") == 0)
      std::strcpy(out, "Files");
    else if (std::strlen(out) > 2)
      out[std::strlen(out) - 1] = 0;
    else
      break;
  }
}
