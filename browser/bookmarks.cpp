#include "browser/bookmarks.h"

#include <map>
#include <string>

namespace {

constexpr unsigned kIgnoreBit = 1u;
constexpr unsigned kCurrentSetBit = 1u << 1;

struct Table {
  std::string folder;
  std::map<std::string, std::map<long, unsigned>> marks;  // folder -> number -> set mask
};
Table& T() {
  static Table table;
  return table;
}

unsigned MaskOf(long number) {
  auto f = T().marks.find(T().folder);
  if (f == T().marks.end()) return 0;
  auto m = f->second.find(number);
  return m == f->second.end() ? 0 : m->second;
}

void SetBit(long number, unsigned bit, bool on) {
  auto& folder = T().marks[T().folder];
  unsigned& mask = folder[number];
  mask = on ? mask | bit : mask & ~bit;
  if (!mask) folder.erase(number);
}

}  // namespace

void SetBookmarkFolder(const char* folder) { T().folder = folder ? folder : ""; }
bool IsBookmarkedInSet(long number) { return MaskOf(number) & kCurrentSetBit; }
void SetBookmarkedInSet(long number, bool on) { SetBit(number, kCurrentSetBit, on); }
bool IsIgnored(long number) { return MaskOf(number) & kIgnoreBit; }
void SetIgnored(long number, bool on) { SetBit(number, kIgnoreBit, on); }

void FolderBookmarkState(bool* hasIgnored, bool* hasEntries) {
  *hasIgnored = *hasEntries = false;
  auto f = T().marks.find(T().folder);
  if (f == T().marks.end()) return;
  *hasEntries = !f->second.empty();
  for (const auto& [number, mask] : f->second)
    if (mask & kIgnoreBit) *hasIgnored = true;
}

void ClearBookmarks() { T().marks.clear(); }
