// A client window for tests: it answers the forwarded driver's notices from
// an in-memory line and records every notice it receives.
#pragma once
#include "commkit.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

struct FakeClient {
  HWND window = nullptr;
  // The line: bytes the client will hand to the next forwarded reads, and
  // bytes the toolbox wrote.
  std::deque<uint8_t> incoming;
  std::string written;
  bool handleForwarded = true;
  bool openAnswer = true;
  bool carrier = true;
  uint32_t readAnswerOverride = 0;  // when set, answered to every read as is
  uint32_t stopAfterPolls = 0;      // answer notice 512 with "stop" from this poll on
  std::map<UINT, int> notices;
  std::vector<std::string> logLines;
  std::vector<std::pair<int, std::string>> rawBlocks;  // direction, bytes
  PortSettings lastSettings = {};
  uint32_t lastArgument = 0, lastValue = 0;

  FakeClient();
  ~FakeClient();
  void Feed(const std::string& bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Notice(UINT code, NoticeBlock* block, LPARAM lParam);
};

// A fresh directory under the temporary directory, removed with its files.
struct TempDir {
  std::string path;
  TempDir();
  ~TempDir();
  std::string File(const char* name) const { return path + "\\" + name; }
};

std::string ReadWholeFile(const std::string& name);
