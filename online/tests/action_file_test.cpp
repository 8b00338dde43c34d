#include "online/action_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string RoundTrip(const std::string& file, const char* service, ActionList* list, std::string* problems = nullptr) {
  ParseActionFile(file.data(), file.size(), service, list, problems);
  return WriteActionFile(*list, service);
}

std::string Text(const OutbasketAction& action) {
  return action.text ? std::string(action.text, action.textLength) : std::string();
}

const std::string kEditBody =
    "Hello,\r\n;-; id:\tbob type:\tscript script:\tLooks like a header priority:\t1\r\n.\r\n/EXIT\r\nbye";

struct RoundTripCase {
  const char* name;
  const char* service;
  std::string file;
};

TEST(ActionFile, EveryEntryKindRoundTripsByteForByte) {
  const RoundTripCase cases[] = {
      {"plain script with arguments", "cix",
       ";-; id:\tann type:\tscript script:\tDownload messages priority:\t90 #:\tchat/general #:\t50\r\n"
       "Download\r\nchat/general\r\n50\r\n"},
      {"held script, title with blanks", "cix",
       ";#; id:\tann type:\tscript script:\tDownload waiting messages priority:\t90\r\nDownloadWaiting\r\n"},
      {"no id, negative priority", "cix", ";-; id:\t type:\tscript script:\tFetch Mail priority:\t-5\r\nFetch\r\n"},
      {"counted entry with a text block", "cix",
       ";-; id:\tann type:\tscript script:\tUpload file priority:\t50 #:\ta #:\tb\r\n3UploadFile\r\na\r\nb\r\n"
       "first block line\r\n\r\nlast block line\r\n.\r\n"},
      {"counted entry of dvn", "dvn",
       ";-; id:\tann type:\tscript script:\tUpload file priority:\t50 #:\tx\r\n2Upload\r\nx\r\ntext\r\n/exit\r\n"},
      {"block lines that would end the block are escaped", "cix",
       ";-; id:\tann type:\tscript script:\tUpload file priority:\t50\r\n1Up\r\n..\r\n./EXIT\r\n..dots\r\n"
       ".;-; id:\tx\r\nplain\r\n.\r\n"},
      {"edit entry, body with header-like lines", "cix",
       ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbSay: y\r\nszFolders: chat/general\r\nBody: " +
           std::to_string(kEditBody.size()) + "\r\n" + kEditBody + "\r\nMessageEnd:\r\n"},
      {"held edit entry with an empty body", "cix",
       ";#; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nBody: 0\r\n\r\nMessageEnd:\r\n"},
      {"several entries", "cix",
       ";-; id:\ta type:\tscript script:\tOne priority:\t1\r\nOne\r\n"
       ";#; id:\tb type:\tscript script:\tTwo priority:\t2 #:\tz\r\nTwo\r\nz\r\n"
       ";-; id:\tc type:\tedit\r\nMessageStart: 1.0\r\nBody: 2\r\nhi\r\nMessageEnd:\r\n"},
  };
  for (const auto& c : cases) {
    ActionList list;
    std::string problems;
    EXPECT_EQ(c.file, RoundTrip(c.file, c.service, &list, &problems)) << c.name;
    EXPECT_EQ("", problems) << c.name;
  }
}

TEST(ActionFile, ReadsFieldsLinesBodyAndBlock) {
  std::string file =
      "garbage before the first entry\r\n"
      ";#; id:\tann type:\tscript script:\tDownload waiting messages priority:\t-0 #:\tignored\r\n"
      "Download\r\nchat/general\r\n"
      ";-; id:\tbob type:\tedit\r\nMessageStart: 1.0\r\nbReply: y\r\nBody: " +
      std::to_string(kEditBody.size()) + "\r\n" + kEditBody +
      "\r\nMessageEnd:\r\n"
      ";-; id:\tcy type:\tscript script:\tUpload file priority:\t50\r\n2Up\r\nname\r\n..\r\nline\r\n/Exit\r\n";
  ActionList list;
  std::string problems;
  ASSERT_EQ(3, ParseActionFile(file.data(), file.size(), "cix", &list, &problems));
  ASSERT_EQ(3u, list.records.size());
  OutbasketAction& held = list.records[0];
  EXPECT_EQ(1u, held.held);
  EXPECT_STREQ("ann", held.id);
  EXPECT_STREQ("Download waiting messages", held.title);
  EXPECT_EQ(0, held.priority);
  EXPECT_STREQ("cix", held.service);
  ASSERT_EQ(2, held.lines->count());
  EXPECT_STREQ("chat/general", held.lines->get(1));
  EXPECT_EQ(nullptr, held.text);

  OutbasketAction& edit = list.records[1];
  EXPECT_EQ(1u, edit.edit);
  EXPECT_EQ(0u, edit.held);
  EXPECT_EQ(kEditBody, Text(edit));
  EXPECT_EQ(2, edit.lines->count());

  OutbasketAction& counted = list.records[2];
  EXPECT_EQ(2, counted.lines->count());
  EXPECT_EQ(".\r\nline\r\n", Text(counted));  // the escaped "." is the user's own line
  EXPECT_NE(std::string::npos, problems.find("outside any entry"));
}

TEST(ActionFile, NormalisesWhatItCannotKeep) {
  const struct {
    const char* service;
    std::string in, out;
  } cases[] = {
      {"cix", ";-; id:\tann type:\tscript script:\tFetch Mail priority:\t-0\nFetch\n",
       ";-; id:\tann type:\tscript script:\tFetch Mail priority:\t0\r\nFetch\r\n"},
      {"cix", ";-; id:\tann type:\tscript script:\tNo priority\r\nCmd\r\n",
       ";-; id:\tann type:\tscript script:\tNo priority priority:\t0\r\nCmd\r\n"},
      {"dvn", ";-; id:\tann type:\tscript script:\tUp priority:\t5\r\n1Up\r\nblock\r\n/EXIT\r\n",
       ";-; id:\tann type:\tscript script:\tUp priority:\t5\r\n1Up\r\nblock\r\n/exit\r\n"},
      // A block cut off by the end of the file gets its terminator.
      {"cix", ";-; id:\tann type:\tscript script:\tUp priority:\t5\r\n1Up\r\nblock",
       ";-; id:\tann type:\tscript script:\tUp priority:\t5\r\n1Up\r\nblock\r\n.\r\n"},
      // A header alone at the end of the file.
      {"cix", ";-; id:\tann type:\tscript script:\tCut", ";-; id:\tann type:\tscript script:\tCut priority:\t0\r\n"},
  };
  for (const auto& c : cases) {
    ActionList list;
    EXPECT_EQ(c.out, RoundTrip(c.in, c.service, &list));
    ActionList again;
    EXPECT_EQ(c.out, RoundTrip(c.out, c.service, &again)) << "rewriting is stable";
  }
}

TEST(ActionFile, CountedEntryWithoutBlockKeepsTheNextEntry) {
  std::string file =
      ";-; id:\tann type:\tscript script:\tUpload file priority:\t50 #:\tname\r\n2Up\r\nname\r\n"
      ";-; id:\tann type:\tscript script:\tNext priority:\t1\r\nNext\r\n";
  ActionList list;
  EXPECT_EQ(file, RoundTrip(file, "cix", &list));
  ASSERT_EQ(2u, list.records.size());
  EXPECT_EQ(nullptr, list.records[0].text);
  EXPECT_STREQ("Next", list.records[1].title);
}

TEST(ActionFile, DamagedBodiesAreKeptHeldWithEveryByte) {
  const std::string next = ";-; id:\tann type:\tscript script:\tNext priority:\t1\r\nNext\r\n";
  const struct {
    const char* name;
    std::string file;
    std::string body;
  } cases[] = {
      {"count larger than the file",
       ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nBody: 10485760\r\nshort body\r\nMessageEnd:\r\n" + next,
       "short body"},
      {"count shorter than the body",
       ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nBody: 3\r\nlonger body\r\nMessageEnd:\r\n" + next,
       "longer body"},
      {"count that is not a number",
       ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nBody: many\r\nbody\r\nmore\r\n" + next, "body\r\nmore\r\n"},
      {"no body at all", ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\n" + next, ""},
  };
  for (const auto& c : cases) {
    ActionList list;
    std::string problems;
    std::string written = RoundTrip(c.file, "cix", &list, &problems);
    ASSERT_EQ(2u, list.records.size()) << c.name;
    EXPECT_EQ(1u, list.records[0].held) << c.name;
    EXPECT_EQ(c.body, Text(list.records[0])) << c.name;
    EXPECT_STREQ("Next", list.records[1].title) << c.name;
    EXPECT_NE(std::string::npos, problems.find("Entry 1:")) << c.name;
    // The rewritten file is whole: it reads back without problems.
    ActionList again;
    std::string later;
    EXPECT_EQ(written, RoundTrip(written, "cix", &again, &later)) << c.name;
    EXPECT_EQ("", later) << c.name;
  }
}

TEST(ActionFile, HeaderFieldValues) {
  const struct {
    const char* header;
    const char* key;
    const char* value;
  } cases[] = {
      {";-; id:\tann type:\tscript", "id:\t", "ann"},
      {";-; id:\tAnn Smith type:\tscript", "id:\t", "Ann Smith"},
      {";-; id:\t type:\tscript", "id:\t", ""},
      {"script:\tDownload waiting messages priority:\t90", "script:\t", "Download waiting messages"},
      {"priority:\t90\r\n", "priority:\t", "90"},
      {"id:\tnoblank\tnext", "id:\t", "noblank"},
      {"type:\tedit", "script:\t", ""},
  };
  for (const auto& c : cases) {
    char out[100];
    ReadHeaderField(c.header, c.key, out, sizeof out);
    EXPECT_STREQ(c.value, out) << c.header;
  }
  char small[5];
  ReadHeaderField("id:\tverylongname type:", "id:\t", small, sizeof small);
  EXPECT_STREQ("very", small);
}

TEST(ActionFile, ScriptEntryAsAppended) {
  const char* args[4] = {"chat/general", nullptr, "line\r\nbreak", nullptr};
  std::string entry = FormatScriptEntry("ann", "Download messages", 90, "Download", args);
  EXPECT_EQ(
      ";-; id:\tann type:\tscript script:\tDownload messages priority:\t90 #:\tchat/general #:\tline  break\n"
      "Download\nchat/general\nline  break\n",
      entry);
  ActionList list;
  ParseActionFile(entry.data(), entry.size(), "cix", &list);
  ASSERT_EQ(1u, list.records.size());
  EXPECT_EQ(3, list.records[0].lines->count());
  EXPECT_EQ(90, list.records[0].priority);
}

TEST(ActionFile, LongLinesAreKeptInPieces) {
  std::string longLine(10000, 'x');
  std::string file = ";-; id:\tann type:\tscript script:\tLong priority:\t1\r\nCmd\r\n" + longLine + "\r\n";
  ActionList list;
  ParseActionFile(file.data(), file.size(), "cix", &list);
  ASSERT_EQ(1u, list.records.size());
  std::string joined;
  for (int i = 1; i < list.records[0].lines->count(); i++) joined += list.records[0].lines->get(i);
  EXPECT_EQ(longLine, joined);
  // Its header, with every piece as an argument field, reads back the same.
  std::string written = WriteActionFile(list, "cix");
  ActionList again;
  EXPECT_EQ(written, RoundTrip(written, "cix", &again));
}

}  // namespace
