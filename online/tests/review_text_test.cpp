// The review text of an editor's message: its heading lines and the body with
// the edit control's soft breaks made hard.
#include "online/review_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "compose/message_view.h"
#include "wrx/wrx.h"

namespace {

std::vector<std::string>& Lines() {
  static std::vector<std::string> lines;
  return lines;
}

TEST(ReviewText, HeadingLinesThenTheBodyAsSent) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWrxClass(instance);
  SetWrxSharedFlags(WRXF_SILENT);
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, instance, nullptr);
  HWND control = ResetMessageView(host);
  ASSERT_TRUE(control);
  MessageViewHooks saved = g_messageViewHooks;
  g_messageViewHooks.markupMessageText = [](HWND, const char* line, bool) { Lines().push_back(line); };
  EditorState state;
  state.bodyEdit = CreateWindowExA(0, "EDIT", "Wrapped \r\r\nline\r\nend", WS_CHILD | ES_MULTILINE, 0, 0, 100, 100,
                                   host, nullptr, instance, nullptr);
  lstrcpynA(state.szFolders, "chat/general", sizeof state.szFolders);
  lstrcpynA(state.szSubject, "Plans", sizeof state.szSubject);
  struct Case {
    long comment;
    const char* name;
    const char* email;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {12,
       "Ann Lee",
       "ann@x.org",
       {"Message:\tChat/General (reply to 12)\r\n", "From:   \tAnn Lee (ann@x.org)\r\n", "Subject: \tPlans\r\n", "\r\n",
        "Wrapped \r\nline\r\nend"}},
      {0,
       "Ann Lee",
       "",
       {"Message:\tChat/General\r\n", "From:   \tAnn Lee\r\n", "Subject: \tPlans\r\n", "\r\n",
        "Wrapped \r\nline\r\nend"}},
      {0,
       "",
       "",
       {"Message:\tChat/General\r\n", "From:   \tYou\r\n", "Subject: \tPlans\r\n", "\r\n", "Wrapped \r\nline\r\nend"}},
  };
  for (const Case& c : cases) {
    Lines().clear();
    state.nComment = c.comment;
    lstrcpynA(state.szRealname, c.name, sizeof state.szRealname);
    lstrcpynA(state.szEmail, c.email, sizeof state.szEmail);
    EXPECT_EQ(BuildReviewText(&state, control), 1);
    EXPECT_EQ(Lines(), c.lines);
  }
  g_messageViewHooks = saved;
  CloseWrx(control, 0);
  DestroyWindow(host);
}

}  // namespace
