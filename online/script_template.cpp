#include "online/script_template.h"

#include <cctype>
#include <cstdio>

namespace {

char Lower(char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); }

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); i++)
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  return true;
}

std::string NoSeparators(std::string text) {
  std::string out;
  for (char c : text)
    if (c != kInternalSeparator) out += c;
  return out;
}

// A header value: no TAB or line end may start or split a field.
std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

int FindScriptCommand(std::string_view command, const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); i++)
    if (StartsNoCase(command, names[i])) return static_cast<int>(i) + 1;
  return -1;
}

ScriptArgs SplitScriptArgs(std::string_view command, bool internal) {
  ScriptArgs out;
  char separator = internal ? kInternalSeparator : ' ';
  int slot = 0;  // 0: the command name
  for (char c : command) {
    if (c == separator) {
      slot++;
      continue;
    }
    if (slot == 0 || slot > kScriptArgs) continue;
    std::string& arg = out.args[slot - 1];
    if (arg.size() < kScriptArgSize) arg += c;
    if (slot > out.given) out.given = slot;
  }
  for (std::string& arg : out.args)
    if (arg == ".") arg.clear();
  return out;
}

std::string MailFolderCommand(std::string_view command, const ScriptArgs& args) {
  std::string name(command.substr(0, command.find_first_of(std::string(" ") + kInternalSeparator)));
  for (char& c : name) c = Lower(c);
  const std::string& a1 = args.args[0];
  const std::string& a2 = args.args[1];
  if (name == "ful" || name == "modful") return "mailful " + a1;
  if (name == "flist") return "maildir";
  if (name == "fdl") return std::string("!mailfdl") + kInternalSeparator + a1 + kInternalSeparator + a2;
  if (name == "modren") return "mailren " + a1 + " " + a2;
  if (name == "modera") return "mailera " + a1;
  if (name == "fexport") return "export " + a1;
  return "";
}

ExpandedTemplate ExpandScriptTemplate(std::string_view templ, ScriptArgs* args, const ScriptContext& context) {
  ExpandedTemplate out;
  out.available = args->given;
  auto fail = [&](const char* text) {
    if (out.error.empty()) out.error = text;
  };
  auto needFolder = [&] {
    if (!context.folderOpen) fail("You must join a folder to use that command");
    return context.folderOpen;
  };
  auto needMessage = [&] {
    if (!needFolder()) return false;
    if (context.message <= 0) fail("No such message");
    return context.message > 0;
  };
  auto addValue = [&](ScriptValue value) {
    if (static_cast<int>(out.values.size()) >= kScriptArgs) {
      fail("Parameter mismatch");  // more values than an action holds
      return;
    }
    out.values.push_back(std::move(value));
    out.format += "%s";
  };
  bool sectionAsked = false;
  for (size_t i = 0; i < templ.size(); i++) {
    char c = templ[i];
    if (c != '%' || i + 1 >= templ.size()) {
      out.format += c;
      continue;
    }
    char e = templ[++i];
    switch (e) {
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': addValue({ScriptValue::Text, 0, args->args[e - '1']}); break;
      case 'a':
      case 'u':
      case 'H':
      case 'S':
      case 'Z':
      case 's':
      case 'z':
      case 'F':
      case 'f': {
        bool file = e == 'F' || e == 'f';
        ScriptPrompt prompt;
        prompt.kind = file ? 'f' : e;
        prompt.text = e == 'u' ? "Number: " : file ? "" : "Parameter: ";
        // A quoted 'text' right after the escape is the prompt; a "." makes it optional.
        if (i + 1 < templ.size() && templ[i + 1] == '\'') {
          size_t close = templ.find('\'', i + 2);
          if (close != std::string_view::npos) {
            prompt.text = std::string(templ.substr(i + 2, close - i - 2)).substr(0, 59);
            i = close;
          }
        }
        if (i + 1 < templ.size() && templ[i + 1] == '.' && !file) {
          prompt.optional = true;
          i++;
        }
        int slot = out.consumed;
        if (slot >= kScriptArgs) {
          fail("Parameter mismatch");
          break;
        }
        out.consumed++;
        if (file) out.fileSlots.push_back(slot);
        if (slot >= out.available) {
          prompt.slot = slot;
          out.prompts.push_back(prompt);
          out.available = slot + 1;
        }
        addValue({ScriptValue::Slot, slot, ""});
        break;
      }
      case 'B':
      case 'b':
        if (!sectionAsked) {
          ScriptPrompt prompt;
          prompt.text = "Section:";
          prompt.kind = e;
          out.prompts.push_back(prompt);
          sectionAsked = true;
        }
        addValue({ScriptValue::Section, 0, ""});
        break;
      case 'c':
        if (needFolder())
          addValue({ScriptValue::Text, 0, NoSeparators(context.newsService ? context.newsgroup : context.folder)});
        break;
      case 'd':
        if (needMessage()) addValue({ScriptValue::Text, 0, std::to_string(context.message)});
        break;
      case 'e':
        if (needFolder()) addValue({ScriptValue::Text, 0, std::to_string(context.lastMessage)});
        break;
      case 'h':
        if (needMessage()) addValue({ScriptValue::Text, 0, context.firstLine.substr(0, 79)});
        break;
      case 'i': addValue({ScriptValue::Text, 0, context.userName}); break;
      case 'I': addValue({ScriptValue::Text, 0, context.serviceUserName}); break;
      case 'l':
        if (needFolder()) addValue({ScriptValue::Text, 0, context.baseName});
        break;
      case 'L':
        if (needFolder()) addValue({ScriptValue::Text, 0, context.baseName.substr(0, context.baseName.find('.'))});
        break;
      case 'M':
      case 'm': {
        ScriptPrompt prompt;
        prompt.kind = e;
        prompt.text = "Message:";
        out.prompts.push_back(prompt);
        out.wantsMessage = true;
        // "\n%m\n" becomes "\n": the message's lines follow the command's.
        if (!out.format.empty() && out.format.back() == '\n' && i + 1 < templ.size() && templ[i + 1] == '\n') i++;
        break;
      }
      case 'n':
        if (needFolder()) addValue({ScriptValue::Text, 0, context.folder.substr(0, context.folder.find('/'))});
        break;
      case 'r':
        if (needFolder()) addValue({ScriptValue::Text, 0, context.forumWebAddress});
        break;
      case 't':
        if (needFolder()) {
          size_t slash = context.folder.find('/');
          addValue(
              {ScriptValue::Text, 0, slash == std::string::npos ? "" : NoSeparators(context.folder.substr(slash + 1))});
        }
        break;
      case 'w':
        if (needMessage()) addValue({ScriptValue::Text, 0, context.author});
        break;
      case '~': addValue({ScriptValue::Text, 0, context.newTempFile ? context.newTempFile(context.files) : ""}); break;
      default:
        out.format += '%';
        out.format += e;
        break;
    }
  }
  return out;
}

std::string FormatScriptAction(const std::string& userId, const std::string& title, int priority,
                               const ExpandedTemplate& expanded, const ScriptArgs& args, const std::string& section,
                               const ScriptContext& context, std::string* error) {
  error->clear();
  if (!expanded.error.empty()) {
    *error = expanded.error;
    return "";
  }
  if (expanded.available != expanded.consumed) {
    *error = "Parameter mismatch";
    return "";
  }
  std::vector<std::string> values;
  for (size_t i = 0; i < expanded.values.size(); i++) {
    const ScriptValue& v = expanded.values[i];
    std::string value = v.kind == ScriptValue::Slot      ? args.args[v.slot]
                        : v.kind == ScriptValue::Section ? section
                                                         : v.text;
    values.push_back(value);
  }
  // A file escape's value must name an existing file.
  for (int slot : expanded.fileSlots) {
    const std::string& path = args.args[slot];
    if (!path.empty() && context.fileExists && !context.fileExists(context.files, path)) {
      char text[600];
      snprintf(text, sizeof text, "File '%s' does not exist", path.c_str());
      *error = text;
      return "";
    }
  }
  std::string out = ";-; id:\t" + Field(userId) + " type:\tscript script:\t" + Field(title);
  if (priority != 0) out += " priority:\t" + std::to_string(priority);
  for (const std::string& value : values) out += " #:\t" + Field(value);
  out += "\n";
  size_t next = 0;
  for (size_t i = 0; i < expanded.format.size(); i++) {
    if (expanded.format.compare(i, 2, "%s") == 0 && next < values.size()) {
      out += values[next++];
      i++;
      continue;
    }
    out += expanded.format[i];
  }
  return out;
}

std::string FindEditTemplate(std::string_view configText, std::string_view title) {
  size_t start = 0;
  for (int lineNumber = 0; start < configText.size(); lineNumber++) {
    size_t end = configText.find('\n', start);
    if (end == std::string_view::npos) end = configText.size();
    std::string_view line = configText.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNumber < 8 || line.empty() || std::string_view("UuMmXx").find(line[0]) == std::string_view::npos) continue;
    size_t open = line.find('\'');
    if (open == std::string_view::npos) continue;
    size_t close = line.find('\'', open + 1);
    if (close == std::string_view::npos) continue;
    std::string_view lineTitle = line.substr(open + 1, close - open - 1);
    if (title.empty() || !StartsNoCase(lineTitle, title)) continue;
    // After the title: the command name, then the template.
    size_t at = line.find_first_not_of(" \t", close + 1);
    if (at == std::string_view::npos) return "";
    at = line.find_first_of(" \t", at);
    if (at == std::string_view::npos) return "";
    at = line.find_first_not_of(" \t", at);
    return at == std::string_view::npos ? "" : std::string(line.substr(at));
  }
  return "";
}

std::vector<std::string> ScriptEditLabels(std::string_view templ, std::string_view service) {
  bool dvn = service == "dvn";
  std::vector<std::string> labels;
  for (size_t i = 0; i + 1 < templ.size() && static_cast<int>(labels.size()) < kScriptArgs; i++) {
    if (templ[i] != '%') continue;
    char e = templ[++i];
    if (!isalnum(static_cast<unsigned char>(e))) continue;
    std::string label;
    switch (e) {
      case 'b': label = "Library:"; break;
      case 'c':
      case 'n': label = dvn ? "Forum:" : "Conference:"; break;
      case 'j': label = "Section:"; break;
      case 'r': label = "Forum URL"; break;
      case 't': label = dvn ? "Section:" : "Topic:"; break;
      default: label = "Parameter"; break;
    }
    size_t at = i + 1;
    if (at < templ.size() && templ[at] == '.') at++;
    if (at < templ.size() && templ[at] == '\'') {
      size_t close = templ.find('\'', at + 1);
      if (close != std::string_view::npos) {
        label = std::string(templ.substr(at + 1, close - at - 1)).substr(0, 59);
        i = close;
      }
    }
    labels.push_back(label);
  }
  return labels;
}
