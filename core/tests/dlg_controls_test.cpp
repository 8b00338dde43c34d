#include "core/dlg_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DlgControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }
  HWND Child(const char* cls, DWORD style) {
    return CreateWindowA(cls, "", WS_CHILD | style, 0, 0, 300, 200, parent_, nullptr, nullptr, nullptr);
  }
  static std::string Text(HWND window) {
    std::vector<char> text(GetWindowTextLengthA(window) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
  }
  static std::vector<std::string> Lines(CStrList& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.count(); ++i) lines.push_back(list.get(i));
    return lines;
  }
  HWND parent_ = nullptr;
};

}  // namespace

TEST_F(DlgControlsTest, EditLinesRoundTrip) {
  HWND edit = Child("EDIT", ES_MULTILINE | ES_AUTOVSCROLL);
  CStrList list;
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"one\r\ntwo\r\nthree", {"one", "two", "three"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"single", {"single"}},
  };
  for (const Case& c : cases) {
    SetWindowTextA(edit, c.text);
    EXPECT_EQ(SaveDlgControls(list, edit, false), 0);
    EXPECT_EQ(Lines(list), c.lines) << c.text;
    SetWindowTextA(edit, "stale");
    EXPECT_EQ(RestoreDlgControls(list, edit, false), 0);
    EXPECT_EQ(Text(edit), c.text);
  }

  // Empty: with the append flag the list stays, without it it empties.
  SetWindowTextA(edit, "");
  SaveDlgControls(list, edit, true);
  EXPECT_EQ(list.count(), 1);
  SaveDlgControls(list, edit, false);
  EXPECT_EQ(list.count(), 0);

  // Appending to a control adds after a line end.
  list.add("x");
  SetWindowTextA(edit, "kept");
  RestoreDlgControls(list, edit, true);
  EXPECT_EQ(Text(edit), "kept\r\nx");
}

TEST_F(DlgControlsTest, ListAndComboItemsRoundTrip) {
  for (auto [cls, style] : {std::pair<const char*, DWORD>{"LISTBOX", 0}, {"COMBOBOX", CBS_DROPDOWN}}) {
    HWND control = Child(cls, style);
    CStrList list;
    list.add("alpha");
    list.add("beta");
    list.add(std::string(5000, 'z').c_str());  // cut to 4096 on the way in
    EXPECT_EQ(RestoreDlgControls(list, control, false), 0) << cls;
    CStrList back;
    back.add("old");
    EXPECT_EQ(SaveDlgControls(back, control, true), 0) << cls;
    ASSERT_EQ(back.count(), 4) << cls;
    EXPECT_STREQ(back.get(0), "old");
    EXPECT_STREQ(back.get(1), "alpha");
    EXPECT_EQ(std::string(back.get(3)), std::string(CStrList::kLineMax, 'z'));
    RestoreDlgControls(list, control, false);  // replaces, not appends
    SaveDlgControls(back, control, false);
    EXPECT_EQ(back.count(), 3) << cls;
  }
}

TEST_F(DlgControlsTest, OtherControlsAreLeftAlone) {
  HWND label = Child("STATIC", 0);
  SetWindowTextA(label, "label");
  CStrList list;
  list.add("x");
  EXPECT_EQ(RestoreDlgControls(list, label, false), 1);
  EXPECT_EQ(Text(label), "label");
  EXPECT_EQ(SaveDlgControls(list, label, false), 1);
  EXPECT_EQ(list.count(), 1);
}
