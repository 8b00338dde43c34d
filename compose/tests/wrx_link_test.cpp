// The message view's answer to a clicked link: what it logs, what it opens,
// and that the control takes the answer as the link being taken.
#include "compose/wrx_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_lines, g_opened;

void RecordLine(const char* line) { g_lines.push_back(line); }
int RecordOpen(HWND, const char* address) {
  g_opened.push_back(address);
  return 1;
}

WrxLinkRec Link(const char* code, const char* text) {
  WrxLinkRec r{};
  strcpy(r.code, code);
  strcpy(r.text, text);
  r.activation = 1;
  return r;
}

TEST(WrxLinkTest, LogsOpensAndAnswersOne) {
  g_wrxLinkHooks = {RecordLine, RecordOpen};
  struct Case {
    const char* code;
    const char* text;
    const char* address;
    size_t lines;
  } cases[] = {
      {"", "http://example.org/a", "http://example.org/a", 1},
      {"", "c:\\docs\\notes.txt", "FILE://c:\\docs\\notes.txt", 1},
      {"", "notes.txt", "FILE://notes.txt", 1},
      {"HYPERLINK \"mailto:someone@example.org\" ", "write to us", "mailto:someone@example.org", 2},
      {"news:comp.lang", "the group", "news:comp.lang", 2},
  };
  for (const Case& c : cases) {
    g_lines.clear();
    g_opened.clear();
    WrxLinkRec r = Link(c.code, c.text);
    EXPECT_EQ(MessageViewNotify(nullptr, WRXN_LINK, 0, LPARAM(&r)), 1);
    ASSERT_EQ(g_opened.size(), 1u);
    EXPECT_EQ(g_opened[0], c.address);
    ASSERT_EQ(g_lines.size(), c.lines) << c.text;
    if (c.lines == 2) {
      EXPECT_EQ(g_lines[0], std::string("WRX_LINK: code='") + c.code + "'");
    }
    EXPECT_EQ(g_lines.back(), std::string("WRX_LINK: url='") + c.address + "'");
  }
  // The other notifications change nothing and are answered 0.
  g_opened.clear();
  for (UINT code : {2724u, 2725u, 2728u, 2729u, 2730u}) EXPECT_EQ(MessageViewNotify(nullptr, code, 0, 0), 0);
  EXPECT_TRUE(g_opened.empty());
  // A long address is cut to the buffer.
  std::string longText(2049, 'a');
  WrxLinkRec r{};
  memcpy(r.text, longText.data(), longText.size());
  char small[16];
  WrxLinkAddress(&r, small, sizeof small);
  EXPECT_EQ(strlen(small), 15u);
}

}  // namespace
