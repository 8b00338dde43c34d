// The ghosts' file access: the modification time and the bytes of a file.
#include <sys/stat.h>

#include <cstdio>

#include "online/ghosts.h"

time_t GhostFileTime(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return -1;
  return info.st_mtime;
}

bool GhostReadFile(const char* path, std::vector<char>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  bytes->clear();
  char block[4096];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
  bool ok = !ferror(file);
  fclose(file);
  return ok;
}
