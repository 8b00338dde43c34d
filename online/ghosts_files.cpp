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
  // One read of the whole file: an outbasket of messages runs to megabytes,
  // and the frame's timer may ask for it every second.
  long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  bool ok = size >= 0 && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes->resize(static_cast<size_t>(size));
    size_t got = size > 0 ? fread(bytes->data(), 1, bytes->size(), file) : 0;
    bytes->resize(got);
    // A file that grew meanwhile: the rest too.
    char block[4096];
    while ((got = fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
  }
  ok = ok && !ferror(file);
  fclose(file);
  return ok;
}
