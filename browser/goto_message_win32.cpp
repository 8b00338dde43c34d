// Going to a message by number: asking for it, selecting it, following it to
// a forum's other section, or offering to collect it from the service.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/browser.h"
#include "browser/link_target.h"
#include "browser/message_ops.h"
#include "browser/thread_list.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/service_keys.h"
#include "msgbase/conf_list.h"
#include "msgbase/message_ops.h"
#include "msgbase/topic_open.h"

namespace {

// The folder name as the service's commands take it: no service prefix;
// "/." removed and "/" made "." for news and mail, cut at "/" for Dravenet.
std::string ServiceFolder(bool dotted) {
  char name[100];
  lstrcpynA(name, g_topic.openName, sizeof name);
  stripservice(name);
  std::string out = name;
  if (sameservice(g_topic.openName, "dvn") && !dotted) return out.substr(0, out.find('/'));
  for (size_t at; (at = out.find("/.")) != std::string::npos;) out.erase(at, 2);
  for (char& c : out)
    if (c == '/') c = '.';
  return out;
}

// Commands carry names and ids of our own: a line break in one would forge
// a further action.
std::string Clean(std::string text) {
  std::string out;
  for (char c : text)
    if (c != '\r' && c != '\n' && c != '\t') out += c;
  return out;
}

// Through the open folder's command builder: the open folder is the current one.
void QueueCommand(const std::string& command) { g_messageOpsHooks.makeScriptCmd(command.c_str()); }

}  // namespace

void GotoMessage(long number, const char* messageId) {
  if (!g_topic.log) return;
  if (number == 0 && messageId && messageId[0]) {
    if (askyesno("Message not found.\n\nCollect message from Service ?"))
      QueueCommand("single " + Clean(ServiceFolder(true)) + " " + Clean(messageId) + " 0 0");
    return;
  }
  if (number == 0) {
    char answer[80] = "";
    GetViewSelText(answer, sizeof answer);
    std::string text;
    if (!answer[0] && g_browser.currentMessage > 0 && ReadMessageText(g_browser.currentMessage, text))
      if (const long hashed = FirstHashNumber(text.data(), text.size()))
        snprintf(answer, sizeof answer, "%lu", static_cast<unsigned long>(hashed));
    if (!askstr("Goto Message Number", answer) || !answer[0]) return;
    number = GotoInputNumber(answer);
    if (number <= 0) {
      msgnote("Message not found!");
      return;
    }
  }
  if (SelectMessage(number, g_browser.folder, 1)) return;
  if (findmsgidx(static_cast<int32_t>(number)) >= 0) {
    msgnote("You cannot see that message in the current reading mode.");
    return;
  }
  const bool dvn = sameservice(g_topic.openName, "dvn");
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, g_topic.openName);
  if (!key[0] || sameservice(g_topic.openName, "local") || ismailfolder(g_topic.openName)) {
    msgnote("Message not found!");
    return;
  }
  if (dvn) {
    const char* section = FindMessageSection(number);
    if (section[0]) {
      char link[140];
      snprintf(link, sizeof link, "PL://%s#%ld", section, number);
      FollowLink(link);
      return;
    }
  }
  FillThreadList();
  if (!dvn && !sameservice(g_topic.openName, "quorl")) return;
  if (askyesno("Message not found.\n\nCollect message from Service ?"))
    QueueCommand("readnum " + Clean(ServiceFolder(false)) + " " + std::to_string(number));
}
