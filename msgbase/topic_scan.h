// Walks a whole topic log and yields, per message, what the index, the thread
// file, the message-id list and the involvement flags are built from. The
// arrays and files themselves are the caller's.
#pragma once
#include <cstdint>
#include <ctime>
#include <memory>

#include "core/small_text.h"
#include "msgbase/msg_fields.h"
#include "msgbase/records.h"
#include "msgbase/topic_log.h"

// The walk's reads: large blocks cost far fewer calls into the system than
// the reader's own.
constexpr long kScanBlockSize = 1 << 16;

struct ScanOptions {
  const char* folderName = "";
  FolderKind kind;
  const char* identity = "";         // "Email Address" for net folders, else "Name"
  const char* personalAddress = "";  // "Personal Address"
  const char* nameList = "";         // the service's name patterns (MatchNameList)
  // The Quorl service's two mail domains: removed from recipients; the first
  // joined to the identity is also the user's address.
  const char* quorlMailDomains[2] = {"", ""};
  // Turns the date text into seconds since 1970; null leaves dates 0.
  time_t (*parseDate)(const char* text) = ParseDate;
};

struct ScannedMessage {
  long number = 0;
  long parent = 0;         // 0 none; -1 a comment to an unknown message
  uint32_t logOffset = 0;  // offset of the separator line
  long size = 0;           // body size the header states
  time_t date = 0;
  char dateText[100] = "";
  MessageHeader header;
  MessageFields fields = {};
  ThreadRecord thread = {};  // plain text; the thread-file writer scrambles it when the folder is
  uint16_t flags = 0;        // kMsgByUser, kMsgConcernsUser, kMsgHeaderOnly
};

using ScanCallback = void (*)(void* context, const ScannedMessage& message);

// While it lives, the reader goes through the whole log from offset 0 in
// blocks of kScanBlockSize: large reads cost far fewer calls into the system
// than the reader's own block size. Afterwards it reads its own block again.
// Started() is false when the log cannot be read from its start. One walk
// at a time: the block is shared.
class WholeLogReading {
 public:
  explicit WholeLogReading(LogReader& reader);
  ~WholeLogReading();
  WholeLogReading(const WholeLogReading&) = delete;
  WholeLogReading& operator=(const WholeLogReading&) = delete;
  bool Started() const { return started_; }

 private:
  LogReader& reader_;
  bool started_;
};

// Reads the log from offset 0 to its end and calls back once per message, in
// log order. Returns the number of messages found.
long ScanTopicLog(LogReader& reader, const ScanOptions& options, ScanCallback callback, void* context);

// One walk's options prepared once (the name patterns split, the folder's
// rules looked up) and stepped from state to state. A walk's whole state
// between steps is the reader's position: two walks that stand at the same
// offset of the same bytes go on alike. Shared by the walks on one and on
// several threads; Step is safe to call from several threads at once, each
// with its own reader and message.
class TopicLogWalker {
 public:
  explicit TopicLogWalker(const ScanOptions& options);
  ~TopicLogWalker();
  TopicLogWalker(const TopicLogWalker&) = delete;
  TopicLogWalker& operator=(const TopicLogWalker&) = delete;
  // One step from the reader's position: 1 with a message in m (its
  // separator's offset in *start when given), 0 past a line that opens
  // none, -1 at the end of the log or a read error. headerParsed, when
  // given, is called once a message's header is read, before its body.
  int Step(LogReader& reader, ScannedMessage& m, long* start = nullptr, void (*headerParsed)(void*) = nullptr,
           void* context = nullptr) const;

 private:
  struct Prepared;
  const ScanOptions& options_;
  std::unique_ptr<Prepared> prepared_;
};
