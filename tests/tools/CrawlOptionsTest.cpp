// tessaly-crawl's options table against what a user reads (the README's option table and the
// program's --help) and against the parser that reads it.
#include "tools/CrawlOptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/SpiderTools.h"
#include "support/TempDir.h"

namespace {

// "--open FILE": an option as the README and --help spell it.
std::string Spelled(const CrawlOption& option) {
  std::string text(option.Name);
  if (!option.Argument.empty()) text += " " + std::string(option.Argument);
  return text;
}

// The README's section on tessaly-crawl.
std::string ReadmeSection() {
  const std::string readme = ReadFileText(std::string(TESSALY_SOURCE_DIR) + "/README.md");
  const size_t begin = readme.find("\n## tessaly-crawl\n");
  if (begin == std::string::npos) return std::string();
  return readme.substr(begin, readme.find("\n## ", begin + 1) - begin);
}

// The rows of the section's option table: (first column, whole row).
std::vector<std::pair<std::string, std::string>> ReadmeOptionRows() {
  std::vector<std::pair<std::string, std::string>> rows;
  const std::string section = ReadmeSection();
  size_t at = 0;
  while (at < section.size()) {
    const size_t end = std::min(section.find('\n', at), section.size());
    const std::string line = section.substr(at, end - at);
    if (line.starts_with("| `")) rows.emplace_back(line.substr(1, line.find('|', 1) - 1), line);
    at = end + 1;
  }
  return rows;
}

// What the built program prints on standard output when run with `argument`.
std::string ProgramOutput(const std::string& argument) {
  const std::string command = std::string("'") + TESSALY_CRAWL + "' " + argument + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// The text from "Exit status:" to the end of its paragraph.
std::string ExitStatusText(const std::string& text) {
  const size_t begin = text.find("Exit status:");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find("\n\n", begin) - begin);
}

TEST(CrawlOptionsTest, TheReadmeTableListsEveryOptionAndNoOther) {
  std::set<std::string> documented;
  const std::regex quoted("`([^`]*)`");
  for (const auto& [column, row] : ReadmeOptionRows())
    for (std::sregex_iterator m(column.begin(), column.end(), quoted), end; m != end; ++m) documented.insert((*m)[1]);
  std::set<std::string> table;
  for (const CrawlOption& option : CrawlOptionTable()) table.insert(Spelled(option));
  EXPECT_EQ(documented, table);
}

TEST(CrawlOptionsTest, HelpHasALineForEveryOption) {
  const std::string help = ProgramOutput("--help");
  EXPECT_EQ(help, CrawlUsage());
  for (const CrawlOption& option : CrawlOptionTable()) {
    const std::string line = "\n  " + Spelled(option) + "  ";
    const size_t at = help.find(line);
    ASSERT_NE(at, std::string::npos) << option.Name;
    const std::string firstLine(option.Help.substr(0, option.Help.find('\n')));
    EXPECT_EQ(help.substr(help.find_first_not_of(' ', at + line.size()), firstLine.size()), firstLine);
  }
}

TEST(CrawlOptionsTest, EveryExitStatusIsDocumented) {
  const std::string readme = ExitStatusText(ReadmeSection()), help = ExitStatusText(CrawlUsage());
  ASSERT_FALSE(readme.empty());
  ASSERT_FALSE(help.empty());
  for (const CrawlExit code : kCrawlExits) {
    const std::regex number("\\b" + std::to_string(code) + "\\b");
    EXPECT_TRUE(std::regex_search(readme, number)) << code << " in the README: " << readme;
    EXPECT_TRUE(std::regex_search(help, number)) << code << " in --help: " << help;
  }
}

TEST(CrawlOptionsTest, ListNamesEveryCategoryItAccepts) {
  const CrawlOption* list = FindCrawlOption("--list");
  ASSERT_NE(list, nullptr);
  std::string readmeRow;
  for (const auto& [column, row] : ReadmeOptionRows())
    if (column.find("`--list ") != std::string::npos) readmeRow = row;
  for (int k = rkAll; k <= rkInternal; ++k) {
    const std::string caption = std::string("\"") + kSiteRootCaptions[k] + "\"";
    EXPECT_NE(readmeRow.find(caption), std::string::npos) << caption;
    EXPECT_NE(list->Help.find(caption), std::string::npos) << caption;
    EXPECT_NO_THROW(ParseCrawlArguments({"--list", kSiteRootCaptions[k], "x"}));
  }
}

struct ParseCase {
  std::vector<std::string> args;
  std::string start, open;
  bool quiet = false, help = false;
  int threads = TFormHTTPClient::kDefaultMaxThreads;
  std::string list = "All";
  std::optional<bool> external;
  std::vector<std::string> exports;  // "option=file"
  bool classicLinks = false;
  bool noAnchors = false, failOnAnchors = false;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
  for (const auto& a : c.args) *os << a << ' ';
}

class CrawlArgumentsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CrawlArgumentsTest, ReadsTheOptionsOfTheTable) {
  const ParseCase& c = GetParam();
  const CrawlOptions o = ParseCrawlArguments(c.args);
  EXPECT_EQ(o.Start, c.start);
  EXPECT_EQ(o.Open, c.open);
  EXPECT_EQ(o.Quiet, c.quiet);
  EXPECT_EQ(o.Help, c.help);
  EXPECT_EQ(o.Threads, c.threads);
  EXPECT_EQ(o.List, c.list);
  EXPECT_EQ(o.External, c.external);
  EXPECT_EQ(o.ClassicLinks, c.classicLinks);
  EXPECT_EQ(o.NoAnchors, c.noAnchors);
  EXPECT_EQ(o.FailOnAnchors, c.failOnAnchors);
  std::vector<std::string> exports;
  for (const auto& [option, file] : o.Exports) exports.push_back(std::string(option->Name) + "=" + file);
  EXPECT_EQ(exports, c.exports);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CrawlArgumentsTest,
    ::testing::Values(
        // Short spellings; exports keep their order and may repeat.
        ParseCase{{"-q", "--export-txt", "t.txt", "--csv", "a.csv", "x", "--export-txt", "u.txt"},
                  "x",
                  "",
                  true,
                  false,
                  4,
                  "All",
                  std::nullopt,
                  {"--export-txt=t.txt", "--csv=a.csv", "--export-txt=u.txt"}},
        ParseCase{{"--threads", "64", "--list", "Broken Links", "--external", "--no-external", "--open", "p.tly"},
                  "",
                  "p.tly",
                  false,
                  false,
                  64,
                  "Broken Links",
                  false,
                  {}},
        ParseCase{{"--classic-links", "x"}, "x", "", false, false, 4, "All", std::nullopt, {}, true},
        ParseCase{{"--no-anchors", "x", "--list", "Broken Anchors"}, "x", "", false, false, 4, "Broken Anchors",
                  std::nullopt, {}, false, true, false},
        ParseCase{{"--fail-on-anchors", "x"}, "x", "", false, false, 4, "All", std::nullopt, {}, false, false, true},
        // --help ends the reading: what follows is not checked.
        ParseCase{{"--threads", "2", "-h", "--bogus"}, "", "", false, true, 2, "All", std::nullopt, {}}));

}  // namespace

// --use-sitemap turns "Read the site's sitemap" on; without it the stored setting holds.
TEST(CrawlOptionsTest, UseSitemapParses) {
  EXPECT_EQ(ParseCrawlArguments({"--use-sitemap", "x"}).UseSitemap, std::optional<bool>(true));
  EXPECT_EQ(ParseCrawlArguments({"x"}).UseSitemap, std::nullopt);
}
