#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "msgbase/conf_list.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/user_folders.h"

namespace {

class ConfList : public DataDirTest {
 protected:
  void TearDown() override {
    rdconf(-1);  // never leave a hold to the next test
    Conferences.SetSize(0);
    DataDirTest::TearDown();
  }
};

TEST_F(ConfList, OldFormListReadsDropsUnusableRecordsAndWritesTheCurrentForm) {
  WriteWholeFile(Path("conf.ww"),
                 OldConfFile({MakeOldConf("quorl:beta/one", "b1.log", 40000, -3, 7),
                              MakeOldConf("quorl:service", "svc.log", 0, 0, 0),  // no "/": not a folder
                              MakeOldConf("quorl:alpha/one", "a1.log", 2, 0x20, -1),
                              MakeOldConf("quorl:alpha/two", "", 2, 0, 0)},  // no base name
                             4));
  ASSERT_EQ(rdconf(0), 1);
  ASSERT_EQ(NamesOf(Conferences), (std::vector<std::string>{"quorl:beta/one", "quorl:alpha/one"}));
  auto* beta = static_cast<ConfRec*>(Conferences.At(0));
  EXPECT_EQ(+beta->waiting, 40000);
  EXPECT_EQ(beta->flags & 0xFFFF7FFFu, 0xFFFF7FFDu);
  EXPECT_EQ(beta->flags & CONF_FILTERED, CONF_FILTERED);
  EXPECT_EQ(+beta->order, 7);
  auto before = RecordsOf(Conferences);

  ASSERT_EQ(wtconf(), 1);
  std::string bytes = ReadWholeFile(Path("conf.ww"));
  ASSERT_EQ(bytes.size(), 10u + 2 * sizeof(ConfRec));
  EXPECT_EQ(bytes.substr(0, 6), std::string("\x0d\xf0\xfe\xca\xff\xff", 6)) << "header word kept, marker -1";
  EXPECT_TRUE(FileExists(Path("confnew.ww")));
  EXPECT_EQ(ReadWholeFile(Path("confnew.ww")).size(), 0u);
  EXPECT_FALSE(FileExists(Path("conf.new")));

  ASSERT_EQ(rdconf(0), 1);
  // Written in folder order.
  ASSERT_EQ(NamesOf(Conferences), (std::vector<std::string>{"quorl:alpha/one", "quorl:beta/one"}));
  auto after = RecordsOf(Conferences);
  EXPECT_EQ(std::memcmp(&after[1], &before[0], sizeof(ConfRec)), 0);
  EXPECT_EQ(std::memcmp(&after[0], &before[1], sizeof(ConfRec)), 0);
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(ConfList, EmptyListAndMissingFile) {
  ASSERT_EQ(rdconf(0), 0) << "no conf.ww yet";
  EXPECT_EQ(Conferences.Count(), 0);
  EXPECT_TRUE(Recorded().boxes.empty());
  WriteWholeFile(Path("conf.ww"), CurrentConfFile({}));
  EXPECT_EQ(rdconf(0), 1);
  EXPECT_EQ(Conferences.Count(), 0);
}

TEST_F(ConfList, HeldListWritesInPlaceAndKeepsTheOldTail) {
  std::vector<ConfRec> five;
  for (const char* name : {"q:a/1", "q:a/2", "q:a/3", "q:a/4", "q:a/5"}) five.push_back(MakeConf(name, "x.log"));
  WriteWholeFile(Path("conf.ww"), CurrentConfFile(five));
  const size_t longSize = ReadWholeFile(Path("conf.ww")).size();

  ASSERT_EQ(rdconf(1), 1);
  // Held: nobody else opens it, not even to read.
  EXPECT_EQ(std::fopen(Path("conf.ww").c_str(), "rb"), nullptr);
  Conferences.RemoveAt(4);
  Conferences.RemoveAt(3);
  Conferences.RemoveAt(2);
  ASSERT_EQ(wtconf(), 1);
  EXPECT_EQ(ReadWholeFile(Path("conf.ww")).size(), longSize);
  ASSERT_EQ(rdconf(0), 1);
  EXPECT_EQ(NamesOf(Conferences), (std::vector<std::string>{"q:a/1", "q:a/2"}));
}

TEST_F(ConfList, SecondHoldIsRefusedAndModeMinusOneReleasesIt) {
  WriteWholeFile(Path("conf.ww"), CurrentConfFile({MakeConf("q:a/1", "x.log")}));
  ASSERT_EQ(rdconf(1), 1);
  EXPECT_EQ(rdconf(1), 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Error: attempting to lock twice");
  EXPECT_EQ(Conferences.Count(), 1) << "the refused read touched nothing";
  ASSERT_EQ(rdconf(-1), 1);
  FILE* f = std::fopen(Path("conf.ww").c_str(), "r+b");
  EXPECT_NE(f, nullptr) << "the hold is gone";
  if (f) std::fclose(f);
}

TEST_F(ConfList, DamagedListIsReportedAndNeverWrittenOver) {
  std::string damaged = CurrentConfFile({MakeConf("q:a/1", "x.log"), MakeConf("q:a/2", "y.log")}, 7, 9);
  for (int mode : {0, 1}) {
    WriteWholeFile(Path("conf.ww"), damaged);
    Recorded().boxes.clear();
    EXPECT_EQ(rdconf(mode), 0);
    EXPECT_EQ(Conferences.Count(), 0);
    ASSERT_EQ(Recorded().boxes.size(), 1u);
    EXPECT_NE(Recorded().boxes[0].find("damaged"), std::string::npos);
    // A caller that writes anyway must not replace the file with the empty list.
    EXPECT_EQ(wtconf(), 0);
    EXPECT_EQ(ReadWholeFile(Path("conf.ww")), damaged);
    EXPECT_FALSE(FileExists(Path("confnew.ww")));
  }
  // Once the file reads again, writing works again.
  WriteWholeFile(Path("conf.ww"), CurrentConfFile({MakeConf("q:a/1", "x.log")}));
  ASSERT_EQ(rdconf(0), 1);
  EXPECT_EQ(wtconf(), 1);
}

TEST_F(ConfList, FailedWriteKeepsTheOldListAndTellsTheCaller) {
  std::string original = CurrentConfFile({MakeConf("q:a/1", "x.log")});
  WriteWholeFile(Path("conf.ww"), original);
  ASSERT_TRUE(CreateDirectoryA(Path("conf.new").c_str(), nullptr));  // the temporary file cannot be made
  for (int mode : {0, 1}) {
    ASSERT_EQ(rdconf(mode), 1);
    ConfRec extra = MakeConf("q:a/2", "y.log");
    Conferences.Append(&extra);
    Recorded().boxes.clear();
    EXPECT_EQ(wtconf(), 0);
    ASSERT_EQ(Recorded().boxes.size(), 1u);
    EXPECT_NE(Recorded().boxes[0].find("Unable to write"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(Path("conf.ww")), original);
    EXPECT_FALSE(FileExists(Path("confnew.ww")));
  }
  FILE* f = std::fopen(Path("conf.ww").c_str(), "r+b");
  EXPECT_NE(f, nullptr) << "a failed write still ends the hold";
  if (f) std::fclose(f);
  RemoveDirectoryA(Path("conf.new").c_str());
}

TEST_F(ConfList, TooManyFoldersIsSaidOnceOverTheLimitAndTheRecordsStay) {
  struct Case {
    int count;
    std::vector<std::string> boxes;
  } cases[] = {{MAX_CONFERENCES, {}},  // a full list, as a rebuild leaves it
               {MAX_CONFERENCES + 1, {"Too many folders!"}}};
  for (const Case& c : cases) {
    std::vector<ConfRec> many;
    char name[32];
    for (int i = 0; i < c.count; ++i) {
      std::snprintf(name, sizeof name, "q:c%05d/t", i);
      many.push_back(MakeConf(name, "x.log"));
    }
    WriteWholeFile(Path("conf.ww"), CurrentConfFile(many));
    Recorded().boxes.clear();
    EXPECT_EQ(rdconf(0), 1) << c.count;
    EXPECT_EQ(Conferences.Count(), c.count);
    EXPECT_EQ(Recorded().boxes, c.boxes) << c.count;
  }
}

TEST_F(ConfList, PuvaPairKeepsItsOwnHoldAndReportsAMissingFile) {
  EXPECT_EQ(rdconfpuva(0), 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Can't open '" + Path("conf.ww") + "'");
  WriteWholeFile(Path("conf.ww"), CurrentConfFile({MakeConf("q:b/1", "x.log"), MakeConf("q:service", "s.log")}));
  ASSERT_EQ(rdconf(0), 1);
  ASSERT_EQ(rdconfpuva(1), 1);
  EXPECT_EQ(NamesOf(ConfPuva), (std::vector<std::string>{"q:b/1"}));
  ConfRec added = MakeConf("q:a/1", "a.log");
  ConfPuva.InsertSorted(&added);
  ASSERT_EQ(wtconfpuva(), 1);
  ASSERT_EQ(rdconf(0), 1);
  EXPECT_EQ(NamesOf(Conferences), (std::vector<std::string>{"q:a/1", "q:b/1"}));
  ConfPuva.SetSize(0);
}

// ---- Two instances ----------------------------------------------------------

std::string WriterPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *std::strrchr(path, '\\') = 0;
  return std::string(path) + "\\confwriter.exe";
}

TEST_F(ConfList, HeldListKeepsAnotherInstancesWriteOutUntilWtconf) {
  WriteWholeFile(Path("conf.ww"), CurrentConfFile({MakeConf("q:base/topic", "base.log")}));
  ASSERT_EQ(rdconf(1), 1);

  std::string command = "\"" + WriterPath() + "\" \"" + dir_.substr(0, dir_.size() - 1) + "\" q:other/topic";
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));

  // While the list is held the other instance waits in its open; it can't
  // have read the list yet, so our change and its change must both survive.
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 1500), static_cast<DWORD>(WAIT_TIMEOUT));
  ConfRec mine = MakeConf("q:mine/topic", "mine.log");
  Conferences.InsertSorted(&mine);
  ASSERT_EQ(wtconf(), 1);

  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 120000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_EQ(code, 0u);
  ASSERT_EQ(rdconf(0), 1);
  EXPECT_EQ(NamesOf(Conferences), (std::vector<std::string>{"q:base/topic", "q:mine/topic", "q:other/topic"}));
}

}  // namespace
