#include "core/rights.h"

#include "core/text1252.h"

#include <cstring>

UserRights g_userRights;

namespace {

bool On(const unsigned* flag) { return flag && *flag; }

}  // namespace

unsigned long ReadUserRightsFrom(FILE* file, const char* userName) {
  unsigned long defaultWord = RIGHTS_DEFAULT;
  if (!file) return defaultWord;
  char line[200];
  while (std::fgets(line, sizeof line, file)) {
    if (!std::strchr(line, '\n') && !std::feof(file)) {
      // Too long for a rights line: skip all of it, so its tail is never
      // read as a line of its own.
      int c;
      while ((c = std::fgetc(file)) != EOF && c != '\n') {}
      continue;
    }
    char name[200];
    unsigned long number = 0;
    long decimal = 0;
    if (std::sscanf(line, "%199s 0x%lx", name, &number) != 2) {
      // A line without a readable number grants nothing, so nobody inherits
      // the rights of the line before it.
      if (std::sscanf(line, "%199s %ld", name, &decimal) != 2) continue;
      number = static_cast<unsigned long>(decimal) & 0xFFFFFFFFUL;
    }
    if (SameText1252(name, "default")) defaultWord = number;
    if (userName && SameText1252(name, userName)) return number;
  }
  return defaultWord;
}

bool HasRight(unsigned long right) {
  if (g_userRights.administratorMode) return true;
  if ((g_userRights.word & right) == right) return true;
  if (right == RIGHT_REVIEW && On(g_userRights.allReview)) return true;
  if ((right == RIGHT_MODERATOR || right == RIGHT_OPEN_MODERATORS) && On(g_userRights.openModerators)) return true;
  return false;
}
