// The view's walk over single messages held in memory: header modes, MIME
// structure, decoders and save names, with files written to a scratch
// directory and compared with the bytes the test encoded.
#include "compose/mime_walker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compose/tests/mime_test_util.h"

namespace {

namespace fs = std::filesystem;

struct MemorySource {
  std::string bytes;
  long position = 0;
  static long Read(void* c, char* buffer, size_t size) {
    auto* m = static_cast<MemorySource*>(c);
    long left = static_cast<long>(m->bytes.size()) - m->position;
    if (left <= 0) return 0;
    long n = left < static_cast<long>(size) ? left : static_cast<long>(size);
    std::memcpy(buffer, m->bytes.data() + m->position, n);
    m->position += n;
    return n;
  }
  static long Seek(void* c, long offset) {
    static_cast<MemorySource*>(c)->position = offset;
    return offset;
  }
};

// The display as a list of lines: "H " header, "T " text, "N " notice.
struct Display {
  std::vector<std::string> lines;
  int asked = 0;
  int answer = 3;
  bool never = false;
  int stored = -1;
  bool html = false;
  std::vector<std::string> htmlFiles;
  std::map<long, std::string> subjects;  // the folder, for split postings
  std::map<long, std::string> bodies;
  std::unique_ptr<MemorySource> other;
  LogReader* reader = nullptr;

  std::string Joined() const {
    std::string out;
    for (const auto& l : lines) out += l + "|";
    return out;
  }
  static Display& Of(void* c) { return *static_cast<Display*>(c); }
  static void Text(void* c, const char* line, bool header) {
    Of(c).lines.push_back((header ? "H " : "T ") + std::string(line));
  }
  static void Notice(void* c, const char* text) {
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    if (!t.empty()) Of(c).lines.push_back("N " + t);
  }
  static long Position(void* c) { return static_cast<long>(Of(c).lines.size()); }
  static void ClearFrom(void* c, long at) { Of(c).lines.resize(at); }
  static int Ask(void* c, const char*, bool* never) {
    ++Of(c).asked;
    *never = Of(c).never;
    return Of(c).answer;
  }
  static void Store(void* c, int answer) { Of(c).stored = answer; }
  static bool Html(void* c, const char* path) {
    std::ifstream in(path, std::ios::binary);
    Of(c).htmlFiles.push_back(std::string(std::istreambuf_iterator<char>(in), {}));
    return Of(c).html;
  }
  static bool Subject(void* c, long n, char* out, size_t size) {
    auto it = Of(c).subjects.find(n);
    if (it == Of(c).subjects.end()) return false;
    std::snprintf(out, size, "%s", it->second.c_str());
    return true;
  }
  static long Find(void* c, const char* subject) {
    for (auto& [n, s] : Of(c).subjects)
      if (s == subject) return n;
    return 0;
  }
  static long Open(void* c, long n) {
    Display& d = Of(c);
    auto it = d.bodies.find(n);
    if (it == d.bodies.end()) return -1;
    d.other = std::make_unique<MemorySource>();
    d.other->bytes = it->second;
    LogSource s{d.other.get(), MemorySource::Read, MemorySource::Seek};
    LogReaderOpen(*d.reader, s, false);
    return static_cast<long>(it->second.size());
  }
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class MimeWalkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mimewalk" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    options_.decodePath = dir_.string() + "/";
    options_.tempDir = dir_.string() + "/";
    options_.decode = true;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Shows a message; the display lines joined with "|".
  std::string Show(const std::string& message, long number = 1, bool ownHeader = true) {
    source_ = std::make_unique<MemorySource>();
    source_->bytes = message;
    reader_ = std::make_unique<LogReader>();
    LogReaderOpen(*reader_, LogSource{source_.get(), MemorySource::Read, MemorySource::Seek}, false);
    display_.lines.clear();
    display_.reader = reader_.get();
    MimeWalk walk;
    walk.reader = reader_.get();
    walk.remaining = static_cast<long>(message.size());
    walk.number = number;
    walk.ownHeader = ownHeader;
    walk.options = options_;
    walk.saved = &saved_;
    walk.stored = stored_;
    walk.out = Output();
    result_ = WalkMessage(walk);
    options_.warnBeforeOverwrite = walk.options.warnBeforeOverwrite;
    return display_.Joined();
  }
  MimeOutput Output() {
    MimeOutput out = MakeMimeOutput(&display_);
    out.text = Display::Text;
    out.notice = Display::Notice;
    out.position = Display::Position;
    out.clearFrom = Display::ClearFrom;
    out.askOverwrite = Display::Ask;
    out.storeWarning = Display::Store;
    out.renderHtml = Display::Html;
    out.messageSubject = Display::Subject;
    out.findSubject = Display::Find;
    out.openMessage = Display::Open;
    return out;
  }
  std::string Saved(const char* name) { return ReadFile(dir_ / name); }
  // As the walk names it: the decode directory's text and the name.
  std::string Path(const char* name) { return options_.decodePath + name; }
  std::vector<std::string> Files() {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  fs::path dir_;
  MimeOptions options_;
  SavedNames saved_;
  Display display_;
  std::string* stored_ = nullptr;
  long result_ = 0;
  std::unique_ptr<MemorySource> source_;
  std::unique_ptr<LogReader> reader_;
};

const std::string kMailHeader =
    "From: Ann Smith <ann@example.org>\r\n"
    "To: bob@example.org\r\n"
    "Subject: Lunch\r\n"
    "Date: Thu, 10 Dec 2026 12:00:00 +0000\r\n"
    "Message-ID: <1@example.org>\r\n"
    "X-Mailer: Quill\r\n";

TEST_F(MimeWalkerTest, HeaderModesChooseTheLinesShown) {
  const std::string same = kMailHeader + "Reply-To: ann@example.org\r\n\r\nSee you.\r\n-- \r\n";
  const std::string other = kMailHeader + "Reply-To: <desk@example.org>\r\n\r\nSee you.\r\n";
  struct Case {
    int mode;
    const std::string* message;
    const char* expected;
  } cases[] = {
      {0, &same,
       "H From: Ann Smith <ann@example.org>|H To: bob@example.org|H Subject: Lunch|"
       "H Date: Thu, 10 Dec 2026 12:00:00 +0000|H Message-ID: <1@example.org>|H X-Mailer: Quill|"
       "H Reply-To: ann@example.org|T |T See you.|T -- |"},
      {1, &same,
       "H From: Ann Smith <ann@example.org>|H To: bob@example.org|H Subject: Lunch|"
       "H Date: Thu, 10 Dec 2026 12:00:00 +0000|T |T See you.|T -- |"},
      {1, &other,
       "H From: Ann Smith <ann@example.org>|H To: bob@example.org|H Subject: Lunch|"
       "H Date: Thu, 10 Dec 2026 12:00:00 +0000|H Reply-To: <desk@example.org>|T |T See you.|"},
      {2, &same, "T See you.|T -- |"},
      {3, &same,
       "H From: Ann Smith <ann@example.org>|H To: bob@example.org|H Subject: Lunch|"
       "H Date: Thu, 10 Dec 2026 12:00:00 +0000|H Message-ID: <1@example.org>|"
       "H Reply-To: ann@example.org|T |T See you.|T -- |"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    options_.headerMode = c.mode;
    EXPECT_EQ(Show(*c.message), c.expected);
  }
}

TEST_F(MimeWalkerTest, HeaderEndsWhereAFieldCannotStand) {
  options_.headerMode = 1;
  // A folded Subject stays in the header; "Note that: x" has a blank before its colon.
  EXPECT_EQ(Show("From someone Thu Dec 10\r\nSubject: a long\r\n\tsubject\r\nNote that: body\r\nTo: not a header\r\n"),
            "H Subject: a long|H  subject|T Note that: body|T To: not a header|");
  // ">From " opens the body; encoded words in shown header lines are decoded.
  EXPECT_EQ(Show(">From the desk\r\nSubject: x\r\n"), "T >From the desk|T Subject: x|");
  EXPECT_EQ(Show("Subject: =?iso-8859-1?Q?caf=E9?=\r\n\r\nx\r\n"), "H Subject: caf\xE9|T |T x|");
  // A message stored without a header of its own shows every line as body.
  EXPECT_EQ(Show("Subject: not a header here\r\n\r\nline\r\n", 1, false), "T Subject: not a header here|T |T line|");
}

const std::string kAlternative = kMailHeader +
                                 "MIME-Version: 1.0\r\n"
                                 "Content-Type: multipart/alternative;\r\n boundary=\"alt\"\r\n\r\n"
                                 "Preamble.\r\n"
                                 "--alt\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nPlain words.\r\n"
                                 "--alt\r\nContent-Type: text/html\r\n\r\n<p>Rich words.</p>\r\n"
                                 "--alt--\r\n";

TEST_F(MimeWalkerTest, AlternativeShowsThePreferredPartOnly) {
  options_.headerMode = 2;
  display_.html = true;
  EXPECT_EQ(Show(kAlternative), "T Preamble.|");
  ASSERT_EQ(display_.htmlFiles.size(), 1u);
  EXPECT_EQ(display_.htmlFiles[0], "<p>Rich words.</p>\r\n");

  // The HTML reader fails: the notice stands for the body.
  display_.html = false;
  EXPECT_EQ(Show(kAlternative), "T Preamble.|N [Unsupported HTML]|");

  options_.avoidHtml = true;
  EXPECT_EQ(Show(kAlternative), "T Preamble.|T Plain words.|");
  EXPECT_TRUE(Files().empty());  // scratch files are gone
}

TEST_F(MimeWalkerTest, ScriptInHtmlSavesThePartInstead) {
  options_.headerMode = 2;
  display_.html = true;
  for (const char* tag : {"<script>", "<SCRIPT\ttype=x>", "<iframe src=x>", "<frameset>", "<script src=y>"}) {
    SCOPED_TRACE(tag);
    saved_.Clear();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    display_.htmlFiles.clear();
    std::string html = std::string("<p>a</p>\r\n") + tag + "\r\n";
    std::string message = kMailHeader +
                          "MIME-Version: 1.0\r\nContent-Type: text/html\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\n" +
                          Base64Encode(html, 76);
    std::string shown = Show(message);
    EXPECT_TRUE(display_.htmlFiles.empty());
    EXPECT_EQ(shown, "N [Attachment decoded to FILE://" + Path("save0000.bin") + "]|");
    EXPECT_EQ(Saved("save0000.bin"), html);
  }
}

TEST_F(MimeWalkerTest, NestedMultipartsSaveEachAttachmentByteForByte) {
  const std::string picture = Binary(3000, 1);
  const std::string sheet = Binary(1000, 2);
  const std::string notes = "caf\xE9 = 10\xA4\r\nsecond line\r\n";
  std::string message =
      kMailHeader +
      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=outer\r\n\r\n"
      "--outer\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
      "--rel\r\nContent-Type: multipart/mixed; boundary=inner\r\n\r\n"
      "--inner\r\nContent-Type: text/plain\r\n\r\nInner text.\r\n"
      "--inner\r\nContent-Type: image/jpeg; name=\"photo\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      Base64Encode(picture, 76) +
      "--inner--\r\n"
      "--rel\r\nContent-Type: application/octet-stream; name=\"sheet.xls\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n" +
      Base64Encode(sheet, 100) +
      "--rel\r\nContent-Type: text/plain; name=\"notes.txt\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "caf=E9 =3D 10=A4\r\nsecond=20=\r\nline\r\n"
      "--rel--\r\n"
      "--outer\r\nContent-Type: text/plain; name=\"shown.txt\"\r\n\r\nA named text part at the top is shown.\r\n"
      "--outer--\r\n";
  options_.headerMode = 2;
  EXPECT_EQ(Show(message), "T Inner text.|N [Attachment decoded to FILE://" + Path("photo.jpg") +
                               "]|N [Attachment decoded to FILE://" + Path("sheet.xls") +
                               "]|N [Attachment decoded to FILE://" + Path("notes.txt") +
                               "]|T A named text part at the top is shown.|");
  EXPECT_EQ(Saved("photo.jpg"), picture);
  EXPECT_EQ(Saved("sheet.xls"), sheet);
  EXPECT_EQ(Saved("notes.txt"), "caf\xE9 = 10\xA4\r\nsecond line\r\n");

  // Decoding off: the notices offer the names, nothing is written.
  saved_.Clear();
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  options_.decode = false;
  EXPECT_EQ(Show(message),
            "T Inner text.|N [Message contains attachment(s).  Extract photo.jpg?]|"
            "N [Message contains attachment(s).  Extract sheet.xls?]|"
            "N [Message contains attachment(s).  Extract notes.txt?]|T A named text part at the top is shown.|");
  EXPECT_TRUE(Files().empty());
}

TEST_F(MimeWalkerTest, Base64LinesOfAnyLengthDecode) {
  const std::string data = Binary(1001, 3);
  for (size_t length : {76u, 80u, 100u, 3u, 1000u}) {
    SCOPED_TRACE(length);
    saved_.Clear();
    std::string message =
        "MIME-Version: 1.0\r\nContent-Type: application/octet-stream; name=b.bin\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        Base64Encode(data, length) + "\r\nAfter the data.\r\n";
    options_.headerMode = 2;
    options_.warnBeforeOverwrite = 1;
    EXPECT_EQ(Show(message), "N [Attachment decoded to FILE://" + Path("b.bin") + "]|T After the data.|");
    EXPECT_EQ(Saved("b.bin"), data);
  }
}

TEST_F(MimeWalkerTest, EnclosedMessagesShowInsideOneAnother) {
  std::string inner = "From: Carl <carl@example.org>\r\nSubject: Inner\r\n\r\nInnermost text.\r\n";
  std::string middle =
      "From: Dora <dora@example.org>\r\nSubject: Middle\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=m2\r\n\r\n"
      "--m2\r\nContent-Type: text/plain\r\n\r\nMiddle text.\r\n"
      "--m2\r\nContent-Type: message/rfc822\r\n\r\n" +
      inner + "--m2--\r\n";
  std::string outer = kMailHeader +
                      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=m1\r\n\r\n"
                      "--m1\r\nContent-Type: text/plain\r\n\r\nOuter text.\r\n"
                      "--m1\r\nContent-Type: message/rfc822\r\n\r\n" +
                      middle + "--m1--\r\n";
  options_.headerMode = 1;
  EXPECT_EQ(Show(outer),
            "H From: Ann Smith <ann@example.org>|H To: bob@example.org|H Subject: Lunch|"
            "H Date: Thu, 10 Dec 2026 12:00:00 +0000|T |T Outer text.|"
            "N ____________________Quoted Message____________________|"
            "H From:\t\tDora <dora@example.org>|H Subject:\tMiddle|T |T Middle text.|"
            "N ____________________Quoted Message____________________|"
            "H From:\t\tCarl <carl@example.org>|H Subject:\tInner|T |T Innermost text.|");
  EXPECT_TRUE(Files().empty());
}

TEST_F(MimeWalkerTest, EnclosingStopsAtEightLevelsAndSavesTheRest) {
  std::string message = "Subject: level 9\r\n\r\nDeepest.\r\n";
  for (int level = 8; level >= 1; --level)
    message = "Subject: level " + std::to_string(level) +
              "\r\nMIME-Version: 1.0\r\nContent-Type: message/rfc822\r\n\r\n" + message;
  options_.headerMode = 2;
  std::string shown = Show(message);
  size_t quoted = 0;
  for (size_t at = shown.find("Quoted Message"); at != std::string::npos; at = shown.find("Quoted Message", at + 1))
    ++quoted;
  EXPECT_EQ(quoted, 7u);
  EXPECT_NE(shown.find("[Attachment decoded to FILE://" + Path("message.txt") + "]"), std::string::npos) << shown;
  EXPECT_EQ(Saved("message.txt"), "Subject: level 9\r\n\r\nDeepest.\r\n");
}

TEST_F(MimeWalkerTest, MissingBoundaryShowsTheWholeTextOnce) {
  std::string message = kMailHeader +
                        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=never\r\n\r\n"
                        "First line.\r\n--other\r\nSecond line.\r\n";
  options_.headerMode = 2;
  EXPECT_EQ(Show(message), "T First line.|T --other|T Second line.|");
}

TEST_F(MimeWalkerTest, UuencodedAttachmentsWholeAndSplitOverPostings) {
  const std::string data = Binary(2000, 4);
  options_.headerMode = 2;
  EXPECT_EQ(Show("Here it is.\r\n" + Uuencode("..\\..\\x.dat", data) + "Bye.\r\n", 1, false),
            "T Here it is.|N [Attachment decoded to FILE://" + Path("x.dat") + "]|T Bye.|");
  EXPECT_EQ(Saved("x.dat"), data);

  // Split as "1/3" to "3/3": part 1 holds the begin line.
  std::string lines = UuencodeLines(data);
  size_t cut1 = 63 * 15, cut2 = 63 * 30;
  display_.subjects = {{10, "pic.dat (1/3)"}, {11, "pic.dat (2/3)"}, {12, "pic.dat (3/3)"}};
  display_.bodies = {{11, lines.substr(cut1, cut2 - cut1)}, {12, lines.substr(cut2) + "`\r\nend\r\n"}};
  options_.multiPart = true;
  std::string part1 = "begin 644 pic.dat\r\n" + lines.substr(0, cut1);
  EXPECT_EQ(Show(part1, 10, false), "N [Attachment decoded to FILE://" + Path("pic.dat") + "]|");
  EXPECT_EQ(Saved("pic.dat"), data);

  // Opening part 2 restarts from part 1.
  Show(lines.substr(cut1, cut2 - cut1), 11, false);
  EXPECT_EQ(result_, 10);

  // Without part 3 the notice names the subject sought.
  display_.subjects.erase(12);
  saved_.Clear();
  options_.warnBeforeOverwrite = 1;
  EXPECT_EQ(Show(part1, 10, false),
            "N [Unable to find other parts of the multi-part attachment, missing part Subject: \"pic.dat (3/3)\"]|");

  // Following off: what part 2 showed goes, the notice stands.
  options_.multiPart = false;
  EXPECT_EQ(Show("Text before.\r\n" + lines.substr(cut1, cut2 - cut1) + "`\r\nend\r\nAfter.\r\n", 11, false),
            "N [Message contains multipart attachment(s).  Extract?]|T After.|");
}

TEST_F(MimeWalkerTest, SplitPartNumbersKeepTheTotalsWidth) {
  options_.headerMode = 2;
  options_.multiPart = true;
  const std::string lines = UuencodeLines(Binary(90, 5));
  struct Case {
    const char* current;
    const char* next;
  } cases[] = {{"f 9 of 10", "f 10 of 10"}, {"f 99/100", "f 100/100"}, {"f 09/10", "f 10/10"}, {"f 1/3", "f 2/3"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.current);
    saved_.Clear();
    options_.warnBeforeOverwrite = 1;
    display_.subjects = {{1, c.current}, {2, c.next}};
    display_.bodies = {{2, lines.substr(63) + "`\r\nend\r\n"}};
    std::string shown = Show("begin 644 f.bin\r\n" + lines.substr(0, 63), 1, false);
    EXPECT_EQ(shown, "N [Attachment decoded to FILE://" + Path("f.bin") + "]|");
  }
}

TEST_F(MimeWalkerTest, SaveNamesStayInTheDecodeDirectoryAndNeverClash) {
  struct Case {
    const char* name;
    const char* safe;
  } cases[] = {{"..\\..\\x", "x"},
               {"C:x", "x"},
               {"a/b", "b"},
               {"Report 1.DOC", "report 1.doc"},
               {"we*ird?na|me", "we_ird_na_me"},
               {"..", ""},
               {"", ""},
               {"a`b$c", "a`b$c"}};
  for (const Case& c : cases) EXPECT_EQ(SafeSaveName(c.name), c.safe) << c.name;

  std::string twice = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
  for (int i = 0; i < 2; ++i)
    twice += "--b\r\nContent-Type: image/gif; name=\"a.gif\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
             Base64Encode(Binary(10 + i, i), 76);
  twice += "--b--\r\n";
  options_.headerMode = 2;
  EXPECT_EQ(Show(twice), "N [Attachment decoded to FILE://" + Path("a.gif") + "]|N [Attachment decoded to FILE://" +
                             Path("save0000.gif") + "]|");
  EXPECT_EQ(Saved("a.gif"), Binary(10, 0));
  EXPECT_EQ(Saved("save0000.gif"), Binary(11, 1));

  // Every "save" name taken: nothing is written.
  for (int i = 0; i <= 9998; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "save%04d.gif", i);
    std::ofstream(dir_ / name) << "x";
  }
  MimeOutput out = Output();
  EXPECT_EQ(MakeSaveName(options_, saved_, "a.gif", out), "");
  EXPECT_EQ(MakeSaveName(options_, saved_, "b.gif", out), Path("b.gif"));
}

TEST_F(MimeWalkerTest, OverwriteWarningDecidesWhetherAFileIsWritten) {
  std::string message =
      "MIME-Version: 1.0\r\nContent-Type: application/pdf; name=\"d.pdf\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n" +
      Base64Encode("new", 76);
  options_.headerMode = 2;
  struct Case {
    int warn;
    int answer;
    bool never;
    bool written;
    int asked;
    int stored;
  } cases[] = {
      {3, 1, false, false, 0, -1}, {1, 3, false, true, 0, -1}, {0, 1, false, true, 1, -1},
      {0, 3, false, false, 1, -1}, {0, 3, true, false, 1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warn * 10 + c.answer);
    saved_.Clear();
    std::ofstream(dir_ / "d.pdf", std::ios::binary) << "old";
    options_.warnBeforeOverwrite = c.warn;
    display_.answer = c.answer;
    display_.never = c.never;
    display_.asked = 0;
    display_.stored = -1;
    std::string shown = Show(message);
    EXPECT_EQ(Saved("d.pdf"), c.written ? "new" : "old");
    EXPECT_EQ(display_.asked, c.asked);
    EXPECT_EQ(display_.stored, c.stored);
    EXPECT_EQ(shown, c.written ? "N [Attachment decoded to FILE://" + Path("d.pdf") + "]|"
                               : "N [Message contains attachment(s).  Extract d.pdf?]|");
  }
}

TEST_F(MimeWalkerTest, RemovingAttachmentsKeepsEverythingElse) {
  const std::string data = Binary(500, 6);
  std::string message =
      kMailHeader +
      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nKeep me.\r\n\r\nAnd me.\r\n"
      "--b\r\nContent-Type: application/zip; name=z.zip\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      Base64Encode(data, 76) + "--b--\r\n";
  options_.headerMode = 2;
  Show(message);
  ASSERT_EQ(Saved("z.zip"), data);
  std::string stored;
  stored_ = &stored;
  Show(message);
  stored_ = nullptr;
  std::string expected = kMailHeader +
                         "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                         "--b\r\nContent-Type: text/plain\r\n\r\nKeep me.\r\n\r\nAnd me.\r\n"
                         "--b\r\nContent-Type: text/plain\r\n\r\n[Attachment decoded to FILE://" +
                         Path("z.zip") + "]\r\n--b--\r\n";
  EXPECT_EQ(stored, expected);
  // The rewritten message still parses and shows the notice.
  saved_.Clear();
  EXPECT_EQ(Show(stored), "T Keep me.|T |T And me.|T [Attachment decoded to FILE://" + Path("z.zip") + "]|");
}

TEST_F(MimeWalkerTest, RemovingAWholeMessageAttachmentKeepsItsHeader) {
  const std::string data = Binary(300, 10);
  std::string message =
      "From: a@b.org\r\nSubject: File\r\nMIME-Version: 1.0\r\nContent-Type: application/pdf;\r\n"
      " name=\"f.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      Base64Encode(data, 76);
  options_.headerMode = 2;
  Show(message);
  ASSERT_EQ(Saved("f.pdf"), data);
  std::string stored;
  stored_ = &stored;
  Show(message);
  stored_ = nullptr;
  EXPECT_EQ(stored,
            "From: a@b.org\r\nSubject: File\r\nMIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\n"
            "[Attachment decoded to FILE://" +
                Path("f.pdf") + "]\r\n");
  saved_.Clear();
  options_.headerMode = 1;
  EXPECT_EQ(Show(stored), "H From: a@b.org|H Subject: File|T |T [Attachment decoded to FILE://" + Path("f.pdf") + "]|");
}

TEST(MimeDecoders, Base64CarriesStateAcrossLines) {
  Base64Decoder d;
  unsigned char out[16];
  size_t n = d.Line("SGVsb", 5, out);
  n += d.Line("G8=", 3, out + n);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), "Hello");
  Base64Decoder e;
  n = e.Line("SGk", 3, out);
  n += e.Finish(out + n);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), "Hi");
}

TEST(MimeDecoders, UudecodeLines) {
  unsigned char out[64];
  EXPECT_EQ(UudecodeLine("`", out), 0);
  EXPECT_EQ(UudecodeLine("#0V%T", out), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "Cat");
  EXPECT_EQ(UudecodeLine("~bad", out), -1);
  EXPECT_EQ(UudecodeLine("", out), -1);
}

TEST(MimeDecoders, EnrichedBecomesHtml) {
  struct Case {
    const char* enriched;
    const char* html;
  } cases[] = {
      {"a <<b", "a &lt;b\n"},
      {"<bold>x</bold>", "<b>x</b>\n"},
      {"<color><param>red</param>x</color>", "&lt;color&gt;x&lt;/color&gt;\n"},
      {"one\n\ntwo", "one\n<br>\ntwo\n"},
      {"one\ntwo", "one\ntwo\n"},
      {"a & b > c", "a &amp; b &gt; c\n"},
      {"<nofill>a\n\nb</nofill>", "<pre>a\n\nb</pre>\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(EnrichedToHtml(c.enriched), c.html) << c.enriched;
}

TEST(MimeDecoders, ExtensionsByType) {
  EXPECT_STREQ(TypeExtension("image/GIF", false), ".gif");
  EXPECT_STREQ(TypeExtension("Image/jpeg; x", false), ".jpg");
  EXPECT_STREQ(TypeExtension("application/x-thing", true), ".bin");
  EXPECT_STREQ(TypeExtension("application/x-thing", false), "");
}

TEST(MimeDecoders, PartialHeaders) {
  PartialInfo info;
  EXPECT_TRUE(
      ParsePartialHeader("From x\r\nSubject: a\r\nContent-Type: message/partial;\r\n id=\"abc@x\"; "
                         "number=2; total=3\r\n\r\nbody",
                         &info));
  EXPECT_EQ(info.id, "abc@x");
  EXPECT_EQ(info.number, 2);
  EXPECT_EQ(info.total, 3);
  EXPECT_FALSE(
      ParsePartialHeader("Subject: a\r\n\r\nContent-Type: message/partial; id=a; number=1; total=2\r\n", &info));
  EXPECT_FALSE(ParsePartialHeader("Content-Type: message/partial; id=a; number=3; total=2\r\n", &info));
}

}  // namespace
