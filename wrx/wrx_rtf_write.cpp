// RTF out of a window: the whole document or the highlighted block, to a
// file (through the saving code), the window's output buffer or the
// clipboard. Pictures go out as metafiles.
#include "wrx/rtf_writer.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_dib.h"
#include "wrx/wrx_picture.h"

#include <algorithm>
#include <cstring>

namespace {

// The bits of a placeable-less metafile that draws a stored DIB. Reports
// what goes wrong, once: the conversion reports its own failures.
bool DibToMetafileBits(WrxWindow* w, int id, std::vector<uint8_t>& bits) {
  const WrxPictData* pict = w->fonts[id].pict;
  if (!pict || pict->image.empty() || pict->info.size() < wrxdib::kInfoHeaderSize)
    return WrxErrorBox(w, 51, "WriteRtfMetafile"), false;
  HMETAFILE mf = DibToMetafile(w, id);
  if (!mf) return false;
  HGLOBAL block = MetafileToBlock(mf);
  if (!block) {
    DeleteMetaFile(mf);
    return WrxErrorBox(w, 51, "WriteRtfMetafile"), false;
  }
  const size_t size = MetafileBlockBytes(block);
  const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
  if (p) bits.assign(p, p + size);
  GlobalUnlock(block);
  GlobalFree(block);
  if (!p || !size) return WrxErrorBox(w, 51, "WriteRtfMetafile"), false;
  return true;
}

void WritePicture(WrxWindow* w, wrxrtf::Output& out, int id, bool references) {
  const WrxFont& f = w->fonts[id];
  if (!f.pict) return;
  const WrxPictData& p = *f.pict;
  if (references) {
    out.Word("subpictid", id);
    return;
  }
  const int32_t resX = w->resX > 0 ? w->resX : 96, resY = w->resY > 0 ? w->resY : 96;
  const int32_t pxW = MulDiv(p.width, resX, 72), pxH = MulDiv(p.height, resY, 72);
  if (f.kind == 2) {
    out.Open();
    out.Raw("\\*");
    out.Word("kqcontrol");
    out.Word("kqctl");
    out.Word("picw", pxW);
    out.Word("pich", pxH);
    out.Word("picwgoal", long(p.width) * 20);
    out.Word("pichgoal", long(p.height) * 20);
    out.Word("kqpicalign", p.alignMode);
    for (uint8_t b : p.info) out.Hex(b);
    out.Close();
    return;
  }
  if (out.failed()) return;  // the first picture that failed was reported
  std::vector<uint8_t> bits;
  // A document saved without its picture would replace the one that has it.
  if (!DibToMetafileBits(w, id, bits)) return out.Fail();
  out.Open();
  out.Word("pict");
  out.Word("wmetafile", 8);
  out.Word("picw", MulDiv(MulDiv(pxW, 1440, resX), 2500, 1440));
  out.Word("pich", MulDiv(MulDiv(pxH, 1440, resY), 2500, 1440));
  out.Word("picwgoal", long(p.width) * 20);
  out.Word("pichgoal", long(p.height) * 20);
  out.Word("kqpicalign", p.alignMode);
  for (uint8_t b : bits) out.Hex(b);
  out.Close();
}

}  // namespace

namespace {

// The writer's view of the window: its tables and lines (the lines' texts
// are not copied). `idStore` holds the filled id arrays of shared-id lines.
// 0 when the block cannot be written.
int DocumentOf(WrxWindow* w, int mode, wrxrtf::Document& d, std::vector<std::vector<uint8_t>>& idStore) {
  {
    d.fonts.resize(size_t(w->fontCount));
    for (int id = 0; id < w->fontCount; ++id) {
      const WrxFont& f = w->fonts[id];
      wrxrtf::Font& g = d.fonts[size_t(id)];
      g.inUse = f.inUse != 0;
      g.picture = (f.style & wrxfmt::kPictureStyle) != 0;
      g.face.assign(f.face, strnlen(f.face, 31));
      g.pitchFamily = uint8_t(f.face[31]);
      g.pointSize = f.pointSize;
      g.style = f.style;
      g.text = f.textColor, g.back = f.backColor;
    }
    d.paras = w->paras;
    d.rows = w->rows;
    d.cells = w->cells;
    for (const auto& t : w->tabs) d.tabs.push_back(wrxpara::TabFromRecord(t));
    for (const auto& s : w->sections) {
      wrxrtf::Section x;
      x.left = s.leftMargin, x.right = s.rightMargin, x.top = s.topMargin, x.bottom = s.bottomMargin;
      x.columns = s.columns, x.columnSpace = s.columnSpace, x.continuous = s.continuous != 0;
      d.sections.push_back(x);
    }
    d.background = w->backColor;
    d.wordWrap = w->arg.wordWrap != 0;
    d.paraEnd = w->paraEnd, d.cellEnd = w->cellEnd;
    idStore.resize(256);
    d.lineCount = w->lineCount;
    d.lineAt = [w, &idStore](int32_t i) {
      const WrxLine* l = w->lines[i];
      wrxrtf::Line x;
      x.text = l->text, x.length = l->length, x.para = l->para, x.cell = l->cell;
      if (IsSharedIds(l)) {
        // One filled array per shared id serves every line that has it.
        std::vector<uint8_t>& same = idStore[SharedId(l)];
        if (same.size() < size_t(std::max(l->length, WRX_MAXLINELEN)) + 2)
          same.assign(size_t(std::max(l->length, WRX_MAXLINELEN)) + 2, SharedId(l));
        x.ids = same.data();
      } else {
        x.ids = IdArray(l);
      }
      return x;
    };
    if (mode == 2 || mode == 4) {
      if (!NormalizeBlock(w)) return 0;
      d.block = true;
      d.firstLine = w->hlFirstLine, d.lastLine = w->hlLastLine;
      d.firstCol = w->hilight == 1 ? 0 : w->hlFirstCol;
      d.lastCol = w->hilight == 1 ? w->lines[w->hlLastLine]->length : w->hlLastCol;
    }
    const bool references = mode == 4;
    d.picture = [w, references](wrxrtf::Output& o, int id) { WritePicture(w, o, id, references); };
  }
  return 1;
}

}  // namespace

int RtfDocumentBytes(WrxWindow* w, int mode, std::string& out) {
  try {
    wrxrtf::Document d;
    std::vector<std::vector<uint8_t>> idStore;
    if (!DocumentOf(w, mode, d, idStore)) return 0;
    std::string bytes;
    if (!wrxrtf::WriteTo(d, [&bytes](const char* p, size_t n) { return bytes.append(p, n), true; })) return 0;
    out.swap(bytes);
  } catch (const std::bad_alloc&) {
    return WrxErrorBox(w, 108, "RtfWrite");
  }
  return 1;
}

int RtfDocumentTo(WrxWindow* w, int mode, const wrxrtf::Sink& sink) {
  try {
    wrxrtf::Document d;
    std::vector<std::vector<uint8_t>> idStore;
    if (!DocumentOf(w, mode, d, idStore)) return 0;
    return wrxrtf::WriteTo(d, sink) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return WrxErrorBox(w, 108, "RtfWrite");
  }
}

int RtfWrite(WrxWindow* w, int mode, const char* fileName) {
  if (mode == 0) {
    const int saved = w->arg.saveType;
    const char savedKind = w->arg.inputKind;
    w->arg.saveType = 3;
    w->arg.inputKind = 'F';
    const int ok = WrxSave(w, fileName);
    w->arg.saveType = saved;
    w->arg.inputKind = savedKind;
    return ok;
  }
  std::string bytes;
  if (!RtfDocumentBytes(w, mode, bytes)) return 0;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, bytes.size() + 1);
  void* p = h ? GlobalLock(h) : nullptr;
  if (!p) {
    if (h) GlobalFree(h);
    return WrxErrorBox(w, 108, "RtfWrite(buf)");
  }
  memcpy(p, bytes.data(), bytes.size());
  static_cast<char*>(p)[bytes.size()] = 0;
  GlobalUnlock(h);
  if (mode == 1) {
    // Its own slot: the output buffer may hold a host's data (the HTML
    // reader keeps its block there).
    if (w->rtfBuf) GlobalFree(w->rtfBuf);
    w->rtfBuf = h;
    w->rtfSize = long(bytes.size());
    w->modified = 0;
    return 1;
  }
  if (mode == 2) {
    if (!SetClipboardData(RegisterClipboardFormatA("Rich Text Format"), h)) {
      GlobalFree(h);
      return 0;
    }
    return 1;
  }
  GlobalFree(h);
  return 1;
}
