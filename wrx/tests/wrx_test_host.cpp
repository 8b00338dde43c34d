#include "wrx/tests/wrx_test_host.h"

#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace wrxtest {

std::vector<Notice> g_notices;
std::vector<int> g_errors;
std::vector<std::string> g_routines;
std::vector<Box> g_boxes;
std::vector<Box> g_questions;
int g_answer = IDNO;

namespace {

HWND g_host = nullptr;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if ((msg >= 2724 && msg <= 2730) || (msg == WM_COMMAND && HIWORD(wp) == EN_CHANGE)) {
    g_notices.push_back(Notice{msg, wp});
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

int RecordBox(HWND, const char* text, const char* title, UINT type) {
  const bool question = (type & MB_TYPEMASK) != MB_OK;
  (question ? g_questions : g_boxes).push_back(Box{text ? text : "", title ? title : ""});
  return question ? g_answer : IDOK;
}

void RecordError(int code, const char* routine) {
  g_errors.push_back(code);
  g_routines.push_back(routine ? routine : "");
}

class HostEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterWrxClass(instance));
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.lpszClassName = "WrxTestHost";
    RegisterClassA(&wc);
    g_host = CreateWindowExA(0, "WrxTestHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, instance,
                             nullptr);
    ASSERT_NE(g_host, nullptr);
    SetWrxMessageBoxProc(RecordBox);
    SetWrxErrorObserver(RecordError);
    SetWrxSharedFlags(WRXF_SILENT);
  }
  void TearDown() override {
    DestroyWindow(g_host);
    UnloadWrx();
  }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new HostEnvironment);

}  // namespace

HWND HostWindow() { return g_host; }

void ResetRecords() {
  g_notices.clear();
  g_errors.clear();
  g_routines.clear();
  g_boxes.clear();
  g_questions.clear();
  g_answer = IDNO;
}

WrxArgList HiddenArgs(DWORD controlStyle) {
  WrxArgList a;
  memset(&a, 0, sizeof a);
  a.width = 600;
  a.height = 400;
  a.initialLine = 1;
  a.inputKind = 'B';
  a.lineDelimiter = 13;
  a.saveType = 4;
  a.instance = GetModuleHandleA(nullptr);
  a.parent = g_host;
  a.style = WS_CHILD | WRX_HIDDEN | controlStyle;
  a.wordWrap = (controlStyle & WRX_WORDWRAP) != 0;
  a.readOnly = (controlStyle & WRX_READONLY) != 0;
  strcpy(a.typeface, "Arial");
  a.pointSize = 12;
  return a;
}

HWND CreateHidden(WrxArgList& args) { return CreateWrxWindow(&args); }

HWND CreateFromText(const std::string& text, DWORD controlStyle, char delimiter) {
  WrxArgList a = HiddenArgs(controlStyle);
  a.lineDelimiter = delimiter;
  SetArgsText(a, text);
  return CreateWrxWindow(&a);
}

void SetArgsText(WrxArgList& a, const std::string& text) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(h), text.data(), text.size());
  GlobalUnlock(h);
  a.bufferHandle = h;  // the window owns it from here
  a.bufferSize = int32_t(text.size());
}

std::string TempDir() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  std::ostringstream name;
  name << base << "wrxt" << GetCurrentProcessId() << "_" << GetTickCount() << "_" << rand();
  CreateDirectoryA(name.str().c_str(), nullptr);
  return name.str();
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string LineText(HWND hwnd, long line) {
  char text[2100];
  int n = GetWrxLine(hwnd, line, text, sizeof text, nullptr, 0);
  return n < 0 ? std::string("<none>") : std::string(text, size_t(n));
}

std::string BufferBytes(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !w->arg.bufferHandle) return std::string();
  const char* p = static_cast<const char*>(GlobalLock(w->arg.bufferHandle));
  std::string s(p, size_t(w->arg.bufferSize));
  GlobalUnlock(w->arg.bufferHandle);
  return s;
}

}  // namespace wrxtest
