#include "compose/outgoing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/files.h"

namespace {

TEST(SoftBreaks, OnlyExactlyTwoCarriageReturnsBeforeALineFeedAreSoft) {
  struct Case {
    const char* text;
    const char* hard;
    const char* removed;
  } cases[] = {
      {"one two\r\r\nthree\r\nfour", "one two\r\nthree\r\nfour", "one twothree\r\nfour"},
      {"a\r\r\r\nb", "a\r\r\r\nb", "a\r\r\r\nb"},
      {"a\r\nb\r\r\n", "a\r\nb\r\n", "a\r\nb"},
      {"\r\r\n\r\r\n", "\r\n\r\n", ""},
      {"a\rb\r\n", "a\rb\r\n", "a\rb\r\n"},
  };
  for (const Case& c : cases) {
    std::string a = c.text, b = c.text;
    EXPECT_STREQ(SoftBreaksToHard(&a[0]), c.hard);
    EXPECT_STREQ(RemoveSoftBreaks(&b[0]), c.removed);
  }
}

// The encoder's output must decode with the system's own decoder.
std::string Uudecoded(const testfs::TempDir& dir, const std::string& encoded) {
  dir.Write("enc.uu", encoded);
  std::string cmd = std::string(UUDECODE) + " -o " + dir.Path("out.bin") + " " + dir.Path("enc.uu") + " 2>&1";
  EXPECT_EQ(system(cmd.c_str()), 0) << encoded.substr(0, 200);
  return dir.Read("out.bin");
}

std::string Encode(const std::string& path) {
  char* text = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&text, &size);
  EXPECT_EQ(UuencodeFile(path.c_str(), f), 0);
  fclose(f);
  std::string out(text, size);
  free(text);
  return out;
}

TEST(Uuencode, FilesDecodeBackWithUudecode) {
  testfs::TempDir dir("uu");
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>((i * 37 + i / 7) & 0xff);
  ASSERT_TRUE(dir.Write("data.bin", bytes));
  std::string encoded = Encode(dir.Path("data.bin"));
  EXPECT_EQ(encoded.rfind("\r\nbegin ", 0), 0u);
  EXPECT_NE(encoded.find(" data.bin\r\n"), std::string::npos);
  // 22 full lines of 45 bytes ("M" and 60 characters), then 10 bytes, then "`".
  EXPECT_NE(encoded.find("\n*"), std::string::npos);
  EXPECT_EQ(encoded.substr(encoded.size() - 7), "`\nend\r\n");
  EXPECT_EQ(Uudecoded(dir, encoded), bytes);

  ASSERT_TRUE(dir.Write("empty.txt", ""));
  std::string empty = Encode(dir.Path("empty.txt"));
  EXPECT_EQ(empty.substr(empty.find(" empty.txt\r\n")), " empty.txt\r\n`\nend\r\n");
  EXPECT_EQ(Uudecoded(dir, empty), "");

  FILE* f = tmpfile();
  EXPECT_EQ(UuencodeFile(dir.Path("missing").c_str(), f), 1);
  EXPECT_EQ(ftell(f), 0);
  fclose(f);
}

TEST(Uuencode, GroupBitsAndTheZeroCharacter) {
  char out[9] = {};
  FILE* f = fmemopen(out, sizeof out, "w");
  const unsigned char zero[3] = {0, 0, 0}, cat[3] = {'C', 'a', 't'};
  UuencodeGroup(zero, f);
  UuencodeGroup(cat, f);
  fclose(f);
  EXPECT_EQ(std::string(out, 8), "````0V%T");
}

struct MemoFixture : ::testing::Test {
  std::string Written(bool senderCopy) {
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    WriteMemoHead(f, &s, head, senderCopy);
    fclose(f);
    std::string out(text, size);
    free(text);
    return out;
  }
  EditorState s;
  OutgoingHead head{"demo", "Thu, 10 Dec 2026 12:00:00", "<PL.1.0002.0001@pelmora.local>"};
};

TEST_F(MemoFixture, MemoBlocksListEachAddressOnItsOwnLineAndBccOnlyInTheSendersCopy) {
  strcpy(s.szSubject, "Lunch\r\nBcc: leak");
  s.To.Parse("Ann <ann@x>; bob; carl", false);
  s.Bcc.Parse("dora", false);
  std::string memo = Written(false);
  EXPECT_EQ(memo,
            "Memo #0 (0000000000)\r\nFrom: demo\r\nDate: Thu, 10 Dec 2026 12:00:00\r\nSubject: LunchBcc: leak\r\n"
            "Message-ID: <PL.1.0002.0001@pelmora.local>\r\nPriority: Normal\r\n"
            "To: Ann <ann@x>,\r\n bob,\r\n carl\r\n\r\n");
  std::string own = Written(true);
  EXPECT_EQ(own.rfind("Memo #0 (0000000000)\r\nDate: ", 0), 0u);
  EXPECT_NE(own.find("Bcc: dora\r\n\r\n"), std::string::npos);
  EXPECT_EQ(own.find("Cc:"), std::string::npos);
}

TEST_F(MemoFixture, ConferenceFormCountsTheSubjectOnlyForAPost) {
  strcpy(s.szFolders, "general/chat");
  strcpy(s.szSubject, "Hello");
  s.bSay = 1;
  char* text = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&text, &size);
  WriteConferenceHead(f, &s, head, 10);
  s.bSay = 0;
  s.bComment = 1;
  s.nComment = 12;
  WriteConferenceHead(f, &s, head, 10);
  fclose(f);
  EXPECT_EQ(std::string(text, size),
            "==========\r\ngeneral/chat #0, from demo, 26 chars, Thu, 10 Dec 2026 12:00:00\r\n----------\r\n"
            "Subject: Hello\r\n\r\n"
            "==========\r\ngeneral/chat #0, from demo, 10 chars, Thu, 10 Dec 2026 12:00:00\r\nComment to 12.\r\n"
            "----------\r\n");
  free(text);
  EXPECT_EQ(BodyCharCount("ab\r\ncd\r\r\n"), 6);
}

TEST(Memo, LengthIsTheFileLessTwentyOne) {
  FILE* f = tmpfile();
  fputs("Memo #0 (0000000000)\r\n", f);
  for (int i = 0; i < 1000 - 22; ++i) fputc('x', f);
  ASSERT_TRUE(PatchMemoLength(f));
  EXPECT_EQ(ftell(f), 1000);
  rewind(f);
  char first[32] = {};
  ASSERT_TRUE(fgets(first, sizeof first, f));
  EXPECT_STREQ(first, "Memo #0 (0000000979)\r\n");
  fclose(f);

  char id[64];
  FormatLocalMessageId(id, sizeof id, 1700000000L, 0x1234, 0xabcd);
  EXPECT_STREQ(id, "<PL.1700000000.ABCD.1234@pelmora.local>");
}

TEST(CustomHeaders, KeysFallBackToConferenceAndService) {
  EditorState s;
  strcpy(s.szService, "net");
  strcpy(s.szFolders, "comp/lang.c,alt/test");
  char keys[3][128];
  CustomHeaderKeys(&s, false, keys);
  EXPECT_STREQ(keys[0], "net:comp/lang.c");
  EXPECT_STREQ(keys[1], "net:comp");
  EXPECT_STREQ(keys[2], "net");
  s.bMailing = 1;
  CustomHeaderKeys(&s, false, keys);
  EXPECT_STREQ(keys[0], "net:mail");
  CustomHeaderKeys(&s, true, keys);
  EXPECT_STREQ(keys[0], "net:comp/lang.c");
}

}  // namespace
