// Bitmaps, DIBs and metafiles of pictures. The control draws from the DIB;
// the device bitmap, colour count and own palette made here are what a
// display or printer needs of it, and metafiles are what RTF carries.
#include "wrx/wrx_picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

int DefaultDisplayBits(HDC dc) {
  HDC screen = dc ? nullptr : GetDC(nullptr);
  HDC use = dc ? dc : screen;
  const int bits = use ? GetDeviceCaps(use, PLANES) * GetDeviceCaps(use, BITSPIXEL) : 24;
  if (screen) ReleaseDC(nullptr, screen);
  return bits;
}

int DisplayBits(HDC dc) { return g_wrxPictureHooks.displayBits(dc); }

int32_t ResX(const WrxWindow* w) { return w->resX > 0 ? w->resX : 96; }
int32_t ResY(const WrxWindow* w) { return w->resY > 0 ? w->resY : 96; }

WrxPictData* DibPicture(WrxWindow* w, int id) {
  if (id <= 0 || id >= w->fontCount) return nullptr;
  WrxFont& f = w->fonts[id];
  if (!(f.style & wrxfmt::kPictureStyle) || !f.pict || f.kind != 0) return nullptr;
  return f.pict;
}

void DropPicture(WrxWindow* w, int id) {
  FreeFontEntry(w, id);
  InitFontEntry(w, id);
}

uint32_t CountColours(const BITMAPINFOHEADER& h) {
  uint32_t n = h.biClrUsed;
  if (!n && h.biBitCount <= 8) n = 1u << h.biBitCount;
  if (h.biClrImportant) n = h.biClrImportant;
  return h.biBitCount > 8 && !h.biClrUsed ? 0 : n;
}

}  // namespace

int StoreDibPicture(WrxWindow* w, wrxdib::Dib&& dib) {
  const int id = NewPictureId(w);
  if (id < 0) return -1;
  WrxFont& f = w->fonts[id];
  WrxPictData& p = *f.pict;
  p.info = std::move(dib.info);
  p.image = std::move(dib.bits);
  p.width = std::max(1, MulDiv(dib.width, 72, ResX(w)));
  p.height = std::max(1, MulDiv(dib.height, 72, ResY(w)));
  f.kind = 0;
  HDC screen = w->dc ? nullptr : GetDC(nullptr);
  const int ok = DIB2Bitmap(w, w->dc ? w->dc : screen, id);
  if (screen) ReleaseDC(nullptr, screen);
  if (!ok) {
    DropPicture(w, id);
    return -1;
  }
  return id;
}

const WrxPictureHooks kDefaultWrxPictureHooks = {DefaultDisplayBits};
WrxPictureHooks g_wrxPictureHooks = kDefaultWrxPictureHooks;

int Bitmap2DIB(WrxWindow* w, HBITMAP bitmap) {
  BITMAP b{};
  if (!bitmap || !GetObjectA(bitmap, sizeof b, &b) || b.bmWidth <= 0 || b.bmHeight <= 0 || b.bmWidth > 32768 ||
      b.bmHeight > 32768)
    return WrxErrorBox(w, 24, "Error"), -1;
  // 24 bits keep every colour of any display's bitmap; an 8-bit run-length
  // form would squeeze true colour into 256.
  wrxdib::Dib dib;
  const size_t rowBytes = wrxdib::RowBytes(b.bmWidth, 24);
  try {
    dib.info.assign(wrxdib::kInfoHeaderSize, 0);
  } catch (const std::bad_alloc&) {
    return WrxErrorBox(w, 108, "Bitmap2DIB"), -1;
  }
  try {
    dib.bits.assign(rowBytes * size_t(b.bmHeight), 0);
  } catch (const std::bad_alloc&) {
    return WrxErrorBox(w, 108, "Bitmap2DIB(a)"), -1;
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = b.bmWidth;
  bi.bmiHeader.biHeight = b.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, UINT(b.bmHeight), dib.bits.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != b.bmHeight) return WrxErrorBox(w, 24, "Bitmap Image"), -1;
  bi.bmiHeader.biSizeImage = DWORD(dib.bits.size());
  bi.bmiHeader.biClrUsed = 0;
  memcpy(dib.info.data(), &bi.bmiHeader, wrxdib::kInfoHeaderSize);
  dib.width = b.bmWidth, dib.height = b.bmHeight, dib.bitCount = 24;
  return StoreDibPicture(w, std::move(dib));
}

int ExtractDIB(WrxWindow* w, HGLOBAL packed) {
  const auto* data = packed ? static_cast<const uint8_t*>(GlobalLock(packed)) : nullptr;
  if (!data) return WrxErrorBox(w, 108, "ExtractDIB"), -1;
  wrxdib::Dib dib;
  int rc;
  try {
    rc = wrxdib::ParsePackedDib(data, GlobalSize(packed), dib);
  } catch (const std::bad_alloc&) {
    GlobalUnlock(packed);
    return WrxErrorBox(w, 108, "ExtractDIB(b)"), -1;
  }
  GlobalUnlock(packed);
  if (rc != wrxdib::kDibOk) return WrxErrorBox(w, 24, "ExtractDIB"), -1;
  return StoreDibPicture(w, std::move(dib));
}

int DIB2Bitmap(WrxWindow* w, HDC dc, int id) {
  WrxPictData* pict = DibPicture(w, id);
  if (!pict) return 1;
  WrxPictData& p = *pict;
  if (p.info.size() < wrxdib::kInfoHeaderSize || p.image.empty()) return WrxErrorBox(w, 44, "Error"), 0;
  const auto* bi = reinterpret_cast<const BITMAPINFO*>(p.info.data());
  const BITMAPINFOHEADER& h = bi->bmiHeader;
  const LONG width = h.biWidth, height = std::abs(h.biHeight);
  const bool rle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
  const size_t need = rle ? h.biSizeImage : wrxdib::RowBytes(width, h.biBitCount) * size_t(height);
  if (width <= 0 || height <= 0 || !need || need > p.image.size()) return WrxErrorBox(w, 44, "Error"), 0;
  const int depth = DisplayBits(dc);
  p.bitmap.Reset(nullptr);
  HBITMAP bitmap = CreateBitmap(width, height, 1, UINT(depth), nullptr);
  if (!bitmap) return WrxErrorBox(w, 108, "DIB2Bitmap"), 0;
  HDC screen = dc ? nullptr : GetDC(nullptr);
  const int rows = SetDIBits(dc ? dc : screen, bitmap, 0, UINT(height), p.image.data(), bi, DIB_RGB_COLORS);
  if (screen) ReleaseDC(nullptr, screen);
  if (rows <= 0) {
    DeleteObject(bitmap);
    return WrxErrorBox(w, 21, "DIB2Bitmap"), 0;
  }
  p.bitmap.Reset(bitmap);
  p.colours = CountColours(h);
  p.palette.clear();
  if (depth == 8 && p.colours == 0 && h.biBitCount == 24 && !rle) {
    // Made from the colours as a copy: the DIB keeps its own.
    try {
      p.palette = wrxdib::BuildOwnPalette(p.image.data(), p.image.size(), width, height);
    } catch (const std::bad_alloc&) {
      WrxErrorBox(w, 108, "OurAlloc");
      p.palette.clear();
    }
  }
  SetPictSize(w, id, MulDiv(p.height, ResY(w), 72), MulDiv(p.width, ResX(w), 72));
  return 1;
}

HGLOBAL MetafileToBlock(HMETAFILE metafile) {
  const UINT size = metafile ? GetMetaFileBitsEx(metafile, 0, nullptr) : 0;
  if (!size) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size_t(size) + 1);
  void* p = block ? GlobalLock(block) : nullptr;
  if (!p) {
    if (block) GlobalFree(block);
    return nullptr;
  }
  const UINT got = GetMetaFileBitsEx(metafile, size, p);
  GlobalUnlock(block);
  if (got != size) {
    GlobalFree(block);
    return nullptr;
  }
  DeleteMetaFile(metafile);
  return block;
}

size_t MetafileBlockBytes(HGLOBAL block) {
  const auto* p = block ? static_cast<const uint8_t*>(GlobalLock(block)) : nullptr;
  if (!p) return 0;
  const size_t bytes = wrxdib::MetafileBytes(p, GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

HMETAFILE MetafileFromBlock(HGLOBAL block) {
  // The header's own size is checked against the block first: a lying one
  // would have the metafile read past it.
  const size_t bytes = MetafileBlockBytes(block);
  if (!bytes) return nullptr;
  const void* p = GlobalLock(block);
  if (!p) return nullptr;
  HMETAFILE metafile = SetMetaFileBitsEx(UINT(bytes), static_cast<const BYTE*>(p));
  GlobalUnlock(block);
  if (metafile) GlobalFree(block);
  return metafile;
}

HMETAFILE DibToMetafile(WrxWindow* w, int id) {
  const WrxPictData* pict = DibPicture(w, id);
  if (!pict || pict->info.size() < wrxdib::kInfoHeaderSize || pict->image.empty()) return nullptr;
  const WrxPictData& p = *pict;
  const auto* bi = reinterpret_cast<const BITMAPINFO*>(p.info.data());
  const LONG width = bi->bmiHeader.biWidth, height = std::abs(bi->bmiHeader.biHeight);
  HDC mdc = CreateMetaFileA(nullptr);
  if (!mdc) return WrxErrorBox(w, 54, "Rtf error"), nullptr;
  SetWindowOrgEx(mdc, 0, 0, nullptr);
  SetWindowExtEx(mdc, width, height, nullptr);
  SetTextColor(mdc, RGB(0, 0, 0));
  SetBkColor(mdc, RGB(255, 255, 255));
  SetStretchBltMode(mdc, COLORONCOLOR);
  HPALETTE palette = nullptr;
  if (p.colours > 16 || !p.palette.empty()) {
    const size_t tableAt = wrxdib::kInfoHeaderSize + (bi->bmiHeader.biCompression == BI_BITFIELDS ? 12 : 0);
    const size_t fromTable = p.info.size() > tableAt ? (p.info.size() - tableAt) / 4 : 0;
    const size_t count = p.palette.empty() ? std::min<size_t>(fromTable, 256) : p.palette.size();
    if (count) {
      std::vector<uint8_t> space(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
      auto* log = reinterpret_cast<LOGPALETTE*>(space.data());
      log->palVersion = 0x300;
      log->palNumEntries = WORD(count);
      for (size_t i = 0; i < count; ++i) {
        PALETTEENTRY& e = log->palPalEntry[i];
        if (!p.palette.empty()) {
          e = PALETTEENTRY{p.palette[i].red, p.palette[i].green, p.palette[i].blue, 0};
        } else {
          const uint8_t* q = p.info.data() + tableAt + 4 * i;
          e = PALETTEENTRY{q[2], q[1], q[0], 0};
        }
      }
      palette = CreatePalette(log);
      if (palette) {
        SelectPalette(mdc, palette, FALSE);
        RealizePalette(mdc);
      }
    }
  }
  StretchDIBits(mdc, 0, 0, width, height, 0, 0, width, height, p.image.data(), bi, DIB_RGB_COLORS, SRCCOPY);
  HMETAFILE drawn = CloseMetaFile(mdc);
  if (palette) DeleteObject(palette);
  if (!drawn) return WrxErrorBox(w, 54, "Rtf error"), nullptr;
  HGLOBAL block = MetafileToBlock(drawn);
  if (!block) {
    DeleteMetaFile(drawn);
    return WrxErrorBox(w, 51, "Error"), nullptr;
  }
  HMETAFILE metafile = MetafileFromBlock(block);
  if (!metafile) {
    GlobalFree(block);
    return WrxErrorBox(w, 56, "Error"), nullptr;
  }
  return metafile;
}
