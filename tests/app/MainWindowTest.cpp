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
