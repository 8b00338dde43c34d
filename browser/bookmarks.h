// The logged-in user's bookmarks as the thread order and list ask for them.
// Until the bookmark file exists the table is empty: nothing is bookmarked or
// ignored.
#pragma once

// Whether the message of the open folder is in the current bookmark set.
bool IsBookmarkedInSet(long number);
// Whether the thread root carries the lasting ignore flag.
bool IsIgnored(long number);
// What the open folder has in the table: ignored messages, any entry at all.
void FolderBookmarkState(bool* hasIgnored, bool* hasEntries);
