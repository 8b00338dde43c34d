// Painting as a user sees it: visible control windows under the X server,
// their client areas captured and compared with what plain GDI draws in the
// same font, and a screenshot of a document with fonts, a link, a highlight,
// paragraph marks and labelled break lines.
#include "wrx/tests/wrx_pixels.h"
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wrxtest;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000;

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

class WrxPaintTest : public WrxHostTest {
 protected:
  // A visible window at the top left of the screen holding `text`.
  HWND Shown(const std::string& text, DWORD controlStyle, int width = 420, int height = 160) {
    WrxArgList a = HiddenArgs(controlStyle);
    a.style = WS_POPUP | WS_VISIBLE | controlStyle;
    a.x = 0, a.y = 0, a.width = width, a.height = height;
    SetArgsText(a, text);
    HWND hwnd = CreateWrxWindow(&a);
    EXPECT_NE(hwnd, nullptr);
    windows_.push_back(hwnd);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, width, height, SWP_SHOWWINDOW);
    SetFocus(nullptr);  // no caret in the pictures
    Pump();
    Repaint(hwnd);
    return hwnd;
  }
  void Repaint(HWND hwnd) {
    WrxWindow* w = GetWrxWindow(hwnd);
    w->paintScope = 3;
    PaintWrx(w);
    GdiFlush();
  }
  // The band of a line: its row from the screen-line table.
  RECT RowBand(HWND hwnd, int row, int32_t x1 = 0, int32_t x2 = -1) {
    WrxWindow* w = GetWrxWindow(hwnd);
    const int32_t top = w->screenLines.top[row], height = w->screenLines.height[row];
    return RECT{x1, top, x2 < 0 ? w->textRect.right : x2, top + height};
  }
  int32_t ColumnX(HWND hwnd, int32_t line, int32_t col) {
    WrxWindow* w = GetWrxWindow(hwnd);
    return w->textRect.left + GetColumnX(w, col, line, 0) - w->hOffset;
  }
};

TEST_F(WrxPaintTest, TextMatchesPlainGdiInTheSameFont) {
  HWND hwnd = Shown("Hello, world\r\nsecond line\r\n", 0);
  WrxWindow* w = GetWrxWindow(hwnd);
  const Pixels shot = CaptureClient(hwnd);
  // The reference: the same text with plain ExtTextOut in font 0.
  HDC screen = GetDC(hwnd);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, shot.width, shot.height);
  ReleaseDC(hwnd, screen);
  SelectObject(mem, bitmap);
  RECT all{0, 0, shot.width, shot.height};
  FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(mem, w->fonts[0].font);
  SetTextColor(mem, w->fonts[0].textColor);
  // Glyphs go at the font's own advance widths, as the control measures them.
  auto draw = [mem](int x, int y, const char* text) {
    INT dx[64];
    const int n = int(strlen(text));
    for (int k = 0; k < n; ++k) GetCharWidth32A(mem, UINT(uint8_t(text[k])), UINT(uint8_t(text[k])), &dx[k]);
    ExtTextOutA(mem, x, y, 0, nullptr, text, UINT(n), dx);
  };
  draw(w->textRect.left, w->textRect.top, "Hello, world");
  const int32_t second = w->textRect.top + GetLineHeight(w, 0);
  draw(w->textRect.left, second, "second line");
  int differing = 0;
  for (int y = 0; y < second + GetLineHeight(w, 1); ++y)
    for (int x = 0; x < 200; ++x) {
      const COLORREF c = GetPixel(mem, x, y);
      const uint32_t rgb = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      differing += shot.At(x, y) != rgb;
    }
  Pixels reference = shot;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const COLORREF c = GetPixel(mem, x, y);
      reference.rgb[size_t(y) * size_t(shot.width) + size_t(x)] =
          (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
  SavePng(ScreenshotPath("wrx_paint_reference.png"), reference);
  SavePng(ScreenshotPath("wrx_paint_plain.png"), shot);
  DeleteDC(mem);
  DeleteObject(bitmap);
  EXPECT_EQ(differing, 0);
  EXPECT_GT(shot.CountOther(RowBand(hwnd, 0), kWhite), 20) << "text was drawn";
}

TEST_F(WrxPaintTest, TheHighlightInvertsExactlyTheSelectedColumns) {
  struct Case {
    int col1, col2;
  } cases[] = {{3, 3}, {2, 6}, {0, 1}, {5, 11}};
  HWND hwnd = Shown("abcdefghijk\r\n", 0);
  for (const Case& c : cases) {
    SelectWrxText(hwnd, 0, c.col1, 0, c.col2, 1);
    GdiFlush();
    const Pixels shot = CaptureClient(hwnd);
    const RECT row = RowBand(hwnd, 0);
    const int32_t x1 = ColumnX(hwnd, 0, c.col1), x2 = ColumnX(hwnd, 0, c.col2);
    // The row's top line is background: black inside the block, white outside.
    for (int x = 0; x < ColumnX(hwnd, 0, 11) + 20; ++x) {
      const bool inside = x >= x1 && x < x2;
      EXPECT_EQ(shot.At(x, row.top), inside ? kBlack : kWhite) << c.col1 << "-" << c.col2 << " at x " << x;
    }
    DeselectWrxText(hwnd, 1);
  }
}

TEST_F(WrxPaintTest, MarksLabelsBlankLinesBulletsPicturesAndPaintingOff) {
  // Paragraph marks: 182 drawn after the text only while command 692 is on.
  {
    HWND hwnd = Shown("ab\r\n", WRX_WORDWRAP);
    const int32_t x = ColumnX(hwnd, 0, 2);
    const RECT after{x, RowBand(hwnd, 0).top, x + 12, RowBand(hwnd, 0).bottom};
    EXPECT_EQ(CaptureClient(hwnd).CountOther(after, kWhite), 0) << "no mark while marks are hidden";
    SendMessageA(hwnd, WM_COMMAND, 692, 0);
    GdiFlush();
    EXPECT_GT(CaptureClient(hwnd).CountOther(after, kWhite), 5) << "the mark shows with command 692";
    SendMessageA(hwnd, WM_COMMAND, 692, 0);
    GdiFlush();
    EXPECT_EQ(CaptureClient(hwnd).CountOther(after, kWhite), 0);
  }
  // Break lines: the label beside the middle of the row, or a bare rule.
  struct Label {
    uint8_t marker;
    DWORD style;
    bool labelled;
  } labels[] = {
      {WRX_PAGEBREAK, 0, true},
      {WRX_PAGEBREAK, WRX_READONLY, false},
      {WRX_HEADERDELIM, 0, true},
      {WRX_HEADERDELIM, WRX_READONLY, true},
  };
  for (const Label& c : labels) {
    HWND hwnd = Shown("x\r\n", WRX_WORDWRAP | c.style);
    WrxWindow* w = GetWrxWindow(hwnd);
    const char text[2] = {char(c.marker), 0};
    const unsigned char ids[1] = {0};
    w->arg.readOnly = 0;  // SetWrxLine writes; the paint reads the style's read-only word below
    ASSERT_EQ(SetWrxLine(hwnd, 0, text, ids), 1);
    w->arg.readOnly = (c.style & WRX_READONLY) ? 1 : 0;
    Repaint(hwnd);
    const Pixels shot = CaptureClient(hwnd);
    const RECT row = RowBand(hwnd, 0);
    const int middle = (row.top + row.bottom) / 2;
    const int centre = (w->textRect.left + w->textRect.right) / 2;
    // Glyphs lie above and below the middle; a bare rule only on it.
    const RECT offMiddle{centre - 30, row.top, centre + 30, middle - 1};
    EXPECT_EQ(shot.CountOther(offMiddle, kWhite) > 0, c.labelled) << int(c.marker) << " style " << c.style;
    EXPECT_GT(shot.CountOther(RECT{w->textRect.left + 2, middle - 1, w->textRect.left + 30, middle + 2}, kWhite), 0)
        << "the rule starts at the left edge";
  }
  // A line of blanks draws no text but fills its row.
  {
    HWND hwnd = Shown("XXXXXXXX\r\n", 0);
    EXPECT_GT(CaptureClient(hwnd).CountOther(RowBand(hwnd, 0), kWhite), 20);
    const unsigned char ids[8] = {};
    SetWrxLine(hwnd, 0, "        ", ids);
    WrxWindow* w = GetWrxWindow(hwnd);
    w->paintScope = 2;
    PaintWrx(w);
    GdiFlush();
    EXPECT_EQ(CaptureClient(hwnd).CountOther(RowBand(hwnd, 0), kWhite), 0);
  }
  // The bullet of a hanging paragraph: drawn only when the indent is wider.
  for (int32_t hang : {-360, -30}) {
    HWND hwnd = Shown("item\r\n", WRX_WORDWRAP);
    WrxWindow* w = GetWrxWindow(hwnd);
    w->paras[0].leftIndent = 720;
    w->paras[0].firstIndent = hang;
    w->paras[0].flags = PF_BULLET;
    Repaint(hwnd);
    const RECT room{0, RowBand(hwnd, 0).top, ColumnX(hwnd, 0, 0), RowBand(hwnd, 0).bottom};
    EXPECT_EQ(CaptureClient(hwnd).CountOther(room, kWhite) > 0, hang == -360) << hang;
  }
  // A picture repeated 100 times in one run draws 100 times.
  {
    HWND hwnd = Shown("x\r\n", 0, 900);
    WrxWindow* w = GetWrxWindow(hwnd);
    const int id = AddFontEntry(w);
    ASSERT_GT(id, 0);
    WrxFont& f = w->fonts[id];
    f.inUse = 1;
    f.style = wrxfmt::kPictureStyle;
    f.kind = 0;
    f.pict = new WrxPictData;
    f.pict->width = f.pict->height = 6;  // points: 8 pixels at 96 per inch
    BITMAPINFOHEADER bh{sizeof bh, 1, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    f.pict->info.assign(reinterpret_cast<uint8_t*>(&bh), reinterpret_cast<uint8_t*>(&bh) + sizeof bh);
    f.pict->image = {0x00, 0x00, 0xFF, 0x00};  // one red pixel, stretched
    const int32_t pixels = PictureWidth(w, id);
    if (!f.widths) f.widths = static_cast<int32_t*>(calloc(256, sizeof(int32_t)));
    for (int c = 0; c < 256; ++c) f.widths[c] = pixels;
    f.lineHeight = f.baseLine = PictureHeight(w, id);
    std::string text(100, '_');
    std::vector<unsigned char> ids(100, static_cast<unsigned char>(id));
    ASSERT_EQ(SetWrxLine(hwnd, 0, text.c_str(), ids.data()), 1);
    Repaint(hwnd);
    const Pixels shot = CaptureClient(hwnd);
    const RECT row = RowBand(hwnd, 0);
    int pictures = 0;
    for (int k = 0; k < 100; ++k) {
      const int x = ColumnX(hwnd, 0, k) + pixels / 2;
      pictures += shot.At(x, row.bottom - 2) == 0xFF0000;
    }
    EXPECT_EQ(pictures, 100);
  }
  // Painting switched off draws nothing; switched on, everything.
  {
    HWND hwnd = Shown("before\r\n", 0);
    const Pixels first = CaptureClient(hwnd);
    SetWrxPaintFlag(hwnd, 0);
    const unsigned char ids[5] = {};
    SetWrxLine(hwnd, 0, "after", ids);
    Repaint(hwnd);
    EXPECT_EQ(CaptureClient(hwnd).rgb, first.rgb);
    SetWrxPaintFlag(hwnd, 1);
    Repaint(hwnd);
    EXPECT_NE(CaptureClient(hwnd).rgb, first.rgb);
  }
}

TEST_F(WrxPaintTest, ACharacterChangedInAParagraphRewrapsItAndDrawsOneRow) {
  std::string text;
  for (int k = 0; k < 2000; ++k)
    text += "one paragraph of a few words that wraps onto two or three rows here and goes on a while\r\n";
  HWND hwnd = Shown(text, WRX_WORDWRAP, 300, 300);
  WrxWindow* w = GetWrxWindow(hwnd);
  WrxRewrap(hwnd);
  ASSERT_GE(w->lineCount, 6000);
  // The cursor in the middle of the paragraph on the second row.
  w->curLine = 1, w->curCol = 3;
  const std::string before = LineText(hwnd, 1);
  std::string changed = before;
  changed[3] = 'X';
  std::vector<unsigned char> ids(changed.size(), 0);
  ASSERT_EQ(SetWrxLine(hwnd, 1, changed.c_str(), ids.data()), 1);
  const long wrapped = w->linesWrapped;
  w->wrapLevel = 1;  // as a typed character asks
  w->paintScope = 2;
  w->paintByCommand = 1;
  PaintWrx(w);
  EXPECT_EQ(w->rowsDrawn, 1) << "only the cursor's row";
  EXPECT_LE(w->linesWrapped - wrapped, 3) << "no line outside the paragraph";
  EXPECT_EQ(LineText(hwnd, 1), changed);
}

TEST_F(WrxPaintTest, AScreenshotOfAFormattedDocument) {
  HWND hwnd = Shown("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", WRX_WORDWRAP, 520, 300);
  WrxWindow* w = GetWrxWindow(hwnd);
  const int title = SetWrxFont(hwnd, -1, 0, "Times New Roman", 18, 2, RGB(0, 0, 128), 0xFFFFFF, 0, 0);
  const int italic = SetWrxFont(hwnd, -1, 0, "Arial", 12, 4, RGB(128, 0, 0), 0xFFFFFF, 0, 0);
  const int link = SetWrxFont(hwnd, -1, 0, "Arial", 12, 0x4001, RGB(0, 0, 255), 0xFFFFFF, 0, 0);
  ASSERT_GT(title, 0);
  struct Run {
    const char* text;
    int id;
  };
  auto line = [&](long at, std::initializer_list<Run> runs, bool paragraph = true) {
    std::string text;
    std::vector<unsigned char> ids;
    for (const Run& r : runs) {
      text += r.text;
      ids.insert(ids.end(), strlen(r.text), static_cast<unsigned char>(r.id));
    }
    if (paragraph) {
      text += char(WRX_PARAEND);
      ids.push_back(0);
    }
    ASSERT_EQ(SetWrxLine(hwnd, at, text.c_str(), ids.data()), 1);
  };
  line(0, {{"A document in two faces", title}});
  line(1, {{"Plain text, ", 0}, {"italic text", italic}, {" and a ", 0}, {"link", link}, {".", 0}});
  line(2, {{"The word highlight is selected.", 0}});
  const char pageBreak[2] = {char(WRX_PAGEBREAK), 0};
  const char header[2] = {char(WRX_HEADERDELIM), 0};
  line(3, {{pageBreak, 0}}, false);
  line(4, {{header, 0}}, false);
  line(5, {{"After the breaks.", 0}});
  w->breakLinesShown = 1;
  EXPECT_EQ(LineText(hwnd, 3), std::string(1, char(WRX_PAGEBREAK)));
  EXPECT_EQ(LineText(hwnd, 4), std::string(1, char(WRX_HEADERDELIM)));
  SelectWrxText(hwnd, 2, 9, 2, 18, 1);
  Repaint(hwnd);
  const Pixels shot = CaptureClient(hwnd);
  EXPECT_TRUE(SavePng(ScreenshotPath("wrx_paint_document.png"), shot));
  EXPECT_GT(shot.Count(RECT{0, 0, shot.width, shot.height}, 0x000080), 10) << "the title's colour";
  EXPECT_GT(shot.Count(RECT{0, 0, shot.width, shot.height}, 0x0000FF), 10) << "the link's colour";
}

}  // namespace

namespace {

// Page mode draws ordinary text first and line objects last, whatever their
// order in the frame table: a line object listed before the text it crosses
// still shows over the text's rows.
TEST_F(WrxPaintTest, PageModeDrawsLineObjectsOverText) {
  HWND hwnd = Shown("first row of text\r\nsecond row of text\r\nthird row\r\n", WRX_WORDWRAP);
  WrxWindow* w = GetWrxWindow(hwnd);
  w->arg.pageMode = w->arg.printView = 1;
  const int32_t object = GetParaFrameSlot(w);
  ASSERT_GT(object, 0);
  const int32_t words[13] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x100, 0, 0};  // in use, a line, vertical
  memcpy(w->frames[size_t(object)].bytes, words, sizeof words);
  ASSERT_EQ(InitFrameSlot(w, 0), 1);
  ASSERT_EQ(InitFrameSlot(w, 1), 1);
  WrxTextFrame& line = w->textFrames[0];
  line.noText = 1, line.flags = 8, line.paraFrame = object;
  line.firstLine = line.lastLine = 0;
  line.screenX = 60, line.screenY = 0, line.screenWidth = 0, line.screenHeight = 50;
  WrxTextFrame& text = w->textFrames[1];
  text.firstLine = 0, text.lastLine = 2;
  text.screenX = 0, text.screenY = 0, text.screenWidth = 400, text.screenHeight = 100;
  w->textFrameCount = 2;
  Repaint(hwnd);
  const Pixels shot = CaptureClient(hwnd);
  const int32_t x = w->textRect.left + 60;
  EXPECT_EQ(shot.Count(RECT{x, 1, x + 1, 49}, kBlack), 48) << "the line over the rows";
  EXPECT_GT(shot.Count(RowBand(hwnd, 1, 0, 400), kBlack), 10) << "and the text under it";
  EXPECT_GT(w->rowsDrawn, 2);
}

}  // namespace
