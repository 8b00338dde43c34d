// The logged-in user's bookmarks as the thread order, the list and the mark
// commands use them: in memory until the bookmark file exists, keyed by the
// open folder's name.
#pragma once

// Which folder the calls below mean (the open one).
void SetBookmarkFolder(const char* folder);
// Whether the message of the open folder is in the current bookmark set.
bool IsBookmarkedInSet(long number);
void SetBookmarkedInSet(long number, bool on);
// Whether the thread root carries the lasting ignore flag.
bool IsIgnored(long number);
void SetIgnored(long number, bool on);
// What the open folder has in the table: ignored messages, any entry at all.
void FolderBookmarkState(bool* hasIgnored, bool* hasEntries);
// Empties the table (a new user, or tests).
void ClearBookmarks();
