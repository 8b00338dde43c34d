#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "spell/spellfile.h"
#include "spell/tests/spell_fixtures.h"
#include "spell/tlex.h"

#if defined(_WIN32)
#include <process.h>
#include <stdlib.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

// A second instance of this program adds words to a lexicon when it is
// started with SPELL_LEX_WRITER="path|prefix|count"; it never reaches main.
const int g_writerChild = [] {
  const char* job = getenv("SPELL_LEX_WRITER");
  if (!job || !*job) return 0;
  std::string task(job);
  size_t a = task.find('|'), b = task.rfind('|');
  std::string path = task.substr(0, a), prefix = task.substr(a + 1, b - a - 1);
  int count = atoi(task.c_str() + b + 1);
  TLex lex;
  if (TLex_Open(path.c_str(), &lex) < 0) _exit(3);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    char word[32];
    snprintf(word, sizeof word, "%s%03d", prefix.c_str(), i);
    if (TLex_Add(&lex, word, nullptr) < 0) ++failures;
  }
  TLex_Close(&lex);
  _exit(failures ? 4 : 0);
}();

struct Child {
#if defined(_WIN32)
  intptr_t handle = -1;
#else
  pid_t pid = -1;
#endif
};

Child StartWriter(const std::string& job) {
  Child c;
#if defined(_WIN32)
  _putenv_s("SPELL_LEX_WRITER", job.c_str());
  c.handle = _spawnl(_P_NOWAIT, _pgmptr, _pgmptr, nullptr);
  _putenv_s("SPELL_LEX_WRITER", "");
#else
  setenv("SPELL_LEX_WRITER", job.c_str(), 1);
  char self[] = "/proc/self/exe";
  char* argv[] = {self, nullptr};
  if (posix_spawn(&c.pid, self, nullptr, nullptr, argv, environ) != 0) c.pid = -1;
  unsetenv("SPELL_LEX_WRITER");
#endif
  return c;
}

int WaitWriter(const Child& c) {
#if defined(_WIN32)
  if (c.handle == -1) return -1;
  int status = -1;
  _cwait(&status, c.handle, 0);
  return status;
#else
  if (c.pid < 0) return -1;
  int status = 0;
  waitpid(c.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::vector<std::string> Words(const TLex& lex) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < lex.count; ++i) {
    std::string w = lex.entries[i].word;
    if (lex.entries[i].replacement) w += std::string(":") + lex.entries[i].replacement;
    out.push_back(w);
  }
  return out;
}

class TextLexicon : public ::testing::Test {
 protected:
  void TearDown() override { timelogSetFile(nullptr); }
  ScratchDir dir;
};

TEST_F(TextLexicon, LoadsAndSavesWithOrWithoutHeader) {
  struct Case {
    const char* name;
    const char* file;
    int16_t type, language;
    std::vector<std::string> words;  // sorted
    const char* savedAfterAddingZebra;
  };
  const Case cases[] = {
      {"no header",
       "pear\napple\n\n# comment\nmango\n",
       1,
       1033,
       {"apple", "mango", "pear"},
       "apple\nmango\npear\nzebra\n"},
      {"header, accept", "#LID 2057 1 2\nteh\nabc\n", 1, 2057, {"abc", "teh"}, "#LID 2057 1 3\nabc\nteh\nzebra\n"},
      {"pairs with one bare word",
       "#LID 1033 0 3\nteh:the\nadn:and\nalone\n",
       0,
       1033,
       {"adn:and", "alone", "teh:the"},
       "#LID 1033 0 4\nadn:and\nalone\nteh:the\nzebra:Z\n"},
      {"header with missing tokens is no header", "#LID 1033\nword\n", 1, 1033, {"word"}, "word\nzebra\n"},
      {"empty file", "", 1, 1033, {}, "zebra\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.Path("lex.tlx");
    WriteFileText(path, c.file);
    int16_t type = -1, language = -1;
    if (std::string(c.name) != "header with missing tokens is no header") {
      ASSERT_EQ(0, TLex_GetInfo(path.c_str(), &type, &language));
      EXPECT_EQ(c.type, type);
      EXPECT_EQ(c.language, language);
    }
    TLex lex;
    ASSERT_EQ(0, TLex_Open(path.c_str(), &lex));
    EXPECT_EQ(c.type, lex.type);
    EXPECT_EQ(c.language, lex.language);
    EXPECT_EQ(c.words, Words(lex));
    ASSERT_EQ(0, TLex_Add(&lex, "zebra", c.type == 0 ? "Z" : nullptr));
    EXPECT_EQ(c.savedAfterAddingZebra, ReadFileText(path));
    TLex_Close(&lex);

    TLex again;
    ASSERT_EQ(0, TLex_Open(path.c_str(), &again));
    EXPECT_EQ(c.words.size() + 1, again.count);
    TLex_Close(&again);
  }
}

TEST_F(TextLexicon, LongLinesStayOneEntry) {
  std::string longWord(200, 'x');
  std::string replacement(150, 'y');
  std::string path = dir.Path("long.tlx");
  WriteFileText(path, "#LID 1033 2 1\n" + longWord + ":" + replacement + "\nshort:s\n");
  TLex lex;
  ASSERT_EQ(0, TLex_Open(path.c_str(), &lex));
  ASSERT_EQ(2u, lex.count);
  char out[400];
  ASSERT_EQ(0, TLex_Check(&lex, longWord.c_str(), 0, true, out, sizeof out));
  EXPECT_EQ(replacement, out);
  // A small buffer gets a cut, terminated copy.
  char small[8];
  ASSERT_EQ(0, TLex_Check(&lex, longWord.c_str(), 0, true, small, sizeof small));
  EXPECT_EQ(std::string(7, 'y'), small);
  TLex_Close(&lex);
}

TEST_F(TextLexicon, FaultyFilesAreRefused) {
  std::string log = dir.Path("spell.log");
  timelogSetFile(log.c_str());
  std::string path = dir.Path("bad.tlx");
  WriteFileText(path, "#LID 1033 7 0\nword\n");
  TLex lex;
  EXPECT_EQ(-6, TLex_Open(path.c_str(), &lex));
  EXPECT_EQ(0u, lex.count);
  TLex_Close(&lex);
  EXPECT_NE(std::string::npos, ReadFileText(log).find("loadLexFile: bad sentinel line: #LID 1033 7 0"));

  int16_t type, language;
  WriteFileText(path, "#LID 1033\n");
  EXPECT_EQ(-6, TLex_GetInfo(path.c_str(), &type, &language));
  EXPECT_EQ(-4, TLex_GetInfo(dir.Path("missing.tlx").c_str(), &type, &language));
  EXPECT_EQ(-4, TLex_Open(dir.Path("missing.tlx").c_str(), &lex));
  EXPECT_NE(std::string::npos, ReadFileText(log).find("TLex_Open: file open error; file="));

  // A path longer than the record holds is refused, never cut short.
  std::string longPath = dir.Path(std::string(300, 'n') + ".tlx");
  EXPECT_EQ(-4, TLex_Open(longPath.c_str(), &lex));
  EXPECT_EQ(-4, TLex_Create(longPath.c_str(), 1, 1033, &lex));
}

TEST_F(TextLexicon, CreateRefusesAnExistingFileAndWritesAHeader) {
  std::string path = dir.Path("new.tlx");
  TLex lex;
  ASSERT_EQ(0, TLex_Create(path.c_str(), 2, 1036, &lex));
  EXPECT_EQ("#LID 1036 2 0\n", ReadFileText(path));
  ASSERT_EQ(-10, TLex_Add(&lex, "", nullptr));
  ASSERT_EQ(0, TLex_Add(&lex, "recieve", "receive"));
  EXPECT_EQ("#LID 1036 2 1\nrecieve:receive\n", ReadFileText(path));
  TLex_Close(&lex);
  TLex other;
  EXPECT_EQ(-14, TLex_Create(path.c_str(), 1, 1033, &other));
  EXPECT_EQ("#LID 1036 2 1\nrecieve:receive\n", ReadFileText(path));
}

TEST_F(TextLexicon, AddingAPresentWordAndDeletingFromEmptyLeaveTheFileAlone) {
  std::string path = dir.Path("keep.tlx");
  // A rewrite would drop the comment line, so it shows whether the file was touched.
  const std::string text = "#LID 1033 1 1\n# kept only while the file is not rewritten\nword\n";
  WriteFileText(path, text);
  TLex lex;
  ASSERT_EQ(0, TLex_Open(path.c_str(), &lex));
  EXPECT_EQ(0, TLex_Add(&lex, "word", nullptr));
  EXPECT_EQ(text, ReadFileText(path));
  EXPECT_EQ(-3, TLex_Delete(&lex, "absent"));
  EXPECT_EQ(text, ReadFileText(path));
  TLex_Close(&lex);

  std::string emptyPath = dir.Path("empty.tlx");
  WriteFileText(emptyPath, "#LID 1033 1 0\n");
  TLex empty;
  ASSERT_EQ(0, TLex_Open(emptyPath.c_str(), &empty));
  EXPECT_EQ(-3, TLex_Delete(&empty, "anything"));
  EXPECT_EQ("#LID 1033 1 0\n", ReadFileText(emptyPath));
  TLex_Close(&empty);
}

TEST_F(TextLexicon, CheckExactAndInAnyCase) {
  TLex lex;
  ASSERT_EQ(0, TLex_Create("", 1, 1033, &lex));
  for (const char* w : {"Paris", "colour", "\xC9t\xE9"}) ASSERT_EQ(0, TLex_Add(&lex, w, nullptr));
  struct Case {
    const char* word;
    bool exact;
    int16_t expected;
  };
  const Case cases[] = {
      {"Paris", true, 0},   {"paris", true, -3},     {"paris", false, 0},     {"COLOUR", false, 0},
      {"COLOUR", true, -3}, {"\xE9t\xE9", false, 0}, {"\xE9t\xE9", true, -3}, {"colours", false, -3},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, TLex_Check(&lex, c.word, 0, c.exact, nullptr, 0)) << c.word;
  TLex_Close(&lex);
}

TEST_F(TextLexicon, ImageListsEveryEntryAndRefusesASmallBuffer) {
  TLex lex;
  ASSERT_EQ(0, TLex_Create("", 0, 1033, &lex));
  ASSERT_EQ(0, TLex_Add(&lex, "teh", "the"));
  ASSERT_EQ(0, TLex_Add(&lex, "adn", "and"));
  uint32_t size = 0;
  ASSERT_EQ(0, TLex_GetImageSize(&lex, &size));
  EXPECT_EQ(17u, size);
  std::vector<char> buffer(size);
  ASSERT_EQ(2, TLex_GetImage(&lex, buffer.data(), size));
  EXPECT_EQ(std::string("adn:and\0teh:the\0\0", 17), std::string(buffer.data(), size));
  EXPECT_EQ(-8, TLex_GetImage(&lex, buffer.data(), size - 1));
  // Words that would read back as other entries are refused.
  EXPECT_EQ(-6, TLex_Add(&lex, "two\nlines", "x"));
  EXPECT_EQ(-6, TLex_Add(&lex, "a:b", "x"));
  EXPECT_EQ(-6, TLex_Add(&lex, "word", "line\nbreak"));
  EXPECT_EQ(2u, lex.count);
  ASSERT_EQ(0, TLex_Delete(&lex, "teh"));
  ASSERT_EQ(0, TLex_Clear(&lex));
  EXPECT_EQ(0u, lex.count);
  TLex_Close(&lex);
}

TEST_F(TextLexicon, AnotherRecordsWordsSurviveTheNextChange) {
  std::string path = dir.Path("shared.tlx");
  WriteFileText(path, "#LID 1033 1 0\n");
  TLex first, second;
  ASSERT_EQ(0, TLex_Open(path.c_str(), &first));
  ASSERT_EQ(0, TLex_Open(path.c_str(), &second));
  // Both changes fall within the same second: file times alone cannot tell.
  ASSERT_EQ(0, TLex_Add(&first, "alpha", nullptr));
  ASSERT_EQ(0, TLex_Add(&second, "beta", nullptr));
  ASSERT_EQ(0, TLex_Delete(&first, "beta"));
  ASSERT_EQ(0, TLex_Add(&first, "gamma", nullptr));
  EXPECT_EQ("#LID 1033 1 2\nalpha\ngamma\n", ReadFileText(path));
  TLex_Close(&first);
  TLex_Close(&second);
}

TEST_F(TextLexicon, TwoProcessesAddingWordsKeepBoth) {
  std::string path = dir.Path("user.tlx");
  WriteFileText(path, "#LID 1033 1 0\n");
  const int perWriter = 40;
  Child a = StartWriter(path + "|apple|" + std::to_string(perWriter));
  Child b = StartWriter(path + "|berry|" + std::to_string(perWriter));
  EXPECT_EQ(0, WaitWriter(a));
  EXPECT_EQ(0, WaitWriter(b));
  TLex lex;
  ASSERT_EQ(0, TLex_Open(path.c_str(), &lex));
  EXPECT_EQ(uint32_t(2 * perWriter), lex.count);
  for (const char* prefix : {"apple", "berry"}) {
    for (int i = 0; i < perWriter; ++i) {
      char word[32];
      snprintf(word, sizeof word, "%s%03d", prefix, i);
      EXPECT_EQ(0, TLex_Check(&lex, word, 0, true, nullptr, 0)) << word;
    }
  }
  TLex_Close(&lex);
}

}  // namespace
