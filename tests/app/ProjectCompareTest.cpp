// The comparison of a crawl with an earlier project: its lists, its four categories in the tree
// (which leave the map, the fixed categories and the exports as they were), and its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "app/CrawlEngine.h"
#include "app/NodeList.h"
#include "app/ProjectCompare.h"
#include "app/ProjectFile.h"
#include "app/SiteSummary.h"
#include "support/AppFixture.h"
#include "support/SiteVersions.h"

namespace {

class ProjectCompareTest : public AppFixture {
 protected:
  ProjectCompareTest() : site(server) { server.Start(); }

  // Crawls version 1 into `v1.tly`, then crawls version 2.
  void CrawlBothVersions() {
    Crawl(server.URL("/"));
    old = dir.File("v1.tly");
    app->Engine.SaveProject(old);
    site.Version = 2;
    Crawl(server.URL("/"));
  }
  // The addresses of the nodes at `indexes`.
  std::vector<std::string> Addresses(const std::vector<int32_t>& indexes) const {
    std::vector<std::string> out;
    for (const int32_t i : indexes) out.push_back(app->Map.Node(i)->URLText());
    return out;
  }
  // What selecting `entry` lists: the rows' addresses (or captions, for entries without a node).
  std::vector<std::string> Listed(TTreeEntry* entry) {
    app->Main.SelectEntry(entry);
    std::vector<std::string> out;
    for (const auto& row : app->Main.List.Rows()) {
      const TSpiderNode* node = NodeOf(row->Entry);
      out.push_back(node ? node->URLText() : row->Entry->Caption);
    }
    return out;
  }
  std::string U(const std::string& path) const { return server.URL(path); }

  TestServer server;
  SiteVersions site;
  std::string old;
};

TEST_F(ProjectCompareTest, FindsNewGoneNewlyBrokenFixedAndRetitled) {
  CrawlBothVersions();
  const TProjectComparison c = CompareWithProject(app->Map, old);
  EXPECT_EQ(c.OldCount, 7);
  EXPECT_EQ(c.OldSite, U("/"));
  EXPECT_EQ(Addresses(c.New), (std::vector<std::string>{U("/new.html"), U("/new-broken.html")}));
  EXPECT_EQ(c.Gone, (std::vector<std::string>{U("/old.html")}));
  EXPECT_EQ(Addresses(c.NewlyBroken), (std::vector<std::string>{U("/breaks.html"), U("/new-broken.html")}));
  ASSERT_EQ(c.Fixed.size(), 1u);
  EXPECT_EQ(app->Map.Node(c.Fixed[0].Node)->URLText(), U("/fixed.html"));
  EXPECT_EQ(c.Fixed[0].OldCode, 404);
  ASSERT_EQ(c.TitleChanged.size(), 1u);
  EXPECT_EQ(app->Map.Node(c.TitleChanged[0].Node)->URLText(), U("/retitled.html"));
  EXPECT_EQ(c.TitleChanged[0].OldTitle, "Old title");
  EXPECT_TRUE(c.AnyNewlyBroken());

  // The same crawl compared with itself: nothing changed.
  const std::string v2 = dir.File("v2.tly");
  app->Engine.SaveProject(v2);
  const TProjectComparison same = CompareWithProject(app->Map, v2);
  EXPECT_TRUE(same.New.empty() && same.Gone.empty() && same.NewlyBroken.empty() && same.Fixed.empty() &&
              same.TitleChanged.empty());
}

TEST_F(ProjectCompareTest, TheFourCategoriesListTheChangesAndLeaveEverythingElseAsItWas) {
  CrawlBothVersions();
  std::ostringstream txtBefore, jsonlessBefore;
  app->Engine.ExportTXT(txtBefore);
  const TSiteSummary before = app->Engine.Summary();
  const std::string projectBefore = ProjectText(app->Map);
  const std::vector<std::string> allBefore = Listed(app->Main.Tree.Root(rkAll));
  app->Map.Modified = false;

  app->Engine.Compare(old);
  ASSERT_NE(app->Engine.Comparison(), nullptr);
  const auto& top = app->Main.Tree.TopLevel();
  ASSERT_EQ(top.size(), static_cast<size_t>(rkCount) + 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(top[rkCount + i]->Caption, kComparisonCaptions[i]);
  EXPECT_EQ(Listed(top[rkCount].get()), (std::vector<std::string>{U("/new.html"), U("/new-broken.html")}));
  EXPECT_EQ(Listed(top[rkCount + 1].get()), (std::vector<std::string>{U("/old.html")}));
  EXPECT_EQ(Listed(top[rkCount + 2].get()), (std::vector<std::string>{U("/breaks.html"), U("/new-broken.html")}));
  EXPECT_EQ(Listed(top[rkCount + 3].get()), (std::vector<std::string>{U("/fixed.html")}));
  // A gone address has no node: no filter, export or count meets it.
  EXPECT_EQ(NodeOf(top[rkCount + 1]->Child(0)), nullptr);

  // The map, its figures, its exports and its project are what they were.
  EXPECT_FALSE(app->Map.Modified);
  const TSiteSummary after = app->Engine.Summary();
  EXPECT_EQ(after.Counts, before.Counts);
  EXPECT_EQ(Listed(app->Main.Tree.Root(rkAll)), allBefore);
  std::ostringstream txtAfter;
  app->Engine.ExportTXT(txtAfter);
  EXPECT_EQ(txtAfter.str(), txtBefore.str());
  EXPECT_EQ(ProjectText(app->Map).substr(projectBefore.find("URI=")), projectBefore.substr(projectBefore.find("URI=")));

  // The text report and the JSON report carry the comparison while it is in force.
  std::ostringstream report, json;
  app->Engine.WriteSummary(report);
  EXPECT_NE(report.str().find("Gone addresses: 1\n  " + U("/old.html") + "\n"), std::string::npos) << report.str();
  app->Engine.ExportJSON(json);
  EXPECT_NE(json.str().find("\n\"comparison\":{\"project\":"), std::string::npos);

  // A new crawl ends it: the categories and the sections go.
  Crawl(server.URL("/"));
  EXPECT_EQ(app->Engine.Comparison(), nullptr);
  EXPECT_EQ(app->Main.Tree.TopLevel().size(), static_cast<size_t>(rkCount));
  std::ostringstream plain;
  app->Engine.ExportJSON(plain);
  EXPECT_EQ(plain.str().find("\"comparison\""), std::string::npos);
}

// A second comparison replaces the first; the selection and the history steps inside the
// categories go with them, and a file that cannot be compared leaves the comparison in force.
TEST_F(ProjectCompareTest, ComparingAgainReplacesTheCategoriesAndForgetsTheirSteps) {
  CrawlBothVersions();
  app->Engine.Compare(old);
  TTreeEntry* home = app->Main.Tree.SiteRoot();
  app->Main.SelectEntry(home);
  TTreeEntry* gone = app->Engine.ActiveComparison().Category(1);
  ASSERT_NE(gone, nullptr);
  app->Main.SelectEntry(gone);
  app->Main.SelectEntry(gone->Child(0));
  const size_t steps = app->Main.History.Entries.size();

  const std::string v2 = dir.File("v2.tly");
  app->Engine.SaveProject(v2);
  app->Engine.Compare(v2);
  EXPECT_EQ(app->Main.Selected(), nullptr);
  EXPECT_EQ(app->Main.History.Entries.size(), steps - 2);
  EXPECT_EQ(app->Main.History.Current(), home);
  EXPECT_EQ(app->Main.Tree.TopLevel().size(), static_cast<size_t>(rkCount) + 4);
  EXPECT_TRUE(app->Engine.Comparison()->Gone.empty());
  EXPECT_EQ(app->Engine.ActiveComparison().Category(1)->Count(), 0);

  dir.Write("broken.tly", "[Settings]\r\nURI=http://x/\r\nLinks=2\r\n[0]\r\nRemoteFile=http://x/\r\n");
  for (const std::string& file : {dir.File("broken.tly"), dir.File("missing.tly"), dir.Str()})
    EXPECT_THROW(app->Engine.Compare(file), EError) << file;
  EXPECT_EQ(app->Engine.Comparison()->OldProject, v2);

  app->Engine.EndComparison();
  EXPECT_EQ(app->Engine.Comparison(), nullptr);
  EXPECT_EQ(app->Main.Tree.TopLevel().size(), static_cast<size_t>(rkCount));
}

}  // namespace
