// The array's Windows side: the private swap file and the warning box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/tests/ini_test_dir.h"
#include "core/ui_seams.h"
#include "core/virtual_array.h"

namespace {

uint64_t TinyMemory() { return 1; }

std::vector<std::string> g_boxes;
int CaptureBox(HWND, const char* text, const char*, UINT) {
  g_boxes.push_back(text);
  return IDOK;
}

int CountSwapFiles(const std::string& dir) {
  int n = 0;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "msw*.tmp").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    std::string name = found.cFileName;
    if (name.size() == 12) ++n;  // "msw" + five digits + ".tmp"
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return n;
}

class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value) : name_(name) {
    char old[MAX_PATH];
    had_ = GetEnvironmentVariableA(name, old, sizeof old) > 0;
    if (had_) old_ = old;
    SetEnvironmentVariableA(name, value);
  }
  ~EnvironmentVariable() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

TEST(VirtualArraySwapFile, LivesInTempWhileNeededAndGoesWhenTheArrayEmpties) {
  TestDataDir dir;
  EnvironmentVariable temp("TEMP", dir.path().c_str());
  VirtualArrayHooks saved = g_virtualArrayHooks;
  g_virtualArrayHooks.physicalMemory = TinyMemory;
  {
    VirtualArray a("swap file", 160);
    ASSERT_TRUE(a.SetSize(408 * 3));
    EXPECT_EQ(CountSwapFiles(dir.path()), 0);  // one buffer per chunk, no file
    ASSERT_TRUE(a.SetSize(408 * 8));
    EXPECT_EQ(CountSwapFiles(dir.path()), 1);
    for (int i = 0; i < a.Count(); i += 50) memset(a.At(i), i & 0xFF, 160);
    for (int i = 0; i < a.Count(); i += 50) ASSERT_EQ(static_cast<unsigned char*>(a.At(i))[159], i & 0xFF);
    a.Sort([](const void* x, const void* y) { return memcmp(x, y, 160); });
    EXPECT_EQ(CountSwapFiles(dir.path()), 1);  // the sorted array took over the merge's file
    ASSERT_TRUE(a.SetSize(0));
    EXPECT_EQ(CountSwapFiles(dir.path()), 0);
    ASSERT_TRUE(a.SetSize(408 * 8));
    EXPECT_EQ(CountSwapFiles(dir.path()), 1);
  }
  EXPECT_EQ(CountSwapFiles(dir.path()), 0);
  g_virtualArrayHooks = saved;
}

TEST(VirtualArraySwapFile, NameComesFromTempThenTmp) {
  TestDataDir first;
  TestDataDir second;
  char name[MAX_PATH];
  {
    EnvironmentVariable temp("TEMP", first.path().c_str());
    VirtualArray::CreateTempFile(name);
    EXPECT_EQ(std::string(name).rfind(first.path() + "msw", 0), 0u) << name;
    EXPECT_EQ(strlen(name), first.path().size() + 12) << name;
  }
  {
    EnvironmentVariable temp("TEMP", nullptr);
    std::string noSlash = second.path().substr(0, second.path().size() - 1);
    EnvironmentVariable tmp("TMP", noSlash.c_str());
    VirtualArray::CreateTempFile(name);
    EXPECT_EQ(std::string(name).rfind(second.path() + "msw", 0), 0u) << name;
  }
}

TEST(VirtualArrayErrors, ShowAsWarningBoxes) {
  UiSeams saved = g_ui;
  g_ui.messageBox = CaptureBox;
  g_boxes.clear();
  VirtualArray a("Conferences", 160);
  a.SetSize(2);
  EXPECT_EQ(a.At(7), nullptr);
  SmartPointer p;
  p.Get(a, -1);
  g_ui = saved;
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(g_boxes[0], "Array access out of range-7: Virtual array Conferences - virtar32");
  EXPECT_EQ(g_boxes[1].rfind("Virtar32-", 0), 0u) << g_boxes[1];
  EXPECT_NE(g_boxes[1].find(": Virtual array Conferences - SmartPointer, Array access out of range"),
            std::string::npos);
}

}  // namespace
