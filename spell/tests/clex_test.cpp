#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "spell/chartab.h"
#include "spell/clex.h"
#include "spell/soundtab.h"
#include "spell/spellfile.h"
#include "spell/tests/spell_fixtures.h"
#include "spell/tools/clx_pack.h"

namespace {

// One lexicon packed from the whole Debian word list for the suite.
class CompressedLexicon : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScratchDir();
    path_ = dir_->Path("american.clx");
    ASSERT_FALSE(WordList().empty()) << "the word list " << kWordListPath << " is missing (scripts/setup.sh)";
    PackLexicon(WordList(), path_);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void TearDown() override { timelogSetFile(nullptr); }

  static ScratchDir* dir_;
  static std::string path_;
};
ScratchDir* CompressedLexicon::dir_ = nullptr;
std::string CompressedLexicon::path_;

TEST_F(CompressedLexicon, AnswersEveryWordOfItsListExactly) {
  CLex lex;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &lex));
  size_t missing = 0;
  for (const std::string& w : WordList()) {
    if (w.size() > kClxMaxWord) continue;
    if (CLex_Check(w.c_str(), 0, true, &lex) != 0 && ++missing < 10) ADD_FAILURE() << "not found: " << w;
  }
  EXPECT_EQ(0u, missing);
  // And in capitals when the check is not exact, every word's case forms.
  for (size_t i = 0; i < WordList().size(); i += 5) {
    std::string upper = WordList()[i];
    if (upper.size() > kClxMaxWord) continue;
    for (char& c : upper) c = static_cast<char>(ToCapital(0, static_cast<unsigned char>(c)));
    if (CLex_Check(upper.c_str(), 0, false, &lex) != 0 && ++missing < 10) ADD_FAILURE() << "not found: " << upper;
  }
  EXPECT_EQ(0u, missing);
  CLex_Close(&lex);
}

TEST_F(CompressedLexicon, RefusesWordsThatAreNotThere) {
  CLex lex;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &lex));
  std::vector<std::string> sorted = WordList();
  std::sort(sorted.begin(), sorted.end());
  // Every word with one letter changed or added that the list lacks.
  size_t tried = 0, wrong = 0;
  for (size_t i = 0; i < sorted.size(); i += 97) {
    for (const std::string& probe : {sorted[i] + "q", "x" + sorted[i], sorted[i].substr(0, sorted[i].size() - 1)}) {
      if (probe.empty() || std::binary_search(sorted.begin(), sorted.end(), probe)) continue;
      ++tried;
      if (CLex_Check(probe.c_str(), 0, true, &lex) != -3) ++wrong;
    }
  }
  EXPECT_GT(tried, 1000u);
  EXPECT_EQ(0u, wrong);
  CLex_Close(&lex);
}

TEST_F(CompressedLexicon, CaseInsensitiveChecksFindOtherCaseForms) {
  CLex lex;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &lex));
  struct Case {
    const char* word;
    bool exact;
    int16_t expected;
  };
  const Case cases[] = {
      {"the", true, 0},         {"The", true, -3},    {"The", false, 0},     {"THE", false, 0},
      {"tHE", false, 0},        {"paris", true, -3},  {"paris", false, 0},   {"Paris", true, 0},
      {"a", true, 0},           {"A", false, 0},      {"OK", false, 0},      {"zz", false, -3},
      {"\xE9t\xE9", false, -3}, {"caf\xE9", true, 0}, {"CAF\xC9", false, 0}, {"qqqq", false, -3},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, CLex_Check(c.word, 0, c.exact, &lex)) << c.word;
  CLex_Close(&lex);
}

TEST_F(CompressedLexicon, BudgetEvictsTheLeastRecentlyUsedSegment) {
  CLex probe;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &probe));
  uint32_t largest = 0;
  for (uint16_t i = 0; i < probe.segmentCount; ++i) largest = std::max(largest, probe.segments[i].size);

  CLex small;
  EXPECT_EQ(-12, CLex_Open(path_.c_str(), largest - 1, &small));

  // The two largest segments cannot both be held within the largest one's size.
  std::string firstWord, secondWord;
  uint32_t second = 0;
  for (uint16_t i = 0; i < probe.segmentCount; ++i) {
    if (probe.segments[i].size == largest || probe.segments[i].size < second) continue;
    second = probe.segments[i].size;
  }
  std::vector<uint32_t> sizeOfStart(256 * 256, 0);
  for (uint16_t i = 0; i < probe.segmentCount; ++i)
    sizeOfStart[probe.segments[i].first * 256 + probe.segments[i].second] = probe.segments[i].size;
  for (const std::string& w : WordList()) {
    if (w.size() < 3) continue;
    uint32_t size = sizeOfStart[uint8_t(w[0]) * 256 + uint8_t(w[1])];
    if (size == largest && firstWord.empty()) firstWord = w;
    if (size == second && secondWord.empty()) secondWord = w;
  }
  ASSERT_FALSE(firstWord.empty());
  ASSERT_FALSE(secondWord.empty());
  CLex lex;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), largest, &lex));
  const char* words[] = {firstWord.c_str(), secondWord.c_str(), firstWord.c_str(), secondWord.c_str()};
  for (const char* w : words) ASSERT_EQ(0, CLex_Check(w, 0, true, &lex)) << w;
  EXPECT_EQ(4u, lex.segmentReads);  // one segment fits: each switch reads again
  int loaded = 0;
  for (uint16_t i = 0; i < lex.segmentCount; ++i) loaded += lex.segments[i].data != nullptr;
  EXPECT_EQ(1, loaded);
  CLex_Close(&lex);

  CLex_Close(&probe);
  CLex roomy;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &roomy));
  for (const char* w : words) ASSERT_EQ(0, CLex_Check(w, 0, true, &roomy));
  EXPECT_EQ(2u, roomy.segmentReads);
  CLex_Close(&roomy);
}

TEST_F(CompressedLexicon, FullBudgetGivesUpTheSegmentUsedLongestAgo) {
  CLex probe;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &probe));
  // The three largest segments that hold a word of the list: the budget holds
  // the two larger ones (so any two, and every segment alone), never all three.
  std::vector<uint32_t> sizeOfStart(256 * 256, 0);
  for (uint16_t i = 0; i < probe.segmentCount; ++i)
    sizeOfStart[probe.segments[i].first * 256 + probe.segments[i].second] = probe.segments[i].size;
  std::vector<std::string> wordOfStart(256 * 256);
  for (const std::string& w : WordList()) {
    if (w.size() < 3) continue;
    int start = uint8_t(w[0]) * 256 + uint8_t(w[1]);
    if (sizeOfStart[start] && wordOfStart[start].empty()) wordOfStart[start] = w;
  }
  std::vector<int> starts;
  for (int start = 0; start < 256 * 256; ++start)
    if (!wordOfStart[start].empty()) starts.push_back(start);
  ASSERT_GE(starts.size(), 3u);
  std::partial_sort(starts.begin(), starts.begin() + 3, starts.end(),
                    [&](int a, int b) { return sizeOfStart[a] > sizeOfStart[b]; });
  starts.resize(3);
  std::vector<std::string> words = {wordOfStart[starts[0]], wordOfStart[starts[1]], wordOfStart[starts[2]]};
  uint32_t largest = 0;
  for (uint16_t i = 0; i < probe.segmentCount; ++i) largest = std::max(largest, probe.segments[i].size);
  const uint32_t budget = std::max(largest, sizeOfStart[starts[0]] + sizeOfStart[starts[1]]);
  ASSERT_LT(budget, sizeOfStart[starts[0]] + sizeOfStart[starts[1]] + sizeOfStart[starts[2]]);
  CLex_Close(&probe);

  CLex lex;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), budget, &lex));
  auto loaded = [&](int k) {
    for (uint16_t i = 0; i < lex.segmentCount; ++i)
      if (lex.segments[i].first * 256 + lex.segments[i].second == starts[k]) return lex.segments[i].data != nullptr;
    return false;
  };
  // A, then B, then A again: B is now the one used longest ago, so C's
  // arrival gives B up and keeps A.
  for (int k : {0, 1, 0, 2}) ASSERT_EQ(0, CLex_Check(words[k].c_str(), 0, true, &lex)) << words[k];
  EXPECT_TRUE(loaded(0)) << "the segment used last but one was given up";
  EXPECT_FALSE(loaded(1)) << "the segment used longest ago was kept";
  EXPECT_TRUE(loaded(2));
  EXPECT_EQ(3u, lex.segmentReads);
  CLex_Close(&lex);
}

// Words that probe a lexicon where a lookup can go wrong: the first and
// last word of every segment and of a share of its sub-blocks, a sample of
// the rest, and each of those in other capitals, with possessive endings,
// a letter more, a letter less and the last letter changed.
std::vector<std::string> ProbeWords() {
  std::vector<std::string> sorted = WordList();
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string> base;
  for (size_t i = 0; i < sorted.size(); ++i) {
    const std::string& w = sorted[i];
    if (w.size() < 3) continue;
    bool lastOfGroup = i + 1 == sorted.size() || sorted[i + 1].compare(0, 3, w, 0, 3) != 0;
    bool firstOfGroup = i == 0 || sorted[i - 1].compare(0, 3, w, 0, 3) != 0;
    bool segmentEdge = (i + 1 == sorted.size() || sorted[i + 1].compare(0, 2, w, 0, 2) != 0) ||
                       (i == 0 || sorted[i - 1].compare(0, 2, w, 0, 2) != 0);
    if (segmentEdge || ((firstOfGroup || lastOfGroup) && i % 3 == 0) || i % 41 == 0) base.push_back(w);
  }
  std::vector<std::string> probes;
  for (const std::string& w : base) {
    std::string upper = w, lower = w, capital = w;
    for (char& c : upper) c = static_cast<char>(ToCapital(0, static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(ToSmall(0, static_cast<unsigned char>(c)));
    capital[0] = static_cast<char>(ToCapital(0, static_cast<unsigned char>(capital[0])));
    std::string changed = w;
    changed.back() = changed.back() == 'e' ? 'a' : 'e';
    for (const std::string& p :
         {w, upper, lower, capital, w + "'s", upper + "'S", w + "s'", w + "q", changed, w.substr(0, w.size() - 1)})
      if (p.size() <= kClxMaxWord) probes.push_back(p);
  }
  return probes;
}

TEST_F(CompressedLexicon, IndexedSegmentsAnswerAsDecodingDoes) {
  CLex indexed, decoding;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &indexed));
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &decoding));
  decoding.indexSegments = 0;
  const std::vector<std::string> probes = ProbeWords();
  size_t found = 0, refused = 0, differ = 0;
  // Twice over, as a segment is indexed when it is checked again.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& w : probes) {
      for (bool exact : {true, false}) {
        int16_t want = CLex_Check(w.c_str(), 0, exact, &decoding);
        int16_t got = CLex_Check(w.c_str(), 0, exact, &indexed);
        (want == 0 ? found : refused) += round;
        if (got != want && ++differ < 20) {
          ADD_FAILURE() << w << (exact ? " exact" : " any case") << ": " << got << " where decoding gives " << want;
        }
      }
    }
  }
  EXPECT_EQ(0u, differ);
  EXPECT_GT(found, probes.size() / 2);
  EXPECT_GT(refused, probes.size() / 2);
  int withIndex = 0;
  for (uint16_t i = 0; i < indexed.segmentCount; ++i) withIndex += indexed.segments[i].index != nullptr;
  EXPECT_GT(withIndex, indexed.segmentCount / 2);
  EXPECT_EQ(0, std::count_if(decoding.segments, decoding.segments + decoding.segmentCount,
                             [](const CLexSegment& s) { return s.index != nullptr; }));
  CLex_Close(&indexed);
  CLex_Close(&decoding);
}

// An index lives on the budget's spare room: under any budget the lexicon
// reads and holds the same segments as one without indexes, and never goes
// over the budget.
TEST_F(CompressedLexicon, IndexesNeverCostASegmentRead) {
  std::vector<std::string> words;
  std::mt19937 rng(7);
  const std::vector<std::string>& list = WordList();
  for (int i = 0; i < 3000; ++i) {
    // Runs of words from one place of the list, as text repeats its words.
    const std::string& w = list[(rng() % 40) * (list.size() / 40) + rng() % 200];
    if (w.size() >= 3) words.push_back(w);
  }
  CLex probe;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &probe));
  uint32_t largest = 0;
  for (uint16_t i = 0; i < probe.segmentCount; ++i) largest = std::max(largest, probe.segments[i].size);
  CLex_Close(&probe);
  for (uint32_t budget : {largest, 3 * largest, 64u * 1024u, 256u * 1024u}) {
    CLex indexed, decoding;
    ASSERT_EQ(0, CLex_Open(path_.c_str(), budget, &indexed));
    ASSERT_EQ(0, CLex_Open(path_.c_str(), budget, &decoding));
    decoding.indexSegments = 0;
    int built = 0;
    for (const std::string& w : words) {
      ASSERT_EQ(0, CLex_Check(w.c_str(), 0, true, &decoding)) << w;
      ASSERT_EQ(0, CLex_Check(w.c_str(), 0, true, &indexed)) << w;
      uint64_t held = 0;
      for (uint16_t i = 0; i < indexed.segmentCount; ++i) {
        const CLexSegment& s = indexed.segments[i];
        ASSERT_EQ(s.data != nullptr, decoding.segments[i].data != nullptr) << "budget " << budget << ", " << w;
        if (s.data) held += s.size + s.indexBytes;
        built += s.index != nullptr;
      }
      ASSERT_LE(held, budget);
      ASSERT_EQ(budget - held, indexed.budget);
    }
    EXPECT_EQ(decoding.segmentReads, indexed.segmentReads) << "budget " << budget;
    if (budget > 3 * largest) {
      EXPECT_GT(built, 0) << "budget " << budget;
    }
    CLex_Close(&indexed);
    CLex_Close(&decoding);
  }
}

TEST_F(CompressedLexicon, SuggestsTheIntendedWord) {
  CLex lex;
  ASSERT_EQ(0, CLex_Open(path_.c_str(), 0, &lex));
  struct Case {
    const char* typo;
    uint16_t level;
    const char* wanted;
  };
  const Case cases[] = {
      {"teh", 1, "the"},
      {"recieve", 0, "receive"},
      {"hte", 0, "the"},
      {"fone", 1, "phone"},
      {"seperate", kCLexLevelAuto, "separate"},
      {"abotu", 2, "about"},
      {"xylophoen", 3, "xylophone"},
  };
  for (const Case& c : cases) {
    SuggestList list;
    ASSERT_TRUE(SuggestListInit(list, 64));
    ASSERT_EQ(0, CLex_Suggest(c.level, c.typo, 0, WordSimilarity, list, &lex));
    bool found = false;
    for (uint16_t i = 0; i < list.count; ++i) found |= strcmp(list.entries[i].word, c.wanted) == 0;
    EXPECT_TRUE(found) << c.typo << " at level " << c.level << " lacks " << c.wanted;
    for (uint16_t i = 1; i < list.count; ++i) EXPECT_GE(list.entries[i - 1].score, list.entries[i].score);
    SuggestListFree(list);
  }
  CLex_Close(&lex);
}

TEST(SoundTables, ClassesDigraphsAndKeys) {
  struct Case {
    const char* word;
    const char* key;
  };
  const Case cases[] = {
      {"phone", "fm"}, {"fone", "fm"}, {"knight", "mcd"}, {"night", "mcd"}, {"back", "bc"},
      {"cent", "smd"}, {"Edge", "ej"}, {"apple", "abl"},  {"", ""},         {"why", ""},
  };
  for (const Case& c : cases) {
    char key[64];
    SoundKey(c.word, key, sizeof key);
    EXPECT_STREQ(c.key, key) << c.word;
  }
  EXPECT_EQ('s', SoundClass(0xDF, 1033));
  EXPECT_EQ('a', SoundClass(0xE9, 2057));
  EXPECT_EQ(0, SoundClass(0xF0, 1033));
  EXPECT_EQ(0, SoundClass('b', 1036));
  EXPECT_EQ('f', DigraphCode('P', 'H', 1033));
  EXPECT_EQ(0, DigraphCode('p', 'h', 1031));
  EXPECT_EQ(0, DigraphCode('h', 'p', 1033));
}

// Hand-made images for the reader's refusals: a header, the small words, one
// segment "ab" holding one sub-block "c" with the given encoded bytes.
std::vector<uint8_t> OneSegmentImage(const std::vector<uint8_t>& encoded) {
  std::vector<uint8_t> image(kClxHeaderSize, 0);
  ClxFileHeader* h = reinterpret_cast<ClxFileHeader*>(image.data());
  ClxPut32(h->version, kClxVersion);
  ClxPut16(h->segmentCount, 1);
  ClxPut16(h->language, 1033);
  strcpy(h->fragmentsA[0], "ing");
  uint32_t segAt = kClxHeaderSize + 10;
  std::vector<uint8_t> seg(6, 0);
  ClxPut32(seg.data(), uint32_t(encoded.size()));
  seg[4] = 'c';
  seg.insert(seg.end(), encoded.begin(), encoded.end());
  uint8_t head[10];
  ClxPut32(head, segAt);
  ClxPut32(head + 4, uint32_t(seg.size()));
  head[8] = 'a';
  head[9] = 'b';
  image.insert(image.end(), head, head + 10);
  image.insert(image.end(), seg.begin(), seg.end());
  return image;
}

TEST_F(CompressedLexicon, DecodesEveryByteCode) {
  ScratchDir dir;
  std::string path = dir.Path("codes.clx");
  // abc, abcd, abcde (1 e), abcdf (3 f), abcdxing (2 1 x + fragment A 0),
  // abcdyq (keep 1, y, q): each word refers to the one before it.
  std::vector<uint8_t> encoded = {5, 0, 5, 'd', 0, 1, 'e', 0, 3, 'f', 0, 2, 1, 'x', 6, 0, 2, 1, 'y', 'q', 0};
  WriteFileBytes(path, OneSegmentImage(encoded));
  CLex lex;
  ASSERT_EQ(0, CLex_Open(path.c_str(), 0, &lex));
  for (const char* w : {"abc", "abcd", "abcde", "abcdf", "abcdxing", "abcdyq"})
    EXPECT_EQ(0, CLex_Check(w, 0, true, &lex)) << w;
  for (const char* w : {"abcdx", "abcdy", "abcdef", "ab"}) EXPECT_EQ(-3, CLex_Check(w, 0, true, &lex)) << w;
  CLex_Close(&lex);
}

TEST_F(CompressedLexicon, RefusesDamagedFiles) {
  ScratchDir dir;
  std::string log = dir.Path("spell.log");
  timelogSetFile(log.c_str());
  std::string path = dir.Path("bad.clx");
  std::vector<uint8_t> good = OneSegmentImage({'d', 0});

  struct OpenCase {
    const char* name;
    std::vector<uint8_t> image;
    int16_t expected;
  };
  std::vector<OpenCase> openCases;
  openCases.push_back({"truncated header", std::vector<uint8_t>(good.begin(), good.begin() + 1000), -6});
  openCases.push_back(
      {"truncated segment table", std::vector<uint8_t>(good.begin(), good.begin() + kClxHeaderSize + 4), -22});
  {
    auto img = good;
    ClxPut32(img.data() + kClxHeaderSize, 1u << 30);
    openCases.push_back({"segment offset past the end", img, -6});
  }
  {
    auto img = good;
    ClxPut32(img.data() + kClxHeaderSize + 4, 0xFFFFFFF0u);
    openCases.push_back({"segment size past the end", img, -6});
  }
  {
    auto img = good;
    ClxPut16(img.data() + 260, 1024);
    openCases.push_back({"too many small words", img, -6});
  }
  {
    auto img = good;
    ClxPut32(img.data() + 256, 0x57000401);
    openCases.push_back({"other version", img, -6});
  }
  for (const OpenCase& c : openCases) {
    WriteFileBytes(path, c.image);
    CLex lex;
    EXPECT_EQ(c.expected, CLex_Open(path.c_str(), 0, &lex)) << c.name;
    CLex_Close(&lex);
  }

  struct CheckCase {
    const char* name;
    std::vector<uint8_t> encoded;
  };
  const CheckCase checkCases[] = {
      {"keep beyond the previous word", {'d', 0, 2, 9, 0}},
      {"repeat with no previous word", {1, 'd', 0}},
      {"word past 63 characters", std::vector<uint8_t>(70, 'z')},
      {"unterminated word", {'d', 'e'}},
      {"fragment code at the end", {'d', 4}},
      {"word-start code inside a word", {'d', 5, 'x', 0}},
  };
  for (const CheckCase& c : checkCases) {
    auto encoded = c.encoded;
    WriteFileBytes(path, OneSegmentImage(encoded));
    CLex lex;
    ASSERT_EQ(0, CLex_Open(path.c_str(), 0, &lex)) << c.name;
    // The word sorts after everything, so the whole sub-block is decoded.
    EXPECT_EQ(-6, CLex_Check("abczzzz", 0, true, &lex)) << c.name;
    EXPECT_EQ(-6, CLex_Check("ABCzzzz", 0, false, &lex)) << c.name;
    SuggestList list;
    ASSERT_TRUE(SuggestListInit(list, 8));
    EXPECT_EQ(0, CLex_Suggest(3, "abcd", 0, WordSimilarity, list, &lex)) << c.name;
    SuggestListFree(list);
    CLex_Close(&lex);
  }
  std::string logged = ReadFileText(log);
  EXPECT_NE(std::string::npos, logged.find("CLex_Open: unexpected lex version"));
  EXPECT_NE(std::string::npos, logged.find("CLex_Check: damaged segment ab in"));
  CLex lex;
  EXPECT_EQ(-4, CLex_Open((std::string(300, 'n') + ".clx").c_str(), 0, &lex));
}

}  // namespace
