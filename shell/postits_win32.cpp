#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "shell/broadcast.h"
#include "shell/poll_rules.h"
#include "shell/postits.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/window_classes.h"

namespace {

void PostitsPath(char* out) { std::snprintf(out, MAX_PATH, "%spostits.log", g_app.dataDir); }

bool FolderFlags(const char* folder, unsigned long* flags) {
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (rec && lstrcmpiA(rec->name, folder) == 0) {
      *flags = rec->flags;
      return true;
    }
  }
  return false;
}

// The note's own copy of its line.
const char kLineProp[] = "PostitLine";

void PaintNote(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  auto* line = static_cast<const char*>(GetPropA(window, kLineProp));
  PostitLine parsed;
  if (line && ParsePostitLine(line, &parsed)) {
    char text[400];
    std::snprintf(text, sizeof text, "Urgent Message!\n\nFrom: %s\nMail folder: %s\nNumber: %s", parsed.sender,
                  parsed.folder, parsed.number);
    RECT client;
    GetClientRect(window, &client);
    RECT measure = client;
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text, -1, &measure, DT_CENTER | DT_NOPREFIX | DT_CALCRECT | DT_WORDBREAK);
    int height = measure.bottom - measure.top;
    RECT centred = {client.left, (client.bottom - height) / 2, client.right, client.bottom};
    DrawTextA(dc, text, -1, &centred, DT_CENTER | DT_NOPREFIX | DT_WORDBREAK);
    SelectObject(dc, old);
  }
  EndPaint(window, &ps);
}

void OpenNoteFolder(HWND window) {
  auto* line = static_cast<const char*>(GetPropA(window, kLineProp));
  PostitLine parsed;
  if (!line || !ParsePostitLine(line, &parsed)) return;
  SwitchTopic(parsed.folder);
  if (g_shellHooks.browserOpen()) g_shellHooks.selectMessage(std::atol(parsed.number), parsed.folder, 1);
}

LRESULT NoteProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      auto* mdi = static_cast<MDICREATESTRUCTA*>(create->lpCreateParams);
      if (mdi) SetPropA(window, kLineProp, reinterpret_cast<HANDLE>(mdi->lParam));
      break;
    }
    case WM_PAINT: PaintNote(window); return 0;
    case WM_LBUTTONDBLCLK: OpenNoteFolder(window); return 0;
    case WM_DESTROY: std::free(RemovePropA(window, kLineProp)); break;
  }
  return DefChildProc(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK PostitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<NoteProc>(window, message, wParam, lParam);
}

HWND OpenPostitWindow(const char* line) {
  if (!g_shell.mdiClient) return nullptr;
  size_t n = std::strlen(line);
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, line, n + 1);
  MDICREATESTRUCTA create = {};
  create.szClass = "Thrimby Bitter";
  create.szTitle = "Urgent! Message";
  create.hOwner = g_app.instance;
  create.x = create.y = CW_USEDEFAULT;
  create.cx = 240;
  create.cy = 230;
  create.lParam = reinterpret_cast<LPARAM>(copy);
  HWND note =
      reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  if (!note) {
    std::free(copy);
    return nullptr;
  }
  ShowWindow(note, SW_SHOW);
  return note;
}

long PostitsPending() {
  char path[MAX_PATH];
  PostitsPath(path);
  long size = PolledFileSize(path);
  return size > 0 ? size : 0;
}

int PollPostits() {
  if (!g_user.showPostIts) return 0;
  char path[MAX_PATH];
  PostitsPath(path);
  long size = PolledFileSize(path);
  if (size < 0) return 0;
  long seen = static_cast<long>(g_user.lastPostIt);
  // A log cut shorter than what was seen starts again from its beginning.
  if (seen > size) seen = 0;
  if (seen == size) return 0;
  FILE* file = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!file) return 0;
  // Lines before the remembered offset were seen: start at the line holding it.
  long start = 0;
  if (seen > 0 && std::fseek(file, seen - 1, SEEK_SET) == 0) {
    int c = std::fgetc(file);
    if (c == '\n')
      start = seen;
    else
      std::fseek(file, 0, SEEK_SET);
  }
  if (start == 0) std::fseek(file, 0, SEEK_SET);
  PostitContext context = {g_app.userName, g_service.name, FolderFlags};
  char line[200];
  int read = 0;
  long offset = std::ftell(file);
  while (std::fgets(line, sizeof line, file)) {
    long lineStart = offset;
    offset = std::ftell(file);
    size_t n = std::strlen(line);
    if (n && line[n - 1] != '\n' && std::feof(file)) {
      offset = lineStart;  // not written to its end yet
      break;
    }
    if (lineStart < seen) continue;
    ++read;
    line[std::strcspn(line, "\r\n")] = 0;
    PostitLine parsed;
    if (ParsePostitLine(line, &parsed) && PostitConcernsUser(parsed, context)) OpenPostitWindow(line);
  }
  fileclose(file);
  g_user.lastPostIt = static_cast<uint32_t>(offset > seen ? offset : seen);
  if (read) SaveSettings();
  return read ? 1 : 0;
}
