// The engine script ("reply.ebs") made from a service's prepared actions, and
// the success log the engine leaves: which actions it carried out. Action k
// is the k-th live entry header of the action file, counted from 1, in both
// directions. Portable: bytes in, bytes out; files come through callbacks.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The Dravenet body form: "@" doubled, CR LF preceded by "@b"; a soft break
// (CR CR LF) becomes "@b" CR LF when kept and goes otherwise.
std::string EscapeAtSigns(std::string_view text, bool keepSoftBreaks);
// The Internet body form: a line holding only "." gets a blank after it (the
// first line too).
std::string StuffDots(std::string_view text);
// A script string's contents: quotes doubled, cut at the first line end,
// trailing blanks removed.
std::string QuoteForScript(std::string_view text);

// One entry of an action file: its bytes [start, end), live or held. An edit
// entry's body is passed over by its byte count, so body lines that look like
// headers start no entry; everything else ends at the next header line.
struct ActionSpan {
  size_t start;
  size_t end;
  bool live;
};
std::vector<ActionSpan> SplitActionEntries(std::string_view file);

struct ReplyScriptFiles {
  void* context;
  // Creates the body file of the action with these bytes; false when it
  // could not be written whole.
  bool (*writeBody)(void* context, long action, const std::string& bytes);
  // An attachment's bytes; false when it cannot be read.
  bool (*readFile)(void* context, const std::string& path, std::string* bytes);
};

struct ReplyScript {
  std::string script;         // "Sub Script()" ... "End Sub"
  long actions = 0;           // live entry headers read
  std::vector<long> written;  // the actions that have a statement
  std::vector<long> left;     // actions left out (body or attachment failed)
  bool limitReached = false;  // stopped past 50000 bytes; the rest waits
};

// bodyPrefix is what a body file's path begins with in the script (the
// service directory with its backslash); the name "msg%05ld.tmp" follows.
ReplyScript MakeReplyScript(std::string_view replyBsc, const char* service, bool withWaitingMessages,
                            const std::string& bodyPrefix, const ReplyScriptFiles& files);

constexpr size_t kReplyScriptLimit = 50000;

// The confirmed action numbers of a success log: one decimal number per
// complete line (ended by a line feed); other lines confirm nothing. Sorted,
// without repeats.
std::vector<long> ReadSuccessLog(std::string_view log);
// The log's numbers sorted, one "%lu\n" line each (unreadable lines dropped).
std::string SortedSuccessLog(std::string_view log);

struct AppliedLog {
  std::string kept;     // the entries not confirmed, held ones always
  long lastAction = 0;  // live entries counted
  long confirmed = 0;   // entries dropped
};
// The action file without the confirmed live entries. Numbers past the last
// entry confirm nothing.
AppliedLog ApplySuccessNumbers(std::string_view actionFile, const std::vector<long>& confirmed);
