// Builds thread orders from arbitrary index entries and reuses arbitrary
// stored orders (as a damaged .ind would hand them over): every build must
// end, and a fresh build must link every node into exactly one thread.
#include <cstdint>
#include <cstring>
#include <vector>

#include "browser/thread_order.h"
#include "core/virtual_array.h"
#include "msgbase/conf_list.h"

namespace {

ThreadOrderServices Services(const uint8_t* data, size_t size) {
  ThreadOrderServices s;
  s.ghostKind = [](long number) { return static_cast<int>(number % 3); };
  s.inCurrentSet = [](long number) { return number % 5 == 0; };
  s.isIgnored = [](long number) { return number % 7 == 0; };
  s.threadRoot = [](long number) { return number; };
  s.authorFlags = [](int node) -> uint16_t { return node % 2 ? kSynInvolved : 0; };
  s.debugLog = [](const char*) {};
  s.diskFull = [] {};
  s.folderHasIgnored = size > 0 && (data[0] & 1);
  s.folderHasBookmarks = size > 0 && (data[0] & 2);
  s.localService = size > 0 && (data[0] & 4);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const size_t entries = (size - 1) / 3 < 2000 ? (size - 1) / 3 : 2000;
  LogCva.SetSize(0);
  Synopsis.SetSize(0);
  int32_t number = 0;
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* e = data + 1 + i * 3;
    number += 1 + (e[0] & 3);
    MsgIndexRec rec{number, number - (e[1] % 16), static_cast<uint16_t>(e[2] & 0x0F)};
    LogCva.Append(&rec);
  }
  ThreadOrderServices s = Services(data, size);
  const uint16_t mask = mode & 8 ? kMsgRead : 0;
  FirstShown first = FindFirstShown(mask);
  if (mode & 16) {
    BuildChronologicalOrder(s, first.slot, mask, mode & 32);
  } else if (ScanThreadOrder(s, first.slot, mask, false) == 1 && Synopsis.Count() > 0) {
    // Every node sits in one ring that comes back to its root.
    std::vector<int> seen(Synopsis.Count(), 0);
    SynNode n, root;
    int r = 0;
    long steps = 0;
    do {
      if (!ReadSynNode(r, &root) || root.level != 0) __builtin_trap();
      int at = r;
      do {
        if (!ReadSynNode(at, &n) || ++seen[at] > 1 || ++steps > Synopsis.Count()) __builtin_trap();
        at = n.next;
      } while (at != r);
      r = root.nextRoot;
    } while (r != 0);
    for (int v : seen)
      if (v != 1) __builtin_trap();
  }
  // The same order reused with links scrambled by the input must still end.
  for (int i = 0; i < Synopsis.Count(); ++i) {
    auto* node = static_cast<SynNode*>(Synopsis.At(i));
    const uint8_t b = data[(1 + i) % size];
    if (b & 0x40) node->next = b % (Synopsis.Count() + 2) - 1;
    if (b & 0x80) node->nextRoot = b % (Synopsis.Count() + 2) - 1;
  }
  ScanThreadOrder(s, first.slot, mask, true);
  LogCva.SetSize(0);
  Synopsis.SetSize(0);
  return 0;
}
