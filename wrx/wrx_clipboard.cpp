// Pictures from the clipboard and from BMP and WMF files, embedded child
// controls, and the host calls that read and change a picture's settings.
// Every picture is kept as a DIB (a metafile is drawn into one at its size).
#include "wrx/wrx_block.h"
#include "wrx/wrx_dib.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kControlRecordSize = 68;
#pragma pack(push, 1)
struct ControlRecord {
  char className[60];
  uint32_t style;
  uint32_t controlId;
};
#pragma pack(pop)
static_assert(sizeof(ControlRecord) == kControlRecordSize);

int32_t ScreenResX(const WrxWindow* w) { return w->resX > 0 ? w->resX : 96; }
int32_t ScreenResY(const WrxWindow* w) { return w->resY > 0 ? w->resY : 96; }

bool IsPicture(const WrxWindow* w, int id) {
  return id > 0 && id < w->fontCount && w->fonts[id].inUse && (w->fonts[id].style & wrxfmt::kPictureStyle) &&
         w->fonts[id].pict;
}

// Reads a whole file, refusing one larger than `limit`.
bool ReadWholeFile(const char* name, std::vector<uint8_t>& out, size_t limit) {
  FILE* f = fopen(name, "rb");
  if (!f) return false;
  bool ok = fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? ftell(f) : -1;
  ok = ok && size >= 0 && size_t(size) <= limit && fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(size_t(size));
    ok = size == 0 || fread(out.data(), 1, size_t(size), f) == size_t(size);
  }
  fclose(f);
  return ok;
}

// Draws a metafile into a 24-bit DIB of the given pixel size; `ext` is the
// metafile's own box (logical units) when known.
bool RasteriseMetafile(WrxWindow* w, HMETAFILE mf, int32_t width, int32_t height, const RECT* box, wrxdib::Dib& out) {
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!mem || !bmp || !bits) {
    if (bmp) DeleteObject(bmp);
    if (mem) DeleteDC(mem);
    return false;
  }
  HGDIOBJ old = SelectObject(mem, bmp);
  RECT all{0, 0, width, height};
  FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetMapMode(mem, MM_ANISOTROPIC);
  if (box) {
    SetWindowOrgEx(mem, box->left, box->top, nullptr);
    SetWindowExtEx(mem, box->right - box->left, box->bottom - box->top, nullptr);
  } else {
    SetWindowExtEx(mem, width, height, nullptr);
  }
  SetViewportExtEx(mem, width, height, nullptr);
  PlayMetaFile(mem, mf);
  GdiFlush();
  const size_t rowBytes = wrxdib::RowBytes(width, 24);
  out.bits.assign(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + rowBytes * size_t(height));
  out.info.assign(wrxdib::kInfoHeaderSize, 0);
  memcpy(out.info.data(), &bi.bmiHeader, wrxdib::kInfoHeaderSize);
  wrxdib::Put32(out.info.data() + 20, uint32_t(out.bits.size()));
  out.width = width, out.height = height, out.bitCount = 24;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  (void)w;
  return true;
}

// A device bitmap as a 24-bit DIB.
bool BitmapToDib(HBITMAP bmp, wrxdib::Dib& out) {
  BITMAP b{};
  if (!GetObjectA(bmp, sizeof b, &b) || b.bmWidth <= 0 || b.bmHeight <= 0 || b.bmWidth > 32768 || b.bmHeight > 32768)
    return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = b.bmWidth;
  bi.bmiHeader.biHeight = b.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  out.bits.assign(wrxdib::RowBytes(b.bmWidth, 24) * size_t(b.bmHeight), 0);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bmp, 0, UINT(b.bmHeight), out.bits.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows <= 0) return false;
  out.info.assign(wrxdib::kInfoHeaderSize, 0);
  bi.bmiHeader.biSizeImage = DWORD(out.bits.size());
  memcpy(out.info.data(), &bi.bmiHeader, wrxdib::kInfoHeaderSize);
  out.width = b.bmWidth, out.height = b.bmHeight, out.bitCount = 24;
  return true;
}

int MetafileToPicture(WrxWindow* w, HGLOBAL handle, int alignment, int insert) {
  const auto* mfp = static_cast<const METAFILEPICT*>(GlobalLock(handle));
  if (!mfp) return WrxErrorBox(w, 50, "Clipboard"), 0;
  int32_t width = 0, height = 0;
  if (mfp->mm == MM_TEXT) {
    width = mfp->xExt, height = mfp->yExt;
  } else if (mfp->mm == MM_ANISOTROPIC) {
    width = int32_t(long(mfp->xExt) * ScreenResX(w) / 2500);
    height = int32_t(long(mfp->yExt) * ScreenResY(w) / 2500);
  }
  HMETAFILE copy = width > 0 && height > 0 ? CopyMetaFileA(mfp->hMF, nullptr) : nullptr;
  GlobalUnlock(handle);
  if (width <= 0 || height <= 0) return 0;
  if (!copy) return WrxErrorBox(w, 53, "MetafileToPicture"), 0;
  wrxdib::Dib dib;
  const bool ok = RasteriseMetafile(w, copy, width, height, nullptr, dib);
  DeleteMetaFile(copy);
  if (!ok) return WrxErrorBox(w, 56, "MetafileToPicture"), 0;
  return PictureFromDib(w, std::move(dib.info), std::move(dib.bits), width, height, alignment, insert,
                        "MetafileToPicture");
}

int PasteDib(WrxWindow* w, HGLOBAL handle, int alignment, int insert) {
  const auto* data = static_cast<const uint8_t*>(GlobalLock(handle));
  if (!data) return 0;
  wrxdib::Dib dib;
  const int rc = wrxdib::ParsePackedDib(data, GlobalSize(handle), dib);
  GlobalUnlock(handle);
  if (rc != wrxdib::kDibOk) return 0;
  return PictureFromDib(w, std::move(dib.info), std::move(dib.bits), dib.width, dib.height, alignment, insert,
                        "WrxPastePicture");
}

}  // namespace

int NewPictureId(WrxWindow* w) {
  const int id = AddFontEntry(w);
  if (id < 0) return -1;
  WrxFont& f = w->fonts[id];
  f.pict = new (std::nothrow) WrxPictData;
  if (!f.pict) {
    FreeFontEntry(w, id);
    InitFontEntry(w, id);
    WrxErrorBox(w, 108, "hInfo");
    return -1;
  }
  strncpy(f.face, "Picture", sizeof f.face - 1);
  f.style = wrxfmt::kPictureStyle;
  f.inUse = 1;
  return id;
}

int SizePictureForScreen(WrxWindow* w, int id) {
  const WrxPictData* p = w->fonts[id].pict;
  if (!p) return 0;
  return SetPictSize(w, id, MulDiv(p->height, ScreenResY(w), 72), MulDiv(p->width, ScreenResX(w), 72));
}

int PictureFromDib(WrxWindow* w, std::vector<uint8_t>&& info, std::vector<uint8_t>&& bits, int32_t widthPx,
                   int32_t heightPx, int alignment, int insert, const char* routine) {
  const int id = NewPictureId(w);
  if (id < 0) return 0;
  WrxFont& f = w->fonts[id];
  WrxPictData& p = *f.pict;
  p.info = std::move(info);
  p.image = std::move(bits);
  p.width = std::max(1, MulDiv(widthPx, 72, ScreenResX(w)));
  p.height = std::max(1, MulDiv(heightPx, 72, ScreenResY(w)));
  p.alignMode = alignment;
  f.kind = 0;
  if (!SizePictureForScreen(w, id)) {
    FreeFontEntry(w, id);
    InitFontEntry(w, id);
    WrxErrorBox(w, 108, routine);
    return 0;
  }
  if (insert) InsertObjectChar(w, id, 0);
  return id;
}

int CreatePictControl(WrxWindow* w, int id) {
  WrxFont& f = w->fonts[id];
  if (!f.pict || f.pict->info.size() < kControlRecordSize) return 0;
  ControlRecord rec;
  memcpy(&rec, f.pict->info.data(), sizeof rec);
  rec.className[sizeof rec.className - 1] = 0;
  HWND control = CreateWindowExA(0, rec.className, "", rec.style, 0, 0, MulDiv(f.pict->width, ScreenResX(w), 72),
                                 MulDiv(f.pict->height, ScreenResY(w), 72), w->hwnd,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(rec.controlId)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(w->hwnd, GWLP_HINSTANCE)), nullptr);
  f.pict->control = control;
  return control ? 1 : 0;
}

int WrxPastePicture(HWND hwnd, UINT format, HANDLE handle, int frameId, int alignment, int insert) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  (void)frameId;
  if (!format && !handle) {
    for (UINT f : {UINT(CF_METAFILEPICT), UINT(CF_DIB), UINT(CF_BITMAP)})
      if (IsClipboardFormatAvailable(f)) {
        format = f;
        break;
      }
    if (!format) return 0;
  }
  const bool opened = !handle;
  if (opened) {
    if (!OpenClipboard(w->hwnd)) return WrxErrorBox(w, 9, "WrxPastePicture"), 0;
    handle = GetClipboardData(format);
  }
  int id = 0;
  if (handle) {
    switch (format) {
      case CF_METAFILEPICT: id = MetafileToPicture(w, static_cast<HGLOBAL>(handle), alignment, insert); break;
      case CF_DIB: id = PasteDib(w, static_cast<HGLOBAL>(handle), alignment, insert); break;
      case CF_BITMAP: {
        wrxdib::Dib dib;
        if (BitmapToDib(static_cast<HBITMAP>(handle), dib))
          id = PictureFromDib(w, std::move(dib.info), std::move(dib.bits), dib.width, dib.height, alignment, insert,
                              "WrxPastePicture");
        break;
      }
      default: break;
    }
  }
  if (opened) CloseClipboard();
  if (!id) return WrxErrorBox(w, 11, "WrxPastePicture"), 0;
  return id;
}

int WrxPictLinkFile(HWND hwnd, int id, int get, char* name) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !IsPicture(w, id)) return 0;
  WrxPictData& p = *w->fonts[id].pict;
  if (get) {
    if (!name) return 0;
    const size_t n = std::min<size_t>(p.linkName.size(), MAX_PATH - 1);
    memcpy(name, p.linkName.data(), n);
    name[n] = 0;
    return 1;
  }
  p.linkName = name ? std::string(name, strnlen(name, MAX_PATH - 1)) : std::string();
  return 1;
}

int GetWrxPictInfo(HWND hwnd, int id, DWORD* flags, RECT* rect, int* alignment, int* aux) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || id < 0 || id >= w->fontCount || !w->fonts[id].inUse) return 0;
  const WrxFont& f = w->fonts[id];
  if ((f.style & wrxfmt::kPictureStyle) && !f.pict) return 0;
  if (flags) *flags = f.style;
  if (rect) {
    *rect = RECT{};
    if (f.pict) {
      rect->left = f.pict->screenX, rect->top = f.pict->screenY;
      rect->right = rect->left + (f.widths ? f.widths['_'] : 0);
      rect->bottom = rect->top + f.lineHeight;
    }
  }
  if (alignment) *alignment = f.pict ? f.pict->alignMode : f.pictAlign;
  if (aux) *aux = f.extra;
  return 1;
}

int SetWrxPictInfo(HWND hwnd, int id, DWORD flags, int alignment, int aux) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || id < 0 || id >= w->fontCount || !w->fonts[id].inUse) return 0;
  WrxFont& f = w->fonts[id];
  // A picture stays a picture and a font a font, whatever the flags say.
  f.style = (flags & ~DWORD(wrxfmt::kPictureStyle)) | (f.style & wrxfmt::kPictureStyle);
  f.extra = aux;
  if (f.pict && f.pict->alignMode != alignment) {
    f.pict->alignMode = alignment;
    SizePictureForScreen(w, id);
  }
  ++w->modified;
  return 1;
}

int SetWrxPictSize(HWND hwnd, int id, int width, int height) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !IsPicture(w, id)) return 0;
  WrxPictData& p = *w->fonts[id].pict;
  if (width >= 0) p.width = MulDiv(width, 72, ScreenResX(w));
  if (height >= 0) p.height = MulDiv(height, 72, ScreenResY(w));
  SizePictureForScreen(w, id);
  if (p.control)
    SetWindowPos(p.control, nullptr, 0, 0, MulDiv(p.width, ScreenResX(w), 72), MulDiv(p.height, ScreenResY(w), 72),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ++w->modified;
  return 1;
}

int DetectPictureFile(WrxWindow* w, const char* fileName, int report) {
  FILE* f = fopen(fileName, "rb");
  if (!f) return report ? WrxErrorBox(w, 68, fileName) : 0;
  uint8_t head[22];
  const size_t n = fread(head, 1, sizeof head, f);
  fclose(f);
  if (n < 14) return report ? WrxErrorBox(w, 69, fileName) : 0;
  if (head[0] == 'B' && head[1] == 'M') return 1;
  if (n < 22) return report ? WrxErrorBox(w, 55, fileName) : 0;
  return wrxdib::Get32(head) == wrxdib::kPlaceableKey ? 2 : 0;
}

int WrxPictureFromFile(HWND hwnd, const char* fileName, int alignment, int insert) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (!fileName || !*fileName) return -1;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, bytes, size_t(300) << 20)) return WrxErrorBox(w, 68, "WrxPictureFromFile"), 0;
  wrxdib::Dib dib;
  if (wrxdib::ParseBmpFile(bytes.data(), bytes.size(), dib) != wrxdib::kDibOk)
    return WrxErrorBox(w, 1, "WrxPictureFromFile"), 0;
  return PictureFromDib(w, std::move(dib.info), std::move(dib.bits), dib.width, dib.height, alignment, insert,
                        "WrxPictureFromFile");
}

int WrxMetafileFromFile(HWND hwnd, const char* fileName, int alignment, int insert) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (!fileName || !*fileName) return -1;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, bytes, size_t(64) << 20)) return WrxErrorBox(w, 55, "WrxMetafileFromFile"), 0;
  wrxdib::Placeable head;
  if (bytes.size() < wrxdib::kPlaceableSize) return WrxErrorBox(w, 55, "WrxMetafileFromFile"), 0;
  if (!wrxdib::ParsePlaceable(bytes.data(), bytes.size(), head)) return WrxErrorBox(w, 52, "WrxMetafileFromFile"), 0;
  const uint8_t* body = bytes.data() + wrxdib::kPlaceableSize;
  const size_t bodySize = wrxdib::MetafileBytes(body, bytes.size() - wrxdib::kPlaceableSize);
  if (!bodySize) return WrxErrorBox(w, 55, "WrxMetafileFromFile"), 0;
  HMETAFILE mf = SetMetaFileBitsEx(UINT(bodySize), body);
  if (!mf) return WrxErrorBox(w, 56, "WrxMetafileFromFile"), 0;
  const int32_t height = int32_t((long(head.bottom) - head.top) * ScreenResY(w) / head.unitsPerInch);
  const int32_t width = int32_t((long(head.right) - head.left) * ScreenResX(w) / head.unitsPerInch);
  const RECT box{head.left, head.top, head.right, head.bottom};
  wrxdib::Dib dib;
  const bool ok = RasteriseMetafile(w, mf, width, height, &box, dib);
  DeleteMetaFile(mf);
  if (!ok) return WrxErrorBox(w, 56, "WrxMetafileFromFile"), 0;
  return PictureFromDib(w, std::move(dib.info), std::move(dib.bits), width, height, alignment, insert,
                        "WrxMetafileFromFile");
}

int WrxInsertPictureFile(HWND hwnd, const char* fileName, int noLink, int alignment, int insert) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (!fileName || !*fileName) return -1;
  const int kind = DetectPictureFile(w, fileName, 1);
  if (kind != 1 && kind != 2) {
    if (kind == 0) WrxErrorBox(w, 67, "WrxInsertPictureFile");
    return -1;
  }
  const int id = kind == 1 ? WrxPictureFromFile(hwnd, fileName, alignment, insert)
                           : WrxMetafileFromFile(hwnd, fileName, alignment, insert);
  if (id > 0 && !noLink) w->fonts[id].pict->linkName = fileName;
  return id > 0 ? id : -1;
}

int WrxInsertControl(HWND hwnd, const char* className, DWORD style, int width, int height, int alignment, int controlId,
                     int insert) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !className) return 0;
  const int id = NewPictureId(w);
  if (id < 0) return 0;
  ControlRecord rec{};
  strncpy(rec.className, className, sizeof rec.className - 1);
  rec.style = (style & ~DWORD(0x10CF0000)) | WS_CHILD | WS_CLIPSIBLINGS | (style & WS_BORDER);
  rec.controlId = uint32_t(controlId);
  WrxFont& f = w->fonts[id];
  f.kind = 2;
  f.extra = controlId;
  f.pict->info.assign(reinterpret_cast<const uint8_t*>(&rec), reinterpret_cast<const uint8_t*>(&rec) + sizeof rec);
  f.pict->width = std::max(1, width / 20);
  f.pict->height = std::max(1, height / 20);
  f.pict->alignMode = alignment;
  if (!SizePictureForScreen(w, id) || !CreatePictControl(w, id)) {
    FreeFontEntry(w, id);
    InitFontEntry(w, id);
    WrxErrorBox(w, 22, "WrxInsertControl");
    return 0;
  }
  if (insert) InsertObjectChar(w, id, 0);
  return id;
}

HWND GetWrxControlWindow(HWND hwnd, int id) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !IsPicture(w, id)) return nullptr;
  return w->fonts[id].pict->control;
}
