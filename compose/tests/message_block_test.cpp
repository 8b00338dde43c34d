#include "compose/message_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Entries(CAddrList& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) out += std::string(list.At(i)->name) + "|" + list.At(i)->address + ";";
  return out;
}

void Fill(EditorState& s) {
  s.nType = EDITOR_REPLY_BY_MAIL;
  s.bMailing = s.bReply = 1;
  s.bWordWrap = 0;
  s.bSendToSelf = 0;
  s.bReceipt = 1;
  s.nWrapChars = 66;
  s.nComment = -42;
  strcpy(s.szService, "net");
  strcpy(s.szReferences, "<a@b> <c\\d@e>\r\nline two");
  strcpy(s.szFolders, "comp.lang.c,alt.test");
  strcpy(s.szSubject, "Re: hello");
  strcpy(s.szFaxName, "Fax Person");
  strcpy(s.szFaxNumber, "555-1234");
  strcpy(s.szRealname, "Ann Lee");
  strcpy(s.szEmail, "ann@x.com");
  strcpy(s.szImportance, "High");
  strcpy(s.szSensitivity, "Private");
  strcpy(s.szCustomHeaders, "X-One: 1\r\nX-Path: C:\\new\\file");
  s.To.Parse("Bob <bob@y.org>; carl@z.net", false);
  s.Cc.Parse("dora@w.com; BOB@y.org", false);
  s.Bcc.Parse("eve@v.com; Dora@w.com; carl@z.net", false);
  s.Attachments.add("C:\\files\\a b.txt");
  s.bodyText = strdup("Line one\r\nMessageEnd:\r\nwrapped soft\r\r\nend");
}

// Compares field by field, so a writer that moves lines around still passes
// and a field that does not come back fails by name.
void ExpectSame(EditorState& a, EditorState& b) {
  EXPECT_EQ(a.nType, b.nType);
  EXPECT_EQ(a.bMailing, b.bMailing);
  EXPECT_EQ(a.bReply, b.bReply);
  EXPECT_EQ(a.bFaxing, b.bFaxing);
  EXPECT_EQ(a.bWordWrap, b.bWordWrap);
  EXPECT_EQ(a.bSendToSelf, b.bSendToSelf);
  EXPECT_EQ(a.bReceipt, b.bReceipt);
  EXPECT_EQ(a.bMime, b.bMime);
  EXPECT_EQ(a.nWrapChars, b.nWrapChars);
  EXPECT_EQ(a.nComment, b.nComment);
  EXPECT_STREQ(a.szService, b.szService);
  EXPECT_STREQ(a.szReferences, b.szReferences);
  EXPECT_STREQ(a.szFolders, b.szFolders);
  EXPECT_STREQ(a.szSubject, b.szSubject);
  EXPECT_STREQ(a.szFaxName, b.szFaxName);
  EXPECT_STREQ(a.szFaxNumber, b.szFaxNumber);
  EXPECT_STREQ(a.szRealname, b.szRealname);
  EXPECT_STREQ(a.szEmail, b.szEmail);
  EXPECT_STREQ(a.szImportance, b.szImportance);
  EXPECT_STREQ(a.szSensitivity, b.szSensitivity);
  EXPECT_STREQ(a.szCustomHeaders, b.szCustomHeaders);
  EXPECT_EQ(Entries(a.To), Entries(b.To));
  EXPECT_EQ(Entries(a.Cc), Entries(b.Cc));
  EXPECT_EQ(Entries(a.Bcc), Entries(b.Bcc));
  ASSERT_EQ(a.Attachments.count(), b.Attachments.count());
  EXPECT_STREQ(a.Attachments.get(0), b.Attachments.get(0));
  ASSERT_TRUE(b.bodyText);
  EXPECT_STREQ(a.bodyText, b.bodyText);
}

std::string WriteToText(EditorState& s) {
  char* text = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&text, &size);
  EXPECT_EQ(WriteDraft(&s, f, nullptr, nullptr), 0);
  fclose(f);
  std::string out(text, size);
  free(text);
  return out;
}

int ReadFromText(EditorState& s, const std::string& text) {
  FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
  int r = ReadDraft(&s, f, nullptr, nullptr);
  fclose(f);
  return r;
}

TEST(MessageBlock, FileFormReadsBackToTheSameStateAndDropsRepeats) {
  EditorState a;
  Fill(a);
  std::string text = WriteToText(a);
  EXPECT_EQ(text.rfind("MessageStart: 1.0\r\nbWordWrap: no\r\nbFaxing: no\r\nbReply: yes\r\n", 0), 0u);
  EXPECT_NE(text.find("Body: 41\r\nLine one\r\nMessageEnd:\r\nwrapped soft\r\r\nend\r\nMessageEnd:\r\n"),
            std::string::npos);
  // A Bcc address that To holds goes in To only, one in Cc and Bcc in Cc only.
  EXPECT_EQ(Entries(a.To), "Bob|bob@y.org;|carl@z.net;");
  EXPECT_EQ(Entries(a.Cc), "|dora@w.com;");
  EXPECT_EQ(Entries(a.Bcc), "|eve@v.com;");

  EditorState b;
  b.To.Parse("stale@x", false);
  ASSERT_EQ(ReadFromText(b, text), 0);
  ExpectSame(a, b);
}

TEST(MessageBlock, ListFormWithTheBodyApartGivesTheSameState) {
  EditorState a;
  Fill(a);
  CStrList lines;
  char* body = nullptr;
  ASSERT_EQ(WriteDraft(&a, nullptr, &lines, &body), 0);
  EXPECT_STREQ(lines.get(0), "MessageStart: 1.0");
  EXPECT_STREQ(lines.get(2), "bReply: yes");
  EXPECT_STREQ(lines.get(3), "bFaxing: no");
  for (int i = 0; i < lines.count(); ++i) {
    EXPECT_NE(strncmp(lines.get(i), "Body:", 5), 0);
    EXPECT_NE(strncmp(lines.get(i), "MessageEnd:", 11), 0);
  }
  EditorState b;
  ASSERT_EQ(ReadDraft(&b, nullptr, &lines, body), 0);
  ExpectSame(a, b);
  free(body);
}

TEST(MessageBlock, ReaderRulesForMarkersFlagsKeysAndBody) {
  EditorState s;
  EXPECT_EQ(ReadFromText(s, "MessageStart: 2.0\r\nnType: 3\r\n"), 1);
  EXPECT_EQ(s.nType, 0);
  EXPECT_EQ(ReadDraft(&s, nullptr, nullptr, nullptr), 1);

  // Only a lower-case "y" is on; keys ignore case; the end marker stops.
  ASSERT_EQ(ReadFromText(s,
                         "messagestart: 1.0\r\nbMailing: Yes\r\nbSay: yes\r\nSZFAXNAME:   Jo\r\n"
                         "MessageEnd:\r\nnType: 9\r\n"),
            0);
  EXPECT_EQ(s.bMailing, 0);
  EXPECT_EQ(s.bSay, 1);
  EXPECT_STREQ(s.szFaxName, "Jo");
  EXPECT_EQ(s.nType, 0);

  // A value longer than its field is cut to the field.
  std::string longService = "MessageStart: 1.0\r\nszService: abcdefghijklmnop\r\n";
  ASSERT_EQ(ReadFromText(s, longService), 0);
  EXPECT_STREQ(s.szService, "abcdefghi");

  // The counted body is taken whole, whatever lines it holds.
  ASSERT_EQ(
      ReadFromText(s, "MessageStart: 1.0\r\nBody: 17\r\nTo: x@y\r\nnType: 5\r\n\r\nTo: after@z\r\nMessageEnd:\r\n"), 0);
  EXPECT_STREQ(s.bodyText, "To: x@y\r\nnType: 5");
  EXPECT_EQ(s.nType, 0);
  EXPECT_EQ(Entries(s.To), "|after@z;");
}

TEST(MessageBlock, BodyWithoutMemoryIsPassedOverNotReadAsKeys) {
  EditorState s;
  // A count too large to allocate: the body's lines must not become keys.
  std::string text = "MessageStart: 1.0\r\nBody: 99999999999\r\nTo: intruder@x\r\n";
  EXPECT_EQ(ReadFromText(s, text), 1);
  EXPECT_EQ(s.To.Count(), 0);
}

TEST(MessageBlock, OneLineFieldsNeverBreakTheBlock) {
  EditorState a;
  strcpy(a.szSubject, "Hi\r\nBCC: spy@x.com");
  strcpy(a.szRealname, "Ann\nLee");
  a.bodyText = strdup("b");
  std::string text = WriteToText(a);
  EXPECT_NE(text.find("szSubject: HiBCC: spy@x.com\r\n"), std::string::npos);
  EditorState b;
  ASSERT_EQ(ReadFromText(b, text), 0);
  EXPECT_EQ(b.Bcc.Count(), 0);
  EXPECT_STREQ(b.szRealname, "AnnLee");
}

}  // namespace
