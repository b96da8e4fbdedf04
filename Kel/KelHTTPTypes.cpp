#include "Kel/KelHTTPTypes.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "Kel/KelText.h"
#include "Kel/KelError.h"
#include "Kel/KelStr.h"

const char* const kHTTPAccept = "text/html, */*";
const char* const kHTTPUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

int32_t ResponseCodeOf(std::string_view text) {
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return -1;
  std::string_view rest = text.substr(blank + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const size_t end = rest.find(' ');
  std::string_view word = rest.substr(0, end);
  if (word.empty()) return -1;
  bool negative = false;
  if (word.front() == '-' || word.front() == '+') {
    negative = word.front() == '-';
    word.remove_prefix(1);
  }
  if (word.empty()) return -1;
  long long v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) return -1;
  }
  return static_cast<int32_t>(negative ? -v : v);
}

std::string EncodeRequestTarget(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    bool escape = b <= 32 || b >= 127;
    switch (c) {
      case '"':
      case '<':
      case '>':
      case '\\':
      case '^':
      case '`':
      case '{':
      case '|':
      case '}':
        escape = true;
        break;
      default:
        break;
    }
    if (escape) AppendPercentEscape(r, b);
    else r += c;
  }
  return r;
}

std::string BasicCredentials(std::string_view username, std::string_view password) {
  static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string plain(username);
  plain += ':';
  plain += password;
  std::string r = "Basic ";
  size_t i = 0;
  for (; i + 2 < plain.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(plain[i]) << 16) | (static_cast<unsigned char>(plain[i + 1]) << 8) |
                       static_cast<unsigned char>(plain[i + 2]);
    r += kBase64[(v >> 18) & 63];
    r += kBase64[(v >> 12) & 63];
    r += kBase64[(v >> 6) & 63];
    r += kBase64[v & 63];
  }
  if (i + 1 == plain.size()) {
    const unsigned v = static_cast<unsigned char>(plain[i]) << 16;
    r += kBase64[(v >> 18) & 63];
    r += kBase64[(v >> 12) & 63];
    r += "==";
  } else if (i + 2 == plain.size()) {
    const unsigned v = (static_cast<unsigned char>(plain[i]) << 16) | (static_cast<unsigned char>(plain[i + 1]) << 8);
    r += kBase64[(v >> 18) & 63];
    r += kBase64[(v >> 12) & 63];
    r += kBase64[(v >> 6) & 63];
    r += '=';
  }
  return r;
}

void TTransferCancel::Cancel() {
  std::lock_guard lock(Mutex_);
  Cancelled_ = true;
  if (Multi_) curl_multi_wakeup(static_cast<CURLM*>(Multi_));
}

bool TTransferCancel::Attach(void* multi) {
  std::lock_guard lock(Mutex_);
  if (Cancelled_) return false;
  Multi_ = multi;
  return true;
}

void TTransferCancel::Detach() {
  std::lock_guard lock(Mutex_);
  Multi_ = nullptr;
}

std::string SecondsText(std::chrono::milliseconds duration) {
  const long long ms = duration.count();
  char text[48];
  if (ms % 1000 == 0) {
    std::snprintf(text, sizeof text, "%lld", ms / 1000);
  } else {
    std::snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
    std::string t = text;
    while (t.back() == '0') t.pop_back();
    return t;
  }
  return text;
}

std::string TimedOutText(std::chrono::milliseconds limit) { return "Timed out after " + SecondsText(limit) + " s"; }

std::string NoDataText(std::chrono::milliseconds limit) { return "No data for " + SecondsText(limit) + " s"; }

std::string CutOffText(const std::string& statusLine, int64_t limit) {
  constexpr int64_t kMiB = 1024 * 1024, kKiB = 1024;
  char size[48];
  if (limit % kMiB == 0) std::snprintf(size, sizeof size, "%lld MiB", static_cast<long long>(limit / kMiB));
  else if (limit % kKiB == 0) std::snprintf(size, sizeof size, "%lld KiB", static_cast<long long>(limit / kKiB));
  else std::snprintf(size, sizeof size, "%lld bytes", static_cast<long long>(limit));
  return statusLine + " (page cut off at " + size + ")";
}

bool IsCutOff(std::string_view responseText) { return responseText.find(" (page cut off at ") != std::string_view::npos; }

std::chrono::milliseconds SecondsOf(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  long long whole = 0, fraction = 0;
  int fractionDigits = 0;
  bool dot = false, digits = false;
  for (const char c : text) {
    if (c == '.' && !dot) {
      dot = true;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (!dot) {
        whole = whole * 10 + (c - '0');
        if (whole > 100000000) return std::chrono::milliseconds(0);  // beyond any sensible limit
      } else if (fractionDigits < 3) {
        fraction = fraction * 10 + (c - '0');
        ++fractionDigits;
      }
    } else {
      return std::chrono::milliseconds(0);
    }
  }
  if (!digits) return std::chrono::milliseconds(0);
  for (; fractionDigits < 3; ++fractionDigits) fraction *= 10;
  return std::chrono::milliseconds(whole * 1000 + fraction);
}

int64_t BytesOf(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return 0;
  int64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
    if (v > (int64_t{1} << 50)) return 0;
  }
  return v;
}

namespace {

std::string LowerText(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// An IP address as 16 bytes (IPv4 mapped into IPv6), with how many of its leading bits a block
// compares: 128 for an address, the prefix (plus 96 for IPv4) for "a.b.c.d/n". False for a name.
bool ParseIPBlock(std::string_view text, unsigned char (&bytes)[16], int& bits) {
  std::string address(text);
  bits = -1;
  const size_t slash = address.find('/');
  if (slash != std::string::npos) {
    const std::string prefix = address.substr(slash + 1);
    address.resize(slash);
    if (prefix.empty() || prefix.size() > 3) return false;
    bits = 0;
    for (char c : prefix) {
      if (c < '0' || c > '9') return false;
      bits = bits * 10 + (c - '0');
    }
  }
  if (address.size() > 2 && address.front() == '[' && address.back() == ']') address = address.substr(1, address.size() - 2);
  unsigned char v4[4];
  if (inet_pton(AF_INET, address.c_str(), v4) == 1) {
    if (bits > 32) return false;
    for (int k = 0; k < 10; ++k) bytes[k] = 0;
    bytes[10] = bytes[11] = 0xFF;
    for (int k = 0; k < 4; ++k) bytes[12 + k] = v4[k];
    bits = bits < 0 ? 128 : bits + 96;
    return true;
  }
  if (inet_pton(AF_INET6, address.c_str(), bytes) == 1) {
    if (bits > 128) return false;
    if (bits < 0) bits = 128;
    return true;
  }
  return false;
}

bool InBlock(const unsigned char (&address)[16], const unsigned char (&block)[16], int bits) {
  for (int k = 0; k < 16 && bits > 0; ++k, bits -= 8) {
    const unsigned mask = bits >= 8 ? 0xFFu : (0xFFu << (8 - bits)) & 0xFFu;
    if ((address[k] & mask) != (block[k] & mask)) return false;
  }
  return true;
}

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || (host.size() > 10 && host.ends_with(".localhost"))) return true;
  unsigned char bytes[16];
  int bits = 0;
  if (!ParseIPBlock(host, bytes, bits) || bits != 128) return false;
  static const unsigned char kV4Loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 127, 0, 0, 0};
  static const unsigned char kV6Loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  return InBlock(bytes, kV4Loopback, 104) || InBlock(bytes, kV6Loopback, 128);
}

// One no_proxy entry against a host (lower case, brackets removed) and its port.
bool EntryMatches(std::string entry, const std::string& host, std::string_view port) {
  // The entry's port: after "]:" for a bracketed IPv6 address, else after its only ":".
  std::string entryPort;
  if (!entry.empty() && entry.front() == '[') {
    const size_t close = entry.find(']');
    if (close == std::string::npos) return false;
    std::string address = entry.substr(1, close - 1);
    const std::string rest = entry.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() == ':') entryPort = rest.substr(1);
      else if (rest.front() == '/') address += rest;
      else return false;
    }
    entry = address;
  } else if (std::count(entry.begin(), entry.end(), ':') == 1) {
    const size_t colon = entry.find(':');
    entryPort = entry.substr(colon + 1);
    entry.resize(colon);
  }
  if (!entryPort.empty() && entryPort != port) return false;
  if (entry == "*") return true;
  unsigned char block[16], address[16];
  int bits = 0, hostBits = 0;
  if (ParseIPBlock(entry, block, bits))
    return ParseIPBlock(host, address, hostBits) && hostBits == 128 && InBlock(address, block, bits);
  // A name: itself and every name below it.
  if (entry.starts_with("*.")) entry.erase(0, 2);
  else if (entry.starts_with(".")) entry.erase(0, 1);
  while (!entry.empty() && entry.back() == '.') entry.pop_back();
  if (entry.empty()) return false;
  return host == entry || (host.size() > entry.size() && host.ends_with(entry) &&
                           host[host.size() - entry.size() - 1] == '.');
}

}  // namespace

bool BypassesProxy(std::string_view hostText, std::string_view port, std::string_view noProxy,
                   std::string_view proxyHost) {
  std::string host = LowerText(hostText);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  while (!host.empty() && host.back() == '.') host.pop_back();
  std::string proxy = LowerText(proxyHost);
  if (proxy.size() > 2 && proxy.front() == '[' && proxy.back() == ']') proxy = proxy.substr(1, proxy.size() - 2);
  if (IsLoopbackHost(host) && !IsLoopbackHost(proxy)) return true;
  size_t start = 0;
  while (start < noProxy.size()) {
    size_t stop = noProxy.find_first_of(", \t\r\n", start);
    if (stop == std::string_view::npos) stop = noProxy.size();
    const std::string entry = LowerText(noProxy.substr(start, stop - start));
    if (!entry.empty() && EntryMatches(entry, host, port)) return true;
    start = stop + 1;
  }
  return false;
}

void CheckHeaderLine(const std::string& line, const std::string& setting) {
  if (line.find_first_of("\r\n") != std::string::npos || line.find('\0') != std::string::npos)
    throw EError(setting + ": '" + line.substr(0, line.find_first_of("\r\n")) + "...' holds a line break");
  const size_t colon = line.find(':');
  if (colon == std::string::npos) throw EError(setting + ": '" + line + "' is not \"Name: value\" (no \":\")");
  static const std::string_view kTokenChars = "!#$%&'*+-.^_`|~";
  if (colon == 0) throw EError(setting + ": '" + line + "' has no header name");
  for (size_t i = 0; i < colon; ++i) {
    const char ch = line[i];
    if (!std::isalnum(static_cast<unsigned char>(ch)) && kTokenChars.find(ch) == std::string_view::npos)
      throw EError(setting + ": '" + line + "' has a header name that is not a single word");
  }
}

TAuthentication ChallengeOf(const std::string& header) {
  TAuthentication a;
  const std::string h = Trim(header);
  const size_t blank = h.find(' ');
  a.Scheme = h.substr(0, blank);
  const size_t realm = PosText("realm=", h);
  if (realm != std::string::npos) {
    std::string v = h.substr(realm + 6);
    if (!v.empty() && v.front() == '"') {
      const size_t close = v.find('"', 1);
      v = v.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
      v = v.substr(0, v.find_first_of(", "));
    }
    a.Realm = v;
  }
  return a;
}
