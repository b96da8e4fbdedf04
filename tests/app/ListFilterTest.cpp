#include "app/ListFilter.h"

#include <gtest/gtest.h>

#include "app/NodeList.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

class ListFilterTest : public ::testing::Test {
 protected:
  ListFilterTest() : tree(map) {
    tree.AttachList(&list);
    tree.ResetSiteTree();
    tree.UpdateSiteRootCaption();
  }
  ~ListFilterTest() override { tree.AttachList(nullptr); }

  TTreeEntry* Add(const std::string& address, int code, const std::string& type = "text/html",
                  const std::string& text = std::string()) {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    TTreeEntry* e = tree.InsertURL(uri, nullptr, false);
    if (TSpiderNode* n = e->Node; n && !IsSpecialScheme(n->Address().Protocol())) {
      n->ResponseCode = code;
      n->ContentType = type;
      n->ResponseText = text;
    }
    return e;
  }
  // The captions of the rows of the site root's children and the categories that pass.
  std::vector<std::string> Passing(const TListFilter& filter) {
    std::vector<std::string> out;
    for (const auto& row : list.Rows())
      if (filter.Matches(*row)) out.push_back(row->Caption);
    return out;
  }
  void ListAll() {
    tree.ListMatching(list, tree.Root(rkAll));
  }

  TSiteMap map;
  TSiteTree tree;
  TNodeList list;
};

using Names = std::vector<std::string>;

TEST_F(ListFilterTest, AnswerClassesByCode) {
  const struct {
    const char* address;
    int code;
    const char* text;
    TAnswerClass expected;
  } cases[] = {
      {"http://LocalHost/ok.html", 200, "HTTP/1.1 200 OK", ac2xx},
      {"http://LocalHost/empty.html", 204, "HTTP/1.1 204 No Content", ac2xx},
      {"http://LocalHost/moved.html", 301, "HTTP/1.1 301 Moved Permanently", ac3xx},
      {"http://LocalHost/loop.html", 302, kRedirectLoopText, acFailed},
      {"http://LocalHost/same.html", 304, "HTTP/1.1 304 Not Modified", ac3xx},
      {"http://LocalHost/gone.html", 404, "HTTP/1.1 404 Not Found", ac4xx},
      {"http://LocalHost/later.html", 429, "HTTP/1.1 429 Too Many Requests", ac4xx},
      {"http://LocalHost/error.html", 500, "HTTP/1.1 500 Internal Server Error", ac5xx},
      {"http://LocalHost/odd.html", 999, "HTTP/1.1 999 Odd", acFailed},
      {"http://LocalHost/refused.html", -1, "Couldn't connect to server", acFailed},
      {"http://LocalHost/unchecked.html", 0, "", acNone},
      {"http://LocalHost/excluded.html", 0, kExcludedText, acNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(AnswerClassOf(*Add(c.address, c.code, "text/html", c.text)->Node), c.expected);
  }
  EXPECT_EQ(AnswerClassOf(*Add("mailto:someone@example.com", 0)->Node), acNone);
}

TEST_F(ListFilterTest, TextInAnyColumnIgnoringCase) {
  Add("http://LocalHost/Home.html", 200, "text/html", "HTTP/1.1 200 OK");
  Add("http://LocalHost/logo.png", 200, "image/png", "HTTP/1.1 200 OK");
  Add("http://LocalHost/docs/guide.html", 404, "text/html", "HTTP/1.1 404 Not Found");
  Add("http://LocalHost/down.html", -1, "", "Couldn't resolve host name");
  Add("mailto:Sales@example.com", 0);
  ListAll();
  ASSERT_EQ(list.Count(), 5);
  const struct {
    const char* text;
    Names expected;
  } cases[] = {
      {"", {"mailto:Sales@example.com", "Home.html", "logo.png", "guide.html", "down.html"}},  // tree order
      {"home", {"Home.html"}},                                   // the name, any case
      {"  HOME ", {"Home.html"}},                                // blanks around are ignored
      {"image/", {"logo.png"}},                                  // the type
      {"not found", {"guide.html"}},                             // the status
      {"resolve", {"down.html"}},                                // why it failed
      {"localhost/docs/", {"guide.html"}},                       // the address
      {"404", {"guide.html"}},                                   // the code
      {"mailto", {"mailto:Sales@example.com"}},                  // the scheme, as its type
      {"nothing like it", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TListFilter filter;
    filter.SetText(c.text);
    EXPECT_EQ(filter.Active(), std::string(c.text).find_first_not_of(' ') != std::string::npos);
    Names got = Passing(filter);
    // "All" lists folders with an index page beside it; none here, so no folder row.
    EXPECT_EQ(got, c.expected);
  }
  // A filled row is read from its cells, with the same result.
  list.FillAllRows();
  TListFilter filter;
  filter.SetText("NOT FOUND");
  EXPECT_EQ(Passing(filter), Names{"guide.html"});
}

TEST_F(ListFilterTest, ClassesNarrowAndCombineWithText) {
  Add("http://LocalHost/a.html", 200, "text/html", "HTTP/1.1 200 OK");
  Add("http://LocalHost/b.html", 301, "text/html", "HTTP/1.1 301 Moved");
  Add("http://LocalHost/c.html", 404, "text/html", "HTTP/1.1 404 Not Found");
  Add("http://LocalHost/d.html", 503, "text/html", "HTTP/1.1 503 Service Unavailable");
  Add("http://LocalHost/e.html", -1, "", "Timeout was reached");
  Add("http://LocalHost/f.html", 0);
  Add("http://LocalHost/docs/g.html", 410, "text/html", "HTTP/1.1 410 Gone");
  // The site root's children: a folder among the pages.
  list.BeginUpdate();
  for (const auto& child : tree.SiteRoot()->Children) list.AddRow(child.get());
  list.EndUpdate();
  const struct {
    unsigned classes;
    const char* text;
    Names expected;
  } cases[] = {
      {acNone, "", {"a.html", "b.html", "c.html", "d.html", "e.html", "f.html", "docs"}},
      {ac2xx, "", {"a.html"}},
      {ac3xx, "", {"b.html"}},
      {ac4xx, "", {"c.html"}},
      {ac5xx, "", {"d.html"}},
      {acFailed, "", {"e.html"}},
      {ac4xx | ac5xx | acFailed, "", {"c.html", "d.html", "e.html"}},
      {acAll, "", {"a.html", "b.html", "c.html", "d.html", "e.html"}},  // not the unanswered, nor the folder
      {acAll, "html", {"a.html", "b.html", "c.html", "d.html", "e.html"}},
      {ac4xx | ac5xx, "unavailable", {"d.html"}},
      {acNone, "folder", {"docs"}},  // a folder row by its type
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.classes << " " << c.text);
    TListFilter filter;
    filter.SetClasses(c.classes);
    filter.SetText(c.text);
    EXPECT_EQ(filter.Classes(), c.classes);
    EXPECT_EQ(Passing(filter), c.expected);
  }
  // Filtering keeps nothing of its own in the rows.
  for (const auto& row : list.Rows()) EXPECT_FALSE(row->Filled());
}

}  // namespace
