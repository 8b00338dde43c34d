// The control's memory layer (locked moveable global blocks and heap blocks,
// every size padded by one byte), its pool of released line records and its
// numbered error reporting.
#include "wrx/wrx_block.h"

#include <cstdlib>
#include <cstring>
#include <new>

DWORD g_wrxSharedFlags = 0;

namespace {

int g_lastError = 0;
char g_lastRoutine[64] = "";
WrxMessageBoxProc g_messageBox = nullptr;
WrxErrorObserver g_observer = nullptr;
long g_allocsLeft = -1;

// Reports kept while held; more than this are dropped (a failing pass stops
// after a few).
struct HeldReport {
  WrxWindow* w;
  int code;
  char routine[64];
};
constexpr int kHeldReports = 8;
HeldReport g_held[kHeldReports];
int g_heldCount = 0;
bool g_holding = false;

int ShowBox(HWND owner, const char* text, const char* title, UINT type) {
  if (g_messageBox) return g_messageBox(owner, text, title, type);
  return MessageBoxA(owner, text, title, type);
}

// The allocation-failure seam: true when this allocation must fail.
bool AllocationRefused() {
  if (g_allocsLeft < 0) return false;
  if (g_allocsLeft == 0) return true;
  --g_allocsLeft;
  return false;
}

}  // namespace

void WrxFailAllocationsAfter(long count) { g_allocsLeft = count; }

void* OurAlloc(long size) {
  HGLOBAL h = AllocationRefused() || size < 0 ? nullptr : GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 1);
  void* p = h ? GlobalLock(h) : nullptr;
  if (!p) {
    if (h) GlobalFree(h);
    WrxErrorBox(nullptr, 108, "OurAlloc");
  }
  return p;
}

void* OurRealloc(void* p, long size) {
  if (!p) return OurAlloc(size);
  HGLOBAL h = GlobalHandle(p);
  if (AllocationRefused() || size < 0 || !h) {
    WrxErrorBox(nullptr, 108, "OurRealloc");
    return nullptr;
  }
  GlobalUnlock(h);
  HGLOBAL n = GlobalReAlloc(h, size + 1, GMEM_MOVEABLE | GMEM_ZEROINIT);
  void* q = n ? GlobalLock(n) : nullptr;
  if (!q) {
    // The old block stays valid; lock it again so the caller may still free it.
    GlobalLock(h);
    WrxErrorBox(nullptr, 108, "OurRealloc");
  }
  return q;
}

void OurFree(void* p) {
  if (!p) return;
  HGLOBAL h = GlobalHandle(p);
  if (!h) return;
  GlobalUnlock(h);
  GlobalFree(h);
}

void* sAlloc(long size) {
  void* p = AllocationRefused() || size < 0 ? nullptr : malloc(size_t(size) + 1);
  if (!p) WrxErrorBox(nullptr, 108, "sAlloc");
  return p;
}

void* sReAlloc(void* p, long size) {
  void* q = AllocationRefused() || size < 0 ? nullptr : realloc(p, size + 1);
  if (!q) WrxErrorBox(nullptr, 108, "sReAlloc");
  return q;
}

int WrxMemFree(void* block) {
  free(block);
  return 1;
}

int AllocLinePtr(WrxWindow* w, int32_t line) {
  WrxLine* rec;
  if (w->poolCount > 0) {
    rec = w->pool[--w->poolCount];
  } else if (!w->spares.empty()) {
    rec = w->spares.back();
    w->spares.pop_back();
  } else {
    if (w->slabLeft == 0) {
      // Records are made a slab at a time: a large document loads without
      // one heap request per line.
      constexpr int32_t kSlab = 1024;
      WrxLine* slab = AllocationRefused() ? nullptr : static_cast<WrxLine*>(malloc(sizeof(WrxLine) * kSlab));
      bool kept = false;
      if (slab) {
        try {
          w->slabs.push_back(slab);
          kept = true;
        } catch (const std::bad_alloc&) {
          free(slab);
        }
      }
      if (!kept) {
        WrxErrorBox(nullptr, 108, "MemAlloc");
        return WrxErrorBox(w, 108, "AllocLinePtr");
      }
      w->slabNext = slab;
      w->slabLeft = kSlab;
    }
    rec = w->slabNext++;
    --w->slabLeft;
  }
  std::memset(rec, 0, sizeof *rec);
  w->lines[line] = rec;
  return 1;
}

int FreeLinePtr(WrxWindow* w, int32_t line) {
  WrxLine* rec = w->lines[line];
  if (rec) {
    if (w->poolCount < WRX_LINEPOOL) {
      w->pool[w->poolCount++] = rec;
    } else {
      try {
        w->spares.push_back(rec);
      } catch (const std::bad_alloc&) {
        // The record stays in its slab until the window closes.
      }
    }
  }
  w->lines[line] = nullptr;
  return 1;
}

int AllocLineInfo(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  if (l->info) FreeLineInfo(w, line);
  l->info = AllocationRefused() ? nullptr : static_cast<WrxLineInfo*>(calloc(1, sizeof(WrxLineInfo) + 1));
  if (!l->info) return WrxErrorBox(nullptr, 108, "MemAlloc");
  return 1;
}

int AllocLineCharInfo(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  if (!l->info) {
    l->info = AllocationRefused() ? nullptr : static_cast<WrxLineInfo*>(calloc(1, sizeof(WrxLineInfo) + 1));
    if (!l->info) return WrxErrorBox(nullptr, 108, "MemAlloc");
  }
  uint8_t* flags = AllocationRefused() ? nullptr : static_cast<uint8_t*>(calloc(1, size_t(l->length) + 1));
  if (!flags) return WrxErrorBox(nullptr, 108, "MemAlloc");
  free(l->info->charFlags);
  l->info->charFlags = flags;
  l->info->charFlagCount = l->length;
  return 1;
}

int FreeLineInfo(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  if (l && l->info) {
    free(l->info->charFlags);
    free(l->info);
    l->info = nullptr;
  }
  return 1;
}

void FarMove(const void* src, void* dest, long count) {
  if (count > 0) memmove(dest, src, size_t(count));
}

void FarMemSet(void* p, int byte, long count) {
  if (count > 0) memset(p, byte, size_t(count));
}

long RoundToMultiple(long value, long step) {
  if (step == 0) return value;
  long magnitude = (labs(value) + step / 2) / step * step;
  return value < 0 ? -magnitude : magnitude;
}

void SwapInts(int32_t* a, int32_t* b) {
  int32_t t = *a;
  *a = *b;
  *b = t;
}

int RangeHasParaEnd(WrxWindow* w, int32_t line1, int32_t col1, int32_t line2, int32_t col2) {
  if (w->hilight == 0) return 1;
  if (line1 > line2) return 0;
  for (int32_t i = line1; i <= line2 && i < w->lineCount; ++i) {
    const WrxLine* l = w->lines[i];
    int32_t end = i == line2 ? col2 : l->length;
    if (end > l->length) end = l->length;
    if (end > 0 && uint8_t(l->text[end - 1]) == w->paraEnd) return 1;
  }
  return 0;
}

void HoldErrorReports() { g_holding = true; }

void ReleaseErrorReports() {
  g_holding = false;
  const int count = g_heldCount;
  g_heldCount = 0;
  for (int i = 0; i < count; ++i) WrxErrorBox(g_held[i].w, g_held[i].code, g_held[i].routine);
}

int HeldErrorReports() { return g_heldCount; }

void DropHeldErrorReports(int keep) {
  if (keep >= 0 && keep < g_heldCount) g_heldCount = keep;
}

int WrxErrorBox(WrxWindow* w, int code, const char* routine) {
  if (g_holding) {
    if (g_heldCount < kHeldReports) {
      HeldReport& r = g_held[g_heldCount++];
      r.w = w;
      r.code = code;
      strncpy(r.routine, routine ? routine : "", sizeof r.routine - 1);
      r.routine[sizeof r.routine - 1] = 0;
    }
    return 0;
  }
  if (g_observer) g_observer(code, routine ? routine : "");
  DWORD flags = w ? w->flags : g_wrxSharedFlags;
  if (flags & WRXF_SILENT) {
    g_lastError = code;
    strncpy(g_lastRoutine, routine ? routine : "", sizeof g_lastRoutine - 1);
    g_lastRoutine[sizeof g_lastRoutine - 1] = 0;
    return 0;
  }
  HWND owner = w && w->hwnd && IsWindowVisible(w->hwnd) ? w->hwnd : nullptr;
  ShowBox(owner, WrxErrorText(code), routine && *routine ? routine : "Error", MB_OK);
  return 0;
}

// A question from the message table. A silenced window answers No (or
// Cancel) without asking: nobody is there to answer.
int WrxAsk(WrxWindow* w, int code, const char* title, UINT type) {
  if (g_observer) g_observer(code, title ? title : "");
  if (w && (w->flags & WRXF_SILENT) && !g_messageBox) return (type & 0xF) == MB_YESNOCANCEL ? IDCANCEL : IDNO;
  HWND owner = w && w->hwnd && IsWindowVisible(w->hwnd) ? w->hwnd : nullptr;
  return ShowBox(owner, WrxErrorText(code), title ? title : "", type);
}

void WrxFatalError(const char* message) {
  if (message && *message) ShowBox(nullptr, message, "Fatal Error", MB_OK);
  ExitProcess(1);
}

DWORD SetWrxSharedFlags(DWORD flags) {
  DWORD old = g_wrxSharedFlags;
  g_wrxSharedFlags = flags;
  return old;
}

int GetWrxLastError(char* routine, int routineSize) {
  if (routine && routineSize > 0) {
    strncpy(routine, g_lastRoutine, size_t(routineSize) - 1);
    routine[routineSize - 1] = 0;
  }
  return g_lastError;
}

// GetWrxWindow records a bad handle here without a box.
void WrxSetLastError(int code, const char* routine) {
  g_lastError = code;
  strncpy(g_lastRoutine, routine ? routine : "", sizeof g_lastRoutine - 1);
  g_lastRoutine[sizeof g_lastRoutine - 1] = 0;
}

WrxMessageBoxProc SetWrxMessageBoxProc(WrxMessageBoxProc proc) {
  WrxMessageBoxProc old = g_messageBox;
  g_messageBox = proc;
  return old;
}

WrxErrorObserver SetWrxErrorObserver(WrxErrorObserver observer) {
  WrxErrorObserver old = g_observer;
  g_observer = observer;
  return old;
}
