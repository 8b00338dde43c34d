// Folder filter sets of the MessageBase window: named comma-separated pattern
// lists over full folder names ("All" = "*", "Mail" = "*:mail/*", ...), the
// current one deciding which folders the folder list shows and which the
// moves to the next folder visit. Portable: the INI section arrives as text.
#pragma once
#include <cstddef>
#include <cstdint>

struct ConfRec;

#pragma pack(push, 1)
struct MbwFilterSet {
  char name[40];
  char list[4096];
};
static_assert(sizeof(MbwFilterSet) == 4136);
#pragma pack(pop)

constexpr int kMaxMbwFilterSets = 20;
constexpr size_t kMbwSectionBytes = 32000;

struct MbwFilterTable {
  MbwFilterSet sets[kMaxMbwFilterSets];
  int count = 0;
  int current = 0;
  // The tree depth the folder list fills with: "MessageBase Style", or the
  // one-digit item of the set last tested.
  int workingDepth = 2;
  int defaultDepth = 2;  // "MessageBase Style"
};
extern MbwFilterTable g_mbwFilters;

// Fills the table from the section's lines (each ended by a NUL, the section by
// a second NUL, as the profile reader gives them; `length` bytes at most). With
// no set read, the defaults: three sets, or four when the Quorl or Dravenet
// service exists. The current index is kept below the count.
void LoadMbwFilterSets(MbwFilterTable& table, const char* section, size_t length, bool quorlOrDvn);

// The name a folder is matched by: the record's name with a service prefix,
// else "local:" and the name. out holds `size` bytes.
void MbwFullName(const char* name, char* out, size_t size);

// True when a folder passes the list; sets *depth to `defaultDepth` or to the
// list's one-digit item.
bool MbwListPasses(const char* list, const char* name, int32_t waiting, int defaultDepth, int* depth);

// The current set's tests on a folder record.
bool MbwFolderFilter(const ConfRec* rec);
// True when the folder is hidden under the current set: a "Resigned" set shows
// only resigned folders, any other hides them and the ones the filter failed.
bool MbwResignFilter(const ConfRec* rec);
// True when the current set is "All" ("*").
bool MbwAllSet();
// The index of a set by name (case-insensitive); -1 none.
int FindMbwFilterSet(const MbwFilterTable& table, const char* name);
// The label of a tab that must fit `fits(text)`: "Messages" becomes "Msgs",
// "Libraries" "Libs", "FileLists" "Files", else letters are dropped from the
// end, down to 2. out holds 40 bytes.
void ShrinkTabLabel(const char* name, char* out, bool (*fits)(const char* text, void* context), void* context);
