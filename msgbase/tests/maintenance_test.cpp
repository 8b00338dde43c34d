// Reindex, prune, delete and statistics on small data directories.
#include "msgbase/maintenance.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "msgbase/tests/maint_fixture.h"

namespace {

const char kGeneral[] = "quorl:chat/general";

std::vector<std::string> Entries() {
  std::vector<std::string> out;
  for (int i = 0; i < Filenames.Count(); ++i) out.push_back(static_cast<const char*>(Filenames.At(i)));
  std::sort(out.begin(), out.end());
  return out;
}

// ---- reindex ----

using ReindexTest = MaintFixture;

TEST_F(ReindexTest, OnlyLogsInConferenceDirectoriesAreTaken) {
  MakeDir("quorl\\chat");
  MakeDir("quorl\\.hidden");
  MakeDir("notaservice");
  MakeDir("notaservice\\chat");
  MakeDir("quorl\\me.ui");
  for (const char* file : {"quorl\\chat\\general.C", "quorl\\chat\\plain", "quorl\\chat\\notes.txt", "quorl\\direct",
                           "notaservice\\chat\\x", "quorl\\me.ui\\y", "quorl\\.hidden\\z"})
    WriteLog(file, "x");
  Filenames.SetSize(0);
  ScanForLogs();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"quorl\\chat\\general.c", "quorl\\chat\\plain"}));
}

TEST_F(ReindexTest, RebuildsTheListFromTheLogsAndKeepsFlagsFromTheBackup) {
  MakeDir("quorl\\chat");
  WriteLog("quorl\\chat\\general.C", Scramble(LogOf(kGeneral, {{1, 3}, {2, 2, 1}})));
  WriteLog("quorl\\chat\\other", LogOf("quorl:chat/other", {{7, 1}}));
  ConfRec old = MakeConf(kGeneral, "quorl\\chat\\general.c", 1, 1, 0xFFFF);
  WriteConf({old, MakeConf("quorl:gone/topic", "quorl\\gone\\topic")});

  ASSERT_EQ(RebuildMessageBase(false), 1) << AllStatus();
  auto conf = ReadConf();
  ASSERT_EQ(conf.size(), 2u) << AllStatus();
  const ConfRec& general = conf[kGeneral];
  EXPECT_STREQ(general.baseName, "quorl\\chat\\general.c");
  EXPECT_EQ(general.first, 1);
  EXPECT_EQ(general.last, 2);
  // Scrambled by its extension, and only the flags 0x998 come from the backup.
  EXPECT_EQ(general.flags & ~CONF_FILTERED, CONF_SCRAMBLED | 0x998u);
  EXPECT_EQ(conf["quorl:chat/other"].last, 7);
  EXPECT_TRUE(FileExists(Path("confww.bak")));
  EXPECT_TRUE(FileExists(Path("quorl\\chat\\other.ind")));
  EXPECT_FALSE(FileExists(Path("usrlock")));
}

TEST_F(ReindexTest, TwoLogsOfOneFolderAndAnEmptyLogAreReported) {
  MakeDir("quorl\\chat");
  WriteLog("quorl\\chat\\general", LogOf(kGeneral, {{1, 1}}));
  WriteLog("quorl\\chat\\general.r", LogOf(kGeneral, {{2, 1}}));
  WriteLog("quorl\\chat\\empty", "");
  WriteWholeFile(Path("conf.ww"), "tiny");  // 10 bytes or less: no backup

  ASSERT_EQ(RebuildMessageBase(false), 1);
  std::string status = AllStatus();
  EXPECT_NE(status.find("Files quorl\\chat\\general and quorl\\chat\\general.r both hold messages from "
                        "quorl:chat/general\n"),
            std::string::npos)
      << status;
  EXPECT_NE(status.find("Message file quorl\\chat\\empty contains no messages\n"), std::string::npos) << status;
  auto conf = ReadConf();
  EXPECT_EQ(conf.size(), 1u);
  EXPECT_EQ(conf[kGeneral].last, 1);
  EXPECT_FALSE(FileExists(Path("confww.bak")));
}

#ifdef IMPORT32_EXE
TEST_F(ReindexTest, AFaultyIndexIsRebuiltByTheImportProgram) {
  MakeDir("quorl\\chat");
  // Message 5 claims to comment on a later message; the log is out of order.
  WriteLog("quorl\\chat\\general", LogOf(kGeneral, {{5, 2, 6}, {3, 3}, {6, 1, 3}}));
  ASSERT_EQ(RebuildMessageBase(false), 1);
  std::string status = AllStatus();
  EXPECT_NE(status.find("File quorl\\chat\\general has errors:\r\n"), std::string::npos) << status;
  EXPECT_NE(status.find("Index error: message 5 claims to be a comment to message 6\r\n"), std::string::npos);
  EXPECT_NE(status.find("-- Errors fixed by Message Import\r\n"), std::string::npos)
      << status << ReadWholeFile(Path("import.log"));
  std::string log = ReadWholeFile(Path("quorl\\chat\\general"));
  EXPECT_LT(log.find("#3,"), log.find("#5,"));
  EXPECT_LT(log.find("#5,"), log.find("#6,"));
  EXPECT_FALSE(FileExists(Path("quorl\\chat\\general.tmp")));
  auto conf = ReadConf();
  EXPECT_EQ(conf[kGeneral].first, 3);
  EXPECT_EQ(conf[kGeneral].last, 6);
}
#endif

TEST_F(ReindexTest, WithoutImportOkTheLogIsPutBack) {
  MakeDir("quorl\\chat");
  std::string bytes = LogOf(kGeneral, {{5, 2, 6}, {6, 1}});
  WriteLog("quorl\\chat\\general", bytes);
  g_maintenanceHooks.runAndWait = [](const char*) { return true; };  // the program does nothing
  ASSERT_EQ(RebuildMessageBase(false), 1);
  EXPECT_NE(AllStatus().find("-- ERROR: file"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(Path("quorl\\chat\\general")), bytes);
  EXPECT_FALSE(FileExists(Path("quorl\\chat\\general.tmp")));
  // Nor is the copy left queued for the program.
  EXPECT_EQ(ReadWholeFile(Path("import.dat")).find("general.tmp"), std::string::npos);
}

TEST_F(ReindexTest, ACancelledReindexPutsTheOldListBack) {
  MakeDir("quorl\\chat");
  WriteLog("quorl\\chat\\general", LogOf(kGeneral, {{1, 1}}));
  WriteConf({MakeConf(kGeneral, "quorl\\chat\\general"), MakeConf("quorl:x/y", "quorl\\x\\y")});
  std::string before = ReadWholeFile(Path("conf.ww"));
  g_maintenanceHooks.dieAt = [](const char* point) {
    if (!std::strcmp(point, "scan")) g_app.cancelTask = true;
  };
  g_app.unattended = false;
  EXPECT_EQ(RebuildMessageBase(false), 0);
  EXPECT_EQ(ReadWholeFile(Path("conf.ww")), before);
  ASSERT_FALSE(Recorded().boxes.empty());
  EXPECT_NE(Recorded().boxes.back().find("put back"), std::string::npos) << Recorded().boxes.back();
}

TEST_F(ReindexTest, ASecondClaimFindsTheBaseHeld) {
  ASSERT_EQ(ClaimMessageBase(), 1);
  // Another instance: the held "usrlock" cannot be opened.
  HANDLE other =
      CreateFileA(Path("usrlock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
}

TEST_F(ReindexTest, CopyFileSwapsHalvesAndKeepsTheSourceOnFailure) {
  WriteWholeFile(Path("a"), "AB\r\n");
  ASSERT_EQ(copyfile(Path("a").c_str(), Path("b").c_str()), 1);
  EXPECT_FALSE(FileExists(Path("a")));
  EXPECT_EQ(ReadWholeFile(Path("b")), Scramble("AB\r\n"));
  // A destination that cannot be made leaves the source alone.
  EXPECT_EQ(copyfile(Path("b").c_str(), Path("missing\\dir\\c").c_str()), 0);
  EXPECT_TRUE(FileExists(Path("b")));
}

// ---- prune ----

class PruneTest : public MaintFixture {
 protected:
  void SetUp() override {
    MaintFixture::SetUp();
    MakeDir("quorl\\chat");
  }
  // Lists the folders in conf.ww and reads it back held, as the command does.
  void Folders(const std::vector<std::pair<const char*, std::string>>& folders) {
    std::vector<ConfRec> recs;
    for (auto& [name, bytes] : folders) {
      std::string topic = std::string(name).substr(std::string(name).find('/') + 1);
      std::string base = "quorl\\chat\\" + topic;
      WriteLog(base.c_str(), bytes);
      recs.push_back(MakeConf(name, base.c_str(), 0, 0));
    }
    WriteConf(recs);
  }
  void Settings(int defaultDays, bool purge, const char* archive) {
    ReadPruneSettings();
    g_pruneSettings.defaultDays = defaultDays;
    g_pruneSettings.purge = purge;
    g_pruneSettings.firstPrune = false;
    lstrcpynA(g_pruneSettings.fileName, archive, sizeof g_pruneSettings.fileName);
    WritePruneSettings();
  }
  void MarkForDeletion(const char* name, long number) {
    lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
    ASSERT_EQ(rdconf(0), 1);
    ASSERT_EQ(logopen(), 1);
    int slot = msgindex(number, 1);
    ASSERT_GE(slot, 0);
    static_cast<MsgIndexRec*>(LogCva.At(slot))->flags |= kMsgMarkedForDeletion;
    g_topic.indexChanged = true;
    logclose();
    ASSERT_EQ(wtconf(), 1);
  }
};

TEST_F(PruneTest, RulesDaysKeepTheLastMessageArchiveAndPurge) {
  const std::string general = LogOf(kGeneral, {{1, 100}, {2, 90, 1}, {3, 1}, {4, 2, 3}, {5, 60}});
  const std::string never = LogOf("quorl:chat/never", {{1, 400}, {2, 300}});
  const std::string deleting = LogOf("quorl:chat/deleting", {{1, 400}, {2, 300}, {3, 200}});
  const std::string dormant = LogOf("quorl:chat/dormant", {{9, 50}});
  Folders({{kGeneral, general},
           {"quorl:chat/never", never},
           {"quorl:chat/deleting", deleting},
           {"quorl:chat/dormant", dormant}});
  // The prefix entry stands first; the exact entry still wins for "general".
  WriteWholeFile(Path("conf.pru"),
                 "quorl:chat 10\nquorl:chat/general 5\nquorl:chat/never -2\nquorl:chat/deleting -1\n");
  Settings(30, true, "arc_%s_%c.txt");
  MarkForDeletion("quorl:chat/deleting", 2);

  PruneMessageBase(false);

  // general: thread 1-2 is old; 3-4 is young; 5 is old but the last message.
  EXPECT_EQ(ReadWholeFile(Path("quorl\\chat\\general")),
            MessageText(kGeneral, {3, 1}) + MessageText(kGeneral, {4, 2, 3}) + MessageText(kGeneral, {5, 60}));
  EXPECT_EQ(ReadWholeFile(Path("quorl\\chat\\never")), never);
  EXPECT_EQ(ReadWholeFile(Path("quorl\\chat\\deleting")),
            MessageText("quorl:chat/deleting", {1, 400}) + MessageText("quorl:chat/deleting", {3, 200}));
  EXPECT_FALSE(FileExists(Path("quorl\\chat\\dormant")));

  // Each dropped message once, in log form, after its service's line; the
  // folders' stretches in the order of the list.
  std::string archive = ReadWholeFile(Path("arc_quorl_chat.txt"));
  const std::string stretches[] = {
      "\r\n#pragma service=quorl\r\n" + MessageText(kGeneral, {1, 100}) + MessageText(kGeneral, {2, 90, 1}),
      "\r\n#pragma service=quorl\r\n" + MessageText("quorl:chat/deleting", {2, 300}),
      "\r\n#pragma service=quorl\r\n" + MessageText("quorl:chat/dormant", {9, 50})};
  size_t total = 0;
  for (const std::string& stretch : stretches) {
    size_t at = archive.find(stretch);
    EXPECT_NE(at, std::string::npos) << archive;
    if (at != std::string::npos) {
      EXPECT_EQ(archive.find(stretch, at + 1), std::string::npos);
    }
    total += stretch.size();
  }
  EXPECT_EQ(archive.size(), total) << archive;

  auto conf = ReadConf();
  EXPECT_EQ(conf.count("quorl:chat/dormant"), 0u);
  EXPECT_EQ(conf[kGeneral].first, 3);
  EXPECT_EQ(conf[kGeneral].last, 5);
  EXPECT_EQ(conf["quorl:chat/deleting"].first, 1);
  EXPECT_EQ(conf["quorl:chat/deleting"].last, 3);
  EXPECT_NE(AllStatus().find("Removing 'quorl:chat/dormant'\r\n"), std::string::npos);
  for (const char* left : {"prune.tmp", "prune.arc", "prune.jnl"}) EXPECT_FALSE(FileExists(Path(left))) << left;
}

TEST_F(PruneTest, AFormatErrorPrunesNothing) {
  const std::string general = LogOf(kGeneral, {{1, 100}, {2, 1}});
  Folders({{kGeneral, general}});
  WriteWholeFile(Path("conf.pru"), "quorl:chat/general\n");
  Settings(5, false, "");
  g_app.unattended = false;
  Recorded().answer = IDYES;
  PruneMessageBase(false);
  EXPECT_EQ(ReadWholeFile(Path("quorl\\chat\\general")), general);
  bool reported = false;
  for (const std::string& box : Recorded().boxes) reported |= box.find("format error in CONF.PRU") != std::string::npos;
  EXPECT_TRUE(reported);
}

TEST_F(PruneTest, UnattendedZeroDaysChangesNothing) {
  const std::string general = LogOf(kGeneral, {{1, 100}, {2, 1}});
  Folders({{kGeneral, general}});
  Settings(0, false, "");
  PruneMessageBase(false);
  EXPECT_EQ(ReadWholeFile(Path("quorl\\chat\\general")), general);
  EXPECT_TRUE(Recorded().boxes.empty());
}

// ---- delete and resign ----

using DeleteTest = MaintFixture;

TEST_F(DeleteTest, AConferenceTakesItsTopicsAndOnlyEmptyDirectoriesGo) {
  MakeDir("quorl\\chat");
  MakeDir("quorl\\keep");
  MakeDir("me.ui");
  MakeDir("me.ui\\quorl");
  MakeDir("me.ui\\quorl\\chat");
  for (const char* file :
       {"quorl\\chat\\a", "quorl\\chat\\a.ind", "quorl\\chat\\a.thr", "quorl\\chat\\b", "quorl\\chat\\b.id",
        "quorl\\chat.NAM", "me.ui\\quorl\\chat\\a", "quorl\\keep\\t", "quorl\\keep\\other.txt", "quorl\\keep.NAM"})
    WriteLog(file, "x");
  for (auto rec : {MakeConf("quorl:chat/a", "quorl\\chat\\a"), MakeConf("quorl:chat/b", "quorl\\chat\\b"),
                   MakeConf("quorl:keep/t", "quorl\\keep\\t"), MakeConf("quorl:chatter/x", "quorl\\chatter\\x")})
    Conferences.InsertSorted(&rec);
  WriteWholeFile(Path("conf.pru"), "quorl:chat/a 3\nquorl:keep/t 4\n");

  DeleteFolder("quorl:chat", true);
  EXPECT_EQ(NamesOf(Conferences), (std::vector<std::string>{"quorl:chatter/x", "quorl:keep/t"}));
  for (const char* gone : {"quorl\\chat", "quorl\\chat.NAM", "me.ui\\quorl"})
    EXPECT_FALSE(FileExists(Path(gone))) << gone;
  EXPECT_TRUE(FileExists(Path("me.ui")));
  EXPECT_EQ(ReadWholeFile(Path("conf.pru")), "quorl:keep/t 4\n");

  DeleteFolder("quorl:keep/t", true);
  EXPECT_TRUE(FileExists(Path("quorl\\keep\\other.txt")));
  EXPECT_TRUE(FileExists(Path("quorl\\keep.NAM")));
  EXPECT_FALSE(FileExists(Path("conf.pru")));  // no entry left

  // A base name that leaves the data directory touches nothing there.
  WriteWholeFile(Path("..\\outside_victim"), "keep me");
  auto hostile = MakeConf("quorl:bad/x", "..\\outside_victim");
  Conferences.InsertSorted(&hostile);
  DeleteFolder("quorl:bad/x", true);
  EXPECT_TRUE(FileExists(Path("..\\outside_victim")));
  DeleteFileA(Path("..\\outside_victim").c_str());

  DeleteFolder("quorl:none/x", true);
  EXPECT_EQ(Recorded().status.back(), "No folder 'quorl:none/x'");
}

TEST_F(DeleteTest, ResigningANewsgroupRewritesItsLineInPlace) {
  MakeService("net");
  const std::string before = "comp.lang.c f\r\nrec.arts h\r\nalt.test f\r\n";
  WriteWholeFile(Path("net\\confs.sel"), before);
  EXPECT_EQ(UnsubscribeConfsSel("net", "net:rec/arts"), 1);
  EXPECT_EQ(UnsubscribeConfsSel("net", "net:comp.lang/c"), 1);
  EXPECT_EQ(UnsubscribeConfsSel("net", "net:no/such"), 0);
  std::string after = ReadWholeFile(Path("net\\confs.sel"));
  EXPECT_EQ(after, "comp.lang.c d\r\nrec.arts d\r\nalt.test f\r\n");
  EXPECT_EQ(after.size(), before.size());
}

// ---- statistics ----

using StatsTest = MaintFixture;

TEST_F(StatsTest, LinesAndTotalsFromTheListAndTheIndexes) {
  MakeDir("quorl\\chat");
  WriteLog("quorl\\chat\\general", LogOf(kGeneral, {{1, 1}, {2, 1}, {3, 1}}));
  WriteConf({MakeConf(kGeneral, "quorl\\chat\\general", 0, 0), MakeConf("quorl:chat/missing", "quorl\\chat\\missing")});
  ASSERT_EQ(rdconf(0), 1);
  lstrcpynA(g_topic.openName, kGeneral, sizeof g_topic.openName);
  ASSERT_EQ(logopen(), 1);
  logclose();
  std::vector<std::string> lines;
  StatsTotals totals;
  FillStats(&lines, &totals);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), "Quorl:Chat/General");
  EXPECT_NE(lines[0].find("\t1\t3\t3\t1"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\t0\t0\t0\t1"), std::string::npos) << lines[1];
  EXPECT_EQ(totals.folders, 2);
  EXPECT_EQ(totals.messages, 3);
  EXPECT_EQ(totals.bytes / 1024, 2u);
}

}  // namespace

// ---- a reindex and a prune stopped dead at each step, then run again ----

#if defined(MAINTRUNNER_EXE) && defined(IMPORT32_EXE)
namespace {

class KillTest : public MaintFixture {
 protected:
  // What a run leaves that a user would miss: every log and archive byte for
  // byte, and the folder list's names, files, numbers and flags.
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> out;
    for (auto& [name, rec] : ReadConf()) {
      char line[300];
      std::snprintf(line, sizeof line, "%s %ld %ld %lx", rec.baseName, static_cast<long>(rec.first),
                    static_cast<long>(rec.last), static_cast<unsigned long>(rec.flags & ~CONF_FILTERED));
      out["conf " + name] = line;
    }
    for (const char* file : {"quorl\\chat\\general", "quorl\\chat\\secret.c", "quorl\\chat\\secret",
                             "quorl\\chat\\jumbled", "quorl\\chat\\dormant", "arc_quorl.txt"})
      out[file] = FileExists(Path(file)) ? ReadWholeFile(Path(file)) : "(none)";
    return out;
  }
  void Fixture() {
    MakeDir("quorl\\chat");
    WriteLog("quorl\\chat\\general", LogOf("quorl:chat/general", {{1, 100}, {2, 90, 1}, {3, 1}, {4, 2, 3}, {5, 60}}));
    WriteLog("quorl\\chat\\secret.c", Scramble(LogOf("quorl:chat/secret", {{1, 100, 2}, {2, 1}})));
    // A comment to a later message: its index is rebuilt by the import program.
    WriteLog("quorl\\chat\\jumbled", LogOf("quorl:chat/jumbled", {{8, 80, 9}, {7, 70}, {9, 1}}));
    WriteLog("quorl\\chat\\dormant", LogOf("quorl:chat/dormant", {{4, 50}}));
    WriteWholeFile(Path("fenwold.ini"),
                   "[Prune]\r\nDefault Days=10\r\nPurge=YES\r\nFirst Prune=NO\r\n"
                   "Filename=arc_%s.txt\r\n");
    WriteWholeFile(Path("conf.pru"), "quorl:chat/general 5\n");
  }
  DWORD Run(const char* mode, const char* dieAt = "", int count = 1) {
    SetEnvironmentVariableA("MAINT_DIE_AT", dieAt);
    SetEnvironmentVariableA("MAINT_DIE_COUNT", std::to_string(count).c_str());
    // Without its last backslash, which would escape the closing quote.
    std::string command =
        std::string("maintrunner \"") + dir_.substr(0, dir_.size() - 1) + "\" " + mode + " \"" + IMPORT32_EXE + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessA(MAINTRUNNER_EXE, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      WaitForSingleObject(pi.hProcess, INFINITE);
      GetExitCodeProcess(pi.hProcess, &code);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    SetEnvironmentVariableA("MAINT_DIE_AT", nullptr);
    return code;
  }
  // The test's own files only.
  void Clear() {
    for (const char* f : {"conf.ww", "confww.bak", "confnew.ww", "conf.pru", "fenwold.ini", "import.dat", "import.log",
                          "import.ok", "import.jnl", "arc_quorl.txt", "prune.tmp", "prune.arc", "prune.jnl", "usrlock"})
      DeleteFileA(Path(f).c_str());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(Path("quorl\\chat\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileA(Path((std::string("quorl\\chat\\") + found.cFileName).c_str()).c_str());
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
};

TEST_F(KillTest, APruneStoppedAtEachStepEndsAsAnUnstoppedOne) {
  Fixture();
  ASSERT_EQ(Run("reindex"), 0u);
  auto indexed = Snapshot();
  ASSERT_EQ(Run("prune"), 0u);
  auto expected = Snapshot();
  ASSERT_NE(expected["arc_quorl.txt"], "(none)");
  for (const char* point : {"scan", "journal", "archive append", "index move", "log replace", "folder-list write"}) {
    for (int count : {1, 2}) {
      SCOPED_TRACE(std::string(point) + " #" + std::to_string(count));
      Clear();
      Fixture();
      ASSERT_EQ(Run("reindex"), 0u);
      ASSERT_EQ(Snapshot(), indexed);
      DWORD code = Run("prune", point, count);
      EXPECT_TRUE(code == 99u || (code == 0u && count > 1)) << code;
      // Stopped: each log is as it was or fully pruned, never lost.
      for (const char* log : {"quorl\\chat\\general", "quorl\\chat\\jumbled"}) {
        std::string now = Snapshot()[log];
        EXPECT_TRUE(now == indexed[log] || now == expected[log]) << log;
      }
      ASSERT_EQ(Run("prune"), 0u);
      EXPECT_EQ(Snapshot(), expected);
    }
  }
}

TEST_F(KillTest, AReindexStoppedAtEachStepEndsAsAnUnstoppedOne) {
  // A first reindex gives the logs indexes to set aside; the handed-back
  // scrambled log becomes a plain one, so its copy step is met only the first time.
  struct Step {
    const char* point;
    bool indexedBefore;
  } steps[] = {
      {"index move", true}, {"scan", false}, {"log move", false}, {"copyfile", false}, {"folder-list write", true}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.point);
    Clear();
    Fixture();
    if (step.indexedBefore) {
      ASSERT_EQ(Run("reindex"), 0u);
    }
    ASSERT_EQ(Run("reindex"), 0u);
    auto expected = Snapshot();
    Clear();
    Fixture();
    if (step.indexedBefore) {
      ASSERT_EQ(Run("reindex"), 0u);
    }
    EXPECT_EQ(Run("reindex", step.point), 99u);
    EXPECT_EQ(Snapshot()["quorl\\chat\\general"], expected["quorl\\chat\\general"]);
    ASSERT_EQ(Run("reindex"), 0u);
    EXPECT_EQ(Snapshot(), expected);
  }
}

}  // namespace
#endif
