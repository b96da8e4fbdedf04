#include "app/ListFilter.h"

#include <algorithm>

#include "Kel/KelStr.h"
#include "Kel/KelURI.h"
#include "app/NodeList.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `haystack` holds `needle` (already in lower case), ignoring the case of ASCII letters.
bool ContainsLower(const std::string& haystack, const std::string& needle) {
  if (needle.size() > haystack.size()) return false;
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char h, char n) { return Lower(h) == n; }) != haystack.end();
}

}  // namespace

TAnswerClass AnswerClassOf(const TSpiderNode& node) {
  const int32_t code = node.ResponseCode;
  if (code == 0 || IsSpecialScheme(node.Address().Protocol())) return acNone;
  if (node.IsRedirectFailure()) return acFailed;
  if (code >= 200 && code < 300) return ac2xx;
  if (code >= 300 && code < 400) return ac3xx;
  if (code >= 400 && code < 500) return ac4xx;
  if (code >= 500 && code < 600) return ac5xx;
  return acFailed;  // -1, or a status line the server made up
}

void TListFilter::SetText(const std::string& text) {
  Text_ = text;
  Needle_ = Trim(text);
  for (char& c : Needle_) c = Lower(c);
}

bool TListFilter::Matches(const TListRow& row) const {
  if (Classes_ != acNone) {
    const TSpiderNode* node = row.Entry ? NodeOf(row.Entry) : nullptr;
    if (!node || !(AnswerClassOf(*node) & Classes_)) return false;
  }
  if (Needle_.empty()) return true;
  for (int column = 0; column < lcCount; ++column) {
    if (column == lcName) {
      if (ContainsLower(row.Caption, Needle_)) return true;
      continue;
    }
    if (row.Filled()) {
      if (ContainsLower(row.Cells[static_cast<size_t>(column - 1)], Needle_)) return true;
      continue;
    }
    if (ContainsLower(ListCellText(row, column), Needle_)) return true;
  }
  return false;
}
