// A data directory with a service directory, logs written by the test, and
// the maintenance hooks pointed at the test: status lines recorded, the
// import program run from the build tree, no box that waits.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "msgbase/maintenance.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/user_folders.h"
#include "tests/support/process.h"

inline std::vector<std::string>& StatusLines() {
  static std::vector<std::string> lines;
  return lines;
}

inline std::string AllStatus() {
  std::string all;
  for (const std::string& line : StatusLines()) all += line;
  return all;
}

// A message date `days` days before today, at noon, in the form the logs
// carry: the same text all day, so a test can write a message twice.
inline std::string DaysAgo(int days) {
  time_t when = (std::time(nullptr) / 86400 - days) * 86400 + 43200;
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&when));
  return text;
}

struct Msg {
  long number;
  int age;  // days
  long commentTo = 0;
};

inline std::string MessageText(const std::string& folder, const Msg& m) {
  std::string body =
      "Subject: message " + std::to_string(m.number) + "\n\nText of message " + std::to_string(m.number) + ".\n";
  return SeparatorMessage(folder, m.number, "ann", DaysAgo(m.age), body,
                          m.commentTo ? "Comment to " + std::to_string(m.commentTo) + "." : "");
}

inline std::string LogOf(const std::string& folder, const std::vector<Msg>& messages) {
  std::string log;
  for (const Msg& m : messages) log += MessageText(folder, m);
  return log;
}

class MaintFixture : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    lstrcpynA(g_main.messagePath, dir_.c_str(), sizeof g_main.messagePath);
    ForgetServiceDirScan();
    StatusLines().clear();
    savedHooks_ = g_maintenanceHooks;
    g_ui.statusPrint = [](const char* text) { StatusLines().push_back(text); };
    g_maintenanceHooks.runAndWait = RunImport32;
    g_app.unattended = true;
    g_app.userName[0] = 0;
    g_app.cancelTask = false;
    MakeService("quorl");
  }
  void TearDown() override {
    ReleaseMessageBase();
    g_maintenanceHooks = savedHooks_;
    g_app.unattended = false;
    TopicFixture::TearDown();
  }
  void MakeService(const char* key) {
    CreateDirectoryA(Path(key).c_str(), nullptr);
    WriteWholeFile(Path((std::string(key) + "\\" + key + ".cnf").c_str()), "");
  }
  void MakeDir(const char* relative) { CreateDirectoryA(Path(relative).c_str(), nullptr); }
  void WriteLog(const char* relative, const std::string& bytes) { WriteWholeFile(Path(relative), bytes); }
  void WriteConf(const std::vector<ConfRec>& recs) {
    VirtualArray list("l", sizeof(ConfRec));
    for (const ConfRec& r : recs) list.Append(&r);
    SortConfList(list);  // as the program keeps it, for the lookups by name
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, list, 0));
    std::fclose(f);
  }
  std::map<std::string, ConfRec> ReadConf() {
    std::map<std::string, ConfRec> out;
    FILE* f = std::fopen(Path("conf.ww").c_str(), "rb");
    if (!f) return out;
    VirtualArray list("r", sizeof(ConfRec));
    uint32_t header;
    if (ReadConfList(f, list, &header) == CONFFILE_OK)
      for (const ConfRec& r : RecordsOf(list)) out[r.name] = r;
    std::fclose(f);
    return out;
  }
  static bool RunImport32(const char* commandLine) {
#ifdef IMPORT32_EXE
    return testproc::RunAndWait(IMPORT32_EXE, commandLine, g_app.dataDir) != -1;
#else
    return false;
#endif
  }
  MaintenanceHooks savedHooks_;
};
