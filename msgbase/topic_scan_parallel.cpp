#include "msgbase/topic_scan_parallel.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "msgbase/scan_text.h"

namespace {

// Four workers beside the calling thread.
constexpr int kMostAutomaticThreads = 5;
constexpr int kMostThreads = 16;
// Smaller pieces cost more in starting workers than they save.
constexpr long kSmallestAutomaticPiece = 2L << 20;
// Workers keep each message in blocks of these; blocks of the usual size
// are kept for the next walk, as fresh memory is costly on the target.
constexpr size_t kUsualBlockBytes = 256 * 1024;
constexpr size_t kSmallestBlockBytes = 4096;
constexpr size_t kMostSpareBlocks = 128;
constexpr int kRecordsPerPublish = 1024;
// Notices one kept message can carry (its damaged header's warning).
constexpr int kMostNotices = 4;
constexpr size_t kMostNoticeText = 200;

// ---- blocks kept from one walk to the next ----

struct SpareBlocks {
  std::mutex mutex;
  std::vector<char*> blocks;
  ~SpareBlocks() {
    for (char* b : blocks) delete[] b;
  }
};
SpareBlocks& Spares() {
  static SpareBlocks spares;
  return spares;
}

char* TakeBlock(size_t capacity) {
  if (capacity == kUsualBlockBytes) {
    SpareBlocks& s = Spares();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.blocks.empty()) {
      char* b = s.blocks.back();
      s.blocks.pop_back();
      return b;
    }
  }
  return new char[capacity];
}

void GiveBackBlock(char* block, size_t capacity) {
  if (!block) return;
  if (capacity == kUsualBlockBytes) {
    SpareBlocks& s = Spares();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.blocks.size() < kMostSpareBlocks) {
      s.blocks.push_back(block);
      return;
    }
  }
  delete[] block;
}

// ---- a message as a worker keeps it ----

// Followed by the author, the thread subject (unless it is the Subject
// field), the Subject field, the Message-ID, each terminated, and the
// notices: a kind byte ('b' box, 's' status) and a terminated text each.
struct PackedHead {
  int64_t start;  // the separator's offset
  int64_t end;    // where the walk stands after the message
  int64_t parent;
  int64_t date;
  int32_t number;
  uint16_t flags;
  uint8_t notices;
  uint8_t threadSubjectIsSubject;
};

constexpr size_t kMostRecordBytes = sizeof(PackedHead) + sizeof(ThreadRecord) + 2 * sizeof(MessageFields::subject) + 4 +
                                    static_cast<size_t>(kMostNotices) * (kMostNoticeText + 2);
static_assert(kMostRecordBytes < kSmallestBlockBytes);

struct RecordView {
  PackedHead head;
  const char* author;
  const char* threadSubject;
  const char* subject;
  const char* messageId;
  const char* notices;
};

size_t AppendText(char* out, const char* text, size_t most) {
  size_t n = 0;
  while (n < most && text[n]) ++n;
  CopyScanBytes(out, text, n);
  out[n] = 0;
  return n + 1;
}

// What a worker's reader reported during one step.
struct NoticeCapture {
  int count = 0;
  int atHeader = -1;  // the count when the step's message header was read
  char kinds[kMostNotices];
  std::string texts[kMostNotices];
  void Clear() {
    count = 0;
    atHeader = -1;
  }
  void Add(char kind, const char* text) {
    if (count < kMostNotices) {
      kinds[count] = kind;
      texts[count].assign(text, strnlen(text, kMostNoticeText));
    }
    ++count;
  }
};
thread_local NoticeCapture* t_capture = nullptr;
void CaptureBox(const char* text) {
  if (t_capture) t_capture->Add('b', text);
}
void CaptureStatus(const char* text) {
  if (t_capture) t_capture->Add('s', text);
}
void HeaderParsed(void* context) {
  auto* capture = static_cast<NoticeCapture*>(context);
  capture->atHeader = capture->count;
}

size_t PackRecord(const ScannedMessage& m, long start, long end, const NoticeCapture& notices, char* out) {
  PackedHead h = {};
  h.start = start;
  h.end = end;
  h.parent = m.parent;
  h.date = static_cast<int64_t>(m.date);
  h.number = static_cast<int32_t>(m.number);
  h.flags = m.flags;
  h.notices = static_cast<uint8_t>(notices.count);
  const char* threadSubject = m.thread.subject;
  h.threadSubjectIsSubject = SameScanText(threadSubject, m.fields.subject);
  size_t n = sizeof h;
  n += AppendText(out + n, m.thread.author, sizeof m.thread.author - 1);
  if (!h.threadSubjectIsSubject) n += AppendText(out + n, threadSubject, sizeof m.thread.subject - 1);
  n += AppendText(out + n, m.fields.subject, sizeof m.fields.subject - 1);
  n += AppendText(out + n, m.fields.messageId, sizeof m.fields.messageId - 1);
  for (int i = 0; i < notices.count; ++i) {
    out[n++] = notices.kinds[i];
    n += AppendText(out + n, notices.texts[i].c_str(), kMostNoticeText);
  }
  std::memcpy(out, &h, sizeof h);
  return n;
}

const char* PassText(const char* p) {
  while (*p) ++p;
  return p + 1;
}

// Reads the record at p; returns the byte after it.
const char* UnpackRecord(const char* p, RecordView& v) {
  std::memcpy(&v.head, p, sizeof v.head);
  p += sizeof v.head;
  v.author = p;
  p = PassText(p);
  v.threadSubject = v.head.threadSubjectIsSubject ? nullptr : p;
  if (!v.head.threadSubjectIsSubject) p = PassText(p);
  v.subject = p;
  if (v.head.threadSubjectIsSubject) v.threadSubject = p;
  p = PassText(p);
  v.messageId = p;
  p = PassText(p);
  v.notices = p;
  for (int i = 0; i < v.head.notices; ++i) p = PassText(p + 1);
  return p;
}

// ---- pieces ----

enum class PieceEnd {
  kCut,       // the walk reached the next piece's cut
  kLogEnd,    // the log ended
  kNotice,    // the next step reported trouble: the calling thread takes it
  kUnusable,  // no walk: no source, or trouble before the first line
};

struct PublishedBlock {
  char* bytes;
  size_t used;
};

struct Piece {
  long from = 0;
  long cut = LONG_MAX;  // where the next piece begins
  size_t blockBytes = kUsualBlockBytes;
  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by mutex.
  std::vector<PublishedBlock> blocks;
  bool started = false;
  long start = -1;  // the first line start at or after from: the walk's first place
  bool done = false;
  long end = -1;  // where the walk stopped: a place it stood at
  PieceEnd how = PieceEnd::kUnusable;

  ~Piece() {
    for (PublishedBlock& b : blocks) GiveBackBlock(b.bytes, blockBytes);
  }
};

// A worker's side of a piece: records gathered into blocks and published
// every few records.
class PieceWriter {
 public:
  explicit PieceWriter(Piece& piece) : piece_(piece) {}
  void Started(long start) {
    {
      std::lock_guard<std::mutex> lock(piece_.mutex);
      piece_.started = true;
      piece_.start = start;
    }
    piece_.changed.notify_all();
  }
  void Add(const char* record, size_t n) {
    if (!block_ || used_ + n > piece_.blockBytes) NewBlock();
    std::memcpy(block_ + used_, record, n);
    used_ += n;
    if (++unpublished_ >= kRecordsPerPublish) Publish();
  }
  void Finish(long end, PieceEnd how) {
    {
      std::lock_guard<std::mutex> lock(piece_.mutex);
      if (block_) piece_.blocks.back().used = used_;
      piece_.done = true;
      piece_.end = end;
      piece_.how = how;
    }
    piece_.changed.notify_all();
  }

 private:
  void Publish() {
    {
      std::lock_guard<std::mutex> lock(piece_.mutex);
      piece_.blocks.back().used = used_;
    }
    unpublished_ = 0;
    piece_.changed.notify_all();
  }
  void NewBlock() {
    char* block = TakeBlock(piece_.blockBytes);
    {
      std::lock_guard<std::mutex> lock(piece_.mutex);
      if (block_) piece_.blocks.back().used = used_;
      piece_.blocks.push_back({block, 0});
    }
    block_ = block;
    used_ = 0;
    unpublished_ = 0;
    piece_.changed.notify_all();
  }
  Piece& piece_;
  char* block_ = nullptr;
  size_t used_ = 0;
  int unpublished_ = 0;
};

// What each worker reads with, kept for the next walk.
struct WorkerKit {
  LogReader reader;
  char block[kScanBlockSize + 1];
  ScannedMessage message;
  char record[kMostRecordBytes];
};

struct Walk {
  Walk(const TopicLogWalker& w, const ParallelScanSetup& s) : walker(w), setup(s) {}
  const TopicLogWalker& walker;
  const ParallelScanSetup& setup;
  bool scrambled = false;
  bool suppressHeaderWarning = false;
  std::vector<std::unique_ptr<Piece>> pieces;
  std::atomic<size_t> next{0};
  std::atomic<bool> cancel{false};
};

// The first line start at or after offset: the byte after a LF, where every
// walk begins a line. -1 when the log cannot be read there.
long FirstLineStart(LogReader& r, long offset) {
  if (offset <= 0) return msgseek(r, 0) < 0 ? -1 : 0;
  if (msgseek(r, offset - 1) < 0) return -1;
  for (;;) {
    if (readmsgline(r) == 0) return msgtell(r);
    if (r.lineLength && r.line[r.lineLength - 1] == '\n') return msgtell(r);
  }
}

void WalkPiece(Walk& w, Piece& piece, WorkerKit& kit) {
  PieceWriter out(piece);
  LogSource source;
  if (!w.setup.opener.open(w.setup.opener.context, &source)) {
    out.Finish(-1, PieceEnd::kUnusable);
    return;
  }
  NoticeCapture capture;
  t_capture = &capture;
  LogReader& r = kit.reader;
  LogReaderOpen(r, source, w.scrambled);
  r.notices.box = CaptureBox;
  r.notices.status = CaptureStatus;
  r.suppressHeaderWarning = w.suppressHeaderWarning;
  // Tiny pieces (the tests') read little: smaller blocks, the same walk.
  const long span = piece.cut == LONG_MAX ? kScanBlockSize : std::min(piece.cut - piece.from, kScanBlockSize);
  LogReaderUseBlock(r, kit.block, std::clamp(2 * span, 8192L, kScanBlockSize));
  const long start = FirstLineStart(r, piece.from);
  long at = start;
  PieceEnd how = PieceEnd::kUnusable;
  if (start >= 0 && capture.count == 0) {
    out.Started(start);
    for (;;) {
      if (at >= piece.cut) {
        how = PieceEnd::kCut;
        break;
      }
      if (w.cancel.load(std::memory_order_relaxed)) break;
      capture.Clear();
      long messageStart = 0;
      const int step = w.walker.Step(r, kit.message, &messageStart, HeaderParsed, &capture);
      // Only a kept message's header warnings can be told again in order;
      // any other notice leaves the step to the calling thread.
      if (capture.count && !(step == 1 && capture.atHeader == capture.count && capture.count <= kMostNotices)) {
        how = PieceEnd::kNotice;
        break;
      }
      if (step < 0) {
        how = PieceEnd::kLogEnd;
        break;
      }
      const long next = msgtell(r);
      if (step == 1) out.Add(kit.record, PackRecord(kit.message, messageStart, next, capture, kit.record));
      at = next;
    }
  }
  t_capture = nullptr;
  LogReaderUseBlock(r, nullptr, 0);
  LogReaderClose(r);
  w.setup.opener.close(w.setup.opener.context, &source);
  out.Finish(how == PieceEnd::kUnusable ? -1 : at, how);
}

void Worker(Walk& w, WorkerKit& kit) {
  for (;;) {
    const size_t k = w.next.fetch_add(1);
    if (k >= w.pieces.size()) return;
    Piece& piece = *w.pieces[k];
    if (w.cancel.load(std::memory_order_relaxed)) {
      PieceWriter(piece).Finish(-1, PieceEnd::kUnusable);
      continue;
    }
    WalkPiece(w, piece, kit);
  }
}

std::vector<std::unique_ptr<WorkerKit>>& Kits() {
  static std::vector<std::unique_ptr<WorkerKit>> kits;
  return kits;
}

// The calling thread's place in a piece's records.
class PieceReader {
 public:
  explicit PieceReader(Piece& piece) : piece_(piece) {}
  // Waits until the piece's walk has begun (or ended): its first place.
  long Start() {
    if (!startKnown_) {
      std::unique_lock<std::mutex> lock(piece_.mutex);
      piece_.changed.wait(lock, [&] { return piece_.started || piece_.done; });
      start_ = piece_.started ? piece_.start : -1;
      startKnown_ = true;
    }
    return start_;
  }
  // The next record without passing it; false once the walk has ended
  // and every record was read.
  bool Peek(RecordView& v) {
    while (at_ == available_) {
      if (!Refresh()) return false;
    }
    nextAt_ = UnpackRecord(bytes_ + at_, v) - bytes_;
    return true;
  }
  void Pass() { at_ = nextAt_; }
  // Where the walk ended and how; call only once Peek gave false.
  long End() const { return piece_.end; }
  PieceEnd How() const { return piece_.how; }

 private:
  // Waits for more records or the end: false at the end.
  bool Refresh() {
    std::unique_lock<std::mutex> lock(piece_.mutex);
    for (;;) {
      if (block_ < piece_.blocks.size()) {
        const PublishedBlock& b = piece_.blocks[block_];
        if (b.used > at_) {
          bytes_ = b.bytes;
          available_ = b.used;
          return true;
        }
        // A block is whole once the next is begun; read through, it goes
        // back for the workers still writing.
        if (block_ + 1 < piece_.blocks.size()) {
          GiveBackBlock(piece_.blocks[block_].bytes, piece_.blockBytes);
          piece_.blocks[block_].bytes = nullptr;
          ++block_;
          at_ = available_ = 0;
          bytes_ = nullptr;
          continue;
        }
      }
      if (piece_.done) return false;
      piece_.changed.wait(lock);
    }
  }
  Piece& piece_;
  bool startKnown_ = false;
  long start_ = -1;
  size_t block_ = 0;
  const char* bytes_ = nullptr;
  size_t at_ = 0, available_ = 0, nextAt_ = 0;
};

enum class Meeting { kMet, kNotYet, kPassed };

// Whether the walk standing at `at` meets the piece's walk there: a place
// the piece's walk also stood at. Records before it are passed.
Meeting MeetAt(PieceReader& reader, long at) {
  const long start = reader.Start();
  if (start < 0) return Meeting::kPassed;
  if (start == at) return Meeting::kMet;
  // Every place of the piece's walk lies at or after its start.
  if (at < start) return Meeting::kNotYet;
  RecordView v;
  while (reader.Peek(v)) {
    if (v.head.start == at) return Meeting::kMet;
    if (v.head.start > at) return Meeting::kNotYet;
    reader.Pass();
    if (v.head.end == at) return Meeting::kMet;
  }
  if (reader.End() == at) return Meeting::kMet;
  return reader.End() < at ? Meeting::kPassed : Meeting::kNotYet;
}

// Hands records and one-thread messages to the caller alike.
struct Delivery {
  Delivery(ScanRecordCallback c, void* x) : callback(c), context(x) {}
  ScanRecordCallback callback;
  void* context;
  long found = 0;
  ScanRecord record;

  void Message(const ScannedMessage& m) {
    record.number = m.number;
    record.parent = m.parent;
    record.logOffset = m.logOffset;
    record.date = m.date;
    record.flags = m.flags;
    record.thread = m.thread;
    record.subject = m.fields.subject;
    record.messageId = m.fields.messageId;
    Hand();
  }
  void Record(const RecordView& v, const LogReaderNotices& notices) {
    const char* p = v.notices;
    for (int i = 0; i < v.head.notices; ++i) {
      const char kind = *p++;
      if (kind == 'b' && notices.box) notices.box(p);
      if (kind == 's' && notices.status) notices.status(p);
      p = PassText(p);
    }
    record.number = static_cast<long>(v.head.number);
    record.parent = static_cast<long>(v.head.parent);
    record.logOffset = static_cast<uint32_t>(v.head.start);
    record.date = static_cast<time_t>(v.head.date);
    record.flags = v.head.flags;
    record.thread = ThreadRecord();
    CopyScanText(record.thread.author, v.author, sizeof record.thread.author - 1);
    CopyScanText(record.thread.subject, v.threadSubject, sizeof record.thread.subject - 1);
    record.subject = v.subject;
    record.messageId = v.messageId;
    Hand();
  }
  void Hand() {
    ++found;
    if (callback) callback(context, record);
  }
};

// Where each worker's piece begins; the calling thread walks the log up to
// the first of them itself, handing its messages over as it finds them, and
// then takes the workers' messages. Its piece is half the size of theirs, as
// handing over costs it about as much again as the walk. None for a walk on
// the calling thread alone.
std::vector<long> PieceStarts(const ParallelScanSetup& setup, int threads) {
  const long logSize = std::max(0L, setup.logSize);
  std::vector<long> starts;
  if (threads <= 1) return starts;
  if (setup.pieceBytes > 0) {
    for (long at = setup.pieceBytes; at < logSize && at > 0; at += setup.pieceBytes) starts.push_back(at);
    return starts;
  }
  const long pieces = std::min<long>(threads - 1, logSize / kSmallestAutomaticPiece - 1);
  if (pieces < 1) return starts;
  const long unit = static_cast<long>(static_cast<double>(logSize) / (static_cast<double>(pieces) + 0.5));
  for (long k = 0; k < pieces; ++k) starts.push_back(unit / 2 + k * unit);
  return starts;
}

}  // namespace

int ParallelScanThreads(const ParallelScanSetup& setup) {
  if (!setup.opener.open || !setup.opener.close) return 1;
  if (setup.threads > 0) return std::min(setup.threads, kMostThreads);
  const int processors = static_cast<int>(std::thread::hardware_concurrency());
  return std::max(1, std::min(processors, kMostAutomaticThreads));
}

long ScanTopicLogParallel(LogReader& r, const ScanOptions& o, const ParallelScanSetup& setup,
                          ScanRecordCallback callback, void* context) {
  if (!r.open) return 0;
  const WholeLogReading reading(r);
  if (!reading.Started()) return 0;
  const TopicLogWalker walker(o);
  static ScannedMessage m;
  Delivery delivery(callback, context);

  const int threads = ParallelScanThreads(setup);
  const std::vector<long> starts = PieceStarts(setup, threads);
  const long pieceCount = static_cast<long>(starts.size());
  Walk w(walker, setup);
  w.scrambled = r.scrambled;
  w.suppressHeaderWarning = r.suppressHeaderWarning;
  std::vector<std::thread> workers;
  struct StopWorkers {
    Walk& w;
    std::vector<std::thread>& workers;
    ~StopWorkers() {
      w.cancel = true;
      for (std::thread& t : workers) t.join();
    }
  } stopWorkers{w, workers};
  if (pieceCount > 0) {
    const long smallest = setup.pieceBytes > 0 ? setup.pieceBytes : starts[0];
    const size_t blockBytes = std::clamp(static_cast<size_t>(smallest / 8), kSmallestBlockBytes, kUsualBlockBytes);
    for (size_t k = 0; k < starts.size(); ++k) {
      auto piece = std::make_unique<Piece>();
      piece->from = starts[k];
      piece->cut = k + 1 < starts.size() ? starts[k + 1] : LONG_MAX;
      piece->blockBytes = blockBytes;
      w.pieces.push_back(std::move(piece));
    }
    auto& kits = Kits();
    const size_t wanted = static_cast<size_t>(std::min<long>(threads - 1, pieceCount));
    while (kits.size() < wanted) kits.push_back(std::make_unique<WorkerKit>());
    for (size_t i = 0; i < wanted; ++i) {
      try {
        workers.emplace_back(Worker, std::ref(w), std::ref(*kits[i]));
      } catch (const std::system_error&) {
        break;
      }
    }
    // With no worker at all the pieces stay unwalked: the walk below goes
    // on alone.
    if (workers.empty()) w.pieces.clear();
  }

  // The walk stands at `at`, every message before it handed over; the
  // calling thread's reader stands at readerAt.
  long at = 0, readerAt = 0;
  size_t k = 0;
  std::unique_ptr<PieceReader> piece;
  for (;;) {
    Meeting meeting = Meeting::kPassed;
    while (k < w.pieces.size()) {
      if (!piece) piece = std::make_unique<PieceReader>(*w.pieces[k]);
      meeting = MeetAt(*piece, at);
      if (meeting != Meeting::kPassed) break;
      piece.reset();
      ++k;
    }
    if (k < w.pieces.size() && meeting == Meeting::kMet) {
      RecordView v;
      while (piece->Peek(v)) {
        piece->Pass();
        delivery.Record(v, r.notices);
      }
      at = piece->End();
      piece.reset();
      ++k;
      continue;
    }
    // No piece's walk stands here: one step on this thread.
    if (readerAt != at) {
      if (msgseek(r, at) < 0) break;
      readerAt = at;
    }
    const int step = walker.Step(r, m);
    if (step < 0) break;
    if (step == 1) delivery.Message(m);
    at = readerAt = msgtell(r);
  }
  return delivery.found;
}
