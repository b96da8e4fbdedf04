// List view helpers that work on any list view: column alignments, the CSV export of its rows,
// and writing a text file whole.
#pragma once

#include <ostream>
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

// Where lines go as they are made: a list in memory or a file being written.
class TLineSink {
 public:
  virtual ~TLineSink() = default;
  virtual void Add(std::string_view line) = 0;
};

// Lines kept in a list.
class TLineVector : public TLineSink {
 public:
  explicit TLineVector(std::vector<std::string>& lines) : Lines_(lines) {}
  void Add(std::string_view line) override { Lines_.emplace_back(line); }

 private:
  std::vector<std::string>& Lines_;
};

// Lines written to a file as they come: each followed by CR LF, or with `separated` CR LF
// between lines only, so that the text ends with the last line.
class TLineWriter : public TLineSink {
 public:
  explicit TLineWriter(TFileWriter& out, bool separated = false) : Out_(out), Separated_(separated) {}
  void Add(std::string_view line) override;

 private:
  TFileWriter& Out_;
  bool Separated_;
  bool First_ = true;
};

// Lines written to a stream as they come, ended or separated by CR LF as TLineWriter does.
class TLineStream : public TLineSink {
 public:
  explicit TLineStream(std::ostream& out, bool separated = false) : Out_(out), Separated_(separated) {}
  void Add(std::string_view line) override;

 private:
  std::ostream& Out_;
  bool Separated_;
  bool First_ = true;
};

// A list view as its exports see it: rows of a caption and sub-item texts, each maybe selected,
// in the list's current order.
class TCustomListItems {
 public:
  virtual ~TCustomListItems() = default;
  virtual int ItemCount() const = 0;
  virtual const std::string& ItemCaption(int index) const = 0;
  virtual const std::vector<std::string>& ItemSubItems(int index) const = 0;
  virtual bool ItemSelected(int index) const = 0;
  // Whether a column (0 the caption) holds text from elsewhere rather than figures of the
  // program's own: such cells are kept from reading as spreadsheet formulas.
  virtual bool ColumnIsText(int /*column*/) const { return true; }
  // Whether the exports write a column (0 the caption, which they always write).
  virtual bool ColumnIsExported(int /*column*/) const { return true; }
};

// One CSV field: written bare, or in double quotes (inner quotes doubled) when it holds a
// blank or control character (codes 1..32), a double quote or a comma. A `text` field that
// begins with a character a spreadsheet reads as the start of a formula ("=", "+", "-", "@",
// tab, carriage return) gets the spreadsheet's text prefix "'" first.
std::string CSVField(std::string_view field, bool text = false);
// The fields quoted and joined with ","; a lone empty field gives "\"\"".
std::string CSVLine(const std::vector<std::string>& fields);
// Adds one line per visited row (caption, then the exported sub-items), no header. Text columns
// (ColumnIsText) are written as text fields.
void WriteListViewCSV(const TCustomListItems& items, TLineSink& lines, TItemStates states);
// The same lines into a file, which they replace.
void ExportListViewCSV(const TCustomListItems& items, const std::string& fileName, TItemStates states);

// The lines joined, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
