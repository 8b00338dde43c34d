// Dial sharing: services that dial the same dial-up entry with the same user
// run one after the other, and each engine is told whether to keep the line
// up for the next one. Portable: the services' dial settings come through a
// lookup.
#pragma once
#include <string>

struct DialSettings {
  int rasDial = 0;  // the service dials a dial-up entry
  std::string entry;
  std::string user;
};
// The dial settings of a service; false when it has none.
using DialLookup = bool (*)(const char* service, DialSettings* out);

// "1@entry@user" or "0@entry@user"; empty for an empty service.
std::string DialKey(const char* service, DialLookup lookup);

// The pending list reordered: the dialling services sorted by flag, entry,
// user and key (without regard to case), then the others ("ccmail",
// "exchange", "msmail", "close" and services that do not dial) in their
// order. A list of one service, or a run that finds a connection already up,
// stays as it is.
std::string OptimiseDialList(const std::string& list, bool alreadyConnected, DialLookup lookup);

struct DialShareState {
  bool sharingAllowed = false;  // set by OptimiseDials
  bool lineKept = false;        // the last engine was told " /nodisconnect"
};
// " /nodisconnect" when the next service of the list dials as this one does,
// " /disconnect" after a shared stretch ends, else "".
std::string DialShareSuffixFor(DialShareState* state, const char* service, const std::string& list, DialLookup lookup);
