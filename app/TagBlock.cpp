#include "app/TagBlock.h"

const char* const kPlaceholderTag = "QUORLIXTESSALY";

#include <string_view>

#include "Kel/KelStr.h"

namespace {
// The tag is the end tag of `name`: "/" followed by the name, ignoring case.
bool IsEndTagOf(std::string_view tagName, std::string_view name) {
  return !tagName.empty() && tagName.front() == '/' && SameText(tagName.substr(1), name);
}
}  // namespace

void THTMLFindTagBlock::DoEndTag() {
  if (IsTag(BlockTag)) {
    ++Depth;
    if (OpenStart == 0) {
      OpenStart = TagPos;
      OpenEnd = Position();
    }
  } else if (IsEndTagOf(TagName, BlockTag)) {
    --Depth;
    if (Depth == 0 && CloseStart == 0) {
      CloseStart = TagPos;
      CloseEnd = Position();
    }
  }
}

TTagBlock FindTagBlock(const std::string& document, const std::string& tag) {
  THTMLFindTagBlock finder;
  finder.BlockTag = tag;
  finder.Walk(document);
  return {finder.OpenStart, finder.OpenEnd, finder.CloseStart, finder.CloseEnd};
}

std::pair<int32_t, int32_t> GetInsertRange(const std::string& document) {
  const TTagBlock placeholder = FindTagBlock(document, kPlaceholderTag);
  if (placeholder.OpenStart > 0 && placeholder.CloseEnd > 0) return {placeholder.OpenStart, placeholder.CloseEnd};
  const TTagBlock body = FindTagBlock(document, "BODY");
  if (body.OpenStart == 0) return {0, 0};
  return {body.OpenEnd, body.OpenEnd};
}
