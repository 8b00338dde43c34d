// A list of text lines on a virtual array: each line up to 4096 characters,
// kept in the order added. Portable.
#pragma once
#include <cstdio>

#include "core/virtual_array.h"

class CStrList {
 public:
  static constexpr int kLineMax = 4096;

  CStrList();
  // Appends a copy; a longer line is cut to 4096 characters. Returns 0.
  int add(const char* text);
  // Appends the value formatted as by printf. Returns 0.
  int addf(const char* format, const char* value);
  int addf(const char* format, long value);
  // One "label: line\r\n" per line, in order. Returns 0.
  int write(FILE* file, const char* label);
  void clear();
  int count() const;
  // Line i, or null out of range; valid until the next access of the list.
  const char* get(int index);

 private:
  VirtualArray list_;
};
