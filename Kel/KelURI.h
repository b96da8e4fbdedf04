// Addresses: the parsed URL record TURI and the URL functions the program relies on.
// Texts are bytes; nothing here touches the network or the file system.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct TURIParts;

class TURI {
 public:
  TURI() = default;
  explicit TURI(std::string_view text) { Parse(text); }

  // Replaces all nine fields with the parts of `text`. Never fails, never normalises the path.
  void Parse(std::string_view text);
  // The text of the address, user name, password and bookmark included when present.
  // Fails with "Protocol field is empty" or "Host field is empty". Nothing is escaped.
  std::string Compose() const;

  std::string Protocol;
  std::string Username;
  std::string Password;
  std::string Host;
  std::string Port;
  std::string Path;      // folder part of the path: "/a/b/"
  std::string Document;  // last path segment: "c.html"
  std::string Params;    // query with its "?"
  std::string Bookmark;  // fragment without its "#"

  bool operator==(const TURI&) const = default;
  TURIParts Parts() const;
};

// The nine parts of an address as views, for code that reads an address it does not own.
struct TURIParts {
  std::string_view Protocol, Username, Password, Host, Port, Path, Document, Params, Bookmark;
};

// An address as a map keeps it, one per node: the nine parts in one block with their ends
// (48 bytes and one allocation, against nine strings of 32 bytes each). Move only.
class TPackedURI {
 public:
  TPackedURI() = default;
  explicit TPackedURI(const TURI& uri) { Assign(uri); }
  TPackedURI(TPackedURI&&) noexcept = default;
  TPackedURI& operator=(TPackedURI&&) noexcept = default;

  void Assign(const TURI& uri);
  TURI Unpack() const;
  TURIParts Parts() const;
  std::string_view Protocol() const { return Part(0); }
  std::string_view Host() const { return Part(3); }
  std::string_view Path() const { return Part(5); }
  std::string_view Document() const { return Part(6); }

 private:
  static constexpr int kParts = 9;
  // One block: a byte giving the width of the part ends (2 bytes, or 4 for an address of 64 KB or
  // more), the nine ends, then the parts' characters. None for an empty address.
  std::string_view Part(int i) const;
  std::unique_ptr<char[]> Block_;
};

// Every scheme name but "http", "https", "file" and "ftp", in any letter case ("mailto",
// "javascript", "news", "about", "data", "tel", ...): addresses filed without a request.
bool IsSpecialScheme(std::string_view protocol);
// Protocol + ":" + Document for a special scheme, otherwise Compose().
std::string URLText(const TURI& uri);
std::string URLText(const TURIParts& uri);
// The text of an address as TURI::Compose gives it, with the same failures.
std::string ComposeURI(const TURIParts& uri);
// Fills `target` with the absolute address of `link` found on the page `base` (or none): its
// character references and percent escapes decoded ("+" stays a plus), then as ResolveAddress.
// Fails on a malformed percent escape, with the messages of DecodeFormText; `target` is then
// left as it was.
void ResolveLink(TURI& target, std::string_view link, const TURI* base);
// Fills `target` with the absolute address of an address text that is decoded already (a saved
// address): no decoding and no trimming. Without a base a path is a local file. The result is
// in the one form NormalizeURI gives, however the address was written. Against a base, a text
// that is empty, only a fragment or only a query names the base's own document (for a fragment
// or nothing, with the base's query): "#top" on /d/p.html?x=1 is /d/p.html?x=1#top.
void ResolveAddress(TURI& target, std::string_view address, const TURI* base);
// The one form of an address: the scheme's default port emptied, the text split again, the
// path's "." and ".." segments resolved and runs of "/" collapsed. Composing and resolving the
// result again gives the same record. Special and incomplete addresses are left alone.
void NormalizeURI(TURI& uri);
// "/a//b/./c/../" gives "/a/b/": empty and "." segments dropped, ".." climbs (not above the root).
std::string NormalizeURLPath(std::string_view path);
// A letter, then letters, digits, "+", "-" or "."; at least two characters (one is a drive letter).
bool IsSchemeName(std::string_view text);
// The five named references (&lt; &gt; &nbsp; &quot; &amp;) and numeric ones (&#64; &#x40;,
// code points of 128 and above as UTF-8), in one pass: "&amp;lt;" gives "&lt;".
std::string DecodeCharacterReferences(std::string_view text);
// Decodes the percent escapes of a link; "+" stays a plus. Escapes of "%", delimiters ("/", "?",
// "#", "=", "&", "+", ...) and control characters stay escaped (hex in capitals), since decoding
// them would name another address. Fails on a malformed escape like DecodeFormText.
std::string DecodeURLText(std::string_view text);
// Merges a relative path into a base path: runs of "/" collapse, ".." segments climb.
std::string MergeURLPath(std::string_view base, std::string_view relative);
// Completes an address typed by the user: default protocol and host, host split off a path.
void ApplyDefaults(TURI& uri, std::string_view defaultProtocol, std::string_view defaultHost);
void AssignURI(TURI& destination, const TURI& source);
// The path of an address as the server sees it: Path + Document, and Params when they begin
// with "=" ("/a/b=c/d.html"); no query.
std::string URLPathOf(const TURI& uri);
// The local file path of a "file" address: its URLPathOf with the escapes of file name characters
// undone ("%3F" is "?").
std::string LocalPathOf(const TURI& uri);
// A file path written into a "file" address: "%", "?", "#" and "=" escaped.
std::string EscapeLocalPath(std::string_view path);
// The Document part of an address text.
std::string DocumentOf(std::string_view text);
// Form encoding: letters, digits and !$'()*-._@ stay, a space becomes "+", every other byte %XX.
std::string EncodeFormText(std::string_view text);
// Undoes form encoding: "+" is a space, "%%" a "%", "%XX" a byte. Fails on a malformed escape.
std::string DecodeFormText(std::string_view text);

// The port a scheme uses when none is given ("80" for http, "443" for https), or empty.
std::string DefaultPortOf(std::string_view protocol);
// Empties `uri.Port` when it is the default port of the address's scheme; keeps any other port.
void DropDefaultPort(TURI& uri);
