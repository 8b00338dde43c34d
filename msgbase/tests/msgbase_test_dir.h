// A data directory for the message-base list tests, made fresh per test.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/appstate.h"
#include "core/settings.h"
#include "core/tests/ui_recorder.h"

inline std::string ReadWholeFile(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  std::fclose(f);
  return out;
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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
