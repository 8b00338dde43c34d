#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "resources/shell_ids.h"
#include "shell/broadcast.h"
#include "shell/poll_rules.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"

namespace {

long s_position = -1;

void BroadcastPath(char* out) { std::snprintf(out, MAX_PATH, "%sbroadcst.txt", g_app.dataDir); }

}  // namespace

long PolledFileSize(const char* path) {
  FileStamp stamp = FileStamp::Of(path);
  if (!stamp.present) return -1;
  return stamp.sizeHigh || stamp.sizeLow > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<long>(stamp.sizeLow);
}

void ResetBroadcastPosition() { s_position = -1; }

void PollBroadcasts() {
  char path[MAX_PATH];
  BroadcastPath(path);
  if (s_position < 0) {
    s_position = 0;
    // The size from the directory: nothing older than this instance is shown.
    long size = PolledFileSize(path);
    if (size > 0) s_position = size;
    return;
  }
  if (PolledFileSize(path) <= s_position) return;
  FILE* file = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!file) return;
  if (std::fseek(file, s_position, SEEK_SET) != 0) {
    fileclose(file);
    return;
  }
  char piece[80];
  bool lineStart = true;
  while (std::fgets(piece, sizeof piece, file)) {
    size_t n = std::strlen(piece);
    bool lineEnds = n && piece[n - 1] == '\n';
    // A line still being written is read whole at the next poll.
    if (!lineEnds && std::feof(file)) break;
    s_position = std::ftell(file);
    BroadcastAction action = ClassifyBroadcastPiece(piece, lineStart, g_app.userName);
    lineStart = lineEnds;
    if (action == BROADCAST_EXIT) {
      if (g_shell.frame) PostMessageA(g_shell.frame, WM_COMMAND, 1145, 0);
      break;
    }
    StatusPrint(piece);
  }
  fileclose(file);
}

void SendBroadcast() {
  char answer[80] = "";
  if (!askstr(loadstr(IDS_SEND_BROADCAST), answer) || !answer[0]) return;
  char path[MAX_PATH];
  BroadcastPath(path);
  FILE* file = fopen_alock(path, FO_BINARY);
  bool ok = file && std::fprintf(file, "%s\n", answer) > 0;
  if (file) {
    ok = std::fflush(file) == 0 && ok;
    fileclose(file);
  }
  if (!ok) {
    msgwarn("Unable to write broadcst.txt");
    return;
  }
  PollBroadcasts();
}
