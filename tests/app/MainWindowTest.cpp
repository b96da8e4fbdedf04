#include "app/UnitMain.h"

#include <gtest/gtest.h>

#include "platform/Headless.h"
#include "support/RecordingQueue.h"
#include "support/TempDir.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : paths(dir.Str()), form(map, services, &queue) {
    services.Ask = &ask;
    services.View = &preview;
    services.Web = &browser;
    services.Dirs = &paths;
    std::filesystem::create_directories(paths.App);
    form.Reset();
    map.SiteURI.Parse("http://host/");
  }
  TTreeEntry* Add(const std::string& address, int code = 200, const std::string& type = "text/html") {
    TURI uri(address);
    TTreeEntry* e = form.Tree.InsertURL(uri, nullptr, false);
    NodeOf(e)->ResponseCode = code;
    NodeOf(e)->ContentType = type;
    return e;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> captions;
    for (const auto& row : form.List.Rows()) captions.push_back(row->Caption);
    return captions;
  }

  TempDir dir;
  platform::FixedPaths paths;
  platform::HeadlessPrompter ask;
  platform::HeadlessPreview preview;
  platform::HeadlessBrowser browser;
  platform::Services services;
  RecordingQueue queue;
  TSiteMap map;
  TFormTessaly form;
};

TEST_F(MainWindowTest, ResetSelectsTheSiteRootOnly) {
  EXPECT_EQ(form.Selected(), form.Tree.SiteRoot());
  EXPECT_EQ(form.History.Entries, (std::vector<TTreeEntry*>{form.Tree.SiteRoot()}));
  EXPECT_FALSE(form.BackEnabled);
  EXPECT_FALSE(form.ForwardEnabled);
  EXPECT_FALSE(form.UpEnabled);
  EXPECT_EQ(form.ProjectFileName, "untitled.tly");
  EXPECT_EQ(form.Caption, "Quorlix Tessaly - [untitled.tly]");
  EXPECT_FALSE(map.Modified);
  EXPECT_EQ(form.List.CountText(), "0 objects");
}

TEST_F(MainWindowTest, FilterRootListsFromTheWholeTree) {
  TTreeEntry* index = Add("http://host/dir/");
  Add("http://host/dir/gone.html", 404);
  Add("http://other/x.html", 404);
  TURI mail;
  ResolveLink(mail, "mailto:a@b", nullptr);
  form.Tree.InsertURL(mail, nullptr, false);
  form.SelectEntry(form.Tree.Root(rkBroken));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"http://other/x.html", "gone.html"}));
  form.SelectEntry(form.Tree.Root(rkAll));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"http://other/x.html", "mailto:a@b", "dir", "index.html", "gone.html"}));
  EXPECT_EQ(form.PathText, "All");
  (void)index;
}

TEST_F(MainWindowTest, HtmlPageListsItsLinksOtherDocumentsTheirSiblings) {
  TTreeEntry* page = Add("http://host/a.html");
  TTreeEntry* image = Add("http://host/img.gif", 200, "image/gif");
  TTreeEntry* other = Add("http://host/b.html");
  NodeOf(page)->AddToLinks(NodeOf(other));
  form.SelectEntry(page);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"b.html"}));
  EXPECT_EQ(preview.Targets.back(), "http://host/a.html");
  EXPECT_EQ(form.EditURL, "http://host/a.html");
  form.SelectEntry(image);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a.html", "img.gif", "b.html"}));
  EXPECT_TRUE(form.List.Row(1)->Selected);
  EXPECT_EQ(form.List.CountText(), "1 object selected");
}

TEST_F(MainWindowTest, FolderListsChildrenAndPreviewsNothing) {
  Add("http://host/dir/a.html");
  TTreeEntry* folder = form.Tree.SiteRoot()->Child(0);
  preview.Targets.clear();
  form.SelectEntry(folder);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a.html"}));
  EXPECT_TRUE(preview.Targets.empty());
  EXPECT_EQ(form.PathText, "http://host/dir/");
  EXPECT_TRUE(form.UpEnabled);
  TTreeEntry* pdf = Add("http://host/doc.pdf", 200, "application/pdf");
  form.SelectEntry(pdf);
  EXPECT_TRUE(preview.Targets.empty());
}

TEST_F(MainWindowTest, NewProjectAsksOnlyWhenModified) {
  EXPECT_TRUE(form.NewProject());
  EXPECT_TRUE(ask.Log.empty());
  Add("http://host/a.html");
  ask.QueueAnswer(platform::Answer::No);
  EXPECT_FALSE(form.NewProject());
  EXPECT_EQ(ask.Log.back().Text, "Do you want to clear the current spider results?");
  EXPECT_EQ(map.Count(), 1);
  ask.QueueAnswer(platform::Answer::Yes);
  EXPECT_TRUE(form.NewProject());
  EXPECT_EQ(map.Count(), 0);
  EXPECT_TRUE(ask.Unexpected.empty());
}

TEST_F(MainWindowTest, RefreshLeavesTheHistoryAlone) {
  TTreeEntry* a = Add("http://host/a.html");
  form.SelectEntry(a);
  const auto before = form.History.Entries;
  form.Refresh();
  EXPECT_EQ(form.History.Entries, before);
  EXPECT_EQ(form.Selected(), a);
  form.MoveInHistory(-1);
  EXPECT_EQ(form.Selected(), form.Tree.SiteRoot());
  EXPECT_TRUE(form.ForwardEnabled);
}

// Hostile recent-address files: only the first 10 valid lines of the first 64 KiB count; an
// address longer than 2,048 characters or holding control characters is not kept.
TEST_F(MainWindowTest, RecentAddressFilesAreReadOnlyAsFarAsTheyAreKept) {
  const std::string longest = "http://h/" + std::string(kMaxRecentAddressLength - 9, 'x');
  const std::string tooLong = longest + "x";
  std::string million;
  million.reserve(12'000'000);
  for (int i = 0; i < 1'000'000; ++i) million += "http://m" + std::to_string(i) + "/\r\n";
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "http://e" + std::to_string(i) + "/\n";
  const struct {
    const char* Name;
    std::string Content;
    std::vector<std::string> Kept;
  } cases[] = {
      {"plain", "http://a/\r\nhttp://b/\r\n", {"http://a/", "http://b/"}},
      {"LF only, no last line end", "http://a/\nhttp://b/", {"http://a/", "http://b/"}},
      {"empty lines", "\r\n\nhttp://a/\r\n\r\n", {"http://a/"}},
      {"the longest kept", longest + "\r\n", {longest}},
      {"one too long", tooLong + "\r\nhttp://a/\r\n", {"http://a/"}},
      {"3,000 characters", "http://h/" + std::string(2991, 'p') + "\r\nhttp://a/\r\n", {"http://a/"}},
      {"controls", std::string("http://a/\x1b[2J\r\nhttp://b/\tx\r\nhttp://c/") + '\0' + "\r\nhttp://d/\r\n",
       {"http://d/"}},
      {"five megabytes of junk", std::string(5 << 20, 'j'), {}},
      {"junk, then an address past 64 KiB", std::string(70000, 'j') + "\nhttp://late/\n", {}},
      {"an address cut by the 64 KiB", std::string(65000, '\n') + "http://cut/" + std::string(1000, 'c'), {}},
      {"a million lines", million, {"http://m0/", "http://m1/", "http://m2/", "http://m3/", "http://m4/", "http://m5/",
                                    "http://m6/", "http://m7/", "http://m8/", "http://m9/"}},
      {"eleven", eleven, {"http://e0/", "http://e1/", "http://e2/", "http://e3/", "http://e4/", "http://e5/",
                          "http://e6/", "http://e7/", "http://e8/", "http://e9/"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    dir.Write("app/MRU.txt", c.Content);
    form.LoadRecentAddresses();
    EXPECT_EQ(form.RecentAddresses, c.Kept);
    // Written back, the file holds what was kept and nothing else.
    form.SaveRecentAddresses();
    std::string expected;
    for (const auto& a : c.Kept) expected += a + "\r\n";
    EXPECT_EQ(ReadFileText(paths.App + "/MRU.txt"), expected);
  }
  // An address typed into the box that is too long is not remembered.
  form.EditURL = tooLong;
  form.AddRecentAddress();
  EXPECT_EQ(form.RecentAddresses.front(), "http://e0/");
  form.EditURL = "http://new/";
  form.AddRecentAddress();
  EXPECT_EQ(form.RecentAddresses.front(), "http://new/");
}

// A link clicked in the preview: in the map, it is selected; outside it, a web address is
// offered to the browser and opened only on Yes; other schemes are never handed on.
TEST_F(MainWindowTest, PreviewLinksSelectTheirEntryOrAskBeforeTheBrowser) {
  TTreeEntry* page = Add("http://host/page.html");
  TURI mailto;
  ResolveLink(mailto, "mailto:x@example.com", nullptr);
  TTreeEntry* mail = form.Tree.InsertURL(mailto, nullptr, false);
  const struct {
    const char* Address;
    TTreeEntry* Selected;  // none: the selection stays
    bool Asked;
    platform::Answer Answer;
    bool Opened;
  } cases[] = {
      {"http://host/page.html", page, false, platform::Answer::No, false},
      {"http://HOST:80/page.html#part", page, false, platform::Answer::No, false},
      {"mailto:x@example.com", mail, false, platform::Answer::No, false},
      {"http://other/", nullptr, true, platform::Answer::No, false},
      {"https://other/x", nullptr, true, platform::Answer::Yes, true},
      {"mailto:y@example.com", nullptr, false, platform::Answer::No, false},
      {"ssh://host/", nullptr, false, platform::Answer::No, false},
      {"file:///etc/passwd", nullptr, false, platform::Answer::No, false},
      {"javascript:alert(1)", nullptr, false, platform::Answer::No, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Address);
    form.SelectEntry(form.Tree.SiteRoot());
    ask.Log.clear();
    browser.Shown.clear();
    if (c.Asked) ask.QueueAnswer(c.Answer);
    form.PreviewLinkClicked(c.Address);
    EXPECT_EQ(form.Selected(), c.Selected ? c.Selected : form.Tree.SiteRoot());
    EXPECT_EQ(ask.Log.size(), c.Asked ? 1u : 0u);
    EXPECT_EQ(browser.Shown.size(), c.Opened ? 1u : 0u);
  }
  EXPECT_TRUE(ask.Unexpected.empty());
}

// A file address that a web site names is shown (preview or browser) only when the user says
// so, never on a mere selection; the browser is never handed another scheme.
TEST_F(MainWindowTest, FileAddressesFromAWebSiteAskFirst) {
  TURI uri;
  ResolveLink(uri, "file:///etc/passwd", nullptr);
  TTreeEntry* file = form.Tree.InsertURL(uri, nullptr, false);
  NodeOf(file)->ResponseCode = 200;
  NodeOf(file)->ContentType = "text/html";
  TSpiderNode* node = NodeOf(file);
  ASSERT_NE(node, nullptr);
  const struct {
    bool NewWindow, Force;
    bool Asked;
    platform::Answer Answer;
    size_t Previewed, Opened;
  } cases[] = {
      {false, false, false, platform::Answer::No, 0, 0},  // a selection
      {false, true, true, platform::Answer::No, 0, 0},    // "Open", No
      {false, true, true, platform::Answer::Yes, 1, 0},   // "Open", Yes
      {true, false, true, platform::Answer::No, 0, 0},    // "Open in New Window", No
      {true, false, true, platform::Answer::Yes, 0, 1},   // "Open in New Window", Yes
  };
  for (const auto& c : cases) {
    ask.Log.clear();
    preview.Targets.clear();
    browser.Shown.clear();
    if (c.Asked) ask.QueueAnswer(c.Answer);
    form.PreviewNode(node, c.NewWindow, c.Force);
    EXPECT_EQ(ask.Log.size(), c.Asked ? 1u : 0u);
    EXPECT_EQ(preview.Targets.size(), c.Previewed);
    EXPECT_EQ(browser.Shown.size(), c.Opened);
  }
  // Other schemes never reach the browser, whatever asks for them.
  browser.Shown.clear();
  for (const char* target : {"mailto:x@example.com", "ssh://host/", "javascript:alert(1)", "smb://host/share"}) {
    EXPECT_FALSE(OpenInBrowser(services, target)) << target;
  }
  EXPECT_TRUE(browser.Shown.empty());
  EXPECT_TRUE(OpenInBrowser(services, "/tmp/export.htm"));
  EXPECT_TRUE(ask.Unexpected.empty());
}

TEST_F(MainWindowTest, RecentAddresses) {
  form.EditURL = "http://a/";
  form.AddRecentAddress();
  form.EditURL = "http://b/";
  form.AddRecentAddress();
  form.EditURL = "HTTP://A/";
  form.AddRecentAddress();
  EXPECT_EQ(form.RecentAddresses, (std::vector<std::string>{"http://a/", "http://b/"}));
  form.EditURL.clear();
  form.AddRecentAddress();
  EXPECT_EQ(form.RecentAddresses.size(), 2u);
  for (int i = 0; i < 12; ++i) {
    form.EditURL = "http://h" + std::to_string(i) + "/";
    form.AddRecentAddress();
  }
  form.SaveRecentAddresses();
  EXPECT_EQ(ReadFileText(paths.App + "/MRU.txt").substr(0, 13), "http://h11/\r\n");
  TFormTessaly second(map, services);
  second.LoadRecentAddresses();
  EXPECT_EQ(second.RecentAddresses.size(), 10u);
  EXPECT_EQ(second.RecentAddresses[0], "http://h11/");
}

TEST_F(MainWindowTest, SetAddressShowsThePage) {
  form.SetAddress("/tmp/page.html");
  EXPECT_EQ(form.EditURL, "/tmp/page.html");
  EXPECT_EQ(preview.Targets.back(), "/tmp/page.html");
}

}  // namespace

namespace {

// The list follows the selected entry as entries are added and answered: each source appends
// the rows it gains, and a row the user selected stays selected.
TEST_F(MainWindowTest, TheListFollowsTheSelectedEntryAsTheMapGrows) {
  struct Case {
    const char* Name;
    std::function<TTreeEntry*()> Select;
    std::function<void()> Grow;
    std::vector<std::string> Before, After;
  };
  TTreeEntry* page = nullptr;
  const Case cases[] = {
      {"a folder gains children", [&] { Add("http://host/dir/a.html"); return form.Tree.SiteRoot()->Child(0); },
       [&] { Add("http://host/dir/b.html"); }, {"a.html"}, {"a.html", "b.html"}},
      {"a category gains a broken address", [&] { Add("http://host/gone.html", 404); return form.Tree.Root(rkBroken); },
       [&] { form.Tree.RefreshEntry(Add("http://host/lost.html", 500)); }, {"gone.html"}, {"gone.html", "lost.html"}},
      {"a page gains links",
       [&] { page = Add("http://host/p.html"); NodeOf(page)->AddToLinks(NodeOf(Add("http://host/q.html"))); return page; },
       [&] { NodeOf(page)->AddToLinks(NodeOf(Add("http://host/r.html"))); form.Tree.RefreshEntry(page); },
       {"q.html"}, {"q.html", "r.html"}},
      {"a file turns out to be a page",
       [&] { page = Add("http://host/s.html", 0, ""); Add("http://host/t.html"); return page; },
       [&] { NodeOf(page)->ContentType = "text/html"; NodeOf(page)->AddToLinks(NodeOf(Add("http://host/u.html")));
             form.Tree.RefreshEntry(page); },
       {"s.html", "t.html"}, {"u.html"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ask.QueueAnswer(platform::Answer::Yes);
    form.NewProject();
    map.SiteURI.Parse("http://host/");
    form.SelectEntry(c.Select());
    EXPECT_EQ(Rows(), c.Before);
    form.List.Row(0)->Selected = true;
    const std::string first = form.List.Row(0)->Caption;
    c.Grow();
    form.Live.Sync();
    EXPECT_EQ(Rows(), c.After);
    for (const auto& row : form.List.Rows()) EXPECT_EQ(row->Selected, row->Caption == first) << row->Caption;
  }
  map.Modified = false;
}

// New, and so a new crawl, empties the preview of the old project's page.
TEST_F(MainWindowTest, NewProjectClearsThePreview) {
  const int before = preview.Cleared;
  form.SelectEntry(Add("http://host/a.html"));
  ask.QueueAnswer(platform::Answer::Yes);
  EXPECT_TRUE(form.NewProject());
  EXPECT_EQ(preview.Cleared, before + 1);
}

}  // namespace
