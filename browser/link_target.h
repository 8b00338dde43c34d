// The program's own message references in links: "pl:folder",
// "PL://folder#number" (the scheme in any case).
#pragma once
#include <cstddef>

struct LinkTarget {
  char folder[100];
  long number;  // 0 when the link names only the folder
};

// True when the url is one of ours with a folder name that fits.
bool ParseProgramLink(const char* url, LinkTarget* out);

// The link a click in the message view stands for, from the control's record:
// its code, or the shown text when there is no code. A code beginning with
// `href="` (any case) loses that and every double quote; a "FILE://" link gets
// its path in double quotes. False when there is nothing to follow (no code
// and the text "_"). out holds `size` bytes; a longer link is refused.
bool BrowserLinkText(const char* code, const char* text, char* out, size_t size);

// Where the split bar lands for a pointer at y: whole lines below the header
// strip, at least one line below it and one line above the bottom.
int SnapSplitY(int y, int top, int headerHeight, int lineHeight, int clientHeight);

// The message number typed into "Goto Message Number": the first number in
// the text ("12 of 34" is 12, "#7" is 7); 0 when there is none.
long GotoInputNumber(const char* text);
// The number after the first "#" that a digit follows (what a message's text
// points at); 0 when there is none or it is past any folder's numbers.
long FirstHashNumber(const char* text, size_t length);
