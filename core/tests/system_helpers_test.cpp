#include "core/system_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/folder_paths.h"
#include "core/tests/core_util_test_dir.h"

TEST(SystemHelpers, PendingNamesAreFreshAndInThePendingDirectory) {
  UtilTestDir dir;
  std::srand(7);
  char first[MAX_PATH];
  ASSERT_STRNE(pendingtmpname(first), "");
  EXPECT_TRUE(dir.Exists("pending"));
  std::string name = first;
  EXPECT_EQ(name.rfind(dir.path() + "pending\\msw", 0), 0u) << name;
  EXPECT_EQ(name.size(), dir.path().size() + std::strlen("pending\\msw00000.tmp"));
  EXPECT_FALSE(dir.Exists(name.substr(dir.path().size())));
  // The same draw again finds that name taken and moves on.
  dir.Write(name.substr(dir.path().size()), "taken");
  std::srand(7);
  char second[MAX_PATH];
  pendingtmpname(second);
  EXPECT_STRNE(second, first);
  EXPECT_FALSE(dir.Exists(std::string(second).substr(dir.path().size())));
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
  g_openFolderName = OpenFolder;
  char bsc[MAX_PATH];
  EXPECT_STREQ(bscname(bsc), "C:\\data\\quorl\\quorl.bsc");
  g_openFolderName = nullptr;

  auto savedConnection = g_getNetConnection;
  g_getNetConnection = FakeConnection;
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
  g_getNetConnection = savedConnection;
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
  auto savedDialog = g_runFileDialog;
  g_runFileDialog = FakeDialog;
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
  EXPECT_EQ(std::string(g_seenDirectory) + "\\", dir.path());   // the directory part
  EXPECT_STREQ(g_seenFile, "start.txt");
  char after[MAX_PATH];
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);

  std::strcpy(path, dir.path().c_str());
  EXPECT_TRUE(PromptOpenFileName(nullptr, "Open", path, nullptr, true));
  EXPECT_TRUE(g_seen.Flags & OFN_ENABLEHOOK);
  EXPECT_STREQ(g_seen.lpTemplateName, "FILEOPEN");
  EXPECT_STREQ(g_seenDirectory, dir.path().c_str());   // an existing directory as it is
  EXPECT_STREQ(g_seenFile, "");

  std::strcpy(path, "unchanged");
  EXPECT_FALSE(PromptSaveFileName(nullptr, "Cancel", path, nullptr, "txt"));
  EXPECT_STREQ(path, "unchanged");
  EXPECT_TRUE(g_seenSave);
  EXPECT_EQ(g_seen.Flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
  EXPECT_STREQ(g_seen.lpstrDefExt, "txt");
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);
  g_runFileDialog = savedDialog;
}
