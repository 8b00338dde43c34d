// Pictures from the clipboard and from BMP and WMF files, embedded child
// controls, and the host calls that read and change a picture's settings.
// Every picture is kept as a DIB (a metafile is drawn into one at its size).
#include "wrx/wrx_block.h"
#include "wrx/wrx_dib.h"
#include "wrx/wrx_picture.h"

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

// The picture's alignment and place in the text, once its entry is made.
int PlacePicture(WrxWindow* w, int id, int alignment, int insert) {
  if (id <= 0) return 0;
  w->fonts[id].pict->alignMode = alignment;
  SizePictureForScreen(w, id);
  if (insert) InsertObjectChar(w, id, 0);
  return id;
}

// A metafile drawn into a new picture at the given pixel size.
int PictureFromMetafile(WrxWindow* w, HMETAFILE mf, int32_t width, int32_t height, const RECT* box, int alignment,
                        int insert, const char* routine) {
  wrxdib::Dib dib;
  const bool ok = RasteriseMetafile(w, mf, width, height, box, dib);
  DeleteMetaFile(mf);
  if (!ok) return WrxErrorBox(w, 56, routine), 0;
  return PictureFromDib(w, std::move(dib.info), std::move(dib.bits), width, height, alignment, insert, routine);
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
  // The copy's bits are taken out and made a metafile again, so that what is
  // kept depends on no handle of the clipboard's owner.
  HGLOBAL block = MetafileToBlock(copy);
  if (!block) {
    DeleteMetaFile(copy);
    return WrxErrorBox(w, 51, "MetafileToPicture"), 0;
  }
  HMETAFILE mf = MetafileFromBlock(block);
  if (!mf) {
    GlobalFree(block);
    return WrxErrorBox(w, 56, "MetafileToPicture"), 0;
  }
  return PictureFromMetafile(w, mf, width, height, nullptr, alignment, insert, "MetafileToPicture");
}

// Bytes as a global block of metafile bits made a metafile; 0 for bits that
// are no metafile (or no memory).
HMETAFILE MetafileFromBytes(const uint8_t* bits, size_t size) {
  const size_t bytes = wrxdib::MetafileBytes(bits, size);
  HGLOBAL block = bytes ? GlobalAlloc(GMEM_MOVEABLE, bytes + 1) : nullptr;
  void* p = block ? GlobalLock(block) : nullptr;
  if (!p) {
    if (block) GlobalFree(block);
    return nullptr;
  }
  memcpy(p, bits, bytes);
  GlobalUnlock(block);
  HMETAFILE mf = MetafileFromBlock(block);
  if (!mf) GlobalFree(block);
  return mf;
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
  wrxdib::Dib dib;
  dib.info = std::move(info);
  dib.bits = std::move(bits);
  dib.width = widthPx, dib.height = heightPx;
  const int id = StoreDibPicture(w, std::move(dib));
  (void)routine;
  return id < 0 ? 0 : PlacePicture(w, id, alignment, insert);
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

int PictureFromMetafileBits(WrxWindow* w, const uint8_t* bits, size_t size, int32_t width, int32_t height,
                            int alignment) {
  if (width <= 0 || height <= 0) return 0;
  HMETAFILE mf = MetafileFromBytes(bits, size);
  if (!mf) return 0;
  return PictureFromMetafile(w, mf, width, height, nullptr, alignment, 0, "WriteRtfMetafile");
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
      case CF_DIB: id = PlacePicture(w, ExtractDIB(w, static_cast<HGLOBAL>(handle)), alignment, insert); break;
      case CF_BITMAP: id = PlacePicture(w, Bitmap2DIB(w, static_cast<HBITMAP>(handle)), alignment, insert); break;
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

int EditPictureParam(HWND hwnd, int width, int height, int alignment) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (w->curCol < 0 || w->curCol >= w->lines[line]->length) return 0;
  const int id = GetCharFont(w, line, w->curCol);
  if (!IsPicture(w, id)) return 0;
  auto inRange = [](int v) { return v < 0 || (v >= 10 && v <= 1500); };
  if (!inRange(width) || !inRange(height) || alignment > 2) return WrxBeep(w), 0;
  WrxPictData& p = *w->fonts[id].pict;
  if (width >= 0) p.width = MulDiv(width, 72, 100);
  if (height >= 0) p.height = MulDiv(height, 72, 100);
  if (alignment >= 0) p.alignMode = alignment;
  SizePictureForScreen(w, id);
  if (p.control)
    SetWindowPos(p.control, nullptr, 0, 0, MulDiv(p.width, ScreenResX(w), 72), MulDiv(p.height, ScreenResY(w), 72),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ++w->modified;
  if (line < w->staleLine) w->staleLine = line;
  if (w->arg.wordWrap) WordWrap(w, line, 1);
  WrxRefreshWindow(hwnd, 1);
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
  HMETAFILE mf = MetafileFromBytes(body, bodySize);
  if (!mf) return WrxErrorBox(w, 56, "WrxMetafileFromFile"), 0;
  const int32_t height = int32_t((long(head.bottom) - head.top) * ScreenResY(w) / head.unitsPerInch);
  const int32_t width = int32_t((long(head.right) - head.left) * ScreenResX(w) / head.unitsPerInch);
  const RECT box{head.left, head.top, head.right, head.bottom};
  return PictureFromMetafile(w, mf, width, height, &box, alignment, insert, "WrxMetafileFromFile");
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

int InsertTextAt(WrxWindow* w, const char* text, int32_t length, const uint8_t* ids, const std::vector<int32_t>* paras,
                 int noParaEnd) {
  if (!text || length <= 0) return 1;
  int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  int32_t col = std::clamp(w->curCol, 0, w->lines[line]->length);
  const int32_t firstLine = line;
  const long startAbs = RowColToAbs(w, line, col);
  auto validFont = [w](int id) { return id >= 0 && id < w->fontCount && w->fonts[id].inUse; };
  int fill = 0;
  if (!ids) {
    if (validFont(w->inputFont)) {
      fill = w->inputFont;
    } else if (col > 0) {
      fill = GetCharFont(w, line, col - 1);
      if (w->fonts[fill].style & wrxfmt::kPictureStyle) fill = 0;
    }
    if (!validFont(fill) || w->fonts[fill].kind == 1) fill = 0;
  }
  auto paraFor = [&](int32_t index) -> int32_t {
    if (!paras || paras->empty()) return -1;
    const int32_t p = (*paras)[size_t(std::min<int32_t>(index, int32_t(paras->size()) - 1))];
    return p >= 0 && size_t(p) < w->paras.size() ? p : 0;
  };
  int32_t lineIndex = 0;
  if (paraFor(0) >= 0) w->lines[line]->para = paraFor(0);
  int32_t k = 0;
  while (k < length && text[k]) {
    const int32_t room =
        std::max(0, (w->arg.wordWrap ? WRX_MAXLINELEN * 3 / 4 : WRX_MAXLINELEN) - w->lines[line]->length - 1);
    const int32_t start = k;
    bool lineEnd = false, crlf = false, roomBreak = false;
    while (k < length && text[k]) {
      const uint8_t c = uint8_t(text[k]);
      if (c == 13 && k + 1 < length && text[k + 1] == 10) {
        lineEnd = crlf = true;
        break;
      }
      if (k - start >= room) {
        lineEnd = roomBreak = true;
        break;
      }
      ++k;
      if (w->arg.wordWrap && c == w->paraEnd) {
        lineEnd = true;
        break;
      }
    }
    int32_t n = k - start;
    // A section break never starts a chunk.
    int32_t skip = n > 0 && uint8_t(text[start]) == WRX_SECTBREAK ? 1 : 0;
    if (n - skip > 0) {
      if (!InsertInLine(w, line, col, text + start + skip, n - skip, ids ? ids + start + skip : nullptr, uint8_t(fill)))
        break;
      col += n - skip;
    }
    if (crlf) k += 2;
    if (!lineEnd || (k >= length && !crlf && !(w->arg.wordWrap && n > 0 && uint8_t(text[k - 1]) == w->paraEnd)))
      continue;
    if (w->arg.wordWrap && crlf && !noParaEnd) {
      const WrxLine* l = w->lines[line];
      if (col == 0 || uint8_t(l->text[col - 1]) != w->paraEnd) {
        const char pe = char(w->paraEnd);
        int id = validFont(w->inputFont) ? w->inputFont : (col > 0 ? GetCharFont(w, line, col - 1) : 0);
        if (w->fonts[id].style & wrxfmt::kPictureStyle) id = 0;
        InsertInLine(w, line, col, &pe, 1, nullptr, uint8_t(id));
        ++col;
      }
    }
    if (!SplitLineAt(w, line, col)) {
      WrxErrorBox(w, 88, "Block Size Error");
      break;
    }
    // A full line at the insertion point: its text moves down and the
    // insertion goes on in the emptied line.
    if (roomBreak && n == 0 && col == 0) continue;
    ++line, col = 0, ++lineIndex;
    if (paraFor(lineIndex) >= 0) w->lines[line]->para = paraFor(lineIndex);
  }
  w->curLine = line, w->curCol = col;
  const long endAbs = RowColToAbs(w, line, col) - 1;
  if (endAbs >= startAbs && SaveUndo(w, firstLine, 0, firstLine, 0, 'I') && !w->undoBusy && !w->undo.empty()) {
    w->undo.back().start = startAbs;
    w->undo.back().end = endAbs;
  }
  ++w->modified;
  if (firstLine < w->staleLine) w->staleLine = firstLine;
  return 1;
}

// ---- Cut, copy and paste ----

namespace {

UINT RtfFormat() { return RegisterClipboardFormatA("Rich Text Format"); }

// One line's part [c1, c2) as clipboard text: footnote text left out, a
// paragraph end (with word wrap) or every line (without) ending in CR LF.
void CopyLineText(WrxWindow* w, int32_t line, int32_t c1, int32_t c2, std::string& out) {
  const WrxLine* l = w->lines[line];
  c1 = std::clamp(c1, 0, l->length), c2 = std::clamp(c2, c1, l->length);
  bool paraEnd = false;
  for (int32_t c = c1; c < c2; ++c) {
    const uint8_t ch = uint8_t(l->text[c]);
    if (w->fonts[GetCharFont(w, line, c)].style & (0x800 | 0x1000)) continue;
    if (w->arg.wordWrap && c == c2 - 1 && ch == w->paraEnd) {
      paraEnd = true;
      break;
    }
    out.push_back(char(ch));
  }
  if (paraEnd || !w->arg.wordWrap) out += "\r\n";
}

}  // namespace

int CopyToClipboard(WrxWindow* w, int command) {
  const bool cut = command == 628;
  if (cut && w->arg.readOnly) return 0;
  if (!w->hilight || !NormalizeBlock(w)) return 0;
  if (!OpenClipboard(w->hwnd)) return WrxErrorBox(w, 9, "CopyToClipboard");
  const int savedKind = w->hilight;
  const int32_t savedFirst = w->hlFirstCol, savedLast = w->hlLastCol;
  if (w->hilight == 1) {
    // A line block copies as characters from its first line's start to its
    // last line's end.
    w->hilight = 2;
    w->hlFirstCol = 0;
    w->hlLastCol = w->lines[w->hlLastLine]->length;
  }
  std::string text;
  for (int32_t line = w->hlFirstLine; line <= w->hlLastLine; ++line)
    CopyLineText(w, line, line == w->hlFirstLine ? w->hlFirstCol : 0,
                 line == w->hlLastLine ? w->hlLastCol : w->lines[line]->length, text);
  if (text.size() >= 3 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, text.size() + 1);
  char* p = h ? static_cast<char*>(GlobalLock(h)) : nullptr;
  if (!p) {
    if (h) GlobalFree(h);
    CloseClipboard();
    w->hilight = savedKind, w->hlFirstCol = savedFirst, w->hlLastCol = savedLast;
    return WrxErrorBox(w, 108, "CopyToClipboard");
  }
  memcpy(p, text.data(), text.size());
  p[text.size()] = 0;
  GlobalUnlock(h);
  EmptyClipboard();
  if (!SetClipboardData(CF_TEXT, h)) GlobalFree(h);
  RtfWrite(w, 2, nullptr);
  CloseClipboard();
  w->hilight = savedKind, w->hlFirstCol = savedFirst, w->hlLastCol = savedLast;
  if (cut) {
    if (w->hilight == 1)
      DeleteLineBlock(w, 1);
    else
      DeleteCharBlock(w, 1);
  }
  PaintWrx(w);
  return 1;
}

int CopyFromClipboard(WrxWindow* w, UINT format) {
  if (w->arg.readOnly) return 0;
  const UINT rtf = RtfFormat();
  if (format == 0 && !IsClipboardFormatAvailable(rtf) &&
      (IsClipboardFormatAvailable(CF_METAFILEPICT) || IsClipboardFormatAvailable(CF_DIB) ||
       IsClipboardFormatAvailable(CF_BITMAP)))
    return WrxPastePicture(w->hwnd, 0, nullptr, 0, 0, 1) > 0;
  if (w->hilight == 2 && !DeleteCharBlock(w, 1)) return 0;
  --w->undoGroup;
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (!IsEditablePos(w, w->curLine, w->curCol) && w->curCol < w->lines[w->curLine]->length) return WrxBeep(w), 0;
  if (!OpenClipboard(w->hwnd)) return WrxErrorBox(w, 9, "CopyFromClipboard");
  UINT take = 0;
  if (format == 1)
    take = IsClipboardFormatAvailable(CF_TEXT) ? CF_TEXT : 0;
  else if (format == rtf)
    take = IsClipboardFormatAvailable(rtf) ? rtf : 0;
  else
    take = IsClipboardFormatAvailable(rtf) ? rtf : IsClipboardFormatAvailable(CF_TEXT) ? CF_TEXT : 0;
  HANDLE h = take ? GetClipboardData(take) : nullptr;
  if (!h) {
    CloseClipboard();
    return WrxErrorBox(w, 11, "CopyFromClipboard");
  }
  const char* data = static_cast<const char*>(GlobalLock(h));
  if (!data) {
    CloseClipboard();
    return WrxErrorBox(w, 108, "CopyFromClipboard");
  }
  // Nothing is read past the block, terminated or not.
  const size_t size = strnlen(data, GlobalSize(h));
  w->curCol = std::clamp(w->curCol, 0, w->lines[w->curLine]->length);
  int ok;
  if (take == rtf) {
    ok = InsertWrxRtf(w->hwnd, data, long(size), w->curLine, w->curCol, 0);
  } else {
    const int32_t first = w->curLine;
    ok = InsertTextAt(w, data, int32_t(std::min<size_t>(size, 0x7FFFFFFF)), nullptr, nullptr, 0);
    if (w->arg.wordWrap) WordWrap(w, std::max(0, first - 1), w->curLine - first + 3);
  }
  GlobalUnlock(h);
  CloseClipboard();
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (w->curLine < w->firstLine || w->curLine >= w->firstLine + std::max(1, w->linesPerWindow))
    w->firstLine = std::max(0, w->curLine - w->linesPerWindow / 2);
  w->curRow = w->curLine - w->firstLine;
  w->hilight = 0;
  PaintWrx(w);
  return ok;
}

int SelectAllCopy(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (w->hilight) return CopyToClipboard(w, 629);
  w->hilight = 2;
  w->hlFirstLine = 0, w->hlFirstCol = 0;
  AbsToRowCol(w, 99999999, &w->hlLastLine, &w->hlLastCol);
  w->hlLastLine = w->lineCount - 1;
  w->hlLastCol = w->lines[w->hlLastLine]->length;
  const int ok = CopyToClipboard(w, 629);
  w->hilight = 0;
  return ok;
}

int WrxCanCopy(HWND hwnd) { return WrxMenuEnable(hwnd, 629) == MF_ENABLED ? 1 : 0; }
