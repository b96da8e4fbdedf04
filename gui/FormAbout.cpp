#include "gui/FormAbout.h"

#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <fstream>
#include <sstream>

#include "Kel/KelDialogs.h"
#include "app/SpiderNode.h"
#include "gui/Icons.h"
#include "gui/Names.h"

#ifndef TESSALY_VERSION
#define TESSALY_VERSION "0.0.0"
#endif

namespace gui {

TMemoryStatus ReadMemoryStatus() {
  // /proc/meminfo: "MemTotal:  16318324 kB", "MemAvailable:  9123456 kB".
  TMemoryStatus status;
  std::ifstream in("/proc/meminfo");
  std::string key;
  int64_t value = 0, total = 0, available = -1;
  std::string unit;
  while (in >> key >> value) {
    std::getline(in, unit);
    if (key == "MemTotal:") total = value;
    else if (key == "MemAvailable:") available = value;
  }
  status.TotalPhysical = total * 1024;
  if (total > 0 && available >= 0) status.MemoryLoad = static_cast<int>((total - available) * 100 / total);
  return status;
}

TFormAboutBox::TFormAboutBox(std::function<std::string(const std::string&)> translate,
                             std::function<void(const std::string&)> openInBrowser, QWidget* parent)
    : QDialog(parent) {
  auto tr = [&translate](const char* text) {
    return QString::fromStdString(translate ? translate(text) : std::string(text));
  };
  Name(this, "FormAboutBox", "About");
  auto* pages = Name(new QTabWidget(this), "PageControl", "Pages");
  auto* page = Name(new QWidget(pages), "TSAbout", "About");
  pages->addTab(page, tr("About"));

  auto* icon = new QLabel(page);
  icon->setPixmap(ApplicationIcon().pixmap(48, 48));
  const QString title = QString::fromUtf8(kApplicationTitle) + QStringLiteral(" ") + QStringLiteral(TESSALY_VERSION);
  LabelTitle = Name(new QLabel(title, page), "LabelTitle", title);
  QFont bold = LabelTitle->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  LabelTitle->setFont(bold);

  auto* block = new QFrame(page);
  block->setFrameShape(QFrame::StyledPanel);
  LabelComments = Name(new QLabel(tr("Maps a website, checks its links and spelling, and exports the map."), block),
                       "LabelComments", "Comments");
  LabelComments->setWordWrap(true);
  LabelLegal = Name(new QLabel(QStringLiteral("Copyright \u00a9 Quorlix"), block), "LabelLegal", "Legal");
  const QString home = QString::fromLatin1(kHomePage);
  LabelHomePage =
      Name(new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(home.toHtmlEscaped()), block), "LabelHomePage", home);
  LabelHomePage->setTextFormat(Qt::RichText);
  LabelHomePage->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(LabelHomePage, &QLabel::linkActivated, this, [openInBrowser, home] {
    if (openInBrowser) openInBrowser(home.toStdString());
  });
  auto* blockLayout = new QVBoxLayout(block);
  blockLayout->addWidget(LabelComments);
  blockLayout->addWidget(LabelLegal);
  blockLayout->addWidget(LabelHomePage);

  MemoLegal = Name(new QPlainTextEdit(page), "MemoLegal", "Legal Notice");
  MemoLegal->setReadOnly(true);
  MemoLegal->setPlainText(
      tr("This program is provided as is, without warranty of any kind. The maker is not liable for any damage "
         "arising from its use. Crawl only sites you are allowed to crawl."));
  MemoLegal->setMaximumHeight(80);

  const TMemoryStatus memory = ReadMemoryStatus();
  // Kilobytes, rounded up, with thousands separators.
  LabelPhysical = Name(new QLabel(QString::fromStdString(SizeText(memory.TotalPhysical)), page), "LabelPhysical",
                       "Physical memory");
  LabelUsage = Name(new QLabel(QStringLiteral("%1%2").arg(memory.MemoryLoad).arg(tr("% Used")), page), "LabelUsage",
                    "Memory usage");
  auto* figures = new QGridLayout;
  figures->addWidget(new QLabel(tr("Physical memory of this computer:"), page), 0, 0);
  figures->addWidget(LabelPhysical, 0, 1, Qt::AlignRight);
  figures->addWidget(new QLabel(tr("Memory usage:"), page), 1, 0);
  figures->addWidget(LabelUsage, 1, 1, Qt::AlignRight);

  auto* head = new QHBoxLayout;
  head->addWidget(icon, 0, Qt::AlignTop);
  head->addWidget(LabelTitle, 1);
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->addLayout(head);
  pageLayout->addWidget(block);
  pageLayout->addWidget(MemoLegal);
  pageLayout->addLayout(figures);

  ButtonOK = Name(new QPushButton(tr("OK"), this), "ButtonOK", "OK");
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ButtonOK);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages);
  layout->addLayout(buttons);
  setWindowTitle(tr("About") + QStringLiteral(" ") + title);
  resize(440, sizeHint().height());
}

}  // namespace gui
