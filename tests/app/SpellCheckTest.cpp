#include "app/SpellCheck.h"

#include <gtest/gtest.h>

#include <random>

#include "Kel/KelStr.h"
#include "support/SpellingDocuments.h"
#include "support/SpellingReference.h"
#include "support/WordLists.h"

namespace {

// The words at the positions reported for `html`.
std::vector<std::string> ErrorWords(const std::string& html, const TWordList& main, const TWordList& user) {
  std::vector<std::string> words;
  for (const TWordPosition& p : CheckSpelling(html, main, user))
    words.push_back(html.substr(static_cast<size_t>(p.Index - 1), static_cast<size_t>(p.Length)));
  return words;
}

struct PageCase {
  const char* name;
  std::string html;
  std::vector<std::string> errors;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class SpellCheckTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(SpellCheckTest, UnknownWords) {
  const TWordList main = ListOf({"cat", "the", "page", "var", "title"});
  const TWordList user = ListOf({"Quorlix"});
  const PageCase& c = GetParam();
  EXPECT_EQ(ErrorWords(c.html, main, user), c.errors);
  EXPECT_EQ(CountSpellingErrors(c.html, main, user), static_cast<int32_t>(c.errors.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SpellCheckTest,
    ::testing::Values(PageCase{"Empty", "", {}}, PageCase{"Paragraph", "<p>Teh cat</p>", {"Teh"}},
                      PageCase{"EveryOccurrence", "<p>teh cat teh</p><b>TEH</b>", {"teh", "teh", "TEH"}},
                      PageCase{
                          "KnownByRulesAndUserList", "<p>The cats' 3rd page, a Quorlix x86 e-mail</p>", {"e-mail"}},
                      PageCase{"Script", "<script>var teh = 1;</script><p>cat</p>", {}},
                      PageCase{"Style", "<style>.teh { color: red }</style>cat", {}},
                      PageCase{"CapitalScript", "<SCRIPT type=\"text/javascript\">teh</Script>teh", {"teh"}},
                      PageCase{"UnclosedScript", "<p>teh</p><script>teh<p>teh</p>", {"teh"}},
                      PageCase{"TagsInsideScript", "<script>if (a<b) document.write('<p>teh</p>');</script>", {}},
                      PageCase{"Comment", "<!-- teh --><p>cat</p><!-- unclosed teh", {}},
                      PageCase{"Attributes", "<img alt=\"teh\" title='teh' src=teh.gif><a href=\"/teh\">cat</a>", {}},
                      PageCase{"Title", "<head><title>Teh title</title></head>", {"Teh"}},
                      PageCase{"Entities", "cat&nbsp;teh&amp;cat &copy; &#169;", {"teh", "copy"}},
                      PageCase{"NulEndsThePage", std::string("teh\0teh", 7), {"teh"}}));

TEST(CheckSpelling, PositionsAreIndicesIntoTheDocument) {
  const TWordList main = ListOf({"cat", "the"});
  const TWordList none;
  EXPECT_EQ(CheckSpelling("<p>Teh cat</p>", main, none), (TWordPositions{{4, 3}}));
  // Later runs, after tags and a reference: the index counts from the document's start.
  EXPECT_EQ(CheckSpelling("<b>cat</b>\r\n<i>the&nbsp;dgo</i> tteh", main, none), (TWordPositions{{25, 3}, {33, 4}}));
}

// Many different words in varying case, short and long: the checker remembers its answers
// while it walks, and must still decide every word as if it were alone.
TEST(CheckSpelling, AgreesWithDecidingEveryWordAlone) {
  std::mt19937 random(11);
  const auto randomWord = [&] {
    std::string w = random() % 3 == 0 ? "EFGHabcd" : "";  // the same first 8 bytes
    const size_t n = 1 + random() % 16;
    for (size_t i = 0; i < n; ++i) w += "abcdeEFGH'-s"[random() % 12];
    return w;
  };
  std::vector<std::string> vocabulary(3000);
  for (std::string& w : vocabulary) w = randomWord();
  TWordList main, user;
  for (size_t i = 0; i < vocabulary.size(); i += 2) main.Add(vocabulary[i]);
  for (size_t i = 1; i < vocabulary.size(); i += 10) user.Add(vocabulary[i]);

  std::string html = "<p>";
  for (int i = 0; i < 20000; ++i) {
    std::string w = vocabulary[random() % vocabulary.size()];
    if (random() % 3 == 0) w = UpperCase(w);
    html += w + (random() % 10 == 0 ? "</p><p>" : " ");
  }
  TWordPositions expected;
  TWordPositions words;
  SplitWords(html, words);
  for (const TWordPosition& p : words) {
    const std::string word = html.substr(static_cast<size_t>(p.Index - 1), static_cast<size_t>(p.Length));
    if (word != "p" && !IsKnownInEither(word, main, user)) expected.push_back(p);
  }
  EXPECT_EQ(CheckSpelling(html, main, user), expected);
}

// Generated documents with every kind of word-shaped token in text, tags, attributes, comments,
// scripts and styles, against the rules written out plainly: the same positions, in order.
TEST(CheckSpelling, AgreesWithThePlainRulesOnGeneratedDocuments) {
  TestRandom random = TestRandom::FromSeed(9);
  const std::vector<std::string> vocabulary = spelling_documents::Vocabulary(random, 4000);
  TWordList main, user, none;
  reference::TPlainList plainMain, plainUser, plainNone;
  main.Assign({vocabulary.begin(), vocabulary.begin() + 3000});
  for (size_t i = 0; i < 3000; ++i) plainMain.Add(vocabulary[i]);
  for (size_t i = 3000; i < vocabulary.size(); i += 5) {
    user.Add(vocabulary[i]);
    plainUser.Add(vocabulary[i]);
  }
  // Answers kept across the documents, in a table of a crawl's size and in one of two places
  // (every word evicts another).
  TKnownWords kept(main, user, TKnownWords::kCrawlBits), tiny(main, user, 1);
  size_t errors = 0;
  for (int d = 0; d < 150; ++d) {
    const std::string html = spelling_documents::Document(random, vocabulary, 1 + random.Below(40000));
    const TWordPositions expected = reference::CheckSpelling(html, plainMain, plainUser);
    ASSERT_EQ(CheckSpelling(html, main, user), expected) << "document " << d;
    ASSERT_EQ(CountSpellingErrors(html, main, user), static_cast<int32_t>(expected.size()));
    ASSERT_EQ(CheckSpelling(html, kept), expected) << "document " << d;
    ASSERT_EQ(CountSpellingErrors(html, tiny), static_cast<int32_t>(expected.size()));
    ASSERT_EQ(CheckSpelling(html, none, user), reference::CheckSpelling(html, plainNone, plainUser));
    errors += expected.size();
  }
  EXPECT_GT(errors, 1000u);
}

TEST(CountSpellingErrors, EmptyDictionariesCountWhatTheRulesDoNotKnow) {
  const TWordList none;
  EXPECT_EQ(CountSpellingErrors("<p>A cat's 2nd teh, x.</p>", none, none), 2);  // "cat's", "teh"
}

TEST(CountSpellingErrors, ReadsTheLoadedDictionaries) {
  TSpellingDictionaries dictionaries;
  dictionaries.MainList.Add("cat");
  dictionaries.UserList.Add("dog");
  EXPECT_EQ(CountSpellingErrors("<p>cat dog teh</p>", dictionaries), 1);
  EXPECT_EQ(CheckSpelling("<p>cat dog teh</p>", dictionaries), (TWordPositions{{12, 3}}));
}

}  // namespace
