// Chunked, swappable array of fixed-size records. Nearly every list of the
// program lives here, so the element paths stay short and the sort avoids
// per-element file calls.
#include "core/virtual_array.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const char kModule[] = "Virtar32";
const char kAccessorModule[] = "virtar32";
constexpr uint64_t kOneMegabyte = 1048576;
constexpr int kMinBuffers = 3;

// Unbinds every pointer of a buffer: their element is gone or moved away.
void DropLocks(VirtualArrayBuffer* buffer) {
  SmartPointer* p = buffer->locks;
  while (p) {
    SmartPointer* next = p->next;
    p->next = nullptr;
    p->buffer = nullptr;
    p->element = nullptr;
    p = next;
  }
  buffer->locks = nullptr;
}

// Moves the pointers of one buffer that sit on `from` to `to` in another.
void MoveLocks(VirtualArrayBuffer* source, const unsigned char* from, VirtualArrayBuffer* target, unsigned char* to) {
  SmartPointer** link = &source->locks;
  while (*link) {
    SmartPointer* p = *link;
    if (p->element == from) {
      *link = p->next;
      p->buffer = target;
      p->element = to;
      p->next = target->locks;
      target->locks = p;
    } else {
      link = &p->next;
    }
  }
}

// Shifts pointers of a buffer at or after `from` by `delta` bytes.
void ShiftLocks(VirtualArrayBuffer* buffer, const unsigned char* from, std::ptrdiff_t delta) {
  for (SmartPointer* p = buffer->locks; p; p = p->next)
    if (static_cast<unsigned char*>(p->element) >= from) p->element = static_cast<unsigned char*>(p->element) + delta;
}

// A copy of a caller's element, taken before a shift can move it (the element
// may live in the array itself).
class ElementCopy {
 public:
  ElementCopy(const void* element, int size) {
    if (!element) return;
    if (size <= static_cast<int>(sizeof(small_))) {
      data_ = small_;
    } else {
      heap_.resize(size);
      data_ = heap_.data();
    }
    memcpy(data_, element, size);
  }
  const unsigned char* get() const { return data_; }

 private:
  unsigned char small_[256];
  std::vector<unsigned char> heap_;
  unsigned char* data_ = nullptr;
};

}  // namespace

VirtualArray::VirtualArray(const char* name, int elementSize, VirtualArrayCompare compare, uint32_t flags)
    : name_(name ? name : ""),
      flags_(flags),
      elementSize_(elementSize < 1 ? 1 : elementSize),
      compare_(compare),
      sorted_(compare ? 1 : 0) {
  perChunk_ = kMaxChunkBytes / elementSize_;
  if (perChunk_ < 1) perChunk_ = 1;  // oversized records get a chunk each
  chunkBytes_ = perChunk_ * elementSize_;
}

VirtualArray::~VirtualArray() {
  ClearAll();
  FreeSpare(0);
}

void VirtualArray::KeepBlocksWhenEmptied(bool keep) {
  keepBlocks_ = keep;
  if (!keep) FreeSpare(0);
}

// Frees spare blocks beyond the first `keep`.
void VirtualArray::FreeSpare(int keep) {
  while (spareCount_ > keep) free(spare_[--spareCount_]);
  if (spareCount_ == 0) {
    free(spare_);
    spare_ = nullptr;
    spareCapacity_ = 0;
  }
}

void VirtualArray::Fail(const char* module, unsigned line, const char* text) {
  char message[600];
  snprintf(message, sizeof message, "%s-%u: Virtual array %.200s - %.200s", module, line, name_, text);
  g_virtualArrayHooks.showError(message);
}

void* VirtualArray::OutOfRange(int index) {
  char message[600];
  snprintf(message, sizeof message, "%s-%u: Virtual array %.200s - %s", "Array access out of range",
           static_cast<unsigned>(index), name_, kAccessorModule);
  g_virtualArrayHooks.showError(message);
  return nullptr;
}

bool VirtualArray::EnsureTempFile() {
  if (tempFile_) return true;
  tempFile_ = g_virtualArrayHooks.createSwap();
  if (!tempFile_) {
    Fail(kModule, __LINE__, "Could not create temporary file");
    return false;
  }
  return true;
}

// Writes a buffer's chunk to its slot and unlinks the two. A failed write
// keeps the chunk in its buffer: its contents exist nowhere else.
bool VirtualArray::WriteBack(VirtualArrayBuffer* buffer) {
  VirtualArrayChunk* chunk = buffer->owner;
  if (!chunk) return true;
  if (!EnsureTempFile()) return false;
  int64_t pos = chunk->filePos;
  if (pos < 0) {
    pos = g_virtualArrayHooks.swapSize(tempFile_);
    if (pos < 0 || pos + chunkBytes_ > INT32_MAX) {
      Fail(kModule, __LINE__, "Writing temporary file");
      return false;
    }
  }
  if (!g_virtualArrayHooks.writeSwap(tempFile_, static_cast<int32_t>(pos), buffer->data, chunkBytes_)) {
    Fail(kModule, __LINE__, "Writing temporary file");
    return false;
  }
  chunk->filePos = static_cast<int32_t>(pos);
  chunk->buffer = nullptr;
  buffer->owner = nullptr;
  return true;
}

bool VirtualArray::ResizeBufferTable(int newCount) {
  if (newCount == 0) {
    free(buffers_);
    buffers_ = nullptr;
    return true;
  }
  void* table = realloc(buffers_, sizeof(VirtualArrayBuffer*) * newCount);
  if (!table) return newCount < bufferCount_;  // a shrink may keep the larger block
  buffers_ = static_cast<VirtualArrayBuffer**>(table);
  return true;
}

// One more buffer at the end of the pool.
bool VirtualArray::AddBuffer() {
  if (!ResizeBufferTable(bufferCount_ + 1)) return false;
  auto* buffer = static_cast<VirtualArrayBuffer*>(calloc(1, sizeof(VirtualArrayBuffer)));
  void* memory = nullptr;
  if (buffer) memory = spareCount_ > 0 ? spare_[--spareCount_] : malloc(chunkBytes_);
  if (!memory) {
    free(buffer);
    return false;
  }
  buffer->memory = memory;
  buffer->data = static_cast<unsigned char*>(memory);
  buffers_[bufferCount_++] = buffer;
  return true;
}

void VirtualArray::ReleaseBuffer(VirtualArrayBuffer* buffer) {
  DropLocks(buffer);
  if (buffer->owner) buffer->owner->buffer = nullptr;
  bool kept = false;
  if (emptying_) {
    if (spareCount_ == spareCapacity_) {
      int capacity = spareCapacity_ ? spareCapacity_ * 2 : 16;
      void* table = realloc(spare_, sizeof(void*) * capacity);
      if (table) {
        spare_ = static_cast<void**>(table);
        spareCapacity_ = capacity;
      }
    }
    if (spareCount_ < spareCapacity_) {
      spare_[spareCount_++] = buffer->memory;
      kept = true;
    }
  }
  if (!kept) free(buffer->memory);
  free(buffer);
}

void VirtualArray::FreeHeads(int from, int to) {
  for (int k = from; k < to; ++k) {
    free(chunks_[k].head);
    chunks_[k].head = nullptr;
  }
}

void VirtualArray::ClearAll() {
  for (int i = 0; i < bufferCount_; ++i) ReleaseBuffer(buffers_[i]);
  free(buffers_);
  buffers_ = nullptr;
  bufferCount_ = 0;
  if (chunks_) FreeHeads(0, chunkCount_);
  free(chunks_);
  chunks_ = nullptr;
  chunkCount_ = 0;
  count_ = 0;
  lastChunk_ = -1;
  sorted_ = compare_ ? 1 : 0;
  if (tempFile_) g_virtualArrayHooks.closeSwap(tempFile_);
  tempFile_ = nullptr;
}

VirtualArrayBuffer* VirtualArray::GetFreeBuffer() {
  if (bufferCount_ == chunkCount_) {
    for (int i = 0; i < bufferCount_; ++i)
      if (!buffers_[i]->owner) return buffers_[i];
  }
  int start = bufferCount_ > 1 ? 1 : 0;
  int examine = bufferCount_;
  if (lastChunk_ >= 0 && lastChunk_ < chunkCount_ && chunks_[lastChunk_].buffer) {
    VirtualArrayBuffer* current = chunks_[lastChunk_].buffer;
    for (int i = 0; i < bufferCount_; ++i)
      if (buffers_[i] == current) start = (i + 1) % bufferCount_;
    examine = bufferCount_ - 1;
  }
  VirtualArrayBuffer* chosen = nullptr;
  for (int n = 0; n < examine; ++n) {
    VirtualArrayBuffer* candidate = buffers_[(start + n) % bufferCount_];
    if (!candidate->locks) {
      chosen = candidate;
      break;
    }
  }
  if (!chosen) {
    // Every candidate is pinned by a caller's pointer: grow the pool rather
    // than pull an element from under a pointer still in use.
    if (!AddBuffer()) {
      Fail(kModule, __LINE__, "No free unlocked buffers");
      return nullptr;
    }
    chosen = buffers_[bufferCount_ - 1];
  }
  if (chosen->owner && !WriteBack(chosen)) return nullptr;
  return chosen;
}

VirtualArrayBuffer* VirtualArray::LoadChunk(int k) { return BringIn(k, 0); }

// A chunk never written starts cleared, apart from the first keepBytes that
// the caller overwrites at once.
VirtualArrayBuffer* VirtualArray::BringIn(int k, size_t keepBytes) {
  VirtualArrayChunk* chunk = &chunks_[k];
  if (chunk->buffer) {
    lastChunk_ = k;
    return chunk->buffer;
  }
  VirtualArrayBuffer* buffer = GetFreeBuffer();
  if (!buffer) return nullptr;
  if (chunk->filePos < 0) {
    if (keepBytes > static_cast<size_t>(chunkBytes_)) keepBytes = chunkBytes_;
    memset(buffer->data + keepBytes, 0, chunkBytes_ - keepBytes);
  } else if (!tempFile_ || !g_virtualArrayHooks.readSwap(tempFile_, chunk->filePos, buffer->data, chunkBytes_)) {
    // The chunk stays on disk; the buffer is left free rather than half-filled.
    Fail(kModule, __LINE__, "Reading temporary file");
    return nullptr;
  }
  buffer->owner = chunk;
  chunk->buffer = buffer;
  lastChunk_ = k;
  return buffer;
}

VirtualArrayBuffer* VirtualArray::ChunkBuffer(int k) { return LoadChunk(k); }

VirtualArrayBuffer* VirtualArray::ChunkBufferToFill(int k, size_t bytes) {
  if (k < 0 || k >= chunkCount_) return nullptr;
  return BringIn(k, bytes);
}

int VirtualArray::SetSize(int newCount, bool discard) {
  if (newCount < 0) return 0;
  if (newCount == count_) return 1;
  if (newCount == 0 && keepBlocks_) {
    // Keep as many blocks as the array used: spares beyond that go back.
    const int used = bufferCount_;
    FreeSpare(0);
    emptying_ = true;
    ClearAll();
    emptying_ = false;
    FreeSpare(used);
    return 1;
  }
  const int newChunks = newCount == 0 ? 0 : (newCount - 1) / perChunk_ + 1;
  if (newChunks == chunkCount_) {
    count_ = newCount;
    return 1;
  }
  const int oldChunks = chunkCount_;
  lastChunk_ = -1;
  int target = newChunks;

  if (newChunks > bufferCount_) {
    uint64_t memory = g_virtualArrayHooks.physicalMemory();
    if (memory > kOneMegabyte) memory -= kOneMegabyte;
    uint64_t allowed = memory / (chunkBytes_ + 256);
    if (allowed < static_cast<uint64_t>(newChunks - bufferCount_) && newChunks >= 4) {
      target = bufferCount_ + static_cast<int>(allowed);
      if (target < kMinBuffers) target = kMinBuffers;
    }
  } else {
    if (!discard) {
      for (int i = newChunks; i < bufferCount_; ++i) {
        VirtualArrayChunk* owner = buffers_[i]->owner;
        if (owner && owner - chunks_ < newChunks) target = i + 1;
      }
    }
    for (int i = target; i < bufferCount_; ++i) ReleaseBuffer(buffers_[i]);
    if (target < bufferCount_) {
      bufferCount_ = target;
      ResizeBufferTable(target);
    }
  }

  if (newChunks < oldChunks) FreeHeads(newChunks, oldChunks);

  if (newCount == 0) {
    ClearAll();
    return 1;
  }

  // Dropped chunks take their pointers with them.
  for (int i = 0; i < bufferCount_; ++i) {
    VirtualArrayBuffer* b = buffers_[i];
    if (b->owner && b->owner - chunks_ >= newChunks) {
      DropLocks(b);
      b->owner = nullptr;
    }
  }
  // Remember each buffer's chunk by index across the table's move.
  std::vector<int> ownerIndex(bufferCount_);
  for (int i = 0; i < bufferCount_; ++i)
    ownerIndex[i] = buffers_[i]->owner ? static_cast<int>(buffers_[i]->owner - chunks_) : -1;
  void* table = realloc(chunks_, sizeof(VirtualArrayChunk) * newChunks);
  if (!table) {
    if (newChunks > oldChunks) {
      Fail(kModule, __LINE__, "Out of memory for chunk table");
      return 0;
    }
    table = chunks_;  // a shrink keeps the larger block
  }
  chunks_ = static_cast<VirtualArrayChunk*>(table);
  for (int i = 0; i < bufferCount_; ++i) buffers_[i]->owner = ownerIndex[i] >= 0 ? &chunks_[ownerIndex[i]] : nullptr;
  for (int k = oldChunks; k < newChunks; ++k) {
    VirtualArrayChunk& c = chunks_[k];
    memset(&c, 0, sizeof c);
    c.filePos = -1;
    c.head = static_cast<unsigned char*>(malloc(elementSize_));
    if (!c.head) {
      FreeHeads(oldChunks, k);
      Fail(kModule, __LINE__, "Out of memory for chunk keys");
      return 0;
    }
  }

  if (discard) {
    for (int k = 0; k < newChunks; ++k) {
      chunks_[k].filePos = -1;
      chunks_[k].buffer = nullptr;
    }
    for (int i = 0; i < bufferCount_; ++i) {
      DropLocks(buffers_[i]);
      buffers_[i]->owner = nullptr;
    }
  }

  int result = 1;
  if (target < bufferCount_) {
    // Only buffers that hold no surviving chunk get here; write back any
    // that do, and keep the ones whose write fails.
    for (int i = target; i < bufferCount_; ++i)
      if (buffers_[i]->owner && !WriteBack(buffers_[i])) target = i + 1;
    for (int i = target; i < bufferCount_; ++i) ReleaseBuffer(buffers_[i]);
    if (target < bufferCount_) {
      bufferCount_ = target;
      ResizeBufferTable(target);
    }
  } else if (target > bufferCount_) {
    if (!ResizeBufferTable(target)) {
      Fail(kModule, __LINE__, "Could not resize buffer pool");
    } else {
      while (bufferCount_ < target && AddBuffer()) {}
      if (bufferCount_ < target && bufferCount_ >= kMinBuffers && bufferCount_ < newChunks) {
        // Fewer buffers than wanted is workable (the rest swaps), but say so
        // rather than run on a pool other than the one asked for.
        Fail(kModule, __LINE__, "Could not resize buffer pool");
      }
    }
    if (bufferCount_ < kMinBuffers && bufferCount_ < target) {
      Fail(kModule, __LINE__, "Could not allocate enough buffers");
      result = 0;
    }
  }
  if (result && bufferCount_ < newChunks && !tempFile_) {
    if (!EnsureTempFile()) result = 0;
  }

  if (!result && newChunks > oldChunks) {
    // Give back the chunk records made for the growth: count is unchanged.
    FreeHeads(oldChunks, newChunks);
    chunkCount_ = oldChunks;
    return 0;
  }
  chunkCount_ = newChunks;
  count_ = newCount;
  return result;
}

int VirtualArray::BinarySearch(const void* key, VirtualArrayCompare compare, int low, int high) {
  if (chunkCount_ == 0) return 0;
  VirtualArrayCompare cmp = compare ? compare : compare_;
  if (!cmp) return count_;
  if (!sorted_ || cmp != compare_) {
    for (int k = 0; k < chunkCount_; ++k) {
      VirtualArrayBuffer* b = LoadChunk(k);
      if (!b) return count_;
      const int n = ChunkElements(k);
      const unsigned char* e = b->data;
      for (int s = 0; s < n; ++s, e += elementSize_)
        if (cmp(e, key) == 0) return k * perChunk_ + s;
    }
    return count_;
  }

  int begin = 0, end = chunkCount_;
  if (low || high) {
    begin = std::min(std::max(low, 0) / perChunk_, chunkCount_ - 1);
    end = std::min(std::max(high, 0) / perChunk_ + 1, chunkCount_);
    if (end <= begin) end = begin + 1;
  }
  // The last chunk whose first element is not above the key.
  int l = begin, h = end;
  while (l < h) {
    int m = l + (h - l) / 2;
    VirtualArrayBuffer* b = LoadChunk(m);
    if (!b) return count_;
    int r = cmp(key, b->data);
    if (r < 0) {
      h = m;
    } else if (r > 0) {
      l = m + 1;
    } else {
      l = m + 1;
      break;
    }
  }
  int chunk = std::min(std::max(l - 1, begin), end - 1);
  VirtualArrayBuffer* b = LoadChunk(chunk);
  if (!b) return count_;
  const int base = chunk * perChunk_;
  if (cmp(key, b->data) <= 0) return base;
  const unsigned char* data = b->data;
  int lo = 0, hi = ChunkElements(chunk);
  while (lo < hi) {
    int m = lo + (hi - lo) / 2;
    int r = cmp(key, data + static_cast<size_t>(m) * elementSize_);
    if (r == 0) return base + m;
    if (r < 0)
      hi = m;
    else
      lo = m + 1;
  }
  return base + lo;
}

int VirtualArray::Find(const void* key, VirtualArrayCompare compare) {
  int i = BinarySearch(key, compare, 0, 0);
  if (i >= count_) return -1;
  VirtualArrayCompare cmp = compare ? compare : compare_;
  const void* e = At(i);
  return e && cmp && cmp(key, e) == 0 ? i : -1;
}

int VirtualArray::InsertSorted(const void* element) {
  int i = count_;
  if (compare_ && sorted_) {
    i = BinarySearch(element);
    if (i < count_) {
      const void* e = At(i);
      if (e && compare_(element, e) == 0) return i;
    }
  }
  return InsertAt(i, element) ? i : -1;
}

// Moves the elements from `index` to the end of chunk `top` up one slot (the
// last slot of chunk `top` is dropped), their pointers with them. A chunk that
// cannot be brought in stops it: *shiftedFrom is then the first index of the
// part already moved.
bool VirtualArray::ShiftUp(int index, int top, int* shiftedFrom) {
  const size_t es = elementSize_;
  const int ci = index / perChunk_;
  const int pi = index % perChunk_;
  for (int j = top; j > ci; --j) {
    VirtualArrayBuffer* bj = LoadChunk(j);
    if (!bj) {
      *shiftedFrom = (j + 1) * perChunk_;
      return false;
    }
    unsigned char* dj = bj->data;
    memmove(dj + es, dj, (perChunk_ - 1) * es);
    if (bj->locks) ShiftLocks(bj, dj, es);
    VirtualArrayBuffer* bp = LoadChunk(j - 1);  // chunk j stays: it is the current one
    if (!bp) {
      *shiftedFrom = j * perChunk_;
      return false;
    }
    unsigned char* lastOfPrevious = bp->data + (perChunk_ - 1) * es;
    memcpy(dj, lastOfPrevious, es);
    if (bp->locks) MoveLocks(bp, lastOfPrevious, bj, dj);
  }
  VirtualArrayBuffer* b = LoadChunk(ci);
  if (!b) {
    *shiftedFrom = (ci + 1) * perChunk_;
    return false;
  }
  unsigned char* at = b->data + pi * es;
  memmove(at + es, at, (perChunk_ - 1 - pi) * es);
  if (b->locks) ShiftLocks(b, at, es);
  return true;
}

int VirtualArray::InsertAt(int index, const void* element) {
  if (index < 0 || index > count_) {
    OutOfRange(index);
    return 0;
  }
  ElementCopy copy(element, elementSize_);
  if (!SetSize(count_ + 1)) return 0;
  const size_t es = elementSize_;
  int shiftedFrom;
  if (!ShiftUp(index, chunkCount_ - 1, &shiftedFrom)) return AbandonInsert(shiftedFrom);
  unsigned char* at = chunks_[index / perChunk_].buffer->data + (index % perChunk_) * es;  // current chunk
  if (!copy.get()) {
    memset(at, 0, es);
    return 1;
  }
  memcpy(at, copy.get(), es);
  if (sorted_ && compare_) {
    const void* prev = index > 0 ? At(index - 1) : nullptr;
    const void* self = At(index);
    if (prev && self && compare_(prev, self) > 0) sorted_ = 0;
    if (sorted_ && index < count_ - 1) {
      const void* next = At(index + 1);
      self = At(index);
      if (next && self && compare_(next, self) < 0) sorted_ = 0;
    }
  }
  return 1;
}

// An insert that could not bring in a chunk has shifted every element from
// `from` up by one; shifting them back down restores the array (the failure
// was reported where it happened).
int VirtualArray::AbandonInsert(int from) {
  if (from < count_)
    RemoveAt(from);
  else
    SetSize(count_ - 1);
  return 0;
}

int VirtualArray::Append(const void* element) {
  ElementCopy copy(element, elementSize_);
  if (!SetSize(count_ + 1)) return 0;
  void* slot = At(count_ - 1);
  if (!slot) {
    SetSize(count_ - 1);  // reported; no stray element stays behind
    return 0;
  }
  if (!copy.get()) {
    memset(slot, 0, elementSize_);
    return 1;
  }
  memcpy(slot, copy.get(), elementSize_);
  if (sorted_ && compare_ && count_ > 1) {
    const void* prev = At(count_ - 2);
    const void* self = At(count_ - 1);
    if (prev && self && compare_(prev, self) > 0) sorted_ = 0;
  }
  return 1;
}

int VirtualArray::RemoveAt(int index) {
  if (index < 0 || index >= count_) {
    OutOfRange(index);
    return 0;
  }
  const size_t es = elementSize_;
  const int ci = index / perChunk_;
  const int pi = index % perChunk_;
  VirtualArrayBuffer* b = LoadChunk(ci);
  if (!b) return 0;
  unsigned char* at = b->data + pi * es;
  if (b->locks) {
    SmartPointer** link = &b->locks;
    while (*link) {
      SmartPointer* p = *link;
      if (p->element == at) {
        *link = p->next;
        p->next = nullptr;
        p->buffer = nullptr;
        p->element = nullptr;
      } else {
        if (static_cast<unsigned char*>(p->element) > at) p->element = static_cast<unsigned char*>(p->element) - es;
        link = &p->next;
      }
    }
  }
  ElementCopy removed(at, elementSize_);
  memmove(at, at + es, (perChunk_ - 1 - pi) * es);
  for (int j = ci; j < chunkCount_ - 1; ++j) {
    VirtualArrayBuffer* bj = LoadChunk(j);
    VirtualArrayBuffer* bn = bj ? LoadChunk(j + 1) : nullptr;  // chunk j stays: it was current
    if (!bn) {
      // Reported; move the part already shifted back and put the element
      // where it was.
      int shiftedFrom;
      if (ShiftUp(index, j, &shiftedFrom)) memcpy(chunks_[ci].buffer->data + pi * es, removed.get(), es);
      return 0;
    }
    unsigned char* last = bj->data + (perChunk_ - 1) * es;
    unsigned char* first = bn->data;
    memcpy(last, first, es);
    if (bn->locks) {
      MoveLocks(bn, first, bj, last);
      ShiftLocks(bn, first + es, -static_cast<std::ptrdiff_t>(es));
    }
    memmove(first, first + es, (perChunk_ - 1) * es);
  }
  return SetSize(count_ - 1);
}

int VirtualArray::CheckOrderAt(int index) {
  if (!compare_) {
    sorted_ = 0;
    return 0;
  }
  if (!sorted_) return 0;
  if (index > 0) {
    const void* prev = At(index - 1);
    const void* self = At(index);
    if (prev && self && compare_(prev, self) > 0) {
      sorted_ = 0;
      return 0;
    }
  }
  if (index < count_ - 1) {
    const void* next = At(index + 1);
    const void* self = At(index);
    if (next && self && compare_(next, self) < 0) sorted_ = 0;
  }
  return sorted_;
}

int VirtualArray::WriteElements(FILE* stream) {
  int64_t left = static_cast<int64_t>(count_) * elementSize_;
  for (int k = 0; k < chunkCount_ && left > 0; ++k) {
    VirtualArrayBuffer* b = LoadChunk(k);
    if (!b) return 0;
    size_t n = static_cast<size_t>(std::min<int64_t>(chunkBytes_, left));
    if (fwrite(b->data, 1, n, stream) != n) {
      Fail(kModule, __LINE__, "File write error");
      return 0;
    }
    left -= n;
  }
  return 1;
}

int VirtualArray::Save(FILE* stream) {
  const uint32_t n = static_cast<uint32_t>(count_);
  const unsigned char header[6] = {0xFF,
                                   0xFF,
                                   static_cast<unsigned char>(n),
                                   static_cast<unsigned char>(n >> 8),
                                   static_cast<unsigned char>(n >> 16),
                                   static_cast<unsigned char>(n >> 24)};
  if (fwrite(header, 1, sizeof header, stream) != sizeof header) {
    Fail(kModule, __LINE__, "File write error");
    return 0;
  }
  return WriteElements(stream);
}

namespace {
// False when a seekable stream holds fewer than `bytes` more bytes; a stream
// that cannot tell is given the benefit of the doubt (the reads still check).
bool StreamCanHold(FILE* stream, int64_t bytes) {
  long pos = ftell(stream);
  if (pos < 0 || fseek(stream, 0, SEEK_END) != 0) return true;
  long end = ftell(stream);
  fseek(stream, pos, SEEK_SET);
  return end < 0 || static_cast<int64_t>(end) - pos >= bytes;
}
}  // namespace

bool VirtualArray::ReadStreamElements(FILE* stream, int n) {
  if (n < 0 || !StreamCanHold(stream, static_cast<int64_t>(n) * elementSize_)) {
    Fail(kModule, __LINE__, "File read error");
    return false;
  }
  if (!SetSize(n, true)) return false;
  sorted_ = compare_ ? 1 : 0;
  int64_t left = static_cast<int64_t>(n) * elementSize_;
  for (int k = 0; k < chunkCount_ && left > 0; ++k) {
    VirtualArrayBuffer* b = LoadChunk(k);
    if (!b) return false;
    size_t bytes = static_cast<size_t>(std::min<int64_t>(chunkBytes_, left));
    if (fread(b->data, 1, bytes, stream) != bytes) {
      Fail(kModule, __LINE__, "File read error");
      return false;
    }
    left -= bytes;
    if (sorted_ && k > 0) {
      VirtualArrayBuffer* previous = LoadChunk(k - 1);  // chunk k stays: it was current
      if (!previous) return false;
      if (compare_(previous->data + (perChunk_ - 1) * static_cast<size_t>(elementSize_), chunks_[k].buffer->data) >= 0)
        sorted_ = 0;
    }
  }
  return true;
}

// A failed read leaves the array empty rather than half-filled.
int VirtualArray::ReadElements(FILE* stream, int n) {
  if (ReadStreamElements(stream, n)) return 1;
  SetSize(0);
  return 0;
}

int VirtualArray::Load(FILE* stream) {
  unsigned char marker[2];
  if (fread(marker, 1, 2, stream) != 2) {
    SetSize(0);
    return 0;
  }
  uint32_t n = marker[0] | (marker[1] << 8);
  if (n == 0xFFFF) {
    unsigned char wide[4];
    if (fread(wide, 1, 4, stream) != 4) {
      SetSize(0);
      return 0;
    }
    n = wide[0] | (wide[1] << 8) | (wide[2] << 16) | (static_cast<uint32_t>(wide[3]) << 24);
    if (n > static_cast<uint32_t>(INT_MAX)) {
      Fail(kModule, __LINE__, "File read error");
      SetSize(0);
      return 0;
    }
  }
  return ReadElements(stream, static_cast<int>(n));
}

// ---- Sort -----------------------------------------------------------------
// A stable merge sort. The compare function is opaque and reached through a
// pointer, and what its calls cost is mostly the branch inside it that the
// processor guesses wrong: half the time when the outcome is a coin toss, as
// in an even merge or a quicksort's partition. So the merges are uneven, a
// run of a quarter's length into one of three quarters: the outcome leans to
// the long run and is guessed right more often, which more than pays for the
// extra comparisons. Equal keys keep their order, so a second sort by another
// key keeps the first order among equals.

namespace {

// Runs this short are sorted by insertion before the merging starts.
constexpr size_t kInsertionRun = 16;

// The shorter run's share of an uneven merge.
size_t ShortRun(size_t n) { return std::max<size_t>(1, n / 4); }

// N is the record width for the common small records, so that every move is a
// fixed-size copy; 0 takes the width `es` at run time.
template <size_t N>
constexpr size_t WidthOf(size_t es) {
  return N ? N : es;
}

// Straight insertion: its comparisons mostly come out the same way, so they
// are cheap, and the moves stay within a short run. `hold` takes one record.
template <size_t N>
void InsertionSort(unsigned char* a, size_t n, size_t es, VirtualArrayCompare cmp, unsigned char* hold) {
  const size_t w = WidthOf<N>(es);
  for (size_t i = 1; i < n; ++i) {
    unsigned char* p = a + i * w;
    if (cmp(p - w, p) <= 0) continue;
    memcpy(hold, p, w);
    do {
      memcpy(p, p - w, w);
      p -= w;
    } while (p != a && cmp(p - w, hold) > 0);
    memcpy(p, hold, w);
  }
}

// Merges two sorted runs into `out`, the left one first among equal keys.
template <size_t N>
void MergeRuns(const unsigned char* l, const unsigned char* lEnd, const unsigned char* r, const unsigned char* rEnd,
               unsigned char* out, size_t es, VirtualArrayCompare cmp) {
  const size_t w = WidthOf<N>(es);
  const size_t leftBytes = lEnd - l, rightBytes = rEnd - r;
  // Runs already in order across their seam, either way round, cost one or
  // two comparisons: sorted and reversed input sort in linear time.
  if (!leftBytes || !rightBytes || cmp(lEnd - w, r) <= 0) {
    memcpy(out, l, leftBytes);
    memcpy(out + leftBytes, r, rightBytes);
    return;
  }
  if (cmp(rEnd - w, l) < 0) {
    memcpy(out, r, rightBytes);
    memcpy(out + rightBytes, l, leftBytes);
    return;
  }
  while (l < lEnd && r < rEnd) {
    if (cmp(r, l) < 0) {
      memcpy(out, r, w);
      r += w;
    } else {
      memcpy(out, l, w);
      l += w;
    }
    out += w;
  }
  memcpy(out, l, lEnd - l);
  memcpy(out + (lEnd - l), r, rEnd - r);
}

// Sorts the n records at `a`, leaving them at `a` or, with `intoB`, at `b`;
// each holds n records and the other one is scratch.
template <size_t N>
void MergeSortInto(unsigned char* a, unsigned char* b, size_t n, bool intoB, size_t es, VirtualArrayCompare cmp) {
  const size_t w = WidthOf<N>(es);
  if (n <= kInsertionRun) {
    InsertionSort<N>(a, n, es, cmp, b);
    if (intoB) memcpy(b, a, n * w);
    return;
  }
  const size_t m = ShortRun(n);
  MergeSortInto<N>(a, b, m, !intoB, es, cmp);
  MergeSortInto<N>(a + m * w, b + m * w, n - m, !intoB, es, cmp);
  unsigned char* from = intoB ? a : b;
  MergeRuns<N>(from, from + m * w, from + m * w, from + n * w, intoB ? b : a, es, cmp);
}

// Sorts n records in place; `scratch` holds n records.
template <size_t N>
void MergeSort(unsigned char* data, size_t n, size_t es, VirtualArrayCompare cmp, unsigned char* scratch) {
  const size_t w = WidthOf<N>(es);
  size_t ordered = 1;
  while (ordered < n && cmp(data + (ordered - 1) * w, data + ordered * w) <= 0) ++ordered;
  if (ordered < n) MergeSortInto<N>(data, scratch, n, false, es, cmp);
}

// Merges sorted chunks into one run, in the chunks' own blocks: a block read
// to its end takes the next records out, so two spare blocks are all the
// merge needs beyond the array (a fresh block the size of the array would
// cost a page fault for each of its pages).
template <size_t N>
class ChunkMerger {
 public:
  ChunkMerger(size_t es, size_t perChunk, size_t count, VirtualArrayCompare cmp)
      : w_(WidthOf<N>(es)), perChunk_(perChunk), count_(count), cmp_(cmp) {}

  // `blocks` holds the chunks in order, each sorted, and on return the
  // merged order; `spare` holds at least two blocks, and as many on return.
  void Merge(std::vector<unsigned char*>& blocks, std::vector<unsigned char*>& spare) {
    blocks_ = &blocks;
    spare_ = &spare;
    out_.resize(blocks.size());
    MergeRange(0, blocks.size());
  }

 private:
  // A run's next record, in the run's blocks [block, endBlock).
  struct Cursor {
    size_t block, endBlock;
    const unsigned char* at;
    const unsigned char* end;
  };

  void MergeRange(size_t first, size_t last) {
    if (last - first < 2) return;
    const size_t middle = first + ShortRun(last - first);
    MergeRange(first, middle);
    MergeRange(middle, last);
    MergePair(first, middle, last);
  }

  size_t BlockBytes(size_t block) const { return std::min(perChunk_, count_ - block * perChunk_) * w_; }
  Cursor Start(size_t block, size_t endBlock) const {
    const unsigned char* at = (*blocks_)[block];
    return {block, endBlock, at, at + BlockBytes(block)};
  }
  // Past a block read to its end: the block is free for output. False at
  // the run's end.
  bool NextBlock(Cursor& c) {
    spare_->push_back((*blocks_)[c.block]);
    if (++c.block == c.endBlock) return false;
    c.at = (*blocks_)[c.block];
    c.end = c.at + BlockBytes(c.block);
    return true;
  }
  // The next output block, and its end in `end`. Each block taken here was
  // freed by the runs first, but for the two spares: output can lead what
  // the runs have freed by a block of each.
  unsigned char* NextOutput(unsigned char** end) {
    unsigned char* at = spare_->back();
    spare_->pop_back();
    out_[++outBlock_] = at;
    *end = at + BlockBytes(outBlock_);
    return at;
  }
  // Copies the rest of a run out, from `at` on.
  void Drain(Cursor& c, unsigned char* at, unsigned char* end) {
    for (;;) {
      if (at == end) at = NextOutput(&end);
      const size_t bytes = std::min<size_t>(c.end - c.at, end - at);
      memcpy(at, c.at, bytes);
      at += bytes;
      c.at += bytes;
      if (c.at == c.end && !NextBlock(c)) return;
    }
  }

  void MergePair(size_t first, size_t middle, size_t last) {
    std::vector<unsigned char*>& blocks = *blocks_;
    // Runs already in order across their seam keep their blocks.
    if (cmp_(blocks[middle - 1] + BlockBytes(middle - 1) - w_, blocks[middle]) <= 0) return;
    Cursor l = Start(first, middle), r = Start(middle, last);
    const VirtualArrayCompare cmp = cmp_;
    const size_t w = WidthOf<N>(w_);  // a constant for the typed widths
    outBlock_ = first - 1;
    unsigned char* end = nullptr;
    unsigned char* at = NextOutput(&end);
    for (;;) {
      // The cursors stay in locals here: the compare function could, for all
      // the compiler knows, reach any member.
      const unsigned char* lAt = l.at;
      const unsigned char* rAt = r.at;
      const unsigned char* lEnd = l.end;
      const unsigned char* rEnd = r.end;
      const unsigned char* outEnd = end;
      while (at != outEnd) {
        if (cmp(rAt, lAt) < 0) {
          memcpy(at, rAt, w);
          at += w;
          rAt += w;
          if (rAt == rEnd) break;
        } else {
          memcpy(at, lAt, w);
          at += w;
          lAt += w;
          if (lAt == lEnd) break;
        }
      }
      l.at = lAt;
      r.at = rAt;
      if (rAt == rEnd && !NextBlock(r)) {
        Drain(l, at, end);
        break;
      }
      if (lAt == lEnd && !NextBlock(l)) {
        Drain(r, at, end);
        break;
      }
      if (at == end) at = NextOutput(&end);
    }
    std::copy(out_.begin() + first, out_.begin() + last, blocks.begin() + first);
  }

  const size_t w_, perChunk_, count_;
  const VirtualArrayCompare cmp_;
  std::vector<unsigned char*>* blocks_ = nullptr;
  std::vector<unsigned char*>* spare_ = nullptr;
  std::vector<unsigned char*> out_;
  size_t outBlock_ = 0;
};

void SortRecords(unsigned char* data, int n, size_t es, VirtualArrayCompare cmp, unsigned char* scratch) {
  switch (es) {
    case 4: MergeSort<4>(data, n, es, cmp, scratch); return;
    case 8: MergeSort<8>(data, n, es, cmp, scratch); return;
    case 12: MergeSort<12>(data, n, es, cmp, scratch); return;
    case 16: MergeSort<16>(data, n, es, cmp, scratch); return;
    case 20: MergeSort<20>(data, n, es, cmp, scratch); return;
    case 24: MergeSort<24>(data, n, es, cmp, scratch); return;
    case 32: MergeSort<32>(data, n, es, cmp, scratch); return;
    default: MergeSort<0>(data, n, es, cmp, scratch); return;
  }
}

void MergeChunks(std::vector<unsigned char*>& blocks, std::vector<unsigned char*>& spare, size_t es, size_t perChunk,
                 size_t count, VirtualArrayCompare cmp) {
  switch (es) {
    case 4: ChunkMerger<4>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    case 8: ChunkMerger<8>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    case 12: ChunkMerger<12>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    case 16: ChunkMerger<16>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    case 20: ChunkMerger<20>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    case 24: ChunkMerger<24>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    case 32: ChunkMerger<32>(es, perChunk, count, cmp).Merge(blocks, spare); return;
    default: ChunkMerger<0>(es, perChunk, count, cmp).Merge(blocks, spare); return;
  }
}

// One sorted run of the merge: the current element lies in the resident
// chunk or in a window read ahead from the swap file.
struct Run {
  const unsigned char* current = nullptr;
  const unsigned char* windowEnd = nullptr;
  int32_t filePos = -1;  // next unread byte in the swap file (swapped runs)
  int64_t fileLeft = 0;  // bytes not yet read from the file
  std::vector<unsigned char> window;
};

}  // namespace

void VirtualArray::Sort(VirtualArrayCompare compare) {
  for (int i = 0; i < bufferCount_; ++i) DropLocks(buffers_[i]);
  if (compare) compare_ = compare;
  if (!compare_) return;
  sorted_ = 1;
  if (chunkCount_ == 0) return;
  const size_t es = elementSize_;
  std::unique_ptr<unsigned char, decltype(&free)> scratch(static_cast<unsigned char*>(malloc(chunkBytes_)), free);
  if (!scratch) {
    Fail(kModule, __LINE__, "Out of memory for sorting");
    sorted_ = 0;
    return;
  }
  std::vector<unsigned char> previousLast(es);

  // Runs: every chunk sorted in place. Chunks that follow on in order need
  // no merge, so sorting a sorted array reads it once.
  bool inOrder = true;
  for (int k = 0; k < chunkCount_; ++k) {
    VirtualArrayBuffer* b = LoadChunk(k);
    if (!b) {
      sorted_ = 0;  // reported; the elements are all still there
      return;
    }
    const int n = ChunkElements(k);
    SortRecords(b->data, n, es, compare_, scratch.get());
    if (k > 0 && inOrder && compare_(previousLast.data(), b->data) > 0) inOrder = false;
    memcpy(previousLast.data(), b->data + (n - 1) * es, es);
  }
  if (chunkCount_ == 1 || inOrder) return;
  {
    unsigned char* block = scratch.release();
    const bool merged = MergeResidentChunks(&block);
    scratch.reset(block);
    if (merged) return;
  }

  // Merge through a loser tree, reading swapped runs in windows.
  const int runs = chunkCount_;
  int swapped = 0;
  for (int k = 0; k < runs; ++k)
    if (!chunks_[k].buffer) ++swapped;
  size_t windowBytes = swapped ? (1u << 20) / swapped : chunkBytes_;
  windowBytes = std::max<size_t>(windowBytes, 4096);
  windowBytes = std::min<size_t>(windowBytes, chunkBytes_);
  windowBytes = std::max<size_t>(windowBytes / es, 1) * es;

  std::vector<Run> run(runs);
  auto refill = [&](Run& r) -> bool {
    size_t bytes = static_cast<size_t>(std::min<int64_t>(r.fileLeft, static_cast<int64_t>(windowBytes)));
    if (!g_virtualArrayHooks.readSwap(tempFile_, r.filePos, r.window.data(), bytes)) return false;
    r.filePos += static_cast<int32_t>(bytes);
    r.fileLeft -= bytes;
    r.current = r.window.data();
    r.windowEnd = r.current + bytes;
    return true;
  };
  for (int k = 0; k < runs; ++k) {
    Run& r = run[k];
    const int64_t length = static_cast<int64_t>(ChunkElements(k)) * es;
    chunks_[k].mergeOffset = 0;
    chunks_[k].mergeLength = static_cast<int32_t>(length);
    if (chunks_[k].buffer) {
      r.current = chunks_[k].buffer->data;
      r.windowEnd = r.current + length;
    } else {
      r.window.resize(windowBytes);
      r.filePos = chunks_[k].filePos;
      r.fileLeft = length;
      if (!refill(r)) {
        Fail(kModule, __LINE__, "Reading temporary file");
        sorted_ = 0;
        return;
      }
    }
  }

  VirtualArray merged("Temp sort", elementSize_, compare_, flags_);
  if (!merged.SetSize(count_, true)) {
    sorted_ = 0;
    return;
  }

  int leaves = 1;
  while (leaves < runs) leaves *= 2;
  // Current element of each run; none once a run (or a padding leaf) is spent.
  std::vector<const unsigned char*> current(leaves, nullptr);
  for (int k = 0; k < runs; ++k) current[k] = run[k].current;
  std::vector<int> tree(leaves);
  const VirtualArrayCompare cmp = compare_;
  auto less = [&](int a, int b) {
    const unsigned char* x = current[a];
    const unsigned char* y = current[b];
    if (!x) return false;
    if (!y) return true;
    int r = cmp(x, y);
    return r < 0 || (r == 0 && a < b);
  };
  // Build bottom-up: winners climb, losers stay in the nodes.
  std::vector<int> winner(2 * leaves);
  for (int i = 0; i < leaves; ++i) winner[leaves + i] = i;
  for (int n = leaves - 1; n >= 1; --n) {
    int a = winner[2 * n], b = winner[2 * n + 1];
    if (less(a, b)) {
      winner[n] = a;
      tree[n] = b;
    } else {
      winner[n] = b;
      tree[n] = a;
    }
  }
  int top = leaves > 1 ? winner[1] : 0;

  bool ok = true;
  for (int c = 0; c < merged.chunkCount_ && ok; ++c) {
    VirtualArrayBuffer* out = merged.LoadChunk(c);
    if (!out) {
      ok = false;
      break;
    }
    unsigned char* dest = out->data;
    const int n = merged.ChunkElements(c);
    for (int s = 0; s < n; ++s, dest += es) {
      Run& r = run[top];
      memcpy(dest, r.current, es);
      r.current += es;
      if (r.current >= r.windowEnd) {
        if (r.fileLeft > 0) {
          if (!refill(r)) {
            Fail(kModule, __LINE__, "Reading temporary file");
            ok = false;
            break;
          }
        } else {
          r.current = nullptr;
        }
      }
      current[top] = r.current;
      // Replay the winner's path; select rather than branch, as the outcome
      // of each comparison is a coin toss on random keys.
      int w = top;
      for (int node = (leaves + w) / 2; node >= 1; node /= 2) {
        const int t = tree[node];
        const bool swap = less(t, w);
        tree[node] = swap ? w : t;
        w = swap ? t : w;
      }
      top = w;
    }
  }
  if (!ok) {
    sorted_ = 0;  // the array keeps its elements, sorted chunk by chunk only
    return;
  }

  // Take over the merged tables; the old ones go with `merged`.
  std::swap(buffers_, merged.buffers_);
  std::swap(bufferCount_, merged.bufferCount_);
  std::swap(chunks_, merged.chunks_);
  std::swap(chunkCount_, merged.chunkCount_);
  std::swap(tempFile_, merged.tempFile_);
  lastChunk_ = merged.lastChunk_;
  merged.lastChunk_ = -1;
}

// When every chunk is in memory, the sorted chunks merge in their own blocks
// and the buffers take the blocks in their new order; false, with nothing
// changed, leaves the merge that goes run by run through the swap file.
// `scratch` is a block of the caller's, which may come back as another one.
bool VirtualArray::MergeResidentChunks(unsigned char** scratch) {
  if (bufferCount_ < chunkCount_) return false;
  std::vector<unsigned char*> blocks(chunkCount_);
  for (int k = 0; k < chunkCount_; ++k) {
    if (!chunks_[k].buffer) return false;
    blocks[k] = chunks_[k].buffer->data;
  }
  auto* extra = static_cast<unsigned char*>(malloc(chunkBytes_));
  if (!extra) return false;
  std::vector<unsigned char*> spare = {*scratch, extra};
  MergeChunks(blocks, spare, elementSize_, perChunk_, count_, compare_);
  for (int k = 0; k < chunkCount_; ++k) {
    VirtualArrayBuffer* b = chunks_[k].buffer;
    b->memory = b->data = blocks[k];
  }
  *scratch = spare[0];
  free(spare[1]);
  return true;
}

// ---- SmartPointer -----------------------------------------------------------

void SmartPointer::Unbind() {
  if (!buffer) return;
  SmartPointer** link = &buffer->locks;
  while (*link && *link != this) link = &(*link)->next;
  if (*link) *link = next;
  next = nullptr;
  buffer = nullptr;
}

void SmartPointer::BindInto(VirtualArrayBuffer* target, void* at) {
  if (buffer != target) {
    Unbind();
    next = target->locks;
    target->locks = this;
    buffer = target;
  }
  element = at;
}

SmartPointer& SmartPointer::Get(VirtualArray& array, int index) {
  Detach();
  Seek(array, index);
  return *this;
}

int SmartPointer::Seek(VirtualArray& array, int index) {
  if (index < 0 || index >= array.count_) {
    Detach();
    array.Fail(kModule, __LINE__, "SmartPointer, Array access out of range");
    return 0;
  }
  void* at = array.At(index);
  if (!at) {
    Detach();
    return 0;
  }
  BindInto(array.chunks_[index / array.perChunk_].buffer, at);
  return 1;
}

void SmartPointer::Assign(const SmartPointer& other) {
  if (&other == this) return;
  if (other.buffer) {
    BindInto(other.buffer, other.element);
  } else {
    Unbind();
    element = other.element;
  }
}

void SmartPointer::Attach(void* plain) {
  Unbind();
  element = plain;
}

void SmartPointer::Detach() {
  Unbind();
  element = nullptr;
}

int SmartPointer::Index(const VirtualArray& array) const {
  if (!buffer || !buffer->data || !buffer->owner) return -1;
  const auto* e = static_cast<const unsigned char*>(element);
  if (e < buffer->data || e >= buffer->data + array.chunkBytes_) return -1;
  const VirtualArrayChunk* owner = buffer->owner;
  if (!array.chunks_ || owner < array.chunks_ || owner >= array.chunks_ + array.chunkCount_) return -1;
  return static_cast<int>((e - buffer->data) / array.elementSize_ + (owner - array.chunks_) * array.perChunk_);
}
