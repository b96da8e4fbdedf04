// The translation store: English texts and their translations by section, read from
// "lang.txt". Sections are the class names of windows ("TFormTessaly"), "Application" for the
// application title and "STRING_TABLE" for texts built at run time. Keys and values are held
// escaped (control characters, quotes and backslashes written as C escapes); keys compare
// without regard to letter case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

// "\a\b\t\n\v\f\r" for codes 7 to 13, \" and \\, "\xNN" for other codes below 32.
std::string EscapeText(std::string_view text);
// The reverse; also accepts \' and \?, one to three octal digits and one or two hex digits after
// \x. A backslash before any other character, or at the end, stays. Raises EError "Numeric
// constant too large." for a numeric escape above 255.
std::string UnescapeText(std::string_view text);

class TTranslationStore {
 public:
  // Reads "lang.txt" text line by line: "<" lines select the section, "E=" the English text,
  // "T=" the translation, which stores the pair (unless either is empty or the translation is
  // "*") and forgets both. Other lines are ignored.
  void LoadFromText(std::string_view text);
  // False (store unchanged) when the file cannot be read.
  bool LoadFromFile(const std::string& fileName);
  void Clear() { Sections_.clear(); }

  // The translation of `text` in `section`, or `text` itself.
  std::string Translate(const std::string& text, const std::string& section) const;
  size_t Count() const;
  bool Empty() const { return Count() == 0; }

 private:
  // lower-case section -> lower-case escaped English -> escaped translation
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> Sections_;
};

// The texts the program builds at run time (captions that change, status texts, messages) are
// looked up in the "STRING_TABLE" section of one store, set by the desktop program once it has
// read "lang.txt". Without a store (the command-line tool, the tests of the core) they stay
// English. The store must outlive its use; it is only read once set, from any thread.
void SetRunTimeTexts(const TTranslationStore* store);
const TTranslationStore* RunTimeTexts();
// Translate(text, "STRING_TABLE") from the run-time store, or `text` itself.
std::string RunTimeText(const std::string& text);
// The translation of a printf format, used only when its conversions are the English format's,
// in the same order (so a faulty translation cannot misread the arguments); else the format.
std::string RunTimeFormat(const char* format);
// Whether two printf formats take the same arguments: the same conversions in the same order,
// none of them "%n" or positional.
bool SameConversions(std::string_view a, std::string_view b);
// Looks the format up, then formats: Format(RunTimeFormat(format), ...).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
