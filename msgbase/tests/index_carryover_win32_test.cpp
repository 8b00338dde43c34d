#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/folder_names.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/index_carryover.h"
#include "msgbase/read_state.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/index_bytes.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/user_folders.h"
#include "msgbase/user_info.h"

namespace {

IndexEntry Entry(int32_t number, uint16_t flags) {
  return IndexEntry{static_cast<uint32_t>(number) * 100, static_cast<uint32_t>(number) * 125, 0, number, 0, flags};
}

// A user-information file: version, range, count and (number, flags) records.
std::string UserInfoFile(int32_t first, int32_t last, const std::vector<std::pair<int32_t, uint16_t>>& records) {
  std::string out;
  PutU16(out, 11004);
  PutU32(out, static_cast<uint32_t>(first));
  PutU32(out, static_cast<uint32_t>(last));
  PutU16(out, static_cast<uint16_t>(records.size()));
  for (auto [number, flags] : records) PutRecord(out, MsgIndexRec{number, 0, flags});
  return out;
}

std::vector<uint16_t> FlagsOf(const std::string& indexBytes) {
  VirtualArray index("index", sizeof(IndexRec)), logCva("log cva", sizeof(MsgIndexRec));
  MemoryLog file;
  file.bytes = indexBytes;
  std::vector<uint16_t> out;
  if (ReadTopicIndex(file.Source(), {&index, &logCva, nullptr}, nullptr) != kIndexRead) return out;
  for (int i = 0; i < logCva.Count(); ++i) out.push_back(static_cast<MsgIndexRec*>(logCva.At(i))->flags);
  return out;
}

class IndexFiles : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    lstrcpynA(g_app.userName, "alice", sizeof g_app.userName);
  }
  void TearDown() override {
    CurrentFolder.Detach();
    Conferences.SetSize(0);
    IndexArray.SetSize(0);
    LogCva.SetSize(0);
    g_messageBaseHooks = kDefaultMessageBaseHooks;
    g_userFileName[0] = 0;
    g_app.userName[0] = 0;
    DataDirTest::TearDown();
  }
  int32_t LeftoverFiles(const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(Path(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int32_t n = 0;
    do ++n;
    while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
  }
};

const std::vector<IndexEntry> kRebuilt = {Entry(10, 0x0001), Entry(11, 0), Entry(12, 0)};

TEST_F(IndexFiles, ConvertCarriesTheMarksRewritesTheIndexAndErasesTheOlderFile) {
  const std::string ind = Path("topic.ind"), old = Path("topic.old");
  WriteWholeFile(ind, IndexFile(11007, 10, 12, kRebuilt, nullptr, true));
  WriteWholeFile(old, IndexFile(11005, 10, 12, {Entry(10, 0x0008), Entry(12, 0x0002 | 0x0001)}));
  ASSERT_EQ(1, ConvertIndexFile(ind.c_str(), old.c_str()));
  EXPECT_EQ((std::vector<uint16_t>{0x0001 | 0x0008, 0, 0x0002}), FlagsOf(ReadWholeFile(ind)));
  EXPECT_FALSE(FileExists(old));
  EXPECT_EQ(1, LeftoverFiles("topic*")) << "no temporary file stays behind";
  EXPECT_TRUE(Recorded().boxes.empty());

  // A missing older file has nothing to carry: the index stays as it is.
  const std::string before = ReadWholeFile(ind);
  EXPECT_EQ(1, ConvertIndexFile(ind.c_str(), old.c_str()));
  EXPECT_EQ(before, ReadWholeFile(ind));
}

TEST_F(IndexFiles, ConvertLeavesBothFilesWhenEitherIsDamaged) {
  const std::string ind = Path("topic.ind"), old = Path("topic.old");
  const std::string good = IndexFile(11007, 10, 12, kRebuilt, nullptr, true);
  const std::string older = IndexFile(11006, 10, 12, {Entry(10, 0x0008), Entry(11, 0x0002)});
  struct Case {
    const char* what;
    std::string index, older;
  };
  const Case cases[] = {
      {"older file cut short", good, older.substr(0, older.size() - 4)},
      {"index cut short", good.substr(0, good.size() - 7), older},
      {"index of no version", std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12), older},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorded().boxes.clear();
    WriteWholeFile(ind, c.index);
    WriteWholeFile(old, c.older);
    EXPECT_EQ(0, ConvertIndexFile(ind.c_str(), old.c_str()));
    EXPECT_EQ(1u, Recorded().boxes.size());
    EXPECT_EQ(c.index, ReadWholeFile(ind));
    EXPECT_EQ(c.older, ReadWholeFile(old));
    EXPECT_EQ(2, LeftoverFiles("topic*"));
  }

  // An older file that is no index at all holds nothing worth keeping.
  Recorded().boxes.clear();
  WriteWholeFile(ind, good);
  WriteWholeFile(old, "not an index");
  EXPECT_EQ(1, ConvertIndexFile(ind.c_str(), old.c_str()));
  EXPECT_FALSE(FileExists(old));
  EXPECT_EQ(good, ReadWholeFile(ind));
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(IndexFiles, ReadIndexFileFillsTheArraysAndTheRangeOfTheCurrentFolder) {
  ConfRec rec = MakeConf("quorl:conf/topic", "topic.log", 1, 5);
  Conferences.Append(&rec);
  ASSERT_TRUE(CurrentFolder.Seek(Conferences, 0));
  struct Case {
    uint16_t version;
    int expected;
  };
  for (Case c : {Case{11004, 1}, Case{11005, 1}, Case{11006, 0}, Case{11007, 1}}) {
    SCOPED_TRACE(c.version);
    WriteWholeFile(Path("topic.ind"), IndexFile(c.version, 10, 12, kRebuilt));
    EXPECT_EQ(c.expected, ReadIndexFile());
    EXPECT_EQ(c.expected ? 3 : 0, LogCva.Count());
    EXPECT_EQ(c.expected ? 3 : 0, IndexArray.Count());
  }
  auto* folder = static_cast<ConfRec*>(CurrentFolder.element);
  EXPECT_EQ(10, folder->first);
  EXPECT_EQ(12, folder->last);

  const std::string damaged = IndexFile(11007, 10, 12, kRebuilt).substr(0, 30);
  WriteWholeFile(Path("topic.ind"), damaged);
  EXPECT_EQ(0, ReadIndexFile());
  EXPECT_EQ(0, LogCva.Count());
  EXPECT_EQ(damaged, ReadWholeFile(Path("topic.ind")));
  DeleteFileA(Path("topic.ind").c_str());
  EXPECT_EQ(0, ReadIndexFile());
}

TEST_F(IndexFiles, LogInTakesTheReadMarkRecomputationOptionFromTheUserSettings) {
  for (uint32_t setting : {1u, 0u}) {
    g_user.alwaysRefreshUnread = setting;
    g_recomputeReadMark = !setting;
    LoadUserInfo();
    EXPECT_EQ(g_recomputeReadMark, setting != 0) << setting;
  }
  g_recomputeReadMark = false;
}

TEST_F(IndexFiles, LogInCountsUnreadFromTheUsersFilesOfFoldersWithNews) {
  // Every folder's index holds messages 10..14; the shared read mark is 12.
  const std::vector<IndexEntry> five = {Entry(10, 0), Entry(11, 0), Entry(12, 0), Entry(13, 0), Entry(14, 0)};
  struct Folder {
    const char* name;
    const char* base;
    uint32_t flags;
    uint32_t lastSeen;
  };
  const Folder folders[] = {
      {"quorl:conf/locked", "locked.log", 0, 0},  // unread lock on 11, read mark on 13
      {"quorl:conf/plain", "plain.log", 0, 0},    // no user file: the read mark applies
      {"quorl:conf/seen", "seen.log", 0, 14},     // nothing new since last seen
      {"quorl:conf/resigned", "resigned.log", CONF_RESIGNED, 0},
      {"CSI:someone", "csi.log", 0, 0},
  };
  for (const Folder& f : folders) {
    ConfRec rec = MakeConf(f.name, f.base, 10, 14, f.flags);
    rec.readMark = 12;
    rec.waiting = 99;
    rec.userInfo = f.lastSeen;
    Conferences.Append(&rec);
    std::string ind = Path(f.base);
    setindext(&ind[0], ind.size() + 1);
    WriteWholeFile(ind.c_str(), IndexFile(11007, 10, 14, five));
  }
  CreateDirectoryA(Path("alice.ui").c_str(), nullptr);
  WriteWholeFile(Path("alice.ui\\locked.log"), UserInfoFile(10, 14, {{11, 0x1000}, {13, 0x0001}, {99, 0x1000}}));

  g_messageBaseHooks.longOperation = [] { return true; };
  LoadUserInfo();
  for (int i = 0; i < Conferences.Count(); ++i)
    EXPECT_EQ(99, static_cast<ConfRec*>(Conferences.At(i))->waiting) << "nothing runs beside a long task";

  g_messageBaseHooks.longOperation = kDefaultMessageBaseHooks.longOperation;
  LoadUserInfo();
  EXPECT_FALSE(CurrentFolder.Bound());
  EXPECT_EQ(0, LogCva.Count());
  for (int i = 0; i < Conferences.Count(); ++i) {
    const ConfRec* rec = static_cast<ConfRec*>(Conferences.At(i));
    SCOPED_TRACE(rec->name);
    const std::string name = rec->name;
    int expected = 99;
    if (name == "quorl:conf/locked") expected = 2;  // 11 locked unread, 14 new
    if (name == "quorl:conf/plain") expected = 2;   // 13 and 14
    EXPECT_EQ(expected, rec->waiting);
    if (expected != 99) {
      EXPECT_EQ(14u, rec->userInfo) << "seen up to the last message";
      EXPECT_EQ(name == "quorl:conf/locked", (rec->flags & CONF_HAS_USER_INFO) != 0);
    }
  }
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(IndexFiles, FolderOrderFileNumbersTheListAgainAfterTheMerge) {
  for (const char* name : {"quorl:alpha/one", "quorl:beta/two", "quorl:gamma/three"}) {
    ConfRec rec = MakeConf(name, "x.log");
    Conferences.Append(&rec);
  }
  lstrcpynA(g_userFileName, Path("alice.usr").c_str(), sizeof g_userFileName);
  InstallUserInfoHooks();
  ASSERT_TRUE(g_messageBaseHooks.applyFolderOrder);
  ASSERT_TRUE(g_messageBaseHooks.loadUserInfo);

  WriteWholeFile(Path("alice.odr"), "quorl:gamma/*\r\nquorl:alpha/*\r\n");
  g_messageBaseHooks.applyFolderOrder();
  std::vector<int32_t> orders;
  for (int i = 0; i < Conferences.Count(); ++i) orders.push_back(static_cast<ConfRec*>(Conferences.At(i))->order);
  EXPECT_EQ((std::vector<int32_t>{2, 3, 1}), orders);

  DeleteFileA(Path("alice.odr").c_str());
  g_messageBaseHooks.applyFolderOrder();
  orders.clear();
  for (int i = 0; i < Conferences.Count(); ++i) orders.push_back(static_cast<ConfRec*>(Conferences.At(i))->order);
  EXPECT_EQ((std::vector<int32_t>{0, 0, 0}), orders);
}

}  // namespace
