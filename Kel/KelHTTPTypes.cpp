#include "Kel/KelHTTPTypes.h"

#include <curl/curl.h>

#include <cstdio>
#include <limits>

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
  static const char kHex[] = "0123456789ABCDEF";
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
    if (escape) {
      r += '%';
      r += kHex[b >> 4];
      r += kHex[b & 15];
    } else {
      r += c;
    }
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
