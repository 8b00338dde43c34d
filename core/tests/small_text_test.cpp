#include "core/small_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// 2000-03-05 14:07:33 UTC.
constexpr time_t kMarch5 = 952265253;

struct ZoneGuard {
  explicit ZoneGuard(int (*zone)()) { g_clockHooks.localZoneOffset = zone; }
  ~ZoneGuard() { g_clockHooks.localZoneOffset = LocalZoneOffsetNow; }
};

}  // namespace

TEST(ParseDate, ZonesAndForms) {
  ZoneGuard guard([] { return 60; });  // the machine runs an hour east
  struct Case {
    const char* text;
    time_t expected;
  } cases[] = {
      {"Sun, 5 Mar 2000 14:07:33 -0500", kMarch5 + 5 * 3600},
      {"Sun, 5 Mar 2000 14:07:33 +0130", kMarch5 - 90 * 60},
      {"Sun, 5 Mar 2000 14:07:33 GMT", kMarch5},
      {"Sun, 5 Mar 2000 14:07:33 UTC", kMarch5},
      {"5 Mar 2000 14:07:33 GMT0", kMarch5},
      {"5 Mar 2000 14:07:33 BST", kMarch5 - 3600},
      {"5 Mar 2000 14:07:33 BST-1", kMarch5 - 3600},
      {"5 Mar 2000 14:07:33 EST", kMarch5 + 5 * 3600},
      {"5 Mar 2000 14:07:33 est", kMarch5 + 5 * 3600},
      {"5 Mar 2000 14:07:33 CST", kMarch5 + 6 * 3600},
      {"5 Mar 2000 14:07:33 MST", kMarch5 + 7 * 3600},
      {"5 Mar 2000 14:07:33 PST", kMarch5 + 8 * 3600},
      {"5 Mar 2000 14:07:33 EDT", kMarch5 + 4 * 3600},
      {"5 Mar 2000 14:07:33 CDT", kMarch5 + 5 * 3600},
      {"5 Mar 2000 14:07:33 MDT", kMarch5 + 6 * 3600},
      {"5 Mar 2000 14:07:33 PDT", kMarch5 + 7 * 3600},
      {"5 Mar 2000 14:07:33 -0500 (EST) GMT", kMarch5 + 5 * 3600},  // only the first zone counts
      {"Sun, 5 Mar 2000 14:07:33", kMarch5 - 3600},                 // the machine's zone
      {"05-Mar-2000 14:07", kMarch5 - 33 - 3600},                   // the single-line form
      {"March 5, 2000 14:07:33 GMT", kMarch5},
      {"3 5 2000 14:07:33 GMT", kMarch5},  // numbers: month, day, year
      {"5 Mar 00 14:07:33 GMT", kMarch5},
      {"Sun 5 Mar 2000 GMT", kMarch5 - (14 * 3600 + 7 * 60 + 33)},  // no time: midnight
      {"2000-03-05 14:07:33 GMT", kMarch5},
      {"Sun, 05 Mar 2000 14:07:33 +0000 (EST)", kMarch5},
      {"05-Mar-1999 14:07", kMarch5 - 33 - 3600 - 366 * 86400},  // "-1999" is the year
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDate(c.text), c.expected) << c.text;
}

TEST(ParseDate, NumbersAndYears) {
  ZoneGuard guard([] { return 0; });
  auto dayOf = [](const char* text) {
    time_t t = ParseDate(text);
    return t ? static_cast<long long>(t / 86400) : -1;
  };
  // 12 5 99: month 12, day 5, year 1999.
  EXPECT_EQ(ParseDate("12 5 99"), 944352000);
  EXPECT_EQ(dayOf("1 Jan 81"), 4018);
  EXPECT_EQ(dayOf("1 Jan 99"), dayOf("1 Jan 1999"));
  EXPECT_EQ(dayOf("1 Jan 0"), dayOf("1 Jan 2000"));
  EXPECT_EQ(dayOf("1 Jan 37") - dayOf("1 Jan 0"), 13515);
  if (sizeof(time_t) > 4) {
    EXPECT_EQ(dayOf("1 Jan 80") - dayOf("1 Jan 0"), 29220);
    EXPECT_EQ(dayOf("1 Jan 2099") - dayOf("1 Jan 80"), 6940);
  } else {
    EXPECT_EQ(dayOf("1 Jan 80"), -1);  // past 2038: no date rather than a wrapped one
  }
  EXPECT_EQ(dayOf("1 Mar 2000") - dayOf("29 Feb 2000"), 1);
}

TEST(ParseDate, GarbageIsNoDate) {
  for (const char* text :
       {"", "garbage", "Mar 2000", "5 Mar", "31 Feb 2000", "29 Feb 1999", "5 Mar 1850", "5 Mar 2000 25:00",
        "5 Mar 2000 12:61", "1234567890123 Mar 5 2000", "99999999999999999999:1 5 Mar 2000", "::::", "+0100 -0100"})
    EXPECT_EQ(ParseDate(text), 0) << text;
  EXPECT_EQ(ParseDate(nullptr), 0);
}

TEST(StripReplyPrefix, PrefixesAndEndings) {
  struct Case {
    const char* subject;
    const char* stripped;
  } cases[] = {
      {"Re: Re[2]: FW: word - reply", "word"},
      {"RE: FWD: fw: Re(3): Re (12) AW: SV: word", "word"},
      {"Re: Reply to: Reply to: Budget", "Budget"},
      {"Re[2] Budget", "Budget"},
      {"Re[4:Budget", "Budget"},
      {"Re (see below) Budget", "Re (see below) Budget"},
      {"Re[x]: Budget", "Re[x]: Budget"},
      {"Re: Re (2 Budget", "Re (2 Budget"},  // stops at the malformed numbered form
      {"   Budget", "Budget"},
      {"Budget - REPLY", "Budget"},
      {" - reply", "- reply"},  // 8 characters: the ending stays, the blank goes
      {"Report", "Report"},
      {"aw: sv: Fw: Answer", "Answer"},
      {"Sven's answer", "Sven's answer"},
      {"\xC4W: \xE4w: word", "\xC4W: \xE4w: word"},  // letters that only look like a prefix's
      {"Lunch (was Re: Re: dinner)", "Lunch (was Re: dinner)"},
      {"Lunch (was Re: dinner)", "Lunch (was Re: dinner)"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(StripReplyPrefix(c.subject), c.stripped) << c.subject;

  char reply[200];
  StripReplyPrefix("Re: Re: Budget", reply, sizeof reply);
  EXPECT_STREQ(reply, "Re: Budget");
  std::string longSubject(500, 'a');
  EXPECT_EQ(std::strlen(StripReplyPrefix(longSubject.c_str(), reply, sizeof reply)), 199u);
  EXPECT_EQ(std::strlen(reply), 199u);
  // A smaller buffer gets what fits, and nothing past its end (the heap
  // copy lets the address checker see the end).
  for (size_t size : {1u, 5u, 100u}) {
    std::vector<char> small(size, 'x');
    StripReplyPrefix(longSubject.c_str(), small.data(), small.size());
    EXPECT_EQ(std::strlen(small.data()), size - 1);
  }
}

TEST(EscapeLine, RoundTripsAndStaysOneLine) {
  const char* texts[] = {"back\\slash\r\nnext line\n", "", "plain", "\\r is not a CR", "\\\\\\"};
  for (const char* text : texts) {
    std::string escaped = EscapeLine(text);
    EXPECT_EQ(escaped.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_STREQ(UnescapeLine(escaped.c_str()), text) << text;
  }
  EXPECT_STREQ(EscapeLine("a\\b\rc\nd"), "a\\\\b\\rc\\nd");
  EXPECT_STREQ(UnescapeLine("odd \\x and trailing \\"), "odd \\x and trailing \\");
  // A text too long for the buffer is cut between escapes, never inside one.
  std::string huge(ESCAPED_LINE_MAX, '\n');
  std::string escaped = EscapeLine(huge.c_str());
  EXPECT_EQ(escaped.size(), ESCAPED_LINE_MAX);
  EXPECT_EQ(std::string(UnescapeLine(escaped.c_str())), std::string(ESCAPED_LINE_MAX / 2, '\n'));
}

TEST(FindLinePrefix, LineStartsOnly) {
  const char block[] = "From: ann\r\nsubject: one\nX-Subject: two\rSUBJECT: three";
  EXPECT_STREQ(FindLinePrefix("Subject: ", block), "one\nX-Subject: two\rSUBJECT: three");
  EXPECT_STREQ(FindLinePrefix("from:", block), " ann\r\nsubject: one\nX-Subject: two\rSUBJECT: three");
  EXPECT_EQ(FindLinePrefix("Date:", block), nullptr);
  EXPECT_EQ(FindLinePrefix("ann", block), nullptr);
  EXPECT_EQ(FindLinePrefix("", ""), nullptr);
  EXPECT_EQ(FindLinePrefix("x", nullptr), nullptr);
}

TEST(GetHeaderParam, ValuesQuotesAndNames) {
  struct Case {
    const char* line;
    const char* name;
    const char* value;  // null: absent
  } cases[] = {
      {"multipart/mixed; boundary=\"--=_part 1; x\"", "boundary", "--=_part 1; x"},
      {"multipart/mixed; BOUNDARY=abc; charset=x", "boundary", "abc"},
      {"text/plain; charset = iso-8859-1 \r\n", "Charset", "iso-8859-1"},
      {"attachment; xfilename=a; filename=b.txt", "filename", "b.txt"},
      {"attachment; filename=\"=?iso-8859-1?Q?r=E9sum=E9.txt?=\"", "filename", "r\xe9sum\xe9.txt"},
      {"text/plain", "charset", nullptr},
      {"text/plain; charset", "charset", nullptr},
      {"text/plain; name=\"unterminated", "name", "unterminated"},
  };
  for (const Case& c : cases) {
    char out[64] = "untouched";
    char* result = GetHeaderParam(c.line, c.name, out, sizeof out);
    if (c.value)
      EXPECT_STREQ(result, c.value) << c.line;
    else
      EXPECT_EQ(result, nullptr) << c.line;
  }
  char tiny[4];
  EXPECT_STREQ(GetHeaderParam("x; name=abcdef", "name", tiny, sizeof tiny), "abc");
}

namespace {
std::vector<std::string> g_lines;
size_t g_next;
int ReadTestLine(char* buffer, size_t size) {
  if (g_next >= g_lines.size()) return 0;
  std::strncpy(buffer, g_lines[g_next].c_str(), size - 1);
  buffer[size - 1] = 0;
  ++g_next;
  return static_cast<int>(std::strlen(buffer));
}
long TellTestLine() { return static_cast<long>(g_next); }
void SeekTestLine(long at) { g_next = static_cast<size_t>(at); }
}  // namespace

TEST(ReadHeaderLine, JoinsContinuationLines) {
  g_messageLines = {ReadTestLine, TellTestLine, SeekTestLine};
  g_lines = {"Content-Type: multipart/mixed;\r\n", "\tboundary=\"b1\"\r\n", " charset=x\r\n", "To: ann\r\n"};
  g_next = 0;
  char out[HEADER_LINE_MAX + 1];
  EXPECT_EQ(ReadHeaderLine(out, sizeof out), 32 + 16 + 12);
  EXPECT_STREQ(out, "Content-Type: multipart/mixed;\tboundary=\"b1\" charset=x");
  EXPECT_EQ(ReadHeaderLine(out, sizeof out), 9);
  EXPECT_STREQ(out, "To: ann");
  EXPECT_EQ(ReadHeaderLine(out, sizeof out), 0);

  // A header folded over many lines stays below 4095 characters.
  g_lines.assign(1, "X-Long: start\r\n");
  for (int i = 0; i < 100; ++i) g_lines.push_back(" " + std::string(100, 'y') + "\r\n");
  g_next = 0;
  ReadHeaderLine(out, sizeof out);
  EXPECT_EQ(std::strlen(out), HEADER_LINE_MAX - 1);
  EXPECT_EQ(g_next, g_lines.size());
  g_messageLines = kNoMessageLines;
}

TEST(SmallText, CharacterReplacement) {
  char text[] = "a-b-c\r\n\r\n";
  EXPECT_STREQ(stripcrlf(text), "a-b-c");
  EXPECT_STREQ(strtr(text, '-', '+'), "a+b+c");
  EXPECT_STREQ(strsetchar(text, "+c", '_'), "a_b__");
  EXPECT_EQ(strtr(nullptr, 'a', 'b'), nullptr);
  char empty[] = "";
  EXPECT_STREQ(strtr(empty, 0, 'x'), "");
}
