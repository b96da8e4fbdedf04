// A crawl one can watch: the status bar's figures and the Summary page after a loopback crawl,
// against tessaly-crawl's report of the same map.
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <map>
#include <sstream>

#include "GuiFixture.h"
#include "Kel/KelTranslate.h"
#include "app/SiteSummary.h"
#include "gui/StatusPanels.h"
#include "gui/SummaryView.h"

namespace {

class WatchTest : public GuiFixture {
 protected:
  void SetUp() override {
    site.reset(new TestServer);
    ServeSite(*site);
    site->Start();
    CrawlFromAddressBox(site->URL("/"));
  }
  // The report tessaly-crawl prints for the map.
  std::string Report() const {
    std::ostringstream out;
    app->Engine.WriteSummary(out);
    return out.str();
  }
  std::unique_ptr<TestServer> site;
};

TEST_F(WatchTest, TheStatusBarCountsWhatTheCrawlFound) {
  int checked = 0, broken = 0;
  for (const auto& node : app->Map.Nodes()) {
    checked += node->ResponseCode != 0 ? 1 : 0;
    broken += node->IsBroken() ? 1 : 0;
  }
  ASSERT_GT(broken, 0);
  EXPECT_EQ(broken, static_cast<int>(app->Engine.Summary().Broken.size()));
  EXPECT_EQ(window->StatusBar->Text(3).toStdString(),
            FormatText("%d checked, %d found, %d broken", checked, app->Map.Count(), broken));
  // The panel is as wide as its text.
  EXPECT_GE(window->StatusBar->Width(3), window->StatusBar->fontMetrics().horizontalAdvance(window->StatusBar->Text(3)));
}

TEST_F(WatchTest, TheSummaryShowsTheReportsFiguresWhenTheCrawlEnds) {
  gui::TSummaryView* summary = window->Summary;
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(window->PanelWebBrowser->ShownPage(), summary);
  // Every "  Caption   count" line of the report, as the page shows it.
  std::map<std::string, int> report;
  std::istringstream lines(Report());
  std::string line;
  std::vector<std::string> brokenInReport;
  while (std::getline(lines, line)) {
    int code = 0;
    char url[512];
    // "   404  http://..." : a broken address with its code.
    if (std::sscanf(line.c_str(), " %d %511s", &code, url) == 2 && std::string(url).rfind("http", 0) == 0)
      brokenInReport.push_back(url);
    const size_t end = line.find_last_not_of(' ');
    const size_t digits = line.find_last_not_of("0123456789", end);
    if (line.rfind("  ", 0) != 0 || digits == end || digits == std::string::npos) continue;
    const std::string caption = line.substr(2, line.find_last_not_of(' ', digits) - 1);
    if (caption.find("  ") != std::string::npos || caption.empty()) continue;
    report[caption] = std::stoi(line.substr(digits + 1));
  }
  const auto figures = summary->Figures();
  ASSERT_EQ(figures.size(), static_cast<size_t>(rkSiteRoot));
  for (const auto& [caption, count] : figures) {
    SCOPED_TRACE(caption);
    ASSERT_EQ(report.count(caption), 1u);
    EXPECT_EQ(report[caption], count);
  }
  // The broken addresses: the report's, in its order, each a link in the page.
  std::vector<std::string> shown;
  for (int index : summary->ShownBroken()) shown.push_back(app->Map.Nodes().at(static_cast<size_t>(index))->URLText());
  EXPECT_EQ(shown, brokenInReport);
  ASSERT_FALSE(shown.empty());
  const QString html = summary->ListBroken->toHtml();
  for (const std::string& url : shown) EXPECT_NE(html.indexOf(QString::fromStdString(url)), -1) << url;
  // The charts count every address once by type and every requested one once by code.
  int types = 0, codes = 0;
  for (const auto& bar : summary->ChartTypes->Bars()) types += bar.second;
  for (const auto& bar : summary->ChartCodes->Bars()) codes += bar.second;
  EXPECT_EQ(types, app->Map.Count());
  EXPECT_EQ(codes, app->Map.Count() - 1);  // all but the mail address
  EXPECT_FALSE(summary->ChartDepths->Bars().empty());
  EXPECT_EQ(summary->ChartDepths->Bars().front().first, "0");  // the start page
}

// A broken address in the page is a link: a click selects its entry in the tree; File >
// Summary shows the page again.
TEST_F(WatchTest, ABrokenAddressClickedIsSelectedInTheTree) {
  gui::TSummaryView* summary = window->Summary;
  ASSERT_NE(summary, nullptr);
  window->resize(1200, 900);
  QTest::qWait(0);
  const std::string missing = site->URL("/missing.html");
  QTextBrowser* list = summary->ListBroken;
  QTextCursor found = list->document()->find(QString::fromStdString(missing));
  ASSERT_FALSE(found.isNull());
  QTextCursor inside(list->document());
  inside.setPosition(found.selectionStart() + 3);
  summary->ensureVisible(0, list->y() + list->cursorRect(inside).center().y(), 0, 50);
  QTest::qWait(0);
  const QPoint at = list->cursorRect(inside).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  ASSERT_NE(app->Main.Selected(), nullptr);
  EXPECT_EQ(app->Main.Selected(), Entry("missing.html"));
  // Another page was shown meanwhile; File > Summary brings the page back.
  window->PanelWebBrowser->Navigate("about:blank");
  EXPECT_EQ(window->PanelWebBrowser->ShownPage(), nullptr);
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MISummary));
  EXPECT_EQ(window->PanelWebBrowser->ShownPage(), summary);
}

// A large map's Summary is read a slice at a time between the window's other work: the page
// comes once every node is counted, with the same figures.
TEST_F(WatchTest, ALargeMapsSummaryIsReadInSlices) {
  app->Main.Tree.MaxNodes = 0;
  for (int i = 0; i < 25000; ++i) {
    TURI uri(site->URL("/many/p" + std::to_string(i) + ".html"));
    app->Main.Tree.InsertURL(uri, nullptr, false);
  }
  window->PanelWebBrowser->Navigate("about:blank");
  ASSERT_EQ(window->PanelWebBrowser->ShownPage(), nullptr);
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MISummary));
  EXPECT_EQ(window->PanelWebBrowser->ShownPage(), nullptr);  // not every node is read yet
  ASSERT_TRUE(ServeUntil([&] { return window->PanelWebBrowser->ShownPage() == window->Summary; }));
  const auto figures = window->Summary->Figures();
  ASSERT_EQ(figures.size(), static_cast<size_t>(rkSiteRoot));
  EXPECT_EQ(figures.front().second, app->Map.Count());  // "All"
  const TSiteSummary atOnce = app->Engine.Summary();
  for (int k = rkAll; k < rkSiteRoot; ++k)
    EXPECT_EQ(figures[static_cast<size_t>(k)].second, atOnce.Count(static_cast<TSiteRootKind>(k))) << k;
  app->Map.Modified = false;
}

}  // namespace
