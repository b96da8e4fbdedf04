#include "Kel/KelSpelling.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "platform/Headless.h"
#include "platform/System.h"
#include "support/SpellingDocuments.h"
#include "support/SpellingReference.h"
#include "support/TempDir.h"
#include "support/WordLists.h"

namespace {

std::vector<std::string> Entries(const TWordList& list) { return {list.begin(), list.end()}; }

void QueueAnswer(platform::HeadlessPrompter& prompter, platform::Answer answer) { prompter.QueueAnswer(answer); }

// ---------------------------------------------------------------------------------------------
// Known words

struct KnownCase {
  const char* word;
  bool known;
};

void PrintTo(const KnownCase& c, std::ostream* os) { *os << '"' << c.word << '"'; }

class IsKnownWordTest : public ::testing::TestWithParam<KnownCase> {};

TEST_P(IsKnownWordTest, AgainstASmallList) {
  const TWordList list = ListOf({"page", "bu", "peter", "dont", "email", "news", "it's", "glas"});
  EXPECT_EQ(IsKnownWord(GetParam().word, list), GetParam().known);
}

INSTANTIATE_TEST_SUITE_P(Rules, IsKnownWordTest,
                         ::testing::Values(KnownCase{"page", true}, KnownCase{"Page", true}, KnownCase{"PAGE", true},
                                           KnownCase{"pages", true},  // the plural rule
                                           KnownCase{"PAGES", true},  // ... with a capital S
                                           KnownCase{"bus", false},   // three letters are not enough for it
                                           KnownCase{"bu's", false},  // "bus" again
                                           KnownCase{"x", true}, KnownCase{"", true}, KnownCase{"3rd", true},
                                           KnownCase{"2005", true},
                                           KnownCase{"Peter's", true},  // "Peters", then "Peter"
                                           KnownCase{"don't", true},    // "dont"
                                           KnownCase{"e-mail", true},   // "email"
                                           KnownCase{"x86_64", true},   // "x" is left
                                           KnownCase{"it's", true},     // listed as it is
                                           KnownCase{"newss", true},    // "news" listed
                                           KnownCase{"glass", true},    // the rule does not care what the word means
                                           KnownCase{"pag", false}, KnownCase{"pagess", false}, KnownCase{"a-b", false},
                                           KnownCase{"teh", false}));

TEST(IsKnownInEither, MainThenUser) {
  const TWordList main = ListOf({"cat"});
  const TWordList user = ListOf({"Quorlix"});
  EXPECT_TRUE(IsKnownInEither("cats", main, user));
  EXPECT_TRUE(IsKnownInEither("quorlix's", main, user));
  EXPECT_FALSE(IsKnownInEither("dogs", main, user));
}

TEST(FindInEither, ExactEntriesOnlyAndAbsentLists) {
  const TWordList main = ListOf({"cat"});
  const TWordList user = ListOf({"dog"});
  EXPECT_TRUE(FindInEither("CAT", &main, &user));
  EXPECT_TRUE(FindInEither("dog", &main, &user));
  EXPECT_TRUE(FindInEither("dog", nullptr, &user));
  EXPECT_FALSE(FindInEither("cats", &main, &user));  // no rules apply
  EXPECT_FALSE(FindInEither("x", &main, &user));
  EXPECT_FALSE(FindInEither("cat", nullptr, nullptr));
}

// Every kind of word-shaped token, against the rules written out plainly: a large main list
// filled in one go (searched through its index) and a small user list filled word by word.
TEST(IsKnownInEither, AgreesWithThePlainRulesOnEveryKindOfToken) {
  TestRandom random = TestRandom::FromSeed(3);
  const std::vector<std::string> vocabulary = spelling_documents::Vocabulary(random, 6000);
  std::vector<std::string> mainWords(vocabulary.begin(), vocabulary.begin() + 5000);
  mainWords.push_back("x");
  TWordList main, user, none;
  main.Assign(mainWords);
  reference::TPlainList plainMain, plainUser, plainNone;
  for (const std::string& w : mainWords) plainMain.Add(w);
  for (size_t i = 5000; i < vocabulary.size(); i += 7) {
    user.Add(vocabulary[i]);
    plainUser.Add(vocabulary[i]);
  }
  int known = 0, unknown = 0;
  for (int i = 0; i < 100000; ++i) {
    const std::string token = spelling_documents::Token(random, vocabulary);
    const bool expected = reference::IsKnownInEither(token, plainMain, plainUser);
    ASSERT_EQ(IsKnownInEither(token, main, user), expected) << token;
    ASSERT_EQ(IsKnownInEither(token, main, none), reference::IsKnownInEither(token, plainMain, plainNone)) << token;
    ASSERT_EQ(IsKnownWord(token, user), reference::IsKnownWord(token, plainUser)) << token;
    (expected ? known : unknown)++;
  }
  EXPECT_GT(known, 10000);  // both answers are well represented
  EXPECT_GT(unknown, 10000);
}

// ---------------------------------------------------------------------------------------------
// Splitting

struct SplitCase {
  std::string text;
  TWordPositions words;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SplitWordsTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitWordsTest, Positions) {
  TWordPositions words;
  SplitWords(GetParam().text, words);
  EXPECT_EQ(words, GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitWordsTest,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"Hello&nbsp;world", {{1, 5}, {12, 5}}},
                      SplitCase{"-well-known-", {{2, 11}}}, SplitCase{"&Copy;", {{2, 4}}},  // not a skipped reference
                      SplitCase{"&#169;", {{3, 3}}},                                        // "169"
                      SplitCase{"caf\xC3\xA9 ok", {{1, 3}, {7, 2}}},  // "caf": bytes from 128 end a word
                      SplitCase{"caf\xE9!", {{1, 3}}}, SplitCase{"students' work", {{1, 9}, {11, 4}}},
                      SplitCase{"'quoted' _x", {{2, 7}, {11, 1}}}, SplitCase{"x86_64 3rd-rate", {{1, 6}, {8, 8}}},
                      SplitCase{"a&AMP;b &QUOT;c&Lt;d&reg;e&gt;", {{1, 1}, {7, 1}, {15, 1}, {20, 1}, {26, 1}}},
                      SplitCase{"&amp no", {{2, 3}, {6, 2}}},  // without its ";" it is text
                      SplitCase{std::string("ab\0cd", 5), {{1, 2}}}));

TEST(SplitWords, AgreesWithThePlainRulesOnGeneratedDocuments) {
  TestRandom random = TestRandom::FromSeed(5);
  const std::vector<std::string> vocabulary = spelling_documents::Vocabulary(random, 500);
  for (int d = 0; d < 300; ++d) {
    const std::string text = spelling_documents::Document(random, vocabulary, 1 + random.Below(6000));
    TWordPositions words, expected;
    SplitWords(text, words);
    reference::SplitWords(text, expected);
    ASSERT_EQ(words, expected) << ::testing::PrintToString(text);
  }
}

TEST(SplitWords, Appends) {
  TWordPositions words{{7, 7}};
  SplitWords("a b", words);
  EXPECT_EQ(words, (TWordPositions{{7, 7}, {1, 1}, {3, 1}}));
}

// ---------------------------------------------------------------------------------------------
// Suggestions

TEST(GetSuggestions, OneEditAwayLowerCasedAndSorted) {
  const TWordList main = ListOf({"tea", "ten", "the", "eh"});
  TWordList result = ListOf({"stale"});
  GetSuggestions(result, "teh", &main, nullptr);
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"eh", "tea", "ten"}));  // never "the": no swaps
  GetSuggestions(result, "TEH", &main, nullptr);
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"eh", "tea", "ten"}));
}

TEST(GetSuggestions, BothListsInsertionsAndDuplicates) {
  const TWordList main = ListOf({"a", "cart"});
  const TWordList user = ListOf({"Quorlix"});
  TWordList result;
  GetSuggestions(result, "aa", &main, &user);  // "a" by two deletions, listed once
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"a"}));
  GetSuggestions(result, "Quorix", &main, &user);
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"quorlix"}));
  GetSuggestions(result, "crt", &main, &user);
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"cart"}));
  GetSuggestions(result, "crt", nullptr, nullptr);
  EXPECT_TRUE(result.Empty());
}

// ---------------------------------------------------------------------------------------------
// Word lists

TEST(TWordList, SortedWithoutCaseDuplicates) {
  const std::unique_ptr<TWordList> created = CreateWordList();
  TWordList& list = *created;
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(list.Add("beta"));
  EXPECT_TRUE(list.Add("Alpha"));
  EXPECT_FALSE(list.Add("BETA"));
  EXPECT_TRUE(list.Add("a'b"));  // "'" sorts before the letters
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"a'b", "Alpha", "beta"}));
  EXPECT_EQ(list.IndexOf("ALPHA"), 1);
  EXPECT_EQ(list.IndexOf("alph"), -1);
}

// Many words with long shared beginnings, against a plain map: the search must agree with the
// comparison whatever the size of the list, also when an entry holds a NUL byte.
TEST(TWordList, LookupsAgreeWithAPlainMap) {
  std::mt19937 random(7);
  std::vector<std::string> words;
  for (int i = 0; i < 6000; ++i) {
    std::string w = (i % 3 == 0) ? "internationali" : "";
    const int n = 1 + static_cast<int>(random() % 10);
    for (int k = 0; k < n; ++k) w += "abcXYZ'z"[random() % 8];
    words.push_back(w);
  }
  words.insert(words.end(), {"abc", "a", "internationaliab", "internationa"});
  for (bool withNul : {false, true}) {
    SCOPED_TRACE(withNul ? "with a NUL byte" : "without NUL bytes");
    if (withNul) words.insert(words.begin(), {std::string("nul\0x", 5), "nul"});
    std::map<std::string, std::string> reference;  // lower-cased -> first read
    for (const std::string& w : words) reference.emplace(LowerCase(w), w);

    TWordList bulk, added;
    bulk.Assign(words);
    for (const std::string& w : words) added.Add(w);
    for (const TWordList* list : {&bulk, &added}) {
      ASSERT_EQ(list->Count(), static_cast<int>(reference.size()));
      int i = 0;
      for (const auto& [lower, first] : reference) {
        ASSERT_EQ((*list)[i], first);
        ASSERT_EQ(list->IndexOf(UpperCase(first)), i) << first;
        ++i;
      }
      // Also words that equal a listed one but for a NUL byte at their end.
      for (const std::string& absent :
           {std::string(""), std::string("internationali"), std::string("zzzzzzzzzzzzz"), std::string("nul\x01"),
            std::string("nu"), std::string("a"), std::string("abc"), std::string("Z'"), std::string("abc\0", 4),
            std::string("a\0", 2), std::string("internationaliab\0", 17), std::string("internationa\0", 13)})
        EXPECT_EQ(list->Contains(absent), reference.count(LowerCase(absent)) > 0) << ::testing::PrintToString(absent);
    }
  }
}

struct TextCase {
  std::string text;
  std::vector<std::string> entries;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class DictionaryTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DictionaryTextTest, EveryLineIsAnEntry) {
  TWordList list;
  list.SetText(GetParam().text);
  EXPECT_EQ(Entries(list), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DictionaryTextTest,
    ::testing::Values(TextCase{"", {}}, TextCase{"a", {"a"}}, TextCase{"a\n", {"a"}}, TextCase{"\r\n", {""}},
                      TextCase{"d\r\nc\nb\ra", {"a", "b", "c", "d"}},
                      TextCase{"b\n\na\n", {"", "a", "b"}},  // an empty line is an empty entry
                      TextCase{"a\r\r\nb", {"", "a", "b"}}, TextCase{" a \n", {" a "}},  // nothing is trimmed
                      TextCase{"Word\nword", {"Word"}},                                  // the first read is kept
                      TextCase{"word\r\nWORD\r\nWord", {"word"}},
                      TextCase{std::string("a\nb\0c\nd", 7), {"a", "b"}}));  // the first NUL ends the text

TEST(TWordList, LoadsAndWritesFiles) {
  TempDir dir;
  TWordList list;
  EXPECT_TRUE(list.LoadFromFile(dir.Write("words.txt", "zeta\r\nWord\nalpha\rword\n")));
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"alpha", "Word", "zeta"}));

  // Written sorted, each entry followed by CR LF, over the old file, with no temporary file left.
  const std::string target = dir.Write("user/userdict.txt", "old content");
  list.Add("Beta");
  list.SaveToFile(target);
  EXPECT_EQ(ReadFileText(target), "alpha\r\nBeta\r\nWord\r\nzeta\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("user")), {}), 1);

  EXPECT_FALSE(list.LoadFromFile(dir.File("missing.txt")));
  EXPECT_TRUE(list.Empty());
  EXPECT_THROW(list.SaveToFile(dir.File("no/such/folder/userdict.txt")), EError);
}

// ---------------------------------------------------------------------------------------------
// Dictionary files and the start-up and exit duties

class DictionaryFilesTest : public ::testing::Test {
 protected:
  DictionaryFilesTest() : paths(dir.Str()) {
    std::filesystem::create_directories(paths.App);
    services.Dirs = &paths;
    services.Ask = &prompter;
  }
  TempDir dir;
  platform::FixedPaths paths;
  platform::HeadlessPrompter prompter;
  platform::Services services;
};

TEST_F(DictionaryFilesTest, Locations) {
  EXPECT_EQ(MainDictionaryFile(paths), paths.App + "/english.txt");

  // The data folder is created when missing, as the XDG base directories ask for.
  EXPECT_EQ(UserDictionaryFile(paths), paths.Data + "/Quorlix/userdict.txt");
  EXPECT_TRUE(std::filesystem::is_directory(paths.Data + "/Quorlix"));
  EXPECT_EQ(UserDictionaryFile(paths), paths.Data + "/Quorlix/userdict.txt");

  // Without a usable data folder: the program's folder.
  paths.Data = dir.Write("a-file", "x");
  EXPECT_EQ(UserDictionaryFile(paths), paths.App + "/userdict.txt");
  paths.Data.clear();
  EXPECT_EQ(UserDictionaryFile(paths), paths.App + "/userdict.txt");
}

TEST_F(DictionaryFilesTest, MissingMainDictionaryAsksAndEnds) {
  for (platform::Answer answer : {platform::Answer::Yes, platform::Answer::No}) {
    QueueAnswer(prompter, answer);
    TSpellingDictionaries dictionaries;
    EXPECT_FALSE(dictionaries.Load(services));
    EXPECT_TRUE(prompter.Script.empty());
  }
  const std::string question = "A required dictionary file is not installed. Would you like to install now?";
  EXPECT_EQ(prompter.TextsOf("YesNo"), (std::vector<std::string>{question, question}));
  EXPECT_TRUE(prompter.Unexpected.empty());
}

TEST_F(DictionaryFilesTest, LoadsBothListsAndWritesTheUserListAtExit) {
  dir.Write("app/english.txt", "cat\nthe\n");
  const std::string userFile = dir.Write("data/Quorlix/userdict.txt", "Zebra\nquorlix\n");
  TSpellingDictionaries dictionaries;
  ASSERT_TRUE(dictionaries.Load(services));
  EXPECT_TRUE(prompter.Log.empty());
  EXPECT_EQ(Entries(dictionaries.MainList), (std::vector<std::string>{"cat", "the"}));
  EXPECT_EQ(Entries(dictionaries.UserList), (std::vector<std::string>{"quorlix", "Zebra"}));

  dictionaries.UserList.Add("Alpha");
  EXPECT_TRUE(dictionaries.SaveUserList());
  EXPECT_EQ(ReadFileText(userFile), "Alpha\r\nquorlix\r\nZebra\r\n");
}

TEST_F(DictionaryFilesTest, UnreadableOrUnwritableFilesAreSilent) {
  dir.Write("app/english.txt", "cat\n");
  std::filesystem::create_directories(paths.Data + "/Quorlix/userdict.txt");  // a folder: cannot be read or replaced
  TSpellingDictionaries dictionaries;
  ASSERT_TRUE(dictionaries.Load(services));
  EXPECT_TRUE(dictionaries.UserList.Empty());
  dictionaries.UserList.Add("word");
  EXPECT_FALSE(dictionaries.SaveUserList());
  EXPECT_TRUE(prompter.Log.empty());
}

TEST_F(DictionaryFilesTest, AnEarlyEndLeavesTheUserFileAlone) {
  const std::string userFile = dir.Write("data/Quorlix/userdict.txt", "mine\r\n");
  TSpellingDictionaries dictionaries;
  QueueAnswer(prompter, platform::Answer::No);
  ASSERT_FALSE(dictionaries.Load(services));
  EXPECT_FALSE(dictionaries.SaveUserList());
  EXPECT_EQ(ReadFileText(userFile), "mine\r\n");
}

// The build makes english.txt beside the programs.
TEST(ShippedDictionary, KnowsCommonWords) {
  const std::string path = platform::ExecutableFolder() + "/english.txt";
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  const std::string text = ReadFileText(path);
  EXPECT_EQ(std::count_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 128; }), 0);

  TWordList main;
  ASSERT_TRUE(main.LoadFromFile(path));
  EXPECT_GT(main.Count(), 50000);
  const TWordList user;
  for (const char* word : {"the", "The", "house", "running", "Tuesday", "doesn't", "children's", "pages", "spelling"})
    EXPECT_TRUE(IsKnownInEither(word, main, user)) << word;
  for (const char* word : {"teh", "recieve", "Tessaly"}) EXPECT_FALSE(IsKnownInEither(word, main, user)) << word;
}

}  // namespace
