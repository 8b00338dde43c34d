#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_lookup.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"
#include "msgbase/message_ops.h"
#include "msgbase/message_text.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"
#include "online/script_cmd.h"

namespace {

const char* OpenTopicFolder() { return g_topic.log ? g_topic.openName : ""; }
long NoMessage() { return 0; }

bool AskParameters(const char* title, const std::vector<ScriptPrompt>& prompts, ScriptArgs* args, std::string* section,
                   std::string* message) {
  for (const ScriptPrompt& prompt : prompts) {
    char answer[kScriptArgSize + 1] = "";
    if (prompt.kind == 'a') {
      int button = askyesnocancel(prompt.text.c_str());
      if (button == IDCANCEL) return false;
      args->args[prompt.slot] = button == IDYES ? "y" : "n";
      continue;
    }
    std::string text = prompt.text.empty() ? std::string(title) : prompt.text;
    if (!askstrwnd(title, text.c_str(), answer)) return false;
    if (prompt.kind == 'M' || prompt.kind == 'm')
      *message = answer;
    else if (prompt.slot < 0)
      *section = answer;
    else
      args->args[prompt.slot] = answer;
  }
  return true;
}

// The folder AddFolderScriptCmd made current, which counts as open.
struct ForcedFolder {
  bool set = false;
  std::string name;
};
ForcedFolder g_forcedFolder;
std::string g_target;

std::string ServiceOf(const std::string& folder) {
  size_t colon = folder.find(':');
  return colon == std::string::npos ? "" : folder.substr(0, colon);
}

std::string WithoutService(const std::string& folder) {
  size_t colon = folder.find(':');
  return colon == std::string::npos ? folder : folder.substr(colon + 1);
}

std::string WithoutSeparators(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), kInternalSeparator), text.end());
  return text;
}

bool FileExists(void*, const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// "<data><svc>\msw%05d.tmp", the first free number, created empty.
std::string NewServiceTempFile(void* files) {
  const std::string& service = *static_cast<const std::string*>(files);
  for (int n = 0; n < 100000; n++) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s%s\\msw%05d.tmp", g_app.dataDir, service.c_str(), n);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return "";
    }
    CloseHandle(file);
    return path;
  }
  return "";
}

// The first line and the author of the open topic's message; false when it
// cannot be read.
bool ReadMessageStart(long number, std::string* firstLine, std::string* author) {
  if (!g_topic.log || !scanmsg(number)) return false;
  MessageHeader header;
  if (ReadMessageStartAt(g_logReader, g_topic.cachedOffset, &header) != number) return false;
  *author = header.author;
  if (g_logReader.remaining > 0 && readmsgline(g_logReader) > 0) {
    std::string line(g_logReader.line, g_logReader.lineLength);
    *firstLine = line.substr(0, line.find_first_of("\r\n"));
  }
  return true;
}

// The Quorl service's own mail domains, which %w removes from an address.
const char kQuorlMailDomains[] = "quorl.com;mail.quorl.com";

ScriptContext MakeContext(const std::string& folderName, bool folderOpen, long message, std::string* service) {
  ScriptContext context;
  context.folderOpen = folderOpen;
  std::string folder = WithoutService(folderName);
  context.folder = WithoutSeparators(folder);
  context.newsService = *service == "quorlnews" || *service == "delnews";
  if (context.newsService) {
    char group[260];
    StrCopyN(group, folder.c_str(), sizeof group - 1);
    context.newsgroup = MakeUsenetName(group);
  }
  // Only the open topic has a current message and a last number.
  bool isOpenTopic = g_topic.log && _stricmp(g_topic.openName, folderName.c_str()) == 0;
  if (isOpenTopic) {
    context.lastMessage = g_topic.last;
    context.message = message;
  }
  SmartPointer record;
  if (g_conferenceList && findconf(record, folderName.c_str())) {
    const ConfRec* rec = static_cast<const ConfRec*>(record.element);
    context.baseName.assign(rec->baseName, strnlen(rec->baseName, sizeof rec->baseName));
    if (!isOpenTopic) context.lastMessage = rec->last;
  }
  if (context.message > 0) {
    std::string author;
    if (!ReadMessageStart(context.message, &context.firstLine, &author)) {
      context.message = 0;  // "No such message"
    } else if (ismailfolder(folderName.c_str())) {
      char from[1024] = "", bare[1024] = "";
      GetHeaderField(context.message, "From", from, sizeof from, false);
      bool quorl = _stricmp(service->c_str(), "quorl") == 0;
      context.author = ShortenAddressList(from, bare, sizeof bare, quorl ? kQuorlMailDomains : "");
    } else {
      context.author = author;
    }
  }
  context.userName = g_app.userName;
  context.serviceUserName = g_service.name;
  context.files = service;
  context.fileExists = FileExists;
  context.newTempFile = NewServiceTempFile;
  return context;
}

// The command's title as the menu shows it, without the accelerator text.
std::string CommandTitle(const ScriptCommand& command) {
  std::string title = command.menuName;
  return title.substr(0, title.find('\t'));
}

// A message text's lines as the entry carries them: LF line ends (the file is
// written in text mode), and no line that a reader would take for the next
// entry's header.
std::string MessageLines(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 8, ";-; id:\t") == 0 || line.compare(0, 8, ";#; id:\t") == 0) line.insert(0, " ");
    out += line + "\n";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

int MakeScriptCmdFrom(std::string command, int depth) {
  std::string folderName = g_forcedFolder.set ? g_forcedFolder.name : g_scriptCmdHooks.currentFolder();
  bool folderOpen = g_forcedFolder.set || (g_topic.log && !folderName.empty());
  std::string service = ServiceOf(folderName);
  if (service.empty()) service = g_hconf.loadedService;
  bool internal = !command.empty() && command[0] == '!';
  if (internal) command.erase(0, 1);
  std::vector<std::string> names;
  for (int i = 0; i < g_hconf.commandCount; i++) names.push_back(g_hconf.commands[i].keyword);
  int index = FindScriptCommand(command, names);
  if (index < 0) return 0;
  const ScriptCommand& entry = g_hconf.commands[index - 1];
  ScriptArgs args = SplitScriptArgs(command, internal);
  std::string lowerFolder = folderName;
  for (char& c : lowerFolder) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  if (depth == 0 && (lowerFolder.compare(0, 5, "mail/") == 0 || lowerFolder.compare(0, 11, "quorl:mail/") == 0)) {
    std::string mapped = MailFolderCommand(command, args);
    if (!mapped.empty()) return MakeScriptCmdFrom(mapped, depth + 1);
  }
  ScriptContext context = MakeContext(folderName, folderOpen, g_scriptCmdHooks.currentMessage(), &service);
  ExpandedTemplate expanded = ExpandScriptTemplate(entry.text ? entry.text : "", &args, context);
  if (!expanded.error.empty()) {
    msgnote(expanded.error.c_str());
    return 1;
  }
  std::string title = CommandTitle(entry);
  std::string section, message;
  if (!expanded.prompts.empty() &&
      !g_scriptCmdHooks.askParameters(title.c_str(), expanded.prompts, &args, &section, &message))
    return 1;
  std::string error;
  std::string text = FormatScriptAction(g_app.userName, title, entry.number, expanded, args, section, context, &error);
  if (!error.empty()) {
    msgnote(error.c_str());
    return 1;
  }
  // A template without a final line end would run into the next entry's header.
  if (!text.empty() && text.back() != '\n') text += '\n';
  if (expanded.wantsMessage) text += MessageLines(message);
  std::string path = !g_target.empty() ? g_target : std::string(g_app.dataDir) + service + "\\" + service + ".bsc";
  FILE* file = fopen_alock(path.c_str(), 0);
  if (!file) {
    char notice[MAX_PATH + 32];
    snprintf(notice, sizeof notice, "Can't open '%s'", path.c_str());
    msgnote(notice);
    return 1;
  }
  bool ok = fwrite(text.data(), 1, text.size(), file) == text.size() && fflush(file) == 0;
  fileclose(file);
  if (!ok) {
    WarnBoxF("Unable to write to the outbasket!");
    return 1;
  }
  return 2;
}

}  // namespace

const ScriptCmdHooks kDefaultScriptCmdHooks = {OpenTopicFolder, NoMessage, AskParameters};
ScriptCmdHooks g_scriptCmdHooks = kDefaultScriptCmdHooks;

int MakeScriptCmd(const char* command) {
  if (!command || !command[0]) return 0;
  return MakeScriptCmdFrom(command, 0);
}

namespace {

// Puts back the current folder, the service's settings and the loaded
// configuration, however the command ends.
class FolderSwitch {
 public:
  FolderSwitch(const char* service, const std::string& folder)
      : folder_(g_forcedFolder), settings_(g_service), config_(g_hconf.loadedService), service_(service) {
    g_forcedFolder.set = true;
    g_forcedFolder.name = service_ + ":" + folder;
    LoadServiceSettings(service);
    rdhconf(service, 0);
  }
  ~FolderSwitch() {
    g_forcedFolder = folder_;
    if (_stricmp(config_.c_str(), g_hconf.loadedService) != 0) {
      if (config_.empty())
        ResetScriptCommands();
      else
        rdhconf(config_.c_str(), 0);
    }
    g_service = settings_;
  }
  FolderSwitch(const FolderSwitch&) = delete;
  FolderSwitch& operator=(const FolderSwitch&) = delete;

 private:
  ForcedFolder folder_;
  ServiceSettings settings_;
  std::string config_;
  std::string service_;
};

}  // namespace

int AddFolderScriptCmd(const char* service, const char* folderName, const char* command) {
  // A resign that edits only local lists sets no command: nothing goes out.
  if (!command || !command[0] || !service || !service[0]) return 0;
  std::string folder = folderName ? WithoutService(folderName) : "";
  if (folder.empty()) folder = "c/t";
  FolderSwitch current(service, folder);
  // Through the message base's table, where the builder is installed (and tests listen).
  return g_messageOpsHooks.makeScriptCmd(command);
}

void SetScriptCmdTarget(const char* path) { g_target = path ? path : ""; }

void InstallScriptCmdHooks() { g_messageOpsHooks.makeScriptCmd = MakeScriptCmd; }
