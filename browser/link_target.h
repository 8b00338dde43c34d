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
