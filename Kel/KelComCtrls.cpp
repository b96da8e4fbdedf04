#include "Kel/KelComCtrls.h"

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

const char* AlignmentName(TAlignment alignment) {
  switch (alignment) {
    case TAlignment::taRightJustify:
      return "right";
    case TAlignment::taCenter:
      return "center";
    case TAlignment::taLeftJustify:
      break;
  }
  return "left";
}

std::string CSVField(std::string_view field) {
  bool quote = false;
  for (char c : field)
    if (IsBlank(c) || c == '"' || c == ',') {
      quote = true;
      break;
    }
  if (!quote) return std::string(field);
  std::string r = "\"";
  for (char c : field) {
    if (c == '"') r += '"';
    r += c;
  }
  r += '"';
  return r;
}

std::string CSVLine(const std::vector<std::string>& fields) {
  if (fields.size() == 1 && fields[0].empty()) return "\"\"";
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CSVField(fields[i]);
  }
  return line;
}

void ExportListViewCSV(const TCustomListItems& items, const std::string& fileName, TItemStates states) {
  std::vector<std::string> lines;
  for (int i = 0; i < items.ItemCount(); ++i) {
    if ((states & isSelected) && !items.ItemSelected(i)) continue;
    std::vector<std::string> fields{items.ItemCaption(i)};
    const auto& sub = items.ItemSubItems(i);
    fields.insert(fields.end(), sub.begin(), sub.end());
    lines.push_back(CSVLine(fields));
  }
  SaveTextToFile(fileName, JoinLines(lines));
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const auto& l : lines) size += l.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}
