// wrxview.exe: a small host window for the rich-text control, for tests and
// benchmarks. It shows the document it is given in one control filling its
// client area, read-only with the message view's keys unless "--edit". A
// document read from RTF is saved as RTF. "--pair" shows a second, empty
// control beside the first for copying between them, laid out as pages;
// "--picture" inserts a picture file at the start of the document.
//   wrxview [--edit] [--nowrap] [--pair] [--picture file] [--size WxH] file
// A test drives find and replace by WM_COPYDATA to the frame: dwData is the
// control's id times 256 plus 'F' (find the text forward) or 'R' (replace,
// asking: the data holds the text, the replacement and the answers, each
// ended by a zero). The control's questions are answered from those answers
// (Y, N or C; OK for a notice), never by a box on the screen; the result is
// the number of questions asked times 65536 plus what the call returned.
#include "wrx/wrx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND g_control = nullptr;
HWND g_second = nullptr;  // with --pair: the right half

std::string g_answers;  // what the next questions are answered
int g_asked = 0;

int AnswerFromScript(HWND, const char*, const char*, UINT type) {
  ++g_asked;
  if ((type & 0xF) == MB_OK) return IDOK;
  const char answer = g_answers.empty() ? 'C' : g_answers[0];
  if (!g_answers.empty()) g_answers.erase(0, 1);
  return answer == 'Y' ? IDYES : answer == 'N' ? IDNO : IDCANCEL;
}

LRESULT Drive(const COPYDATASTRUCT* data) {
  HWND control = (data->dwData >> 8) == 2 ? g_second : g_control;
  if (!control || !data->lpData || !data->cbData) return 0;
  const char* bytes = static_cast<const char*>(data->lpData);
  if (bytes[data->cbData - 1] != 0) return 0;
  const char* find = bytes;
  const char* end = bytes + data->cbData;
  const char* with = find + strlen(find) + 1;
  const char* answers = with < end ? with + strlen(with) + 1 : end;
  g_answers = answers < end ? answers : "";
  g_asked = 0;
  WrxMessageBoxProc old = SetWrxMessageBoxProc(AnswerFromScript);
  int result = 0;
  switch (data->dwData & 0xFF) {
    case 'F': result = SearchParam(control, find, 'E', 0); break;
    case 'R': result = with < end ? ReplaceParam(control, find, with, 1, 0) : 0; break;
  }
  SetWrxMessageBoxProc(old);
  return LRESULT(g_asked) * 65536 + result;
}

// The controls share the client area side by side.
void Layout(int width, int height) {
  const int half = g_second ? width / 2 : width;
  if (g_control) MoveWindow(g_control, 0, 0, g_second ? half - 2 : width, height, TRUE);
  if (g_second) MoveWindow(g_second, half + 2, 0, width - half - 2, height, TRUE);
}

// What a user saves is what they opened: an RTF file stays RTF.
bool IsRtfFile(const char* name) {
  char head[5] = {};
  FILE* f = fopen(name, "rb");
  if (!f) return false;
  const size_t n = fread(head, 1, sizeof head, f);
  fclose(f);
  return n == sizeof head && memcmp(head, "{\\rtf", 5) == 0;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: Layout(LOWORD(lp), HIWORD(lp)); return 0;
    case WM_SETFOCUS:
      if (g_control) SetFocus(g_control);
      return 0;
    case WM_COPYDATA: return Drive(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

int Fail(const char* text) {
  fprintf(stderr, "wrxview: %s\n", text);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool edit = false, wrap = true, pair = false;
  int width = 640, height = 480;
  const char* file = nullptr;
  const char* picture = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--edit"))
      edit = true;
    else if (!strcmp(argv[i], "--pair"))
      pair = true;
    else if (!strcmp(argv[i], "--picture") && i + 1 < argc)
      picture = argv[++i];
    else if (!strcmp(argv[i], "--nowrap"))
      wrap = false;
    else if (!strcmp(argv[i], "--size") && i + 1 < argc)
      sscanf(argv[++i], "%dx%d", &width, &height);
    else
      file = argv[i];
  }
  if (!file) return Fail("usage: wrxview [--edit] [--nowrap] [--pair] [--picture file] [--size WxH] file");
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWrxClass(instance)) return Fail("cannot register the control");
  WNDCLASSA wc{};
  wc.lpfnWndProc = ViewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = "WrxView";
  RegisterClassA(&wc);
  HWND frame = CreateWindowExA(0, "WrxView", file, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr, instance,
                               nullptr);
  if (!frame) return Fail("cannot create the window");
  RECT client;
  GetClientRect(frame, &client);
  WrxArgList a;
  memset(&a, 0, sizeof a);
  a.width = client.right, a.height = client.bottom;
  a.wordWrap = wrap;
  a.vScroll = 1;
  a.readOnly = !edit;
  a.initialLine = 1;
  a.inputKind = 'F';
  snprintf(a.fileName, sizeof a.fileName, "%s", file);
  a.lineDelimiter = 13;
  a.saveType = IsRtfFile(file) ? 3 : 4;
  a.instance = instance;
  a.parent = frame;
  a.style = WS_CHILD | WS_VSCROLL | WRX_VSCROLL | (wrap ? WRX_WORDWRAP : 0) | (edit ? 0 : WRX_READONLY);
  strcpy(a.typeface, "Arial");
  a.pointSize = 12;
  g_control = CreateWrxWindow(&a);
  if (!g_control) return Fail("cannot open the document");
  if (!edit) WrxSetHostData(g_control, LoadAcceleratorsA(instance, "ViewAcc"));
  if (picture && WrxInsertPictureFile(g_control, picture, 1, 0, 1) <= 0) return Fail("cannot insert the picture");
  if (pair) {
    WrxArgList b = a;
    b.inputKind = 'B';  // empty, in memory
    b.fileName[0] = 0;
    b.saveType = 3;
    // Laid out for the printer and shown as pages, so that tables can be
    // inserted in it and show their cells.
    b.printView = b.pageMode = 1;
    b.style |= WRX_PRINTVIEW | WRX_PAGEMODE;
    g_second = CreateWrxWindow(&b);
    if (!g_second) return Fail("cannot open the second control");
    SetWindowLongPtrA(g_second, GWLP_ID, 2);
    SetWindowLongPtrA(g_control, GWLP_ID, 1);
    Layout(client.right, client.bottom);
  }
  ShowWindow(frame, SW_SHOW);
  SetFocus(g_control);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}
