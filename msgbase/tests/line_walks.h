// Two walks over a log that must agree: every line through readmsgline, and
// the walk that passes unwanted lines with SkipUnwantedLines and reads only
// the rest. Shared by the reader tests and the fuzz target.
#pragma once
#include <string>
#include <vector>

#include "msgbase/topic_log.h"

struct WalkedLine {
  long offset;
  long count;
  std::string text;
  bool operator==(const WalkedLine&) const = default;
};

struct LineWalk {
  std::vector<WalkedLine> lines;  // the lines read whole
  long characters = 0;            // every character passed or read
  long endOffset = 0;             // where the reader stands afterwards
  long remaining = 0;             // what is left of a body walk's size
};

// Reads lines from the reader's position to the end of the file or, when
// size is above 0, until size characters (less each line's count) are used
// up, as a body is read. With wanted set, unwanted lines are passed first.
inline LineWalk WalkLines(LogReader& r, const char* wanted, long size) {
  LineWalk w;
  w.remaining = size;
  for (;;) {
    if (size > 0 && w.remaining <= 0) break;
    if (wanted) {
      long passed = SkipUnwantedLines(r, wanted, size > 0 ? &w.remaining : nullptr);
      w.characters += passed;
      if (size > 0 && w.remaining <= 0) break;
    }
    long offset = msgtell(r);
    long n = readmsgline(r);
    if (n <= 0) break;
    w.characters += n;
    if (size > 0) w.remaining -= n;
    w.lines.push_back({offset, n, r.line});
  }
  w.endOffset = msgtell(r);
  return w;
}

// Empty when the skipping walk read the same log as the plain one: the same
// end, characters and leftover size, and every wanted line of the plain walk
// read whole at the same place; otherwise what differs.
inline std::string CompareWalks(const LineWalk& plain, const LineWalk& skipping, const char* wanted) {
  if (plain.endOffset != skipping.endOffset)
    return "end " + std::to_string(plain.endOffset) + " != " + std::to_string(skipping.endOffset);
  if (plain.characters != skipping.characters)
    return "characters " + std::to_string(plain.characters) + " != " + std::to_string(skipping.characters);
  if (plain.remaining != skipping.remaining)
    return "remaining " + std::to_string(plain.remaining) + " != " + std::to_string(skipping.remaining);
  size_t next = 0;
  for (const WalkedLine& line : skipping.lines) {
    while (next < plain.lines.size() && plain.lines[next].offset < line.offset) {
      const std::string& text = plain.lines[next].text;
      if (!text.empty() && std::string(wanted).find(text[0]) != std::string::npos)
        return "wanted line at " + std::to_string(plain.lines[next].offset) + " passed over";
      ++next;
    }
    if (next == plain.lines.size() || !(plain.lines[next] == line))
      return "line at " + std::to_string(line.offset) + " read differently";
    ++next;
  }
  for (; next < plain.lines.size(); ++next) {
    const std::string& text = plain.lines[next].text;
    if (!text.empty() && std::string(wanted).find(text[0]) != std::string::npos)
      return "wanted line at " + std::to_string(plain.lines[next].offset) + " passed over";
  }
  return "";
}
