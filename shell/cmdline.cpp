#include "shell/cmdline.h"

#include <cstdlib>
#include <cstring>

#include "core/text1252.h"

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

size_t FindIn(const char* text, const char* name, bool ignoreCase) {
  const char* at = ignoreCase ? stristr(text, name) : std::strstr(text, name);
  return at ? static_cast<size_t>(at - text) : kNone;
}

const char* const kComposeSwitches[] = {"/mailto=", "/post=", "/replybymail=", "/reply="};

// Where the switches end: the first compose switch or "/go=" in the text.
// Everything behind its "=" is a value, never a switch.
size_t SwitchLimit(const char* text, bool ignoreCase) {
  size_t limit = kNone;
  for (const char* name : kComposeSwitches) {
    size_t at = FindIn(text, name, ignoreCase);
    if (at < limit) limit = at;
  }
  size_t go = FindIn(text, "/go=", ignoreCase);
  return go < limit ? go : limit;
}

// A switch that starts at or before the limit; its position or kNone.
size_t FindSwitch(const char* text, const char* name, size_t limit, bool ignoreCase) {
  size_t at = FindIn(text, name, ignoreCase);
  return at != kNone && (limit == kNone || at <= limit) ? at : kNone;
}

// Copies the value behind a switch at `at` up to the first of stops (or the
// end), bounded by size.
void TakeValue(const char* text, size_t at, const char* name, const char* stops, char* out, size_t size) {
  const char* value = text + at + std::strlen(name);
  size_t n = stops ? std::strcspn(value, stops) : std::strlen(value);
  if (n > size - 1) n = size - 1;
  std::memcpy(out, value, n);
  out[n] = 0;
}

void StripMailtoPrefix(char* value) {
  if (std::strlen(value) >= 7 && stristr(value, "mailto:") == value)
    std::memmove(value, value + 7, std::strlen(value + 7) + 1);
}

void TakeCompose(const char* text, size_t limit, bool ignoreCase, ComposeKind* kind, char* out, size_t size) {
  for (int i = 0; i < 4; ++i) {
    size_t at = FindSwitch(text, kComposeSwitches[i], limit, ignoreCase);
    if (at == kNone) continue;
    *kind = static_cast<ComposeKind>(COMPOSE_MAILTO + i);
    TakeValue(text, at, kComposeSwitches[i], nullptr, out, size);
    if (*kind == COMPOSE_MAILTO) StripMailtoPrefix(out);
    return;
  }
}

void ReadConnect(CommandLine* out, size_t limit) {
  const char* name = "/connect=";
  size_t at = FindSwitch(out->switches, name, limit, true);
  if (at == kNone) {
    name = "/connectao=";
    at = FindSwitch(out->switches, name, limit, true);
    if (at == kNone) return;
    out->connectAo = true;
  }
  out->hasConnect = true;
  out->noWindows = out->unattended = true;
  TakeValue(out->switches, at, name, " /,", out->connect, sizeof out->connect);
  const char* after = out->switches + at + std::strlen(name) + std::strlen(out->connect);
  if (*after == ',') {
    long count = std::strtol(after + 1, nullptr, 10);
    out->connectCount = count;
  }
}

// The command-line buffer keeps the user part only: it ends at the first "/"
// that does not start a settings set number.
void CutToUserPart(char* buffer) {
  char* slash = std::strchr(buffer, '/');
  if (slash && slash[1] >= '0' && slash[1] <= '9') slash = std::strchr(slash + 1, '/');
  if (slash) *slash = 0;
}

void SplitUserPart(CommandLine* out) {
  StrLower1252(out->buffer);
  const char* blank = std::strchr(out->buffer, ' ');
  size_t nameLength = blank ? static_cast<size_t>(blank - out->buffer) : std::strlen(out->buffer);
  std::memcpy(out->userName, out->buffer, nameLength);
  out->userName[nameLength] = 0;
  if (!blank) return;
  StrCopyN(out->password, blank + 1, sizeof out->password - 1);
  size_t n = std::strlen(out->password);
  if (n && out->password[n - 1] == ' ') out->password[n - 1] = 0;
}

}  // namespace

void ParseCommandLine(const char* raw, CommandLine* out) {
  *out = CommandLine();
  if (!raw) raw = "";
  out->noBitmap = stristr(raw, "/NOBMP") != nullptr;
  StrCopyN(out->buffer, raw, CMDLINE_MAX);

  if (char* name = stristr(out->buffer, "/name=")) {
    StrCopyN(out->programName, name + 6, CMDLINE_PROGRAM_NAME);
    *name = 0;
  }
  if (const char* alt = stristr(out->buffer, "/alt"))
    out->testMenu = static_cast<int>(std::strtol(alt + 4, nullptr, 10));
  out->scheduler = stristr(out->buffer, "sched sched") != nullptr;

  std::memcpy(out->switches, out->buffer, sizeof out->switches);
  CutToUserPart(out->buffer);

  const char* s = out->switches;
  size_t limit = SwitchLimit(s, true);
  out->time = FindSwitch(s, "/time", limit, true) != kNone;
  out->sync = FindSwitch(s, "/sync", limit, true) != kNone;
  out->noWindows = FindSwitch(s, "/nowin", limit, true) != kNone;
  out->prune = FindSwitch(s, "/prune", limit, true) != kNone;
  out->build = FindSwitch(s, "/build", limit, true) != kNone;
  if (out->prune || out->build) out->noWindows = out->unattended = true;
  TakeCompose(s, limit, true, &out->compose, out->composeText, sizeof out->composeText);
  size_t go = FindSwitch(s, "/go=", limit, true);
  if (go != kNone) {
    out->hasGo = true;
    TakeValue(s, go, "/go=", " ", out->go, sizeof out->go);
  }
  if (!out->prune) ReadConnect(out, limit);
  out->readMail = FindSwitch(s, "/readmail", limit, false) != kNone;
  out->readNews = FindSwitch(s, "/readnews", limit, false) != kNone;

  SplitUserPart(out);
}

const char* HandoffText(const CommandLine& line) {
  const char* slash = std::strchr(line.switches, '/');
  return slash ? slash : "";
}

void ParseHandoffSwitches(const char* text, size_t length, HandoffSwitches* out) {
  *out = HandoffSwitches();
  if (!text) return;
  size_t n = 0;
  while (n < length && text[n]) ++n;
  if (n >= HANDOFF_TEXT_MAX) {
    out->refused = true;
    return;
  }
  char copy[HANDOFF_TEXT_MAX];
  std::memcpy(copy, text, n);
  copy[n] = 0;

  size_t limit = SwitchLimit(copy, false);
  size_t go = FindSwitch(copy, "/go=", limit, false);
  if (go != kNone) {
    const char* value = copy + go + 4;
    size_t len = std::strcspn(value, " ");
    if (len >= sizeof out->go) {
      out->refused = true;
      return;
    }
    std::memcpy(out->go, value, len);
    out->go[len] = 0;
    out->hasGo = true;
  } else {
    out->readMail = FindSwitch(copy, "/readmail", limit, false) != kNone;
    out->readNews = !out->readMail && FindSwitch(copy, "/readnews", limit, false) != kNone;
  }
  size_t mailto = FindSwitch(copy, "/mailto=", limit, false);
  if (mailto != kNone && std::strlen(copy + mailto + 8) >= HANDOFF_VALUE_MAX) {
    out->refused = true;
    return;
  }
  TakeCompose(copy, limit, false, &out->compose, out->composeText, sizeof out->composeText);
}

void PrefixGoLink(char* link, size_t size, bool ignoreCase) {
  if (size < 4) return;
  if (ignoreCase ? stristr(link, "pl:") == link : std::strncmp(link, "pl:", 3) == 0) return;
  size_t n = std::strlen(link);
  if (n + 3 > size - 1) n = size - 4;
  std::memmove(link + 3, link, n);
  link[n + 3] = 0;
  std::memcpy(link, "pl:", 3);
}
