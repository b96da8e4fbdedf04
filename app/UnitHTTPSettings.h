// The "HTTP Settings" dialog's logic: the proxy every HTTP client of the program uses, kept in
// "Settings.ini" and defaulting to the system's proxy, and the limits of every transfer.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Kel/KelIni.h"

class THTTPClient;
struct TProxyParams;
struct TTransferLimits;
namespace platform {
class Network;
}

// The system's proxy host and port for `protocol` from a proxy-list text: "proxy:8080" (one
// entry, taken whole) or "http=p1:80 ftp=p2:21" (the entry of the protocol). Empty when none.
struct TProxyHostPort {
  std::string Host;
  std::string Port;
};
TProxyHostPort ProxyForProtocol(const std::string& proxyList, const std::string& protocol);

// The values as the controls hold them.
struct THTTPSettingsValues {
  std::string Server;      // EditServer.Text; empty: no proxy
  std::string Port = "0";  // EditPort.Text
  std::string Username;    // EditUsername.Text
  std::string Password;    // EditPassword.Text
  bool BasicAuth = false;  // EditBasicAuth.Checked
  // EditNoProxy.Text: the hosts reached without the proxy, as a no_proxy list
  // ("localhost, .intra, 10.0.0.0/8, host:8080"); loopback is always reached directly.
  std::string NoProxy;
  // EditTimeout.Text: seconds a crawl request's whole answer may take, and a download may wait
  // for data. Anything but a positive number gives the default, 60.
  std::string Timeout = "60";
  // EditMaxPageSize.Text: the most bytes of a page kept. Anything but a positive number gives
  // the default, 33554432 (32 MiB).
  std::string MaxPageSize = "33554432";
  // EditMaxAddresses.Text ("Largest site (addresses)"): the crawl is suspended when the map holds
  // more addresses. 0: no limit; anything but a number from 0 up gives the default, 4000.
  std::string MaxAddresses = "4000";
  // EditMaxQueue.Text ("Largest queue (requests)"): the crawl is suspended when more requests
  // wait. 0: no limit; anything but a number from 0 up gives the default, 10000.
  std::string MaxQueue = "10000";
  bool operator==(const THTTPSettingsValues&) const = default;
};

class TFormHTTPSettings {
 public:
  static constexpr const char* kSection = "FormHTTPSettings";
  static constexpr const char* kCaption = "HTTP Settings";

  // Creation: restores the controls from `settings` ("Settings.ini"), then fills the empty ones
  // from the system's proxy and its list of hosts without it (`network` may be null: no system
  // proxy).
  TFormHTTPSettings(TIniFile& settings, platform::Network* network);
  TFormHTTPSettings(const TFormHTTPSettings&) = delete;
  TFormHTTPSettings& operator=(const TFormHTTPSettings&) = delete;

  // The controls. Whoever changes them on the user-interface thread calls Changed() afterwards
  // (the dialog's edit-change handler), so that workers see the new values.
  struct TEdit {
    std::string Text;
  };
  struct TCheckBox {
    bool Checked = false;
  };
  TEdit EditServer;
  TEdit EditPort{"0"};
  TEdit EditUsername;
  TEdit EditPassword;
  TCheckBox EditBasicAuth;
  TEdit EditNoProxy;
  TEdit EditTimeout{"60"};
  TEdit EditMaxPageSize{"33554432"};
  TEdit EditMaxAddresses{"4000"};
  TEdit EditMaxQueue{"10000"};
  void Changed();

  // The controls in ownership order, as the settings files store them.
  std::vector<TControlBinding> Controls();
  // Controls := values (user-interface thread); Changed() is called.
  void SetValues(const THTTPSettingsValues& values);
  // The current values, from any thread.
  THTTPSettingsValues Values() const;

  // Restore the controls from "Settings.ini" / store them there.
  void Restore();
  void Store();

  // Showing the dialog: restores the stored values, then `showModal` lets the user edit the
  // controls and returns whether OK was pressed; on OK the controls are stored. Cancel stores
  // nothing and keeps the edits until the next restore. Returns whether OK was pressed.
  bool Run(const std::function<bool(TFormHTTPSettings&)>& showModal);

  // Copies the current values into a client's proxy parameters and limits; safe on any thread.
  void ApplyTo(THTTPClient& client) const;
  void ApplyTo(TProxyParams& params) const;
  // The current limits; safe on any thread.
  TTransferLimits Limits() const;
  // The crawl's limits (0: none); safe on any thread.
  int32_t MaxAddresses() const;
  int32_t MaxQueue() const;

 private:
  void DefaultsFromSystem(platform::Network& network);
  TIniFile& Settings_;
  mutable std::mutex Mutex_;
  THTTPSettingsValues Snapshot_;  // the controls' values for other threads, guarded by Mutex_
};
