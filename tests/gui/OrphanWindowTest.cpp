// "Orphan Pages" in the window: with "Read the site's sitemap" on, the category follows the
// fixed ones in the tree and lists the page that only the sitemap names; it stays beside a
// comparison's categories; with the setting off the tree is as it always was.
#include <QTreeView>

#include "GuiFixture.h"
#include "app/CrawlEngine.h"
#include "app/ProjectCompare.h"
#include "app/SitemapFeed.h"
#include "gui/SiteTreeModel.h"

namespace {

class OrphanWindowTest : public GuiFixture {
 protected:
  OrphanWindowTest() {
    Serve("/", "<title>Home</title><a href='linked.html'>linked</a>");
    Serve("/linked.html", "<title>Linked</title>");
    Serve("/orphan.html", "<title>Orphan</title>");
    server.Http().Get("/sitemap.xml", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content("<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\"><url><loc>" +
                          server.URL("/linked.html") + "</loc></url><url><loc>" + server.URL("/orphan.html") +
                          "</loc></url></urlset>",
                      "application/xml");
    });
    server.Start();
  }
  void Serve(const std::string& path, const std::string& body) {
    server.Http().Get(path, [body](const httplib::Request&, httplib::Response& res) { res.set_content(body, "text/html"); });
  }
  std::vector<std::string> TopRows() const {
    std::vector<std::string> out;
    for (int r = 0; r < window->TreeModel->rowCount(); ++r)
      out.push_back(window->TreeModel->index(r, 0).data().toString().toStdString());
    return out;
  }
  void UseSitemap(bool on) {
    TCrawlSettings settings;
    settings.UseSitemap = on;
    app->Engine.Apply(settings);
  }

  TestServer server;
};

TEST_F(OrphanWindowTest, TheCategoryListsThePageOnlyTheSitemapNames) {
  UseSitemap(false);
  CrawlFromAddressBox(server.URL("/"));
  const size_t fixed = TopRows().size();
  EXPECT_EQ(fixed, static_cast<size_t>(rkCount));
  EXPECT_EQ(app->Main.Crawl.Sitemaps.Category(), nullptr);

  UseSitemap(true);
  ask.QueueAnswer(platform::Answer::Yes);  // clear the results of the crawl before
  CrawlFromAddressBox(server.URL("/"));
  std::vector<std::string> rows = TopRows();
  ASSERT_EQ(rows.size(), fixed + 1);
  EXPECT_EQ(rows.back(), kOrphanPagesCaption);
  TTreeEntry* orphans = app->Main.Crawl.Sitemaps.Category();
  ASSERT_NE(orphans, nullptr);
  ClickTreeEntry(orphans);
  EXPECT_EQ(ListCaptions(), std::vector<std::string>{"orphan.html"});

  // A comparison replaces the extra categories: the orphan pages come back after its four.
  const std::string project = dir.File("before.tly");
  app->Engine.SaveProject(project);
  app->Engine.Compare(project);
  rows = TopRows();
  ASSERT_EQ(rows.size(), fixed + 5);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rows[fixed + i], kComparisonCaptions[i]);
  EXPECT_EQ(rows.back(), kOrphanPagesCaption);
  EXPECT_EQ(app->Main.Selected(), nullptr);  // the entry selected went with the categories
  ClickTreeEntry(app->Main.Crawl.Sitemaps.Category());
  EXPECT_EQ(ListCaptions(), std::vector<std::string>{"orphan.html"});
  app->Engine.EndComparison();
  EXPECT_EQ(TopRows().size(), fixed + 1);
  EXPECT_EQ(TopRows().back(), kOrphanPagesCaption);
}

}  // namespace
