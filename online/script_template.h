// The command-to-action builder's rules: finding a service command, splitting
// its arguments, the Quorl mail-folder mapping and the %-escapes of a command
// template. Portable: the folder, the message and the files come through a
// ScriptContext; what must be asked comes back as prompts.
#pragma once
#include <string>
#include <string_view>
#include <vector>

constexpr int kScriptArgs = 12;         // argument slots, and values of one action
constexpr size_t kScriptArgSize = 500;  // characters of one argument
constexpr char kInternalSeparator = '\xff';

// The 1-based index of the first name that is a prefix of the command (any
// case); -1 when none is.
int FindScriptCommand(std::string_view command, const std::vector<std::string>& names);

struct ScriptArgs {
  std::string args[kScriptArgs];
  int given = 0;  // the number of the last slot that received a character
};
// The words after the command name: separated by 0xFF for an internal
// command ("!" already dropped), else by blanks. "." alone is empty.
ScriptArgs SplitScriptArgs(std::string_view command, bool internal);

// In a Quorl mail folder, the command that stands for a file-area command
// (internal when it starts with "!"); empty when it has none.
std::string MailFolderCommand(std::string_view command, const ScriptArgs& args);

// What the escapes read of the program.
struct ScriptContext {
  bool folderOpen = false;  // a topic is open, or AddFolderScriptCmd set one
  std::string folder;       // without the service prefix, 0xFF removed
  std::string newsgroup;    // the news services' group name of the folder
  bool newsService = false;
  long message = 0;  // the current message; 0 none
  long lastMessage = 0;
  std::string baseName;         // the folder's file base name
  std::string firstLine;        // of the current message; empty when unreadable
  std::string author;           // %w's value
  std::string userName;         // %i
  std::string serviceUserName;  // %I
  std::string forumWebAddress;  // %r
  void* files = nullptr;
  bool (*fileExists)(void* files, const std::string& path) = nullptr;
  std::string (*newTempFile)(void* files) = nullptr;  // %~
};

struct ScriptPrompt {
  std::string text;
  char kind = 'a';
  bool optional = false;
  int slot = -1;  // the argument slot it fills; -1 the section buffer
};

// One value of the action: an argument slot (filled after the prompts), the
// section buffer, or a text.
struct ScriptValue {
  enum Kind { Slot, Section, Text } kind = Text;
  int slot = 0;
  std::string text;
};

struct ExpandedTemplate {
  std::string error;   // the notice; empty when expansion went through
  std::string format;  // the template with "%s" where a value goes
  std::vector<ScriptValue> values;
  std::vector<ScriptPrompt> prompts;
  std::vector<int> fileSlots;  // slots of %F and %f: they must name files
  bool wantsMessage = false;   // %M or %m: a message text follows the lines
  int available = 0;           // arguments given plus those prompted for
  int consumed = 0;
};

// Walks the template. args may grow (a prompted argument gets a slot).
ExpandedTemplate ExpandScriptTemplate(std::string_view templ, ScriptArgs* args, const ScriptContext& context);

// The entry as written: the header with " priority:\t%d" when priority is
// not 0 and a " #:\t" field per value, then the template with its values.
// Empty with error set ("Parameter mismatch", "File '%s' does not exist").
std::string FormatScriptAction(const std::string& userId, const std::string& title, int priority,
                               const ExpandedTemplate& expanded, const ScriptArgs& args, const std::string& section,
                               const ScriptContext& context, std::string* error);

// The template of the command whose quoted title starts with `title`, from a
// service configuration file's text: after its 8 header lines, the first
// command line of kind U, M or X (either case) that matches. Empty for none.
std::string FindEditTemplate(std::string_view configText, std::string_view title);
// The labels of a script action's argument lines when the user edits them:
// the k-th escape of the template labels the k-th argument line ("Library:",
// "Conference:", "Section:", "Forum URL", "Topic:", else "Parameter"; Dravenet
// forums and sections for `dvn`); a quoted 'label' right after the escape, or
// after a "." that follows it, replaces it. At most kScriptArgs labels.
std::vector<std::string> ScriptEditLabels(std::string_view templ, std::string_view service);
