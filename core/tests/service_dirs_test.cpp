#include "core/service_dirs.h"

#include <gtest/gtest.h>

#include <string>

#include "core/tests/core_util_test_dir.h"
#include "core/ui_seams.h"

namespace {

int g_boxes;
std::string g_lastBox;
int CountBox(HWND, const char* text, const char*, UINT) {
  ++g_boxes;
  g_lastBox = text;
  return IDOK;
}

class ServiceDirsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetServiceDirScan();
    savedBox_ = g_ui.messageBox;
    g_ui.messageBox = CountBox;
    g_boxes = 0;
  }
  void TearDown() override {
    g_ui.messageBox = savedBox_;
    g_mapiBindings = MapiBindings();
    ForgetServiceDirScan();
  }
  void Service(const std::string& name, const std::string& cnf) {
    dir_.MakeDir(name);
    if (!cnf.empty()) dir_.Write(name + "\\" + cnf, "[x]\r\n");
  }
  UtilTestDir dir_;
  int (*savedBox_)(HWND, const char*, const char*, UINT) = nullptr;
};

}  // namespace

TEST_F(ServiceDirsTest, InstalledServicesAreScannedOncePerRun) {
  Service("quorl", "quorl.cnf");
  Service("dvn", "dvnint.cnf");
  Service("net", "");  // no configuration file: not installed
  Service("temp", "temp.cnf");
  Service("%local", "");
  EXPECT_TRUE(HaveQuorl());
  EXPECT_TRUE(HaveDvn());
  EXPECT_FALSE(HaveNet());
  EXPECT_FALSE(HaveLocal());

  // Created after the scan: not seen until the next run.
  dir_.Write("net\\net.cnf", "[x]\r\n");
  Service("local", "");
  EXPECT_FALSE(HaveNet());
  EXPECT_FALSE(HaveLocal());
  ForgetServiceDirScan();
  EXPECT_TRUE(HaveNet());
  EXPECT_TRUE(HaveLocal());
}

TEST_F(ServiceDirsTest, WhichDirectoriesAreServices) {
  Service("bix", "bix.cnf");
  Service("caucus", "caucusint.cnf");
  Service("temp", "temp.cnf");
  Service("Scripts", "scripts.cnf");
  struct Case {
    const char* name;
    bool service;
  } cases[] = {
      {"bix", true},   {"caucus", true},  {"temp", false},   {"Scripts", false}, {"local", true},
      {"LOCAL", true}, {"tbbs", false},   {"%bix", false},   {".bix", false},    {"b-x", false},
      {"", false},     {"msmail", false}, {"ccmail", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsServiceDir(c.name), c.service) << c.name;
  g_mapiBindings.first = true;
  EXPECT_TRUE(IsServiceDir("msmail"));
  EXPECT_FALSE(IsServiceDir("ccmail"));
  g_mapiBindings.second = true;
  EXPECT_TRUE(IsServiceDir("ccmail"));
}

TEST_F(ServiceDirsTest, NoMessageDirectoryMeansNothingInstalled) {
  g_main.messagePath[0] = 0;
  EXPECT_FALSE(HaveQuorl());
  EXPECT_FALSE(HaveLocal());
}

TEST_F(ServiceDirsTest, CopyFileChunked) {
  std::string big;
  for (int i = 0; i < 10000; ++i) big += static_cast<char>(i * 7 + i / 256);
  dir_.Write("big.bin", big);
  dir_.Write("empty.bin", "");
  dir_.Write("old.bin", "previous contents that are longer");
  struct Case {
    const char* source;
    const char* target;
  } cases[] = {{"big.bin", "copy.bin"}, {"empty.bin", "empty2.bin"}, {"big.bin", "old.bin"}};
  for (const Case& c : cases) {
    EXPECT_TRUE(CopyFileChunked(dir_.File(c.source).c_str(), dir_.File(c.target).c_str())) << c.source;
    EXPECT_TRUE(dir_.Exists(c.target));
    EXPECT_EQ(dir_.Read(c.target), dir_.Read(c.source)) << c.target;
  }
  EXPECT_EQ(g_boxes, 0);

  EXPECT_FALSE(CopyFileChunked(dir_.File("missing.bin").c_str(), dir_.File("x.bin").c_str()));
  EXPECT_EQ(g_boxes, 1);
  EXPECT_EQ(g_lastBox, "Can't find '" + dir_.File("missing.bin") + "'");
  EXPECT_FALSE(dir_.Exists("x.bin"));
  EXPECT_FALSE(CopyFileChunked(dir_.File("big.bin").c_str(), dir_.File("nodir\\x.bin").c_str()));
  EXPECT_EQ(g_boxes, 2);
  EXPECT_EQ(g_lastBox, "Can't create file '" + dir_.File("nodir\\x.bin") + "'");

  // A write that fails part-way: failure, a message, and no partial copy.
  static int writes;
  writes = 0;
  g_serviceDirsHooks.copyFileWrite = [](const void* data, size_t size, size_t count, FILE* file) -> size_t {
    if (++writes == 2) return 0;
    return std::fwrite(data, size, count, file);
  };
  EXPECT_FALSE(CopyFileChunked(dir_.File("big.bin").c_str(), dir_.File("partial.bin").c_str()));
  g_serviceDirsHooks = kDefaultServiceDirsHooks;
  EXPECT_EQ(g_boxes, 3);
  EXPECT_EQ(g_lastBox, "Unable to write '" + dir_.File("partial.bin") + "'");
  EXPECT_FALSE(dir_.Exists("partial.bin"));
  EXPECT_TRUE(dir_.Exists("big.bin"));
}
