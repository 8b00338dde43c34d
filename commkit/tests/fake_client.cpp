#include "fake_client.h"

#include <stdio.h>

namespace {
const char kClass[] = "CommkitTestClient";

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClass;
  RegisterClassA(&windowClass);
  done = true;
}
}  // namespace

FakeClient::FakeClient() {
  RegisterOnce();
  window = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(this));
  SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(Procedure));
}

FakeClient::~FakeClient() { DestroyWindow(window); }

LRESULT CALLBACK FakeClient::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<FakeClient*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_USER && self) return self->Notice(UINT(wParam), reinterpret_cast<NoticeBlock*>(lParam), lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT FakeClient::Notice(UINT code, NoticeBlock* block, LPARAM lParam) {
  ++notices[code];
  if (code == kNoticeAskStop) {
    auto* stop = reinterpret_cast<uint32_t*>(lParam);
    if (stopAfterPolls && uint32_t(notices[code]) >= stopAfterPolls) *stop = 1;
    return 0;
  }
  if (code == kNoticeKeepAlive) return 0;
  if (code == kNoticeRawBlock) {
    rawBlocks.emplace_back(int(block->argument),
                           std::string(reinterpret_cast<const char*>(uintptr_t(block->word0)), block->value));
    return 0;
  }
  if (code == kNoticeLogLine) {
    logLines.emplace_back(reinterpret_cast<const char*>(uintptr_t(block->word0)));
    return 0;
  }
  if (code < kNoticeFwdClose || code > kNoticeFwdPurge || !handleForwarded) return 0;
  lastArgument = uint32_t(block->argument);
  lastValue = block->value;
  switch (code) {
    case kNoticeFwdOpen:
    case kNoticeFwdSetup:
      lastSettings = *reinterpret_cast<PortSettings*>(uintptr_t(block->argument));
      block->value = openAnswer ? 1 : 0;
      break;
    case kNoticeFwdProbe: block->value = 1; break;
    case kNoticeFwdModemStatus: block->value = carrier ? 2 : 0; break;
    case kNoticeFwdWrite:
      written.append(reinterpret_cast<const char*>(uintptr_t(block->argument)), block->value);
      break;
    case kNoticeFwdRead: {
      if (readAnswerOverride) {
        block->value = readAnswerOverride;
        break;
      }
      auto* buffer = reinterpret_cast<uint8_t*>(uintptr_t(block->argument));
      uint32_t maximum = block->value & 0xFFFF, count = 0;
      while (count < maximum && !incoming.empty()) {
        buffer[count++] = incoming.front();
        incoming.pop_front();
      }
      block->value = count << 16;
      break;
    }
    default: break;
  }
  return 0;
}

TempDir::TempDir() {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static int serial;
  char name[MAX_PATH + 40];
  snprintf(name, sizeof name, "%sckt%lu_%d", base, GetCurrentProcessId(), ++serial);
  CreateDirectoryA(name, nullptr);
  path = name;
}

TempDir::~TempDir() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

std::string ReadWholeFile(const std::string& name) {
  std::string text;
  FILE* file = fopen(name.c_str(), "rb");
  if (!file) return text;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  fclose(file);
  return text;
}
