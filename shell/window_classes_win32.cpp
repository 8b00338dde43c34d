#include <cstring>

#include "core/appstate.h"
#include "shell/frame.h"
#include "shell/postits.h"
#include "shell/shell_state.h"
#include "shell/splash.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"
#include "wrx/wrx.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

BOOL NoControl(HINSTANCE) { return TRUE; }

enum : UINT {
  STYLE_REDRAW = CS_VREDRAW | CS_HREDRAW,
  STYLE_DBLCLKS = STYLE_REDRAW | CS_DBLCLKS,
  STYLE_SAVEBITS = CS_BYTEALIGNCLIENT | CS_SAVEBITS,
  STYLE_ALIGNED = STYLE_REDRAW | CS_BYTEALIGNWINDOW,
  STYLE_GLOBAL = STYLE_REDRAW | CS_GLOBALCLASS,
};

// The table's 4 extra bytes hold a pointer: as wide as one wherever the
// program is built.
constexpr int kPointerExtra = sizeof(LONG_PTR);

struct ClassRow {
  const char* name;
  UINT style;
  int windowExtra;
  const char* icon;  // an icon resource of the program, or null
  WNDPROC* proc;     // a slot of g_windowClassProcs, or null for the shell's own
  WNDPROC ownProc;
};

}  // namespace

// Classes whose owners are not wired in are left to them: an owner that
// registers its class itself finds the name free.
WindowClassProcs g_windowClassProcs = {
    nullptr, nullptr, nullptr,   nullptr,   nullptr,   nullptr,   nullptr,          nullptr,
    nullptr, nullptr, nullptr,   nullptr,   nullptr,   nullptr,   nullptr,          nullptr,
    nullptr, nullptr, NoControl, NoControl, NoControl, NoControl, RegisterWrxClass,
};

BOOL RegisterWindowClasses(HINSTANCE instance) {
  WindowClassProcs& p = g_windowClassProcs;
  g_shell.postitBrush = CreateSolidBrush(RGB(255, 255, 127));
  const ClassRow rows[] = {
      {"PL", STYLE_REDRAW, 0, "a", nullptr, FrameWndProc},
      {"PL2", STYLE_REDRAW, 0, "a", nullptr, FrameWndProc},
      {"Lindle Cask", STYLE_REDRAW, 0, "threads", &p.browser, nullptr},
      {"Marrowfold", STYLE_DBLCLKS, kPointerExtra, "review", &p.outbasket, nullptr},
      {"Quenby Gold", STYLE_DBLCLKS, 3 * kPointerExtra, nullptr, &p.toolbar, nullptr},
      {"Haskel Dark", STYLE_SAVEBITS, 0, nullptr, &p.toolbarTip, nullptr},
      {"Corrin Pale", STYLE_REDRAW, 0, "Connect", &p.connect, nullptr},
      {"Harrow Mild", STYLE_REDRAW, 0, "Subscrib", &p.subscribe, nullptr},
      {"Carrow Porter", STYLE_REDRAW, 0, "bookmark", &p.bookmarks, nullptr},
      {"Tollicks Pale Ale", STYLE_REDRAW, 0, "resumes", &p.resumes, nullptr},
      {"Thrimby Bitter", STYLE_DBLCLKS, kPointerExtra, "postit", nullptr, PostitProc},
      {"Tandry Ale", STYLE_REDRAW, kPointerExtra, "file", &p.fileList, nullptr},
      {"Kestle Gold", STYLE_REDRAW, 0, "sched", &p.scheduler, nullptr},
      {"Old Wendle", STYLE_REDRAW, 0, "mugs", &p.portrait, nullptr},
      {"Old Harl", STYLE_REDRAW, 0, "joinwind", &p.messageBase, nullptr},
      {"Brackle Stout", STYLE_REDRAW, kPointerExtra, "addr1", &p.addressBook, nullptr},
      {"Bramblewick", STYLE_REDRAW, kPointerExtra, "notepad", &p.editor, nullptr},
      {"Cask Reserve", STYLE_REDRAW, 0, nullptr, &p.messageWindow, nullptr},
      {"Old Thistle", STYLE_REDRAW, 0, "book02", &p.libraryList, nullptr},
      {"Frostmere", STYLE_REDRAW, 0, nullptr, nullptr, StatusWindowProc},
      {"Halden Harbour Pride", STYLE_ALIGNED, 0, nullptr, nullptr, SplashWndProc},
      {"Granby", STYLE_GLOBAL, 0, nullptr, nullptr, BitmapWndProc},
      {"Cellar Pike", STYLE_GLOBAL, 0, nullptr, &p.fontPreview, nullptr},
      {"Tolvey Special", STYLE_REDRAW, 0, nullptr, &p.tipOfTheDay, nullptr},
      {"Mossgrove", STYLE_REDRAW, 0, nullptr, nullptr, PlainWindowProc},
  };
  for (const ClassRow& row : rows) {
    if (row.proc && !*row.proc) continue;
    WNDCLASSA wc = {};
    wc.style = row.style;
    wc.lpfnWndProc = row.proc ? *row.proc : row.ownProc;
    wc.cbWndExtra = row.windowExtra;
    wc.hInstance = instance;
    if (row.icon) wc.hIcon = LoadIconA(instance, row.icon);
    wc.lpszClassName = row.name;
    if (std::strncmp(row.name, "PL", 2) == 0) wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_INACTIVEBORDER + 1);
    if (std::strcmp(row.name, "Thrimby Bitter") == 0) wc.hbrBackground = g_shell.postitBrush;
    if (std::strcmp(row.name, "Cask Reserve") == 0) wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (std::strcmp(row.name, "Frostmere") == 0) wc.hIcon = LoadIconA(nullptr, IDI_ASTERISK);
    if (!RegisterClassA(&wc)) return FALSE;
  }
  if (!p.registerVlbClass(instance) || !p.registerProgressBar(instance) || !p.registerTabControl(instance) ||
      !p.htmlInit(instance) || !p.registerWrxClass(instance))
    return FALSE;
  return RegisterStatusBarClass(instance);
}
