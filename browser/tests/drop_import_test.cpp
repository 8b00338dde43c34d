// The import text written for a dropped file: which folders get the
// "Imported-from" line, the text block with its line ends, the head of any
// other file.
#include "browser/drop_import.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Contents(FILE* f) {
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  return out;
}

FILE* FileOf(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

TEST(DropImportTest, ImportedFromOnlyForNewsDravenetAndMail) {
  const struct {
    const char* target;
    bool expected;
  } cases[] = {
      {"quorl:mail/demo", true},   {"local:mail/inbox", true},  {"net:comp/lang.c", true},
      {"dvn:forum/S3_talk", true}, {"local:notes/demo", false}, {"quorl:chat/general", false},
      {"notes/demo", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, DropWritesImportedFrom(c.target)) << c.target;
}

TEST(DropImportTest, TextBodyKeepsItsLinesWithCrLf) {
  // LF and CR LF ends alike; a line longer than one read; no end on the last.
  const std::string longLine(5000, 'x');
  FILE* in = FileOf("first\nsecond\r\n" + longLine + "\nlast");
  FILE* out = std::tmpfile();
  ASSERT_TRUE(WriteDroppedText(out, in, "mail/demo", "C:\\docs\\note.TXT", true));
  EXPECT_EQ("!start mail/demo File\r\nImported-from: FILE://C:\\docs\\note.TXT\r\n\r\nfirst\r\nsecond\r\n" + longLine +
                "\r\nlast\r\n\r\n!end\r\n",
            Contents(out));
  std::fclose(in);
  std::fclose(out);

  in = FileOf("");
  out = std::tmpfile();
  ASSERT_TRUE(WriteDroppedText(out, in, "notes/demo", "a.txt", false));
  EXPECT_EQ("!start notes/demo File\r\n\r\n!end\r\n", Contents(out));
  std::fclose(in);
  std::fclose(out);
}

TEST(DropImportTest, OtherFilesOpenWithTheirName) {
  FILE* out = std::tmpfile();
  ASSERT_TRUE(WriteDroppedFileHead(out, "chat/general", "C:\\pics\\cat.gif", false));
  EXPECT_EQ("!start chat/general cat.gif\r\ncat.gif\r\n", Contents(out));
  std::fclose(out);
  EXPECT_TRUE(IsDroppedTextFile("a\\b.TxT"));
  EXPECT_FALSE(IsDroppedTextFile("b.txt.gz"));
  EXPECT_FALSE(IsDroppedTextFile("txt"));
}

}  // namespace
