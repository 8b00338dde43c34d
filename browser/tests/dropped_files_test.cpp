// Files dropped on a folder of the MessageBase window under Wine: the dialog,
// its remembered delete box, and what reaches the import queue.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "browser/mbw.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/tests/topic_fixture.h"
#include "resources/browser_ids.h"
#include "tests/support/files.h"
#include "tests/support/window_fixture.h"

namespace {

std::deque<std::function<void(HWND)>>& Drivers() {
  static std::deque<std::function<void(HWND)>> drivers;
  return drivers;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char name[16];
  GetClassNameA(window, name, sizeof name);
  if (!lstrcmpA(name, "#32770") && IsWindowVisible(window)) *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

void CALLBACK DriveTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || Drivers().empty()) return;
  KillTimer(nullptr, id);
  auto driver = Drivers().front();
  Drivers().pop_front();
  driver(dialog);
}

INT_PTR Driven(const char* target) {
  SetTimer(nullptr, 0, 50, DriveTimer);
  return DialogBoxParamA(GetModuleHandleA(nullptr), "DropFiles", nullptr, DropFilesProc,
                         reinterpret_cast<LPARAM>(target));
}

std::vector<std::string> g_started;

class DroppedFilesTest : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    saved_ = g_importProgram;
    g_started.clear();
    g_importProgram.start = [](const char* line, UINT) -> UINT {
      g_started.push_back(line);
      return 33;
    };
  }
  void TearDown() override {
    g_importProgram = saved_;
    TopicFixture::TearDown();
  }
  std::vector<ImportQueueEntry> Queue() {
    std::vector<ImportQueueEntry> out;
    if (!LockImportQueue(false)) return out;
    for (int i = 0; i < ImportQueue.Count(); ++i)
      if (auto* e = static_cast<ImportQueueEntry*>(ImportQueue.At(i))) out.push_back(*e);
    ClearImportQueue();
    return out;
  }
  ImportProgramSeam saved_;
};

TEST_F(DroppedFilesTest, BodiesGoIntoOneScratchFileQueuedForDeletion) {
  WriteWholeFile(Path("note.txt"), "hello\nworld\n");
  WriteWholeFile(Path("cat.gif"), "GIF");
  const std::string missing = Path("gone.txt");
  const std::vector<std::string> paths = {Path("note.txt"), missing, Path("cat.gif")};
  EXPECT_EQ(2, ImportDroppedFiles("quorl:mail/demo", paths, IDC_DROP_BODY, true));
  const std::vector<ImportQueueEntry> queue = Queue();
  ASSERT_EQ(1u, queue.size());
  EXPECT_STREQ("quorl", queue[0].service);
  EXPECT_STREQ("messages", queue[0].kind);
  EXPECT_EQ(2048u, queue[0].flags);
  const std::string scratch = ReadWholeFile(queue[0].path);
  const std::string text =
      "!start mail/demo File\r\nImported-from: FILE://" + Path("note.txt") + "\r\n\r\nhello\r\nworld\r\n\r\n!end\r\n";
  EXPECT_EQ(text, scratch.substr(0, text.size()));
  const std::string head =
      "!start mail/demo cat.gif\r\nImported-from: FILE://" + Path("cat.gif") + "\r\n\r\ncat.gif\r\n";
  EXPECT_EQ(head, scratch.substr(text.size(), head.size()));
  EXPECT_EQ("!end\r\n", scratch.substr(scratch.size() - 6));
  EXPECT_FALSE(FileExists(Path("note.txt"))) << "erased once written";
  EXPECT_FALSE(FileExists(Path("cat.gif")));
  EXPECT_EQ(1u, g_started.size()) << "the import program is started";
}

TEST_F(DroppedFilesTest, LocalFoldersGetNoImportedFromAndMessageFilesQueueAsTheyAre) {
  WriteWholeFile(Path("a.txt"), "body");
  ASSERT_EQ(1, ImportDroppedFiles("local:notes/demo", {Path("a.txt")}, IDC_DROP_BODY, false));
  std::vector<ImportQueueEntry> queue = Queue();
  ASSERT_EQ(1u, queue.size());
  EXPECT_EQ("!start notes/demo File\r\nbody\r\n\r\n!end\r\n", ReadWholeFile(queue[0].path));
  EXPECT_TRUE(FileExists(Path("a.txt"))) << "kept without the delete box";
  DeleteFileA(queue[0].path);
  DeleteFileA(Path("import.dat").c_str());

  WriteWholeFile(Path("m1.txt"), "x");
  WriteWholeFile(Path("m2.dat"), "y");
  EXPECT_EQ(2, ImportDroppedFiles("net:comp/lang.c", {Path("m1.txt"), Path("m2.dat")}, IDC_DROP_MESSAGES, false));
  queue = Queue();
  ASSERT_EQ(2u, queue.size()) << "no scratch file is queued";
  EXPECT_STREQ(Path("m1.txt").c_str(), queue[0].path);
  EXPECT_STREQ("net", queue[1].service);
  EXPECT_EQ(0u, queue[1].flags);
  EXPECT_EQ("x", ReadWholeFile(Path("m1.txt"))) << "unchanged";
}

TEST_F(DroppedFilesTest, TheDialogRemembersTheDeleteBox) {
  Drivers().push_back([](HWND d) {
    char text[100];
    GetDlgItemTextA(d, IDC_DROP_FOLDER, text, sizeof text);
    EXPECT_STREQ("Quorl:Mail/Demo", text);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DROP_MESSAGES));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(d, IDC_DROP_DELETE));
    CheckDlgButton(d, IDC_DROP_DELETE, BST_CHECKED);
    CheckRadioButton(d, IDC_DROP_MESSAGES, IDC_DROP_BODY, IDC_DROP_BODY);
    testwin::PumpPending();
    EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "drop_files.png"));
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(IDC_DROP_BODY, Driven("quorl:mail/demo"));
  Drivers().push_back([](HWND d) {
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DROP_DELETE)) << "kept for the next drop";
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DROP_MESSAGES));
    SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(0, Driven("quorl:mail/demo"));
}

}  // namespace
