// The HTML reader's pass, seen through a recording output: the text a user
// would read, the formats of its runs, the host messages, pictures and fields.
#include "wrx/html/html_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wrx/html/html_text.h"

namespace {

using html::RunFormat;

struct Recorder {
  struct Run {
    std::string text;
    RunFormat format;
  };
  std::vector<Run> runs;
  std::vector<std::pair<int, std::string>> host;
  std::vector<html::PictureRequest> pictures;
  std::vector<int> made, reset;
  bool placePictures = false;
  bool failFields = false;
  html::FormTable forms;
  html::ReadResult result;

  // Visible text, paragraph ends as "|", hidden runs left out.
  std::string Text() const {
    std::string t;
    for (const Run& r : runs) {
      if (r.format.bits & html::kHidden) continue;
      for (char c : r.text) t += c == char(html::kParaChar) ? '|' : c;
    }
    return t;
  }
  const Run* Find(const std::string& text) const {
    for (const Run& r : runs)
      if (r.text == text) return &r;
    return nullptr;
  }

  void Read(const std::string& page, bool readOnly = true) {
    html::HtmlOutput out = html::NullHtmlOutput();
    out.context = this;
    out.text = [](void* c, const std::string& run, const RunFormat& f) {
      static_cast<Recorder*>(c)->runs.push_back({run, f});
      return true;
    };
    out.hostText = [](void* c, int message, const std::string& text) {
      static_cast<Recorder*>(c)->host.push_back({message, text});
    };
    out.picture = [](void* c, const html::PictureRequest& r, bool& placed) {
      auto* self = static_cast<Recorder*>(c);
      self->pictures.push_back(r);
      placed = self->placePictures;
      return true;
    };
    out.field = [](void* c, const html::FormTable&, int index) {
      auto* self = static_cast<Recorder*>(c);
      self->made.push_back(index);
      return !self->failFields;
    };
    out.resetField = [](void* c, const html::FormTable&, int index) {
      static_cast<Recorder*>(c)->reset.push_back(index);
    };
    html::ReaderSettings settings;
    settings.readOnly = readOnly;
    result = html::HtmlParse(reinterpret_cast<const uint8_t*>(page.data()), page.size(), out, settings, forms);
  }
};

std::string TextOf(const std::string& page) {
  Recorder r;
  r.Read(page);
  return r.Text();
}

TEST(HtmlParserTest, TextEntitiesWhiteSpaceCommentsAndPre) {
  struct Case {
    const char* page;
    std::string want;
  } cases[] = {
      {"a &lt;b&gt; c&amp;d &quot;q&quot;", "a <b> c&d \"q\""},
      {"&eacute;t&eacute; &Uuml;ber &pound;5",
       "\xe9t\xe9 \xdc"
       "ber \xa3"
       "5"},
      {"&#65;&#x42;&trade;&#8217;&euro;", "AB\x99\x92\x80"},
      {"&bogus; & &amp &#99999; &#0;", "&bogus; & &amp &#99999; &#0;"},
      {"  one \r\n\n two\t\t three  ", "one two three "},
      {"<p>  lead</p>tail", "|lead|tail"},
      {"x<br>  y", "x|y"},
      {"<pre>a  b\n c\r\n</pre>z", "a  b| c|z"},
      {"x<!-- a > b -- c -->y", "xy"},
      {"x<!---->y<!-- unterminated", "xy"},
      {"a < b <3 <", "a < b <3 <"},
      {"<head><title>T</title><style>p { x }</style></head><body>hi", "hi"},
      {"a<script>if (a<b) x();</script>b<STYLE>q</style>c", "abc"},
      {"<title>only title</title>shown", "shown"},
      {"<unknown attr=1>x</unknown><!DOCTYPE html>y", "xy"},
      {"a\x15"
       "b\x0c"
       "c&#12;d&#21;e",
       "abcde"},
  };
  for (const Case& c : cases) EXPECT_EQ(TextOf(c.page), c.want) << c.page;
}

TEST(HtmlParserTest, TitleAndBaseGoToTheHost) {
  Recorder r;
  r.Read("<html><head><title> A \n page </title><base href=\"http://h/d/\"></head><body>x</body>");
  ASSERT_EQ(r.host.size(), 2u);
  EXPECT_EQ(r.host[0], std::make_pair(3274, std::string("A page")));
  EXPECT_EQ(r.host[1], std::make_pair(3279, std::string("http://h/d/")));
  EXPECT_EQ(r.result.title, "A page");
}

TEST(HtmlParserTest, LongWordsAreWrittenInPiecesNotDropped) {
  const std::string word(3000, 'w');
  Recorder r;
  r.Read("a " + word + " b");
  EXPECT_EQ(r.Text(), "a " + word + " b");
  for (const auto& run : r.runs) EXPECT_LE(run.text.size(), html::kMaxPendingText);
}

TEST(HtmlParserTest, NestingStopsCleanlyAtTheGroupTable) {
  for (int depth : {150, 199, 200, 5000}) {
    SCOPED_TRACE(depth);
    std::string page;
    for (int i = 0; i < depth; ++i) page += "<font>";
    page += "deep";
    for (int i = 0; i < depth; ++i) page += "</font>";
    page += "after";
    Recorder r;
    r.Read(page);
    const bool fits = depth < html::kMaxGroups;
    EXPECT_EQ(r.result.completed, fits);
    EXPECT_EQ(r.result.errorText, fits ? "" : "Ran out of Group Table for HTML data (GetHtmlWord).");
    EXPECT_EQ(r.Text(), fits ? "deepafter" : "");
  }
}

TEST(HtmlParserTest, LinksCarryTheirCodeAndColourOnlyInside) {
  Recorder r;
  r.Read("<a name=\"top\"></a>see <a href=\"x.html\" title=\"has HREF in it\">here <b>now</b></a> after");
  EXPECT_EQ(r.Text(), "see here now after");
  const auto* name = r.Find("name=\"top\"");
  ASSERT_TRUE(name);
  EXPECT_TRUE(name->format.bits & html::kHidden);
  const auto* code = r.Find("href=\"x.html\" title=\"has HREF in it\"");
  ASSERT_TRUE(code);
  EXPECT_TRUE(code->format.bits & html::kHidden);
  const auto* link = r.Find("here ");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->format.colour, 0xFF0000u);
  EXPECT_TRUE(link->format.bits & 1);
  EXPECT_TRUE(link->format.distinct);
  const auto* bold = r.Find("now");
  ASSERT_TRUE(bold);
  EXPECT_EQ(bold->format.bits & 3, 3u);
  const auto* after = r.Find(" after");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->format.colour, 0u);
  EXPECT_EQ(after->format.bits, 0u);
  EXPECT_FALSE(after->format.distinct);
  ASSERT_EQ(r.host.size(), 1u);
  EXPECT_EQ(r.host[0], std::make_pair(3280, std::string("x.html")));
}

TEST(HtmlParserTest, HeadingsListsQuotesAndRulesFormatTheirParagraphs) {
  Recorder r;
  r.Read(
      "<h2 align=center>T</h2>p<ol><li>a<li>b<ul><li>c</ul></ol><blockquote>q</blockquote>"
      "<hr width=50% align=left><font color=\"#102030\">f</font><pre>x</pre>");
  EXPECT_EQ(r.Text(), "T|p| 1.\ta| 2.\tb| \x95\tc|q||f|x|");
  const auto* heading = r.Find("T");
  ASSERT_TRUE(heading);
  EXPECT_EQ(heading->format.style, 2);
  EXPECT_EQ(heading->format.para.flags, 0x0001u);
  EXPECT_EQ((heading->format.para.kind >> 6) & 7, 2u);
  const auto* item = r.Find("a");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->format.para.leftIndent, 600);
  EXPECT_EQ(item->format.para.firstIndent, -300);
  EXPECT_EQ(item->format.para.kind & 0x3F, 1u << 3 | 1u);
  EXPECT_TRUE(item->format.para.kind & html::kKindListItem);
  const auto* nested = r.Find("c");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->format.para.leftIndent, 900);
  const auto* quote = r.Find("q");
  ASSERT_TRUE(quote);
  EXPECT_EQ(quote->format.style, 9);
  EXPECT_EQ(quote->format.para.leftIndent, 600);
  const RunFormat* rule = nullptr;
  for (const auto& run : r.runs)
    if (((run.format.para.kind >> 9) & 7) == 3) rule = &run.format;
  ASSERT_TRUE(rule);
  EXPECT_EQ(rule->para.flags, 528u);
  EXPECT_EQ(rule->para.leftIndent, 0);
  EXPECT_EQ(rule->para.rightIndent, 300 * 1440 / 96);
  const auto* colour = r.Find("f");
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour->format.colour, 0x302010u);
  const auto* pre = r.Find("x");
  ASSERT_TRUE(pre);
  EXPECT_EQ(pre->format.style, 12);
}

TEST(HtmlParserTest, OrderedNumbersOnlyInReadOnlyControls) {
  Recorder r;
  r.Read("<ol><li>a</ol>", false);
  EXPECT_EQ(r.Text(), "a|");
}

TEST(HtmlParserTest, FormsMakeTheirFieldsWithinBounds) {
  Recorder r;
  r.Read(
      "<form method=post action=\"/go\"><input name=q size=10>"
      "<input type=radio name=r value=1><input type=radio name=r value=2 checked><input type=radio name=s>"
      "<textarea name=t rows=2 cols=3>hello world</textarea>"
      "<select name=l multiple><option value=a>Alpha<option selected>  Beta</select>"
      "<input type=hidden name=h value=v><input type=submit></form><input name=outside>");
  ASSERT_EQ(r.forms.forms.size(), 1u);
  EXPECT_TRUE(r.forms.forms[0].post);
  EXPECT_EQ(r.forms.forms[0].action, "/go");
  const auto& f = r.forms.fields;
  ASSERT_EQ(f.size(), 8u);
  EXPECT_EQ(f[0].kind, html::kText);
  EXPECT_EQ(f[0].size, 10);
  // The later CHECKED button of a name unchecks the first; another name's
  // only button is checked.
  EXPECT_FALSE(f[1].checked);
  EXPECT_TRUE(f[2].checked);
  EXPECT_TRUE(f[3].checked);
  EXPECT_EQ(r.reset, std::vector<int>{1});
  EXPECT_EQ(f[4].kind, html::kTextArea);
  EXPECT_EQ(f[4].value, "hello ");  // COLS x ROWS characters at most
  EXPECT_EQ(f[5].kind, html::kList);
  EXPECT_EQ(f[5].size, 5);
  ASSERT_EQ(f[5].options.size(), 2u);
  EXPECT_EQ(f[5].options[0].text, "Alpha");
  EXPECT_EQ(f[5].options[1].text, "Beta");
  EXPECT_TRUE(f[5].options[1].selected);
  EXPECT_EQ(f[6].kind, html::kHiddenField);
  EXPECT_EQ(r.made.size(), 8u);
  EXPECT_EQ(r.Text().find("hello"), std::string::npos);  // field text is not page text
}

TEST(HtmlParserTest, TablesOfFormsAndFieldsAreBounded) {
  std::string page;
  for (int i = 0; i < 60; ++i) page += "<form><input name=a><input name=b></form>";
  for (int i = 0; i < 500; ++i) page += "<form><input name=c></form>";
  Recorder r;
  r.Read(page);
  EXPECT_EQ(r.forms.forms.size(), size_t(html::kMaxForms));
  EXPECT_EQ(r.forms.fields.size(), 100u);
  EXPECT_TRUE(r.result.completed);

  std::string many = "<form>";
  for (int i = 0; i < 450; ++i) many += "<input name=x>";
  Recorder r2;
  r2.Read(many + "</form>");
  EXPECT_EQ(r2.forms.fields.size(), size_t(html::kMaxFields));
}

TEST(HtmlParserTest, AFieldThatCannotBeMadeAbortsTheRead) {
  Recorder r;
  r.failFields = true;
  r.Read("<form>before<input name=a>after</form>");
  EXPECT_FALSE(r.result.completed);
  EXPECT_TRUE(r.result.aborted);
  EXPECT_EQ(r.result.diagnostic.rfind("pos: ", 0), 0u);
  EXPECT_EQ(r.Text(), "before");
}

TEST(HtmlParserTest, PicturesFallBackToTheirAltText) {
  for (bool placed : {false, true}) {
    Recorder r;
    r.placePictures = placed;
    r.Read("<a href=m><img src=\"p.jpg\" alt=\"[pic]\" ismap align=middle></a><img alt=\"[no src]\"><img src=q.tif>");
    EXPECT_EQ(r.Text(), placed ? "[no src]" : "[pic][no src]");
    ASSERT_EQ(r.pictures.size(), 2u);
    EXPECT_EQ(r.pictures[0].src, "p.jpg");
    EXPECT_TRUE(r.pictures[0].imageMap);
    EXPECT_TRUE(r.pictures[0].link);
    EXPECT_EQ(r.pictures[0].alignment, 1);
    EXPECT_FALSE(r.pictures[1].link);
  }
}

TEST(HtmlTextTest, LengthsInTwips) {
  struct Case {
    const char* text;
    int want;
    bool percent;
  } cases[] = {{"12pt", 240, false}, {"1in", 1440, false}, {"10mm", 567, false}, {"2cm", 1134, false},
               {"96", 1440, false},  {"48px", 720, false}, {"3pi", 720, false},  {"2em", 480, false},
               {"50%", 50, true},    {"-2pt", -40, false}, {"", 0, false},       {"x", 0, false}};
  for (const Case& c : cases) {
    bool percent = false;
    EXPECT_EQ(html::HtmlToTwips(c.text, 96, &percent), c.want) << c.text;
    EXPECT_EQ(percent, c.percent) << c.text;
  }
  EXPECT_EQ(html::HtmlToTwips("50%", 96), 750);  // no caller takes a percentage: pixels
}

TEST(HtmlTextTest, AttributesAreFoundAsWholeNames) {
  struct Case {
    const char* tag;
    const char* name;
    int result;
    const char* value;
  } cases[] = {
      {"href=\"a b.html\" name=x", "HREF", 1, "a b.html"},
      {"title=\"HREF here\" href=y", "href", 1, "y"},
      {"xhref=1", "HREF", 0, ""},
      {"ismap src=p", "ISMAP", 1, ""},
      {"alt='a > b'", "alt", 1, "a > b"},
      {"href=\"\"", "href", 1, ""},
      {"href=", "href", 0, ""},
  };
  for (const Case& c : cases) {
    std::string v = "unchanged";
    EXPECT_EQ(html::HtmlGetAttr(c.tag, c.name, v), c.result) << c.tag;
    EXPECT_EQ(v, c.value) << c.tag;
  }
}

TEST(HtmlTextTest, RuleIndents) {
  struct Case {
    int width, size, alignment;
    int left, right, lineSpacing, shading;
    uint32_t flags;
  } cases[] = {
      {100, 0, 0, 0, 0, -15, 0, 528},
      {50, 0, 0, 1800, 1800, -15, 0, 528},
      {50, 0, 1024, 0, 3600, -15, 0, 528},
      {50, 0, 2, 3600, 0, -15, 0, 528},
      {-1440, 40, 0, 2880, 2880, -40, 8000, 160},
      {-99999, -2, 0, 0, 0, -40, 8000, 160},
      {300, 0, 0, 0, 0, -15, 0, 528},
  };
  for (const Case& c : cases) {
    const html::RuleParagraph r = html::HtmlRuleIndents(480, 96, c.width, c.size, c.alignment);
    EXPECT_EQ(r.left, c.left) << c.width;
    EXPECT_EQ(r.right, c.right) << c.width;
    EXPECT_EQ(r.lineSpacing, c.lineSpacing) << c.width;
    EXPECT_EQ(r.shading, c.shading) << c.width;
    EXPECT_EQ(r.flags, c.flags) << c.width;
  }
}

}  // namespace
