#include "browser/thread_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/virtual_array.h"
#include "msgbase/conf_list.h"

namespace {

// Whole arrays move a chunk at a time: the elements of one chunk lie together.
bool CopyOut(VirtualArray& array, void* out) {
  auto* to = static_cast<unsigned char*>(out);
  const int per = array.PerChunk(), size = array.ElementSize();
  for (int first = 0; first < array.Count(); first += per) {
    const int n = std::min(per, array.Count() - first);
    const void* p = array.At(first);
    if (!p) return false;
    std::memcpy(to + static_cast<size_t>(first) * size, p, static_cast<size_t>(n) * size);
  }
  return true;
}

bool CopyIn(VirtualArray& array, const void* in) {
  const auto* from = static_cast<const unsigned char*>(in);
  const int per = array.PerChunk(), size = array.ElementSize();
  for (int first = 0; first < array.Count(); first += per) {
    const int n = std::min(per, array.Count() - first);
    void* p = array.At(first);
    if (!p) return false;
    std::memcpy(p, from + static_cast<size_t>(first) * size, static_cast<size_t>(n) * size);
  }
  return true;
}

// Working copies, kept between folders like the topic's own arrays keep their
// blocks: a large folder reopens without asking the system for fresh memory.
struct Scratch {
  std::vector<MsgIndexRec> index;
  std::vector<uint16_t> before;
  std::vector<SynNode> nodes;
  std::vector<int32_t> lastDescendant, parentOf;
};
Scratch& Work() {
  static Scratch scratch;
  return scratch;
}

std::vector<MsgIndexRec>& LoadIndex() {
  std::vector<MsgIndexRec>& all = Work().index;
  all.resize(static_cast<size_t>(LogCva.Count()));
  if (!all.empty() && !CopyOut(LogCva, all.data())) std::memset(all.data(), 0, all.size() * sizeof(MsgIndexRec));
  return all;
}

void StoreFlags(const std::vector<MsgIndexRec>& all, const std::vector<uint16_t>& before) {
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].flags != before[i]) {
      CopyIn(LogCva, all.data());
      return;
    }
}

std::vector<SynNode>& LoadNodes() {
  std::vector<SynNode>& nodes = Work().nodes;
  nodes.resize(static_cast<size_t>(Synopsis.Count()));
  if (!nodes.empty() && !CopyOut(Synopsis, nodes.data())) nodes.clear();
  return nodes;
}

// The whole order goes into the Synopsis at once; false when it cannot grow.
bool StoreNodes(const std::vector<SynNode>& nodes) {
  const int n = static_cast<int>(nodes.size());
  if (Synopsis.Count() != n && !Synopsis.SetSize(n)) return false;
  if (Synopsis.Count() != n) return false;
  return n == 0 || CopyIn(Synopsis, nodes.data());
}

SynNode NewNode(const ThreadOrderServices& s, const MsgIndexRec& rec, int slot, int self) {
  SynNode node{};
  node.next = node.previous = self;
  node.nextRoot = node.previousRoot = 0;
  node.level = 0;
  node.number = rec.number;
  node.indexSlot = slot;
  node.rowCacheSlot = -1;
  node.flags = 0;
  int ghost = s.ghostKind(rec.number);
  if (ghost == 2) node.flags |= kSynReplyQueued;
  if (ghost == 1) node.flags |= kSynCancelQueued;
  if (s.folderHasBookmarks && s.inCurrentSet(rec.number)) node.flags |= kSynBookmarked;
  return node;
}

void AppendRoot(std::vector<SynNode>& nodes, int& lastRoot, int node) {
  nodes[lastRoot].nextRoot = node;
  nodes[node].previousRoot = lastRoot;
  lastRoot = node;
}

void CloseRootRing(std::vector<SynNode>& nodes, int lastRoot) {
  if (nodes.empty()) return;
  nodes[lastRoot].nextRoot = 0;
  nodes[0].previousRoot = lastRoot;
}

// Marks involvement, ignored threads and group members on every thread.
// False when a walk passed the step bound (the pass ends there).
bool MarkInvolvement(const ThreadOrderServices& s, std::vector<SynNode>& nodes, std::vector<MsgIndexRec>& index) {
  const int n = static_cast<int>(nodes.size());
  long rootSteps = 0;
  int root = 0;
  if (n == 0) return true;
  auto valid = [&](int node) { return node >= 0 && node < n; };
  do {
    uint16_t thread = 0;
    if (s.folderHasIgnored && s.isIgnored(s.threadRoot(nodes[root].number))) thread |= kSynIgnored;
    long steps = 0;
    int node = root;
    do {
      if (++steps > kMaxLinkSteps) return false;
      if (s.localService) {
        thread |= s.authorFlags(node);
      } else {
        const int slot = nodes[node].indexSlot;
        if (slot >= 0 && slot < static_cast<int>(index.size())) {
          if (index[slot].flags & kMsgByUser) thread |= kSynInvolved;
          if (index[slot].flags & kMsgByGroupMember) thread |= kSynGroup;
        }
      }
      nodes[node].flags |= thread;
      if (thread & kSynInvolved) break;
      node = nodes[node].next;
    } while (valid(node) && node != root);
    if (thread & (kSynInvolved | kSynIgnored | kSynGroup)) {
      steps = 0;
      node = root;
      do {
        if (++steps > kMaxLinkSteps) return false;
        nodes[node].flags |= thread;
        const int slot = nodes[node].indexSlot;
        if (slot >= 0 && slot < static_cast<int>(index.size())) {
          if (thread & kSynIgnored)
            index[slot].flags |= kMsgRead | kMsgIgnoredInView;
          else
            index[slot].flags &= static_cast<uint16_t>(~kMsgIgnoredInView);
        }
        node = nodes[node].next;
      } while (valid(node) && node != root);
    }
    if (++rootSteps > kMaxLinkSteps) return false;
    root = nodes[root].nextRoot;
  } while (valid(root) && root != 0);
  return true;
}

// A stored order read back in number order needs no sort; anything else is
// sorted so findsynnode can search it.
void SortSynopsis(VirtualArrayCompare compare) {
  if (Synopsis.Sorted() && Synopsis.Compare() == compare) return;
  Synopsis.Sort(compare);
}

}  // namespace

int NormaliseMessageOrder(int stored) { return stored >= 3 && stored <= 7 ? stored : kOrderRootsOnly; }

FirstShown FindFirstShown(uint16_t hideMask) {
  FirstShown f{-1, 0, 0};
  for (int i = 0; i < LogCva.Count(); ++i) {
    auto* rec = static_cast<MsgIndexRec*>(LogCva.At(i));
    if (!rec) continue;
    rec->flags &= static_cast<uint16_t>(~(kMsgIgnoredInView | kMsgTransient));
    if (f.slot < 0 && !(rec->flags & hideMask)) f.slot = i;
    ++f.all;
    if (!(rec->flags & kMsgMarkedForDeletion)) ++f.notDeleted;
  }
  if (f.slot < 0) f.slot = 0;
  return f;
}

int ScanThreadOrder(const ThreadOrderServices& s, int firstSlot, uint16_t hideMask, bool kept) {
  SortSynopsis(CompareSynNodes);
  std::vector<MsgIndexRec>& index = LoadIndex();
  std::vector<uint16_t>& before = Work().before;
  before.resize(index.size());
  for (size_t i = 0; i < index.size(); ++i) before[i] = index[i].flags;
  std::vector<SynNode>& nodes = Work().nodes;
  const int count = static_cast<int>(index.size());
  if (kept || firstSlot < 0 || firstSlot >= count) {
    LoadNodes();
  } else {
    nodes.clear();
    s.debugLog("syn_scan() before thread ordering\n");
    nodes.reserve(static_cast<size_t>(count - firstSlot));
    nodes.push_back(NewNode(s, index[firstSlot], firstSlot, 0));
    const int32_t lowest = index[firstSlot].number;
    // The last node of each node's subtree and each node's parent, so a reply
    // finds its place without walking its parent's descendants.
    std::vector<int32_t>& lastDescendant = Work().lastDescendant;
    std::vector<int32_t>& parentOf = Work().parentOf;
    lastDescendant.assign(1, 0);
    parentOf.assign(1, -1);
    lastDescendant.reserve(nodes.capacity());
    parentOf.reserve(nodes.capacity());
    int lastRoot = 0;
    for (int i = firstSlot + 1; i < count; ++i) {
      const MsgIndexRec rec = index[i];
      if (rec.flags & hideMask) continue;  // hidden entries keep their flags
      const int32_t commentTo = rec.commentTo, number = rec.number;
      const int self = static_cast<int>(nodes.size());
      nodes.push_back(NewNode(s, rec, i, self));
      int parent = -1;
      if (commentTo >= lowest && commentTo != number) {
        // Nodes are made in number order, so they are sorted by number.
        auto at = std::lower_bound(nodes.begin(), nodes.end() - 1, commentTo,
                                   [](const SynNode& a, int32_t n) { return a.number < n; });
        if (at != nodes.end() - 1 && at->number == commentTo) parent = static_cast<int>(at - nodes.begin());
      }
      lastDescendant.push_back(self);
      parentOf.push_back(parent);
      if (parent < 0) {
        AppendRoot(nodes, lastRoot, self);
        continue;
      }
      const int after = lastDescendant[parent];
      SynNode& node = nodes[self];
      node.level = nodes[parent].level + 1;
      node.previous = after;
      node.next = nodes[after].next;
      nodes[nodes[after].next].previous = self;
      nodes[after].next = self;
      for (int a = parent; a >= 0 && lastDescendant[a] == after; a = parentOf[a]) lastDescendant[a] = self;
    }
    CloseRootRing(nodes, lastRoot);
  }
  s.debugLog("syn_scan() before mark involvement\n");
  if (!kept || s.folderHasIgnored || s.localService) MarkInvolvement(s, nodes, index);
  if (!StoreNodes(nodes)) {
    s.diskFull();
    return 0;
  }
  StoreFlags(index, before);
  s.debugLog("syn_scan() after mark involvement\n");
  return 1;
}

int BuildChronologicalOrder(const ThreadOrderServices& s, int firstSlot, uint16_t hideMask, bool newestFirst) {
  const int count = LogCva.Count();
  if (firstSlot < 0 || (count > 0 && firstSlot >= count)) return 0;
  SortSynopsis(newestFirst ? CompareSynNodesReverse : CompareSynNodes);
  std::vector<MsgIndexRec>& index = LoadIndex();
  std::vector<SynNode>& nodes = Work().nodes;
  nodes.clear();
  nodes.reserve(static_cast<size_t>(std::max(0, count - firstSlot)));
  int lastRoot = 0;
  const int step = newestFirst ? -1 : 1;
  for (int i = newestFirst ? count - 1 : firstSlot; i >= firstSlot && i < count; i += step) {
    if (index[i].flags & hideMask) continue;  // hidden entries keep their flags
    const int self = static_cast<int>(nodes.size());
    nodes.push_back(NewNode(s, index[i], i, self));
    if (self > 0) AppendRoot(nodes, lastRoot, self);
  }
  CloseRootRing(nodes, lastRoot);
  if (!StoreNodes(nodes)) {
    s.diskFull();
    return 0;
  }
  return 1;
}

bool ReadSynNode(int node, SynNode* out) {
  const void* p = node >= 0 && node < Synopsis.Count() ? Synopsis.At(node) : nullptr;
  if (!p) return false;
  std::memcpy(out, p, sizeof *out);
  return true;
}

bool WriteSynNode(int node, const SynNode& in) {
  void* p = node >= 0 && node < Synopsis.Count() ? Synopsis.At(node) : nullptr;
  if (!p) return false;
  std::memcpy(p, &in, sizeof in);
  return true;
}

void ResetKeptNodes() {
  std::vector<SynNode>& nodes = LoadNodes();
  for (SynNode& n : nodes) {
    n.rowCacheSlot = -1;
    n.flags &= static_cast<uint16_t>(~(kSynIgnored | kSynBookmarked));
  }
  if (!nodes.empty()) CopyIn(Synopsis, nodes.data());
}

const std::vector<SynNode>& CopyOfSynopsis() { return LoadNodes(); }
