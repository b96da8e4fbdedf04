// Writes the manual page tessaly-crawl(1): the page's own text comes from a template whose line
// kOptionsLine is replaced by the options, read from the same table as the parser and --help, so
// the manual cannot drift from the program.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/CrawlOptions.h"

namespace {

const char* const kOptionsLine = ".\\\" The options, written from the option table";

// Text as roff reads it: backslashes doubled, every "-" a minus sign (so options can be copied
// and searched), and a line that would start with "." or "'" guarded.
std::string Roff(std::string_view text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string OptionsSection() {
  std::string out;
  for (const CrawlOption& option : CrawlOptionTable()) {
    out += ".TP\n\\fB" + Roff(option.Name) + "\\fR";
    if (!option.Alias.empty()) out += ", \\fB" + Roff(option.Alias) + "\\fR";
    if (!option.Argument.empty()) out += " \\fI" + Roff(option.Argument) + "\\fR";
    out += "\n";
    // The help's line breaks are only there for the terminal's width: the manual fills its own.
    std::string help(option.Help);
    for (char& c : help)
      if (c == '\n') c = ' ';
    std::string sentence = Roff(help);
    if (!sentence.empty()) sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    out += sentence + ".\n";
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tessaly-crawl-manpage TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "tessaly-crawl-manpage: cannot read " << argv[1] << "\n";
    return 2;
  }
  std::ostringstream page;
  std::string line;
  while (std::getline(in, line)) {
    if (line == kOptionsLine)
      page << OptionsSection();
    else
      page << line << "\n";
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << page.str();
  out.close();
  if (!out) {
    std::cerr << "tessaly-crawl-manpage: cannot write " << argv[2] << "\n";
    return 2;
  }
  return 0;
}
