#include "gui/NodeListView.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/NodeList.h"
#include "gui/Names.h"
#include "gui/NodeListModel.h"

namespace gui {

namespace {

// In the small icons and list styles every item is one cell of the grid: an item is never wider
// than its cell (a long name is cut with "..."), so that no name is drawn over its neighbour's.
class GridCellDelegate : public QStyledItemDelegate {
 public:
  explicit GridCellDelegate(QListView* view) : QStyledItemDelegate(view), View_(view) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QSize cell = View_->gridSize();
    if (View_->viewMode() == QListView::ListMode && cell.isValid())
      return QSize(cell.width() - View_->spacing() - 4, cell.height());
    return QStyledItemDelegate::sizeHint(option, index);
  }

 private:
  QListView* View_;
};

}  // namespace

TNodeListView::TNodeListView(NodeListModel& model, QWidget* parent) : QStackedWidget(parent), Model_(model) {
  Name(this, "ListView", "List");
  Details = Name(new QTreeView(this), "ListViewDetails", "List");
  Icons = Name(new QListView(this), "ListViewIcons", "List");
  Details->setModel(&model);
  Icons->setModel(&model);
  Selection_ = Details->selectionModel();
  Icons->setSelectionModel(Selection_);
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(Details), static_cast<QAbstractItemView*>(Icons)}) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setIconSize(QSize(16, 16));
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit RowDoubleClicked(index.row()); });
  }
  Details->setRootIsDecorated(false);
  Details->setUniformRowHeights(true);
  Details->setAllColumnsShowFocus(true);
  Details->setSortingEnabled(false);
  QHeaderView* header = Details->header();
  header->setSectionsClickable(true);
  header->setSectionsMovable(false);
  header->setStretchLastSection(true);
  FitColumns(false);
  // The answer's text stands beside its code.
  header->moveSection(header->visualIndex(lcStatus), header->visualIndex(lcCode) + 1);
  // Translated captions may need more room.
  connect(&model, &QAbstractItemModel::headerDataChanged, this, [this] { FitColumns(true); });
  connect(header, &QHeaderView::sectionClicked, this, &TNodeListView::ColumnClicked);
  Icons->setUniformItemSizes(true);
  Icons->setResizeMode(QListView::Adjust);
  Icons->setItemDelegate(new GridCellDelegate(Icons));
  Icons->setTextElideMode(Qt::ElideRight);
  addWidget(Details);
  addWidget(Icons);
  SetViewStyle(vsDetails);
}

void TNodeListView::FitColumns(bool widenOnly) {
  // The design widths, widened where this font needs more room for a header or a date.
  QHeaderView* header = Details->header();
  const QFontMetrics metrics = Details->fontMetrics();
  const int dateWidth = metrics.horizontalAdvance(QStringLiteral("12/31/2026 12:59:59 PM")) + 14;
  const auto columns = NodeListColumns();
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    const QString caption = Model_.headerData(c, Qt::Horizontal).toString();
    int width = std::max(columns[c].Width, metrics.horizontalAdvance(caption) + 22);
    if (c == lcLocalDate || c == lcRemoteDate) width = std::max(width, dateWidth);
    header->resizeSection(c, widenOnly ? std::max(width, header->sectionSize(c)) : width);
  }
}

QAbstractItemView* TNodeListView::Current() const {
  return Style_ == vsDetails ? static_cast<QAbstractItemView*>(Details) : static_cast<QAbstractItemView*>(Icons);
}

void TNodeListView::SetViewStyle(int style) {
  Style_ = style;
  switch (style) {
    case vsLargeIcons:
      Icons->setViewMode(QListView::IconMode);
      Icons->setIconSize(QSize(32, 32));
      Icons->setGridSize(QSize(120, 72));
      // Each caption is measured on its own, so that none is cut to the width of the first.
      Icons->setUniformItemSizes(false);
      Icons->setWordWrap(true);
      Icons->setMovement(QListView::Static);
      break;
    case vsSmallIcons:
      Icons->setViewMode(QListView::ListMode);
      Icons->setFlow(QListView::LeftToRight);
      Icons->setWrapping(true);
      Icons->setIconSize(QSize(16, 16));
      Icons->setGridSize(QSize(160, 20));
      Icons->setUniformItemSizes(true);
      Icons->setWordWrap(false);
      break;
    case vsList:
      Icons->setViewMode(QListView::ListMode);
      Icons->setFlow(QListView::TopToBottom);
      Icons->setWrapping(true);
      Icons->setIconSize(QSize(16, 16));
      Icons->setGridSize(QSize(180, 20));
      Icons->setUniformItemSizes(true);
      Icons->setWordWrap(false);
      break;
    default:
      Style_ = vsDetails;
      break;
  }
  setCurrentWidget(Style_ == vsDetails ? static_cast<QWidget*>(Details) : static_cast<QWidget*>(Icons));
}

void TNodeListView::ShowSortIndicator(int column, int direction) {
  QHeaderView* header = Details->header();
  if (direction == 0) {
    header->setSortIndicatorShown(false);
    return;
  }
  header->setSortIndicatorShown(true);
  header->setSortIndicator(column, direction > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace gui
