// The front end's portable half: the language list, the session with its
// dictionaries, and the walk that decides what the user is asked, over real
// lexicon files made in a scratch directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "spell/check_walk.h"
#include "spell/front.h"
#include "spell/tests/spell_fixtures.h"

namespace {

TEST(SpellLanguages, MainLexiconListFollowsTheChosenLanguagesAndStopsAtTen) {
  struct Case {
    std::vector<uint32_t> languages;
    std::vector<std::string> names;
  } cases[] = {
      {{1033}, {"sornamc.tlx", "sornam1.clx"}},
      {{1033, 9999, 0, 1036}, {"sornamc.tlx", "sornam1.clx", "sornfr.tlx", "sornfr1.clx"}},
      // Two Norwegian forms share their text lexicon.
      {{1044, 2068}, {"sornnoc.tlx", "sornno1.clx", "sornnoc.tlx", "sornno2.clx"}},
      {{}, {}},
      {{1033, 2057, 1036, 1031, 1040, 1034},
       {"sornamc.tlx", "sornam1.clx", "sornbrc.tlx", "sornbr1.clx", "sornfr.tlx", "sornfr1.clx", "sornge.tlx",
        "sornge1.clx", "sornitc.tlx", "sornit1.clx"}},
  };
  for (const Case& c : cases) {
    char names[kMainLexiconMax][kMainLexiconNameMax + 1];
    int n = BuildMainLexiconList(c.languages.data(), int(c.languages.size()), names);
    std::vector<std::string> got(names, names + n);
    EXPECT_EQ(got, c.names) << "first language " << (c.languages.empty() ? 0 : c.languages[0]);
  }
}

TEST(SpellSubject, RepliesAndBinaryMailAreNotChecked) {
  struct Case {
    const char* subject;
    bool checked;
  } cases[] = {{"Re: the meeting", false},     {"RE:meeting", false}, {"re:", false}, {"Reply to all", true},
               {"Re meeting", true},           {"R", true},           {"", true},     {"Hello", true},
               {"Files binmail: x.zip", false}};
  for (const Case& c : cases) EXPECT_EQ(SubjectIsChecked(c.subject), c.checked) << c.subject;
}

TEST(SpellQuotes, QuotedLinesAndOpenDoubleAngleQuotesArePassedOver) {
  struct Case {
    const char* text;
    const char* word;  // its first occurrence is asked about
    bool quoted;
  } cases[] = {
      {"> quoted text", "quoted", true},
      {">not a quote", "not", false},
      {"first line\r\n> second line", "second", true},
      {"> first line\r\nsecond line", "second", false},
      {"a >  b", "b", false},
      {"<< inside >> outside", "inside", true},
      {"<< inside >> outside", "outside", false},
      {"<<< one pair opens once", "once", true},
      {"<<<< two >> one still open", "still", true},
      {"<< a >><< b >> >> closed", "closed", false},
      {"<\n< apart", "apart", false},
  };
  for (const Case& c : cases) {
    size_t at = std::strstr(c.text, c.word) - c.text;
    EXPECT_EQ(IsQuotedWord(c.text, std::strlen(c.text), at), c.quoted) << c.text << " / " << c.word;
  }
}

TEST(SpellSuggestions, OnlyStrongSuggestionsNearTheBestAreListed) {
  struct Case {
    std::vector<int16_t> scores;
    int listed;
  } cases[] = {
      {{90, 80, 71, 70, 69}, 4}, {{60, 55, 50, 49}, 3}, {{45, 44}, 0}, {{}, 0}, {std::vector<int16_t>(20, 90), 16}};
  for (const Case& c : cases) EXPECT_EQ(SelectSuggestions(c.scores.data(), int(c.scores.size())), c.listed);
}

const std::vector<std::string> kWords = {"a",    "is",     "it",   "the", "this",  "test", "of",   "checker",
                                         "line", "quoted", "also", "end", "wrong", "ok",   "here", "there"};

std::vector<std::string> s_log;
void Collect(const char* text) { s_log.push_back(text); }

class SpellWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    PackLexicon(kWords, dir.Path("main.clx"));
    WriteFileText(dir.Path("custom.tlx"), "#LID 1033 1 1\nPelmora\n");
    mainPath = dir.Path("main.clx");
    customPath = dir.Path("custom.tlx");
    autoPath = dir.Path("autocorr.tlx");
    ignorePath = dir.Path("ignore.tlx");
    suggestPath = dir.Path("suggest.tlx");
    settings.autoCorrectPath = autoPath.c_str();
    settings.ignorePath = ignorePath.c_str();
    settings.suggestPath = suggestPath.c_str();
    std::snprintf(settings.mainNames[0], sizeof settings.mainNames[0], "%s", "custom.tlx");
    settings.mainCount = 0;
    // The session opens main lexicons by name from the current directory in
    // the program; the tests give whole paths through a list of their own.
    s_log.clear();
    g_spellFrontHooks.debugLog = Collect;
  }
  void TearDown() override {
    EndCheckWalk(walk);
    closeSORN();
    g_spellFrontHooks.debugLog = [](const char*) {};
  }
  // Opens the session with the scratch lexicons, AutoCorrect as options say.
  void Open(uint32_t options) {
    settings.options = options;
    ASSERT_EQ(OpenSpellSession(settings), 0);
    for (const std::string& path : {customPath, mainPath}) ASSERT_GE(SORN_OpenLex(g_sorn.session, path.c_str(), 0), 0);
  }
  // Starts a walk over text; returns the first question.
  int16_t Start(const std::string& text, uint32_t options) {
    buffer.assign(text.begin(), text.end());
    buffer.resize(text.size() + 256, 0);
    EXPECT_GE(BeginCheckWalk(walk, buffer.data(), uint32_t(text.size()), uint32_t(buffer.size()), options), 0);
    return NextSpellingQuestion(walk);
  }
  std::string Text() const { return std::string(buffer.data(), WalkLength(walk)); }
  // Ignores every question to the end, collecting the words asked about.
  std::vector<std::string> Questions(const std::string& text, uint32_t options) {
    std::vector<std::string> asked;
    for (int16_t r = Start(text, options); r != SORN_END_OF_BLOCK && r >= 0; r = IgnoreOnce(walk))
      asked.push_back(walk.word);
    EndCheckWalk(walk);
    return asked;
  }

  ScratchDir dir;
  std::string mainPath, customPath, autoPath, ignorePath, suggestPath;
  SpellOpenSettings settings;
  CheckWalk walk;
  std::vector<char> buffer;
};

constexpr uint32_t kOptions = 0x481c784;  // the user's default options word, skip-quoted included

TEST_F(SpellWalk, SessionOpensItsLexiconsInOrderAndCloseClearsEveryId) {
  Open(kSpellNoAutoCorrect);
  EXPECT_TRUE(SpellSessionOpen());
  EXPECT_GE(g_sorn.tempChange, 0);
  EXPECT_GE(g_sorn.tempIgnore, 0);
  EXPECT_GE(g_sorn.tempSuggest, 0);
  EXPECT_EQ(g_sorn.autoCorrect, -1) << "AutoCorrect stays closed under 0x2000000";
  EXPECT_GE(g_sorn.ignore, 0);
  EXPECT_GE(g_sorn.suggest, 0);
  std::vector<std::string> expected = {"openSORN: Start\n", "openSORN: After SORN_OpenSession\n",
                                       "openSORN: #1\n",    "openSORN: #2\n",
                                       "openSORN: #3\n",    "openSORN: #4\n",
                                       "openSORN: #5\n",    "openSORN: #6\n",
                                       "openSORN: #7\n"};
  EXPECT_EQ(s_log, expected);
  EXPECT_EQ(OpenSpellSession(settings), 0) << "an open session is kept";
  closeSORN();
  EXPECT_FALSE(SpellSessionOpen());
  EXPECT_EQ(g_sorn.ignore, -1);
  EXPECT_EQ(s_log.back(), "closeSORN: end\n");
  // The dictionaries a first session created are files now, and a second
  // session with AutoCorrect opens all three.
  EXPECT_EQ(ReadFileText(ignorePath).substr(0, 4), "#LID");
  Open(0);
  EXPECT_GE(g_sorn.autoCorrect, 0);
}

TEST_F(SpellWalk, AMissingMainLexiconFailsTheOpeningWithItsCode) {
  std::snprintf(settings.mainNames[0], sizeof settings.mainNames[0], "%s", "sornxx1.clx");
  settings.mainCount = 1;
  int16_t code = OpenSpellSession(settings);
  EXPECT_LT(code, 0);
  EXPECT_EQ(s_log.back().rfind("Error ", 0), 0u) << s_log.back();
  EXPECT_NE(s_log.back().find("opening sornxx1.clx"), std::string::npos);
  EXPECT_TRUE(SpellSessionOpen()) << "what was opened stays open for closeSORN";
  closeSORN();
  EXPECT_FALSE(SpellSessionOpen());
}

TEST_F(SpellWalk, QuotedWordsAreAskedOnlyWithoutTheSkipOption) {
  Open(kSpellNoAutoCorrect);
  std::string text = "This is a tset.\r\n> quoted wrnog line\r\n<< also wrnog >> end Pelmora\r\n";
  EXPECT_EQ(Questions(text, kOptions), std::vector<std::string>({"tset"}));
  EXPECT_EQ(Questions(text, kOptions & ~kSpellSkipQuoted), std::vector<std::string>({"tset", "wrnog", "wrnog"}));
}

TEST_F(SpellWalk, AnswersChangeTheTextAsTheUserAsked) {
  struct Case {
    const char* name;
    const char* text;
    int16_t (*answer)(CheckWalk&);
    const char* after;
    std::vector<std::string> laterQuestions;
  } cases[] = {
      {"replace", "tset it tset", [](CheckWalk& w) { return ReplaceOnce(w, "test"); }, "test it tset", {"tset"}},
      {"replace all",
       "tset it tset, tset.",
       [](CheckWalk& w) { return ReplaceAll(w, "test"); },
       "test it test, test.",
       {}},
      {"ignore all", "tset it tset", [](CheckWalk& w) { return IgnoreAll(w); }, "tset it tset", {}},
      {"empty change deletes", "tset it here", [](CheckWalk& w) { return ReplaceOnce(w, ""); }, "it here", {}},
      {"grows the text", "a tset", [](CheckWalk& w) { return ReplaceOnce(w, "checker test"); }, "a checker test", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    closeSORN();  // each case in a session of its own
    Open(kSpellNoAutoCorrect);
    ASSERT_EQ(Start(c.text, kOptions), SORN_NOTFOUND);
    std::vector<std::string> later;
    for (int16_t r = c.answer(walk); r != SORN_END_OF_BLOCK && r >= 0; r = IgnoreOnce(walk)) later.push_back(walk.word);
    EXPECT_EQ(Text(), c.after);
    EXPECT_EQ(later, c.laterQuestions);
    EndCheckWalk(walk);
  }
}

TEST_F(SpellWalk, ADoubledWordIsAskedAndDeleted) {
  Open(kSpellNoAutoCorrect);
  ASSERT_EQ(Start("this is the the end", kOptions), SORN_DOUBLED);
  EXPECT_STREQ(walk.word, "the");
  EXPECT_EQ(WalkCursor(walk), 12u) << "the second one";
  EXPECT_EQ(DeleteWord(walk), SORN_END_OF_BLOCK);
  EXPECT_EQ(Text(), "this is the end");
}

TEST_F(SpellWalk, ReplaceAllLastsForOneSessionOnly) {
  Open(kSpellNoAutoCorrect);
  Start("tset", kOptions);
  ReplaceAll(walk, "test");
  EndCheckWalk(walk);
  EXPECT_EQ(Questions("and tset", kOptions), std::vector<std::string>({"and"})) << "changed without asking";
  closeSORN();
  Open(kSpellNoAutoCorrect);
  EXPECT_EQ(Questions("and tset", kOptions), std::vector<std::string>({"and", "tset"}));
}

TEST_F(SpellWalk, AutoCorrectPairsChangeWithoutAskingAndCannotLoop) {
  WriteFileText(autoPath, "#LID 1033 0 3\nteh:the\nwrnog:wrnag\nwrnag:wrnog\n");
  Open(0);
  EXPECT_EQ(Start("teh test wrnog ok", kOptions), SORN_END_OF_BLOCK);
  EXPECT_EQ(Text(), "the test wrnag ok");
  EXPECT_TRUE(walk.changed);
}

TEST_F(SpellWalk, AddingFromTheCheckGoesToTheChosenDictionary) {
  Open(kSpellNoAutoCorrect);
  // Pair dictionaries take Change To as the replacement and refuse an empty one.
  EXPECT_EQ(AddToDictionary(DICT_SUGGESTION, "tset", "", settings), SORN_NEED_REPLACEMENT);
  EXPECT_EQ(ReadFileText(suggestPath).find("tset"), std::string::npos);
  EXPECT_EQ(AddToDictionary(DICT_SUGGESTION, "tset", "test", settings), 0);
  EXPECT_NE(ReadFileText(suggestPath).find("tset:test"), std::string::npos);
  EXPECT_EQ(AddToDictionary(DICT_IGNORE, "Zorblax", "ignored", settings), 0);
  EXPECT_NE(ReadFileText(ignorePath).find("Zorblax\n"), std::string::npos);
  EXPECT_EQ(ReadFileText(ignorePath).find("ignored"), std::string::npos);
  // AutoCorrect is closed during the check: opened for the addition only.
  EXPECT_EQ(AddToDictionary(DICT_AUTOCORRECT, "wrnog", "wrong", settings), 0);
  EXPECT_NE(ReadFileText(autoPath).find("wrnog:wrong"), std::string::npos);
  EXPECT_EQ(g_sorn.autoCorrect, -1);
  // The added words take effect in the same check.
  EXPECT_EQ(Start("Zorblax tset", kOptions), SORN_SUGGESTED);
  EXPECT_STREQ(walk.word, "tset");
  EXPECT_STREQ(walk.replacement, "test");
}

}  // namespace
