// Feeds arbitrary bytes to the log walk (separator and header parsing, the
// field rules) in a few folder kinds, plain and scrambled.
#include <cstddef>
#include <cstdint>
#include <string>

#include "msgbase/tests/line_walks.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/parallel_walk.h"
#include "msgbase/topic_scan.h"

namespace {
// What a walk found, to compare two walks.
void Note(void* context, const ScannedMessage& m) {
  const MessageFields& f = m.fields;
  *static_cast<std::string*>(context) += std::to_string(m.number) + " " + std::to_string(m.logOffset) + " " +
                                         std::to_string(m.flags) + " " + f.sender + "|" + f.subject + "|" +
                                         f.messageId + "|" + f.summary + "|" + m.thread.subject + "\n";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The local zone comes from the C library, not safe on several threads at
  // once everywhere: fixed, so the walks on several threads can be compared.
  g_clockHooks.localZoneOffset = [] { return 0; };
  static const char* const kFolders[] = {"net:mail/inbox", "net:comp.lang.c/all", "dvn:forum/section",
                                         "quorl:chat/general", "local:x\xFF/y"};
  const char* folder = kFolders[data[0] % 5];
  bool scrambled = data[0] & 0x80;
  MemoryLog log;
  log.bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  auto reader = OpenReader(log, scrambled);
  ScanOptions options;
  options.folderName = folder;
  options.kind = FolderKindFromName(folder);
  options.identity = "me@home.org";
  options.nameList = "me*;Zed_*";
  std::string found;
  ScanTopicLog(*reader, options, Note, &found);
  // The same walk with one byte a read, so no line is ever passed unread,
  // finds the same.
  {
    MemoryLog byteByByte;
    byteByByte.bytes = log.bytes;
    byteByByte.maxRead = 1;
    auto plain = OpenReader(byteByByte, scrambled);
    std::string plainFound;
    ScanTopicLog(*plain, options, Note, &plainFound);
    if (plainFound != found) __builtin_trap();
  }
  // The walk on several threads, with pieces so small that the cuts fall
  // everywhere, finds the same messages and tells the same notices.
  {
    const std::string bytes = log.bytes;
    const std::vector<std::string> expected = OneThreadWalk(bytes, options, scrambled);
    SharedLog shared(bytes);
    const long piece = 1 + static_cast<long>(data[0] & 0x0F) * static_cast<long>(size) / 16;
    if (ParallelWalk(shared, options, scrambled, 2, piece) != expected) __builtin_trap();
  }
  // The same bytes as one message body read for its fields.
  msgseek(*reader, 0);
  reader->remaining = static_cast<long>(size);
  MessageFields fields;
  GetMessageFields(*reader, options.kind, fields);
  IsHeaderLine(log.bytes.c_str());
  // Message starts looked up at offsets an index might hold, valid or not.
  for (size_t i = 1; i < size && i < 64; i += 7) {
    MessageHeader header;
    ReadMessageStartAt(*reader, static_cast<long>(data[i]) * static_cast<long>(size) / 256, &header);
  }
  // Passing the lines a caller does not want reads the log as the plain
  // reader does, over the whole file and over a body's size.
  for (const char* wanted : {"O*", "=>"}) {
    MemoryLog a, b;
    a.bytes = b.bytes = log.bytes;
    auto plain = OpenReader(a, scrambled);
    auto skipping = OpenReader(b, scrambled);
    long body = data[0] & 1 ? static_cast<long>(size / 2) : 0;
    if (!CompareWalks(WalkLines(*plain, nullptr, body), WalkLines(*skipping, wanted, body), wanted).empty())
      __builtin_trap();
  }
  return 0;
}
