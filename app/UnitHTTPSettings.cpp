#include "app/UnitHTTPSettings.h"

#include "Kel/KelIdHTTP.h"
#include "Kel/KelStr.h"
#include "platform/Platform.h"

TProxyHostPort ProxyForProtocol(const std::string& proxyList, const std::string& protocol) {
  std::vector<std::string> entries;
  std::string piece;
  for (const char c : proxyList + ' ') {
    if (!IsBlank(c)) {
      piece += c;
    } else if (!piece.empty()) {
      entries.push_back(piece);
      piece.clear();
    }
  }
  std::string entry;
  if (entries.size() < 2) {
    entry = proxyList;  // a single entry is taken whole
  } else {
    for (const std::string& e : entries) {
      const size_t eq = e.find('=');
      if (eq != std::string::npos && SameText(std::string_view(e).substr(0, eq), protocol)) {
        entry = e.substr(eq + 1);
        break;
      }
    }
  }
  TProxyHostPort r;
  const size_t colon = entry.find(':');
  r.Host = Trim(std::string_view(entry).substr(0, colon));
  if (colon != std::string::npos) r.Port = Trim(std::string_view(entry).substr(colon + 1));
  return r;
}

TFormHTTPSettings::TFormHTTPSettings(TIniFile& settings, platform::Network* network) : Settings_(settings) {
  Restore();
  if (network) DefaultsFromSystem(*network);
}

void TFormHTTPSettings::DefaultsFromSystem(platform::Network& network) {
  // A failing system query leaves the field as it is.
  auto query = [](auto&& f) -> std::string {
    try {
      return f();
    } catch (...) {
      return std::string();
    }
  };
  if (EditPassword.Text.empty()) EditPassword.Text = query([&] { return network.ProxyPassword(); });
  if (EditUsername.Text.empty()) EditUsername.Text = query([&] { return network.ProxyUsername(); });
  const std::string list = query([&] { return network.ProxyList(); });
  const TProxyHostPort system = ProxyForProtocol(list, "http");
  if (EditServer.Text.empty()) EditServer.Text = system.Host;
  // The port field is a number: "0" (or nothing readable as a number) means not set.
  if (StrToIntDef(EditPort.Text, 0) == 0 && !system.Port.empty()) EditPort.Text = system.Port;
  if (EditNoProxy.Text.empty()) EditNoProxy.Text = query([&] { return network.NoProxyList(); });
  Changed();
}

void TFormHTTPSettings::Changed() {
  THTTPSettingsValues v;
  v.Server = EditServer.Text;
  v.Port = EditPort.Text;
  v.Username = EditUsername.Text;
  v.Password = EditPassword.Text;
  v.BasicAuth = EditBasicAuth.Checked;
  v.NoProxy = EditNoProxy.Text;
  v.Timeout = EditTimeout.Text;
  v.MaxPageSize = EditMaxPageSize.Text;
  v.MaxAddresses = EditMaxAddresses.Text;
  v.MaxQueue = EditMaxQueue.Text;
  std::lock_guard lock(Mutex_);
  Snapshot_ = std::move(v);
}

void TFormHTTPSettings::SetValues(const THTTPSettingsValues& values) {
  EditServer.Text = values.Server;
  EditPort.Text = values.Port;
  EditUsername.Text = values.Username;
  EditPassword.Text = values.Password;
  EditBasicAuth.Checked = values.BasicAuth;
  EditNoProxy.Text = values.NoProxy;
  EditTimeout.Text = values.Timeout;
  EditMaxPageSize.Text = values.MaxPageSize;
  EditMaxAddresses.Text = values.MaxAddresses;
  EditMaxQueue.Text = values.MaxQueue;
  Changed();
}

THTTPSettingsValues TFormHTTPSettings::Values() const {
  std::lock_guard lock(Mutex_);
  return Snapshot_;
}

std::vector<TControlBinding> TFormHTTPSettings::Controls() {
  return {
      TControlBinding::Text("EditServer", EditServer.Text),
      TControlBinding::Text("EditPort", EditPort.Text),
      TControlBinding::Text("EditUsername", EditUsername.Text),
      TControlBinding::Text("EditPassword", EditPassword.Text),
      TControlBinding::CheckBox("EditBasicAuth", EditBasicAuth.Checked),
      TControlBinding::Text("EditTimeout", EditTimeout.Text),
      TControlBinding::Text("EditMaxPageSize", EditMaxPageSize.Text),
      TControlBinding::Text("EditMaxAddresses", EditMaxAddresses.Text),
      TControlBinding::Text("EditMaxQueue", EditMaxQueue.Text),
      TControlBinding::Text("EditNoProxy", EditNoProxy.Text),
  };
}

void TFormHTTPSettings::Restore() {
  RestoreControls(Settings_, kSection, Controls());
  Changed();
}

void TFormHTTPSettings::Store() { StoreControls(Settings_, kSection, Controls()); }

bool TFormHTTPSettings::Run(const std::function<bool(TFormHTTPSettings&)>& showModal) {
  Restore();
  const bool ok = showModal(*this);
  Changed();
  if (ok) Store();
  return ok;
}

void TFormHTTPSettings::ApplyTo(TProxyParams& params) const {
  const THTTPSettingsValues v = Values();
  params.ProxyServer = v.Server;
  params.ProxyPort = StrToIntDef(v.Port, 0);
  params.ProxyUsername = v.Username;
  params.ProxyPassword = v.Password;
  params.BasicAuthentication = v.BasicAuth;
  params.NoProxy = v.NoProxy;
}

TTransferLimits TFormHTTPSettings::Limits() const {
  const THTTPSettingsValues v = Values();
  TTransferLimits limits;
  if (const std::chrono::milliseconds timeout = SecondsOf(v.Timeout); timeout.count() > 0) limits.Timeout = timeout;
  if (const int64_t size = BytesOf(v.MaxPageSize); size > 0) limits.MaxPageSize = size;
  return limits;
}

namespace {
// A count from 0 up written in decimal; `fallback` for anything else.
int32_t CountOf(const std::string& text, int32_t fallback) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 10) return fallback;
  int64_t n = 0;
  for (const char c : t) {
    if (c < '0' || c > '9') return fallback;
    n = n * 10 + (c - '0');
  }
  return n > INT32_MAX ? fallback : static_cast<int32_t>(n);
}
}  // namespace

int32_t TFormHTTPSettings::MaxAddresses() const { return CountOf(Values().MaxAddresses, 4000); }

int32_t TFormHTTPSettings::MaxQueue() const { return CountOf(Values().MaxQueue, 10000); }

void TFormHTTPSettings::ApplyTo(THTTPClient& client) const {
  ApplyTo(client.ProxyParams);
  client.Limits = Limits();
}
