// Loads the shipped dictionary (english.txt beside this program, made by the build) and counts
// the spelling errors of a generated 1 MB page: paragraphs of English words with a few
// misspellings, links, images, entities, comments, a style sheet and scripts. Then the same on
// a folder of real pages, one checker a page as the crawl counts them: the HTML files of
// $TESSALY_SPELLING_CORPUS, by default Debian's PostgreSQL manual
// (/usr/share/doc/postgresql-doc-15/html, package postgresql-doc-15 of bench/packages.txt),
// and its parts alone: splitting the pages into words, and deciding every word without the
// checker's answer cache.
//
// For instruction counts (repeatable on a busy machine), count one pass under callgrind with
//   valgrind --tool=callgrind --toggle-collect='CountSpellingErrors*'
// running build/bench_spelling --benchmark_filter=CorpusCount --benchmark_min_time=0
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Kel/KelSpelling.h"
#include "app/SpellCheck.h"
#include "platform/System.h"

namespace {

std::string DictionaryPath() { return platform::ExecutableFolder() + "/english.txt"; }

const TWordList& MainList() {
  static const TWordList list = [] {
    TWordList l;
    l.LoadFromFile(DictionaryPath());
    return l;
  }();
  return list;
}

// The most frequent words of English prose, which make up most of a real page.
const char* const kCommonWords[] = {
    "the",      "of",         "and",       "to",         "in",        "is",          "that",        "for",
    "it",       "as",         "was",       "with",       "be",        "by",          "on",          "not",
    "he",       "this",       "are",       "or",         "his",       "from",        "at",          "which",
    "but",      "have",       "an",        "had",        "they",      "you",         "were",        "their",
    "one",      "all",        "we",        "can",        "her",       "has",         "there",       "been",
    "if",       "more",       "when",      "will",       "would",     "who",         "so",          "no",
    "about",    "people",     "time",      "years",      "new",       "first",       "other",       "some",
    "these",    "could",      "into",      "only",       "page",      "pages",       "site",        "website",
    "links",    "search",     "contact",   "home",       "service",   "products",    "information", "company",
    "business", "customers",  "support",   "download",   "software",  "development", "available",   "between",
    "because",  "through",    "different", "following",  "important", "without",     "should",      "don't",
    "it's",     "children's", "world",     "government", "general",   "system",      "program",     "number",
    "public"};

std::string MakePage(size_t size) {
  const TWordList& dictionary = MainList();
  std::mt19937 random(20050611);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const size_t common = std::size(kCommonWords);

  const auto word = [&]() -> std::string {
    // Three words in four are frequent ones; the rest come from anywhere in the dictionary.
    std::string w = pick(100) < 75 ? std::string(kCommonWords[pick(common)])
                                   : dictionary[static_cast<int>(pick(static_cast<size_t>(dictionary.Count())))];
    if (pick(100) < 3 && w.size() > 3) w[1 + pick(w.size() - 2)] = static_cast<char>('a' + pick(26));  // a typo
    return w;
  };
  const auto sentence = [&]() {
    std::string s;
    const size_t words = 6 + pick(14);
    for (size_t i = 0; i < words; ++i) {
      std::string w = word();
      if (i == 0 && !w.empty()) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
      if (i > 0) s += pick(40) == 0 ? "&nbsp;" : " ";
      switch (pick(60)) {
        case 0:
          s += "<a href=\"/docs/section" + std::to_string(pick(50)) + "/page" + std::to_string(pick(900)) +
               ".html\" title=\"Read more about " + w + "\">" + w + "</a>";
          break;
        case 1:
          s += "<b>" + w + "</b>";
          break;
        case 2:
          s += "<em>" + w + "</em>";
          break;
        case 3:
          s += w + " &amp; " + word();
          break;
        case 4:
          s += "&quot;" + w + "&quot;";
          break;
        case 5:
          s += std::to_string(1990 + pick(30));
          break;
        case 6:
          s += w + "&#8217;s";
          break;
        default:
          s += w;
      }
      if (i + 1 < words && pick(10) == 0) s += ",";
    }
    return s + (pick(8) == 0 ? "? " : ". ");
  };
  const std::string script =
      "<script type=\"text/javascript\">\n"
      "  function showMenu(id) { var e = document.getElementById(id); if (e && e.style.display != 'block')"
      " { e.style.display = 'block'; } for (var i = 0; i < menus.length; i++) { if (menus[i] != id)"
      " hideMenu(menus[i]); } }\n  var gaq = gaq || []; gaq.push(['_setAccount', 'UA-000000-1']);\n"
      "</script>\n";

  std::string page =
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
      "<title>Products and services of the company</title>\n"
      "<style type=\"text/css\">\n body { font-family: Verdana, Arial, sans-serif; margin: 0px; }\n"
      " .navbar a:hover { color: #ff6600; text-decoration: underline; }\n</style>\n" +
      script + "</head>\n<body>\n";
  int paragraphs = 0;
  while (page.size() < size) {
    if (++paragraphs % 30 == 0) page += script + "<!-- navigation: generated, do not edit -->\n";
    if (paragraphs % 7 == 0) page += "<h2>" + sentence() + "</h2>\n";
    if (paragraphs % 11 == 0)
      page += "<img src=\"/images/photo" + std::to_string(paragraphs) + ".jpg\" alt=\"" + sentence() +
              "\" width=\"200\" height=\"150\">\n";
    page += "<p class=\"text\">";
    const size_t sentences = 2 + pick(6);
    for (size_t i = 0; i < sentences; ++i) page += sentence();
    page += "</p>\n";
  }
  return page + "</body>\n</html>\n";
}

void BM_LoadMainDictionary(benchmark::State& state) {
  const std::string path = DictionaryPath();
  if (!std::filesystem::exists(path)) {
    state.SkipWithError("english.txt is not beside the benchmark");
    return;
  }
  int count = 0;
  for (auto _ : state) {
    TWordList list;
    list.LoadFromFile(path);
    count = list.Count();
    benchmark::DoNotOptimize(count);
  }
  state.counters["words"] = count;
}
BENCHMARK(BM_LoadMainDictionary)->Unit(benchmark::kMillisecond);

void BM_CountSpellingErrors1MB(benchmark::State& state) {
  if (MainList().Empty()) {
    state.SkipWithError("english.txt is not beside the benchmark");
    return;
  }
  const std::string page = MakePage(1 << 20);
  TWordList user;
  user.Add("Tessaly");
  int32_t errors = 0;
  for (auto _ : state) {
    errors = CountSpellingErrors(page, MainList(), user);
    benchmark::DoNotOptimize(errors);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  state.counters["errors"] = errors;
  TWordPositions words;
  SplitWords(page, words);
  state.counters["words"] = static_cast<double>(words.size());
}
BENCHMARK(BM_CountSpellingErrors1MB)->Unit(benchmark::kMillisecond);

// The real pages: every *.html file of the corpus folder, in name order.
struct TCorpus {
  std::string Folder;
  std::vector<std::string> Pages;
  int64_t Bytes = 0;
};

const TCorpus& Corpus() {
  static const TCorpus corpus = [] {
    TCorpus c;
    const char* env = std::getenv("TESSALY_SPELLING_CORPUS");
    c.Folder = env && *env ? env : "/usr/share/doc/postgresql-doc-15/html";
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(c.Folder, ec))
      if (e.path().extension() == ".html") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      c.Pages.push_back(text.str());
      c.Bytes += static_cast<int64_t>(c.Pages.back().size());
    }
    return c;
  }();
  return corpus;
}

bool CorpusReady(benchmark::State& state) {
  if (MainList().Empty()) {
    state.SkipWithError("english.txt is not beside the benchmark");
    return false;
  }
  if (Corpus().Pages.empty()) {
    state.SkipWithError(("no HTML files in " + Corpus().Folder + " (set TESSALY_SPELLING_CORPUS)").c_str());
    return false;
  }
  return true;
}

void CorpusCounters(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * Corpus().Bytes);
  state.counters["pages"] = static_cast<double>(Corpus().Pages.size());
  state.counters["MB"] = static_cast<double>(Corpus().Bytes) / 1e6;
}

// What the crawl does for each page: one walk and count.
void BM_CorpusCountSpellingErrors(benchmark::State& state) {
  if (!CorpusReady(state)) return;
  const TWordList user;
  int64_t errors = 0;
  for (auto _ : state) {
    errors = 0;
    for (const std::string& page : Corpus().Pages) errors += CountSpellingErrors(page, MainList(), user);
    benchmark::DoNotOptimize(errors);
  }
  CorpusCounters(state);
  state.counters["errors"] = static_cast<double>(errors);
}
BENCHMARK(BM_CorpusCountSpellingErrors)->Unit(benchmark::kMillisecond);

// The same with one table of answers for the whole corpus, as a crawl's thread can keep one.
void BM_CorpusCountSpellingErrorsKeptAnswers(benchmark::State& state) {
  if (!CorpusReady(state)) return;
  const TWordList user;
  int64_t errors = 0;
  for (auto _ : state) {
    TKnownWords known(MainList(), user, TKnownWords::kCrawlBits);
    errors = 0;
    for (const std::string& page : Corpus().Pages) errors += CountSpellingErrors(page, known);
    benchmark::DoNotOptimize(errors);
  }
  CorpusCounters(state);
  state.counters["errors"] = static_cast<double>(errors);
}
BENCHMARK(BM_CorpusCountSpellingErrorsKeptAnswers)->Unit(benchmark::kMillisecond);

// Splitting alone, over the whole pages (markup included).
void BM_CorpusSplitWords(benchmark::State& state) {
  if (!CorpusReady(state)) return;
  TWordPositions words;
  size_t count = 0;
  for (auto _ : state) {
    count = 0;
    for (const std::string& page : Corpus().Pages) {
      words.clear();
      SplitWords(page, words);
      count += words.size();
    }
    benchmark::DoNotOptimize(count);
  }
  CorpusCounters(state);
  state.counters["words"] = static_cast<double>(count);
}
BENCHMARK(BM_CorpusSplitWords)->Unit(benchmark::kMillisecond);

// The dictionary rules alone: every word of the pages' text decided on its own, in page order.
void BM_CorpusIsKnownInEither(benchmark::State& state) {
  if (!CorpusReady(state)) return;
  static const std::vector<std::string> words = [] {
    std::vector<std::string> all;
    TWordPositions positions;
    for (const std::string& page : Corpus().Pages) {
      positions.clear();
      SplitWords(page, positions);
      for (const TWordPosition& p : positions)
        all.push_back(page.substr(static_cast<size_t>(p.Index - 1), static_cast<size_t>(p.Length)));
    }
    return all;
  }();
  const TWordList user;
  size_t unknown = 0;
  for (auto _ : state) {
    unknown = 0;
    for (const std::string& w : words) unknown += IsKnownInEither(w, MainList(), user) ? 0 : 1;
    benchmark::DoNotOptimize(unknown);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
  state.counters["words"] = static_cast<double>(words.size());
  state.counters["unknown"] = static_cast<double>(unknown);
}
BENCHMARK(BM_CorpusIsKnownInEither)->Unit(benchmark::kMillisecond);

}  // namespace
