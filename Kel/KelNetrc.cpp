#include "Kel/KelNetrc.h"

#include <vector>

#include "Kel/KelStr.h"

namespace {

// The words of the file; a word may be quoted ("a b") with backslash escapes. A "macdef"
// definition (up to the next empty line) is left out.
std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '#') {  // a comment runs to the end of its line
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    std::string word;
    if (c == '"') {
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        word += text[i++];
      }
      ++i;
    } else {
      while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
        word += text[i++];
    }
    if (word == "macdef") {
      const size_t end = text.find("\n\n", i);
      i = end == std::string_view::npos ? text.size() : end + 2;
      continue;
    }
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace

std::optional<TNetrcLogin> NetrcLogin(std::string_view text, std::string_view host) {
  const std::vector<std::string> words = Words(text);
  std::optional<TNetrcLogin> found, fallback;
  bool inEntry = false, isDefault = false;
  TNetrcLogin entry;
  auto close = [&] {
    if (!inEntry) return;
    if (isDefault) {
      if (!fallback) fallback = entry;
    } else if (!found) {
      found = entry;
    }
    inEntry = false;
  };
  bool matching = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "machine" || w == "default") {
      if (matching) close();
      entry = TNetrcLogin();
      isDefault = w == "default";
      matching = isDefault || (i + 1 < words.size() && SameText(words[i + 1], host));
      inEntry = matching;
      if (w == "machine") ++i;
    } else if ((w == "login" || w == "password" || w == "account") && i + 1 < words.size()) {
      if (matching && w == "login") entry.Login = words[i + 1];
      if (matching && w == "password") entry.Password = words[i + 1];
      ++i;
    }
  }
  if (matching) close();
  return found ? found : fallback;
}
