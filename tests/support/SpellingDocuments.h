// Generated vocabularies and HTML documents for the spelling tests: every kind of word-shaped
// token the splitter and the rules treat apart (letter case, plurals, apostrophes, hyphens,
// underscores, digits, bytes from 128 up, character references skipped or not, words around
// 8 and 16 bytes long, NUL bytes) in visible text, tags, attributes, comments, scripts and
// styles.
#pragma once

#include <string>
#include <vector>

#include "support/Random.h"

namespace spelling_documents {

// `n` different lower-case words of 2 to 20 letters, many sharing their first 8 or 16 bytes,
// a few holding an apostrophe or a hyphen.
inline std::vector<std::string> Vocabulary(TestRandom& random, size_t n) {
  std::vector<std::string> words;
  const char* const stems[] = {"", "", "", "inter", "internat", "internationaliza"};
  while (words.size() < n) {
    std::string w = stems[random.Below(std::size(stems))];
    const size_t letters = 2 + random.Below(12);
    for (size_t i = 0; i < letters; ++i) w += static_cast<char>('a' + random.Below(26));
    if (random.Below(40) == 0) w.insert(1 + random.Below(w.size() - 1), 1, random.Below(2) ? '\'' : '-');
    words.push_back(w);
  }
  return words;
}

// One word-shaped token, built on a word of `vocabulary` or not.
inline std::string Token(TestRandom& random, const std::vector<std::string>& vocabulary) {
  std::string w = vocabulary[random.Below(vocabulary.size())];
  switch (random.Below(24)) {
    case 0:
      w[0] = static_cast<char>(w[0] - 'a' + 'A');
      break;  // Capitalised
    case 1:
      for (char& c : w)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      break;
    case 2:
      w += random.Below(2) ? "s" : "S";
      break;  // plural
    case 3:
      w += random.Below(2) ? "'s" : "'";
      break;  // possessive
    case 4:
      w += "-" + vocabulary[random.Below(vocabulary.size())];
      break;
    case 5:
      w = "-" + w + "-";
      break;  // hyphens around
    case 6:
      w = "'" + w + "'";
      break;  // quoted
    case 7:
      w += "_" + std::to_string(random.Below(100));
      break;  // identifier
    case 8:
      w = std::to_string(random.Below(3000)) + (random.Below(2) ? w : "");
      break;  // 3rd, 2005
    case 9:
      w += std::to_string(random.Below(100));
      break;  // v2
    case 10:
      w.insert(random.Below(w.size() + 1), random.Below(2) ? "\xC3\xA9" : "\xE9");
      break;  // byte >= 128
    case 11:
      w[random.Below(w.size())] = static_cast<char>('a' + random.Below(26));
      break;  // a typo
    case 12:
      w.erase(random.Below(w.size()), 1);
      break;  // another
    case 13:
      w = std::string(1, static_cast<char>('a' + random.Below(26)));
      break;  // one letter
    case 14:
      w += w;
      break;  // long, past 16 bytes
    case 15:
      w = w.substr(0, 1) + "_" + w;
      break;
    default:
      break;  // the word as listed
  }
  return w;
}

// Between tokens: blanks, punctuation and character references, skipped ones in any case.
inline std::string Separator(TestRandom& random) {
  const char* const references[] = {"&nbsp;", "&NBSP;", "&Quot;", "&amp;",    "&AMP;", "&reg;", "&gt;", "&lt;",
                                    "&lT;",   "&copy;", "&#169;", "&#x2019;", "&amp",  "&nbsp", "&",    "&;"};
  switch (random.Below(12)) {
    case 0:
      return references[random.Below(std::size(references))];
    case 1:
      return ", ";
    case 2:
      return ". ";
    case 3:
      return "\n";
    case 4:
      return "(";
    case 5:
      return "\t";
    case 6:
      return "/";
    case 7:
      return std::string(1, static_cast<char>(128 + random.Below(128)));
    default:
      return " ";
  }
}

// An HTML document of about `size` bytes whose text is made of tokens of `vocabulary`.
inline std::string Document(TestRandom& random, const std::vector<std::string>& vocabulary, size_t size) {
  std::string html = random.Below(2) ? "<html><head><title>" + Token(random, vocabulary) + "</title></head><body>" : "";
  while (html.size() < size) {
    switch (random.Below(40)) {
      case 0:
        html += "<script>var " + Token(random, vocabulary) + " = '<p>" + Token(random, vocabulary) + "';</script>";
        break;
      case 1:
        html += "<STYLE>." + Token(random, vocabulary) + " { color: red }</Style>";
        break;
      case 2:
        html += "<!-- " + Token(random, vocabulary) + " -->";
        break;
      case 3:
        html += "<img alt=\"" + Token(random, vocabulary) + "\" src=" + Token(random, vocabulary) + ".gif>";
        break;
      case 4:
        html += "<a href=\"/" + Token(random, vocabulary) + "\">";
        break;
      case 5:
        html += "</a></p>\n<p class=x>";
        break;
      case 6:
        html += random.Below(2) ? "<b>" : "</b>";
        break;
      case 7:
        if (random.Below(20) == 0) html += std::string(1, '\0');
        break;
      default:
        html += Token(random, vocabulary) + Separator(random);
    }
  }
  return html;
}

}  // namespace spelling_documents
