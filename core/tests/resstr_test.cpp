#include "core/resstr.h"

#include <cstring>
#include <string>

#include "core/tests/ui_recorder.h"
#include "tests/support/window_fixture.h"

class ResStr : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    LoadResourceDll(GetModuleHandleA(nullptr));
    g_app.britishEnglish = false;
  }
};

TEST_F(ResStr, SharedIdsAndMissingStrings) {
  struct Case {
    int id;
    const char* text;
  } cases[] = {
      {7150, "MDI Window"},
      {7100, "MDI Window"},
      {7200, "MDI Window"},
      {1688, "Access a service specific feature"},
      {1689, "LoadString(1689)"},
      {1099, "LoadString(1099)"},
      {1050, "Invoke an external plugin"},
      {5755, "Pelmora"},
  };
  for (auto& c : cases) EXPECT_STREQ(loadstr(c.id), c.text) << c.id;
}

TEST_F(ResStr, TwoRotatingBuffers) {
  const char* a = loadstr(5755);
  const char* b = loadstr(7100);
  EXPECT_STREQ(a, "Pelmora");  // still valid after one more call
  EXPECT_STREQ(b, "MDI Window");
  EXPECT_NE(a, b);
}

TEST_F(ResStr, TextMacros) {
  EXPECT_STREQ(loadstr(60001), "Pelmora and Pelmora and %PROGRAM%");
  EXPECT_STREQ(loadstr(60003), "Customize your Favorite Color");
  g_app.britishEnglish = true;
  EXPECT_STREQ(loadstr(60003), "Customise your Favourite Colour");
  g_app.britishEnglish = false;

  std::strcpy(g_app.programName, "Mailer");
  EXPECT_STREQ(loadstr(5755), "Mailer");
  std::strcpy(g_app.programName, "Pelmora");

  char empty[4] = "";
  ExpandTextMacros(empty, sizeof empty);
  EXPECT_STREQ(empty, "");
  ExpandTextMacros(nullptr, 0);
}

// A long program name in a small buffer is cut at the buffer's end; the
// bytes behind it stay untouched.
TEST_F(ResStr, ExpansionStaysInsideTheCallersBuffer) {
  std::strcpy(g_app.programName, "A Rather Long Program Name");
  struct Guarded {
    char text[24];
    char guard[16];
  } buffer;
  std::memset(buffer.guard, 'G', sizeof buffer.guard);
  std::strcpy(buffer.text, "%PROGRAM% %PROGRAM%");
  ExpandTextMacros(buffer.text, sizeof buffer.text);
  std::strcpy(g_app.programName, "Pelmora");
  EXPECT_STREQ(buffer.text, "A Rather Long Program N");
  for (char c : buffer.guard) ASSERT_EQ(c, 'G');
}

TEST_F(ResStr, BangTextsStayUnexpandedUntilABoxExpandsThem) {
  EXPECT_STREQ(loadstr(60002), "Colour");
  Recorded().answer = IDYES;
  EXPECT_TRUE(askyesnoid(60002));
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Color");
  EXPECT_EQ(Recorded().boxStyles[0] & MB_YESNO, static_cast<UINT>(MB_YESNO));
}

TEST_F(ResStr, NoticesGoToTheStatusBarUpTo31Characters) {
  std::string short31(31, 'x'), long32(32, 'y');
  msgnote(short31.c_str());
  msgnote(long32.c_str());
  ASSERT_EQ(Recorded().status.size(), 1u);
  EXPECT_EQ(Recorded().status[0], short31);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], long32);
}

TEST_F(ResStr, QuestionAnswersAndFormattedBoxes) {
  Recorded().answer = IDNO;
  EXPECT_FALSE(askyesno("Really?"));
  Recorded().answer = IDCANCEL;
  EXPECT_EQ(askyesnocancel("Save?"), IDCANCEL);
  WarnBoxF("%s-%u: %s", "file.cpp", 12u, "broken");
  EXPECT_EQ(Recorded().boxes.back(), "file.cpp-12: broken");
}

TEST_F(ResStr, WaitCursorNests) {
  g_app.busyCount = 0;
  BeginWait();
  BeginWait();
  EndWait();
  EXPECT_EQ(g_app.busyCount, 1);
  EndWait();
  EXPECT_EQ(g_app.busyCount, 0);
  EndWait();  // unmatched: stays at zero
  EXPECT_EQ(g_app.busyCount, 0);
}

// Drives the real "Ask" dialog: a timer types an answer and presses a button.
namespace {
int g_pressButton = IDOK;
const char* g_typeText = nullptr;

void CALLBACK PressInPrompt(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = testwin::FindThreadDialog();
  if (!dialog) return;
  KillTimer(nullptr, timer);
  if (g_typeText) SetDlgItemTextA(dialog, 2005, g_typeText);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(g_pressButton, BN_CLICKED), 0);
}
}  // namespace

TEST_F(ResStr, AskDialogOkAndCancel) {
  char answer[80] = "proposal";
  g_pressButton = IDCANCEL;
  g_typeText = nullptr;
  SetTimer(nullptr, 0, 50, PressInPrompt);
  EXPECT_FALSE(askstrnoowner("Name?", answer));
  EXPECT_STREQ(answer, "");

  g_pressButton = IDOK;
  g_typeText = "Jane Doe";
  SetTimer(nullptr, 0, 50, PressInPrompt);
  EXPECT_TRUE(paskstrnoowner("Password?", answer));
  EXPECT_STREQ(answer, "Jane Doe");
}

TEST_F(ResStr, PromptSeamKeepsTheDialogRules) {
  g_prompt.answer = [](const char*, const char*, char* entry, size_t, bool) {
    EXPECT_STREQ(entry, "proposal");
    return false;
  };
  char answer[80] = "proposal";
  EXPECT_FALSE(askstr("Name?", answer));
  EXPECT_STREQ(answer, "");
  g_prompt.answer = [](const char*, const char*, char* entry, size_t size, bool hidden) {
    lstrcpynA(entry, std::string(200, 'z').c_str(), static_cast<int>(size));
    return true;
  };
  EXPECT_TRUE(askstr("Name?", answer));
  EXPECT_EQ(std::strlen(answer), 78u);  // an entry holds at most 78 characters

  // A caller's smaller buffer gets the answer cut to its size, nothing past it.
  struct {
    char answer[8];
    char guard[8];
  } small;
  std::memset(&small, '#', sizeof small);
  small.answer[0] = 0;
  EXPECT_TRUE(askstr("Name?", small.answer));
  EXPECT_STREQ(small.answer, "zzzzzzz");
  EXPECT_EQ(std::string(small.guard, 8), std::string(8, '#'));
  char one[1] = {'x'};
  EXPECT_FALSE(askstr("Name?", one));  // no room for an answer: not asked
  EXPECT_EQ(one[0], 0);
  g_prompt.answer = nullptr;
}
