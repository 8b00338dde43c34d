// The tips of the message view: "acronyms.lst" holds one entry a line, a
// word, white space and the text shown for it. Portable.
#pragma once
#include <string>

// The text for a word (case-sensitive) from the file's bytes: the later of
// two matching lines wins; lines are read up to 200 characters; empty when
// no line gives text for it.
std::string LookupAcronym(const std::string& fileText, const std::string& word);
