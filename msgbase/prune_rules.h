// How long each folder keeps its messages: the days coding, the prune list
// conf.pru, the assignment of days to folders, the archive file names and
// the thread ages a pass prunes by. Portable: no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "msgbase/records.h"

// Days values. 0 or more: keep threads whose newest message is at most this
// many days old.
enum : int32_t {
  kPruneDeleteOnly = -1,  // only messages marked for deletion go
  kPruneNever = -2,
  kPruneRemoved = -3,  // removed in the dialog; never written
  kPruneUnassigned = -10,
};

#pragma pack(push, 1)
struct PruneEntry {
  char name[100];
  int32_t days;
};
static_assert(sizeof(PruneEntry) == 104);
#pragma pack(pop)

// The names of the two default entries in conf.pru and as the dialog shows them.
extern const char kPruneMailDefault[];     // "!mail"
extern const char kPruneLibraryDefault[];  // "!libraries"
extern const char kPruneMailDisplay[];     // "* All Mail Folders (default) *"
extern const char kPruneLibraryDisplay[];  // "* All Libraries (default) *"
extern const char kPruneDefaultDisplay[];  // "* Default *"

// "Default Days": "-1", "65535" and "4294967295" are -1, "-2", "65534" and
// "4294967294" are -2, anything else its decimal value.
int32_t ParsePruneDays(const char* text);

// conf.pru: one "name days" a line. False (and `out` empty) when a line that
// is not blank does not read as a name and a number.
bool ParsePruneList(std::string_view text, std::vector<PruneEntry>* out);
// The file's text: "%s %d\n" per entry, removed entries left out.
std::string FormatPruneList(const std::vector<PruneEntry>& entries);
// Case-insensitive; removed entries are never found.
PruneEntry* FindPruneEntry(std::vector<PruneEntry>& entries, const char* name);
// An existing entry of the name comes back unchanged.
PruneEntry* AddPruneEntry(std::vector<PruneEntry>& entries, const char* name, int32_t days);
// Marks the entry removed so that no search finds it again.
bool RemovePruneEntry(std::vector<PruneEntry>& entries, const char* name);

// One folder as the assignment sees it.
struct PruneFolder {
  const char* name;
  int32_t days;
};
// Gives each folder its days: an exact entry over any prefix entry, the first
// prefix entry in the list over later ones, then the default, then the
// library and mail defaults for their folders.
void AssignFolderDays(const std::vector<PruneEntry>& entries, int32_t defaultDays, PruneFolder* folders, size_t count);

// The archive file name: the pattern's tokens (%d day, %m month name, %y two
// and %Y four digits of the year, %s service, %f and %c conference, %t topic,
// %n pass number; any case but y) replaced in one pass. `cut` > 0 cuts the
// service, conference and topic to that many characters.
std::string BuildArchiveName(const char* pattern, const struct tm& when, const char* folderName, long sequence,
                             size_t cut = 0);

// A running count of calendar days: consecutive dates give consecutive
// numbers, across year ends and leap years.
long CalendarDayNumber(int year, int month, int mday);  // month 1-12

// Gives every record of the open topic (number order) the age of its thread:
// `ageOf(slot)` is asked once per thread, for its newest record (the last
// one met walking back from the end); a missing newest record gives 0.
// Linear in the number of records, whatever the threads' shape.
std::vector<int32_t> ComputeThreadAges(const MsgIndexRec* records, size_t count, long firstNumber,
                                       int32_t (*ageOf)(void* context, size_t slot), void* context);

// What a pass does with each record of a topic (number order).
enum class PruneAction : uint8_t {
  kKeep,     // copied to the new log
  kArchive,  // dropped; archived when the folder archives
  kDrop,     // missing from the log: nothing to copy
};
// The messages marked keep and (in a folder with a service prefix) the last
// one stay; those marked for deletion go; the rest by their thread's age
// against `days` (negative: kept). When nothing would stay, the last
// message does, so numbering goes on after it.
std::vector<PruneAction> PlanPrune(const MsgIndexRec* records, const int32_t* ages, size_t count, long lastNumber,
                                   bool servicePrefix, int32_t days);
