// Paths that belong to folders and to the data directory: the service's
// action file and the stored form of a path chosen in a file dialog.
#pragma once
#include <cstddef>

// "<data directory><key>\<key, 8 characters>.bsc" of the open folder's
// service; empty when it does not fit size bytes.
char* bscname(char* out, size_t size);
// Makes a chosen path relative to the data directory's drive, or names a
// network drive by its connection; 0 when changed, 1 when left as it was.
int MakeStoredPath(char* path, size_t size = 260);
