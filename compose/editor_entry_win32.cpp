// The editor's entry points and their places in the shell's tables.
#include <windows.h>

#include <cstring>
#include <string>

#include "compose/compose.h"
#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "msgbase/topic_open.h"
#include "shell/commands_hooks.h"
#include "shell/shell_hooks.h"
#include "shell/window_classes.h"

namespace {

// The mailing-list entry of the open folder, without its '*'s.
std::string MailingList() {
  const char* folder = g_topic.log ? g_topic.openName : "";
  const char* entry = folder[0] ? MailingListsName(folder) : "";
  std::string out;
  for (const char* p = entry ? entry : ""; *p; ++p)
    if (*p != '*') out += *p;
  return out;
}

bool InMailFolder() { return g_topic.log && ismailfolder(g_topic.openName); }

void Reply(const char* text) { ReplyToMessage(text); }
void Post(const char* text) { NewMessage(text); }
void ByMail(const char* text) { ReplyByMail(text); }
void MailTo(const char* address) { NewMailTo(nullptr, address); }
void BrowserReplyCommand() { ReplyToMessage(nullptr); }
void BrowserReplyByMailCommand() { ReplyByMail(nullptr); }
void BrowserNewMessageCommand() { NewMessage(nullptr); }
void FaxCommand() { NewFax(nullptr); }
bool WordWrapOf(HWND editor) {
  (void)editor;
  EditorState* s = ActiveEditorState();
  return s && s->bWordWrap;
}
bool ActiveWordWrap() { return WordWrapOf(nullptr); }

}  // namespace

namespace {
int NoSpellCheck(HWND) { return 0; }
void NoActionEdited(bool) {}
void NoResume() {}
UINT RunWithWinExec(const char* commandLine) { return WinExec(commandLine, SW_SHOWNORMAL); }
void NotesCommand() { OpenNotes(); }
HWND NoOutbasketWindow() { return nullptr; }
}  // namespace
EditorSpellHooks g_editorSpellHooks = {NoSpellCheck};
ComposeHooks g_composeHooks = {NoActionEdited, NoResume, RunWithWinExec, NoOutbasketWindow};

HWND OpenNotes() {
  char notes[MAX_PATH];
  std::snprintf(notes, sizeof notes, "%s%.8s.not", g_app.dataDir, g_app.userName);
  if (!GetIniBool("Main", "Multi Notes")) return OpenEditor(EDITOR_NOTES, "Notes", notes, 0);
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof program);
  if (char* slash = std::strrchr(program, '\\')) slash[1] = 0;
  // Quoted, so a directory with blanks reaches the notes program whole.
  char command[2 * MAX_PATH + 32];
  std::snprintf(command, sizeof command, "\"%spolyed.exe\" \"%s\"", program, notes);
  g_composeHooks.runNotesProgram(command);
  return nullptr;
}

HWND OpenEditorOnAction(CStrList* lines, char** body) {
  return OpenEditor(EDITOR_EDIT_ACTION, reinterpret_cast<const char*>(lines), reinterpret_cast<const char*>(body), 0);
}

HWND OpenEditorOnBlock(FILE* file) {
  return OpenEditor(EDITOR_REOPEN, reinterpret_cast<const char*>(file), nullptr, 0);
}

HWND ReplyToMessage(const char* parameters) {
  std::string list = MailingList();
  if (!list.empty()) return OpenEditor(EDITOR_REPLY_BY_MAIL, nullptr, list.c_str(), 1);
  return OpenEditor(InMailFolder() ? EDITOR_REPLY_BY_MAIL : EDITOR_REPLY, nullptr, parameters, 0);
}

HWND NewMessage(const char* parameters) {
  if (parameters) return OpenEditor(EDITOR_POST, nullptr, parameters, 0);
  std::string list = MailingList();
  if (!list.empty()) return OpenEditor(EDITOR_MAIL, nullptr, list.c_str(), 1);
  return OpenEditor(InMailFolder() ? EDITOR_MAIL : EDITOR_POST, nullptr, nullptr, 0);
}

HWND NewMailTo(const char* subject, const char* parameters) { return OpenEditor(EDITOR_MAIL, subject, parameters, 0); }

HWND ReplyByMail(const char* parameters) {
  return OpenEditor(EDITOR_REPLY_BY_MAIL, nullptr, parameters, MailingList().empty() ? 0 : 1);
}

HWND NewFax(const char* parameters) { return OpenEditor(EDITOR_FAX, nullptr, parameters, 0); }

void InstallComposeHooks() {
  g_windowClassProcs.editor = EditorClassProcedure();
  g_shellHooks.newMessage = Post;
  g_shellHooks.replyToMessage = Reply;
  g_shellHooks.replyByMail = ByMail;
  g_shellHooks.newMailTo = MailTo;
  g_shellHooks.activeEditorWindow = ActiveEditorWindow;
  g_shellHooks.editorWordWrap = WordWrapOf;
  g_commandHooks.ReplyToMessage = Reply;
  g_commandHooks.NewMessage = Post;
  g_commandHooks.ReplyByMail = ByMail;
  g_commandHooks.NewMailTo = MailTo;
  g_commandHooks.NewFax = FaxCommand;
  g_commandHooks.BrowserReply = BrowserReplyCommand;
  g_commandHooks.BrowserReplyByMail = BrowserReplyByMailCommand;
  g_commandHooks.BrowserNewMessage = BrowserNewMessageCommand;
  g_commandHooks.ActiveEditorWindow = ActiveEditorWindow;
  g_commandHooks.EditorWordWrap = ActiveWordWrap;
  g_commandHooks.OpenNotes = NotesCommand;
  g_commandHooks.SignatureDialog = SignatureDialog;
}
