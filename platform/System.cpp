#include "platform/System.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Kel/KelURI.h"

namespace platform {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

std::string HomeFolder() { return EnvOr("HOME", "/tmp"); }

// The one proxy of every request: http_proxy, else https_proxy (a system that names only the
// proxy of its secure requests has that one proxy), in either letter case.
std::string ProxyEnvironment() {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"})
    if (const char* v = std::getenv(name); v && *v) return std::string(v);
  return std::string();
}

std::string DecodeOrKeep(const std::string& text) {
  try {
    // User information in an address is percent-encoded; "+" stays a plus there.
    std::string protectedPlus;
    for (char c : text) protectedPlus += c == '+' ? std::string("%2B") : std::string(1, c);
    return DecodeFormText(protectedPlus);
  } catch (...) {
    return text;
  }
}

}  // namespace

ProxyAddress ParseProxyAddress(const std::string& input) {
  ProxyAddress result;
  std::string text = input;
  const size_t scheme = text.find("://");
  if (scheme != std::string::npos) text = text.substr(scheme + 3);
  const size_t slash = text.find('/');
  if (slash != std::string::npos) text.resize(slash);
  const size_t at = text.rfind('@');
  if (at != std::string::npos) {
    const std::string user = text.substr(0, at);
    text = text.substr(at + 1);
    const size_t colon = user.find(':');
    result.Username = DecodeOrKeep(user.substr(0, colon));
    if (colon != std::string::npos) result.Password = DecodeOrKeep(user.substr(colon + 1));
  }
  result.HostPort = text;
  return result;
}

bool SystemNetwork::IsConnected() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool up = false;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr) continue;
    const unsigned flags = a->ifa_flags;
    if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK)) {
      up = true;
      break;
    }
  }
  freeifaddrs(list);
  return up;
}

std::string SystemNetwork::ProxyList() { return ParseProxyAddress(ProxyEnvironment()).HostPort; }
std::string SystemNetwork::ProxyUsername() { return ParseProxyAddress(ProxyEnvironment()).Username; }
std::string SystemNetwork::ProxyPassword() { return ParseProxyAddress(ProxyEnvironment()).Password; }
std::string SystemNetwork::NoProxyList() { return EnvOr("no_proxy", EnvOr("NO_PROXY", std::string())); }

std::string ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

std::string ShippedFilesFolder(const std::string& programFolder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(fs::path(programFolder) / "english.txt", ec)) return programFolder;
  const fs::path installed = fs::path(programFolder).parent_path() / "share" / "tessaly";
  if (fs::is_directory(installed, ec)) return installed.lexically_normal().string();
  return programFolder;
}

SystemPaths::SystemPaths(std::string appFolder)
    : Given_(!appFolder.empty()),
      AppFolder_(Given_ ? std::move(appFolder) : ShippedFilesFolder(ExecutableFolder())) {}

std::string SystemPaths::AppFolder() { return AppFolder_; }
bool SystemPaths::UserFilesBesideProgram() { return Given_ || AppFolder_ == ExecutableFolder(); }

std::string SystemPaths::UserDataFolder() { return EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share"); }
std::string SystemPaths::ConfigFolder() { return EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config"); }
std::string SystemPaths::CacheFolder() { return EnvOr("XDG_CACHE_HOME", HomeFolder() + "/.cache"); }

}  // namespace platform
