// The program's one container for lists of fixed-size records: elements live in
// chunks of at most 65280 bytes, a bounded pool of chunk buffers stays in
// memory and the rest swaps to a private temporary file. Portable: the swap
// file, the error box and the memory query come through VirtualArrayHooks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct SmartPointer;
struct VirtualArrayChunk;

typedef int (*VirtualArrayCompare)(const void* a, const void* b);

struct VirtualArrayBuffer {
  SmartPointer* locks;       // pointers bound into this buffer; non-empty = pinned
  void* memory;              // the allocation behind data
  unsigned char* data;       // chunkBytes bytes
  VirtualArrayChunk* owner;  // chunk held now, or none
};

struct VirtualArrayChunk {
  VirtualArrayChunk* mergeNext;  // Sort's merge list
  int32_t mergeOffset;           // Sort: byte offset of the run's next unread element
  int32_t mergeLength;           // Sort: byte length of the run
  unsigned char* head;           // element-sized block owned by the chunk
  int32_t filePos;               // slot in the temporary file, -1 never written
  VirtualArrayBuffer* buffer;    // buffer holding the chunk now, or none
};

// Platform services of the array. The defaults come with the build (Win32: the
// "msw%05d.tmp" file, the warning box, the machine's memory; native: a stdio
// temporary file and stderr). Tests replace single members.
struct VirtualArrayHooks {
  void (*showError)(const char* text);
  // Creates the swap file (delete-on-close); none on failure.
  void* (*createSwap)();
  // Whole transfers only: false unless every byte was moved.
  bool (*readSwap)(void* file, int32_t pos, void* data, size_t bytes);
  bool (*writeSwap)(void* file, int32_t pos, const void* data, size_t bytes);
  int64_t (*swapSize)(void* file);  // -1 on failure
  void (*closeSwap)(void* file);
  uint64_t (*physicalMemory)();  // total bytes of the machine
};
extern VirtualArrayHooks g_virtualArrayHooks;

class VirtualArray {
 public:
  static constexpr int kMaxChunkBytes = 65280;

  VirtualArray(const char* name, int elementSize, VirtualArrayCompare compare = nullptr, uint32_t flags = 0);
  ~VirtualArray();
  VirtualArray(const VirtualArray&) = delete;
  VirtualArray& operator=(const VirtualArray&) = delete;

  int SetSize(int newCount, bool discard = false);
  // With keep set, emptying the array keeps its chunk blocks (as many as it
  // used then) for the next growth instead of returning them to the system;
  // for arrays that are emptied and refilled often, such as the open topic's.
  void KeepBlocksWhenEmptied(bool keep);

  // Element i, or null (reported) when out of range or its chunk cannot be
  // brought in. The pointer stays valid until the next access of the array.
  void* At(int index) {
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(count_)) return OutOfRange(index);
    int k = index / perChunk_;
    VirtualArrayBuffer* b = chunks_[k].buffer;
    if (!b) {
      b = LoadChunk(k);
      if (!b) return nullptr;
    }
    lastChunk_ = k;
    return b->data + static_cast<size_t>(index - k * perChunk_) * elementSize_;
  }
  void* operator[](int index) { return At(index); }

  VirtualArrayBuffer* ChunkBuffer(int chunk);
  // As ChunkBuffer, for a caller about to overwrite the chunk's first
  // `bytes` bytes: a chunk never written has only the rest cleared.
  VirtualArrayBuffer* ChunkBufferToFill(int chunk, size_t bytes);
  VirtualArrayBuffer* LoadChunk(int chunk);
  VirtualArrayBuffer* GetFreeBuffer();

  int BinarySearch(const void* key, VirtualArrayCompare compare = nullptr, int low = 0, int high = 0);
  int Find(const void* key, VirtualArrayCompare compare = nullptr);
  int InsertSorted(const void* element);
  int InsertAt(int index, const void* element);
  int Append(const void* element);
  int RemoveAt(int index);
  void Sort(VirtualArrayCompare compare = nullptr);
  int CheckOrderAt(int index);

  int Load(FILE* stream);
  int Save(FILE* stream);
  int ReadElements(FILE* stream, int n);
  int WriteElements(FILE* stream);

  void Fail(const char* module, unsigned line, const char* text);
  // Chooses the swap file's name (Win32 builds); out holds 260 bytes.
  static void CreateTempFile(char* out);

  const char* Name() const { return name_; }
  uint32_t Flags() const { return flags_; }
  int ElementSize() const { return elementSize_; }
  int Count() const { return count_; }
  int PerChunk() const { return perChunk_; }
  int ChunkBytes() const { return chunkBytes_; }
  int ChunkCount() const { return chunkCount_; }
  int BufferCount() const { return bufferCount_; }
  bool Sorted() const { return sorted_ != 0; }
  VirtualArrayCompare Compare() const { return compare_; }
  bool HasTempFile() const { return tempFile_ != nullptr; }

 private:
  friend struct SmartPointer;
  void* OutOfRange(int index);
  bool WriteBack(VirtualArrayBuffer* buffer);
  VirtualArrayBuffer* BringIn(int chunk, size_t keepBytes);
  int AbandonInsert(int from);
  bool ShiftUp(int index, int top, int* shiftedFrom);
  bool AddBuffer();
  bool ResizeBufferTable(int newCount);
  void ReleaseBuffer(VirtualArrayBuffer* buffer);
  void FreeSpare(int keep);
  void FreeHeads(int from, int to);
  void ClearAll();
  bool EnsureTempFile();
  unsigned char* ElementIn(int chunk, int slot) {
    return chunks_[chunk].buffer->data + static_cast<size_t>(slot) * elementSize_;
  }
  int ChunkElements(int chunk) const { return chunk < chunkCount_ - 1 ? perChunk_ : (count_ - 1) % perChunk_ + 1; }
  bool MergeResidentChunks(unsigned char** scratch);
  bool ReadStreamElements(FILE* stream, int n);

  const char* name_;
  uint32_t flags_;
  int elementSize_;
  int count_ = 0;
  int perChunk_;
  int chunkBytes_;
  int chunkCount_ = 0;
  int bufferCount_ = 0;
  int lastChunk_ = -1;
  VirtualArrayCompare compare_;
  int sorted_;
  void* tempFile_ = nullptr;
  bool keepBlocks_ = false;
  bool emptying_ = false;   // released blocks go to the spare ones
  void** spare_ = nullptr;  // blocks kept from the last emptying
  int spareCount_ = 0;
  int spareCapacity_ = 0;
  VirtualArrayBuffer** buffers_ = nullptr;  // records stay put when the table grows
  VirtualArrayChunk* chunks_ = nullptr;
};

// A handle to one element that pins its buffer while bound and follows the
// element when inserts and removes shift it within the array.
struct SmartPointer {
  SmartPointer* next = nullptr;
  VirtualArrayBuffer* buffer = nullptr;
  void* element = nullptr;

  SmartPointer() = default;
  ~SmartPointer() { Unbind(); }
  SmartPointer(const SmartPointer&) = delete;
  SmartPointer& operator=(const SmartPointer&) = delete;

  SmartPointer& Get(VirtualArray& array, int index);
  int Seek(VirtualArray& array, int index);
  void Assign(const SmartPointer& other);
  void Attach(void* plain);
  void Detach();
  int Index(const VirtualArray& array) const;
  bool Bound() const { return buffer != nullptr; }

  void Unbind();
  void BindInto(VirtualArrayBuffer* target, void* at);
};

inline void* VirtArrTouch(SmartPointer& pointer) { return pointer.element; }
