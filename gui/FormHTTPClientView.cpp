#include "gui/FormHTTPClientView.h"

#include <algorithm>

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include "Dialogs/UnitHTTPClient.h"
#include "Kel/KelDialogs.h"
#include "gui/Icons.h"
#include "gui/Translator.h"
#include "gui/Names.h"
#include "gui/PaintThrottle.h"
#include "gui/PoolModel.h"

namespace gui {

TFormHTTPClientView::TFormHTTPClientView(TFormHTTPClient& pool, platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), Pool_(pool), Services_(services) {
  Name(this, "FormHTTPClient", "Connection Status");
  setWindowTitle(tr("Connection Status"));
  setWindowIcon(ToolIcon(QStringLiteral("status")));
  Model = new PoolModel(pool, this);
  ListView = Name(new QTableView(this), "ListView", "Requests");
  ListView->setModel(Model);
  // Looks as a list: no grid, no row numbers, rows of one line's height.
  ListView->setShowGrid(false);
  ListView->setWordWrap(false);
  ListView->verticalHeader()->hide();
  ListView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  ListView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ListView->verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
  ListView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  ListView->horizontalHeader()->setHighlightSections(false);
  ListView->horizontalHeader()->setStretchLastSection(true);
  ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView->setSelectionMode(QAbstractItemView::SingleSelection);
  // The rows come and go all the time: the list takes the focus only when clicked, so that no
  // current row has to be moved on at every removal.
  ListView->setFocusPolicy(Qt::ClickFocus);
  ListView->horizontalHeader()->resizeSection(0, 190);
  ListView->horizontalHeader()->resizeSection(1, 110);
  ListView->horizontalHeader()->resizeSection(2, 40);
  auto* active = new QLabel(tr("Active:"), this);
  LabelActive = Name(new QLabel(QStringLiteral("0"), this), "LabelActive", "Active:");
  auto* pending = new QLabel(tr("Pending:"), this);
  LabelPending = Name(new QLabel(QStringLiteral("0"), this), "LabelPending", "Pending:");
  for (QLabel* l : {LabelActive, LabelPending})
    l->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")));
  ButtonSuspend = Name(new QPushButton(tr("Suspend"), this), "ButtonSuspend", "Suspend");
  ButtonTerminate = Name(new QPushButton(tr("Terminate"), this), "ButtonTerminate", "Terminate");
  StatusBar = Name(new QLabel(this), "StatusBar", "Status");
  StatusBar->setFrameShape(QFrame::StyledPanel);
  StatusBar->setFrameShadow(QFrame::Sunken);
  auto* counts = new QHBoxLayout;
  counts->addWidget(active);
  counts->addWidget(LabelActive);
  counts->addSpacing(12);
  counts->addWidget(pending);
  counts->addWidget(LabelPending);
  counts->addStretch(1);
  counts->addWidget(ButtonSuspend);
  counts->addWidget(ButtonTerminate);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 4);
  layout->addWidget(ListView, 1);
  layout->addLayout(counts);
  layout->addWidget(StatusBar);
  resize(400, 260);

  PaintLimit_ = new TPaintThrottle(this);
  DisplayLater_.setSingleShot(true);
  DisplayLater_.setInterval(100);
  connect(&DisplayLater_, &QTimer::timeout, this, &TFormHTTPClientView::UpdateDisplay);
  connect(Model, &PoolModel::DisplayChanged, this, &TFormHTTPClientView::DisplayChanged);
  connect(ButtonSuspend, &QPushButton::clicked, this, [this] { Pool_.ButtonSuspendClick(); });
  connect(ButtonTerminate, &QPushButton::clicked, this, [this] { Pool_.ButtonTerminateClick(); });
  connect(ListView, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.row() < Pool_.RowCount()) OpenInBrowser(Services_, Pool_.Row(index.row()).URL);
  });
  UpdateDisplay();
}

void TFormHTTPClientView::SetPaintLimit(bool on) {
  Limited_ = on;
  PaintLimit_->SetEnabled(on);
  Model->SetStructureBatched(on);
  if (!on && DisplayLater_.isActive()) UpdateDisplay();
}

void TFormHTTPClientView::DisplayChanged() {
  // An empty pool is shown at once; the counts of a running crawl at most ten times a second.
  if (Limited_ && Pool_.TotalCount() > 0) {
    if (!DisplayLater_.isActive()) DisplayLater_.start();
    return;
  }
  UpdateDisplay();
}

void TFormHTTPClientView::UpdateDisplay() {
  DisplayLater_.stop();
  const TPoolDisplay& d = Pool_.Display();
  ButtonSuspend->setText(RunTimeString(d.SuspendCaption));
  ButtonSuspend->setAccessibleName(RunTimeString(d.SuspendCaption));
  ButtonSuspend->setEnabled(d.SuspendEnabled);
  ButtonTerminate->setEnabled(d.TerminateEnabled);
  LabelActive->setText(QString::number(d.Active));
  LabelPending->setText(QString::number(d.Pending));
  StatusBar->setText(QString::fromStdString(d.StatusText));
}

void TFormHTTPClientView::ShowWindow() {
  show();
  if (!Placed_) {
    // Placed once shown, when the window manager's frame is known: its outer edges on the work
    // area's right and bottom edges.
    Placed_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      const QRect frame = frameGeometry();
      move(pos() + QPoint(area.right() - frame.right(), area.bottom() - frame.bottom()));
    }
  }
  raise();
}

void TFormHTTPClientView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  emit VisibilityChanged(true);
}

void TFormHTTPClientView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  emit VisibilityChanged(false);
}

}  // namespace gui
