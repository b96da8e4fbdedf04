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

void TLineWriter::Add(std::string_view line) {
  if (Separated_ && !First_) Out_.Write("\r\n");
  Out_.Write(line);
  if (!Separated_) Out_.Write("\r\n");
  First_ = false;
}

void TLineStream::Add(std::string_view line) {
  if (Separated_ && !First_) Out_ << "\r\n";
  Out_ << line;
  if (!Separated_) Out_ << "\r\n";
  First_ = false;
}

namespace {
bool StartsFormula(std::string_view field) {
  if (field.empty()) return false;
  const char c = field.front();
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}
}  // namespace

std::string CSVField(std::string_view field, bool text) {
  if (text && StartsFormula(field)) return CSVField("'" + std::string(field), false);
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

void WriteListViewCSV(const TCustomListItems& items, TLineSink& lines, TItemStates states) {
  for (int i = 0; i < items.ItemCount(); ++i) {
    if ((states & isSelected) && !items.ItemSelected(i)) continue;
    const std::string& caption = items.ItemCaption(i);
    const auto& sub = items.ItemSubItems(i);
    if (sub.empty() && caption.empty()) {
      lines.Add("\"\"");
      continue;
    }
    std::string line = CSVField(caption, items.ColumnIsText(0));
    for (size_t k = 0; k < sub.size(); ++k) {
      const int column = static_cast<int>(k) + 1;
      if (!items.ColumnIsExported(column)) continue;
      line += ',';
      line += CSVField(sub[k], items.ColumnIsText(column));
    }
    lines.Add(line);
  }
}

void ExportListViewCSV(const TCustomListItems& items, const std::string& fileName, TItemStates states) {
  TFileReplacement file(fileName);
  TFileWriter out(file);
  TLineWriter lines(out);
  WriteListViewCSV(items, lines, states);
  out.Flush();
  file.Commit();
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
