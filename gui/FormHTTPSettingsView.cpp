#include "gui/FormHTTPSettingsView.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Kel/KelStr.h"
#include "app/UnitHTTPSettings.h"
#include "gui/DialogButtons.h"
#include "gui/Names.h"

namespace gui {

TFormHTTPSettingsView::TFormHTTPSettingsView(TFormHTTPSettings& settings, QWidget* parent)
    : QDialog(parent), Settings(settings) {
  Name(this, "FormHTTPSettings", TFormHTTPSettings::kCaption);
  setWindowTitle(tr(TFormHTTPSettings::kCaption));
  PageControl = Name(new QTabWidget(this), "PageControl", "Pages");
  auto* page = Name(new QWidget(PageControl), "TSProxy", "Proxy");
  PageControl->addTab(page, tr("Proxy"));
  EditServer = Name(new QLineEdit(page), "EditServer", "Server:");
  EditPort = Name(new QSpinBox(page), "EditPort", "Port:");
  EditPort->setRange(0, 65535);
  EditPort->setMaximumWidth(110);
  EditUsername = Name(new QLineEdit(page), "EditUsername", "Username:");
  EditPassword = Name(new QLineEdit(page), "EditPassword", "Password:");
  EditPassword->setEchoMode(QLineEdit::Password);
  EditBasicAuth = Name(new QCheckBox(tr("Basic Authentication"), page), "EditBasicAuth", "Basic Authentication");
  EditNoProxy = Name(new QLineEdit(page), "EditNoProxy", "No proxy for:");
  EditNoProxy->setPlaceholderText(tr("localhost, .intranet.example, 10.0.0.0/8"));
  EditNoProxy->setToolTip(tr("Hosts reached without the proxy, separated by commas: a name stands for itself and "
                             "every name below it, an address or block of addresses may be given, a port after "
                             "\":\", \"*\" for every host. Loopback is always reached directly."));
  auto* form = new QFormLayout(page);
  form->addRow(tr("Server:"), EditServer);
  form->addRow(tr("Port:"), EditPort);
  form->addRow(tr("Username:"), EditUsername);
  form->addRow(tr("Password:"), EditPassword);
  form->addRow(QString(), EditBasicAuth);
  form->addRow(tr("No proxy for:"), EditNoProxy);

  // The limits that keep a hostile or broken server from holding the crawl or its memory.
  auto* limits = Name(new QWidget(PageControl), "TSLimits", "Limits");
  PageControl->addTab(limits, tr("Limits"));
  EditTimeout = Name(new QDoubleSpinBox(limits), "EditTimeout", "Time limit:");
  EditTimeout->setRange(0.1, 86400);
  EditTimeout->setDecimals(1);
  EditTimeout->setSuffix(tr(" s"));
  EditTimeout->setMaximumWidth(140);
  EditMaxPageSize = Name(new QDoubleSpinBox(limits), "EditMaxPageSize", "Largest page:");
  EditMaxPageSize->setRange(0.1, 4096);
  EditMaxPageSize->setDecimals(1);
  EditMaxPageSize->setSuffix(tr(" MiB"));
  EditMaxPageSize->setMaximumWidth(140);
  auto countBox = [&](const char* name, const char* caption) {
    auto* box = Name(new QSpinBox(limits), name, caption);
    box->setRange(0, 2147483647);
    box->setSpecialValueText(tr("No limit"));
    box->setGroupSeparatorShown(true);
    box->setMaximumWidth(140);
    return box;
  };
  EditMaxAddresses = countBox("EditMaxAddresses", "Largest site (addresses):");
  EditMaxQueue = countBox("EditMaxQueue", "Largest queue (requests):");
  auto* note = new QLabel(tr("A request whose whole answer takes longer fails, and a download stops when no data "
                             "comes for that long. A longer page is read up to the limit. A crawl that passes "
                             "the largest site or queue is suspended; resuming it goes on past that limit. "
                             "0 means no limit."),
                          limits);
  note->setWordWrap(true);
  auto* limitsForm = new QFormLayout(limits);
  limitsForm->addRow(tr("Time limit:"), EditTimeout);
  limitsForm->addRow(tr("Largest page:"), EditMaxPageSize);
  limitsForm->addRow(tr("Largest site (addresses):"), EditMaxAddresses);
  limitsForm->addRow(tr("Largest queue (requests):"), EditMaxQueue);
  limitsForm->addRow(note);
  AddOKCancel(this, PageControl, ButtonOK, ButtonCancel);
  resize(380, sizeHint().height());
  // Every edit reaches the clients at once, as the values the workers read.
  for (QLineEdit* e : {EditServer, EditUsername, EditPassword, EditNoProxy})
    connect(e, &QLineEdit::textEdited, this, &TFormHTTPSettingsView::TakeValues);
  connect(EditPort, &QSpinBox::valueChanged, this, &TFormHTTPSettingsView::TakeValues);
  connect(EditBasicAuth, &QCheckBox::toggled, this, &TFormHTTPSettingsView::TakeValues);
  for (QDoubleSpinBox* e : {EditTimeout, EditMaxPageSize})
    connect(e, &QDoubleSpinBox::valueChanged, this, &TFormHTTPSettingsView::TakeValues);
  for (QSpinBox* e : {EditMaxAddresses, EditMaxQueue})
    connect(e, &QSpinBox::valueChanged, this, &TFormHTTPSettingsView::TakeValues);
}

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

// The value a spin box shows for a stored text, and the text for a value: the stored text stays
// as it is while the box shows its value, so opening and closing the dialog changes nothing.
double Shown(const std::string& text, double fallback, double unit) {
  try {
    const double v = std::stod(text);
    return v > 0 ? v / unit : fallback;
  } catch (const std::exception&) {
    return fallback;
  }
}

std::string Taken(const std::string& stored, const QDoubleSpinBox* box, double fallback, double unit) {
  if (box->valueFromText(box->textFromValue(Shown(stored, fallback, unit))) == box->value()) return stored;
  const double v = box->value() * unit;
  if (v == static_cast<double>(static_cast<long long>(v))) return std::to_string(static_cast<long long>(v));
  return QString::number(v, 'g', 12).toStdString();
}

}  // namespace

void TFormHTTPSettingsView::ShowValues() {
  const QSignalBlocker a(EditPort), b(EditBasicAuth), c(EditTimeout), d(EditMaxPageSize), e(EditMaxAddresses),
      f(EditMaxQueue);
  EditServer->setText(QString::fromStdString(Settings.EditServer.Text));
  EditPort->setValue(StrToIntDef(Settings.EditPort.Text, 0));
  EditUsername->setText(QString::fromStdString(Settings.EditUsername.Text));
  EditPassword->setText(QString::fromStdString(Settings.EditPassword.Text));
  EditBasicAuth->setChecked(Settings.EditBasicAuth.Checked);
  EditNoProxy->setText(QString::fromStdString(Settings.EditNoProxy.Text));
  EditTimeout->setValue(Shown(Settings.EditTimeout.Text, 60, 1));
  EditMaxPageSize->setValue(Shown(Settings.EditMaxPageSize.Text, 32, kMiB));
  EditMaxAddresses->setValue(Settings.MaxAddresses());
  EditMaxQueue->setValue(Settings.MaxQueue());
}

void TFormHTTPSettingsView::TakeValues() {
  Settings.EditServer.Text = EditServer->text().toStdString();
  Settings.EditPort.Text = std::to_string(EditPort->value());
  Settings.EditUsername.Text = EditUsername->text().toStdString();
  Settings.EditPassword.Text = EditPassword->text().toStdString();
  Settings.EditBasicAuth.Checked = EditBasicAuth->isChecked();
  Settings.EditNoProxy.Text = EditNoProxy->text().toStdString();
  Settings.EditTimeout.Text = Taken(Settings.EditTimeout.Text, EditTimeout, 60, 1);
  Settings.EditMaxPageSize.Text = Taken(Settings.EditMaxPageSize.Text, EditMaxPageSize, 32, kMiB);
  // A stored text the box shows as it is stays as it is (opening and closing changes nothing).
  auto takeCount = [](TFormHTTPSettings::TEdit& edit, const QSpinBox* box, int32_t shown) {
    if (box->value() != shown) edit.Text = std::to_string(box->value());
  };
  Settings.Changed();
  const int32_t addresses = Settings.MaxAddresses(), queue = Settings.MaxQueue();
  takeCount(Settings.EditMaxAddresses, EditMaxAddresses, addresses);
  takeCount(Settings.EditMaxQueue, EditMaxQueue, queue);
  Settings.Changed();
}

bool TFormHTTPSettingsView::Execute() {
  return Settings.Run([this](TFormHTTPSettings&) {
    ShowValues();
    PageControl->setCurrentIndex(0);
    EditServer->setFocus();
    const bool ok = exec() == QDialog::Accepted;
    TakeValues();
    return ok;
  });
}

}  // namespace gui
