#include "core/help.h"

#include <string>

#include "core/tests/ui_recorder.h"

namespace {
bool EndsWith(const std::string& s, const char* tail) {
  std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}
}  // namespace

class Help : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    CloseHelp();
    while (true) {  // back to an empty stack
      PushHelpContext(0);
      for (int i = 0; i < 12; ++i) PopHelpContext();
      break;
    }
    ClearHelpWindowContext();
    Recorded().help.clear();
  }
};

TEST_F(Help, CommandsForEachKindOfRequest) {
  struct Case {
    long context;
    const char* key;
    UINT command;
    ULONG_PTR data;
    const char* file;
  } cases[] = {
      {HELPCTX_FINDER, nullptr, HELP_FINDER, 0, "\\pl32.hlp"},
      {HELPCTX_STACK, nullptr, HELP_FINDER, 0, "\\pl32.hlp"},  // nothing pushed: slot 0
      {HELPCTX_MAP_CONTENTS, nullptr, HELP_CONTENTS, 0, "\\rdmap32.hlp"},
      {8123, nullptr, HELP_CONTEXT, 8123, "\\pl32.hlp"},
  };
  for (auto& c : cases) {
    Recorded().help.clear();
    ShowHelp(c.context, c.key);
    ASSERT_EQ(Recorded().help.size(), 1u);
    EXPECT_EQ(Recorded().help[0].command, c.command) << c.context;
    EXPECT_EQ(Recorded().help[0].data, c.data) << c.context;
    EXPECT_TRUE(EndsWith(Recorded().help[0].file, c.file)) << Recorded().help[0].file;
  }
  const char* key = "folders";
  Recorded().help.clear();
  ShowHelp(HELPCTX_KEY, key);
  ShowHelp(HELPCTX_PARTIAL_KEY, key);
  EXPECT_EQ(Recorded().help[0].command, static_cast<UINT>(HELP_KEY));
  EXPECT_EQ(Recorded().help[1].command, static_cast<UINT>(HELP_PARTIALKEY));
  EXPECT_EQ(Recorded().help[1].data, reinterpret_cast<ULONG_PTR>(key));
}

TEST_F(Help, ContextStackIgnoresOverflowAndUnderflow) {
  for (DWORD i = 1; i <= 11; ++i) PushHelpContext(9000 + i);
  ShowHelp(HELPCTX_STACK, nullptr);
  EXPECT_EQ(Recorded().help.back().data, 9010u);  // the eleventh push was ignored
  for (int i = 0; i < 15; ++i) PopHelpContext();
  ShowHelp(HELPCTX_STACK, nullptr);
  EXPECT_EQ(Recorded().help.back().command, static_cast<UINT>(HELP_FINDER));
  PushHelpContext(8500);
  ShowHelp(HELPCTX_STACK, nullptr);
  EXPECT_EQ(Recorded().help.back().data, 8500u);
  PopHelpContext();
}

TEST_F(Help, MenuItemHelp) {
  HelpMenuSelect(nullptr, WM_MENUSELECT, MAKEWPARAM(0, 0), 0);
  ShowHelp(HELPCTX_MENU_ITEM, nullptr);
  EXPECT_EQ(Recorded().help.back().command, static_cast<UINT>(HELP_FINDER));
  HelpMenuSelect(nullptr, WM_MENUSELECT, MAKEWPARAM(1234, 0), 0);
  ShowHelp(HELPCTX_MENU_ITEM, nullptr);
  EXPECT_EQ(Recorded().help.back().data, 1234u);
}

TEST_F(Help, CloseQuitsOnlyTheFilesOpened) {
  ShowHelp(HELPCTX_MAP_CONTENTS, nullptr);
  Recorded().help.clear();
  CloseHelp();
  ASSERT_EQ(Recorded().help.size(), 1u);
  EXPECT_EQ(Recorded().help[0].command, static_cast<UINT>(HELP_QUIT));
  EXPECT_TRUE(EndsWith(Recorded().help[0].file, "\\rdmap32.hlp"));
}
