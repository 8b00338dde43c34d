// Any dropped text file: the block opens and closes once, and no bare LF
// reaches the import text.
#include <cstdint>
#include <cstdio>
#include <string>

#include "browser/drop_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = std::tmpfile();
  FILE* out = std::tmpfile();
  if (!in || !out) return 0;
  std::fwrite(data, 1, size, in);
  std::rewind(in);
  WriteDroppedText(out, in, "mail/demo", "C:\\a.txt", size & 1);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(in);
  std::fclose(out);
  if (text.compare(0, 22, "!start mail/demo File\r") != 0) __builtin_trap();
  if (text.size() < 7 ||
      (text.compare(text.size() - 7, 7, "!end\r\n") != 0 && text.compare(text.size() - 6, 6, "!end\r\n") != 0))
    __builtin_trap();
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      // Only a CR inside the file's own bytes may stand alone; a line end never does.
      __builtin_trap();
    }
  return 0;
}
