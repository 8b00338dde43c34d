// Feeds arbitrary bytes to the address, name, header and batch text functions.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "msgbase/message_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string cstr(text.c_str());  // up to the first zero byte
  char small[17];
  static char big[4096];
  BareAddress(cstr.c_str(), small, sizeof small);
  ShortenAddressList(cstr.c_str(), big, sizeof big, "quorl.example;x");
  ShortenAddressList(cstr.c_str(), small, sizeof small, nullptr);
  std::string name = cstr;
  MakeUsenetName(name.data());
  FindHeaderField(text, "From", small, sizeof small, false);
  FindHeaderField(text, "a", big, sizeof big, true);
  BatchMessageText(BatchForm::Log, text, text, 1, long(size));
  BatchMessageText(BatchForm::Rnews, "", text, 1, long(size));
  CancelLine(text, "f", 3);
  return 0;
}
