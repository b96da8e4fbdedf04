#include "gui/SummaryView.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "Kel/KelTranslate.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"
#include "gui/Names.h"
#include "gui/Translator.h"

namespace gui {

namespace {
constexpr int kBarHeight = 16, kBarGap = 4, kLabelWidth = 120, kBarLength = 260;
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TBarChart::TBarChart(const QString& title, QWidget* parent) : QWidget(parent), Title_(title) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TBarChart::SetBars(std::vector<TChartBar> bars) {
  Bars_ = std::move(bars);
  updateGeometry();
  update();
}

QSize TBarChart::sizeHint() const {
  const int title = fontMetrics().height() + 6;
  const int rows = std::max<int>(1, static_cast<int>(Bars_.size()));
  return {kLabelWidth + kBarLength + 80, title + rows * (kBarHeight + kBarGap) + 4};
}

void TBarChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  QFont bold = font();
  bold.setBold(true);
  painter.setFont(bold);
  const int titleHeight = fontMetrics().height() + 6;
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QRect(0, 0, width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter, Title_);
  painter.setFont(font());
  int largest = 1;
  for (const auto& bar : Bars_) largest = std::max(largest, bar.second);
  const int length = std::max(40, std::min(kBarLength, width() - kLabelWidth - 80));
  int y = titleHeight;
  const QColor fill = palette().color(QPalette::Highlight);
  for (const auto& [label, count] : Bars_) {
    const QRect labelRect(0, y, kLabelWidth - 6, kBarHeight);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(labelRect, Qt::AlignRight | Qt::AlignVCenter,
                     fontMetrics().elidedText(RunTimeString(label), Qt::ElideMiddle, labelRect.width()));
    const int w = std::max(count > 0 ? 2 : 0, static_cast<int>(static_cast<long long>(length) * count / largest));
    painter.fillRect(QRect(kLabelWidth, y + 2, w, kBarHeight - 4), fill);
    painter.drawText(QRect(kLabelWidth + w + 6, y, 80, kBarHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QLocale().toString(count));
    y += kBarHeight + kBarGap;
  }
  if (Bars_.empty())
    painter.drawText(QRect(kLabelWidth, y, length, kBarHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     RunTimeString("None"));
}

TSummaryView::TSummaryView(QWidget* parent) : QScrollArea(parent) {
  Name(this, "Summary", RunTimeString("Summary"));
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  auto* page = new QWidget(this);
  page->setAutoFillBackground(true);
  page->setBackgroundRole(QPalette::Base);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(12, 10, 12, 10);
  LabelSite = Name(new QLabel(page), "LabelSite", RunTimeString("Site"));
  LabelSite->setTextFormat(Qt::PlainText);
  QFont big = LabelSite->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.2);
  LabelSite->setFont(big);
  layout->addWidget(LabelSite);
  auto* figures = new QWidget(page);
  GridFigures = new QGridLayout(figures);
  GridFigures->setContentsMargins(0, 4, 0, 4);
  GridFigures->setHorizontalSpacing(16);
  GridFigures->setVerticalSpacing(1);
  auto* row = new QHBoxLayout;
  row->addWidget(figures, 0, Qt::AlignTop);
  auto* charts = new QVBoxLayout;
  ChartCodes = Name(new TBarChart(RunTimeString("Answers by code"), page), "ChartCodes", RunTimeString("Answers by code"));
  ChartTypes = Name(new TBarChart(RunTimeString("Addresses by type"), page), "ChartTypes", RunTimeString("Addresses by type"));
  ChartDepths = Name(new TBarChart(RunTimeString("Pages by depth"), page), "ChartDepths", RunTimeString("Pages by depth"));
  charts->addWidget(ChartCodes);
  charts->addWidget(ChartTypes);
  charts->addWidget(ChartDepths);
  charts->addStretch(1);
  row->addSpacing(24);
  row->addLayout(charts, 1);
  layout->addLayout(row);
  ListBroken = Name(new QTextBrowser(page), "ListBroken", RunTimeString("Broken addresses"));
  ListBroken->setOpenLinks(false);
  ListBroken->setOpenExternalLinks(false);
  ListBroken->setFrameShape(QFrame::NoFrame);
  ListBroken->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListBroken->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
  connect(ListBroken, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() == QStringLiteral("node")) emit NodeClicked(url.path().toInt());
  });
  // The browser grows with its text; the page scrolls.
  connect(ListBroken->document(), &QTextDocument::contentsChanged, this, [this] {
    ListBroken->setMinimumHeight(static_cast<int>(ListBroken->document()->size().height()) + 8);
  });
  layout->addWidget(ListBroken, 1);
  setWidget(page);
}

void TSummaryView::Show(const TSiteSummary& summary, const TSiteCharts& charts) {
  LabelSite->setText(RunTimeString("Site") + QStringLiteral(": ") + Q(summary.Site));
  // The report's figures: each category and its count.
  for (auto& [caption, count] : FigureLabels_) {
    GridFigures->removeWidget(caption);
    GridFigures->removeWidget(count);
    delete caption;
    delete count;
  }
  FigureLabels_.clear();
  QWidget* owner = GridFigures->parentWidget();
  int row = 0;
  auto note = [&](const QString& text) {
    auto* label = new QLabel(text, owner);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    GridFigures->addWidget(label, row++, 0, 1, 2);
  };
  if (summary.Incomplete)
    note(Q(FormatText("Incomplete crawl: a limit suspended it with %d requests left unmade.", summary.RequestsLeft)));
  for (const std::string& line : summary.Notes) note(Q(line));
  for (int k = rkAll; k < rkSiteRoot; ++k) {
    auto* caption = new QLabel(Q(RunTimeText(kSiteRootCaptions[k])), owner);
    auto* count = new QLabel(QString::number(summary.Count(static_cast<TSiteRootKind>(k))), owner);
    caption->setObjectName(QStringLiteral("LabelCategory%1").arg(k));
    count->setObjectName(QStringLiteral("LabelCount%1").arg(k));
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    GridFigures->addWidget(caption, row, 0);
    GridFigures->addWidget(count, row++, 1);
    FigureLabels_.emplace_back(caption, count);
  }
  ChartCodes->SetBars(charts.ByCode);
  ChartTypes->SetBars(charts.ByType);
  ChartDepths->SetBars(charts.ByDepth);

  // The broken addresses, each with its answer and its referring pages, as links: only those
  // listed are read from their nodes.
  auto link = [](const TSpiderNode& node) {
    return QStringLiteral("<a href=\"node:%1\">%2</a>").arg(node.Index()).arg(Q(node.URLText()).toHtmlEscaped());
  };
  const QString from = RunTimeString("from").toHtmlEscaped();
  QString html;
  html += QStringLiteral("<h3>%1</h3>")
              .arg(Q(FormatText("Broken addresses: %d", static_cast<int>(summary.Broken.size())))
                       .toHtmlEscaped());
  const size_t shown = std::min(summary.Broken.size(), static_cast<size_t>(kShownBroken));
  ShownBroken_.clear();
  html += QStringLiteral("<table cellspacing=0 cellpadding=2>");
  for (size_t i = 0; i < shown; ++i) {
    const TBrokenAddress& b = summary.Broken[i];
    ShownBroken_.push_back(b.Node->Index());
    html += QStringLiteral("<tr><td align=right valign=top>%1</td><td>%2<br><small>%3</small>")
                .arg(b.ResponseCode())
                .arg(link(*b.Node))
                .arg(Q(b.ResponseText()).toHtmlEscaped());
    const auto& referers = b.Referers();
    const size_t listed = std::min(referers.size(), static_cast<size_t>(kShownReferers));
    for (size_t r = 0; r < listed; ++r) html += QStringLiteral("<br>&nbsp;&nbsp;%1 %2").arg(from, link(*referers[r]));
    if (referers.size() > listed)
      html += QStringLiteral("<br>&nbsp;&nbsp;") +
              Q(FormatText("and %d more", static_cast<int>(referers.size() - listed))).toHtmlEscaped();
    html += QStringLiteral("</td></tr>");
  }
  html += QStringLiteral("</table>");
  if (summary.Broken.size() > shown)
    html += QStringLiteral("<p>%1</p>")
                .arg(Q(FormatText("and %d more: see Broken Links", static_cast<int>(summary.Broken.size() - shown)))
                         .toHtmlEscaped());
  if (!summary.BrokenAnchors.empty())
    html += QStringLiteral("<h3>%1</h3>")
                .arg(Q(FormatText("Broken anchors: %d", static_cast<int>(summary.BrokenAnchors.size())))
                         .toHtmlEscaped());
  ListBroken->setHtml(html);
}

std::vector<std::pair<std::string, int>> TSummaryView::Figures() const {
  std::vector<std::pair<std::string, int>> out;
  for (const auto& [caption, count] : FigureLabels_)
    out.emplace_back(caption->text().toStdString(), count->text().toInt());
  return out;
}

}  // namespace gui
