#include "core/system_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/folder_paths.h"
#include "core/service_dirs.h"
#include "core/user_settings.h"
#include "core/tests/core_util_test_dir.h"

TEST(SystemHelpers, PendingNamesAreFreshAndInThePendingDirectory) {
  UtilTestDir dir;
  std::srand(7);
  char first[MAX_PATH];
  ASSERT_STRNE(pendingtmpname(first, sizeof first), "");
  EXPECT_TRUE(dir.Exists("pending"));
  std::string name = first;
  EXPECT_EQ(name.rfind(dir.path() + "pending\\msw", 0), 0u) << name;
  EXPECT_EQ(name.size(), dir.path().size() + std::strlen("pending\\msw00000.tmp"));
  EXPECT_FALSE(dir.Exists(name.substr(dir.path().size())));
  // The same draw again finds that name taken and moves on.
  dir.Write(name.substr(dir.path().size()), "taken");
  std::srand(7);
  char second[MAX_PATH];
  pendingtmpname(second, sizeof second);
  EXPECT_STRNE(second, first);
  EXPECT_FALSE(dir.Exists(std::string(second).substr(dir.path().size())));
  // A buffer too small for the name is left empty, never overrun.
  struct {
    char path[12];
    char guard[8];
  } small;
  std::memset(small.guard, 'G', sizeof small.guard);
  EXPECT_STREQ(pendingtmpname(small.path, sizeof small.path), "");
  EXPECT_EQ(std::string(small.guard, sizeof small.guard), "GGGGGGGG");
}

TEST(SystemHelpers, SmallQueries) {
  EXPECT_GT(DiskFree(), 0.0);
  EXPECT_GE(GetWheelScrollLines(), -1);
  FreeLib(nullptr);
  TrimWorkingSet();
}

namespace {
const char* OpenFolder() { return "quorl:conf/topic"; }
DWORD FakeConnection(const char* local, char* remote, DWORD* length) {
  if (std::strcmp(local, "E:") != 0) return ERROR_NOT_CONNECTED;
  lstrcpynA(remote, "\\\\server\\edrive", *length);
  return NO_ERROR;
}
}  // namespace

TEST(FolderPaths, ActionFileAndStoredPaths) {
  char saved[MAX_PATH];
  std::strcpy(saved, g_app.dataDir);
  std::strcpy(g_app.dataDir, "C:\\data\\");
  g_folderNameHooks.openFolderName = OpenFolder;
  char bsc[MAX_PATH];
  EXPECT_STREQ(bscname(bsc, sizeof bsc), "C:\\data\\quorl\\quorl.bsc");
  // A buffer too small for the path gets no cut path and nothing past its end.
  struct {
    char path[16];
    char guard[8];
  } small;
  std::memset(small.guard, 'G', sizeof small.guard);
  EXPECT_STREQ(bscname(small.path, sizeof small.path), "");
  EXPECT_EQ(std::string(small.guard, sizeof small.guard), "GGGGGGGG");
  g_folderNameHooks.openFolderName = [] { return static_cast<const char*>(nullptr); };

  auto savedConnection = g_fileIoHooks.getNetConnection;
  g_fileIoHooks.getNetConnection = FakeConnection;
  struct Case {
    const char* dataDir;
    const char* path;
    int result;
    const char* stored;
  } cases[] = {
      {"C:\\data\\", "c:\\docs\\a.txt", 0, "docs\\a.txt"},
      {"c:\\data\\", "C:\\docs\\a.txt", 0, "docs\\a.txt"},
      {"C:\\data\\", "D:\\docs\\a.txt", 1, "D:\\docs\\a.txt"},
      {"C:\\data\\", "\\\\srv\\x\\a.txt", 1, "\\\\srv\\x\\a.txt"},
      {"\\\\server\\share\\", "e:\\docs\\a.txt", 0, "\\\\server\\edrive\\docs\\a.txt"},
      {"\\\\server\\share\\", "f:\\docs\\a.txt", 1, "F:\\docs\\a.txt"},
  };
  for (const Case& c : cases) {
    std::strcpy(g_app.dataDir, c.dataDir);
    char path[MAX_PATH];
    std::strcpy(path, c.path);
    EXPECT_EQ(MakeStoredPath(path), c.result) << c.path;
    EXPECT_STREQ(path, c.stored) << c.path;
  }
  // A remote name that would not fit leaves the path as it was.
  std::strcpy(g_app.dataDir, "\\\\server\\share\\");
  char tight[24] = "E:\\docs\\a.txt";
  EXPECT_EQ(MakeStoredPath(tight, sizeof tight), 1);
  g_fileIoHooks.getNetConnection = savedConnection;
  std::strcpy(g_app.dataDir, saved);
}

namespace {
OPENFILENAMEA g_seen;
char g_seenDirectory[MAX_PATH];
char g_seenFile[MAX_PATH];
bool g_seenSave;
BOOL FakeDialog(OPENFILENAMEA* dialog, bool save) {
  g_seen = *dialog;
  g_seenSave = save;
  lstrcpynA(g_seenDirectory, dialog->lpstrInitialDir ? dialog->lpstrInitialDir : "", MAX_PATH);
  lstrcpynA(g_seenFile, dialog->lpstrFile, MAX_PATH);
  SetCurrentDirectoryA("C:\\");  // the dialog may move the current directory
  if (!dialog->lpstrTitle || std::strcmp(dialog->lpstrTitle, "Cancel") == 0) return FALSE;
  lstrcpynA(dialog->lpstrFile, "C:\\chosen\\file.txt", dialog->nMaxFile);
  return TRUE;
}
}  // namespace

TEST(FileDialogs, FlagsInitialDirectoryAndResult) {
  UtilTestDir dir;
  dir.Write("start.txt", "x");
  auto savedDialog = g_systemHelperHooks.runFileDialog;
  g_systemHelperHooks.runFileDialog = FakeDialog;
  char before[MAX_PATH];
  GetCurrentDirectoryA(sizeof before, before);

  char path[256];
  std::strcpy(path, dir.File("start.txt").c_str());
  EXPECT_TRUE(PromptOpenFileName(nullptr, "Open", path, "Text\0*.txt\0", false));
  EXPECT_STREQ(path, "C:\\chosen\\file.txt");
  EXPECT_EQ(g_seen.lStructSize, 76u);
  EXPECT_EQ(g_seen.nFilterIndex, 1u);
  EXPECT_EQ(g_seen.nMaxFile, 256u);
  EXPECT_EQ(g_seen.Flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER));
  EXPECT_FALSE(g_seenSave);
  EXPECT_EQ(std::string(g_seenDirectory) + "\\", dir.path());  // the directory part
  EXPECT_STREQ(g_seenFile, "start.txt");
  char after[MAX_PATH];
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);

  std::strcpy(path, dir.path().c_str());
  EXPECT_TRUE(PromptOpenFileName(nullptr, "Open", path, nullptr, true));
  EXPECT_TRUE(g_seen.Flags & OFN_ENABLEHOOK);
  EXPECT_STREQ(g_seen.lpTemplateName, "FILEOPEN");
  EXPECT_STREQ(g_seenDirectory, dir.path().c_str());  // an existing directory as it is
  EXPECT_STREQ(g_seenFile, "");

  std::strcpy(path, "unchanged");
  EXPECT_FALSE(PromptSaveFileName(nullptr, "Cancel", path, nullptr, "txt"));
  EXPECT_STREQ(path, "unchanged");
  EXPECT_TRUE(g_seenSave);
  EXPECT_EQ(g_seen.Flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
  EXPECT_STREQ(g_seen.lpstrDefExt, "txt");
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);
  g_systemHelperHooks.runFileDialog = savedDialog;
}

namespace {
// The template's controls on a plain window stand in for the dialog.
struct FileOpenControls {
  HWND window;
  explicit FileOpenControls() {
    window = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    CreateWindowA("BUTTON", "&Erase After", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 0, 90, 20, window,
                  reinterpret_cast<HMENU>(IDC_FILEOPEN_ERASE_AFTER), nullptr, nullptr);
    CreateWindowA("BUTTON", "Encode", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 30, 90, 60, window,
                  reinterpret_cast<HMENU>(IDC_FILEOPEN_ENCODE_GROUP), nullptr, nullptr);
    CreateWindowA("BUTTON", "&MIME", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 40, 90, 20, window,
                  reinterpret_cast<HMENU>(IDC_FILEOPEN_MIME), nullptr, nullptr);
    CreateWindowA("BUTTON", "&Uuencode", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 60, 90, 20, window,
                  reinterpret_cast<HMENU>(IDC_FILEOPEN_UUENCODE), nullptr, nullptr);
  }
  ~FileOpenControls() { DestroyWindow(window); }
  bool Visible(int id) const { return GetWindowLongA(GetDlgItem(window, id), GWL_STYLE) & WS_VISIBLE; }
  bool Checked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
  void Ok() const {
    OFNOTIFYA notify = {};
    notify.hdr.code = CDN_FILEOK;
    FileOpenHook(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
  }
};
}  // namespace

TEST(FileDialogs, OpenHookOffersTheEncodingWithTheInternetService) {
  UtilTestDir dir;
  dir.MakeDir("net");
  dir.Write("net\\net.cnf", "[x]\r\n");
  ForgetServiceDirScan();
  g_user.mime = 1;
  {
    FileOpenControls controls;
    FileOpenHook(controls.window, WM_INITDIALOG, 0, 0);
    EXPECT_FALSE(controls.Visible(IDC_FILEOPEN_ERASE_AFTER));
    EXPECT_TRUE(controls.Visible(IDC_FILEOPEN_MIME));
    EXPECT_TRUE(controls.Checked(IDC_FILEOPEN_MIME));
    EXPECT_FALSE(controls.Checked(IDC_FILEOPEN_UUENCODE));
    CheckRadioButton(controls.window, IDC_FILEOPEN_MIME, IDC_FILEOPEN_UUENCODE, IDC_FILEOPEN_UUENCODE);
    controls.Ok();
    EXPECT_EQ(g_user.mime, 0u);
  }
  ForgetServiceDirScan();
  DeleteFileA(dir.File("net\\net.cnf").c_str());
  {
    FileOpenControls controls;
    FileOpenHook(controls.window, WM_INITDIALOG, 0, 0);
    EXPECT_FALSE(controls.Visible(IDC_FILEOPEN_ERASE_AFTER));
    for (int id : {IDC_FILEOPEN_ENCODE_GROUP, IDC_FILEOPEN_MIME, IDC_FILEOPEN_UUENCODE})
      EXPECT_FALSE(controls.Visible(id)) << id;
    g_user.mime = 1;
    controls.Ok();
    EXPECT_EQ(g_user.mime, 1u);  // nothing offered, nothing stored
  }
  ForgetServiceDirScan();
}
