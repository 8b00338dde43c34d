#include "compose/editor_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(EditorParams, RecipientsKeysAndEveryEscape) {
  EditorParams p = ParseEditorParams("a@b?subject=x%20y%22z%22?attach=C:\\f?ATTACH=D:\\g?inreplyto=%3Cid%40h%3E");
  EXPECT_EQ(p.recipients, "a@b");
  EXPECT_TRUE(p.hasSubject);
  EXPECT_EQ(p.subject, "x y\"z\"");
  ASSERT_EQ(p.attachments.size(), 2u);
  EXPECT_EQ(p.attachments[0], "C:\\f");
  EXPECT_EQ(p.attachments[1], "D:\\g");
  EXPECT_TRUE(p.hasInReplyTo);
  EXPECT_EQ(p.inReplyTo, "<id@h>");
  // Escapes before the first '?' stay as typed; a broken escape stays too.
  p = ParseEditorParams("a%20b?folder=local:x/y?name=50%?bogus=1");
  EXPECT_EQ(p.recipients, "a%20b");
  EXPECT_EQ(p.folder, "local:x/y");
  EXPECT_EQ(p.name, "50%");
  EXPECT_FALSE(p.hasSubject);
}

TEST(Quoting, BothStylesAndTheLongestLine) {
  EXPECT_EQ(QuotedText("\r\n  first line\r\nsecond\r\n\r\n", false), "> first line\r\n> second\r\n>\r\n");
  EXPECT_EQ(QuotedText("first\r\nsecond  \r\n", true), "<< first\r\nsecond >>\r\n\r\n");
  EXPECT_EQ(QuotedText(" \r\n ", false), "");
  EXPECT_EQ(LongestLine("ab\r\nabcd\r\nabc"), 4);
}

TEST(Quoting, TheWholeMessageIsQuotedWithoutItsSignatureAndAppendedHeader) {
  const std::string header = "\r\n----------------------- Internet Header --------------------------------\r\n";
  struct Case {
    std::string text, quoted;
  } cases[] = {
      {"body\r\n-- \r\nAnn\r\n", "body"},
      // The last signature line counts: an earlier one was quoted text.
      {"a\r\n-- \r\nold\r\nb\r\n-- \r\nAnn", "a\r\n-- \r\nold\r\nb"},
      {"body" + header + "Path: x\r\n", "body"},
      {"body\r\n-- \r\nAnn" + header + "Path: x", "body"},
      // A text that is nothing but a signature keeps it.
      {"-- \r\nAnn", "-- \r\nAnn"},
      {"no signature--\r\n", "no signature--\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithoutSignature(c.text), c.quoted) << c.text;
}

TEST(Quoting, WrapTurnsTheBlankBeforeAnOverlongWordIntoALineBreak) {
  char text[] = "one two three four five six";
  WrapText(text, 10);
  EXPECT_STREQ(text, "one two\nthree\nfour five\nsix");
  char longWord[] = "abcdefghijklmnop qr";
  WrapText(longWord, 5);
  EXPECT_STREQ(longWord, "abcdefghijklmnop\nqr");
  char lines[] = "short\nline two is long";
  WrapText(lines, 9);
  EXPECT_STREQ(lines, "short\nline two\nis long");
}

TEST(Attribution, MacrosNamesAndTheLastFirstSwap) {
  AttributionFields f;
  f.number = 42;
  f.folder = "cooking/bread_and_rolls";
  f.dvn = true;
  f.messageId = "<m@x>";
  f.from = "Smith, John <js@x.com>";
  f.date = "Thu, 10 Dec 2026";
  EXPECT_EQ(ExpandAttribution("%FIRSTNAME%,", f), "John,");
  EXPECT_EQ(ExpandAttribution("In article %messageid%, %realname% wrote:\\r\\n", f),
            "In article <m@x>, John Smith wrote:\r\n");
  EXPECT_EQ(ExpandAttribution("#%NUMBER% in %FORUM%/%SECTION% by %EMAIL% on %DATE%", f),
            "#42 in cooking/bread and rolls by js@x.com on Thu, 10 Dec 2026");
  f.firstNameOverride = "Johnny";
  EXPECT_EQ(ExpandAttribution("%FIRSTNAME%,", f), "Johnny,");
  f.from = "JANE O'BRIEN <jo@x>";
  f.firstNameOverride.clear();
  EXPECT_EQ(ExpandAttribution("%REALNAME% wrote", f), "Jane O'brien wrote");
  f.from = "<nobody@x>";
  EXPECT_EQ(ExpandAttribution("%REALNAME% wrote", f), "");
}

TEST(Signatures, EscapesRoundTripIncludingBackslashAndLeadingBlanks) {
  const char* texts[] = {"C:\\new\\table", "  two leading", "line\r\nnext", ""};
  for (const char* t : texts) EXPECT_EQ(DecodeSignature(EncodeSignature(t).c_str()), t) << t;
  EXPECT_EQ(EncodeSignature(" a b"), "\\x20a\\x20b");
  EXPECT_EQ(DecodeSignature("\\x20\\x20Hi\\r\\nthere"), "  Hi\r\nthere");
  EXPECT_LE(EncodeSignature(std::string(400, 'x').c_str()).size(), 319u);
}

TEST(AutoCorrect, LookupCaseRulesAndLengthChange) {
  const char file[] = "LEX 1 2 5\r\nadn:and\r\nno colon here\r\nTeh:The\r\nthe:the\r\nwoudl:would\r\n";
  AutoCorrectList list;
  ASSERT_TRUE(list.Load(file, sizeof file - 1));
  EXPECT_EQ(list.Count(), 4u);  // the line without ':' is no entry
  char buffer[128];
  std::strcpy(buffer, "adn more");
  EXPECT_EQ(list.CorrectWord(buffer, 3, false), 0);
  EXPECT_STREQ(buffer, "and more");
  std::strcpy(buffer, "teh end");
  EXPECT_EQ(list.CorrectWord(buffer, 3, false), 0);
  EXPECT_STREQ(buffer, "The end");
  std::strcpy(buffer, "TEH");
  EXPECT_EQ(list.CorrectWord(buffer, 3, true), AUTOCORRECT_NO_CHANGE);
  std::strcpy(buffer, "the");
  EXPECT_EQ(list.CorrectWord(buffer, 3, false), AUTOCORRECT_NO_CHANGE);
  std::strcpy(buffer, "woudl!");
  EXPECT_EQ(list.CorrectWord(buffer, 5, false), 0);
  EXPECT_STREQ(buffer, "would!");

  const char shorter[] = "LEX 1 2 1\nthough:tho\n";
  ASSERT_TRUE(list.Load(shorter, sizeof shorter - 1));
  std::strcpy(buffer, "though it");
  EXPECT_EQ(list.CorrectWord(buffer, 6, false), -3);
  EXPECT_STREQ(buffer, "tho it");

  // A header claiming millions of entries reads only the lines there are.
  const char huge[] = "LEX 1 2 99999999\nab:cd\n";
  ASSERT_TRUE(list.Load(huge, sizeof huge - 1));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_FALSE(list.Load("broken header\n", 14));
}

}  // namespace

TEST(NameCaseRule, CapitalInitialsOnlyForNamesWithoutLowerCase) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"ann lee", "Ann lee"},            // a lower-case letter: only the first letter changes
      {"ANN LEE", "Ann Lee"},            // no lower case: initials
      {"O'BRIEN_MARY", "O'brien Mary"},  // the apostrophe starts no word; '_' is a blank
      {"McDonald", "McDonald"},         {"", ""},
  };
  for (const Case& c : cases) {
    char name[40];
    std::strcpy(name, c.in);
    EXPECT_STREQ(NameCase(name), c.out) << c.in;
  }
}

TEST(MailMerge, FieldsQuotesAndEveryPlaceholder) {
  bool quoted = false;
  std::vector<std::string> f = SplitMergeLine("ann@x,\"Lee, Ann\",12", &quoted);
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[1], "Lee, Ann");
  EXPECT_FALSE(quoted);
  // An open quote carries over to the next line.
  f = SplitMergeLine("a,\"b,c", &quoted);
  EXPECT_EQ(f.size(), 2u);
  EXPECT_TRUE(quoted);
  f = SplitMergeLine("d\",e", &quoted);
  EXPECT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0], "d");
  EXPECT_FALSE(quoted);
  // At most 10 fields of 199 characters.
  f = SplitMergeLine((std::string(300, 'x') + ",1,2,3,4,5,6,7,8,9,10,11").c_str(), &quoted);
  ASSERT_EQ(f.size(), 10u);
  EXPECT_EQ(f[0].size(), 199u);

  std::vector<std::string> fields = {"Ann", "%2%", "three"};
  EXPECT_EQ(ReplaceMergeFields("Dear %1%, %1% and %2% %3%; %4%|%10%|%11%|%0%|50%", fields),
            "Dear Ann, Ann and %2% three; ||%11%|%0%|50%");
  std::string longBody(10000, 'b');
  EXPECT_EQ(ReplaceMergeFields(longBody + "%1%", fields).size(), 10003u);
}

TEST(EditingRules, BoilerplateNamesStayInTheirDirectory) {
  for (const char* bad : {"", "..\\evil", "a/b", "C:x", "sub\\name", "x..y"}) EXPECT_FALSE(IsSafeBoilerplateName(bad));
  EXPECT_TRUE(IsSafeBoilerplateName("Thanks for writing"));
}

TEST(EditingRules, TabsLineFeedsAndDeleteWordRight) {
  EXPECT_EQ(ExpandTabs("a\tb\r\n\tc\tdefgh\ti", 4), "a   b\r\n    c   defgh   i");
  EXPECT_EQ(LineFeedsToCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
  struct Case {
    const char* text;
    size_t caret, removed;
  } cases[] = {
      {"one, two", 0, 5},    // the word with the punctuation and blank after it
      {"one, two", 3, 2},    // a run of separators
      {"one\r\ntwo", 3, 2},  // the line break
      {"one two", 4, 3},     // the last word
      {"one", 3, 0},         // at the end
      {"ab\r\ncd", 1, 1},    // a word stops at the line end
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeleteWordRightLength(c.text, std::strlen(c.text), c.caret), c.removed) << c.text << " @" << c.caret;
}

TEST(EditingRules, SentenceCapitalsAndIndentation) {
  struct Case {
    const char* text;
    long letter;
  } cases[] = {
      {"hello", 0},                            // the text's start counts
      {"hello world", -1},                     // a blank lies between the word and the caret
      {"End. word", 5},                        // after a full stop and a blank
      {"End.word", -1},                        // straight after the full stop
      {"Is it? yes", 7},   {"End. Word", -1},  // already a capital
      {".x", -1},                              // the first character is no stop, nor a letter
  };
  for (const Case& c : cases) EXPECT_EQ(SentenceCapital(c.text, std::strlen(c.text)), c.letter) << c.text;
  size_t blanks = 9;
  const char* text = "first\r\n  \tindented  tail";
  EXPECT_EQ(AutoIndentBreak(text, 18, &blanks), "\r\n  \t");
  EXPECT_EQ(blanks, 2u);
}
