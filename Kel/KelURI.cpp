#include "Kel/KelURI.h"

#include <cstring>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

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

// Host and port of an authority without user information. A bracketed (IPv6) host is taken
// whole; its port follows "]:". Anything else after the "]" stays part of the host.
void SplitHostPort(TURI& uri, const std::string& authority) {
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close != std::string::npos && close + 1 < authority.size() && authority[close + 1] == ':') {
      uri.Host = authority.substr(0, close + 1);
      uri.Port = authority.substr(close + 2);
    } else {
      uri.Host = authority;
    }
    return;
  }
  const size_t colon = authority.find(':');
  uri.Host = authority.substr(0, colon);
  if (colon != std::string::npos) uri.Port = authority.substr(colon + 1);
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
  // Absolute only when the text before "://" is a scheme name: "go.php?to=http://x/" is relative.
  const size_t sep = text.find("://");
  if (sep != std::string::npos && IsSchemeName(std::string_view(text).substr(0, sep))) {
    Protocol = text.substr(0, sep);
    std::string rest = text.substr(sep + 3);
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    std::string pathText = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    // The fragment begins at the path's first "#", wherever it stands.
    SplitAtHash(pathText, Bookmark);
    // The host follows the last "@": a host never holds one, so a composed address reads back alike.
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
      const std::string userInfo = authority.substr(0, at);
      authority = authority.substr(at + 1);
      const size_t colon = userInfo.find(':');
      Username = userInfo.substr(0, colon);
      if (colon != std::string::npos) Password = userInfo.substr(colon + 1);
      if (Username.empty()) Password.clear();
    }
    SplitHostPort(*this, authority);
    SplitPathText(*this, pathText, "/");
  } else {
    SplitPathText(*this, text, "");
  }
  if (Bookmark.empty()) SplitAtHash(Params, Bookmark);
}

std::string TURI::Compose() const { return ComposeURI(Parts()); }

TURIParts TURI::Parts() const {
  return {Protocol, Username, Password, Host, Port, Path, Document, Params, Bookmark};
}

std::string ComposeURI(const TURIParts& uri) {
  if (uri.Protocol.empty()) throw EError("Protocol field is empty");
  if (uri.Host.empty()) throw EError("Host field is empty");
  std::string r;
  r.reserve(uri.Protocol.size() + uri.Username.size() + uri.Password.size() + uri.Host.size() +
            uri.Port.size() + uri.Path.size() + uri.Document.size() + uri.Params.size() +
            uri.Bookmark.size() + 8);
  r.append(uri.Protocol).append("://");
  if (!uri.Username.empty()) {
    r += uri.Username;
    if (!uri.Password.empty()) r.append(":").append(uri.Password);
    r += "@";
  }
  r += uri.Host;
  if (!uri.Port.empty()) r.append(":").append(uri.Port);
  r.append(uri.Path).append(uri.Document).append(uri.Params);
  if (!uri.Bookmark.empty()) r.append("#").append(uri.Bookmark);
  return r;
}

void TPackedURI::Assign(const TURI& uri) {
  const std::string_view parts[kParts] = {uri.Protocol, uri.Username, uri.Password, uri.Host, uri.Port,
                                          uri.Path,     uri.Document, uri.Params,   uri.Bookmark};
  size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  if (total > UINT32_MAX) throw EError("Address too long");
  if (total == 0) {
    Block_.reset();
    return;
  }
  const size_t width = total <= UINT16_MAX ? 2 : 4;
  const size_t head = 1 + kParts * width;
  std::unique_ptr<char[]> block(new char[head + total]);
  block[0] = static_cast<char>(width);
  uint32_t end = 0;
  for (int i = 0; i < kParts; ++i) {
    if (!parts[i].empty()) std::copy(parts[i].begin(), parts[i].end(), block.get() + head + end);
    end += static_cast<uint32_t>(parts[i].size());
    char* at = block.get() + 1 + static_cast<size_t>(i) * width;
    if (width == 2) {
      const auto e = static_cast<uint16_t>(end);
      std::memcpy(at, &e, 2);
    } else {
      std::memcpy(at, &end, 4);
    }
  }
  Block_ = std::move(block);
}

std::string_view TPackedURI::Part(int i) const {
  if (!Block_) return {};
  const char* block = Block_.get();
  const size_t width = static_cast<size_t>(block[0]);
  const auto endAt = [&](int k) -> uint32_t {
    if (k < 0) return 0;
    if (width == 2) {
      uint16_t e;
      std::memcpy(&e, block + 1 + static_cast<size_t>(k) * 2, 2);
      return e;
    }
    uint32_t e;
    std::memcpy(&e, block + 1 + static_cast<size_t>(k) * 4, 4);
    return e;
  };
  const uint32_t begin = endAt(i - 1);
  return {block + 1 + kParts * width + begin, endAt(i) - begin};
}

TURIParts TPackedURI::Parts() const {
  return {Part(0), Part(1), Part(2), Part(3), Part(4), Part(5), Part(6), Part(7), Part(8)};
}

TURI TPackedURI::Unpack() const {
  TURI r;
  r.Protocol = Part(0);
  r.Username = Part(1);
  r.Password = Part(2);
  r.Host = Part(3);
  r.Port = Part(4);
  r.Path = Part(5);
  r.Document = Part(6);
  r.Params = Part(7);
  r.Bookmark = Part(8);
  return r;
}

bool IsSpecialScheme(std::string_view protocol) {
  if (!IsSchemeName(protocol)) return false;
  return !SameText(protocol, "http") && !SameText(protocol, "https") && !SameText(protocol, "file") &&
         !SameText(protocol, "ftp");
}

std::string URLText(const TURI& uri) { return URLText(uri.Parts()); }

std::string URLText(const TURIParts& uri) {
  if (IsSpecialScheme(uri.Protocol)) return std::string(uri.Protocol).append(":").append(uri.Document);
  return ComposeURI(uri);
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
    } else if (c == '.' && !r.empty() && r.back() == '/' && i + 1 < w.size() && w[i + 1] == '.' &&
               (i + 2 == w.size() || w[i + 2] == '/')) {
      // A ".." segment climbs one folder; at the root nothing is left to remove. "..x" is a name.
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

std::string NormalizeURLPath(std::string_view path) {
  const bool rooted = !path.empty() && path.front() == '/';
  std::vector<std::string_view> segments;
  bool trailing = false;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t stop = std::min(path.find('/', start), path.size());
    const std::string_view segment = path.substr(start, stop - start);
    const bool last = stop == path.size();
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      trailing = true;
    } else if (segment == ".") {
      trailing = true;
    } else if (!segment.empty()) {
      segments.push_back(segment);
      trailing = false;
    } else {
      trailing = trailing || !segments.empty() || rooted;
    }
    if (last) break;
    start = stop + 1;
  }
  std::string r = rooted ? "/" : "";
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) r += '/';
    r += segments[i];
  }
  if (!segments.empty() && trailing) r += '/';
  return r;
}

bool IsSchemeName(std::string_view text) {
  // One letter before ":" is a drive letter ("C:/site"), never a scheme.
  if (text.size() < 2 || !IsAsciiLetter(text.front())) return false;
  for (const char c : text)
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return false;
  return true;
}

namespace {

// A numeric character reference at text[i] ("&#64;", "&#x40;", the ";" optional): its length,
// with its code point in `cp`; 0 when there is none.
size_t NumericReference(std::string_view text, size_t i, uint32_t& cp) {
  if (i + 2 >= text.size() || text[i] != '&' || text[i + 1] != '#') return 0;
  size_t j = i + 2;
  const bool hex = text[j] == 'x' || text[j] == 'X';
  if (hex) ++j;
  const size_t digits = j;
  uint64_t value = 0;
  for (; j < text.size(); ++j) {
    const int d = hex ? HexDigitValue(text[j]) : (IsAsciiDigit(text[j]) ? text[j] - '0' : -1);
    if (d < 0) break;
    if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
  }
  if (j == digits) return 0;
  if (j < text.size() && text[j] == ';') ++j;
  // What names no character (0, a surrogate, beyond Unicode) stands for the replacement character.
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
  cp = static_cast<uint32_t>(value);
  return j - i;
}

// Percent escapes that stay escaped in an address: characters that would change its structure
// or its meaning to the server ("%", "/", "?", "#", "+", "&", "=" and the other delimiters) and
// control characters. Decoding them would make another address.
bool KeepsEscape(unsigned char b) {
  if (b < 32 || b == 127) return true;
  switch (b) {
    case '%':
    case '/':
    case '?':
    case '#':
    case '[':
    case ']':
    case '@':
    case ':':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
      return true;
    default:
      return false;
  }
}

[[noreturn]] void ShortEscape(size_t i) {
  throw EError(Format("Error decoding URL style (%%XX) encoded string at position %d", static_cast<int>(i + 1)));
}

[[noreturn]] void BadEscape(std::string_view text, size_t i) {
  throw EError(Format("Invalid URL encoded character (%s) at position %d", std::string(text.substr(i, 3)).c_str(),
                      static_cast<int>(i + 1)));
}

}  // namespace

std::string DecodeCharacterReferences(std::string_view text) {
  static const struct {
    std::string_view name;
    const char* text;
  } kNamed[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&nbsp;", " "}, {"&quot;", "\""}, {"&amp;", "&"}};
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      uint32_t cp = 0;
      if (const size_t n = NumericReference(text, i, cp)) {
        AppendUTF8(r, cp);
        i += n;
        continue;
      }
      bool named = false;
      for (const auto& e : kNamed) {
        if (SameText(text.substr(i, e.name.size()), e.name)) {
          r += e.text;
          i += e.name.size();
          named = true;
          break;
        }
      }
      if (named) continue;
    }
    r += text[i++];
  }
  return r;
}

std::string DecodeURLText(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '%') {
      r += c;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      r += "%25";
      ++i;
      continue;
    }
    if (i + 2 >= text.size()) ShortEscape(i);
    const int hi = HexDigitValue(text[i + 1]), lo = HexDigitValue(text[i + 2]);
    if (hi < 0 || lo < 0) BadEscape(text, i);
    const auto b = static_cast<unsigned char>(hi * 16 + lo);
    if (KeepsEscape(b)) {
      AppendPercentEscape(r, b);
    } else {
      r += static_cast<char>(b);
    }
    i += 2;
  }
  return r;
}

void NormalizeURI(TURI& uri) {
  if (IsSpecialScheme(uri.Protocol) || uri.Protocol.empty() || uri.Host.empty()) return;
  DropDefaultPort(uri);
  uri.Parse(uri.Compose());
  if (uri.Document == "." || uri.Document == "..") {
    uri.Path += uri.Document + "/";
    uri.Document.clear();
  }
  uri.Path = NormalizeURLPath(uri.Path);
}

namespace {

// `text` is empty, or begins with "#" or "?": the base's own document with the link's query
// (or the base's, for a fragment or nothing) and the link's fragment.
void ResolveSamePage(TURI& target, std::string_view text, const TURI& base) {
  std::string_view query, fragment;
  const size_t hash = text.find('#');
  if (hash != std::string_view::npos) {
    fragment = text.substr(hash + 1);
    text = text.substr(0, hash);
  }
  query = text;  // empty, or "?..."
  target = base;
  target.Username.clear();
  target.Password.clear();
  target.Bookmark = std::string(fragment);
  if (!query.empty()) {
    // Params that begin with "=" hold the rest of the path ("/a/b=c/d.html"): only the query goes.
    const size_t q = target.Params.find('?');
    if (!target.Params.empty() && target.Params.front() == '=')
      target.Params = target.Params.substr(0, q) + std::string(query);
    else target.Params = std::string(query);
  }
  NormalizeURI(target);
}

}  // namespace

void ResolveAddress(TURI& target, std::string_view address, const TURI* base) {
  std::string text(address);
  const size_t colon = text.find(':');
  const std::string scheme = colon != std::string::npos && IsSchemeName(std::string_view(text).substr(0, colon))
                                 ? text.substr(0, colon)
                                 : std::string();
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
  // "//host/path" names a host under the page's scheme.
  if (base && !base->Protocol.empty() && text.size() > 2 && text[0] == '/' && text[1] == '/' && text[2] != '/')
    text = base->Protocol + ":" + text;
  // A link that is only a fragment, only a query, or nothing names the page itself: its
  // document, and for a fragment its query too.
  if (base && !base->Protocol.empty() && !base->Host.empty() &&
      (text.empty() || text.front() == '#' || text.front() == '?')) {
    ResolveSamePage(target, text, *base);
    return;
  }
  target.Parse(text);
  // "file:///path" is a local file like "file://LocalHost/path".
  if (target.Host.empty() && SameText(target.Protocol, "file")) target.Host = "LocalHost";
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
  // One form for every address, however it was written or resolved.
  NormalizeURI(target);
}

void ResolveLink(TURI& target, std::string_view link, const TURI* base) {
  ResolveAddress(target, Trim(DecodeURLText(DecodeCharacterReferences(link))), base);
}

void ApplyDefaults(TURI& uri, std::string_view defaultProtocol, std::string_view defaultHost) {
  if (uri.Protocol.empty()) uri.Protocol = defaultProtocol;
  // "file:///path" is a local file of this machine.
  if (uri.Host.empty() && SameText(uri.Protocol, "file")) uri.Host = "LocalHost";
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

std::string URLPathOf(const TURI& uri) {
  std::string path = uri.Path + uri.Document;
  if (!uri.Params.empty() && uri.Params.front() == '=') path += uri.Params;
  return path;
}

std::string LocalPathOf(const TURI& uri) {
  // A file name may hold what an address escapes ("%", "?", "#", "="): those escapes are undone.
  // "%2F" and "%00" name no file name character and stay as written.
  const std::string path = URLPathOf(uri);
  std::string r;
  r.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    const int hi = path[i] == '%' && i + 2 < path.size() ? HexDigitValue(path[i + 1]) : -1;
    const int lo = hi >= 0 ? HexDigitValue(path[i + 2]) : -1;
    const int b = hi * 16 + lo;
    if (hi >= 0 && lo >= 0 && b != '/' && b != 0) {
      r += static_cast<char>(b);
      i += 2;
    } else {
      r += path[i];
    }
  }
  return r;
}

std::string EscapeLocalPath(std::string_view path) {
  std::string r;
  r.reserve(path.size());
  for (const char c : path) {
    switch (c) {
      case '%':
        r += "%25";
        break;
      case '?':
        r += "%3F";
        break;
      case '#':
        r += "%23";
        break;
      case '=':
        r += "%3D";
        break;
      default:
        r += c;
    }
  }
  return r;
}

std::string DocumentOf(std::string_view text) { return TURI(text).Document; }

std::string EncodeFormText(std::string_view text) {
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
          AppendPercentEscape(r, b);
      }
    }
  }
  return r;
}

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
        const int hi = HexDigitValue(text[i + 1]), lo = HexDigitValue(text[i + 2]);
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
