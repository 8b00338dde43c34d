// Any bytes as a prepared action file and as a success log: nothing crashes,
// the script and the log agree on the number of actions, and applying a log
// only ever removes whole live entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "online/engine_script.h"

namespace {
bool WriteBody(void*, long, const std::string&) { return true; }
bool ReadFile(void*, const std::string&, std::string* bytes) {
  *bytes = "abc";
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t cut = text.find("\n\n\n");
  std::string file = text.substr(0, cut), log = cut == std::string::npos ? "" : text.substr(cut + 3);
  const char* services[] = {"dvn", "net", "quorl"};
  ReplyScriptFiles files{nullptr, WriteBody, ReadFile};
  ReplyScript script = MakeReplyScript(file, services[size % 3], true, "C:\\d\\", files);
  std::vector<long> numbers = ReadSuccessLog(log);
  AppliedLog applied = ApplySuccessNumbers(file, numbers);
  if (!script.limitReached && script.actions != applied.lastAction) abort();
  if (applied.kept.size() > file.size()) abort();
  AppliedLog none = ApplySuccessNumbers(file, {});
  if (none.confirmed != 0) abort();
  // Every entry is kept whole or not at all: applying nothing again to what
  // was kept keeps the same bytes.
  if (ApplySuccessNumbers(applied.kept, {}).kept != applied.kept) abort();
  return 0;
}
