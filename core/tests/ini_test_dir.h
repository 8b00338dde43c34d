// A fresh data directory for one INI test, removed afterwards.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/appstate.h"

class TestDataDir {
 public:
  TestDataDir() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int serial;
    char dir[MAX_PATH];
    snprintf(dir, sizeof dir, "%spelmora-ini-%lu-%d\\", temp, GetCurrentProcessId(), ++serial);
    CreateDirectoryA(dir, nullptr);
    path_ = dir;
    snprintf(saved_, sizeof saved_, "%s", g_app.dataDir);
    snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s", dir);
  }
  ~TestDataDir() {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((path_ + "*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + found.cFileName).c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    RemoveDirectoryA(path_.c_str());
    snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s", saved_);
  }
  const std::string& path() const { return path_; }
  std::string File(const char* name) const { return path_ + name; }
  void Write(const char* name, const std::string& text) const {
    FILE* f = fopen(File(name).c_str(), "wb");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  std::string Read(const char* name) const {
    std::string text;
    FILE* f = fopen(File(name).c_str(), "rb");
    if (!f) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
  }
  bool Exists(const char* name) const { return GetFileAttributesA(File(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  std::string path_;
  char saved_[MAX_PATH];
};
