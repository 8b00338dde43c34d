// The command line: the user part and the switches of a start, and the
// switches a second start hands to the running instance. Portable.
#pragma once
#include <cstddef>

enum : size_t {
  CMDLINE_MAX = 199,          // characters of the command line kept
  CMDLINE_PROGRAM_NAME = 30,  // "/name=" value
  HANDOFF_TEXT_MAX = 336,     // bytes of a handed-over switch text, zero included
  HANDOFF_VALUE_MAX = 200,    // bytes of a handed-over "/go=" or "/mailto=" value
};

enum ComposeKind : int { COMPOSE_NONE = 0, COMPOSE_MAILTO, COMPOSE_POST, COMPOSE_REPLY_BY_MAIL, COMPOSE_REPLY };

struct CommandLine {
  char buffer[CMDLINE_MAX + 1] = "";    // cut down to the user part, lower-cased
  char switches[CMDLINE_MAX + 1] = "";  // the uncut copy every switch is searched in
  char programName[CMDLINE_PROGRAM_NAME + 1] = "";
  int testMenu = 0;        // "/alt" number
  bool noBitmap = false;   // "/NOBMP"
  bool scheduler = false;  // "sched sched"
  bool time = false, sync = false;
  bool noWindows = false, unattended = false;
  bool prune = false, build = false;
  ComposeKind compose = COMPOSE_NONE;
  char composeText[CMDLINE_MAX + 1] = "";  // "/post=", "/reply=", "/replybymail=" or "/mailto=" value
  bool hasGo = false;
  char go[CMDLINE_MAX + 1] = "";  // "/go=" value, up to its first blank
  bool hasConnect = false, connectAo = false;
  char connect[CMDLINE_MAX + 1] = "";  // "/connect=" target, up to a blank, "/" or ","
  long connectCount = 1;
  bool readMail = false, readNews = false;
  char userName[CMDLINE_MAX + 1] = "";  // may still carry "/N", the settings set
  char password[CMDLINE_MAX + 1] = "";
};

// Reads a command line as start-up does. Nothing after the "=" of the first
// compose switch or of "/go=" is taken as a switch, since those values come
// from clicked links.
void ParseCommandLine(const char* raw, CommandLine* out);

// The text a second start hands over: from the first "/" of the switch
// buffer, or empty when it holds none.
const char* HandoffText(const CommandLine& line);

// What a running instance takes from a handed-over switch text.
struct HandoffSwitches {
  bool hasGo = false;
  char go[HANDOFF_VALUE_MAX] = "";  // up to its first blank, before the "pl:" prefix
  bool readMail = false, readNews = false;
  ComposeKind compose = COMPOSE_NONE;
  char composeText[HANDOFF_TEXT_MAX] = "";  // "/mailto=" value has lost a "mailto:"
  bool refused = false;                     // a value did not fit its buffer: nothing is applied
};
// text need not end in a zero: length bounds it. Texts of HANDOFF_TEXT_MAX
// bytes or more are refused.
void ParseHandoffSwitches(const char* text, size_t length, HandoffSwitches* out);

// "pl:" in front of a link that does not begin with it, within size. Start-up
// compares in any case, a hand-over exactly.
void PrefixGoLink(char* link, size_t size, bool ignoreCase);
