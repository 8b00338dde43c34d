// Any bytes as a command and a template: splitting, the mail mapping and the
// expansion never overrun their bounds, and a written entry has one header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "online/script_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t cut = text.find('\n');
  std::string command = text.substr(0, cut), templ = cut == std::string::npos ? "" : text.substr(cut + 1);
  bool internal = !command.empty() && command[0] == '!';
  ScriptArgs args = SplitScriptArgs(internal ? command.substr(1) : command, internal);
  if (args.given > kScriptArgs) abort();
  for (const std::string& arg : args.args)
    if (arg.size() > kScriptArgSize) abort();
  MailFolderCommand(command, args);
  ScriptContext context;
  context.folderOpen = size % 2;
  context.folder = "chat/general";
  context.message = 3;
  ExpandedTemplate e = ExpandScriptTemplate(templ, &args, context);
  if (e.values.size() > static_cast<size_t>(kScriptArgs)) abort();
  for (const ScriptPrompt& p : e.prompts)
    if (p.slot >= kScriptArgs) abort();
  std::string error;
  std::string entry = FormatScriptAction("ann", "T", 1, e, args, "s", context, &error);
  if (!entry.empty() && entry.find('\n') < entry.find(" #:\t") && !e.values.empty()) abort();
  if (ScriptEditLabels(templ, command).size() > static_cast<size_t>(kScriptArgs)) abort();
  FindEditTemplate(text, command);
  return 0;
}
