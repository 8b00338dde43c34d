// A data directory for the message-base list tests, made fresh per test.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/appstate.h"
#include "core/settings.h"
#include "core/tests/ui_recorder.h"
#include "tests/support/files.h"

using testfs::FileExists;
using testfs::ReadWholeFile;
using testfs::WriteWholeFile;

class DataDirTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dir_ = MakeTempDir("msgbase");
    lstrcpynA(g_app.dataDir, dir_.c_str(), sizeof g_app.dataDir);
    InitDefaults();
    lstrcpynA(g_main.messagePathExpanded, dir_.c_str(), sizeof g_main.messagePathExpanded);
  }
  std::string Path(const char* name) const { return dir_ + name; }
  std::string dir_;
};
