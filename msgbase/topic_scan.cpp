#include "msgbase/topic_scan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/text1252.h"
#include "msgbase/scan_text.h"

namespace {

// The code page's upper-case map as a table: the walk compares names on
// every message.
struct UpperMap {
  unsigned char c[256];
  UpperMap() {
    for (int i = 0; i < 256; ++i) c[i] = ToUpper1252(static_cast<unsigned char>(i));
  }
};
const UpperMap& Upper() {
  static const UpperMap map;
  return map;
}

bool EqualsNoCase(const char* a, const char* b) {
  const unsigned char* upper = Upper().c;
  for (; *a && *b; ++a, ++b)
    if (upper[static_cast<unsigned char>(*a)] != upper[static_cast<unsigned char>(*b)]) return false;
  return *a == *b;
}

// The service's name patterns (MatchNameList's ";"-separated list), split
// and prepared once for the whole walk rather than once per name matched.
class NameMatcher {
 public:
  explicit NameMatcher(const char* list) {
    if (!list) return;
    for (const char* p = list; *p;) {
      const char* end = p;
      while (*end && *end != ';') ++end;
      // A pattern is cut as MatchNameList cuts it.
      std::string pattern(p, std::min<size_t>(static_cast<size_t>(end - p), kLongest));
      for (char& c : pattern)
        if (c == '_') c = ' ';
      if (!pattern.empty()) patterns_.push_back(std::move(pattern));
      if (!*end) break;
      p = end + 1;
    }
  }
  bool Empty() const { return patterns_.empty(); }
  // MatchNameList(name, list).
  bool Matches(const char* name) const {
    if (!name || !*name || patterns_.empty()) return false;
    // Most names hold no "_" and are matched where they are.
    size_t n = 0;
    bool underscore = false;
    for (; n < kLongest && name[n]; ++n) underscore |= name[n] == '_';
    const char* subject = name;
    char copy[kLongest + 1];
    if (underscore || name[n]) {
      for (size_t i = 0; i < n; ++i) copy[i] = name[i] == '_' ? ' ' : name[i];
      copy[n] = 0;
      subject = copy;
    }
    for (const std::string& pattern : patterns_)
      if (WildMatch(subject, pattern.c_str())) return true;
    return false;
  }

 private:
  static constexpr size_t kLongest = 511;
  std::vector<std::string> patterns_;
};

// The date text the index is built from. In the separator form, separators
// inside the date ("12-Mar-1996", "3/5/96", "Tue,") become blanks; a "-" that
// starts a word before a digit is a zone's sign and stays.
void MessageDateText(const MessageHeader& h, char* out, size_t size) {
  CopyScanText(out, h.dateText, size - 1);
  if (h.singleLine) return;
  for (char* p = out; *p; ++p) {
    bool zoneSign = *p == '-' && (p == out || p[-1] == ' ') && p[1] >= '0' && p[1] <= '9';
    if ((*p == '-' && !zoneSign) || *p == '/' || *p == ',') *p = ' ';
  }
  // ltrim
  size_t lead = 0;
  while (out[lead] == ' ') ++lead;
  if (lead)
    for (size_t i = 0;; ++i)
      if (!(out[i] = out[i + lead])) break;
}

// Who a mail message was sent to, as the thread list shows it: the name, or
// the address when there is none.
void RecipientText(const ScanOptions& o, const char* recipients, char* text, size_t textSize, char* address,
                   size_t addressSize) {
  char name[100];
  ParseAddress(recipients, name, sizeof name, address, addressSize);
  StrCopyN(text, name[0] ? name : address, textSize - 1);
  strtrim(text);
  size_t n = std::strlen(text);
  if (n && text[n - 1] == ',') text[n - 1] = 0;
  if (o.kind.quorl) {
    for (const char* domain : o.quorlMailDomains)
      if (domain && domain[0])
        while (strirepl(text, domain, "") == 0) {}
  }
}

uint16_t InvolvementFlags(const ScanOptions& o, const NameMatcher& names, const ScannedMessage& m) {
  // Nothing to match against: the sender need not be parsed.
  if (!(o.nameList && o.nameList[0]) && !(o.identity && o.identity[0]) && !(o.personalAddress && o.personalAddress[0]))
    return 0;
  char senderName[100], senderAddress[100];
  ParseAddress(m.fields.sender, senderName, sizeof senderName, senderAddress, sizeof senderAddress);
  uint16_t flags = 0;
  const char* author = m.header.author;
  if (!names.Empty() && (names.Matches(author) || (senderName[0] && names.Matches(senderName)) ||
                         (senderAddress[0] && names.Matches(senderAddress))))
    flags |= kMsgConcernsUser;
  bool byUser = false;
  if (o.identity && o.identity[0] && (EqualsNoCase(o.identity, author) || EqualsNoCase(o.identity, senderAddress)))
    byUser = true;
  if (o.personalAddress && o.personalAddress[0] && EqualsNoCase(o.personalAddress, senderAddress)) byUser = true;
  if (o.kind.quorl && o.identity && o.identity[0] && o.quorlMailDomains[0] && o.quorlMailDomains[0][0]) {
    char own[200];
    const char* domain = o.quorlMailDomains[0];
    std::snprintf(own, sizeof own, "%s%s%s", o.identity, domain[0] == '@' ? "" : "@", domain);
    if (EqualsNoCase(own, author) || EqualsNoCase(own, senderAddress)) byUser = true;
  }
  if (byUser) flags |= kMsgByUser;
  return flags;
}

bool TracksHeaderOnly(const ScanOptions& o) {
  if (o.kind.dravenet) return true;
  return o.kind.news && !stristr(o.folderName ? o.folderName : "", ":actions/information");
}

}  // namespace

struct TopicLogWalker::Prepared {
  explicit Prepared(const ScanOptions& o) : names(o.nameList), tracksHeaderOnly(TracksHeaderOnly(o)) {}
  const NameMatcher names;
  const bool tracksHeaderOnly;
};

TopicLogWalker::TopicLogWalker(const ScanOptions& options)
    : options_(options), prepared_(std::make_unique<Prepared>(options)) {}

TopicLogWalker::~TopicLogWalker() = default;

int TopicLogWalker::Step(LogReader& r, ScannedMessage& m, long* start, void (*headerParsed)(void*),
                         void* context) const {
  const ScanOptions& o = options_;
  // Only a line beginning "=" or ">" can open a message.
  SkipUnwantedLines(r, "=>", nullptr);
  long offset = msgtell(r);
  if (readmsgline(r) == 0) return -1;
  long number = IsMessageStart(r, &m.header);
  if (!number) return 0;
  if (headerParsed) headerParsed(context);
  if (start) *start = offset;
  // Every other member is set below; the thread record's fields are
  // filled by prefix, so it starts clear.
  m.thread = ThreadRecord();
  m.number = number;
  m.parent = m.header.parent;
  m.logOffset = static_cast<uint32_t>(offset);
  m.size = m.header.size;
  MessageDateText(m.header, m.dateText, sizeof m.dateText);
  m.date = o.parseDate && m.dateText[0] ? o.parseDate(m.dateText) : 0;

  GetMessageFields(r, o.kind, m.fields);
  // Lines GetMessageFields left unread (it stops at a base64 body) still
  // count for the header-only mark.
  bool headerOnly = m.fields.headerOnlyMarker;
  while (r.remaining > 0) {
    SkipUnwantedLines(r, "O*", &r.remaining);  // lines that cannot be the notice
    if (r.remaining <= 0) break;
    long n = readmsgline(r);
    if (n <= 0) break;
    r.remaining -= n;
    if (IsHeaderOnlyLine(r.line)) headerOnly = true;
  }

  CopyScanText(m.thread.author, m.header.author, sizeof m.thread.author - 1);
  if (m.parent < 1) {
    CopyScanText(m.thread.subject, m.fields.subject, sizeof m.thread.subject - 1);
    if (o.kind.mail) {
      char text[100], address[100];
      RecipientText(o, m.fields.recipients, text, sizeof text, address, sizeof address);
      bool toUser = (o.identity && o.identity[0] && EqualsNoCase(address, o.identity)) ||
                    (o.kind.dravenet && EqualsNoCase(address, "you"));
      if (toUser) {
        m.thread.author[0] = '!';
        CopyScanText(m.thread.author + 1, text, 23);
      }
    }
  } else {
    CopyScanText(m.thread.subject, m.fields.summary, sizeof m.thread.subject - 1);
  }

  m.flags = InvolvementFlags(o, prepared_->names, m);
  if (prepared_->tracksHeaderOnly && headerOnly) m.flags |= kMsgHeaderOnly;
  return 1;
}

WholeLogReading::WholeLogReading(LogReader& reader) : reader_(reader) {
  static char largeBlock[kScanBlockSize + 1];
  LogReaderUseBlock(reader_, largeBlock, kScanBlockSize);
  started_ = msgseek(reader_, 0) >= 0;
}

WholeLogReading::~WholeLogReading() { LogReaderUseBlock(reader_, nullptr, 0); }

long ScanTopicLog(LogReader& r, const ScanOptions& o, ScanCallback callback, void* context) {
  if (!r.open) return 0;
  const WholeLogReading reading(r);
  if (!reading.Started()) return 0;
  static ScannedMessage m;
  long found = 0;
  const TopicLogWalker walker(o);
  for (;;) {
    int step = walker.Step(r, m);
    if (step < 0) break;
    if (step == 0) continue;
    ++found;
    if (callback) callback(context, m);
  }
  return found;
}
