#include "msgbase/user_info.h"

#include <gtest/gtest.h>

#include <vector>

#include "msgbase/conf_list.h"
#include "msgbase/tests/conf_test_util.h"

namespace {

struct Msg {
  int32_t number;
  uint16_t flags;
};

void FillIndex(VirtualArray& index, const std::vector<Msg>& msgs) {
  index.SetSize(0);
  for (const Msg& m : msgs) {
    unsigned char rec[10] = {};
    std::memcpy(rec, &m.number, 4);
    std::memcpy(rec + 8, &m.flags, 2);
    index.Append(rec);
  }
}

std::vector<uint16_t> FlagsOf(VirtualArray& index) {
  std::vector<uint16_t> out;
  for (int i = 0; i < index.Count(); ++i) {
    uint16_t f;
    std::memcpy(&f, static_cast<unsigned char*>(index.At(i)) + 8, 2);
    out.push_back(f);
  }
  return out;
}

std::string InfoFile(const std::vector<Msg>& records, uint16_t version = USERINFO_VERSION, bool wide = false) {
  std::string out;
  PutLe(out, version, 2);
  PutLe(out, 1, 4);
  PutLe(out, 5, 4);
  if (wide) {
    PutLe(out, 0xFFFF, 2);
    PutLe(out, static_cast<uint32_t>(records.size()), 4);
  } else {
    PutLe(out, static_cast<uint32_t>(records.size()), 2);
  }
  for (const Msg& m : records) {
    PutLe(out, static_cast<uint32_t>(m.number), 4);
    PutLe(out, 0, 4);
    PutLe(out, m.flags, 2);
  }
  return out;
}

TEST(UserInfoFile, UsersFlagsReplaceTheSharedReadStateInRange) {
  VirtualArray index("log", 10, CompareMsgNumbers);
  for (bool wide : {false, true}) {
    // Shared: #2 marked for deletion, #3 read by someone, #4 read.
    FillIndex(index, {{1, 0}, {2, 0x0002}, {3, 0x0001}, {4, 0x0001}, {5, 0x0008}});
    FILE* f = StreamOf(InfoFile({{2, MSG_READ}, {3, MSG_READ | MSG_UNREAD_LOCK}, {4, 0}, {9, MSG_READ}, {0, MSG_READ}},
                                USERINFO_VERSION, wide));
    ASSERT_EQ(ApplyUserInfo(f, index, 1, 5), USERINFO_OK);
    std::fclose(f);
    EXPECT_EQ(FlagsOf(index), (std::vector<uint16_t>{0, 0x0003, MSG_UNREAD_LOCK, 0, 0x0008})) << wide;
  }
}

TEST(UserInfoFile, WrittenStateReadsBackWithLockedMessagesUnread) {
  VirtualArray index("log", 10, CompareMsgNumbers);
  FillIndex(index, {{1, MSG_READ}, {2, MSG_READ | MSG_UNREAD_LOCK}, {3, 0}, {4, MSG_READ | 0x0008}});
  FILE* out = std::tmpfile();
  ASSERT_TRUE(WriteUserInfoRecords(out, index, 1, 4));
  EXPECT_EQ(FlagsOf(index)[1], MSG_UNREAD_LOCK);
  std::rewind(out);
  FillIndex(index, {{1, 0}, {2, MSG_READ}, {3, MSG_READ}, {4, 0x0008}});
  ASSERT_EQ(ApplyUserInfo(out, index, 1, 4), USERINFO_OK);
  std::fclose(out);
  EXPECT_EQ(FlagsOf(index), (std::vector<uint16_t>{MSG_READ, MSG_UNREAD_LOCK, 0, MSG_READ | 0x0008}));
}

TEST(UserInfoFile, DamagedFilesApplyNothing) {
  std::string good = InfoFile({{2, MSG_READ}, {3, MSG_READ}});
  struct Case {
    const char* what;
    std::string bytes;
    UserInfoResult expected;
  } cases[] = {
      {"empty", "", USERINFO_CORRUPT},
      {"head cut", good.substr(0, 7), USERINFO_CORRUPT},
      {"record cut", good.substr(0, good.size() - 1), USERINFO_CORRUPT},
      {"wide count missing", good.substr(0, 10) + std::string("\xff\xff\x01", 3), USERINFO_CORRUPT},
      {"other version", InfoFile({{2, MSG_READ}}, 11007), USERINFO_BAD_VERSION},
  };
  VirtualArray index("log", 10, CompareMsgNumbers);
  for (const Case& c : cases) {
    FillIndex(index, {{1, 0}, {2, 0}, {3, 0}});
    FILE* f = StreamOf(c.bytes);
    EXPECT_EQ(ApplyUserInfo(f, index, 1, 5), c.expected) << c.what;
    std::fclose(f);
    EXPECT_EQ(FlagsOf(index), (std::vector<uint16_t>{0, 0, 0})) << c.what;
  }
}

}  // namespace
