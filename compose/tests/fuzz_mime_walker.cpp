// Walks arbitrary bytes as a stored message with every setting the first
// bytes pick; files go to a scratch directory that is emptied each run.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "compose/mime_walker.h"

namespace {
struct Bytes {
  const uint8_t* data;
  long size;
  long position = 0;
};
long Read(void* c, char* buffer, size_t size) {
  auto* b = static_cast<Bytes*>(c);
  long n = b->size - b->position;
  if (n <= 0) return 0;
  if (n > static_cast<long>(size)) n = static_cast<long>(size);
  std::memcpy(buffer, b->data + b->position, n);
  b->position += n;
  return n;
}
long Seek(void* c, long offset) {
  static_cast<Bytes*>(c)->position = offset;
  return offset;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / "fuzz_mime_walker";
    std::filesystem::create_directories(d);
    return d.string() + "/";
  }();
  uint8_t flags = data[0];
  Bytes bytes{data + 1, static_cast<long>(size - 1)};
  auto reader = std::make_unique<LogReader>();
  LogReaderOpen(*reader, LogSource{&bytes, Read, Seek}, false);
  SavedNames saved;
  MimeWalk walk;
  walk.reader = reader.get();
  walk.remaining = bytes.size;
  walk.number = 1;
  walk.ownHeader = flags & 1;
  walk.source = (flags & 0x80) != 0;
  walk.options.headerMode = (flags >> 1) & 3;
  walk.options.decode = flags & 8;
  walk.options.avoidHtml = flags & 16;
  walk.options.warnBeforeOverwrite = 1;
  walk.options.decodePath = dir;
  walk.options.tempDir = dir;
  walk.saved = &saved;
  std::string stored;
  if (flags & 32) walk.stored = &stored;
  walk.out = MakeMimeOutput(nullptr);
  WalkMessage(walk);
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove(e.path(), ec);
  return 0;
}
