#include "msgbase/prune_commit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Killed {};
std::string g_dieAt;
bool g_failAppend = false;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
void Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Plain files; a kill is the exception at the chosen point.
PruneFileOps TestOps() {
  PruneFileOps ops;
  ops.exists = [](const std::string& p) { return fs::exists(p); };
  ops.length = [](const std::string& p) -> long long {
    std::error_code e;
    auto n = fs::file_size(p, e);
    return e ? -1 : static_cast<long long>(n);
  };
  ops.writeSynced = [](const std::string& p, const std::string& b) {
    Write(p, b);
    return true;
  };
  ops.readAll = [](const std::string& p, std::string* out, size_t) {
    *out = Read(p);
    return true;
  };
  ops.appendSynced = [](const std::string& to, const std::string& from) {
    if (g_failAppend) return false;
    Write(to, Read(to) + Read(from));
    return true;
  };
  ops.moveOver = [](const std::string& from, const std::string& to) {
    std::error_code e;
    fs::rename(from, to, e);
    return !e;
  };
  ops.remove = [](const std::string& p) {
    std::error_code e;
    return fs::remove(p, e);
  };
  ops.cutBack = [](const std::string& p, long long n) {
    Write(p, Read(p).substr(0, static_cast<size_t>(n)));
    return true;
  };
  ops.dieAt = [](const char* point) {
    if (g_dieAt == point) throw Killed{};
  };
  return ops;
}

class PruneCommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = (fs::temp_directory_path() /
            ("pl_prune_commit_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()))
               .string() +
           "/";
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    work_ = {dir_ + "prune.tmp", dir_ + "prune.arc", dir_ + "prune.jnl"};
    commit_.log = dir_ + "general";
    commit_.folder = "quorl:chat/general";
    commit_.archive = dir_ + "archive.txt";
    g_dieAt.clear();
    g_failAppend = false;
  }
  void TearDown() override {
    g_dieAt.clear();
    g_failAppend = false;
    fs::remove_all(dir_);
  }
  // The pass up to the commit: the old log with its index, the archive so
  // far, and the two work files of this folder.
  void Prepare(bool first) {
    if (first) {
      Write(commit_.log, "old log");
      Write(PathWithExtension(commit_.log, ".ind"), "old index");
      Write(commit_.archive, "earlier\n");
    }
    Write(work_.kept, "new log");
    Write(work_.stretch, "stretch\n");
  }
  bool Commit() { return CommitPrunedFolder(TestOps(), work_, commit_) == PruneCommitResult::kDone; }
  bool NoWorkFiles() { return !fs::exists(work_.kept) && !fs::exists(work_.stretch) && !fs::exists(work_.journal); }
  std::string dir_;
  PruneWorkFiles work_;
  PruneCommit commit_;
};

TEST_F(PruneCommitTest, AStopAtAnyPointLeavesOneWholeStateAndTheRerunFinishes) {
  for (const char* point : {"journal", "archive append", "index move", "log replace", ""}) {
    SCOPED_TRACE(point);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Prepare(true);
    g_dieAt = point;
    bool killed = false;
    try {
      EXPECT_TRUE(Commit());
      EndPruneCommit(TestOps(), work_);
    } catch (const Killed&) {
      killed = true;
    }
    g_dieAt.clear();
    EXPECT_EQ(killed, point[0] != 0);

    PruneRecovery recovery = RecoverPruneCommit(TestOps(), work_);
    EXPECT_TRUE(NoWorkFiles());
    bool replaced = Read(commit_.log) == "new log";
    EXPECT_EQ(recovery.committed, killed && replaced);
    if (replaced) {
      EXPECT_EQ(Read(commit_.archive), "earlier\nstretch\n");
    } else {
      // As it was before the pass: the log, its index and the archive.
      EXPECT_EQ(Read(commit_.log), "old log");
      EXPECT_EQ(Read(PathWithExtension(commit_.log, ".ind")), "old index");
      EXPECT_EQ(Read(commit_.archive), "earlier\n");
      Prepare(false);  // the rerun prunes the folder again
      ASSERT_TRUE(Commit());
      EndPruneCommit(TestOps(), work_);
    }
    EXPECT_EQ(Read(commit_.log), "new log");
    EXPECT_EQ(Read(commit_.archive), "earlier\nstretch\n");
    EXPECT_EQ(Read(PathWithExtension(commit_.log, ".ond")), "old index");
    EXPECT_TRUE(NoWorkFiles());
  }
}

TEST_F(PruneCommitTest, ADormantFolderIsCommittedOnceItsLogIsGone) {
  commit_.dormant = true;
  for (const char* point : {"journal", "archive append"}) {
    SCOPED_TRACE(point);
    Write(commit_.log, "only message");
    Write(commit_.archive, "earlier\n");
    Write(work_.stretch, "only message archived\n");
    g_dieAt = point;
    EXPECT_THROW(Commit(), Killed);
    g_dieAt.clear();
    PruneRecovery recovery = RecoverPruneCommit(TestOps(), work_);
    EXPECT_TRUE(recovery.found);
    EXPECT_FALSE(recovery.committed);
    EXPECT_EQ(Read(commit_.archive), "earlier\n");
  }
  // Stopped after the log was deleted: the caller finishes the deletion.
  Write(work_.stretch, "only message archived\n");
  ASSERT_TRUE(Commit());
  fs::remove(commit_.log);
  PruneRecovery recovery = RecoverPruneCommit(TestOps(), work_);
  EXPECT_TRUE(recovery.committed);
  EXPECT_TRUE(recovery.commit.dormant);
  EXPECT_EQ(recovery.commit.folder, "quorl:chat/general");
  EXPECT_EQ(Read(commit_.archive), "earlier\nonly message archived\n");
}

TEST_F(PruneCommitTest, FailuresChangeNothing) {
  Prepare(true);
  g_failAppend = true;
  EXPECT_EQ(CommitPrunedFolder(TestOps(), work_, commit_), PruneCommitResult::kArchiveFailed);
  EXPECT_EQ(Read(commit_.log), "old log");
  EXPECT_EQ(Read(commit_.archive), "earlier\n");
  EXPECT_TRUE(NoWorkFiles());
  g_failAppend = false;
  // No archive stretch, no archive: only the log changes.
  Prepare(false);
  fs::remove(work_.stretch);
  ASSERT_TRUE(Commit());
  EXPECT_EQ(Read(commit_.archive), "earlier\n");
}

TEST_F(PruneCommitTest, JournalTextRoundTripsAndRefusesTornText) {
  PruneCommit c{"d\\quorl\\chat\\general", "quorl:chat/general", "d\\arc.txt", true};
  std::string text = FormatPruneJournal(c, 1234);
  PruneCommit back;
  long long length = 0;
  ASSERT_TRUE(ParsePruneJournal(text, &back, &length));
  EXPECT_EQ(back.log, c.log);
  EXPECT_EQ(back.archive, c.archive);
  EXPECT_EQ(back.folder, c.folder);
  EXPECT_TRUE(back.dormant);
  EXPECT_EQ(length, 1234);
  for (size_t cut = 0; cut < text.size(); ++cut)
    EXPECT_FALSE(ParsePruneJournal(text.substr(0, cut), &back, &length)) << cut;
}

}  // namespace
