#include "Kel/KelURI.h"

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

namespace {

// Splits a path text into Path (its first t characters, after `prefix`), Document and Params.
void SplitPathText(TURI& uri, std::string_view s, std::string_view prefix) {
  size_t q = s.find('?');
  if (q == std::string_view::npos) q = s.find('=');
  // Last "/" before q (or before the end of s).
  const size_t limit = q == std::string_view::npos ? s.size() : q;
  const size_t slash = limit == 0 ? std::string_view::npos : s.substr(0, limit).rfind('/');
  const size_t t = slash == std::string_view::npos ? 0 : slash + 1;  // characters taken into Path
  uri.Path = std::string(prefix) + std::string(s.substr(0, t));
  if (q != std::string_view::npos) {
    uri.Document = std::string(s.substr(t, q - t));
    uri.Params = std::string(s.substr(q));
  } else {
    uri.Document = std::string(s.substr(t));
  }
}

void SplitAtHash(std::string& field, std::string& bookmark) {
  const size_t h = field.find('#');
  if (h == std::string::npos) return;
  bookmark = field.substr(h + 1);
  field.resize(h);
}

}  // namespace

void TURI::Parse(std::string_view input) {
  std::string text(input);
  for (char& c : text)
    if (c == '\\') c = '/';
  *this = TURI();
  const size_t sep = text.find("://");
  if (sep != std::string::npos) {
    Protocol = text.substr(0, sep);
    std::string rest = text.substr(sep + 3);
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    const std::string pathText = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    const size_t at = authority.find('@');
    if (at != std::string::npos) {
      const std::string userInfo = authority.substr(0, at);
      authority = authority.substr(at + 1);
      const size_t colon = userInfo.find(':');
      Username = userInfo.substr(0, colon);
      if (colon != std::string::npos) Password = userInfo.substr(colon + 1);
      if (Username.empty()) Password.clear();
    }
    const size_t colon = authority.find(':');
    Host = authority.substr(0, colon);
    if (colon != std::string::npos) Port = authority.substr(colon + 1);
    SplitPathText(*this, pathText, "/");
    SplitAtHash(Document, Bookmark);
  } else {
    SplitPathText(*this, text, "");
  }
  if (Bookmark.empty()) SplitAtHash(Params, Bookmark);
}

std::string TURI::Compose() const {
  if (Protocol.empty()) throw EError("Protocol field is empty");
  std::string r = Protocol + "://";
  if (!Username.empty()) {
    r += Username;
    if (!Password.empty()) r += ":" + Password;
    r += "@";
  }
  if (Host.empty()) throw EError("Host field is empty");
  r += Host;
  if (!Port.empty()) r += ":" + Port;
  r += Path;
  r += Document;
  r += Params;
  if (!Bookmark.empty()) r += "#" + Bookmark;
  return r;
}

bool IsSpecialScheme(std::string_view protocol) {
  return SameText(protocol, "mailto") || SameText(protocol, "javascript") || SameText(protocol, "news") ||
         SameText(protocol, "about");
}

std::string URLText(const TURI& uri) {
  if (IsSpecialScheme(uri.Protocol)) return uri.Protocol + ":" + uri.Document;
  return uri.Compose();
}

std::string MergeURLPath(std::string_view base, std::string_view relative) {
  if (!relative.empty() && relative.front() == '/') return std::string(relative);
  const bool keepTrailing = relative.empty() || relative.back() == '/';
  std::string w(base);
  if (!w.empty() && w.back() != '/') w += '/';
  w += relative;
  std::string r;
  r.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    const char c = w[i];
    if (c == '/') {
      if (i == 0) r = "/";
      else if (r.empty() || r.back() != '/') r += '/';
    } else if (c == '.' && !r.empty() && r.back() == '/' && i + 1 < w.size() && w[i + 1] == '.') {
      // A ".." segment climbs one folder; at the root nothing is left to remove.
      r.pop_back();
      while (!r.empty() && r.back() != '/') r.pop_back();
      ++i;
    } else {
      r += c;
    }
  }
  if (r != "/" && !r.empty() && r.back() == '/' && !keepTrailing) r.pop_back();
  return r;
}

void ResolveLink(TURI& target, std::string_view link, const TURI* base) {
  std::string text(link);
  text = ReplaceAll(text, "&lt;", "<", true);
  text = ReplaceAll(text, "&gt;", ">", true);
  text = ReplaceAll(text, "&nbsp;", " ", true);
  text = ReplaceAll(text, "&quot;", "\"", true);
  text = ReplaceAll(text, "&amp;", "&", true);
  text = Trim(DecodeFormText(text));
  const size_t colon = text.find(':');
  const std::string scheme = colon == std::string::npos ? std::string() : text.substr(0, colon);
  if (IsSpecialScheme(scheme)) {
    target.Protocol = scheme;
    target.Username.clear();
    target.Password.clear();
    target.Host.clear();
    target.Path.clear();
    target.Params.clear();
    target.Document = text.substr(colon + 1);
    return;
  }
  target.Parse(text);
  if (!target.Protocol.empty() && !target.Host.empty()) {
    target.Path = MergeURLPath(target.Path, "");
  } else if (base) {
    target.Protocol = base->Protocol;
    target.Host = base->Host;
    target.Port = base->Port;
    target.Path = MergeURLPath(base->Path, target.Path);
  } else {
    target.Protocol = "file";
    target.Host = "LocalHost";
    target.Port.clear();
    target.Path = MergeURLPath("/", target.Path);
  }
  target.Path = ReplaceAll(target.Path, "/./", "/");
}

void ApplyDefaults(TURI& uri, std::string_view defaultProtocol, std::string_view defaultHost) {
  if (uri.Protocol.empty()) uri.Protocol = defaultProtocol;
  if (uri.Host.empty()) {
    uri.Host = uri.Path + uri.Document;
    uri.Path.clear();
    uri.Document.clear();
  }
  if (uri.Host.empty()) uri.Host = defaultHost;
  uri.Parse(uri.Compose());
  uri.Path = MergeURLPath(uri.Path, "");
}

void AssignURI(TURI& destination, const TURI& source) { destination = source; }

std::string LocalPathOf(const TURI& uri) { return uri.Path + uri.Document; }

std::string DocumentOf(std::string_view text) { return TURI(text).Document; }

std::string EncodeFormText(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string r;
  r.reserve(text.size() * 3);
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (IsAsciiLetter(c) || IsAsciiDigit(c)) {
      r += c;
    } else {
      switch (c) {
        case '!':
        case '$':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '-':
        case '.':
        case '_':
        case '@':
          r += c;
          break;
        case ' ':
          r += '+';
          break;
        default:
          r += '%';
          r += kHex[b >> 4];
          r += kHex[b & 15];
      }
    }
  }
  return r;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string DecodeFormText(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      r += ' ';
    } else if (c == '%') {
      if (i + 1 < text.size() && text[i + 1] == '%') {
        r += '%';
        ++i;
      } else if (i + 2 >= text.size()) {
        throw EError(Format("Error decoding URL style (%%XX) encoded string at position %d", static_cast<int>(i + 1)));
      } else {
        const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
          throw EError(Format("Invalid URL encoded character (%s) at position %d",
                              std::string(text.substr(i, 3)).c_str(), static_cast<int>(i + 1)));
        r += static_cast<char>(hi * 16 + lo);
        i += 2;
      }
    } else {
      r += c;
    }
  }
  return r;
}

std::string DefaultPortOf(std::string_view protocol) {
  if (SameText(protocol, "http")) return "80";
  if (SameText(protocol, "https")) return "443";
  return std::string();
}

void DropDefaultPort(TURI& uri) {
  if (uri.Port.empty()) return;
  const std::string def = DefaultPortOf(uri.Protocol);
  if (def.empty() || uri.Port == def) uri.Port.clear();
}
