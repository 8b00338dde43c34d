#include "browser/bookmarks.h"

bool IsBookmarkedInSet(long) { return false; }
bool IsIgnored(long) { return false; }
void FolderBookmarkState(bool* hasIgnored, bool* hasEntries) {
  *hasIgnored = false;
  *hasEntries = false;
}
