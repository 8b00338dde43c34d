// A fresh data directory (with sub-directories) for one test, set as the data
// directory and the message directory, and removed afterwards.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/appstate.h"
#include "core/settings.h"

class UtilTestDir {
 public:
  UtilTestDir() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int serial;
    char dir[MAX_PATH];
    snprintf(dir, sizeof dir, "%spelmora-util-%lu-%d\\", temp, GetCurrentProcessId(), ++serial);
    CreateDirectoryA(dir, nullptr);
    path_ = dir;
    snprintf(savedData_, sizeof savedData_, "%s", g_app.dataDir);
    snprintf(savedMessage_, sizeof savedMessage_, "%s", g_main.messagePath);
    snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s", dir);
    snprintf(g_main.messagePath, sizeof g_main.messagePath, "%s", dir);
    g_main.messagePathExpanded[0] = 0;
  }
  ~UtilTestDir() {
    Remove(path_);
    snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s", savedData_);
    snprintf(g_main.messagePath, sizeof g_main.messagePath, "%s", savedMessage_);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }
  void MakeDir(const std::string& name) const { CreateDirectoryA(File(name).c_str(), nullptr); }
  void Write(const std::string& name, const std::string& text) const {
    FILE* f = fopen(File(name).c_str(), "wb");
    if (!f) return;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  std::string Read(const std::string& name) const {
    std::string text;
    FILE* f = fopen(File(name).c_str(), "rb");
    if (!f) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
  }
  bool Exists(const std::string& name) const {
    return GetFileAttributesA(File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  static void Remove(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          Remove(dir + name + "\\");
        else
          DeleteFileA((dir + name).c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
  }
  std::string path_;
  char savedData_[MAX_PATH];
  char savedMessage_[MAX_PATH];
};
