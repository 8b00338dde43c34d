// The HTML reader on a real control window under a host that answers picture
// requests from files beside the page: what the page shows, links followed,
// in-page jumps, forms submitted, and reads that fail cleanly.
#include "wrx/html/html.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/window_fixture.h"
#include "wrx/wrx.h"

namespace {

struct HostRecord {
  std::vector<std::pair<UINT, std::string>> texts;  // 3274, 3279, 3280, and 2726's code
  std::vector<LPARAM> submits, pictures;
  std::string pictureDirectory;
};
HostRecord g_record;
std::vector<std::string> g_boxes;

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case HTML_TITLE:
    case HTML_BASE:
    case HTML_ANCHOR: g_record.texts.push_back({message, reinterpret_cast<const char*>(lParam)}); return 0;
    case WRXN_LINK: {
      g_record.texts.push_back({message, reinterpret_cast<WrxLinkRec*>(lParam)->code});
      return 1;
    }
    case HTML_SUBMIT: g_record.submits.push_back(lParam); return 0;
    case HTML_PICTURE_IN: g_record.pictures.push_back(lParam); return 0;
    case HTML_PICTURE: {
      // Pictures come from files beside the page, by their extension.
      char* name = reinterpret_cast<char*>(lParam);
      const std::string n = name;
      const std::string full = g_record.pictureDirectory + n;
      if (full.size() >= MAX_PATH) return 0;
      std::strcpy(name, full.c_str());
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".jpg") == 0) return HTML_PICT_JPEG;
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tif") == 0) return HTML_PICT_TIFF;
      return HTML_PICT_NONE;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

HWND Host() {
  static HWND host = [] {
    WNDCLASSA c = {};
    c.lpfnWndProc = HostProc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "HtmlReaderTestHost";
    c.hbrBackground = HBRUSH(GetStockObject(WHITE_BRUSH));
    RegisterClassA(&c);
    RegisterWrxClass(GetModuleHandleA(nullptr));
    HtmlInit(GetModuleHandleA(nullptr));
    g_htmlHooks.errorBox = [](const char* text, const char*) { g_boxes.push_back(text); };
    g_htmlHooks.debugLine = [](const char*) {};
    return CreateWindowA("HtmlReaderTestHost", "HTML reader", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 660, 520, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
  }();
  return host;
}

// A small uncompressed RGB TIFF of red, green and blue bands.
std::string BandsTiff() {
  const uint32_t w = 24, h = 12;
  std::string pixels;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const int band = x / 8;
      pixels += char(band == 0 ? 255 : 0);
      pixels += char(band == 1 ? 255 : 0);
      pixels += char(band == 2 ? 255 : 0);
    }
  auto le16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
  auto le32 = [&](uint32_t v) { return le16(v) + le16(v >> 16); };
  const uint32_t bitsAt = 8 + uint32_t(pixels.size());
  const uint32_t directory = bitsAt + 6;
  std::string out = "II" + le16(42) + le32(directory) + pixels + le16(8) + le16(8) + le16(8);
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  } entries[] = {{256, 4, 1, w}, {257, 4, 1, h}, {258, 3, 3, bitsAt}, {259, 3, 1, 1},
                 {262, 3, 1, 2}, {273, 4, 1, 8}, {277, 3, 1, 3},      {279, 4, 1, uint32_t(pixels.size())}};
  out += le16(8);
  for (const Entry& e : entries) out += le16(e.tag) + le16(e.type) + le32(e.count) + le32(e.value);
  return out + le32(0);
}

// What the screen shows of a window (the control draws on the screen, not
// into a print context), as a 24-bit BMP file.
bool SaveScreenOf(HWND window, const std::string& path) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  testwin::PumpUntil([] { return false; }, 300);
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  const DWORD image = DWORD((width * 3 + 3) & ~3) * DWORD(height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + image;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  bytes.append(static_cast<const char*>(bits), image);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return testfs::WriteWholeFile(path, bytes);
}

class HtmlReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_record = HostRecord();
    g_boxes.clear();
    g_record.pictureDirectory = dir_.path();
    ASSERT_TRUE(dir_.Write("b.tif", BandsTiff()));
    ASSERT_TRUE(dir_.Write("a.jpg", testfs::ReadWholeFile(PELMORA_HTML_CORPUS "/jpeg/color_420_rst.jpg")));
  }
  void TearDown() override {
    if (control_ && IsWindow(control_)) {
      SetWrxModify(control_, 0);
      CloseWrx(control_, 0);
    }
  }

  HWND Control(bool attach = true) {
    WrxArgList a;
    std::memset(&a, 0, sizeof a);
    a.width = 640;
    a.height = 480;
    a.initialLine = 1;
    a.inputKind = 'B';
    a.lineDelimiter = 13;
    a.saveType = 4;
    a.instance = GetModuleHandleA(nullptr);
    a.parent = Host();
    a.style = WS_CHILD | WS_VISIBLE | WRX_WORDWRAP | WRX_READONLY | WRX_VSCROLL;
    a.wordWrap = 1;
    a.readOnly = 1;
    a.vScroll = 1;
    std::strcpy(a.typeface, "Arial");
    a.pointSize = 12;
    control_ = CreateWrxWindow(&a);
    EXPECT_TRUE(control_);
    if (attach) {
      EXPECT_EQ(HtmlAttach(control_, Host()), 1);
    }
    return control_;
  }

  int Read(const std::string& page) {
    EXPECT_TRUE(dir_.Write("page.html", page));
    return HtmlRead(control_, 0, dir_.Path("page.html").c_str(), nullptr, 0, nullptr);
  }

  std::string AllText() {
    std::string all;
    WrxFieldRec f;
    f.size = sizeof f;
    GetWrxField(control_, &f);
    for (long line = 0; line < f.lineCount; ++line) {
      char text[4096] = {};
      unsigned char ids[4096];
      GetWrxLine(control_, line, text, sizeof text, ids, sizeof ids);
      all += text;
      all += '\n';
    }
    return all;
  }

  testfs::TempDir dir_{"html"};
  HWND control_ = nullptr;
};

const char kPage[] =
    "<html><head><title>Reader test</title><base href=\"http://example.test/dir/\"></head><body>"
    "<h1>Heading One</h1><p>A paragraph with <b>bold</b>, <i>italic</i> and a <a href=\"next.html\">link</a>.</p>"
    "<ul><li>first item<li>second item</ul><ol><li>one<li>two</ol><hr>"
    "<form action=\"/s\"><input name=q size=12> <input type=submit value=Go></form>"
    "<p><img src=\"a.jpg\" alt=\"[jpeg]\"> <img src=\"b.tif\" alt=\"[tiff]\"> <img src=\"none.png\" alt=\"[none]\">"
    "<p><a name=\"end\">The end</a> &eacute;t&eacute;</body></html>";

TEST_F(HtmlReaderTest, ShowsAPageWithPicturesAndFields) {
  Control();
  ASSERT_EQ(Read(kPage), 1);
  EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
  const std::string text = AllText();
  for (const char* want : {"Heading One", "bold", "link", "first item", " 2.\ttwo", "The end", "\xe9t\xe9", "[none]"})
    EXPECT_NE(text.find(want), std::string::npos) << want << " in\n" << text;
  EXPECT_EQ(text.find("[jpeg]"), std::string::npos);
  EXPECT_EQ(text.find("[tiff]"), std::string::npos);
  EXPECT_EQ(g_record.pictures.size(), 2u);
  ASSERT_GE(g_record.texts.size(), 3u);
  EXPECT_EQ(g_record.texts[0], std::make_pair(UINT(HTML_TITLE), std::string("Reader test")));
  EXPECT_EQ(g_record.texts[1], std::make_pair(UINT(HTML_BASE), std::string("http://example.test/dir/")));
  WrxFieldRec f;
  f.size = sizeof f;
  ASSERT_TRUE(GetWrxField(control_, &f));
  EXPECT_EQ(f.modified, 0);

  testwin::PumpPending();
  RedrawWindow(Host(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  testwin::PumpPending();
  EXPECT_TRUE(SaveScreenOf(Host(), testwin::ScreenshotDirectory() + "html_reader.bmp"));
}

TEST_F(HtmlReaderTest, LinksGoToTheParentWithTheBaseAndAnchorsJump) {
  Control();
  ASSERT_EQ(Read(kPage + std::string(400, ' ') + "<p>&quot;end&quot; in visible text"), 1);
  WrxLinkRec* rec = new WrxLinkRec();
  std::strcpy(rec->code, "href=\"next.html\"");
  EXPECT_EQ(HtmlNotifyProc(control_, WRXN_LINK, WPARAM(control_), LPARAM(rec)), 1);
  EXPECT_EQ(g_record.texts.back(), std::make_pair(UINT(WRXN_LINK), std::string("http://example.test/dir/next.html")));
  EXPECT_STREQ(HtmlLinkAddress(control_), "http://example.test/dir/next.html");

  // A code without HREF is no link; "#name" jumps to the hidden anchor only.
  const size_t before = g_record.texts.size();
  std::strcpy(rec->code, "name=\"x\"");
  EXPECT_EQ(HtmlNotifyProc(control_, WRXN_LINK, WPARAM(control_), LPARAM(rec)), 0);
  std::strcpy(rec->code, "href=\"#end\"");
  SetWrxCursorPos(control_, 0, 0, 0);
  EXPECT_EQ(HtmlNotifyProc(control_, WRXN_LINK, WPARAM(control_), LPARAM(rec)), 1);
  long line = 0;
  int col = 0;
  GetWrxCursorPos(control_, &line, &col);
  char text[4096] = {};
  unsigned char ids[4096];
  GetWrxLine(control_, line, text, sizeof text, ids, sizeof ids);
  EXPECT_NE(std::string(text).find("The end"), std::string::npos) << text;
  std::strcpy(rec->code, "href=\"#missing\"");
  EXPECT_EQ(HtmlNotifyProc(control_, WRXN_LINK, WPARAM(control_), LPARAM(rec)), 0);
  EXPECT_EQ(g_record.texts.size(), before);
  delete rec;
}

TEST_F(HtmlReaderTest, EnterSubmitsOnlyAOneFieldFormAndRadiosGoTogether) {
  Control();
  ASSERT_EQ(Read("<form><input name=one></form><form><input name=a><input name=b></form>"
                 "<form><input type=radio name=r checked><input type=radio name=r><input type=radio name=s checked>"
                 "</form>"),
            1);
  // Fields are made in order with control ids from 2000.
  auto window = [&](int id) {
    for (int font = 0; font < 253; ++font) {
      HWND w = GetWrxControlWindow(control_, font);
      if (w && GetDlgCtrlID(w) == id) return w;
    }
    return HWND(nullptr);
  };
  HWND one = window(2000), a = window(2001);
  ASSERT_TRUE(one && a);
  SendMessageA(one, WM_CHAR, 13, 0);
  ASSERT_EQ(g_record.submits.size(), 1u);
  EXPECT_EQ(g_record.submits[0], 0);
  SendMessageA(a, WM_CHAR, 13, 0);
  EXPECT_EQ(g_record.submits.size(), 1u);

  HWND r1 = window(2003), r2 = window(2004), s = window(2005);
  ASSERT_TRUE(r1 && r2 && s);
  EXPECT_EQ(SendMessageA(r1, BM_GETCHECK, 0, 0), BST_CHECKED);
  HtmlNotifyProc(control_, WM_COMMAND, MAKEWPARAM(2004, BN_CLICKED), LPARAM(r2));
  EXPECT_EQ(SendMessageA(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(s, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(HtmlReaderTest, FailingReadsReturnZeroAndHostilePagesEndCleanly) {
  Control(false);
  EXPECT_EQ(HtmlRead(control_, 0, dir_.Path("page.html").c_str(), nullptr, 0, nullptr), 0);
  EXPECT_EQ(g_boxes, std::vector<std::string>{"Html Not initialized!"});
  ASSERT_EQ(HtmlAttach(control_, Host()), 1);
  g_boxes.clear();
  EXPECT_EQ(HtmlRead(control_, 0, dir_.Path("missing.html").c_str(), nullptr, 0, nullptr), 0);
  EXPECT_EQ(HtmlRead(control_, 0, "", nullptr, 0, nullptr), 0);
  EXPECT_TRUE(g_boxes.empty());

  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<font>";
  EXPECT_EQ(Read("shown" + deep + "lost"), 1);
  EXPECT_EQ(g_boxes, std::vector<std::string>{"Ran out of Group Table for HTML data (GetHtmlWord)."});
  EXPECT_NE(AllText().find("shown"), std::string::npos);
  EXPECT_EQ(AllText().find("lost"), std::string::npos);

  // From memory too, with a picture that does not decode.
  g_boxes.clear();
  ASSERT_TRUE(dir_.Write("a.jpg", "\xFF\xD8 not a picture"));
  const std::string page = "<img src=a.jpg alt=\"[broken]\">";
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, page.size());
  std::memcpy(GlobalLock(h), page.data(), page.size());
  GlobalUnlock(h);
  EXPECT_EQ(HtmlRead(control_, 1, nullptr, h, long(page.size()), nullptr), 1);
  GlobalFree(h);
  EXPECT_NE(AllText().find("[broken]"), std::string::npos);
}

}  // namespace
