#include "gui/FormCrawlSettingsView.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "Kel/KelStr.h"
#include "app/CrawlEngine.h"
#include "app/UnitCrawlSettings.h"
#include "gui/DialogButtons.h"
#include "gui/Names.h"

namespace gui {

TFormCrawlSettingsView::TFormCrawlSettingsView(TFormCrawlSettings& settings, TCrawlEngine& engine, QWidget* parent)
    : QDialog(parent), Settings(settings), Engine(engine) {
  Name(this, "FormCrawlSettings", TFormCrawlSettings::kCaption);
  setWindowTitle(tr(TFormCrawlSettings::kCaption));
  PageControl = Name(new QTabWidget(this), "PageControl", "Pages");

  auto* servers = Name(new QWidget(PageControl), "TSServers", "Servers");
  PageControl->addTab(servers, tr("Servers"));
  EditObeyRobots = Name(new QCheckBox(tr("Obey robots.txt"), servers), "EditObeyRobots", "Obey robots.txt");
  EditRate = Name(new QDoubleSpinBox(servers), "EditRate", "Requests per second per host:");
  EditRate->setRange(0, 1000);
  EditRate->setDecimals(2);
  EditRate->setSpecialValueText(tr("No limit"));
  EditRetry = Name(new QCheckBox(tr("Ask again when a server says \"come back later\" (429, 503)"), servers),
                   "EditRetry", "Ask again");
  auto* serversForm = new QFormLayout(servers);
  serversForm->addRow(QString(), EditObeyRobots);
  serversForm->addRow(tr("Requests per second per host:"), EditRate);
  serversForm->addRow(QString(), EditRetry);

  auto* identity = Name(new QWidget(PageControl), "TSIdentity", "Identity");
  PageControl->addTab(identity, tr("Identity"));
  EditUserAgent = Name(new QLineEdit(identity), "EditUserAgent", "User agent:");
  EditUserAgent->setPlaceholderText(tr("The program's own"));
  EditHeaders = Name(new QPlainTextEdit(identity), "EditHeaders", "Extra headers:");
  EditHeaders->setPlaceholderText(tr("Name: value, one a line"));
  EditUsername = Name(new QLineEdit(identity), "EditUsername", "Username:");
  EditPassword = Name(new QLineEdit(identity), "EditPassword", "Password:");
  EditPassword->setEchoMode(QLineEdit::Password);
  auto* identityNote = new QLabel(tr("Sent to the site's own hosts only. The login goes only to the start address's "
                                     "host and port; the password is kept for this run only."),
                                  identity);
  identityNote->setWordWrap(true);
  auto* identityForm = new QFormLayout(identity);
  identityForm->addRow(tr("User agent:"), EditUserAgent);
  identityForm->addRow(tr("Extra headers:"), EditHeaders);
  identityForm->addRow(tr("Username:"), EditUsername);
  identityForm->addRow(tr("Password:"), EditPassword);
  identityForm->addRow(identityNote);

  auto* addresses = Name(new QWidget(PageControl), "TSAddresses", "Addresses");
  PageControl->addTab(addresses, tr("Addresses"));
  EditInclude = Name(new QPlainTextEdit(addresses), "EditInclude", "Include patterns:");
  EditExclude = Name(new QPlainTextEdit(addresses), "EditExclude", "Exclude patterns:");
  for (QPlainTextEdit* e : {EditInclude, EditExclude}) e->setPlaceholderText(tr("Regular expressions, one a line"));
  EditMaxDepth = Name(new QSpinBox(addresses), "EditMaxDepth", "Largest depth:");
  EditMaxDepth->setRange(0, 100000);
  EditMaxDepth->setSpecialValueText(tr("No limit"));
  EditUseSitemap = Name(new QCheckBox(tr("Read the site's sitemap"), addresses), "EditUseSitemap",
                        "Read the site's sitemap");
  EditUseSitemap->setToolTip(tr("Crawl the addresses the site's sitemaps list, and show the pages no page links to "
                                "as \"Orphan Pages\""));
  auto* addressesForm = new QFormLayout(addresses);
  addressesForm->addRow(tr("Include patterns:"), EditInclude);
  addressesForm->addRow(tr("Exclude patterns:"), EditExclude);
  addressesForm->addRow(tr("Largest depth:"), EditMaxDepth);
  addressesForm->addRow(QString(), EditUseSitemap);

  AddOKCancel(this, PageControl, ButtonOK, ButtonCancel);
  resize(460, sizeHint().height());
}

void TFormCrawlSettingsView::ShowValues() {
  const TCrawlSettingsValues& v = Settings.Values;
  EditObeyRobots->setChecked(v.ObeyRobots);
  EditUseSitemap->setChecked(v.UseSitemap);
  EditRate->setValue(std::max(0.0, std::strtod(v.Rate.c_str(), nullptr)));
  EditRetry->setChecked(v.Retry);
  EditUserAgent->setText(QString::fromStdString(v.UserAgent));
  EditHeaders->setPlainText(QString::fromStdString(v.Headers));
  EditUsername->setText(QString::fromStdString(v.Username));
  EditPassword->setText(QString::fromStdString(Settings.Password));
  EditInclude->setPlainText(QString::fromStdString(v.Include));
  EditExclude->setPlainText(QString::fromStdString(v.Exclude));
  EditMaxDepth->setValue(std::max(0, StrToIntDef(v.MaxDepth, 0)));
}

void TFormCrawlSettingsView::TakeValues() {
  TCrawlSettingsValues& v = Settings.Values;
  v.ObeyRobots = EditObeyRobots->isChecked();
  v.UseSitemap = EditUseSitemap->isChecked();
  const double rate = EditRate->value();
  v.Rate = rate == static_cast<double>(static_cast<long long>(rate)) ? std::to_string(static_cast<long long>(rate))
                                                                       : QString::number(rate, 'g', 12).toStdString();
  v.Retry = EditRetry->isChecked();
  v.UserAgent = EditUserAgent->text().toStdString();
  v.Headers = EditHeaders->toPlainText().toStdString();
  v.Username = EditUsername->text().toStdString();
  Settings.Password = EditPassword->text().toStdString();
  v.Include = EditInclude->toPlainText().toStdString();
  v.Exclude = EditExclude->toPlainText().toStdString();
  v.MaxDepth = std::to_string(EditMaxDepth->value());
}

bool TFormCrawlSettingsView::Execute() {
  bool first = true;
  return Settings.Run(
      [this, &first](TFormCrawlSettings&) {
        // The first showing starts from the stored values; a showing after a refusal keeps the edits.
        if (first) {
          ShowValues();
          PageControl->setCurrentIndex(0);
          first = false;
        }
        const bool ok = exec() == QDialog::Accepted;
        if (ok) TakeValues();
        return ok;
      },
      [this](const TCrawlSettings& s) { Engine.Apply(s); },
      [this](const std::string& error) {
        LastError = QString::fromStdString(error);
        QMessageBox::warning(this, tr(TFormCrawlSettings::kCaption), LastError);
      });
}

}  // namespace gui
