// List view helpers that work on any list view: column alignments, the CSV export of its rows,
// and writing a text file whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Kel/KelFiles.h"

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// "left", "right" or "center": the alignment as HTML names it.
const char* AlignmentName(TAlignment alignment);

// Which rows an export visits: every row (isNone), or only the selected ones.
using TItemStates = unsigned;
constexpr TItemStates isNone = 0;
constexpr TItemStates isSelected = 1;

// A list view as its exports see it: rows of a caption and sub-item texts, each maybe selected,
// in the list's current order.
class TCustomListItems {
 public:
  virtual ~TCustomListItems() = default;
  virtual int ItemCount() const = 0;
  virtual const std::string& ItemCaption(int index) const = 0;
  virtual const std::vector<std::string>& ItemSubItems(int index) const = 0;
  virtual bool ItemSelected(int index) const = 0;
};

// One CSV field: written bare, or in double quotes (inner quotes doubled) when it holds a
// blank or control character (codes 1..32), a double quote or a comma.
std::string CSVField(std::string_view field);
// The fields quoted and joined with ","; a lone empty field gives "\"\"".
std::string CSVLine(const std::vector<std::string>& fields);
// Writes one line per visited row (caption, then sub-items), no header; replaces the file.
void ExportListViewCSV(const TCustomListItems& items, const std::string& fileName, TItemStates states);

// The lines joined, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
