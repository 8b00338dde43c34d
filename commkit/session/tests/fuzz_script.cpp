// Any bytes run as a login script, over a line that answers every wait at
// once: the run ends with a stop code and a bounded error text, never a
// crash, a hang or a read out of bounds. Every script file it calls is the
// same input, so calls recurse as deep as the interpreter allows.
#include <cstdlib>
#include <cstring>
#include <string>

#include "commkit/session/script.h"

namespace {
const uint8_t* g_data;
size_t g_size;
int g_polls;
unsigned g_waits;

void* Open(const char* name) { return std::strstr(name, "absent") ? nullptr : const_cast<uint8_t*>(g_data); }
int ReadAt(void*, uint32_t offset, void* buffer, unsigned count) {
  if (offset >= g_size) return 0;
  size_t n = std::min<size_t>(count, g_size - offset);
  std::memcpy(buffer, g_data + offset, n);
  return int(n);
}
void Close(void*) {}
int Wait(void*, const char* const* patterns, int count, uint16_t, std::string* scanned) {
  for (int i = 0; i < count; ++i)
    if (!patterns[i]) abort();
  *scanned = "scanned";
  ++g_waits;
  return count ? int(g_waits % unsigned(count + 2)) - 1 : 0;
}
void Send(void*, int kind, const std::string& text) {
  if (kind < 0 || kind > 3 || text.size() > 255) abort();
}
int Init(void*, const std::string&, long) { return int(g_waits & 1); }
void Reset(void*) {}
// The client's abort ends any loop.
int Poll(void*) { return ++g_polls >= 40; }
void Command(void*, const std::string& text) {
  if (text.size() > 81) abort();
}
void Key(void*, const uint8_t*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  g_polls = 0;
  g_waits = 0;
  ScriptHost host{nullptr, Wait, Send, Init, Reset, Poll, Command, Key, ScriptFileOps{Open, ReadAt, Close}};
  ScriptContext context;
  context.SetSecret("%Password", "secret");
  int stop = context.Run(host, "dir", "fuzz.scr");
  if (stop < 0 || stop > 4) abort();
  if ((stop == kScriptFailed) != !context.errorText.empty()) abort();
  if (context.errorText.size() > 600) abort();
  return 0;
}
