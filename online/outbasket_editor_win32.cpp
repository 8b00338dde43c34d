// A queued message edited from the outbasket window: the record's block lines
// and body lent to the message editor, and taken back when the editor sends
// (OK or Hold). Cancelling the editor leaves the record untouched.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/compose.h"
#include "core/resstr.h"
#include "core/str_list.h"
#include "core/text1252.h"
#include "online/outbasket_window.h"

namespace {

const char kCannotOpen[] = "The queued message cannot be opened in the editor.";
const char kNulInBody[] =
    "The queued message holds characters the editor cannot show; it stays in the outbasket as it is.";
const char kNotTaken[] = "The edited message could not be stored; the queued message stays as it was.";

// The one edit under way. The editor keeps pointers to the lines and the body
// until its window is gone, after the hand-back, so they live here and are
// let go when the next edit starts.
struct QueuedMessageEdit {
  HWND owner = nullptr;
  size_t record = 0;
  CStrList lines;
  char* body = nullptr;
};
QueuedMessageEdit& Edit() {
  static QueuedMessageEdit edit;
  return edit;
}

// The record the edit belongs to, while its window and list still hold it.
OutbasketAction* EditedRecord() {
  QueuedMessageEdit& edit = Edit();
  ActionList* list = OutbasketWindowList();
  if (!edit.owner || OutbasketWindow() != edit.owner || !list || edit.record >= list->records.size()) return nullptr;
  OutbasketAction* action = &list->records[edit.record];
  return action->edit && !action->heading ? action : nullptr;
}

// A block line as the action file may hold it: a line end inside a value
// would split the entry and let a text line pass for a key or a header.
std::string OneLine(const char* text) {
  std::string line = text ? text : "";
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

HWND EditQueuedMessage(HWND owner, OutbasketAction* action) {
  ActionList* list = OutbasketWindowList();
  if (!action || !action->edit || !action->lines || !list || action < list->records.data() ||
      action >= list->records.data() + list->records.size()) {
    msgwarn(kCannotOpen);
    return nullptr;
  }
  // The editor ends a body at its first NUL: the rest would be lost on OK.
  size_t length = action->text ? strnlen(action->text, action->textLength) : 0;
  if (length < action->textLength) {
    msgwarn(kNulInBody);
    return nullptr;
  }
  QueuedMessageEdit& edit = Edit();
  edit.lines.clear();
  free(edit.body);
  edit.body = static_cast<char*>(malloc(length + 1));
  if (!edit.body) {
    msgwarn(kCannotOpen);
    return nullptr;
  }
  if (length) memcpy(edit.body, action->text, length);
  edit.body[length] = 0;
  for (int i = 0; i < action->lines->count(); i++) edit.lines.add(action->lines->get(i));
  edit.owner = owner;
  edit.record = static_cast<size_t>(action - list->records.data());
  HWND editor = OpenEditorOnAction(&edit.lines, &edit.body);
  if (!editor) {
    edit.owner = nullptr;
    msgwarn(kCannotOpen);
  }
  return editor;
}

// The editor sent the message: its block replaces the record's lines and
// body, and the window marks the list changed (and takes the Hold).
void QueuedMessageEdited(bool hold) {
  QueuedMessageEdit& edit = Edit();
  OutbasketAction* action = EditedRecord();
  if (!action) return;  // the window went meanwhile; nothing to store into
  const char* first = edit.lines.count() ? edit.lines.get(0) : nullptr;
  char* text = nullptr;
  size_t length = edit.body ? strlen(edit.body) : 0;
  if (edit.body) text = static_cast<char*>(malloc(length + 1));
  if (!first || !SameText1252(first, "MessageStart: 1.0") || !text) {
    free(text);
    msgwarn(kNotTaken);
    return;
  }
  memcpy(text, edit.body, length + 1);
  ActionLines* lines = new ActionLines;
  for (int i = 0; i < edit.lines.count(); i++) lines->add(OneLine(edit.lines.get(i)).c_str());
  delete action->lines;
  action->lines = lines;
  free(action->text);
  action->text = text;
  action->textLength = static_cast<uint32_t>(length);
  SendMessageA(edit.owner, WM_COMMAND, kReviewMarkChanged, hold ? 1 : 0);
}

}  // namespace

void InstallOutbasketEditor() {
  g_outbasketWindowHooks.editMessage = EditQueuedMessage;
  g_composeHooks.actionEdited = QueuedMessageEdited;
  g_composeHooks.outbasketWindow = OutbasketWindow;
}
