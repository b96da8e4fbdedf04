// ~/.netrc, as curl and wget read it: "machine HOST login NAME password SECRET" entries, and a
// "default" entry for every other host; "macdef" definitions are skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct TNetrcLogin {
  std::string Login;
  std::string Password;
};

// The login of `host` (letter case ignored) in the text of a netrc file, else that of its
// "default" entry, else none.
std::optional<TNetrcLogin> NetrcLogin(std::string_view text, std::string_view host);
