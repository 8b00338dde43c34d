// Joining directory and file names into a path. Portable; the one place paths
// beside the data directory are put together.
#pragma once
#include <cstddef>
#include <initializer_list>

// The parts in order, one backslash between neighbours (none added after a
// part that ends in a backslash, slash or colon, and none after an empty
// part). False, with out empty, when the path would not fit size bytes: a
// cut path would name some other file.
bool JoinPath(char* out, size_t size, std::initializer_list<const char*> parts);
