// The maintenance dialogs driven by messages, each saved as a screenshot.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/rights.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "msgbase/tests/maint_fixture.h"
#include "resources/msgbase_ids.h"

namespace {

const char kGeneral[] = "quorl:chat/general";

// The window as it is on the screen, saved as a BMP beside the test program
// (SCREENSHOT_DIR when set) for a person to look at.
void SaveScreenshot(HWND window, const char* name) {
  // Painted whole, children too, before the screen is read.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  MSG pending;
  while (PeekMessageA(&pending, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&pending);
  RECT rect;
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
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
  if (!BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY))
    SendMessageA(window, WM_PRINT, reinterpret_cast<WPARAM>(memory),
                 PRF_CHILDREN | PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
  GdiFlush();
  char dir[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("SCREENSHOT_DIR", dir, sizeof dir)) {
    GetModuleFileNameA(nullptr, dir, sizeof dir);
    *std::strrchr(dir, '\\') = 0;
  }
  std::string path = std::string(dir) + "\\" + name + ".bmp";
  int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + stride * height;
  if (FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    std::fwrite(bits, 1, static_cast<size_t>(stride) * height, out);
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// Each modal dialog the code under test opens is handed to the next driver.
std::deque<std::function<void(HWND)>>& Drivers() {
  static std::deque<std::function<void(HWND)>> drivers;
  return drivers;
}

BOOL CALLBACK FindEnabledDialog(HWND window, LPARAM found) {
  char name[16];
  GetClassNameA(window, name, sizeof name);
  if (!std::strcmp(name, "#32770") && IsWindowVisible(window) && IsWindowEnabled(window))
    *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

void CALLBACK DriveTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindEnabledDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || Drivers().empty()) return;
  KillTimer(nullptr, id);
  auto driver = Drivers().front();
  Drivers().pop_front();
  driver(dialog);
}

INT_PTR DrivenDialogBox(HINSTANCE module, const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  SetTimer(nullptr, 0, 50, DriveTimer);
  return DialogBoxParamA(module, name, owner, proc, param);
}

void Click(HWND dialog, int control) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

std::string Text(HWND dialog, int control) {
  char text[256] = "";
  GetDlgItemTextA(dialog, control, text, sizeof text);
  return text;
}

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    lines.push_back(text);
  }
  return lines;
}

class MaintDialogTest : public MaintFixture {
 protected:
  void SetUp() override {
    MaintFixture::SetUp();
    Drivers().clear();
    g_ui.dialogBox = DrivenDialogBox;
    g_app.unattended = false;
    MakeDir("quorl\\chat");
    WriteLog("quorl\\chat\\general", LogOf(kGeneral, {{1, 40}, {2, 3, 1}, {3, 1}}));
    WriteLog("quorl\\chat\\other", LogOf("quorl:chat/other", {{7, 1}}));
    WriteConf(
        {MakeConf(kGeneral, "quorl\\chat\\general", 0, 0), MakeConf("quorl:chat/other", "quorl\\chat\\other", 0, 0)});
    ASSERT_EQ(rdconf(0), 1);
  }
  void TearDown() override {
    Drivers().clear();
    g_messageBaseHooks.windowExists = kDefaultMessageBaseHooks.windowExists;
    g_messageBaseHooks.windowActive = kDefaultMessageBaseHooks.windowActive;
    g_messageBaseHooks.selection = kDefaultMessageBaseHooks.selection;
    MaintFixture::TearDown();
  }
};

TEST_F(MaintDialogTest, WhichDialogsOfferTheOpenFolderAndTheSelection) {
  lstrcpynA(g_topic.openName, kGeneral, sizeof g_topic.openName);
  ASSERT_EQ(logopen(), 1);
  g_messageBaseHooks.windowExists = [] { return true; };
  g_messageBaseHooks.windowActive = [] { return true; };
  Drivers().push_back([](HWND d) {
    EXPECT_EQ(Text(d, IDC_WHICH_CURRENT), "&Quorl:Chat/General");
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_WHICH_SELECTED), BST_CHECKED);
    SaveScreenshot(d, "maint_which_build");
    Click(d, IDC_WHICH_ALL);
    Click(d, IDOK);
  });
  EXPECT_EQ(AskScope("WhichBuild"), kScopeAll);

  logclose();
  g_messageBaseHooks.windowExists = kDefaultMessageBaseHooks.windowExists;
  Drivers().push_back([](HWND d) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_WHICH_CURRENT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_WHICH_SELECTED)));
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_WHICH_ALL), BST_CHECKED);
    SaveScreenshot(d, "maint_which_prune");
    Click(d, IDCANCEL);
  });
  EXPECT_EQ(AskScope("WhichPrune"), 0);
}

TEST_F(MaintDialogTest, ProgressAsksBeforeItAborts) {
  ASSERT_TRUE(CreateScanDialog("Reindexing Message Base"));
  HWND scan = ScanDialog();
  ScanSetText(IDC_SCAN_FOLDER, "Quorl:Chat/General");
  ScanSetText(IDC_SCAN_MESSAGE, "12 messages removed");
  ScanSetProgress(3, 8);
  ScanShowElapsed(GetTickCount());
  SaveScreenshot(scan, "maint_scan");
  EXPECT_EQ(Text(scan, IDC_SCAN_COMPLETE), "3 of 8");
  Recorded().answer = IDNO;
  SendMessageA(scan, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(g_app.cancelTask);
  Recorded().answer = IDYES;
  SendMessageA(scan, WM_CLOSE, 0, 0);
  EXPECT_TRUE(g_app.cancelTask);
  EXPECT_EQ(Recorded().boxes.back(), "Abort ?");
  EXPECT_EQ(Text(scan, IDC_SCAN_STATUS), "Aborting operation.  Please wait...");
  DestroyScanDialog();
  g_app.cancelTask = false;
}

TEST_F(MaintDialogTest, PruneOptionsEditTheListAndTheSettings) {
  WriteWholeFile(Path("conf.pru"), "!mail 7\nquorl:chat/general 5\n");
  Drivers().push_back([](HWND d) {
    HWND list = GetDlgItem(d, IDC_PRUNE_LIST);
    EXPECT_EQ(ListLines(list), (std::vector<std::string>{"* Default *\t30", "* All Mail Folders (default) *\t7",
                                                         "Quorl:Chat/General\t5"}));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_PRUNE_REMOVE)));
    SendMessageA(list, LB_SETCURSEL, 2, 0);
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_PRUNE_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(Text(d, IDC_PRUNE_NUM_DAYS), "5");
    SetDlgItemTextA(d, IDC_PRUNE_NUM_DAYS, "0");  // 0 leaves the entry as it was
    EXPECT_EQ(ListLines(list)[2], "Quorl:Chat/General\t5");
    Click(d, IDC_PRUNE_NEVER);
    EXPECT_EQ(ListLines(list)[2], "Quorl:Chat/General\tNever");
    // &Add: the picker lists what has no entry yet.
    Drivers().push_back([](HWND topics) {
      HWND picks = GetDlgItem(topics, IDC_TOPICS_LIST);
      std::vector<std::string> lines = ListLines(picks);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), "* All Mail Folders (default) *"), 0);
      SaveScreenshot(topics, "maint_topics");
      LRESULT at =
          SendMessageA(picks, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Quorl:Chat"));
      ASSERT_NE(at, LB_ERR);
      SendMessageA(picks, LB_SETCURSEL, at, 0);
      Click(topics, IDOK);
    });
    Click(d, IDC_PRUNE_ADD);
    EXPECT_EQ(ListLines(list).size(), 4u);
    SetDlgItemTextA(d, IDC_PRUNE_ARCHIVE, "arc_%s.txt");
    CheckDlgButton(d, IDC_PRUNE_PURGE, BST_CHECKED);
    SaveScreenshot(d, "maint_set_prune");
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_PRUNE_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Click(d, IDC_PRUNE_REMOVE);
    Click(d, IDOK);
  });
  SetPrune();
  EXPECT_EQ(ReadWholeFile(Path("conf.pru")), "quorl:chat/general -2\nQuorl:Chat 30\n");
  ReadPruneSettings();
  EXPECT_TRUE(g_pruneSettings.purge);
  EXPECT_STREQ(g_pruneSettings.fileName, "arc_%s.txt");
  EXPECT_FALSE(FileExists(Path("confpru.lck")));
}

TEST_F(MaintDialogTest, DeleteResignDeletesTheSelectedFolders) {
  g_messageBaseHooks.selection = [] { return "quorl:chat/other"; };
  g_userRights.administratorMode = true;  // deleting takes the right to moderate
  ASSERT_EQ(wtconf(), 1);
  ASSERT_EQ(rdconf(0), 1);
  Drivers().push_back([](HWND d) {
    EXPECT_EQ(ListLines(GetDlgItem(d, IDC_DELRESIGN_LIST)), (std::vector<std::string>{"Quorl:Chat/Other"}));
    Click(d, IDC_DELRESIGN_DELETE);
    CheckDlgButton(d, IDC_DELRESIGN_DELETE, BST_CHECKED);
    Click(d, IDC_DELRESIGN_DELETE);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_DELRESIGN_HIDE), BST_CHECKED);
    SaveScreenshot(d, "maint_del_resign");
    Click(d, IDOK);
  });
  DoDelResign();
  auto conf = ReadConf();
  EXPECT_EQ(conf.count("quorl:chat/other"), 0u);
  EXPECT_EQ(conf.count(kGeneral), 1u);
  EXPECT_FALSE(FileExists(Path("quorl\\chat\\other")));
  g_userRights.administratorMode = false;
}

TEST_F(MaintDialogTest, StatisticsListEveryFolderWithTotals) {
  for (const char* name : {kGeneral, "quorl:chat/other"}) {
    lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1);
    logclose();
  }
  ASSERT_EQ(wtconf(), 1);
  Drivers().push_back([](HWND d) {
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_STATS_LIST, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Text(d, IDC_STATS_TOTAL_FOLDERS), "(Total: 2)");
    EXPECT_EQ(Text(d, IDC_STATS_TOTAL_MESSAGES), "(4 messages)");
    EXPECT_EQ(Text(d, IDC_STATS_TOTAL_SIZE), "Total disk usage: 2 KBytes");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_STATS_SAVE)));
    SaveScreenshot(d, "maint_stats");
    Click(d, IDOK);
  });
  ShowStats();
}

}  // namespace

namespace {

TEST(FolderNode, DrawsTheBoxAndTheFolderPicture) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 20);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 40, 20};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawFolderNode(dc, 0, 0, true, true);
  EXPECT_EQ(GetPixel(dc, 4, 7), RGB(0, 0, 0));       // the plus sign's crossing
  EXPECT_EQ(GetPixel(dc, 4, 5), RGB(0, 0, 0));       // its vertical stroke: the node is closed
  EXPECT_EQ(GetPixel(dc, 15 + 0, 3), RGB(0, 0, 0));  // the folder picture's outline
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

}  // namespace
