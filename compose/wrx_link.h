// The message view's side of the rich-text control: its answer to a clicked
// link and to the control's other notifications.
#pragma once

#include "wrx/wrx.h"

// What opening a link needs from outside: the debug log line and the opening
// itself (the shell's default handler for the address).
struct WrxLinkHooks {
  void (*logLine)(const char* line);
  int (*open)(HWND owner, const char* address);
};
extern WrxLinkHooks g_wrxLinkHooks;

// The address a link stands for: its code when it has one (a field code
// HYPERLINK "..." gives what the quotes hold), else its text; a name without
// a scheme is a file and gets the prefix "FILE://". Writes at most size bytes.
void WrxLinkAddress(const WrxLinkRec* link, char* address, size_t size);

// Notification 2726: logs the link, opens its address and answers 1, the link
// being taken.
LRESULT WRX_LINK(HWND control, const WrxLinkRec* link);

// The view's answers to notifications 2724, 2725, 2728, 2729, 2730 and to
// EN_CHANGE: nothing the control acts on.
LRESULT HostNotifyAnswers(HWND control, UINT code, WPARAM wp, LPARAM lp);

// A notification procedure for a view's control (SetWrxNotifyProc): links
// go to WRX_LINK, everything else to HostNotifyAnswers.
LRESULT CALLBACK MessageViewNotify(HWND control, UINT code, WPARAM wp, LPARAM lp);
