// The walk behind the message view: one pass over a stored message that
// chooses the header lines to show, follows the MIME structure with a stack
// of boundaries, and hands parts to the decoders.
#include "compose/mime_walker.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/small_text.h"
#include "core/text1252.h"

namespace {

constexpr char kShortList[] =
    "filename:;file-size:;fm:;from:;to:;cc:;bcc:;subject:;subj:;newsgroups:;date:;followup-to:;";
constexpr char kLongTail[] = "reply-to:;message-id:;references:;in-reply-to:;organisation:;organization:;";
constexpr char kQuotedMessage[] = "____________________Quoted Message____________________\n";
constexpr char kDefaultType[] = "text/plain; charset=us-ascii";
constexpr size_t kFieldSize = 200;
constexpr long kProgressMinimum = 64000;

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }
bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (ToLower1252(static_cast<unsigned char>(*text)) != ToLower1252(static_cast<unsigned char>(*prefix)))
      return false;
  return true;
}

// Table defaults: files through the C library, everything else silent.
void NoText(void*, const char*, bool) {}
void NoNotice(void*, const char*) {}
long NoPosition(void*) { return 0; }
void NoClear(void*, long) {}
void* StdioCreate(void*, const char* path, bool binary) { return std::fopen(path, binary ? "wb" : "w"); }
bool StdioWrite(void*, void* file, const void* bytes, size_t size) {
  return std::fwrite(bytes, 1, size, static_cast<FILE*>(file)) == size;
}
bool StdioClose(void*, void* file) { return std::fclose(static_cast<FILE*>(file)) == 0; }
bool StdioExists(void*, const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}
void StdioErase(void*, const char* path) { std::remove(path); }
bool NoHtml(void*, const char*) { return false; }
void RtfAsText(void*, const char*, size_t) {}
bool NoPicture(void*, const char*) { return false; }
int AskCancel(void*, const char*, bool*) { return 3; }
bool NoSaveAs(void*, char*, size_t) { return false; }
void NoStore(void*, int) {}
void NoProgress(void*, int) {}
bool NotCancelled(void*) { return false; }
bool NoSubject(void*, long, char*, size_t) { return false; }
long NoMessage(void*, const char*) { return 0; }
long NoOpen(void*, long) { return -1; }

// A file as a log source, for an enclosed message written to a scratch file.
long FileRead(void* context, char* buffer, size_t size) {
  size_t n = std::fread(buffer, 1, size, static_cast<FILE*>(context));
  return n ? static_cast<long>(n) : (std::ferror(static_cast<FILE*>(context)) ? -1 : 0);
}
long FileSeek(void* context, long offset) {
  return std::fseek(static_cast<FILE*>(context), offset, SEEK_SET) == 0 ? offset : -1;
}

struct Level {
  std::string boundary;  // "--" and the parameter
  bool alternative = false;
  bool chosen = false;  // the chooser moved to the preferred alternative
  int parts = 0;
};

// Thrown nowhere: a pass ends with one of these.
enum class PassEnd { Done, Cancelled, Rebuild, Restart };

class Walker {
 public:
  explicit Walker(MimeWalk& walk) : w_(walk), o_(walk.options), out_(walk.out) {}
  long Run();

 private:
  struct Mark {
    long offset;
    long remaining;
    size_t stored;
  };

  // Reading.
  bool Next();
  void Back() { pushed_ = true; }
  Mark Tell() const;
  void Seek(const Mark& mark);
  void Progress();
  bool Cancelled();

  // The pass.
  PassEnd Pass();
  void ResetState();
  int MatchBoundary(bool* closing) const;
  void HeaderField();
  void EndOfHeader();
  bool Dispatch();  // true when the part was consumed
  void Body();
  void Show(const char* text, bool header);
  void Notice(const char* text);
  bool ShownField(const char* text) const;

  // Parts.
  int DecodeMimePart(const char* enclosedPath);
  int ShowTextBody();
  // The body line in hand as bytes: base64 (its state carried from line to
  // line) or the line itself, quoted-printable decoded when the part is.
  size_t DecodeBodyLine(Base64Decoder& decoder, bool base64, unsigned char* bytes, bool* dataRead);
  // Writes the decoder's last bytes and closes the part's file; false when
  // either failed.
  bool FinishPartFile(void* file, Base64Decoder& decoder, bool base64, unsigned char* bytes);
  // The part's header fields are done with once its body is.
  void ForgetPartHeader() {
    type_.clear();
    encoding_.clear();
    disposition_.clear();
  }
  bool ChooseAlternative();
  void Enclosed();
  void DecodeUuencoded();
  void SplitPosting();
  bool StopLine(bool base64, bool dataRead);
  void SavedNotice(const std::string& path, bool wrote, const std::string& name);
  std::string TempName();
  void StoreReplacement(const std::string& notice);

  MimeWalk& w_;
  MimeOptions& o_;
  const MimeOutput& out_;

  // The current line: as stored (with its line end) and as text.
  char line_[kHeaderBufferSize + 2];
  size_t lineLength_ = 0;
  char text_[kHeaderBufferSize + 2];
  bool pushed_ = false;
  long lineStart_ = 0;
  long lineCount_ = 0;
  size_t storedBefore_ = 0;  // the stored copy's length before the current line

  long total_ = 0;
  long sinceProgress_ = 0;
  long progressStep_ = 1000;
  bool cancelled_ = false;
  PassEnd end_ = PassEnd::Done;
  long restartNumber_ = 0;
  long startPosition_ = 0;

  // Display state of one pass.
  bool inHeader_ = false;
  bool topHeader_ = true;
  bool headerJustEnded_ = false;
  bool firstLineOfMessage_ = true;
  bool mime_ = false;
  bool multipartOff_ = false;  // the rebuild of a multipart whose boundary never came
  bool declaredMultipart_ = false;
  int boundaryCount_ = 0;
  bool qp_ = false;
  bool shownAny_ = false;
  bool fieldShown_ = false;
  int contentField_ = 0;   // 1 type, 2 encoding, 3 disposition: the field continuation lines extend
  bool skipping_ = false;  // the alternative is over: lines up to the enclosing boundary are passed
  bool beginSeen_ = false;
  int uuRun_ = 0;
  std::string type_, encoding_, disposition_;
  std::string headerList_;
  char sender_[101] = "";
  std::vector<Level> levels_;
  size_t partHeaderStored_ = 0;  // where the current part's header began in the stored copy
  size_t topBodyStored_ = 0;     // where the message's own body begins in it
  long followNumber_ = 0;        // the message whose lines are being read
};

bool Walker::Cancelled() {
  if (!cancelled_ && out_.cancelled(out_.context)) cancelled_ = true;
  return cancelled_;
}

bool Walker::Next() {
  if (pushed_) {
    pushed_ = false;
    return true;
  }
  if (w_.remaining <= 0 || !w_.reader->open) return false;
  lineStart_ = msgtell(*w_.reader);
  long n = readmsgline(*w_.reader);
  if (n <= 0) return false;
  lineCount_ = n;
  w_.remaining -= n;
  lineLength_ = w_.reader->lineLength < kHeaderBufferSize ? w_.reader->lineLength : kHeaderBufferSize;
  std::memcpy(line_, w_.reader->line, lineLength_);
  line_[lineLength_] = 0;
  size_t t = lineLength_;
  while (t && (line_[t - 1] == '\n' || line_[t - 1] == '\r')) --t;
  std::memcpy(text_, line_, t);
  text_[t] = 0;
  if (w_.stored) {
    storedBefore_ = w_.stored->size();
    w_.stored->append(line_, lineLength_);
  }
  sinceProgress_ += n;
  if (sinceProgress_ > progressStep_) Progress();
  return true;
}

Walker::Mark Walker::Tell() const {
  if (pushed_) return {lineStart_, w_.remaining + lineCount_, storedBefore_};
  return {msgtell(*w_.reader), w_.remaining, w_.stored ? w_.stored->size() : 0};
}

void Walker::Seek(const Mark& mark) {
  msgseek(*w_.reader, mark.offset);
  w_.remaining = mark.remaining;
  pushed_ = false;
  if (w_.stored) w_.stored->resize(mark.stored);
}

void Walker::Progress() {
  sinceProgress_ = 0;
  if (total_ > kProgressMinimum && w_.depth == 0)
    out_.progress(out_.context, static_cast<int>((static_cast<double>(total_ - w_.remaining) * 100) / total_));
}

void Walker::ResetState() {
  inHeader_ = w_.ownHeader;
  topHeader_ = true;
  headerJustEnded_ = false;
  firstLineOfMessage_ = true;
  mime_ = false;
  declaredMultipart_ = false;
  boundaryCount_ = 0;
  qp_ = false;
  shownAny_ = false;
  fieldShown_ = false;
  contentField_ = 0;
  skipping_ = false;
  beginSeen_ = false;
  uuRun_ = 0;
  type_ = kDefaultType;
  encoding_ = "7bit";
  disposition_.clear();
  sender_[0] = 0;
  levels_.clear();
  followNumber_ = w_.number;
  if (o_.headerMode == 3) {
    headerList_ = std::string(kShortList) + kLongTail;
  } else if (o_.headerMode == 2) {
    headerList_ = "~";
  } else {
    headerList_ = kShortList;
  }
  if (o_.appendAlign && w_.number > 0) {
    size_t at = headerList_.find("newsgroups:;");
    if (at != std::string::npos) headerList_.erase(at, 12);
  }
}

void Walker::Show(const char* text, bool header) {
  if (!header && !*text && !shownAny_) return;
  shownAny_ = true;
  out_.text(out_.context, text, header);
}

void Walker::Notice(const char* text) {
  shownAny_ = true;
  out_.notice(out_.context, text);
}

// Index of the level whose boundary the line begins, innermost first; -1 for none.
int Walker::MatchBoundary(bool* closing) const {
  for (int i = static_cast<int>(levels_.size()) - 1; i >= 0; --i) {
    const std::string& b = levels_[i].boundary;
    const char* rest = nullptr;
    if (StartsWith(text_, b.c_str())) {
      rest = text_ + b.size();
    } else if (text_[0] == '-' && text_[1] == '-' && StartsWith(text_ + 2, b.c_str())) {
      rest = text_ + 2 + b.size();
    }
    if (rest) {
      *closing = rest[0] == '-' && rest[1] == '-';
      return i;
    }
  }
  return -1;
}

bool Walker::ShownField(const char* text) const {
  if (o_.headerMode == 0 || StartsWith(text, "-- ")) return true;
  const char* colon = std::strchr(text, ':');
  if (!colon || colon - text >= 60) return false;
  std::string key(text, colon + 1);
  for (char& c : key) c = static_cast<char>(ToLower1252(static_cast<unsigned char>(c)));
  key += ';';
  // Entries are whole: "to:;" must not match inside "followup-to:;".
  size_t at = headerList_.find(key);
  while (at != std::string::npos && at != 0 && headerList_[at - 1] != ';') at = headerList_.find(key, at + 1);
  return at != std::string::npos;
}

void Walker::HeaderField() {
  const char* colon = std::strchr(text_, ':');
  contentField_ = 0;
  if (StartsWithNoCase(text_, "from:")) {
    if (!sender_[0]) {
      char name[101];
      ParseAddress(text_ + 5, name, sizeof name, sender_, sizeof sender_);
    }
  } else if (StartsWithNoCase(text_, "reply-to:")) {
    if (sender_[0] && o_.headerMode == 1) {
      char name[101], address[101];
      ParseAddress(text_ + 9, name, sizeof name, address, sizeof address);
      if (address[0] && !SameText1252(address, sender_) && headerList_.find("reply-to:;") == std::string::npos)
        headerList_ += "reply-to:;";
    }
  } else if (StartsWithNoCase(text_, "mime-version:")) {
    mime_ = true;
  } else if (StartsWithNoCase(text_, "content-type:")) {
    contentField_ = 1;
  } else if (StartsWithNoCase(text_, "content-transfer-encoding:")) {
    contentField_ = 2;
  } else if (StartsWithNoCase(text_, "content-disposition:")) {
    contentField_ = 3;
  }
  if (contentField_) {
    const char* value = colon + 1;
    while (*value == ' ' || *value == '\t') ++value;
    std::string& field = contentField_ == 1 ? type_ : contentField_ == 2 ? encoding_ : disposition_;
    field.assign(value, std::strlen(value) < kFieldSize ? std::strlen(value) : kFieldSize);
  }
  fieldShown_ = ShownField(text_);
  if (fieldShown_) {
    char shown[kHeaderBufferSize + 32];
    StrCopyN(shown, text_, kHeaderBufferSize);
    DecodeEncodedWords(shown);
    if (o_.appendAlign) {
      char* at = std::strstr(shown, ": ");
      if (at) {
        long column = at - shown;
        const char* tabs = column < 4 ? ":\t\t\t" : column < 6 ? ":\t\t" : ":\t";
        std::string aligned = std::string(shown, at) + tabs + (at + 2);
        StrCopyN(shown, aligned.c_str(), kHeaderBufferSize);
      }
    }
    Show(shown, true);
  }
}

void Walker::EndOfHeader() {
  inHeader_ = false;
  if (topHeader_ && w_.stored) topBodyStored_ = pushed_ ? storedBefore_ : w_.stored->size();
  contentField_ = 0;
  strtrim(&encoding_[0]);
  encoding_.resize(std::strlen(encoding_.c_str()));
  for (char& c : encoding_) c = static_cast<char>(ToLower1252(static_cast<unsigned char>(c)));
  qp_ = encoding_ == "quoted-printable";
  char boundary[kFieldSize + 1];
  if (mime_ && stristr(type_.c_str(), "multipart/") &&
      GetHeaderParam(type_.c_str(), "boundary", boundary, sizeof boundary) && boundary[0]) {
    if (topHeader_) declaredMultipart_ = true;
    if (!multipartOff_) {
      Level level;
      level.boundary = std::string("--") + boundary;
      level.alternative = stristr(type_.c_str(), "/alternative") != nullptr;
      levels_.push_back(level);
      topHeader_ = false;
      return;
    }
  }
  bool top = topHeader_;
  topHeader_ = false;
  if (!mime_) return;
  if (top && levels_.empty() && stristr(type_.c_str(), "text/plain") && encoding_ != "base64") return;
  Dispatch();
}

bool Walker::Dispatch() {
  const char* type = type_.c_str();
  bool nested = levels_.size() > 1;
  char name[kFieldSize + 1] = "";
  if (!GetHeaderParam(type, "name", name, sizeof name) &&
      !GetHeaderParam(disposition_.c_str(), "name", name, sizeof name))
    GetHeaderParam(disposition_.c_str(), "filename", name, sizeof name);
  std::string safe = SafeSaveName(name);
  bool named = !safe.empty() && IsAlnum1252(static_cast<unsigned char>(safe[0]));
  if (!nested && stristr(type, "text/")) named = false;

  bool base64 = encoding_ == "base64";
  if (stristr(type, "text/html") || stristr(type, "text/enriched") || stristr(type, "text/rtf") ||
      (stristr(type, "text/plain") && base64)) {
    if (o_.avoidHtml) return DecodeMimePart(nullptr) == 1;
    int shown = ShowTextBody();
    if (shown == 2) {
      o_.avoidHtml = true;
      end_ = PassEnd::Rebuild;
    }
    return shown != 0;
  }
  if (stristr(type, "text/plain") && !named) return false;
  if (stristr(type, "application/x-uuencode")) return false;
  if (stristr(type, "message/rfc822")) {
    Enclosed();
    return true;
  }
  if (base64 || stristr(type, ".url") || stristr(type, "application/") || stristr(type, "name="))
    return DecodeMimePart(nullptr) == 1;
  return false;
}

void Walker::Body() {
  char work[kHeaderBufferSize + 2];
  std::memcpy(work, text_, std::strlen(text_) + 1);
  if (qp_) qpdecode(work);
  if (StartsWith(text_, "begin ") && text_[6] >= '0' && text_[6] <= '7') {
    uuRun_ = 0;
    beginSeen_ = true;
    DecodeUuencoded();
    return;
  }
  if (!beginSeen_ && IsUuencodeLine(text_)) {
    if (++uuRun_ == 10) {
      SplitPosting();
      return;
    }
  } else {
    uuRun_ = 0;
  }
  Show(work, false);
}

PassEnd Walker::Pass() {
  ResetState();
  end_ = PassEnd::Done;
  while (end_ == PassEnd::Done && Next()) {
    if (Cancelled()) return PassEnd::Cancelled;
    bool closing = false;
    int level = levels_.empty() ? -1 : MatchBoundary(&closing);
    if (level >= 0) {
      skipping_ = false;
      levels_.resize(level + 1);
      Level& current = levels_[level];
      ++boundaryCount_;
      if (current.chosen || closing) {
        // The preferred alternative has been shown, or the multipart ends.
        bool chosen = current.chosen;
        levels_.resize(level);
        inHeader_ = false;
        if (chosen && !closing) {
          if (levels_.empty()) return PassEnd::Done;
          skipping_ = true;
        }
        continue;
      }
      ++current.parts;
      type_ = kDefaultType;
      encoding_ = "7bit";
      disposition_.clear();
      qp_ = false;
      inHeader_ = true;
      contentField_ = 0;
      fieldShown_ = false;
      partHeaderStored_ = w_.stored ? w_.stored->size() : 0;
      if (current.alternative && current.parts == 1 && !w_.stored && ChooseAlternative()) levels_[level].chosen = true;
      continue;
    }
    if (skipping_) continue;
    bool justEnded = headerJustEnded_;
    headerJustEnded_ = false;
    if (!inHeader_ && justEnded && topHeader_ == false && levels_.empty() && StartsWithNoCase(text_, "in-reply-to:"))
      inHeader_ = true;
    if (inHeader_) {
      bool first = firstLineOfMessage_;
      firstLineOfMessage_ = false;
      if (!text_[0]) {
        // The blank line under the message's own header stays as a gap.
        if (topHeader_) Show("", false);
        headerJustEnded_ = true;
        EndOfHeader();
        continue;
      }
      if (text_[0] == ' ' || text_[0] == '\t') {
        if (contentField_) {
          std::string& field = contentField_ == 1 ? type_ : contentField_ == 2 ? encoding_ : disposition_;
          if (field.size() < kFieldSize) field += text_;
          if (field.size() > kFieldSize) field.resize(kFieldSize);
        }
        if (fieldShown_) Show(text_, true);
        continue;
      }
      if (first && StartsWith(text_, "From ")) {
        fieldShown_ = ShownField(text_);
        if (fieldShown_) Show(text_, true);
        continue;
      }
      const char* colon = std::strchr(text_, ':');
      const char* blank = std::strchr(text_, ' ');
      if (colon && (!blank || blank > colon)) {
        HeaderField();
        continue;
      }
      // The line that ended the header is the first body line.
      Back();
      EndOfHeader();
      continue;
    }
    firstLineOfMessage_ = false;
    Body();
  }
  if (cancelled_) return PassEnd::Cancelled;
  if (end_ != PassEnd::Done) return end_;
  if (mime_ && declaredMultipart_ && boundaryCount_ == 0 && !multipartOff_ && !w_.stored) {
    multipartOff_ = true;
    return PassEnd::Rebuild;
  }
  return PassEnd::Done;
}

long Walker::Run() {
  total_ = w_.remaining;
  Mark start = Tell();
  startPosition_ = out_.position(out_.context);
  int ownBudget = 8;
  int* budget = w_.rebuilds ? w_.rebuilds : &ownBudget;
  for (int pass = 0; pass < 3; ++pass) {
    PassEnd end = Pass();
    if (end == PassEnd::Cancelled) return WALK_CANCELLED;
    if (end == PassEnd::Restart) return restartNumber_;
    // Enclosed messages share one budget, so nesting cannot multiply the passes.
    if (end == PassEnd::Done || --*budget < 0) break;
    out_.clearFrom(out_.context, startPosition_);
    Seek(start);
  }
  return WALK_DONE;
}

bool Walker::StopLine(bool base64, bool dataRead) {
  if (!levels_.empty()) {
    bool closing;
    return MatchBoundary(&closing) >= 0;
  }
  return base64 && dataRead && static_cast<unsigned char>(text_[0]) < ' ';
}

std::string Walker::TempName() {
  char name[32];
  for (int tries = 0; tries < 100000; ++tries) {
    std::snprintf(name, sizeof name, "msw%05d.tmp", std::rand() % 100000);
    std::string path = o_.tempDir + name;
    if (!out_.fileExists(out_.context, path.c_str())) return path;
  }
  return "";
}

void Walker::StoreReplacement(const std::string& notice) {
  // The part's header and data give way to a plain part holding the notice;
  // a line read ahead (the next boundary) stays after it.
  std::string ahead = pushed_ ? w_.stored->substr(storedBefore_) : "";
  if (levels_.empty()) {
    // The message itself was the attachment: its header stays, but says
    // that plain text follows.
    std::string header = w_.stored->substr(0, topBodyStored_);
    std::string kept;
    bool dropping = false;
    for (size_t at = 0; at < header.size();) {
      size_t end = header.find('\n', at);
      end = end == std::string::npos ? header.size() : end + 1;
      std::string line = header.substr(at, end - at);
      at = end;
      if (line[0] == ' ' || line[0] == '\t') {
        if (!dropping) kept += line;
        continue;
      }
      dropping = StartsWithNoCase(line.c_str(), "content-type:") ||
                 StartsWithNoCase(line.c_str(), "content-transfer-encoding:") ||
                 StartsWithNoCase(line.c_str(), "content-disposition:");
      if (line == "\r\n" || line == "\n") kept += "Content-Type: text/plain\r\n";
      if (!dropping) kept += line;
    }
    *w_.stored = kept;
  } else {
    w_.stored->resize(partHeaderStored_);
    *w_.stored += "Content-Type: text/plain\r\n\r\n";
  }
  *w_.stored += notice.substr(0, notice.find_last_not_of('\n') + 1);
  *w_.stored += "\r\n";
  storedBefore_ = w_.stored->size();
  *w_.stored += ahead;
}

void Walker::SavedNotice(const std::string& path, bool wrote, const std::string& name) {
  Notice("\n");
  if (o_.headerMode != 2) Notice("\n");
  bool skipNotice = wrote && o_.viewInline && !w_.stored && out_.placePicture(out_.context, path.c_str());
  std::string notice;
  char text[SAVED_NAME_SIZE + 100];
  if (wrote) {
    bool blank = path.find(' ') != std::string::npos;
    std::snprintf(text, sizeof text,
                  blank ? "[Attachment decoded to FILE://\"%s\"]\n" : "[Attachment decoded to FILE://%s]\n",
                  path.c_str());
  } else {
    std::snprintf(text, sizeof text, o_.extractNotice.c_str(), name.c_str());
  }
  if (!skipNotice) Notice(text);
  if (w_.stored && wrote) StoreReplacement(text);
}

int Walker::DecodeMimePart(const char* enclosedPath) {
  bool base64 = encoding_ == "base64";
  bool uu = encoding_.find("x-uuencode") != std::string::npos;
  std::string path;
  std::string safe;
  bool decode = o_.decode;
  if (enclosedPath) {
    path = enclosedPath;
    decode = true;
  } else {
    char name[kFieldSize + 1] = "";
    if (!GetHeaderParam(type_.c_str(), "name", name, sizeof name) &&
        !GetHeaderParam(disposition_.c_str(), "name", name, sizeof name))
      GetHeaderParam(disposition_.c_str(), "filename", name, sizeof name);
    safe = SafeSaveName(name);
    bool generated = false;
    if (safe.empty()) {
      if (!base64) {
        ForgetPartHeader();
        return 0;
      }
      safe = "save0000";
      generated = true;
    }
    if (safe.find('.') == std::string::npos) safe += TypeExtension(type_.c_str(), generated);
    static const char* const kApple[][2] = {
        {"mac-binhex40", ".mac-binhex40"}, {"appledouble", ".appledouble"}, {"applefile", ".applefile"}};
    for (const auto& a : kApple) {
      if (!stristr(type_.c_str(), a[0])) continue;
      size_t dot = safe.rfind('.');
      if (dot != std::string::npos) safe.resize(dot);
      safe += a[1];
      break;
    }
    if (w_.stored) {
      // The remover writes nothing: a part counts as saved when this display saved it.
      path = o_.decodePath + safe;
      bool savedHere = false;
      for (const auto& slot : w_.saved->names) savedHere = savedHere || SameText1252(slot, path.c_str());
      decode = savedHere;
    } else {
      path = MakeSaveName(o_, *w_.saved, safe, out_);
      if (decode && !ConfirmOverwrite(o_, path, out_)) decode = false;
      if (path.empty()) decode = false;
    }
  }
  void* file = nullptr;
  if (decode && !w_.stored) {
    file = out_.createFile(out_.context, path.c_str(), true);
    if (!file) {
      std::string text = "Unable to write '" + path + "'";
      Notice((text + "\n").c_str());
      return 0;
    }
    if (!enclosedPath) w_.saved->Remember(path.c_str());
  }
  Base64Decoder decoder;
  unsigned char bytes[kHeaderBufferSize + 8];
  bool dataRead = false;
  bool uuData = false;
  bool failed = false;
  progressStep_ = 32000;
  while (Next()) {
    if (Cancelled()) break;
    if (StopLine(base64, dataRead)) {
      if (!levels_.empty()) Back();
      break;
    }
    if (!file) {
      dataRead = dataRead || text_[0];
      continue;
    }
    size_t n = 0;
    const void* data = bytes;
    if (uu) {
      if (StartsWith(text_, "begin ")) {
        uuData = true;
        continue;
      }
      if (!uuData || !text_[0]) continue;
      if (StartsWith(text_, "end")) {
        uuData = false;
        continue;
      }
      int count = UudecodeLine(text_, bytes);
      n = count > 0 ? static_cast<size_t>(count) : 0;
    } else {
      n = DecodeBodyLine(decoder, base64, bytes, &dataRead);
      // Text parts keep their lines, with "\r\n" line ends.
      if (!base64 && n && bytes[n - 1] == '\n') {
        while (n && (bytes[n - 1] == '\n' || bytes[n - 1] == '\r')) --n;
        bytes[n++] = '\r';
        bytes[n++] = '\n';
      }
    }
    if (n && !out_.writeFile(out_.context, file, data, n)) failed = true;
  }
  progressStep_ = 1000;
  if (file && !FinishPartFile(file, decoder, base64, bytes)) failed = true;
  if (cancelled_) return 0;
  if (failed) {
    Notice(("Unable to write '" + path + "'\n").c_str());
    out_.eraseFile(out_.context, path.c_str());
  }
  ForgetPartHeader();
  if (enclosedPath) return failed ? 0 : 1;
  SavedNotice(path, w_.stored ? decode : file && !failed, safe);
  return 1;
}

size_t Walker::DecodeBodyLine(Base64Decoder& decoder, bool base64, unsigned char* bytes, bool* dataRead) {
  if (base64) {
    *dataRead = *dataRead || text_[0];
    return decoder.Line(text_, std::strlen(text_), bytes);
  }
  // A quoted-printable soft break joins the next line.
  char* work = reinterpret_cast<char*>(bytes);
  std::memcpy(work, line_, lineLength_ + 1);
  if (qp_) qpdecode(work);
  *dataRead = true;
  return std::strlen(work);
}

bool Walker::FinishPartFile(void* file, Base64Decoder& decoder, bool base64, unsigned char* bytes) {
  bool ok = true;
  size_t n = base64 ? decoder.Finish(bytes) : 0;
  if (n && !out_.writeFile(out_.context, file, bytes, n)) ok = false;
  if (!out_.closeFile(out_.context, file)) ok = false;
  return ok;
}

int Walker::ShowTextBody() {
  std::string path = TempName();
  bool base64 = encoding_ == "base64";
  void* file = path.empty() || w_.stored ? nullptr : out_.createFile(out_.context, path.c_str(), true);
  if (!file && !w_.stored) {
    Notice(("Unable to write '" + path + "'\n").c_str());
    return 0;
  }
  Base64Decoder decoder;
  unsigned char bytes[kHeaderBufferSize + 8];
  std::string tail;  // the last bytes written, so a tag split between lines is still seen
  bool dataRead = false;
  bool script = false;
  bool failed = false;
  bool checkScript = !stristr(type_.c_str(), "text/plain") && !stristr(type_.c_str(), "text/rtf");
  auto scriptIn = [](const std::string& text) {
    return stristr(text.c_str(), "<script") || stristr(text.c_str(), "<iframe") || stristr(text.c_str(), "<frame");
  };
  progressStep_ = 32000;
  while (Next()) {
    if (Cancelled()) break;
    if (StopLine(base64, dataRead)) {
      if (!levels_.empty()) Back();
      break;
    }
    if (!file) continue;
    size_t n = DecodeBodyLine(decoder, base64, bytes, &dataRead);
    if (checkScript && n) {
      std::string seen = tail + std::string(reinterpret_cast<char*>(bytes), n);
      for (char& c : seen)
        if (!c) c = ' ';
      if (scriptIn(seen)) {
        script = true;
        break;
      }
      tail = seen.size() > 16 ? seen.substr(seen.size() - 16) : seen;
    }
    if (n && !out_.writeFile(out_.context, file, bytes, n)) failed = true;
  }
  progressStep_ = 1000;
  if (file && !FinishPartFile(file, decoder, base64, bytes)) failed = true;
  std::string type = type_;
  ForgetPartHeader();
  if (w_.stored) return 1;
  if (cancelled_ || script) {
    out_.eraseFile(out_.context, path.c_str());
    return script ? 2 : 1;
  }
  if (failed) {
    out_.eraseFile(out_.context, path.c_str());
    Notice(("Unable to write '" + path + "'\n").c_str());
    return 1;
  }
  if (o_.headerMode != 2) Notice("\n");
  auto readAll = [&](std::string* bytesOut) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[8192];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytesOut->append(buffer, got);
    std::fclose(f);
    return true;
  };
  if (stristr(type.c_str(), "text/rtf")) {
    std::string rtf;
    readAll(&rtf);
    out_.insertRtf(out_.context, rtf.data(), rtf.size());
  } else if (stristr(type.c_str(), "text/plain")) {
    std::string body;
    readAll(&body);
    size_t at = 0;
    while (at < body.size()) {
      size_t end = body.find('\n', at);
      if (end == std::string::npos) end = body.size();
      std::string shown = body.substr(at, end - at);
      if (!shown.empty() && shown.back() == '\r') shown.pop_back();
      if (shown.size() > 3596) shown.resize(3596);
      Show(shown.c_str(), false);
      at = end + 1;
    }
  } else {
    bool rendered = false;
    if (stristr(type.c_str(), "text/enriched")) {
      std::string enriched;
      if (readAll(&enriched)) {
        std::string html = EnrichedToHtml(enriched);
        FILE* f = std::fopen(path.c_str(), "wb");
        bool written = f && std::fwrite(html.data(), 1, html.size(), f) == html.size();
        if (f && std::fclose(f) != 0) written = false;
        rendered = written && out_.renderHtml(out_.context, path.c_str());
      }
    } else {
      rendered = out_.renderHtml(out_.context, path.c_str());
    }
    if (!rendered) Notice("[Unsupported HTML]\n");
  }
  out_.eraseFile(out_.context, path.c_str());
  Notice("\n");
  return 1;
}

bool Walker::ChooseAlternative() {
  Mark start = Tell();
  Mark partStart = start;
  size_t ownLevel = levels_.size() - 1;
  bool inPartHeader = true;
  while (Next()) {
    if (Cancelled()) break;
    bool closing = false;
    int level = MatchBoundary(&closing);
    if (level >= 0 && static_cast<size_t>(level) < ownLevel) {
      Seek(start);
      return false;
    }
    if (level >= 0) {
      if (closing) break;
      partStart = Tell();
      inPartHeader = true;
      continue;
    }
    if (!inPartHeader) continue;
    if (!text_[0]) {
      inPartHeader = false;
      continue;
    }
    if (!StartsWithNoCase(text_, "content-type:")) continue;
    std::string type = text_ + 13;
    bool more;
    while ((more = Next()) && (text_[0] == ' ' || text_[0] == '\t')) type += text_;
    if (more) Back();
    bool chosen = o_.avoidHtml ? stristr(type.c_str(), "text/plain") != nullptr
                               : stristr(type.c_str(), "text/html") || stristr(type.c_str(), "text/enriched") ||
                                     stristr(type.c_str(), "text/rtf");
    if (chosen) {
      Seek(partStart);
      return true;
    }
  }
  Seek(start);
  return false;
}

void Walker::Enclosed() {
  if (w_.stored) {
    DecodeMimePart(nullptr);
    return;
  }
  if (w_.depth + 1 >= MIME_MAX_DEPTH) {
    // Deeper messages are saved as files, not shown inside one another.
    type_ = "message/rfc822; name=\"message.txt\"";
    DecodeMimePart(nullptr);
    return;
  }
  std::string path = TempName();
  if (path.empty() || DecodeMimePart(path.c_str()) != 1) {
    char text[300];
    std::snprintf(text, sizeof text, "[Unable to display message/rfc822 in %s]\r\n", path.c_str());
    Notice(text);
    if (!path.empty()) out_.eraseFile(out_.context, path.c_str());
    return;
  }
  Notice(kQuotedMessage);
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    char text[300];
    std::snprintf(text, sizeof text, "[Unable to display message/rfc822 in %s]\r\n", path.c_str());
    Notice(text);
    out_.eraseFile(out_.context, path.c_str());
    return;
  }
  auto reader = std::make_unique<LogReader>();
  LogSource source;
  source.context = f;
  source.read = FileRead;
  source.seek = FileSeek;
  LogReaderOpen(*reader, source, false);
  MimeWalk inner;
  inner.reader = reader.get();
  inner.remaining = LONG_MAX;
  inner.number = -1;
  inner.ownHeader = true;
  inner.followed = true;
  inner.depth = w_.depth + 1;
  inner.options = o_;
  inner.options.appendAlign = true;
  inner.saved = w_.saved;
  inner.out = out_;
  int budget = 8;
  inner.rebuilds = w_.rebuilds ? w_.rebuilds : &budget;
  long result = WalkMessage(inner);
  LogReaderClose(*reader);
  std::fclose(f);
  out_.eraseFile(out_.context, path.c_str());
  if (result == WALK_CANCELLED) cancelled_ = true;
}

// Part number and total of a subject: before " of " (when a digit follows)
// or around the last "/". Gives the place and length of the number.
bool PartNumbers(const std::string& subject, size_t* numberAt, size_t* numberLength, int* number, int* total) {
  size_t sep = std::string::npos;
  size_t sepLength = 0;
  for (size_t at = subject.find(" of "); at != std::string::npos; at = subject.find(" of ", at + 1)) {
    if (at + 4 < subject.size() && subject[at + 4] >= '0' && subject[at + 4] <= '9') {
      sep = at;
      sepLength = 4;
    }
  }
  if (sep == std::string::npos) {
    sep = subject.rfind('/');
    sepLength = 1;
  }
  if (sep == std::string::npos || sep == 0) return false;
  size_t begin = sep;
  while (begin > 0 && subject[begin - 1] >= '0' && subject[begin - 1] <= '9') --begin;
  if (begin == sep) return false;
  *numberAt = begin;
  *numberLength = sep - begin;
  *number = std::atoi(subject.substr(begin, sep - begin).c_str());
  *total = std::atoi(subject.c_str() + sep + sepLength);
  return true;
}

std::string WithNumber(const std::string& subject, size_t at, size_t length, int number, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, number);
  return subject.substr(0, at) + text + subject.substr(at + length);
}

void Walker::DecodeUuencoded() {
  std::string name = text_ + 6;
  size_t blank = name.find(' ');
  name = blank == std::string::npos ? "" : name.substr(blank + 1);
  std::string safe = SafeSaveName(name.c_str());
  if (safe.empty()) safe = "save0000";
  std::string path;
  bool decode = o_.decode;
  size_t storedAt = w_.stored ? storedBefore_ : 0;
  if (w_.stored) {
    path = o_.decodePath + safe;
    bool savedHere = false;
    for (const auto& slot : w_.saved->names) savedHere = savedHere || SameText1252(slot, path.c_str());
    decode = savedHere;
  } else {
    path = MakeSaveName(o_, *w_.saved, safe, out_);
    if (decode && !ConfirmOverwrite(o_, path, out_)) decode = false;
    if (path.empty()) decode = false;
  }
  void* file = nullptr;
  if (decode && !w_.stored) {
    file = out_.createFile(out_.context, path.c_str(), true);
    if (!file) {
      Notice(("Unable to write '" + path + "'\n").c_str());
      return;
    }
    w_.saved->Remember(path.c_str());
  }
  unsigned char bytes[64];
  bool failed = false;
  bool ended = false;
  progressStep_ = 32000;
  for (;;) {
    bool more = Next();
    if (more && Cancelled()) break;
    bool broken = !more || StartsWith(text_, "==========");
    if (more && !broken) {
      if (!text_[0]) continue;
      if (std::strcmp(text_, "end") == 0 || StartsWith(text_, "end ")) {
        ended = true;
        break;
      }
      int n = UudecodeLine(text_, bytes);
      if (n >= 0) {
        if (file && n && !out_.writeFile(out_.context, file, bytes, static_cast<size_t>(n))) failed = true;
        continue;
      }
      broken = true;
    }
    if (more) Back();
    // The data stops short of "end": its next part may be another posting.
    if (!o_.multiPart || w_.stored) {
      char text[SAVED_NAME_SIZE + 100];
      std::snprintf(text, sizeof text, "[Unable to decode the attachment %s - unexpected end of message]\n",
                    safe.c_str());
      Notice(text);
      break;
    }
    char subject[kHeaderBufferSize];
    std::string sought;
    long found = 0;
    size_t at, length;
    int number, total;
    if (out_.messageSubject(out_.context, followNumber_, subject, sizeof subject) &&
        PartNumbers(subject, &at, &length, &number, &total) && total >= 2 && number >= 1) {
      int width = total > 99 ? 3 : total > 9 ? 2 : 1;
      sought = WithNumber(subject, at, length, number + 1, width);
      std::string status = "Locating message part \"" + sought + "\"";
      out_.status(out_.context, status.c_str());
      found = out_.findSubject(out_.context, sought.c_str());
      if (!found && subject[at] == '0') {
        for (int narrower = width - 1; !found && narrower >= 1; --narrower) {
          std::string other = WithNumber(subject, at, length, number + 1, narrower);
          found = out_.findSubject(out_.context, other.c_str());
        }
      }
    }
    long remaining = found ? out_.openMessage(out_.context, found) : -1;
    if (remaining < 0) {
      std::string text = "[Unable to find other parts of the multi-part attachment, missing part Subject: \"" +
                         (sought.empty() ? std::string(subject) : sought) + "\"]\n";
      Notice(text.c_str());
      break;
    }
    // Go on in the other posting: past its header to its first data line.
    pushed_ = false;
    w_.remaining = remaining;
    followNumber_ = found;
    bool header = w_.ownHeader;
    while (Next()) {
      if (header) {
        header = text_[0] != 0;
        continue;
      }
      if (text_[0] == 'M' && !std::strchr(text_, ' ')) {
        Back();
        break;
      }
    }
  }
  progressStep_ = 1000;
  if (file && !out_.closeFile(out_.context, file)) failed = true;
  if (cancelled_) return;
  if (failed) {
    Notice(("Unable to write '" + path + "'\n").c_str());
    out_.eraseFile(out_.context, path.c_str());
    return;
  }
  if (!ended) return;
  if (w_.stored) partHeaderStored_ = storedAt;
  if (w_.stored && decode) {
    // The begin line and the data give way to the notice.
    w_.stored->resize(storedAt);
    char text[SAVED_NAME_SIZE + 100];
    bool blankIn = path.find(' ') != std::string::npos;
    std::snprintf(text, sizeof text,
                  blankIn ? "[Attachment decoded to FILE://\"%s\"]\r\n" : "[Attachment decoded to FILE://%s]\r\n",
                  path.c_str());
    *w_.stored += text;
    return;
  }
  SavedNotice(path, file != nullptr, safe);
}

void Walker::SplitPosting() {
  if (o_.multiPart && !w_.followed && !w_.stored && w_.number > 0) {
    char subject[kHeaderBufferSize];
    size_t at, length;
    int number, total;
    if (out_.messageSubject(out_.context, w_.number, subject, sizeof subject) &&
        PartNumbers(subject, &at, &length, &number, &total) && number != 1) {
      std::string first = subject;
      first.replace(at, length, "1");
      long found = out_.findSubject(out_.context, first.c_str());
      if (found > 0 && found != w_.number) {
        restartNumber_ = found;
        end_ = PassEnd::Restart;
        return;
      }
    }
  }
  out_.clearFrom(out_.context, startPosition_);
  char text[200];
  std::snprintf(text, sizeof text, o_.multipartNotice.c_str(), "");
  // The notice's "%s" stands for a name this posting does not carry.
  std::string notice = text;
  size_t gap = notice.find(" ?]");
  if (gap != std::string::npos) notice.erase(gap, 1);
  Notice(notice.c_str());
  while (Next()) {
    if (StartsWith(text_, "end")) break;
    int count = text_[0] == '`' ? 0 : static_cast<unsigned char>(text_[0]) - 32;
    size_t expected = count > 0 ? static_cast<size_t>((count + 2) / 3 * 4 + 1) : 1;
    if (std::strlen(text_) < expected || count < 0 || count > 45) {
      Back();
      break;
    }
  }
  uuRun_ = 0;
}

}  // namespace

MimeOutput MakeMimeOutput(void* context) {
  MimeOutput out;
  out.context = context;
  out.text = NoText;
  out.notice = NoNotice;
  out.position = NoPosition;
  out.clearFrom = NoClear;
  out.createFile = StdioCreate;
  out.writeFile = StdioWrite;
  out.closeFile = StdioClose;
  out.fileExists = StdioExists;
  out.eraseFile = StdioErase;
  out.renderHtml = NoHtml;
  out.insertRtf = RtfAsText;
  out.placePicture = NoPicture;
  out.askOverwrite = AskCancel;
  out.askSaveAs = NoSaveAs;
  out.storeWarning = NoStore;
  out.status = NoNotice;
  out.progress = NoProgress;
  out.cancelled = NotCancelled;
  out.messageSubject = NoSubject;
  out.findSubject = NoMessage;
  out.openMessage = NoOpen;
  return out;
}

long WalkMessage(MimeWalk& walk) {
  if (!walk.reader || !walk.saved) return WALK_DONE;
  if (walk.source) {
    // As stored: every line, its line end made "\r\n" by the view.
    while (walk.remaining > 0) {
      if (walk.out.cancelled(walk.out.context)) return WALK_CANCELLED;
      long n = readmsgline(*walk.reader);
      if (n <= 0) break;
      walk.remaining -= n;
      std::string text(walk.reader->line, walk.reader->lineLength);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      walk.out.text(walk.out.context, text.empty() ? " " : text.c_str(), false);
    }
    return WALK_DONE;
  }
  auto walker = std::make_unique<Walker>(walk);
  return walker->Run();
}
