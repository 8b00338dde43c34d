// The HTML reader on a control window: its block and styles, the reading of
// a page through the portable pass, pictures, form fields, and the
// notification procedure that follows links and submits forms.
#include "wrx/html/html.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "wrx/html/html_parser.h"
#include "wrx/html/html_text.h"
#include "wrx/html/jpeg_decode.h"
#include "wrx/html/tiff_decode.h"
#include "wrx/wrx.h"

namespace {

// No page or picture is read beyond this many bytes.
constexpr size_t kMaxInputBytes = 64u << 20;
constexpr int kMaxAttached = 400;
const char kBlockProperty[] = "PelmoraHtmlBlock";

struct StyleDefault {
  const char* name;
  const char* face;
  int size;
  DWORD style;
};
const StyleDefault kStyles[20] = {
    {"Body Text", "Times New Roman", 11, 0},     {"Header 1", "Times New Roman", 28, 0},
    {"Header 2", "Times New Roman", 26, 0},      {"Header 3", "Times New Roman", 21, 0},
    {"Header 4", "Times New Roman", 17, 0},      {"Header 5", "Times New Roman", 14, 0},
    {"Header 6", "Times New Roman", 13, 2},      {"Header 7", "Times New Roman", 12, 2},
    {"Address", "Times New Roman", 11, 4},       {"Block Quote", "Times New Roman", 11, 0},
    {"Menu List", "Times New Roman", 11, 0},     {"Directory List", "Century Gothic", 14, 0},
    {"Preformatted Text", "Courier New", 10, 0}, {"Example", "Courier New", 9, 0},
    {"Variables", "Courier New", 11, 0},         {"Keyboard Input", "Courier New", 11, 0},
    {"Sample Text", "Courier New", 11, 0},       {"Times Roman", "Times New Roman", 11, 0},
    {"Helvetica Font", "Arial", 11, 0},          {"Typewriter Style", "Courier New", 9, 0}};

struct FieldWindow {
  int controlId = 0;
  int pictureId = 0;
  HWND window = nullptr;
};

struct HtmlBlock {
  HtmlStyle styles[20];
  HWND host = nullptr, control = nullptr;
  uint32_t lastError = 0;
  int charWidth = 8, charHeight = 16, dpiX = 96, dpiY = 96;
  COLORREF pageColour = 0xFFFFFF, linkColour = 0xFF0000;
  DWORD linkBits = 1;
  std::string linkAddress, base, inputName, title;
  html::FormTable forms;
  std::vector<FieldWindow> fieldWindows;
  int nextControlId = 2000;
  WrxNotifyProc callback = nullptr;
  bool readComplete = false;
  // The last fonts and paragraph records asked for, so a run in a format met
  // before costs no search of the control's tables.
  struct FontKey {
    int style;
    DWORD extra;
    COLORREF colour;
    bool distinct;
    int id;
  };
  std::vector<FontKey> fontCache;
  struct ParaKey {
    html::ParaWords words;
    int id;
  };
  std::vector<ParaKey> paraCache;
};

struct ProcessState {
  bool initialised = false;
  HINSTANCE instance = nullptr;
  COLORREF keyColour = 0;
  HWND attached[kMaxAttached] = {};
  int count = 0;
  WNDPROC previousEdit = nullptr;
};
ProcessState g_html;

HtmlBlock* BlockOf(HWND control) {
  return control && IsWindow(control) ? static_cast<HtmlBlock*>(GetPropA(control, kBlockProperty)) : nullptr;
}

int ErrorBox(HtmlBlock* b, const char* text, int code) {
  if (b) b->lastError = uint32_t(code);
  g_htmlHooks.errorBox(text, "Error");
  return 0;
}

LRESULT HostMessage(HtmlBlock& b, UINT message, LPARAM lParam) {
  if (b.callback) return b.callback(b.control, message, WPARAM(b.control), lParam);
  return b.host ? SendMessageA(b.host, message, WPARAM(b.control), lParam) : 0;
}

void CopyFace(char (&to)[32], const char* face) { std::snprintf(to, sizeof to, "%s", face ? face : ""); }

// The font of style n with extra bits and a colour: the style's own font, or
// one found or added, tagged n, n + 20 (a link font) or n + 40 (distinct).
int StyleFontUncached(HtmlBlock& b, int n, DWORD extra, COLORREF colour, bool distinct) {
  HtmlStyle& s = b.styles[n];
  if (!s.created) {
    if (SetWrxFont(b.control, n, 0, s.typeface, s.pointSize, s.style, s.textColor, s.backColor, 0, n) < 0) return 0;
    s.fontId = n;
    s.created = 1;
  }
  if ((s.style & extra) == extra && colour == s.textColor && !distinct) return s.fontId;
  const DWORD bits = s.style | extra;
  const int tag = (bits & b.linkBits) == b.linkBits && colour == b.linkColour ? n + 20 : distinct ? n + 40 : n;
  const int id = SetWrxFont(b.control, -1, 1, s.typeface, s.pointSize, bits, colour, s.backColor, 0, tag);
  return id < 0 ? 0 : id;
}

int StyleFont(HtmlBlock& b, int n, DWORD extra, COLORREF colour, bool distinct) {
  if (n < 0 || n > 19) n = 0;
  for (const HtmlBlock::FontKey& k : b.fontCache)
    if (k.style == n && k.extra == extra && k.colour == colour && k.distinct == distinct) return k.id;
  const int id = StyleFontUncached(b, n, extra, colour, distinct);
  if (id > 0 && b.fontCache.size() < 64) b.fontCache.push_back({n, extra, colour, distinct, id});
  return id;
}

int SameWords(const html::ParaWords& a, const html::ParaWords& b) {
  return a.spaceBefore == b.spaceBefore && a.spaceAfter == b.spaceAfter && a.lineSpacing == b.lineSpacing &&
         a.leftIndent == b.leftIndent && a.firstIndent == b.firstIndent && a.rightIndent == b.rightIndent &&
         a.shading == b.shading && a.flags == b.flags && a.placement == b.placement && a.kind == b.kind;
}

int ParagraphFor(HtmlBlock& b, const html::ParaWords& p) {
  for (const HtmlBlock::ParaKey& k : b.paraCache)
    if (SameWords(k.words, p)) return k.id;
  int id = SetWrxParaFmt(b.control, -1, 1, p.leftIndent, p.rightIndent, p.firstIndent, 0, 0, int(p.kind), p.shading,
                         int(p.placement), p.spaceBefore, p.spaceAfter, p.lineSpacing, int(p.flags));
  if (id < 0) id = 0;
  if (id > 0 && b.paraCache.size() < 64) b.paraCache.push_back({p, id});
  return id;
}

// The bytes of a named file (upper-cased and trimmed as the reader does) or
// of a global block; false when it cannot be read.
bool ReadInput(int fromMemory, const char* fileName, HGLOBAL memory, long size, std::vector<uint8_t>& bytes,
               std::string* name) {
  bytes.clear();
  if (fromMemory) {
    if (!memory || size < 0) return false;
    const void* p = GlobalLock(memory);
    if (!p) return false;
    const size_t n = size_t(size) < kMaxInputBytes ? size_t(size) : kMaxInputBytes;
    const size_t have = GlobalSize(memory);
    bytes.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + (n < have ? n : have));
    GlobalUnlock(memory);
    if (name) name->clear();
    return true;
  }
  std::string path = fileName ? fileName : "";
  while (!path.empty() && path.back() == ' ') path.pop_back();
  if (path.empty()) return false;
  CharUpperA(&path[0]);
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t block[65536];
  size_t got;
  while (bytes.size() < kMaxInputBytes && (got = std::fread(block, 1, sizeof block, f)) > 0)
    bytes.insert(bytes.end(), block, block + got);
  std::fclose(f);
  if (name) *name = path;
  return true;
}

HGLOBAL ToGlobal(const std::vector<uint8_t>& dib) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, dib.size() + 41);
  if (!h) return nullptr;
  void* p = GlobalLock(h);
  std::memcpy(p, dib.data(), dib.size());
  GlobalUnlock(h);
  return h;
}

HGLOBAL DecodePicture(HWND control, bool tiff, int fromMemory, const char* fileName, HGLOBAL memory, long size,
                      HGLOBAL* out) {
  if (out) *out = nullptr;
  HtmlBlock* b = BlockOf(control);
  std::vector<uint8_t> bytes;
  if (!ReadInput(fromMemory, fileName, memory, size, bytes, nullptr)) {
    if (fromMemory) return ErrorBox(b, "Error locking the input buffer", 1), nullptr;
    if (fileName && *fileName)
      ErrorBox(b, tiff ? "TIF file not found or file open error!" : "JPG file not found or file open error!", 6);
    return nullptr;
  }
  const html::DecodedPicture p =
      tiff ? html::TifDecode(bytes.data(), bytes.size()) : html::JpgDecode(bytes.data(), bytes.size());
  if (p.errorCode)
    ErrorBox(b, p.errorText, p.errorCode);
  else if (*p.errorText)
    g_htmlHooks.debugLine(p.errorText);
  if (p.dib.empty()) return nullptr;
  HGLOBAL h = ToGlobal(p.dib);
  if (!h) ErrorBox(b, "Ran out of memory for HTML data (JpgRead).", 1);
  if (out) *out = h;
  return h;
}

// The picture the host gives for a name: its picture id, 0 when none.
int GetPicture(HtmlBlock& b, const std::string& src, int alignment) {
  char name[MAX_PATH];
  std::snprintf(name, sizeof name, "%s", src.c_str());
  const LRESULT kind = HostMessage(b, HTML_PICTURE, LPARAM(name));
  name[sizeof name - 1] = 0;
  int id = 0;
  switch (kind) {
    case HTML_PICT_BMP: id = WrxPictureFromFile(b.control, name, alignment, 0); break;
    case HTML_PICT_WMF: id = WrxMetafileFromFile(b.control, name, alignment, 0); break;
    case HTML_PICT_TIFF:
    case HTML_PICT_JPEG: {
      HGLOBAL dib = DecodePicture(b.control, kind == HTML_PICT_TIFF, 0, name, nullptr, 0, nullptr);
      if (dib) {
        id = WrxPastePicture(b.control, CF_DIB, dib, 0, alignment, 0);
        GlobalFree(dib);
      }
      break;
    }
    default: break;
  }
  return id > 0 ? id : 0;
}

int Twips(int pixels, int dpi) { return MulDiv(pixels, 1440, dpi > 0 ? dpi : 96); }

void ResetField(HtmlBlock& b, int index) {
  if (index < 0 || size_t(index) >= b.forms.fields.size() || size_t(index) >= b.fieldWindows.size()) return;
  const html::FormField& f = b.forms.fields[index];
  HWND w = b.fieldWindows[index].window;
  if (!w) return;
  switch (f.kind) {
    case html::kText:
    case html::kPassword:
    case html::kTextArea: SetWindowTextA(w, f.value.c_str()); break;
    case html::kRadio:
    case html::kCheckBox: SendMessageA(w, BM_SETCHECK, f.checked ? BST_CHECKED : BST_UNCHECKED, 0); break;
    case html::kSubmit:
    case html::kReset:
      SetWindowTextA(w, f.hasValue ? f.value.c_str() : f.kind == html::kSubmit ? "Submit" : "Reset");
      break;
    case html::kList: {
      int first = -1;
      for (size_t i = 0; i < f.options.size(); ++i)
        if (f.options[i].selected && first < 0) first = int(i);
      if (f.size <= 1 && !f.multiple) {
        SendMessageA(w, CB_SETCURSEL, first < 0 ? 0 : first, 0);
      } else if (f.multiple) {
        for (size_t i = 0; i < f.options.size(); ++i) SendMessageA(w, LB_SETSEL, f.options[i].selected, LPARAM(i));
        if (first < 0) SendMessageA(w, LB_SETSEL, TRUE, 0);
      } else {
        SendMessageA(w, LB_SETCURSEL, first < 0 ? 0 : first, 0);
      }
      break;
    }
    default: break;
  }
}

bool CreateField(HtmlBlock& b, int index) {
  const html::FormField& f = b.forms.fields[index];
  if (b.fieldWindows.size() < b.forms.fields.size()) b.fieldWindows.resize(b.forms.fields.size());
  FieldWindow& fw = b.fieldWindows[index];
  fw.controlId = b.nextControlId++;
  if (f.kind == html::kHiddenField || f.kind == html::kImageField) return true;
  const int w = b.charWidth, h = b.charHeight;
  const char* cls = "Edit";
  DWORD style = 0;
  int width = 0, height = 0;
  switch (f.kind) {
    case html::kText: style = 0x00800080, width = (f.size + 3) * w, height = h * 7 / 4; break;
    case html::kPassword: style = 0x008000A0, width = (f.size + 3) * w, height = h * 7 / 4; break;
    case html::kTextArea: style = 0x00A00004, width = (f.cols + 3) * w, height = (f.rows + 1) * h; break;
    case html::kRadio: cls = "Button", style = 4, width = height = h; break;
    case html::kCheckBox: cls = "Button", style = 3, width = height = h; break;
    case html::kSubmit:
    case html::kReset: {
      const size_t n = f.hasValue ? f.value.size() : f.kind == html::kSubmit ? 6 : 5;
      cls = "Button", style = 0, width = int(n < 200 ? n + 3 : 203) * w, height = h * 7 / 4;
      break;
    }
    case html::kList: {
      size_t longest = 0;
      for (const html::FormOption& o : f.options) longest = o.text.size() > longest ? o.text.size() : longest;
      longest = f.options.empty() ? 15 : longest < 3 ? 3 : longest > 60 ? 60 : longest;
      width = int(longest + 3) * w;
      if (f.size <= 1 && !f.multiple) {
        cls = "ComboBox", style = 0x00800043, height = 8 * h;
      } else {
        cls = "ListBox", style = f.multiple ? 0x00A00009 : 0x00A00001, height = (f.size + 2) * h;
      }
      break;
    }
    default: return true;
  }
  style |= WS_VISIBLE | WS_TABSTOP;
  const int id =
      WrxInsertControl(b.control, cls, style, Twips(width, b.dpiX), Twips(height, b.dpiY), 0, fw.controlId, 0);
  // The object character goes at the end of the text read so far.
  if (id <= 0 || !InsertWrxText(b.control, "_", id, -1, -1, -1, 0)) return false;
  fw.pictureId = id;
  fw.window = GetWrxControlWindow(b.control, id);
  if (fw.window) {
    if (f.kind == html::kList) {
      const UINT add = std::strcmp(cls, "ComboBox") == 0 ? CB_ADDSTRING : LB_ADDSTRING;
      for (const html::FormOption& o : f.options) SendMessageA(fw.window, add, 0, LPARAM(o.text.c_str()));
      if (add == CB_ADDSTRING) SendMessageA(fw.window, CB_SETITEMHEIGHT, WPARAM(-1), h * 6 / 4);
    }
    if (f.kind == html::kText || f.kind == html::kPassword || f.kind == html::kTextArea) {
      if (f.lengthLimit > 0) SendMessageA(fw.window, EM_LIMITTEXT, f.lengthLimit, 0);
      if (f.kind != html::kTextArea) {
        const WNDPROC previous = WNDPROC(SetWindowLongPtrA(fw.window, GWLP_WNDPROC, LONG_PTR(HtmlEditSubclassProc)));
        if (previous != HtmlEditSubclassProc) g_html.previousEdit = previous;
      }
    }
  }
  ResetField(b, index);
  return true;
}

// The portable pass's output, into the control.
struct ReadContext {
  HtmlBlock* block;
};

bool OutText(void* c, const std::string& run, const html::RunFormat& f) {
  HtmlBlock& b = *static_cast<ReadContext*>(c)->block;
  const int font = StyleFont(b, f.style, f.bits, f.colour, f.distinct);
  const int para = f.para.Any() ? ParagraphFor(b, f.para) : 0;
  return InsertWrxText(b.control, run.c_str(), font, para, -1, -1, 0) != 0;
}

void OutHostText(void* c, int message, const std::string& text) {
  HtmlBlock& b = *static_cast<ReadContext*>(c)->block;
  if (message == HTML_TITLE) b.title = text;
  if (message == HTML_BASE) b.base = text;
  HostMessage(b, UINT(message), LPARAM(text.c_str()));
}

bool OutPicture(void* c, const html::PictureRequest& r, bool& placed) {
  HtmlBlock& b = *static_cast<ReadContext*>(c)->block;
  placed = false;
  if (r.fieldIndex >= 0 && !CreateField(b, r.fieldIndex)) return false;
  const int id = GetPicture(b, r.src, r.alignment);
  if (id == 0) return true;
  char name[MAX_PATH];
  std::snprintf(name, sizeof name, "%s", r.src.c_str());
  WrxPictLinkFile(b.control, id, 0, name);
  const DWORD type = 128 | (r.link ? b.linkBits : 0);
  const int aux = r.imageMap ? 1 : r.fieldIndex >= 0 ? r.fieldIndex + 2 : 0;
  SetWrxPictInfo(b.control, id, type, r.alignment, aux);
  if (!InsertWrxText(b.control, "_", id, -1, -1, -1, 0)) return true;
  HostMessage(b, HTML_PICTURE_IN, LPARAM(id));
  placed = true;
  return true;
}

void OutBackground(void* c, const std::string& name) {
  HtmlBlock& b = *static_cast<ReadContext*>(c)->block;
  const int id = GetPicture(b, name, 0);
  if (id > 0) SetWrxBackground(b.control, id, 2, 0);
}

bool OutField(void* c, const html::FormTable&, int index) {
  return CreateField(*static_cast<ReadContext*>(c)->block, index);
}

void OutResetField(void* c, const html::FormTable&, int index) {
  ResetField(*static_cast<ReadContext*>(c)->block, index);
}

void DefaultErrorBox(const char* text, const char* caption) {
  // The control's own box procedure (tests and the program install theirs).
  const WrxMessageBoxProc proc = SetWrxMessageBoxProc(nullptr);
  SetWrxMessageBoxProc(proc);
  if (proc)
    proc(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
  else
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

void DefaultDebugLine(const char* line) {
  const WrxDebugProc proc = SetWrxDebugProc(nullptr);
  SetWrxDebugProc(proc);
  if (proc)
    proc(line);
  else
    OutputDebugStringA(line);
}

void Unlist(HWND control) {
  for (int i = 0; i < g_html.count; ++i)
    if (g_html.attached[i] == control) g_html.attached[i] = nullptr;
}

void FreeBlock(HWND control) {
  HtmlBlock* b = BlockOf(control);
  if (!b) return;
  RemovePropA(control, kBlockProperty);
  delete b;
}

bool SubmitForm(HtmlBlock& b, int form) {
  HostMessage(b, HTML_SUBMIT, LPARAM(form));
  return true;
}

LRESULT FieldCommand(HtmlBlock& b, WPARAM wParam) {
  const int id = LOWORD(wParam);
  int index = -1;
  for (size_t i = 0; i < b.fieldWindows.size(); ++i)
    if (b.fieldWindows[i].controlId == id && b.fieldWindows[i].window) index = int(i);
  if (index < 0) return 0;
  const html::FormField& f = b.forms.fields[index];
  int inForm = 0;
  for (const html::FormField& o : b.forms.fields) inForm += o.form == f.form;
  switch (f.kind) {
    case html::kText:
      if (HIWORD(wParam) == 1000 && inForm == 1) return SubmitForm(b, f.form);
      return 0;
    case html::kRadio:
      if (SendMessageA(b.fieldWindows[index].window, BM_GETCHECK, 0, 0) != BST_CHECKED)
        for (size_t i = 0; i < b.forms.fields.size() && i < b.fieldWindows.size(); ++i) {
          const html::FormField& o = b.forms.fields[i];
          if (o.kind == html::kRadio && o.form == f.form && o.name == f.name && b.fieldWindows[i].window)
            SendMessageA(b.fieldWindows[i].window, BM_SETCHECK, int(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
        }
      return 0;
    case html::kReset:
      for (size_t i = 0; i < b.forms.fields.size(); ++i)
        if (b.forms.fields[i].form == f.form && b.forms.fields[i].kind != html::kReset) ResetField(b, int(i));
      return 0;
    case html::kSubmit: return SubmitForm(b, f.form);
    default: return 0;
  }
}

LRESULT LinkClicked(HtmlBlock& b, WPARAM wParam, LPARAM lParam) {
  auto* rec = reinterpret_cast<WrxLinkRec*>(lParam);
  if (!rec) return 0;
  rec->code[sizeof rec->code - 1] = 0;
  std::string href;
  if (!html::HtmlGetAttr(rec->code, "HREF", href) && rec->code[0]) return 0;
  if (!href.empty() && href[0] == '#') return HtmlJumpToAnchor(b.control, href.c_str() + 1);
  // A click on a picture: an image map adds the point, an image field
  // submits its form with the point stored.
  std::string suffix;
  WrxFieldRec* field = new (std::nothrow) WrxFieldRec();
  if (field) {
    field->size = sizeof(WrxFieldRec);
    std::vector<unsigned char> ids(4096);
    std::vector<char> text(4096);
    if (GetWrxField(b.control, field) &&
        GetWrxLine(b.control, field->cursorLine, text.data(), int(text.size()), ids.data(), int(ids.size())) > 0 &&
        field->cursorColumn >= 0 && field->cursorColumn < int(ids.size())) {
      const int font = ids[field->cursorColumn];
      DWORD flags = 0;
      RECT r = {};
      int alignment = 0, aux = 0;
      if (GetWrxPictInfo(b.control, font, &flags, &r, &alignment, &aux) && (flags & 0x80)) {
        const int x = field->pointerX - field->innerTextRect.left - r.left;
        const int y = field->pointerY - field->innerTextRect.top - r.top;
        if (aux == 1) {
          char point[40];
          std::snprintf(point, sizeof point, "?%d,%d", x, y);
          suffix = point;
        } else if (aux >= 2 && size_t(aux - 2) < b.forms.fields.size()) {
          html::FormField& f = b.forms.fields[aux - 2];
          f.clickX = x;
          f.clickY = y;
          delete field;
          return SubmitForm(b, f.form);
        }
      }
    }
    delete field;
  }
  b.linkAddress = b.base + href + suffix;
  std::snprintf(rec->code, sizeof rec->code, "%s", b.linkAddress.c_str());
  HWND parent = GetParent(b.control);
  return parent ? SendMessageA(parent, WRXN_LINK, wParam, lParam) : 0;
}

}  // namespace

HtmlHooks g_htmlHooks = {DefaultErrorBox, DefaultDebugLine};

int __stdcall HtmlInit(HINSTANCE instance) {
  g_html.instance = instance;
  g_html.initialised = true;
  g_html.count = 0;
  g_html.keyColour = 0;
  return 1;
}

void __stdcall HtmlExit() {
  for (int i = 0; i < g_html.count; ++i)
    if (g_html.attached[i]) {
      if (IsWindow(g_html.attached[i])) SetWrxNotifyProc(g_html.attached[i], nullptr);
      g_html.attached[i] = nullptr;
    }
  g_html.count = 0;
}

int __stdcall HtmlSetKeyColor(COLORREF colour) {
  g_html.keyColour = colour;
  return 1;
}

int __stdcall HtmlAttach(HWND control, HWND host) {
  WrxFieldRec* field = new (std::nothrow) WrxFieldRec();
  if (!field) return ErrorBox(nullptr, "Error allocating HTML memory!", 1);
  field->size = sizeof(WrxFieldRec);
  if (!GetWrxField(control, field) || field->size != 4416) {
    delete field;
    return ErrorBox(nullptr, "Invalid WRX version", 11);
  }
  FreeBlock(control);  // a second attach makes a new block
  HtmlBlock* b = new (std::nothrow) HtmlBlock();
  if (!b || !SetPropA(control, kBlockProperty, b)) {
    delete b;
    delete field;
    return ErrorBox(nullptr, "Error allocating HTML memory!", 1);
  }
  b->control = control;
  b->host = host;
  COLORREF page = g_html.keyColour;
  if (!page) {
    int g = GetRValue(GetSysColor(COLOR_GRAYTEXT));
    if (g < 192) g = (g + 255) / 2;
    page = RGB(g, g, g);
    if (page == 0) page = 0xFFFFFF;
  }
  b->pageColour = page;
  for (int n = 0; n < 20; ++n) {
    HtmlStyle& s = b->styles[n];
    std::memset(&s, 0, sizeof s);
    CopyFace(s.typeface, kStyles[n].face);
    s.pointSize = kStyles[n].size;
    s.style = kStyles[n].style;
    s.textColor = 0;
    s.backColor = page;
  }
  for (int n = 0; n < 20; ++n) StyleFont(*b, n, 0, 0, false);
  SetWrxDefTabWidth(control, 300, 0);
  field->backColor = page;
  field->linkStyleMask = int32_t(b->linkBits | 0x80);
  field->linkColor = b->linkColour;
  field->protectedMarked = 0;
  field->linkByDoubleClick = 0;
  field->caretOnProtected = 0;
  field->htmlEditing = 1;
  field->cellGridLines = 0;
  SetWrxField(control, field);
  HDC dc = GetDC(nullptr);
  b->dpiX = GetDeviceCaps(dc, LOGPIXELSX);
  b->dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
  TEXTMETRICA tm;
  if (GetTextMetricsA(dc, &tm)) {
    b->charHeight = tm.tmHeight;
    b->charWidth = tm.tmAveCharWidth;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  delete field;
  SetWrxNotifyProc(control, HtmlNotifyProc);
  // Listed in the first free slot; past 400 windows it is not listed.
  int slot = -1;
  for (int i = 0; i < g_html.count && slot < 0; ++i)
    if (!g_html.attached[i] || g_html.attached[i] == control) slot = i;
  if (slot < 0 && g_html.count < kMaxAttached) slot = g_html.count++;
  if (slot >= 0) g_html.attached[slot] = control;
  b->callback = GetWrxMsgCallback(control);
  return 1;
}

int __stdcall HtmlGetStyle(HWND control, int n, char* typeface, int* size, DWORD* style, COLORREF* text,
                           COLORREF* back) {
  HtmlBlock* b = BlockOf(control);
  if (!b) return g_htmlHooks.errorBox("Html Not initialized!", "Error"), 0;
  if (n < 0 || n > 19) return 0;
  const HtmlStyle& s = b->styles[n];
  if (typeface) std::memcpy(typeface, s.typeface, sizeof s.typeface);
  if (size) *size = s.pointSize;
  if (style) *style = s.style;
  if (text) *text = s.textColor;
  if (back) *back = s.backColor;
  return 1;
}

int __stdcall HtmlSetStyle(HWND control, int n, const char* typeface, int size, DWORD style, COLORREF text,
                           COLORREF back, int repaint) {
  HtmlBlock* b = BlockOf(control);
  if (!b) return g_htmlHooks.errorBox("Html Not initialized!", "Error"), 0;
  if (n < 0 || n > 19) return 0;
  HtmlStyle& s = b->styles[n];
  b->fontCache.clear();
  for (int id = 0; id < 253; ++id) {
    DWORD flags = 0;
    int aux = -1;
    if (!GetWrxPictInfo(control, id, &flags, nullptr, nullptr, &aux) || (flags & 0x80)) continue;
    if (aux != n && aux != n + 20 && aux != n + 40) continue;
    char face[64];
    int points;
    DWORD current;
    COLORREF colour, background;
    if (!GetWrxFontInfo(control, id, face, &points, &current) || !GetWrxFontColors(control, id, &colour, &background))
      continue;
    if (aux == n + 20)
      SetWrxFont(control, id, 0, typeface, size, current, colour, back, 0, aux);
    else
      SetWrxFont(control, id, 0, typeface, size, (current & ~s.style) | style, text, back, 0, aux);
  }
  CopyFace(s.typeface, typeface);
  s.pointSize = size;
  s.style = style;
  s.textColor = text;
  s.backColor = back;
  if (repaint) DeselectWrxText(control, 1);
  return 1;
}

int __stdcall HtmlSetLinkColors(HWND control, DWORD linkStyle, COLORREF linkColour) {
  HtmlBlock* b = BlockOf(control);
  if (!b) return g_htmlHooks.errorBox("Html Not initialized!", "Error"), 0;
  WrxFieldRec* field = new (std::nothrow) WrxFieldRec();
  if (!field) return 0;
  field->size = sizeof(WrxFieldRec);
  if (!GetWrxField(control, field)) {
    delete field;
    return 0;
  }
  for (int id = 0; id < 253; ++id) {
    DWORD flags = 0;
    int aux = -1;
    if (!GetWrxPictInfo(control, id, &flags, nullptr, nullptr, &aux) || (flags & 0x80) || aux < 20 || aux > 39)
      continue;
    char face[64];
    int points;
    DWORD current;
    COLORREF colour, background;
    if (!GetWrxFontInfo(control, id, face, &points, &current) || !GetWrxFontColors(control, id, &colour, &background))
      continue;
    SetWrxFont(control, id, 0, face, points, (current & ~b->linkBits) | linkStyle, linkColour, background, 0, aux);
  }
  b->linkBits = linkStyle;
  b->linkColour = linkColour;
  b->fontCache.clear();
  field->linkStyleMask = int32_t(linkStyle | 0x80);
  field->linkColor = linkColour;
  SetWrxField(control, field);
  delete field;
  DeselectWrxText(control, 1);
  return 1;
}

int __stdcall HtmlRead(HWND control, int source, const char* fileName, HGLOBAL memory, long size, const char* anchor) {
  try {
    HtmlBlock* b = BlockOf(control);
    if (!b) return ErrorBox(nullptr, "Html Not initialized!", 2);
    std::vector<uint8_t> bytes;
    std::string name;
    if (!ReadInput(source, fileName, memory, size, bytes, &name)) {
      if (source) ErrorBox(b, "Error locking the input buffer", 1);
      return 0;
    }
    b->inputName = name;
    b->readComplete = false;
    b->fontCache.clear();
    b->paraCache.clear();
    html::ReaderSettings settings;
    settings.linkColour = b->linkColour;
    settings.linkBits = b->linkBits;
    settings.pageColour = b->pageColour;
    settings.readOnly = GetWrxReadOnly(control) != 0;
    settings.dotsPerInchX = b->dpiX;
    settings.dotsPerInchY = b->dpiY;
    WrxFieldRec* field = new (std::nothrow) WrxFieldRec();
    if (!field) return ErrorBox(b, "Ran out of memory for HTML data (HtmlRead).", 1);
    field->size = sizeof(WrxFieldRec);
    if (GetWrxField(control, field)) {
      settings.textWidthPixels = field->innerTextRect.right - field->innerTextRect.left;
      // A control holding one empty line starts empty.
      if (field->lineCount == 1 && field->lineLength <= 1) SetWrxLine(control, 0, "", nullptr);
    }
    delete field;
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    ReadContext context{b};
    const html::HtmlOutput out = {&context, OutText, OutHostText, OutPicture, OutBackground, OutField, OutResetField};
    const html::ReadResult result = html::HtmlParse(bytes.data(), bytes.size(), out, settings, b->forms);
    b->readComplete = true;
    WrxRepaginate(control, 0);
    if (anchor && *anchor) HtmlJumpToAnchor(control, anchor);
    SetWrxModify(control, 0);
    InvalidateRect(control, nullptr, TRUE);
    SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
    if (result.errorCode) ErrorBox(b, result.errorText.c_str(), result.errorCode);
    if (result.aborted) {
      g_htmlHooks.errorBox("Read aborted", "");
      g_htmlHooks.debugLine(result.diagnostic.c_str());
    }
    return 1;
  } catch (...) {
    return 0;  // nothing thrown leaves the control
  }
}

int HtmlJumpToAnchor(HWND control, const char* name) {
  if (!name || !*name) return 0;
  std::string quoted = std::string("\"") + name + "\"";
  if (quoted.size() > 1000) return 0;
  long start = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    std::vector<char> text(quoted.begin(), quoted.end());
    text.push_back(0);
    long position = 0, length = 0;
    if (!WrxFindText(control, text.data(), nullptr, 0x12, start, &position, &length)) return 0;
    long line = 0;
    int col = 0;
    if (!WrxPosToLineCol(control, position, &line, &col)) return 0;
    const int font = GetWrxCharFont(control, line, col);
    char face[64];
    int points = 0;
    DWORD style = 0;
    if (font >= 0 && GetWrxFontInfo(control, font, face, &points, &style) && (style & 0x40)) {
      DeselectWrxText(control, 0);
      WrxGoToLine(control, line, 1);
      return 1;
    }
    if (position + 1 <= start) return 0;
    start = position + 1;
  }
  return 0;
}

bool HtmlIsAttached(HWND control) { return BlockOf(control) != nullptr; }

const char* HtmlLinkAddress(HWND control) {
  HtmlBlock* b = BlockOf(control);
  return b ? b->linkAddress.c_str() : "";
}

const char* HtmlBaseAddress(HWND control) {
  HtmlBlock* b = BlockOf(control);
  return b ? b->base.c_str() : "";
}

LRESULT CALLBACK HtmlNotifyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  HtmlBlock* b = BlockOf(control);
  if (!b) {
    if (message == WRXN_CLOSING) return 0;
    return ErrorBox(nullptr, "Html Not initialized!", 2);
  }
  switch (message) {
    case WRXN_LINK: return LinkClicked(*b, wParam, lParam);
    case WRXN_CLOSING: {
      HWND host = b->host;
      Unlist(control);
      FreeBlock(control);
      if (host) SendMessageA(host, WRXN_CLOSING, wParam, lParam);
      return 0;
    }
    case WM_COMMAND: return FieldCommand(*b, wParam);
    case WM_CTLCOLORBTN: return LRESULT(GetStockObject(LTGRAY_BRUSH));
    default: return DefWindowProcA(control, message, wParam, lParam);
  }
}

LRESULT CALLBACK HtmlEditSubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && wParam == 13) {
    HtmlNotifyProc(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), 1000), 0);
    return 1;
  }
  return g_html.previousEdit ? CallWindowProcA(g_html.previousEdit, edit, message, wParam, lParam)
                             : DefWindowProcA(edit, message, wParam, lParam);
}

HGLOBAL TifRead(HWND control, int fromMemory, const char* fileName, HGLOBAL memory, long size, HGLOBAL* dib) {
  return DecodePicture(control, true, fromMemory, fileName, memory, size, dib);
}

HGLOBAL JpgRead(HWND control, int fromMemory, const char* fileName, HGLOBAL memory, long size, HGLOBAL* dib) {
  return DecodePicture(control, false, fromMemory, fileName, memory, size, dib);
}
