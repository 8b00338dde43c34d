// The display order of the open folder: the "Synopsis" built from "log cva"
// as threads (every reply after its parent's last descendant) or as a flat
// chronological list, and the pass that marks what concerns the user.
// Portable: it works on the message base's arrays and asks the rest of the
// program through a ThreadOrderServices record the caller fills.
#pragma once
#include <cstdint>
#include <vector>

#include "msgbase/records.h"

// MsgIndexRec flags the browser sets or reads beyond the message base's.
constexpr uint16_t kMsgFetchFull = 0x0010;
constexpr uint16_t kMsgIgnoredInView = 0x0020;
constexpr uint16_t kMsgTransient = 0x0040;
constexpr uint16_t kMsgByGroupMember = 0x0100;

// Message orders ("Reading Mode").
enum : int {
  kOrderUnreadOnly = 3,
  kOrderThreads = 4,
  kOrderRootsOnly = 5,
  kOrderChronological = 6,
  kOrderReverseChronological = 7,
};

// Every walk over thread links stops after this many steps.
constexpr long kMaxLinkSteps = 1000000;

struct ThreadOrderServices {
  int (*ghostKind)(long number);      // GetGhostKind: 2 reply queued, 1 cancel queued
  bool (*inCurrentSet)(long number);  // IsBookmarkedInSet for the current set
  bool (*isIgnored)(long number);     // IsIgnored (lasting ignore of a thread root)
  long (*threadRoot)(long number);    // ThreadRoot, from the message headers
  uint16_t (*authorFlags)(int node);  // "local": kSynInvolved/kSynGroup from the node's author
  void (*debugLog)(const char* text);
  void (*diskFull)();  // "Not enough disk space"
  bool folderHasIgnored = false;
  bool folderHasBookmarks = false;
  bool localService = false;
};

// The order the user chose, read as 5 when it is not one of 3 to 7.
int NormaliseMessageOrder(int stored);

// syn_scan's work: 1, or 0 when the Synopsis could not grow.
int ScanThreadOrder(const ThreadOrderServices& services, int firstSlot, uint16_t hideMask, bool kept);
// BuildChronoOrder's work: 1, or 0 when the first slot is out of range or the
// Synopsis could not grow.
int BuildChronologicalOrder(const ThreadOrderServices& services, int firstSlot, uint16_t hideMask, bool newestFirst);

// The first slot of "log cva" without a bit of the mask (0 when none), and
// the counts of all entries and of those not marked for deletion.
struct FirstShown {
  int slot;
  int all;
  int notDeleted;
};
FirstShown FindFirstShown(uint16_t hideMask);

// A stored order about to be reused: no node has a cache row, none is ignored
// until the marking pass says so.
void ResetKeptNodes();

// Every node, read in one pass into a working copy that the next call of this
// module replaces (empty when the array cannot be read).
const std::vector<SynNode>& CopyOfSynopsis();

// Reads and writes one node, bounded.
bool ReadSynNode(int node, SynNode* out);
bool WriteSynNode(int node, const SynNode& in);
