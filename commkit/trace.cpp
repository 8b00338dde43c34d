// The trace log: each call appends one record to a text file and closes it,
// so the file is whole even when the process dies.
#include "internal.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <string>

namespace {
HANDLE OpenTrace(const char* file) {
  const char* name = (file && *file) ? file : "zrtdebug.log";
  HANDLE trace =
      CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (trace != INVALID_HANDLE_VALUE) SetFilePointer(trace, 0, nullptr, FILE_END);
  return trace;
}

void Put(HANDLE trace, const std::string& text) {
  DWORD put = 0;
  WriteFile(trace, text.data(), DWORD(text.size()), &put, nullptr);
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? size_t(length) : 0, '\0');
  if (length > 0) vsnprintf(text.data(), size_t(length) + 1, format, again);
  va_end(again);
  return text;
}

const char* Text(const char* text) { return text ? text : ""; }
const char* Separator(const char* label) { return (label && *label) ? ": " : ""; }

int Record(const char* file, const std::string& text) {
  HANDLE trace = OpenTrace(file);
  if (trace == INVALID_HANDLE_VALUE) return 0;
  Put(trace, text);
  return CloseHandle(trace);
}

char Shown(uint8_t byte) {
  int c = byte & 0x7F;
  return (isalnum(c) || ispunct(c) || c == ' ') ? char(c) : '.';
}
}  // namespace

int ZRTAPI TraceEnter(const char* file, const char* module, int line, const char* function) {
  return Record(file, Format("Entering function %s, module: %s, line %d.\r\n", Text(function), Text(module), line));
}

int ZRTAPI TraceExit(const char* file, const char* module, int line, const char* function) {
  return Record(file, Format("Exiting function %s, module: %s, line %d.\r\n", Text(function), Text(module), line));
}

int ZRTAPI TraceString(const char* file, const char* module, int line, const char* label, const char* text) {
  return Record(file, Format("STRING: %s%s\"%s\", module: %s, line %d.\r\n", Text(label), Separator(label), Text(text),
                             Text(module), line));
}

int ZRTAPI TraceBinary(const char* file, const char* module, int line, const char* label, const void* data,
                       uint16_t count, int hex) {
  if (!data) count = 0;
  std::string text =
      Format("BINARY: %s%smodule: %s, line %d (%d data byte%s follow%s).\r\n\r\n", Text(label), Separator(label),
             Text(module), line, int(count), count > 1 ? "s" : "", count > 1 ? "" : "s");
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (hex) {
    for (int row = 0; row < count; row += 16) {
      char hexPart[49] = "";
      char charPart[17] = "";
      int inRow = count - row < 16 ? count - row : 16;
      for (int i = 0; i < inRow; ++i) {
        FormatBounded(hexPart + 3 * i, sizeof hexPart - size_t(3 * i), "%2.2X ", unsigned(bytes[row + i]));
        charPart[i] = Shown(bytes[row + i]);
        charPart[i + 1] = 0;
      }
      text += Format("%4.4X    %-48s %-16s\r\n", unsigned(row), hexPart, charPart);
    }
  } else if (count) {
    text.append(reinterpret_cast<const char*>(bytes), count);
  }
  text += "\r\n";
  return Record(file, text);
}

int ZRTAPI TraceByte(const char* file, const char* module, int line, const char* label, uint8_t value) {
  return Record(file, Format("BYTE: %s%schar = '%c', signed = %hd, unsigned = %hu, hex = "
                             "0x%2.2X.  Module: %s, line %d.\r\n",
                             Text(label), Separator(label), value, short(int8_t(value)), (unsigned short)value,
                             unsigned(value), Text(module), line));
}

int ZRTAPI TraceWord(const char* file, const char* module, int line, const char* label, uint16_t value) {
  return Record(file, Format("WORD: %s%ssigned = %d, unsigned = %u, hex = 0x%4.4X.  Module: "
                             "%s, line %d.\r\n",
                             Text(label), Separator(label), int(int16_t(value)), unsigned(value), unsigned(value),
                             Text(module), line));
}

int ZRTAPI TraceLong(const char* file, const char* module, int line, const char* label, int32_t value) {
  return Record(file, Format("LONG: %s%ssigned = %ld, unsigned = %lu, hex = 0x%8.8lX.  Module: "
                             "%s, line %d.\r\n",
                             Text(label), Separator(label), long(value), (unsigned long)uint32_t(value),
                             (unsigned long)uint32_t(value), Text(module), line));
}
