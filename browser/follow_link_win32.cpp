// Following a link of a message until the links of the message view exist:
// our own references open their folder and select the message; any other
// link is only logged, and nothing is run.
#include <windows.h>

#include "browser/browser.h"
#include "browser/link_target.h"
#include "browser/thread_list.h"
#include "core/debuglog.h"
#include "msgbase/topic_open.h"

void FollowLink(const char* url) {
  LinkTarget target;
  if (!ParseProgramLink(url, &target)) {
    DebugLogF("WRX_LINK: url='%s'\n", url ? url : "");
    return;
  }
  if (!g_topic.log || lstrcmpiA(g_topic.openName, target.folder) != 0)
    SwitchTopic(target.folder);
  else if (!g_browser.open)
    browse();
  if (target.number && g_browser.open) SelectMessage(target.number, target.folder, 1);
}
