#include "gui/FormProperties.h"

#include <QAction>
#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/SpiderNode.h"
#include "app/UnitProperties.h"
#include "gui/Icons.h"
#include "gui/MainMenu.h"
#include "gui/Names.h"

namespace gui {

namespace {
QLineEdit* Field(QWidget* parent, const char* name, const QString& caption) {
  auto* e = Name(new QLineEdit(parent), name, caption);
  e->setReadOnly(true);
  // Read-only fields take their parent's colour.
  QPalette p = e->palette();
  p.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
  e->setPalette(p);
  return e;
}
QPushButton* More(QWidget* parent, const char* name) {
  auto* b = Name(new QPushButton(QStringLiteral(">>"), parent), name, "Open");
  b->setAutoDefault(false);
  b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral(">>")) + 20);
  return b;
}
QWidget* WithButton(QWidget* parent, QLineEdit* edit, QPushButton* button) {
  auto* w = new QWidget(parent);
  auto* row = new QHBoxLayout(w);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(edit, 1);
  row->addWidget(button);
  return w;
}
}  // namespace

TFormProperties::TFormProperties(TFormSpiderNodeProperties& logic, Hooks hooks, QWidget* parent)
    : QDialog(parent), Logic(logic), Hooks_(std::move(hooks)) {
  Name(this, "FormSpiderNodeProperties", TFormSpiderNodeProperties::kCaption);
  setWindowTitle(tr(TFormSpiderNodeProperties::kCaption));
  auto* pages = Name(new QTabWidget(this), "PageControl", "Pages");
  auto* page = Name(new QWidget(pages), "TSGeneral", "General");
  pages->addTab(page, tr("General"));

  EditTitle = Field(page, "EditTitle", tr("Page Title:"));
  EditDesc = Field(page, "EditDesc", tr("Description:"));
  auto* top = new QFormLayout;
  top->addRow(tr("Page Title:"), EditTitle);
  top->addRow(tr("Description:"), EditDesc);

  auto* remote = Name(new QGroupBox(tr(" Remote File "), page), "GroupRemote", tr("Remote File"));
  EditRemote = Field(remote, "EditRemote", tr("Address:"));
  ButtonRemote = More(remote, "ButtonRemote");
  EditRemoteDate = Field(remote, "EditRemoteDate", tr("Date:"));
  EditRemoteSize = Field(remote, "EditRemoteSize", tr("Size:"));
  EditRemoteResponse = Field(remote, "EditRemoteResponse", tr("Response:"));
  auto* rf = new QFormLayout(remote);
  rf->addRow(tr("Address:"), WithButton(remote, EditRemote, ButtonRemote));
  rf->addRow(tr("Date:"), EditRemoteDate);
  rf->addRow(tr("Size:"), EditRemoteSize);
  rf->addRow(tr("Response:"), EditRemoteResponse);

  auto* local = Name(new QGroupBox(tr(" Local File "), page), "GroupLocal", tr("Local File"));
  EditLocal = Field(local, "EditLocal", tr("Address:"));
  ButtonLocal = More(local, "ButtonLocal");
  EditLocalDate = Field(local, "EditLocalDate", tr("Date:"));
  EditLocalSize = Field(local, "EditLocalSize", tr("Size:"));
  auto* lf = new QFormLayout(local);
  lf->addRow(tr("Address:"), WithButton(local, EditLocal, ButtonLocal));
  lf->addRow(tr("Date:"), EditLocalDate);
  lf->addRow(tr("Size:"), EditLocalSize);

  auto* referers = Name(new QGroupBox(tr(" URL Referers "), page), "GroupReferers", tr("URL Referers"));
  LVReferers = Name(new QTreeWidget(referers), "LVReferers", tr("URL Referers"));
  LVReferers->setColumnCount(1);
  LVReferers->setHeaderLabels({tr("Address")});
  LVReferers->header()->setStretchLastSection(true);
  LVReferers->header()->setSectionsClickable(false);
  LVReferers->setRootIsDecorated(false);
  LVReferers->setSelectionBehavior(QAbstractItemView::SelectRows);
  LVReferers->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LVReferers->setContextMenuPolicy(Qt::CustomContextMenu);
  LVReferers->setMinimumHeight(110);
  auto* refLayout = new QVBoxLayout(referers);
  refLayout->addWidget(LVReferers);

  GroupBrokenAnchors =
      Name(new QGroupBox(tr(" Broken Anchors "), page), "GroupBrokenAnchors", tr("Broken Anchors"));
  LVBrokenAnchors = Name(new QTreeWidget(GroupBrokenAnchors), "LVBrokenAnchors", tr("Broken Anchors"));
  LVBrokenAnchors->setColumnCount(1);
  LVBrokenAnchors->setHeaderLabels({tr("Missing fragment / linked from")});
  LVBrokenAnchors->header()->setStretchLastSection(true);
  LVBrokenAnchors->header()->setSectionsClickable(false);
  LVBrokenAnchors->setSelectionBehavior(QAbstractItemView::SelectRows);
  LVBrokenAnchors->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LVBrokenAnchors->setMinimumHeight(90);
  auto* anchorsLayout = new QVBoxLayout(GroupBrokenAnchors);
  anchorsLayout->addWidget(LVBrokenAnchors);
  GroupBrokenAnchors->hide();

  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->addLayout(top);
  pageLayout->addWidget(remote);
  pageLayout->addWidget(local);
  pageLayout->addWidget(GroupBrokenAnchors, 1);
  pageLayout->addWidget(referers, 1);

  ButtonClose = Name(new QPushButton(tr("Close"), this), "ButtonClose", "Close");
  ButtonClose->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ButtonClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages, 1);
  layout->addLayout(buttons);
  resize(600, 560);

  PMReferers = Name(new QMenu(this), "PMReferers", tr("Referers"));
  LVOpen = Name(PMReferers->addAction(tr("Open")), "LVOpen", tr("Open"));
  LVOpeninNewWindow =
      Name(PMReferers->addAction(tr("Open in New Window")), "LVOpeninNewWindow", tr("Open in New Window"));
  PMReferers->addSeparator();
  LVEdit = Name(PMReferers->addAction(tr("Edit...")), "LVEdit", tr("Edit..."));
  LVSpelling = Name(PMReferers->addAction(tr("Check Spelling...")), "LVSpelling", tr("Check Spelling..."));
  connect(PMReferers, &QMenu::aboutToShow, this, &TFormProperties::RefreshMenu);

  // Escape and Close both end the dialog with OK.
  connect(ButtonClose, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonRemote, &QPushButton::clicked, this, [this] {
    if (Hooks_.OpenInBrowser) Run([this] { Hooks_.OpenInBrowser(EditRemote->text().toStdString()); });
  });
  connect(ButtonLocal, &QPushButton::clicked, this, [this] {
    if (Hooks_.OpenInBrowser) Run([this] { Hooks_.OpenInBrowser(EditLocal->text().toStdString()); });
  });
  connect(LVOpen, &QAction::triggered, this, [this] {
    if (TSpiderNode* n = SelectedReferer(); n && Hooks_.Preview) Run([&] { Hooks_.Preview(n, false); });
  });
  connect(LVOpeninNewWindow, &QAction::triggered, this, [this] {
    if (TSpiderNode* n = SelectedReferer(); n && Hooks_.Preview) Run([&] { Hooks_.Preview(n, true); });
  });
  connect(LVEdit, &QAction::triggered, this, [this] {
    if (TSpiderNode* n = SelectedReferer(); n && Hooks_.Edit) Run([&] { Hooks_.Edit(n, false); });
  });
  connect(LVSpelling, &QAction::triggered, this, [this] {
    if (TSpiderNode* n = SelectedReferer(); n && Hooks_.Edit) Run([&] { Hooks_.Edit(n, true); });
  });
  connect(LVReferers, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PMReferers->popup(LVReferers->viewport()->mapToGlobal(at)); });
  // A referer becoming selected is previewed behind the dialog, through the menu's Open.
  connect(LVReferers, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (SelectedReferer()) InvokeMenuItem(LVOpen);
  });
  // Double-clicking a page that links to a missing fragment selects it in the site tree.
  connect(LVBrokenAnchors, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    auto* n = item ? static_cast<TSpiderNode*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
    if (n && Hooks_.SelectInTree) {
      Run([&] { Hooks_.SelectInTree(n); });
      QApplication::processEvents();
    }
  });
  connect(LVReferers, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (TSpiderNode* n = SelectedReferer(); n && Hooks_.SelectInTree) {
      Run([&] { Hooks_.SelectInTree(n); });
      QApplication::processEvents();
    }
  });
}

void TFormProperties::Run(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    // The error box of the command; the dialog stays open.
    if (Hooks_.ShowError) Hooks_.ShowError(e.what());
  }
}

void TFormProperties::Fill(TSpiderNode& node) {
  Logic.Fill(node);
  auto set = [](QLineEdit* e, const std::string& text) {
    e->setText(QString::fromStdString(text));
    e->setCursorPosition(0);
  };
  set(EditTitle, Logic.EditTitle);
  set(EditDesc, Logic.EditDesc);
  set(EditRemote, Logic.EditRemote);
  set(EditRemoteDate, Logic.EditRemoteDate);
  set(EditRemoteSize, Logic.EditRemoteSize);
  set(EditRemoteResponse, Logic.EditRemoteResponse);
  set(EditLocal, Logic.EditLocal);
  set(EditLocalDate, Logic.EditLocalDate);
  set(EditLocalSize, Logic.EditLocalSize);
  ButtonRemote->setEnabled(Logic.ButtonRemoteEnabled);
  ButtonLocal->setEnabled(Logic.ButtonLocalEnabled);
  const QSignalBlocker quiet(LVReferers);
  LVReferers->clear();
  for (TSpiderNode* referer : Logic.Referers) {
    auto* item = new QTreeWidgetItem(LVReferers, {QString::fromStdString(referer->URLText())});
    item->setIcon(0, NodeIconWithMark(referer->TypeIconIndex(), referer->StatusIndex()));
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(referer)));
  }
  LVBrokenAnchors->clear();
  for (const TMissingAnchor& anchor : Logic.BrokenAnchors) {
    auto* fragment = new QTreeWidgetItem(LVBrokenAnchors, {QStringLiteral("#") + QString::fromStdString(anchor.Fragment)});
    for (TSpiderNode* referer : anchor.Referers) {
      auto* item = new QTreeWidgetItem(fragment, {QString::fromStdString(referer->URLText())});
      item->setIcon(0, NodeIconWithMark(referer->TypeIconIndex(), referer->StatusIndex()));
      item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(referer)));
    }
  }
  LVBrokenAnchors->expandAll();
  GroupBrokenAnchors->setVisible(!Logic.BrokenAnchors.empty());
}

void TFormProperties::ShowFor(TSpiderNode& node) {
  Fill(node);
  ButtonClose->setFocus();
  exec();
}

TSpiderNode* TFormProperties::SelectedReferer() const {
  const QList<QTreeWidgetItem*> items = LVReferers->selectedItems();
  if (items.isEmpty()) return nullptr;
  return static_cast<TSpiderNode*>(items.first()->data(0, Qt::UserRole).value<void*>());
}

void TFormProperties::RefreshMenu() {
  const auto s = TFormSpiderNodeProperties::MenuState(SelectedReferer());
  LVOpen->setEnabled(s.Open);
  LVOpeninNewWindow->setEnabled(s.Open);
  LVEdit->setEnabled(s.Edit);
  LVSpelling->setEnabled(s.Spelling);
}

}  // namespace gui
