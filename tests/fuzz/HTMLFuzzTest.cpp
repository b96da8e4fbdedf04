// Random and truncated documents for the HTML walker, the link extractor and the tag block
// finder. Built with AddressSanitizer and UBSan (tests/asan.cmake): every document is copied
// into a heap block of exactly its size, so a read past its end is caught. The walker's events
// are compared with a plain index-based reading of the tokenizing rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Kel/KelHTMLWalk.h"
#include "app/LinkExtractor.h"
#include "app/SpiderTools.h"
#include "app/TagBlock.h"
#include "support/Random.h"
#include "support/RecordingQueue.h"

namespace {

using Rng = TestRandom;

// A document in a heap block of exactly its length: no terminator, no spare capacity.
class ExactBuffer {
 public:
  explicit ExactBuffer(std::string_view text) : data_(new char[text.size()]), size_(text.size()) {
    std::copy(text.begin(), text.end(), data_.get());
  }
  std::string_view View() const { return {data_.get(), size_}; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_;
};

// The walker's state, written down at every event: event number, cursor position, TagPos,
// TokenStart (as a position, 0 before the first token), then the four token fields.
struct Snapshot {
  std::string log;
  void Add(int event, size_t position, int32_t tagPos, size_t tokenStart, const std::string& tagName,
           const std::string& attrName, const std::string& attrValue, const std::string& text) {
    log += std::to_string(event) + '@' + std::to_string(position) + ',' + std::to_string(tagPos) + ',' +
           std::to_string(tokenStart) + '|' + tagName + '|' + attrName + '|' + attrValue + '|' + text + '\n';
  }
};

class Recorder : public THTMLWalk {
 public:
  Snapshot snap;

 private:
  void Note(int event) {
    const size_t token = TokenStart ? static_cast<size_t>(TokenStart - DocStart) + 1 : 0;
    snap.Add(event, static_cast<size_t>(Position()), TagPos, token, TagName, AttrName, AttrValue, Text);
  }
  void DoTagName() override { Note(0); }
  void DoBeginTag() override { Note(1); }
  void DoEndTag() override { Note(2); }
  void DoBeginText() override { Note(3); }
  void DoText() override { Note(4); }
  void DoBeginAttribute() override { Note(5); }
  void DoAttributeName() override { Note(6); }
  void DoAttributeValue() override { Note(7); }
  void DoEndAttribute() override { Note(8); }
};

// The tokenizing rules read literally, with indices instead of pointers.
std::string ReferenceWalk(std::string_view doc) {
  doc = doc.substr(0, doc.find('\0'));
  const size_t n = doc.size();
  auto at = [&](size_t k) -> unsigned { return k < n ? static_cast<unsigned char>(doc[k]) : 0u; };
  auto blank = [&](size_t k) { return at(k) >= 1 && at(k) <= 32; };
  auto tagEnd = [&](size_t k) { return k >= n || doc[k] == '>'; };
  auto tagStart = [&](size_t k) {
    const unsigned c = at(k + 1);
    return at(k) == '<' && (c == '!' || c == '/' || c == '?' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
  };
  Snapshot snap;
  size_t i = 0, token = 0;  // token: 1-based TokenStart, 0 for none yet
  int32_t tagPos = 0;
  std::string tagName, attrName, attrValue, text;
  auto note = [&](int event) { snap.Add(event, i + 1, tagPos, token, tagName, attrName, attrValue, text); };
  auto skipBlanks = [&] {
    while (blank(i)) ++i;
  };
  while (i < n) {
    if (!tagStart(i)) {
      note(3);
      token = i + 1;
      do ++i;
      while (i < n && !tagStart(i));
      text = std::string(doc.substr(token - 1, i - (token - 1)));
      note(4);
      continue;
    }
    tagPos = static_cast<int32_t>(i + 1);
    if (doc.substr(i, 4) == "<!--") {
      token = i + 1;
      const size_t end = doc.find("-->", i);
      i = end == std::string_view::npos ? n : end + 3;
      continue;
    }
    note(1);
    token = ++i + 1;
    while (!blank(i) && !tagEnd(i)) ++i;
    tagName = std::string(doc.substr(token - 1, i - (token - 1)));
    note(0);
    skipBlanks();
    while (!tagEnd(i)) {
      note(5);
      token = i + 1;
      while (!blank(i) && !tagEnd(i) && doc[i] != '=') ++i;
      attrName = std::string(doc.substr(token - 1, i - (token - 1)));
      attrValue.clear();
      note(6);
      skipBlanks();
      if (i < n && doc[i] == '=') {
        ++i;
        skipBlanks();
        if (i < n && (doc[i] == '"' || doc[i] == '\'')) {
          const char quote = doc[i++];
          token = i + 1;
          while (i < n && doc[i] != quote) ++i;
          attrValue = std::string(doc.substr(token - 1, i - (token - 1)));
          note(7);
          if (i < n) ++i;
        } else {
          token = i + 1;
          while (!blank(i) && !tagEnd(i)) ++i;
          attrValue = std::string(doc.substr(token - 1, i - (token - 1)));
          note(7);
        }
        skipBlanks();
      }
      note(8);
    }
    if (i < n) ++i;
    note(2);
  }
  return snap.log;
}

// Bytes that steer the tokenizer, with a few plain letters and the bytes around the classes'
// edges (NUL, control bytes, space, 127, 160, 255).
std::string RandomDocument(Rng& rng, size_t length) {
  static const char kBytes[] = "<<<<>>>!!//?--==\"\"''  \t\r\nabAZ09\x01\x1F\x7F\xA0\xFF";
  static const std::string_view kAlphabet(kBytes, sizeof kBytes);  // the closing NUL included
  static const char* const kPieces[] = {"<!--",
                                        "-->",
                                        "<a href=",
                                        "<meta ",
                                        "http-equiv=refresh ",
                                        "content=\"",
                                        "</script>",
                                        "<script>",
                                        "<title>",
                                        "</title>",
                                        "src='",
                                        "%",
                                        "%4",
                                        "name=description",
                                        "URL=",
                                        ";",
                                        "<QUORLIXTESSALY>",
                                        "</body>",
                                        "<body>",
                                        "<style>",
                                        "</style>",
                                        "url(",
                                        "@import ",
                                        "srcset=\"",
                                        "style='",
                                        "\\",
                                        "/*",
                                        ","};
  std::string doc;
  while (doc.size() < length) {
    if (rng.Below(4) == 0) doc += kPieces[rng.Below(std::size(kPieces))];
    else doc += kAlphabet[rng.Below(kAlphabet.size())];
  }
  return doc;
}

const char* const kPage =
    "<!DOCTYPE html><html><head><title>Home <b>Page</b></title>\n"
    "<meta name=\"description\" content=\"About us\"><meta http-equiv=\"refresh\" content=\"5;URL=next.html\">\n"
    "<script src=\"a.js\"></script><script>if (a<b) document.write('<a href=\"w.html\">');</script>\n"
    "<style>p > b { color: red } @import \"i.css\"; .x { background: url(bg\\ x.png) } /* url(no) */</style>\n"
    "<link rel=stylesheet href=s.css></head>\n"
    "<img srcset=\"a.jpg 1x, b,c.jpg 2x\"><p style=\"background:url('p\\41.png')\"><video poster=v.jpg>\n"
    "<body bgcolor=white><!-- <a href=\"hidden.html\"> --><p>Text &amp; <a href='x.html'>more</a>\n"
    "<img src=pic.gif alt=\"a > b\"><a href=\"100%.html\">bad</a><iframe src=\"f.html\"></iframe>\n"
    "<QUORLIXTESSALY>old</QUORLIXTESSALY><a href=\"mailto:me@host\">mail</a></body></html>\n";

void Extract(std::string_view doc) {
  RecordingQueue queue;
  TSiteMap map;
  TSiteTree tree(map, &queue);
  tree.HeadCallback = [](THTTPClient&) {};
  map.SiteURI.Parse("http://host/dir/");
  const TURI base("http://host/dir/page.html");
  TURI uri(base);
  TSpiderNode* page = NodeOf(tree.InsertURL(uri, nullptr, true));
  TPageLinks found = ExtractPageLinks(doc, base);
  ApplyPageLinks(tree, page, base, found);
  std::vector<TSpiderNode*> links = page->Links;
  std::sort(links.begin(), links.end());
  ASSERT_EQ(std::adjacent_find(links.begin(), links.end()), links.end()) << "a target listed twice";
  for (TSpiderNode* target : page->Links) {
    if (target == page) continue;  // a page is never its own referer
    ASSERT_NE(std::find(target->Referers.begin(), target->Referers.end(), page), target->Referers.end());
  }
}

void CheckTagBlocks(const std::string& doc) {
  const auto [start, end] = GetInsertRange(doc);
  ASSERT_GE(start, 0);
  ASSERT_LE(start, end);
  ASSERT_LE(end, static_cast<int32_t>(doc.size()) + 1);
  const TTagBlock b = FindTagBlock(doc, "b");
  if (b.CloseStart > 0) {
    ASSERT_GT(b.OpenStart, 0);
    ASSERT_LE(b.OpenEnd, b.CloseStart);
    ASSERT_LT(b.CloseStart, b.CloseEnd);
  }
}

void CheckDocument(std::string_view text) {
  const ExactBuffer buffer(text);
  Recorder recorder;
  recorder.Walk(buffer.View());
  ASSERT_EQ(recorder.snap.log, ReferenceWalk(text)) << "document: " << ::testing::PrintToString(std::string(text));
  Extract(buffer.View());
  CheckTagBlocks(std::string(text));
}

TEST(HTMLFuzz, RandomDocuments) {
  Rng rng = Rng::FromSeed(1);
  for (int round = 0; round < 3000; ++round) {
    CheckDocument(RandomDocument(rng, rng.Below(120)));
    if (HasFatalFailure()) return;
  }
}

// Random stylesheets and srcset lists, each in a block of exactly its size.
TEST(HTMLFuzz, RandomStyleSheetsAndSrcsets) {
  static const char* const kPieces[] = {"url(", "URL( '", "@import ", "\"", "'",     "\\", "\\4", "/*", "*/",
                                        ")",    " ",      ",",        "(",  "data:", "\n", "a",   "1x", "\\\n"};
  Rng rng = Rng::FromSeed(3);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (size_t k = 0, n = rng.Below(40); k < n; ++k) text += kPieces[rng.Below(std::size(kPieces))];
    const ExactBuffer buffer(text);
    size_t total = 0;
    ForEachCSSLink(buffer.View(), [&](std::string_view link) {
      ASSERT_FALSE(link.empty());
      total += link.size();
    });
    ForEachSrcsetLink(buffer.View(), [&](std::string_view link) {
      ASSERT_FALSE(link.empty());
      ASSERT_LE(link.size(), text.size());
    });
    ASSERT_LE(total, 4 * text.size());  // an escape never yields more than 4 bytes
    const TURI sheet("http://host/dir/s.css");
    ExtractStyleSheetLinks(buffer.View(), sheet);
    if (HasFatalFailure()) return;
  }
}

TEST(HTMLFuzz, EveryTruncationOfAPage) {
  const std::string page(kPage);
  for (size_t len = 0; len <= page.size(); ++len) {
    CheckDocument(std::string_view(page).substr(0, len));
    if (HasFatalFailure()) return;
  }
}

TEST(HTMLFuzz, PagesWithRandomBytesChanged) {
  Rng rng = Rng::FromSeed(2);
  const std::string page(kPage);
  for (int round = 0; round < 1500; ++round) {
    std::string doc = page.substr(rng.Below(page.size() / 2));
    for (size_t k = 0, edits = 1 + rng.Below(6); k < edits; ++k)
      doc[rng.Below(doc.size())] = static_cast<char>(rng.Next());
    CheckDocument(doc);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
