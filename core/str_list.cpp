#include "core/str_list.h"

#include <cstring>

namespace {
constexpr int kElement = CStrList::kLineMax + 1;
}

CStrList::CStrList() : list_("CStrList::list", kElement) {}

int CStrList::add(const char* text) {
  char line[kElement];
  size_t n = text ? std::strlen(text) : 0;
  if (n > kLineMax) n = kLineMax;
  if (n) std::memcpy(line, text, n);
  std::memset(line + n, 0, sizeof line - n);
  list_.Append(line);
  return 0;
}

int CStrList::addf(const char* format, const char* value) {
  char line[kElement];
  snprintf(line, sizeof line, format, value);
  return add(line);
}

int CStrList::addf(const char* format, long value) {
  char line[kElement];
  snprintf(line, sizeof line, format, value);
  return add(line);
}

int CStrList::write(FILE* file, const char* label) {
  for (int i = 0; i < list_.Count(); ++i) {
    const char* line = get(i);
    if (line) std::fprintf(file, "%s: %s\r\n", label, line);
  }
  return 0;
}

void CStrList::clear() { list_.SetSize(0, true); }

int CStrList::count() const { return list_.Count(); }

const char* CStrList::get(int index) {
  if (index < 0 || index >= list_.Count()) return nullptr;
  return static_cast<const char*>(list_.At(index));
}
