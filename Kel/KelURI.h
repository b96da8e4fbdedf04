// Addresses: the parsed URL record TURI and the URL functions the program relies on.
// Texts are bytes; nothing here touches the network or the file system.
#pragma once

#include <string>
#include <string_view>

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
};

// "mailto", "javascript", "news" and "about", in any letter case: addresses never requested.
bool IsSpecialScheme(std::string_view protocol);
// Protocol + ":" + Document for a special scheme, otherwise Compose().
std::string URLText(const TURI& uri);
// Fills `target` with the absolute address of `link` found on the page `base` (or none).
// Passes on the failures of DecodeFormText; `target` is then left partly filled.
void ResolveLink(TURI& target, std::string_view link, const TURI* base);
// Merges a relative path into a base path: runs of "/" collapse, ".." segments climb.
std::string MergeURLPath(std::string_view base, std::string_view relative);
// Completes an address typed by the user: default protocol and host, host split off a path.
void ApplyDefaults(TURI& uri, std::string_view defaultProtocol, std::string_view defaultHost);
void AssignURI(TURI& destination, const TURI& source);
// The local file path of a "file" address: Path + Document (with "/" separators).
std::string LocalPathOf(const TURI& uri);
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
