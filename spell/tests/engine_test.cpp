#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "spell/engine.h"
#include "spell/sorn.h"
#include "spell/spellfile.h"
#include "spell/suggest.h"
#include "spell/tests/spell_fixtures.h"

namespace {

const std::vector<std::string> kSmallDictionary = {
    "a",       "I",        "is",    "it",    "the",     "house", "dog",   "dog's", "cat",   "well",
    "known",   "form",     "from",  "some",  "thing",   "apple", "Paris", "can't", "any",   "one",
    "receive", "separate", "there", "their", "they",    "then",  "them",  "these", "quick", "brown",
    "fox",     "jumps",    "over",  "lazy",  "parties", "James", "and"};

// A session over a compressed lexicon packed from a small word list.
class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    clx = dir.Path("small.clx");
    PackLexicon(kSmallDictionary, clx);
    session = SORN_OpenSession();
    ASSERT_GE(session, 0);
    mainLex = SORN_OpenLex(session, clx.c_str(), 0);
    ASSERT_GE(mainLex, 0);
  }
  void TearDown() override {
    if (session >= 0) SORN_CloseSession(session);
    timelogSetFile(nullptr);
  }

  // Checks the whole text, collecting each reported word as "word=result>replacement".
  std::vector<std::string> CheckAll(std::string text, uint32_t options) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 64);
    int16_t block = SORN_OpenBlock(session, buffer.data(), uint32_t(text.size()), uint32_t(buffer.size()), 0);
    EXPECT_GE(block, 0);
    std::vector<std::string> reports;
    for (int guard = 0; guard < 100; ++guard) {
      char word[SORN_WORD_SIZE], replacement[SORN_WORD_SIZE];
      int16_t rc = SORN_CheckBlock(session, block, options, word, replacement);
      if (rc == SORN_END_OF_BLOCK || rc < 0) break;
      reports.push_back(std::string(word) + "=" + std::to_string(rc) + ">" + replacement);
      if (SORN_NextBlockWord(session, block) < 0) break;
    }
    SORN_CloseBlock(session, block);
    return reports;
  }

  ScratchDir dir;
  std::string clx;
  int16_t session = -1;
  int16_t mainLex = -1;
};

TEST_F(Engine, ChecksWordsUnderTheirOptions) {
  const uint32_t base = SORN_OPT_LOOKUP;  // case-insensitive lookup only
  struct Case {
    const char* text;
    uint32_t options;
    std::vector<std::string> reports;
  };
  const Case cases[] = {
      {"the quick brown fox", base, {}},
      {"teh quick fox", base, {"teh=1>teh"}},
      {"teh quick fox", base | SORN_OPT_MARK_LETTERS_ONLY, {"teh=33>teh"}},
      {"THe house", SORN_OPT_REPORT_MIXED | SORN_OPT_EXACT_CASE, {"THe=17>The"}},
      {"THe house", SORN_OPT_REPORT_MIXED, {"THe=16>The"}},
      {"the house. the dog", SORN_OPT_SENTENCE_CAPITAL, {"the=8>The"}},
      {"1st house", SORN_OPT_SENTENCE_CAPITAL, {}},
      {"the the dog", SORN_OPT_DOUBLED, {"the=128>the"}},
      {"the, the dog", SORN_OPT_DOUBLED, {}},
      {"The dog's house", SORN_OPT_POSSESSIVE, {}},
      {"The cat's house", SORN_OPT_POSSESSIVE, {}},
      {"The cat's house", base, {"cat's=1>cat's"}},
      {"the parties' house and James's dog, 'parties'", SORN_OPT_POSSESSIVE, {}},
      {"the parties' house", base, {"parties'=1>parties'"}},
      {"well-known thing", SORN_OPT_HYPHEN_PARTS, {}},
      {"well-known thing", base, {"well-known=1>well-known"}},
      {"something", SORN_OPT_RUN_TOGETHER, {}},
      {"somethingx", SORN_OPT_RUN_TOGETHER, {"somethingx=1>somethingx"}},
      {"Zork is 1234 apple", base | SORN_OPT_ACCEPT_CAPITALISED, {}},
      {"Zork", base, {"Zork=1>Zork"}},
      {"NASA", base | SORN_OPT_ACCEPT_ALLCAPS, {}},
      {"x2y apple", base | SORN_OPT_ACCEPT_NONLETTER, {}},
      {"McZork", base | SORN_OPT_ACCEPT_MIXED, {}},
      {"PARIS", SORN_OPT_EXACT_CASE, {}},
      {"Apple", SORN_OPT_EXACT_CASE, {}},
      {"paris", SORN_OPT_EXACT_CASE, {"paris=1>paris"}},
  };
  Session* s = SessionOf(session);
  for (const Case& c : cases) {
    // The session's own options would add to the case's: clear them here.
    s->options = 0;
    EXPECT_EQ(c.reports, CheckAll(c.text, c.options)) << c.text << " / " << std::hex << c.options;
  }
}

TEST_F(Engine, UserLexiconsChangeSuggestAndRefuse) {
  int16_t change = SORN_CreateLex(session, nullptr, SORN_LEX_CHANGE, 1033);
  int16_t suggest = SORN_CreateLex(session, "", SORN_LEX_SUGGEST, 1033);
  ASSERT_GE(change, 0);
  ASSERT_GE(suggest, 0);
  ASSERT_EQ(0, SORN_AddToLex(session, change, "teh", "the"));
  ASSERT_EQ(0, SORN_AddToLex(session, suggest, "recieve", "receive"));
  EXPECT_EQ(-10, SORN_AddToLex(session, change, "adn", nullptr));
  EXPECT_EQ(-9, SORN_AddToLex(session, mainLex, "word", nullptr));
  SessionOf(session)->options = 0;
  EXPECT_EQ((std::vector<std::string>{"teh=2>the", "Recieve=4>Receive"}),
            CheckAll("teh dog. Recieve it", SORN_OPT_LOOKUP));

  // An excluded word stays wrong although the main lexicon (opened earlier) holds it...
  SORN_CloseLex(session, mainLex);
  std::string excluded = dir.Path("exclude.tlx");
  WriteFileText(excluded, "#LID 1033 3 1\nthing\n");
  int16_t exclude = SORN_OpenLex(session, excluded.c_str(), 0);
  ASSERT_GE(exclude, 0);
  mainLex = SORN_OpenLex(session, clx.c_str(), 0);
  ASSERT_GT(mainLex, exclude);
  EXPECT_EQ((std::vector<std::string>{"thing=1>thing"}), CheckAll("the thing", SORN_OPT_LOOKUP));
  // ...and is never offered as a suggestion.
  char buffer[512];
  int16_t scores[16];
  int16_t n = SORN_Suggest(session, "thinh", kCLexLevelAuto, buffer, sizeof buffer, scores, 16);
  ASSERT_GE(n, 0);
  for (const char* p = buffer; *p; p += strlen(p) + 1) EXPECT_STRNE("thing", p);
}

TEST_F(Engine, SuggestionsAreRankedAndKeepTheWordsForm) {
  char buffer[512];
  int16_t scores[8];
  int16_t n = SORN_Suggest(session, "Teh", kCLexLevelAuto, buffer, sizeof buffer, scores, 8);
  ASSERT_GT(n, 0);
  EXPECT_STREQ("The", buffer);
  EXPECT_EQ(83, scores[0]);
  std::vector<std::string> words;
  for (const char* p = buffer; *p; p += strlen(p) + 1) words.push_back(p);
  EXPECT_EQ(size_t(n), words.size());
  for (int i = 1; i < n; ++i) EXPECT_GE(scores[i - 1], scores[i]);

  n = SORN_Suggest(session, "dgo's", kCLexLevelAuto, buffer, sizeof buffer, scores, 8);
  ASSERT_GT(n, 0);
  EXPECT_STREQ("dog's", buffer);
  n = SORN_Suggest(session, "prties'", kCLexLevelAuto, buffer, sizeof buffer, scores, 8);
  ASSERT_GT(n, 0);
  EXPECT_STREQ("parties'", buffer);
  n = SORN_Suggest(session, "HOUES", kCLexLevelAuto, buffer, sizeof buffer, scores, 8);
  ASSERT_GT(n, 0);
  EXPECT_STREQ("HOUSE", buffer);

  EXPECT_EQ(0, SORN_Suggest(session, "'s", kCLexLevelAuto, buffer, sizeof buffer, scores, 8));
  EXPECT_EQ(-8, SORN_Suggest(session, "teh", kCLexLevelAuto, buffer, 3, scores, 8));
}

TEST_F(Engine, SuggestsSplitsAndAnagramsWhenAsked) {
  SuggestList list;
  ASSERT_TRUE(SuggestListInit(list, 16));
  ASSERT_EQ(0, SuggestWords(SessionOf(session), "anyone", 1, SORN_OPT_SUGGEST_SPLIT | SORN_OPT_LOOKUP, list));
  ASSERT_GE(list.count, 1);
  EXPECT_STREQ("any one", list.entries[0].word);
  SuggestListFree(list);

  ASSERT_TRUE(SuggestListInit(list, 16));
  ASSERT_EQ(0, SuggestWords(SessionOf(session), "from", 3, SORN_OPT_SUGGEST_ANAGRAM, list));
  ASSERT_GE(list.count, 2);
  EXPECT_EQ(100, list.entries[0].score);  // "form" and "from" hold the same letters and sounds
  SuggestListFree(list);
}

TEST(SpellScores, WordSimilarity) {
  struct Case {
    const char* word;
    const char* candidate;
    int16_t score;
  };
  const Case cases[] = {
      {"form", "from", 87},
      {"form", "form", 100},
      {"teh", "the", 83},
      {"The", "the", 99},
      {"cafe", "caf\xE9", 98},
      {"aple", "apple", 90},
      {"cat", "cot", 83},
      {"cat", "cst", 66},
      {"cat", "category", 0},
      {"recieve", "receive", 92},
      {"international", "international", 100},
      {"internationally", "internationalyl", 96},
      {"", "", 100},
      {"abcdefgh", "zyxwvuts", 31},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.score, WordSimilarity(c.word, c.candidate, 0)) << c.word << "/" << c.candidate;
}

TEST(SpellScores, AnagramScore) {
  EXPECT_EQ(0, AnagramScore("cat", "dog", 0));
  EXPECT_EQ(100, AnagramScore("form", "from", 0));
  EXPECT_EQ(100, AnagramScore("teh", "the", 0));
  EXPECT_EQ(85, AnagramScore("thee", "the", 0));
}

TEST(SpellScores, SuggestionListOrderAndLimits) {
  SuggestList list;
  ASSERT_TRUE(SuggestListInit(list, 3));
  AddSuggestion(list, "one", 80, false);
  AddSuggestion(list, "two", 80, false);
  AddSuggestion(list, "three", 80, false);
  AddSuggestion(list, "four", 80, false);  // full of 80s: dropped
  EXPECT_EQ(3, list.count);
  EXPECT_STREQ("three", list.entries[2].word);
  AddSuggestion(list, "five", 81, false);  // first, and the last one goes
  EXPECT_STREQ("five", list.entries[0].word);
  EXPECT_STREQ("two", list.entries[2].word);
  AddSuggestion(list, "two", 99, true);  // already there: only marked refused
  EXPECT_EQ(3, list.count);
  EXPECT_EQ(1, list.entries[2].refused);
  SuggestListFree(list);
}

// The stripped word is what is looked up and what suggestions are made for;
// giving the suggestion back its ending must restore the word as typed.
TEST(SpellScores, PossessivesStripAndComeBack) {
  struct Case {
    const char* word;
    const char* stripped;
  };
  const Case cases[] = {
      {"cat's", "cat"},
      {"parties'", "parties"},
      {"James's", "James"},
      {"James'", "James"},
      {"DOG'S", "DOG"},
      {"dogs\x92", "dogs"},
      {"boss\x92s", "boss"},
      {"'s", ""},
      {"s'", "s"},
      {"can't", "can't"},
      {"'tis", "'tis"},
      {"o'", "o'"},
      {"x", "x"},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[SORN_WORD_SIZE];
    StripPossessive(c.word, 0, SORN_OPT_POSSESSIVE, out);
    EXPECT_STREQ(c.stripped, out) << c.word;
    if (!out[0]) continue;
    AddPossessive(c.word, out, 0);
    EXPECT_STREQ(c.word, out) << c.word;
    StripPossessive(c.word, 0, 0, out);
    EXPECT_STREQ(c.word, out) << "kept without the option: " << c.word;
  }
  char out[SORN_WORD_SIZE];
  StripPossessive(std::string(100, 'a').c_str(), 0, 0, out);
  EXPECT_EQ(63u, strlen(out));
}

TEST(SpellScores, SuggestionsTakeTheWordsCaseAndEnding) {
  struct Case {
    const char* word;
    const char* candidate;
    const char* shown;
  };
  const Case cases[] = {
      {"teh", "the", "the"},
      {"Teh", "the", "The"},
      {"TEH", "the", "THE"},
      {"teh's", "the", "the's"},
      {"dgos'", "dogs", "dogs'"},
      {"partys'", "parties", "parties'"},
      {"Jaems's", "james", "James's"},
      {"paris", "Paris", "Paris"},
      {"PARIS", "paris", "PARIS"},
      // A candidate that has the ending already does not get it twice.
      {"dgos'", "dogs'", "dogs'"},
      {"dgo's", "dog's", "dog's"},
  };
  for (const Case& c : cases) {
    char candidate[SORN_WORD_SIZE];
    strcpy(candidate, c.candidate);
    AddPossessive(c.word, candidate, 0);
    EXPECT_STREQ(c.shown, candidate) << c.word;
  }
  // The ending never runs past the word's 63 characters.
  char candidate[SORN_WORD_SIZE];
  std::string full(63, 'a');
  strcpy(candidate, full.c_str());
  AddPossessive("aa's", candidate, 0);
  EXPECT_EQ(full, candidate);
}

TEST_F(Engine, BlocksReplaceDeleteAndCount) {
  char text[64] = "Teh cat sat, e.g. here; the dogs' toy. tom' x";
  uint32_t length = uint32_t(strlen(text));
  int16_t block = SORN_OpenBlock(session, text, length, sizeof text, 0);
  ASSERT_GE(block, 0);
  std::vector<std::string> words;
  std::vector<uint32_t> counts;
  Block* b = SessionOf(session)->blocks[block];
  do {
    char word[SORN_WORD_SIZE];
    ASSERT_EQ(0, BlockReadWord(b, word, nullptr));
    words.push_back(word);
    uint32_t count = 0;
    SORN_GetBlockInfo(session, block, nullptr, nullptr, nullptr, &count);
    counts.push_back(count);
  } while (SORN_NextBlockWord(session, block) == 0);
  EXPECT_EQ((std::vector<std::string>{"Teh", "cat", "sat", "e.g.", "here", "the", "dogs'", "toy", "tom", "x"}), words);
  EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), counts);
  SORN_CloseBlock(session, block);

  block = SORN_OpenBlock(session, text, length, sizeof text, 0);
  ASSERT_EQ(0, SORN_ReplaceBlockWord(session, block, "The"));
  ASSERT_EQ(0, SORN_NextBlockWord(session, block));
  ASSERT_EQ(0, SORN_ReplaceBlockWord(session, block, "caterpillar"));
  ASSERT_EQ(0, SORN_NextBlockWord(session, block));
  ASSERT_EQ(0, SORN_DelBlockWord(session, block));
  uint32_t newLength = 0, cursor = 0;
  ASSERT_EQ(0, SORN_GetBlockInfo(session, block, &newLength, nullptr, &cursor, nullptr));
  EXPECT_EQ("The caterpillar , e.g. here; the dogs' toy. tom' x", std::string(text, newLength));
  EXPECT_EQ(-8, SORN_ReplaceBlockWord(session, block, std::string(40, 'w').c_str()));
  EXPECT_EQ("The caterpillar , e.g. here; the dogs' toy. tom' x", std::string(text, newLength));
  SORN_CloseBlock(session, block);

  EXPECT_EQ(-8, SORN_OpenBlock(session, text, 100, 50, 0));
  char emptied[32] = "bad word here";
  block = SORN_OpenBlock(session, emptied, uint32_t(strlen(emptied)), sizeof emptied, 0);
  ASSERT_EQ(0, SORN_ReplaceBlockWord(session, block, ""));  // the walk goes on after an empty replacement
  char word[SORN_WORD_SIZE], replacement[SORN_WORD_SIZE];
  SessionOf(session)->options = 0;
  EXPECT_EQ(SORN_NOTFOUND, SORN_CheckBlock(session, block, SORN_OPT_LOOKUP, word, replacement));
  EXPECT_STREQ("word", word);
  SORN_CloseBlock(session, block);
  std::string copy = "one two";
  block = SORN_OpenBlock(session, copy.data(), uint32_t(copy.size()), 32, 1);
  ASSERT_GE(block, 0);
  ASSERT_EQ(0, SORN_ReplaceBlockWord(session, block, "three"));
  EXPECT_EQ("one two", copy);  // the block works on its own copy
  SORN_CloseBlock(session, block);
}

TEST_F(Engine, IdsAreCheckedAndSlotsLimited) {
  std::string log = dir.Path("spell.log");
  timelogSetFile(log.c_str());
  EXPECT_EQ(-2, SORN_OpenLex(16, clx.c_str(), 0));
  EXPECT_EQ(-2, SORN_CloseSession(-1));
  EXPECT_EQ(-7, SORN_CloseLex(session, 9));
  EXPECT_EQ(-16, SORN_CloseBlock(session, 3));
  EXPECT_EQ(-16, SORN_CheckBlock(session, 4, 0, nullptr, nullptr));
  EXPECT_EQ(-6, SORN_CreateLex(session, nullptr, 4, 1033));
  EXPECT_EQ(-13, SORN_GetLex(session, mainLex, nullptr, 0));
  EXPECT_EQ(-9, SORN_ClearLex(session, mainLex));
  std::string text = ReadFileText(log);
  for (const char* line :
       {"SORN_OpenLex: bad session id 16", "SORN_CloseLex: bad lex id 9", "SORN_CloseBlock: bad block id 3",
        "SORN_CreateLex: bad lex type 4", "SORN_GetLex: unsupported action"})
    EXPECT_NE(std::string::npos, text.find(line)) << line;

  std::vector<int16_t> sessions;
  for (int i = 1; i < SORN_MAX_SESSIONS; ++i) sessions.push_back(SORN_OpenSession());
  for (int16_t id : sessions) EXPECT_GE(id, 0);
  EXPECT_EQ(-1, SORN_OpenSession());
  for (int16_t id : sessions) EXPECT_EQ(0, SORN_CloseSession(id));

  for (int i = 1; i < SORN_MAX_LEXICONS; ++i) EXPECT_GE(SORN_CreateLex(session, nullptr, 1, 1033), 0);
  EXPECT_EQ(-5, SORN_CreateLex(session, nullptr, 1, 1033));
  EXPECT_EQ(-5, SORN_OpenLex(session, clx.c_str(), 0));
  EXPECT_EQ(0, SORN_CloseLex(session, 3));
  EXPECT_EQ(3, SORN_CreateLex(session, nullptr, 1, 1033));  // ids are reused

  char text4[4][8] = {"a", "b", "c", "d"};
  for (auto& t : text4) EXPECT_GE(SORN_OpenBlock(session, t, 1, 8, 0), 0);
  char extra[8] = "e";
  EXPECT_EQ(-15, SORN_OpenBlock(session, extra, 1, 8, 0));
}

TEST_F(Engine, OpensEitherFormatAndReportsIt) {
  std::string notClx = dir.Path("looks.clx");
  std::vector<uint8_t> bytes(3000, 'x');
  bytes[2999] = '\n';
  WriteFileBytes(notClx, bytes);
  int16_t asText = SORN_OpenLex(session, notClx.c_str(), 0);  // wrong version: read as a word list
  ASSERT_GE(asText, 0);
  uint32_t size = 0;
  uint16_t format = 9, language = 0;
  int16_t type = -1;
  ASSERT_EQ(0, SORN_GetLexInfo(session, asText, &size, &format, &type, &language));
  EXPECT_EQ(SORN_FORMAT_TEXT, format);
  EXPECT_EQ(1, type);
  EXPECT_EQ(3001u, size);
  ASSERT_EQ(0, SORN_GetLexInfo(session, mainLex, &size, &format, &type, &language));
  EXPECT_EQ(SORN_FORMAT_COMPRESSED, format);
  EXPECT_EQ(0u, size);
  EXPECT_EQ(1033, language);
  EXPECT_EQ(-4, SORN_OpenLex(session, dir.Path("absent.tlx").c_str(), 0));

  std::string user = dir.Path("user.tlx");
  int16_t created = SORN_CreateLex(session, user.c_str(), SORN_LEX_ACCEPT, 2057);
  ASSERT_GE(created, 0);
  EXPECT_EQ(0, SORN_AddToLex(session, created, "colour's", nullptr));
  EXPECT_EQ(0, SORN_AddToLex(session, created, "zebra", nullptr));
  EXPECT_EQ(0, SORN_DelFromLex(session, created, "zebra"));
  EXPECT_EQ(-3, SORN_DelFromLex(session, created, "zebra"));
  char image[64];
  EXPECT_EQ(1, SORN_GetLex(session, created, image, sizeof image));
  EXPECT_STREQ("colour", image);
  EXPECT_EQ("#LID 2057 1 1\ncolour\n", ReadFileText(user));
  EXPECT_EQ(-14, SORN_CreateLex(session, user.c_str(), SORN_LEX_ACCEPT, 2057));
}

}  // namespace
