#include "online/script_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ScriptContext Folder() {
  ScriptContext c;
  c.folderOpen = true;
  c.folder = "chat/general";
  c.message = 42;
  c.lastMessage = 99;
  c.baseName = "chat1.log";
  c.firstLine = "Hello there";
  c.author = "bob";
  c.userName = "ann";
  c.serviceUserName = "annl";
  return c;
}

bool Exists(void*, const std::string& path) { return path == "C:\\up.txt"; }

// The entry a command writes (prompts answered with "y"), or "error: ...".
std::string Build(const std::string& command, const std::string& templ, const ScriptContext& context,
                  int priority = 50) {
  bool internal = !command.empty() && command[0] == '!';
  ScriptArgs args = SplitScriptArgs(internal ? command.substr(1) : command, internal);
  ExpandedTemplate e = ExpandScriptTemplate(templ, &args, context);
  for (const ScriptPrompt& p : e.prompts)
    if (p.slot >= 0) args.args[p.slot] = "y";
  std::string error;
  ScriptContext withFiles = context;
  withFiles.fileExists = Exists;
  std::string entry = FormatScriptAction("ann", "Title", priority, e, args, "sec", withFiles, &error);
  return error.empty() ? entry : "error: " + error;
}

TEST(ScriptCommands, FoundByPrefix) {
  std::vector<std::string> names = {"join", "fdl", "f"};
  EXPECT_EQ(FindScriptCommand("FDL x", names), 2);
  EXPECT_EQ(FindScriptCommand("flist", names), 3);
  EXPECT_EQ(FindScriptCommand("resign", names), -1);
  EXPECT_EQ(FindScriptCommand("join", {}), -1);
}

TEST(ScriptCommands, ArgumentsSplit) {
  ScriptArgs internal = SplitScriptArgs(
      "fdl\xff"
      "a file.txt\xff"
      "two",
      true);
  EXPECT_EQ(internal.given, 2);
  EXPECT_EQ(internal.args[0], "a file.txt");
  EXPECT_EQ(internal.args[1], "two");
  ScriptArgs dot = SplitScriptArgs("cmd .", false);
  EXPECT_EQ(dot.given, 1);
  EXPECT_EQ(dot.args[0], "");
  // Slots and their lengths are bounded.
  ScriptArgs many = SplitScriptArgs("c 1 2 3 4 5 6 7 8 9 10 11 12 13 14 " + std::string(900, 'x'), false);
  EXPECT_EQ(many.given, 12);
  EXPECT_EQ(many.args[11], "12");
}

TEST(ScriptCommands, MailFolderMapping) {
  ScriptArgs args = SplitScriptArgs("fdl a b", false);
  EXPECT_EQ(MailFolderCommand("flist", args), "maildir");
  EXPECT_EQ(MailFolderCommand("fdl a b", args),
            "!mailfdl\xff"
            "a\xff"
            "b");
  EXPECT_EQ(MailFolderCommand("modren a b", args), "mailren a b");
  EXPECT_EQ(MailFolderCommand("join x", args), "");
}

TEST(ScriptCommands, TemplatesExpand) {
  ScriptContext none;
  none.userName = "ann";
  struct Case {
    const char* command;
    const char* templ;
    bool folder;
    const char* want;
  } cases[] = {
      {"get 7", "Get %a\n%1\n", true,
       ";-; id:\tann type:\tscript script:\tTitle priority:\t50 #:\t7 #:\t7\nGet 7\n7\n"},
      {"get 7 8", "Get %a\n", true, "error: Parameter mismatch"},
      {"get", "Get %a'Really?'\n", true, ";-; id:\tann type:\tscript script:\tTitle priority:\t50 #:\ty\nGet y\n"},
      {"show", "Show %c %d %e %h %n %t %l %L %w %i %I\n", true,
       ";-; id:\tann type:\tscript script:\tTitle priority:\t50 #:\tchat/general #:\t42 #:\t99 #:\tHello there "
       "#:\tchat "
       "#:\tgeneral #:\tchat1.log #:\tchat1 #:\tbob #:\tann #:\tannl\n"
       "Show chat/general 42 99 Hello there chat general chat1.log chat1 bob ann annl\n"},
      {"show", "Show %c\n", false, "error: You must join a folder to use that command"},
      {"show", "Show %d\n", false, "error: You must join a folder to use that command"},
      {"up C:\\none.txt", "Up %f\n", true, "error: File 'C:\\none.txt' does not exist"},
      {"up C:\\up.txt", "Up %f 100%x\n", true,
       ";-; id:\tann type:\tscript script:\tTitle priority:\t50 #:\tC:\\up.txt\nUp C:\\up.txt 100%x\n"},
      {"sec", "Sec %B %b\n", true,
       ";-; id:\tann type:\tscript script:\tTitle priority:\t50 #:\tsec #:\tsec\nSec sec sec\n"},
      {"msg", "Msg\n%m\n", true, ";-; id:\tann type:\tscript script:\tTitle priority:\t50\nMsg\n"},
  };
  for (const Case& c : cases) {
    ScriptContext context = c.folder ? Folder() : none;
    EXPECT_EQ(Build(c.command, c.templ, context), c.want) << c.command << " / " << c.templ;
  }
  // Priority 0 writes no priority field.
  EXPECT_EQ(Build("bye", "Bye\n", Folder(), 0), ";-; id:\tann type:\tscript script:\tTitle\nBye\n");
  // No message: the escapes that need one refuse.
  ScriptContext noMessage = Folder();
  noMessage.message = 0;
  EXPECT_EQ(Build("x", "X %d\n", noMessage), "error: No such message");
}

TEST(ScriptEditLabels, EachEscapeLabelsItsArgumentLine) {
  struct Case {
    const char* templ;
    const char* service;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {"Get %b %c %n %j %r %t %a\n",
       "quorl",
       {"Library:", "Conference:", "Conference:", "Section:", "Forum URL", "Topic:", "Parameter"}},
      {"Get %c %t\n", "dvn", {"Forum:", "Section:"}},
      // A quoted label replaces the default, also after an optional mark; "%%" and "% " are no escapes.
      {"Get %a'File name' %u.'How many' 100%% % %s\n", "net", {"File name", "How many", "Parameter"}},
      {"Get %a'unclosed\n", "net", {"Parameter"}},
      {"%a%a%a%a%a%a%a%a%a%a%a%a%a%a", "net", std::vector<std::string>(12, "Parameter")},
  };
  for (const Case& c : cases) EXPECT_EQ(ScriptEditLabels(c.templ, c.service), c.labels) << c.templ;
}

TEST(ScriptEditLabels, TheTemplateComesFromTheFirstMatchingEditableLine) {
  std::string config =
      "U0'Download messages' early Early %a\r\n"  // a header line, not a command
      "h2\nh3\nh4\nh5\nh6\nh7\nh8\n"
      "Q0'Download messages' dlq Skipped %a\n"
      "D0'Download messages' dld Skipped %a\n"
      "u90'Download messages' dl Download\\n%c\\n%a'Count'\\n\r\n"
      "X0'Download messages again' dl2 Later %a\n";
  EXPECT_EQ(FindEditTemplate(config, "Download messages"), "Download\\n%c\\n%a'Count'\\n");
  EXPECT_EQ(FindEditTemplate(config, "download MESSAGES again"), "Later %a");
  EXPECT_EQ(FindEditTemplate(config, "Upload"), "");
  EXPECT_EQ(FindEditTemplate("", "x"), "");
}

}  // namespace
