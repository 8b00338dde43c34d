// Loading and saving a control's document: plain text or the native format,
// from and to a file or a global memory buffer.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

namespace {

// The document's bytes in a block of our own. Once loaded, the block stays
// with the window as the arena that the lines' texts point into.
struct DocBytes {
  uint8_t* owned = nullptr;
  uint8_t* data = nullptr;
  size_t size = 0;
  ~DocBytes() { free(owned); }
  bool Allocate(size_t n) {
    owned = static_cast<uint8_t*>(sAlloc(long(n)));
    data = owned;
    return owned != nullptr;
  }
};

void EmptyDocument(WrxWindow* w) {
  FreeAllLines(w);
  w->lineCount = 1;
  InitLine(w, 0);
}

// Moves the decoded formatting into the window. Ids were checked by the
// reader; what cannot be allocated falls back to the default font.
void ApplyFormatting(WrxWindow* w, wrxfmt::Formatting& fmt) {
  for (int id = 1; id < w->fontCount; ++id) FreeFontEntry(w, id);
  const int count = int(std::min<size_t>(fmt.fonts.size(), WRX_MAXFONTS));
  if (count > w->fontCapacity && !ExpandFontTable(w, count)) {
    // No room for the table: every character keeps the default font.
    for (auto& lf : fmt.lines) lf.shared = true, lf.sharedId = 0;
    fmt.fonts.resize(1);
  }
  for (int id = w->fontCount; id < int(fmt.fonts.size()); ++id) InitFontEntry(w, id);
  w->fontCount = std::max(1, int(fmt.fonts.size()));
  for (int id = 0; id < int(fmt.fonts.size()); ++id) {
    wrxfmt::FontEntry& src = fmt.fonts[size_t(id)];
    if (!src.inUse) continue;
    FreeFontEntry(w, id);
    InitFontEntry(w, id);
    WrxFont& f = w->fonts[id];
    memcpy(f.face, src.rec.face, sizeof f.face);
    f.pointSize = src.rec.pointSize > 0 && src.rec.pointSize < 1639 ? src.rec.pointSize : 12;
    f.style = DWORD(src.rec.style);
    f.textColor = COLORREF(src.rec.textColor) & 0xFFFFFF;
    f.backColor = COLORREF(src.rec.backColor) & 0xFFFFFF;
    f.kind = src.rec.kind;
    f.extra = src.rec.extra;
    f.attribute = src.rec.attribute;
    f.styleItem = src.rec.styleItem;
    f.pictAlign = src.rec.pictAlign;
    f.inUse = 1;
    if (f.style & wrxfmt::kPictureStyle) {
      f.pict = new (std::nothrow) WrxPictData;
      if (f.pict) {
        f.pict->linkName = std::move(src.linkName);
        f.pict->height = src.pictHeight;
        f.pict->width = src.pictWidth;
        f.pict->wordA = src.rec.pictWordA;
        f.pict->wordB = src.rec.pictWordB;
        f.pict->objectType = src.rec.objectType;
        f.pict->alignMode = src.rec.pictAlignMode;
        f.pict->image = std::move(src.image);
        f.pict->info = std::move(src.info);
        f.pict->object = std::move(src.object);
      }
    }
  }
  for (int32_t i = 0; i < w->lineCount && size_t(i) < fmt.lines.size(); ++i) {
    WrxLine* l = w->lines[i];
    const wrxfmt::LineFormat& lf = fmt.lines[size_t(i)];
    if (!IsSharedIds(l)) free(IdArray(l));
    l->fontIds = MakeSharedIds(lf.shared ? lf.sharedId : 0);
    if (!lf.shared) {
      uint8_t* ids = static_cast<uint8_t*>(sAlloc(l->length + 2));
      if (ids) {
        memcpy(ids, fmt.idPool.data() + lf.idOffset, size_t(l->length));
        ids[l->length] = ids[l->length + 1] = ids[l->length ? l->length - 1 : 0];
        l->fontIds = reinterpret_cast<uintptr_t>(ids);
      }
    }
    l->para = lf.para;
    l->cell = lf.cell;
    l->frame = lf.frame;
  }
  if (!fmt.paras.empty()) w->paras = std::move(fmt.paras);
  if (!fmt.tabs.empty()) w->tabs = std::move(fmt.tabs);
  if (!fmt.sections.empty()) w->sections = std::move(fmt.sections);
  if (!fmt.rows.empty()) w->rows = std::move(fmt.rows);
  if (!fmt.cells.empty()) w->cells = std::move(fmt.cells);
  if (!fmt.frames.empty()) w->frames = std::move(fmt.frames);
  if (!fmt.styles.empty()) w->styles = std::move(fmt.styles);
  w->fileInfo = fmt.info;
  RecreateFonts(w, w->dc);
}

// Reads the formatting section that follows the marker line. A table that
// cannot be read is reported; the text and what was read stay.
int ReadCfmt(WrxWindow* w, const uint8_t* data, size_t size) {
  std::vector<int32_t> lengths(size_t(w->lineCount));
  for (int32_t i = 0; i < w->lineCount; ++i) lengths[size_t(i)] = w->lines[i]->length;
  wrxfmt::Formatting fmt;
  const int error = wrxfmt::DecodeFormatting(data, size, lengths, fmt);
  if (!fmt.fonts.empty()) ApplyFormatting(w, fmt);
  if (error) WrxErrorBox(w, error, "ReadCfmt");
  return 1;
}

void GatherFormatting(WrxWindow* w, wrxfmt::Formatting& fmt) {
  fmt.lines.resize(size_t(w->lineCount));
  for (int32_t i = 0; i < w->lineCount; ++i) {
    CompactFontCodes(w, i);
    const WrxLine* l = w->lines[i];
    wrxfmt::LineFormat& lf = fmt.lines[size_t(i)];
    if (IsSharedIds(l) || l->length == 1) {
      lf.shared = true;
      lf.sharedId = uint8_t(GetCharFont(w, i, 0));
    } else {
      lf.shared = false;
      lf.length = l->length;
      lf.idOffset = uint32_t(fmt.idPool.size());
      fmt.idPool.insert(fmt.idPool.end(), IdArray(l), IdArray(l) + l->length);
    }
    lf.para = l->para;
    lf.cell = l->cell;
    lf.frame = l->frame;
  }
  fmt.fonts.resize(size_t(w->fontCount));
  for (int id = 0; id < w->fontCount; ++id) {
    const WrxFont& f = w->fonts[id];
    wrxfmt::FontEntry& e = fmt.fonts[size_t(id)];
    e.inUse = f.inUse != 0;
    e.rec = wrxfmt::EmptyFontRecord();
    if (!e.inUse) continue;
    memcpy(e.rec.face, f.face, sizeof e.rec.face);
    e.rec.style = int32_t(f.style);
    e.rec.pointSize = f.pointSize;
    e.rec.pictAlign = f.pictAlign;
    e.rec.textColor = int32_t(f.textColor);
    e.rec.backColor = int32_t(f.backColor);
    e.rec.kind = f.kind;
    e.rec.extra = f.extra;
    e.rec.attribute = f.attribute;
    e.rec.styleItem = f.styleItem;
    if (f.pict) {
      e.rec.pictWordA = f.pict->wordA;
      e.rec.pictWordB = f.pict->wordB;
      e.rec.objectType = f.pict->objectType;
      e.rec.pictAlignMode = f.pict->alignMode;
      e.linkName = f.pict->linkName;
      e.pictHeight = f.pict->height;
      e.pictWidth = f.pict->width;
      e.image = f.pict->image;
      e.info = f.pict->info;
      e.object = f.pict->object;
    }
  }
  fmt.paras = w->paras;
  fmt.tabs = w->tabs;
  fmt.sections = w->sections;
  fmt.rows = w->rows;
  fmt.cells = w->cells;
  fmt.frames = w->frames;
  fmt.styles = w->styles;
  fmt.info = w->fileInfo;
}

std::string NormalisedName(const char* name) {
  std::string s = name ? name : "";
  while (!s.empty() && s.back() == ' ') s.pop_back();
  for (char& c : s) c = char(toupper(uint8_t(c)));
  return s;
}

// The backup of `name`: its extension (a '.' among the last four characters,
// not before a '\') replaced by ".BU", or ".BU" appended.
std::string BackupName(const std::string& name) {
  const size_t dot = name.rfind('.');
  const size_t slash = name.find_last_of("\\/");
  if (dot != std::string::npos && dot + 4 >= name.size() && (slash == std::string::npos || dot > slash))
    return name.substr(0, dot) + ".BU";
  return name + ".BU";
}

bool WriteAll(HANDLE h, const void* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    DWORD chunk = DWORD(std::min<size_t>(size - done, 1 << 24)), written = 0;
    if (!WriteFile(h, static_cast<const char*>(bytes) + done, chunk, &written, nullptr) || written != chunk)
      return false;
    done += written;
  }
  return true;
}

// Writes the new document beside the old one and only then replaces it, so a
// failed write never costs the old file; the old file becomes the backup.
bool WriteDocumentFile(WrxWindow* w, const std::string& name, const std::function<bool(HANDLE)>& write) {
  const std::string temp = name + ".~WX";
  HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return WrxErrorBox(w, 28, "WrxSave") != 0;
  const bool written = write(h);
  if (!CloseHandle(h) || !written) {
    DeleteFileA(temp.c_str());
    return WrxErrorBox(w, 31, "WrxSave") != 0;
  }
  if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const std::string backup = BackupName(name);
    DeleteFileA(backup.c_str());
    if (!MoveFileA(name.c_str(), backup.c_str())) {
      DeleteFileA(temp.c_str());
      return WrxErrorBox(w, 31, "WrxSave") != 0;
    }
    if (!MoveFileA(temp.c_str(), name.c_str())) {
      MoveFileA(backup.c_str(), name.c_str());
      DeleteFileA(temp.c_str());
      return WrxErrorBox(w, 31, "WrxSave") != 0;
    }
    return true;
  }
  if (!MoveFileA(temp.c_str(), name.c_str())) {
    DeleteFileA(temp.c_str());
    return WrxErrorBox(w, 31, "WrxSave") != 0;
  }
  return true;
}

bool LoadFileBytes(WrxWindow* w, const std::string& name, DocBytes& doc) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return WrxErrorBox(w, 28, "WrxRead") != 0;
  DWORD high = 0;
  DWORD low = GetFileSize(h, &high);
  if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high) {
    CloseHandle(h);
    return WrxErrorBox(w, 27, "WrxRead") != 0;
  }
  if (!doc.Allocate(low)) {
    CloseHandle(h);
    return WrxErrorBox(w, 108, "WrxRead") != 0;
  }
  DWORD got = 0;
  size_t done = 0;
  while (done < low) {
    if (!ReadFile(h, doc.data + done, DWORD(low - done), &got, nullptr) || got == 0) {
      // What was read so far is kept.
      WrxErrorBox(w, 29, "WrxRead");
      break;
    }
    done += got;
  }
  CloseHandle(h);
  doc.size = done;
  return true;
}

}  // namespace

int AttachSectionData(WrxWindow* w) {
  if (!w->arg.wordWrap || w->sections.size() < 2) return 1;
  for (size_t i = 1; i < w->sections.size(); ++i) {
    const auto& s = w->sections[i];
    if (!s.inUse) continue;
    const int32_t line = s.lastLine;
    if (line < 0 || line >= w->lineCount || w->lines[line]->length != 1 ||
        uint8_t(w->lines[line]->text[0]) != WRX_SECTBREAK)
      return WrxErrorBox(w, 82, nullptr);
    if (!AllocLineInfo(w, line)) return WrxErrorBox(w, 108, "AttachSectionData");
    w->lines[line]->info->flags |= LI_SECTBREAK;
    w->lines[line]->info->section = int32_t(i);
  }
  w->sectionsStale = 0;
  return 1;
}

long GetDocSaveSize(WrxWindow* w) {
  long size = 641;
  for (int32_t i = 0; i < w->lineCount; ++i) size += 12 + w->lines[i]->length + (IsSharedIds(w->lines[i]) ? 5 : 4);
  size += long(w->rows.size()) * 80 + long(w->cells.size() + 2 * w->tabs.size()) * 92 + long(w->frames.size()) * 86 +
          long(w->paras.size()) * 72 + long(w->sections.size()) * 68 + long(w->styles.size()) * 192 +
          long(w->fontCount) * 100;
  for (int id = 0; id < w->fontCount; ++id) {
    const WrxPictData* p = w->fonts[id].inUse ? w->fonts[id].pict : nullptr;
    if (p)
      size += long(p->linkName.empty() ? p->image.size() + p->info.size() + 16 : p->linkName.size() + 1) +
              long(p->object.size());
  }
  return size;
}

int WrxRead(WrxWindow* w, const char* fileName) {
  const bool fromFile = w->arg.inputKind == 'F';
  DocBytes doc;
  w->plainText = 1;
  if (fromFile) {
    const std::string name = NormalisedName(fileName);
    strncpy(w->arg.fileName, name.c_str(), sizeof w->arg.fileName - 1);
    if (name.empty()) {
      EmptyDocument(w);
      return 1;
    }
    const DWORD access = w->arg.readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    HANDLE h =
        CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE && access != GENERIC_READ) {
      // A file we may only read loads read-only.
      h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                      nullptr);
      if (h != INVALID_HANDLE_VALUE) w->arg.readOnly = 1;
    }
    if (h == INVALID_HANDLE_VALUE) {
      if (WrxAsk(w, 13, name.c_str(), MB_YESNO) != IDYES) {
        if (w->open) CloseWrx(w->hwnd, 1);
        return 0;
      }
      EmptyDocument(w);
      return 1;
    }
    CloseHandle(h);
    if (!LoadFileBytes(w, name, doc)) return 0;
  } else {
    HGLOBAL h = w->arg.bufferHandle;
    if (!h) {
      EmptyDocument(w);
      return 1;
    }
    void* p = GlobalLock(h);
    if (!p) return WrxErrorBox(w, 50, "WrxRead");
    // Never read past the block, whatever size the caller claims. The bytes
    // are copied: the buffer stays the caller's.
    const size_t size = std::min<size_t>(size_t(std::max<int32_t>(w->arg.bufferSize, 0)), GlobalSize(h));
    if (!doc.Allocate(size)) {
      GlobalUnlock(h);
      return WrxErrorBox(w, 108, "WrxRead");
    }
    memcpy(doc.data, p, size);
    doc.size = size;
    GlobalUnlock(h);
  }

  wrxfmt::WrxFileInfo info;
  const bool native = wrxfmt::ReadFileInfo(doc.data, doc.size, info);
  // RTF first, then the native format, else plain text.
  if (!native && doc.size >= 5 && memcmp(doc.data, "{\\rtf", 5) == 0 &&
      RtfRead(w, fromFile ? 0 : 1, doc.data, doc.size)) {
    w->plainText = 0;
    return 1;
  }
  HCURSOR cursor = (w->flags & 0x200) ? nullptr : SetCursor(w->busyCursor);
  FreeAllLines(w);
  try {
    w->textArenas.push_back(reinterpret_cast<char*>(doc.owned));
    doc.owned = nullptr;
  } catch (const std::bad_alloc&) {
    EmptyDocument(w);
    return WrxErrorBox(w, 108, "WrxRead");
  }
  const bool paraPerLine = !native && w->arg.wordWrap;
  bool truncated = false;
  const wrxfmt::TextSplit split = wrxfmt::SplitTextSection(
      doc.data, doc.size, !fromFile, uint8_t(w->arg.lineDelimiter), [&](const char* text, size_t n, bool ended) {
        // Lines stay where they were read. A paragraph end takes the place
        // of the line end that the split has already passed over.
        char* p = reinterpret_cast<char*>(doc.data) + (text - reinterpret_cast<const char*>(doc.data));
        size_t length = n;
        if (ended && paraPerLine) p[length++] = char(w->paraEnd);
        if (!AppendLoadedLine(w, p, int32_t(length))) {
          truncated = true;
          return false;
        }
        const int32_t at = w->lineCount - 1;
        SetLineFlagsFromText(w, at);
        if (length == 1 && uint8_t(p[0]) == WRX_ROWEND) w->lines[at]->flags |= LF_KEEP;
        if (length == 1 && uint8_t(p[0]) == w->cellEnd) w->lines[at]->flags |= LF_FOOTNOTE;
        return true;
      });
  if (truncated) {
    w->creating = 1;
    WrxErrorBox(w, 86, "WrxRead");
    w->creating = 0;
  }
  if (w->lineCount == 0) EmptyDocument(w);
  w->sections[0].lastLine = w->lineCount - 1;
  w->crlf = !fromFile ? split.crlf : 1;
  if (split.markerMet && native) {
    w->plainText = 0;
    // Older documents stored the shown forms of the paragraph and cell ends;
    // converted only once the document has proved native.
    if (info.version < 9)
      for (int32_t i = 0; i < w->lineCount; ++i) {
        WrxLine* l = w->lines[i];
        for (int32_t c = 0; c < l->length; ++c) {
          if (uint8_t(l->text[c]) == 182)
            l->text[c] = char(w->paraEnd);
          else if (uint8_t(l->text[c]) == 164)
            l->text[c] = char(w->cellEnd);
        }
        SetLineFlagsFromText(w, i);
      }
    ReadCfmt(w, doc.data + split.end, doc.size - split.end);
  } else {
    w->fileInfo = info;
  }
  if (w->lineCount == 1 && w->lines[0]->length == 0) w->plainText = 0;
  const int attached = AttachSectionData(w);
  w->curLine = w->curCol = w->curRow = w->firstLine = 0;
  w->modified = 0;
  w->firstModifyNotified = 0;
  w->staleLine = 0;
  if (cursor) SetCursor(cursor);
  return attached;
}

int WrxSave(WrxWindow* w, const char* fileName) {
  int t = w->arg.saveType;
  if (t == 4) t = w->plainText ? 1 : 0;
  const bool toFile = w->arg.inputKind != 'B';
  std::string name;
  if (toFile) {
    name = NormalisedName(fileName);
    if (name.empty()) return 0;
  }
  std::string lineEnd = "\r\n";
  if (!toFile) {
    if (w->arg.lineDelimiter != 13) w->crlf = 0;
    lineEnd.assign(1, w->arg.lineDelimiter);
    if (w->crlf) lineEnd.push_back('\n');
  }
  // Text with line breaks writes the lines as they are wrapped now.
  if (t == 2 && w->arg.wordWrap) WordWrap(w, 0, w->lineCount);
  std::vector<uint8_t> out;
  // RTF goes to a file as it is made, never whole in memory.
  const bool streamRtf = t == 3 && toFile;
  if (streamRtf) t = -1;
  if (t == 3) {
    std::string rtf;
    if (!RtfDocumentBytes(w, 0, rtf)) return 0;
    try {
      out.assign(rtf.begin(), rtf.end());
    } catch (const std::bad_alloc&) {
      return WrxErrorBox(w, 108, "WrxSave");
    }
    t = -1;  // written as it is below
  }
  size_t textBytes = 0;
  for (int32_t i = 0; i < w->lineCount; ++i) textBytes += size_t(w->lines[i]->length) + lineEnd.size();
  try {
    if (t >= 0) out.reserve(textBytes + (t == 0 ? size_t(GetDocSaveSize(w)) : 0));
    const bool wrap = w->arg.wordWrap != 0;
    for (int32_t i = 0; t >= 0 && i < w->lineCount; ++i) {
      const WrxLine* l = w->lines[i];
      int32_t n = l->length;
      const uint8_t last = n > 0 ? uint8_t(l->text[n - 1]) : 0;
      const bool ending =
          n > 0 && (last == w->paraEnd || last == WRX_LINEBREAK || (IsMarkerChar(w, last) && last != WRX_PAGEBREAK));
      if (wrap && (t == 1 || t == 2)) {
        if (ending) --n;
        out.insert(out.end(), l->text, l->text + n);
        if (t == 2 || ending) out.insert(out.end(), lineEnd.begin(), lineEnd.end());
      } else {
        out.insert(out.end(), l->text, l->text + n);
        out.insert(out.end(), lineEnd.begin(), lineEnd.end());
      }
    }
    if (t == 0) {
      out.insert(out.end(), wrxfmt::kMarkerLine, wrxfmt::kMarkerLine + sizeof wrxfmt::kMarkerLine - 1);
      out.insert(out.end(), lineEnd.begin(), lineEnd.end());
      wrxfmt::Formatting fmt;
      GatherFormatting(w, fmt);
      wrxfmt::EncodeFormatting(fmt, out);
      w->fileInfo.lead = wrxfmt::kInfoLead;
      w->fileInfo.paren = wrxfmt::kInfoParen;
      w->fileInfo.version = wrxfmt::kFormatVersion;
    }
  } catch (const std::bad_alloc&) {
    return WrxErrorBox(w, 108, "WrxSave");
  }
  if (toFile) {
    const auto write = [&](HANDLE h) {
      if (!streamRtf) return WriteAll(h, out.data(), out.size());
      return RtfDocumentTo(w, 0, [h](const char* p, size_t n) { return WriteAll(h, p, n); }) != 0;
    };
    if (!WriteDocumentFile(w, name, write)) return 0;
    SetWindowTextA(w->hwnd, name.c_str());
  } else {
    // A new block first: the old one is released only once the new one holds
    // the document.
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, out.size() + 1);
    void* p = h ? GlobalLock(h) : nullptr;
    if (!p) {
      if (h) GlobalFree(h);
      return WrxErrorBox(w, 108, "WrxSave");
    }
    memcpy(p, out.data(), out.size());
    static_cast<uint8_t*>(p)[out.size()] = 0;
    GlobalUnlock(h);
    if (w->arg.bufferHandle) GlobalFree(w->arg.bufferHandle);
    w->arg.bufferHandle = h;
    w->arg.bufferSize = int32_t(out.size());
  }
  w->modified = 0;
  w->firstModifyNotified = 0;
  return 1;
}
