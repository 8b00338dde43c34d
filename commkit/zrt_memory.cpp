// Heap blocks, with an allocator that each client process may substitute.
#include "internal.h"

#include <string.h>

namespace {
struct AllocatorNode {
  AllocatorNode* next;
  HANDLE process;
  ZrtAllocFn alloc;
  ZrtReleaseFn release;
};
#if !defined(_WIN64)
static_assert(sizeof(AllocatorNode) == 16);
#endif

AllocatorNode* g_allocators;

AllocatorNode* FindAllocator() {
  HANDLE process = GetCurrentProcess();
  for (AllocatorNode* node = g_allocators; node; node = node->next)
    if (node->process == process) return node;
  return nullptr;
}

// The whole requested size: a request is never cut to 16 bits.
void* DefaultAlloc(uint32_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
  if (!block) return nullptr;
  void* pointer = GlobalLock(block);
  if (!pointer) GlobalFree(block);
  return pointer;
}

void DefaultFree(void* pointer) {
  HGLOBAL block = GlobalHandle(pointer);
  if (!block) return;
  GlobalUnlock(block);
  GlobalFree(block);
}
}  // namespace

void* ZRTAPI ZrtMemAlloc(uint32_t size) {
  AllocatorNode* node = FindAllocator();
  void* block = node ? node->alloc(size) : DefaultAlloc(size);
  if (block) memset(block, 0, size);
  return block;
}

void ZRTAPI ZrtMemFree(void** block) {
  if (!block || !*block) return;
  AllocatorNode* node = FindAllocator();
  if (node)
    node->release(*block);
  else
    DefaultFree(*block);
  *block = nullptr;
}

int ZRTAPI ZrtSetAllocator(ZrtAllocFn alloc, ZrtReleaseFn release) {
  if (!alloc || !release) return 0;
  AllocatorNode* node = FindAllocator();
  if (!node) {
    node = static_cast<AllocatorNode*>(DefaultAlloc(sizeof(AllocatorNode)));
    if (!node) return 0;
    node->process = GetCurrentProcess();
    node->next = g_allocators;
    g_allocators = node;
  }
  node->alloc = alloc;
  node->release = release;
  return 1;
}

void ZRTAPI ZrtClearAllocator() {
  HANDLE process = GetCurrentProcess();
  for (AllocatorNode** link = &g_allocators; *link; link = &(*link)->next) {
    if ((*link)->process == process) {
      AllocatorNode* node = *link;
      *link = node->next;
      DefaultFree(node);
      return;
    }
  }
}

char* ZRTAPI StrDup(const char* text) {
  if (!text) return nullptr;
  size_t length = strlen(text);
  char* copy = static_cast<char*>(ZrtMemAlloc(uint32_t(length + 1)));
  if (copy) memcpy(copy, text, length + 1);
  return copy;
}
