#include <gtest/gtest.h>
#include <windows.h>

#include "msgbase/conf_list.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/user_info.h"

namespace {

class UserInfoFiles : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    lstrcpynA(g_app.userName, "alice", sizeof g_app.userName);
    LogCva.SetSize(0);
    for (int32_t n : {1, 2, 3}) {
      unsigned char rec[10] = {};
      std::memcpy(rec, &n, 4);
      LogCva.Append(rec);
    }
  }
  void TearDown() override {
    CurrentFolder.Detach();
    Conferences.SetSize(0);
    LogCva.SetSize(0);
    g_app.userName[0] = 0;
    DataDirTest::TearDown();
  }
  ConfRec* Open(const char* base) {
    Conferences.SetSize(0);
    ConfRec rec = MakeConf("quorl:conf/topic", base, 1, 3);
    Conferences.Append(&rec);
    CurrentFolder.Seek(Conferences, 0);
    return static_cast<ConfRec*>(CurrentFolder.element);
  }
  void SetFlags(int slot, uint16_t flags) { std::memcpy(static_cast<unsigned char*>(LogCva.At(slot)) + 8, &flags, 2); }
  uint16_t Flags(int slot) {
    uint16_t f;
    std::memcpy(&f, static_cast<unsigned char*>(LogCva.At(slot)) + 8, 2);
    return f;
  }
};

TEST_F(UserInfoFiles, FirstCloseMakesTheFileAndTheNextOpenUsesIt) {
  ConfRec* folder = Open("quorl\\f1.log");
  folder->flags |= CONF_HAS_USER_INFO;
  ReadUserInfo();
  EXPECT_EQ(folder->flags & CONF_HAS_USER_INFO, 0u) << "no file yet: the shared read state applies";
  SetFlags(1, MSG_READ);
  ASSERT_EQ(WriteUserInfo(), 1);
  EXPECT_TRUE(FileExists(Path("alice.ui\\quorl\\f1.log")));
  EXPECT_NE(folder->flags & CONF_HAS_USER_INFO, 0u);

  SetFlags(1, 0);
  folder->userInfo = 77;
  ReadUserInfo();
  EXPECT_EQ(Flags(1), MSG_READ);
  EXPECT_EQ(folder->userInfo, 0u);
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(UserInfoFiles, DamagedFileIsSaidAndNamesOutsideTheDirectoryAreRefused) {
  Open("f2.log");
  CreateDirectoryA(Path("alice.ui").c_str(), nullptr);
  WriteWholeFile(Path("alice.ui\\f2.log"), std::string("\xfc\x2a\x01", 3));
  ReadUserInfo();
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("damaged"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(Path("alice.ui\\f2.log")), std::string("\xfc\x2a\x01", 3));

  Open("..\\..\\escape.log");
  EXPECT_EQ(WriteUserInfo(), 0);
  EXPECT_FALSE(FileExists(Path("escape.log")));
}

}  // namespace
