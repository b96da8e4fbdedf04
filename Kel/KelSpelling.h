// The word knowledge of the spell checker: the two dictionary files and where they live, word
// lists, when a word counts as known, how a text is cut into words and which replacements are
// offered for an unknown one.
//
// Words compare without regard to letter case, folding the ASCII letters A-Z/a-z only; every
// other byte (digits, apostrophes, bytes from 128 up) compares by its value. Only ASCII letters
// and digits count as letters and digits here.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Paths;
struct Services;
}  // namespace platform

// Orders two words by the dictionary's comparison: <0, 0, >0.
int CompareWords(std::string_view a, std::string_view b);

// The up to 8 bytes of `word` from `from` on, ASCII letters in lower case, packed into a number,
// first byte lowest (zero past the end of the word).
inline uint64_t FoldedBytes(std::string_view word, size_t from) {
  static_assert(std::endian::native == std::endian::little, "the first byte must load lowest");
  uint64_t v = 0;
  if (from < word.size()) {
    // A few loads that stay inside the word, overlapping where it is short, instead of a loop.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(word.data()) + from;
    const size_t n = word.size() - from;
    if (n >= 8) {
      std::memcpy(&v, p, 8);
    } else if (n >= 4) {
      uint32_t low = 0, high = 0;
      std::memcpy(&low, p, 4);
      std::memcpy(&high, p + n - 4, 4);  // bytes n-4 .. n-1, the first of them again
      v = low | (uint64_t{high} << (8 * (n - 4)));
    } else {
      v = p[0] | (uint64_t{p[n / 2]} << (8 * (n / 2))) | (uint64_t{p[n - 1]} << (8 * (n - 1)));
    }
  }
  // Eight bytes at once: set the 0x20 bit of every byte from "A" to "Z".
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  const uint64_t low7 = v & ~kHigh;
  const uint64_t atLeastA = low7 + kOnes * (0x80 - 'A');
  const uint64_t aboveZ = low7 + kOnes * (0x80 - 'Z' - 1);
  return v | ((atLeastA & ~aboveZ & ~v & kHigh) >> 2);
}

// A list of words kept sorted at all times, without duplicates under CompareWords. Lookups are
// binary searches.
class TWordList {
 public:
  // Adds `word` unless an equal entry is present (then nothing changes); true when added.
  bool Add(std::string_view word);
  bool Contains(std::string_view word) const;
  // 0-based index of the entry equal to `word`, or -1.
  int IndexOf(std::string_view word) const;
  int Count() const { return static_cast<int>(Items_.size()); }
  bool Empty() const { return Items_.empty(); }
  const std::string& operator[](int index) const { return Items_[static_cast<size_t>(index)]; }
  std::vector<std::string>::const_iterator begin() const { return Items_.begin(); }
  std::vector<std::string>::const_iterator end() const { return Items_.end(); }
  void Clear();

  // Replaces the content by `words`: sorted once, and of equal words only the first in
  // `words` is kept.
  void Assign(std::vector<std::string> words);
  // Replaces the content by the lines of a dictionary file's text: every line is an entry,
  // exactly as written; lines end with CR LF, LF or CR; a last line without line end counts; an
  // empty line is an empty entry; the text ends at its first NUL byte.
  void SetText(std::string_view text);
  // The entries in order, each followed by CR LF.
  std::string Text() const;

  // Replaces the content by the file's lines; false, leaving the list empty, when the file
  // cannot be read.
  bool LoadFromFile(const std::string& path);
  // Writes Text() over `path`, whole: into a temporary file beside it, then renamed over it.
  // Raises EError with the system's message on failure.
  void SaveToFile(const std::string& path) const;

 private:
  // Index of the first key not below `key`.
  size_t KeyLowerBound(uint64_t key) const;
  // Index just past the entries from `first` on whose key is `key`.
  size_t TiesEnd(uint64_t key, size_t first) const;
  // Index of the first entry not ordered before `word`, whose key is `key` and whose
  // KeyLowerBound is `first`.
  size_t LowerBound(std::string_view word, uint64_t key, size_t first) const;
  // Rebuilds Buckets_ from Keys_.
  void Reindex();

  std::vector<std::string> Items_;
  // Beside each entry its bytes 1-8 and 9-16, folded, each as one big-endian number (0 past the
  // end): the binary search compares these numbers and reads the entries only where they tie.
  std::vector<uint64_t> Keys_;
  std::vector<uint64_t> Keys2_;
  // For a large list filled in one go (Assign, SetText, LoadFromFile; Add drops it): where the
  // entries of each pair of first folded bytes begin (65536 buckets and the end), so that a
  // search only probes the entries that start like the word.
  std::vector<uint32_t> Buckets_;
  bool HasNul_ = false;  // some entry holds a NUL byte: the numbers alone never decide equality
};

// A new, empty word list; the caller owns it.
std::unique_ptr<TWordList> CreateWordList();

// A word's place in the text it was split from: 1-based byte index and length in bytes.
struct TWordPosition {
  int32_t Index = 0;
  int32_t Length = 0;
  bool operator==(const TWordPosition&) const = default;
};
using TWordPositions = std::vector<TWordPosition>;

// "english.txt" in the program's folder. Nothing else is searched on this platform.
std::string MainDictionaryFile(platform::Paths& paths);
// "userdict.txt" in the folder "Quorlix" of the user's data folder, which is created (with any
// missing parents) when needed; the program's folder when there is no data folder or the
// folder cannot be created.
std::string UserDictionaryFile(platform::Paths& paths);

// A word counts as known when the list holds it; when it is shorter than 2 characters or
// starts with a digit; or when, with every character other than an ASCII letter removed, the
// list holds what remains, what remains is shorter than 2, or what remains is longer than 3,
// ends with "s" and the list holds it without that "s" (plurals, "Peter's").
bool IsKnownWord(std::string_view word, const TWordList& list);
// Known by the main list or, failing that, by the user list.
bool IsKnownInEither(std::string_view word, const TWordList& mainList, const TWordList& userList);
// Either given list (null: none) holds an entry equal to the word. No other rule applies.
bool FindInEither(std::string_view word, const TWordList* mainList, const TWordList* userList);

// Appends the position of every word of `text` (which ends at its first NUL byte). A word
// starts at a letter or digit and runs over letters, digits, "'", "-" and "_". The references
// "&nbsp;", "&quot;", "&amp;", "&reg;", "&gt;" and "&lt;" (any case) are skipped whole.
void SplitWords(std::string_view text, TWordPositions& positions);

namespace spelling_detail {

// Byte classes of the splitter.
enum : uint8_t { kWordStart = 1, kWordChar = 2 };  // letters and digits: both; "'", "-", "_": kWordChar
struct TByteClasses {
  uint8_t Of[256];
};
constexpr TByteClasses MakeByteClasses() {
  TByteClasses t{};
  for (int c = 0; c < 256; ++c) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    t.Of[c] = static_cast<uint8_t>((alnum ? kWordStart | kWordChar : 0) |
                                   (c == '\'' || c == '-' || c == '_' ? kWordChar : 0));
  }
  return t;
}
inline constexpr TByteClasses kByteClasses = MakeByteClasses();

// The length of the skipped reference at text[i] (an "&"), or 0 when none starts there.
size_t SkippedReferenceAt(std::string_view text, size_t i);

}  // namespace spelling_detail

// Calls onWord(start, length) for every word of `text` in order, cut as SplitWords cuts them;
// `start` is 0-based.
template <class F>
void ForEachWord(std::string_view text, F&& onWord) {
  using spelling_detail::kByteClasses;
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t c = kByteClasses.Of[p[i]];
    if (c & spelling_detail::kWordStart) {
      size_t j = i + 1;
      while (j < n && (kByteClasses.Of[p[j]] & spelling_detail::kWordChar)) ++j;
      onWord(i, j - i);
      i = j;
    } else if (p[i] == '&') {
      const size_t skip = spelling_detail::SkippedReferenceAt(text, i);
      i += skip ? skip : 1;
    } else {
      ++i;
    }
  }
}

// Fills `result` (emptied first) with the entries of either list one edit away from `word`:
// one letter replaced, removed or inserted, each lower-cased. Neighbours are never swapped.
void GetSuggestions(TWordList& result, std::string_view word, const TWordList* mainList, const TWordList* userList);

// The two word lists of a run of the program: loaded at start, the user list written back at
// the end. The spelling dialog and the crawl's error count both read them.
class TSpellingDictionaries {
 public:
  static constexpr const char* MissingDictionaryQuestion =
      "A required dictionary file is not installed. Would you like to install now?";

  TWordList MainList;
  TWordList UserList;
  std::string MainFile;  // where the lists were looked for by Load
  std::string UserFile;

  // Start-up: when the main dictionary is missing, asks MissingDictionaryQuestion (no installer
  // exists to hand the installation to, so either answer ends the program) and returns false:
  // the program must end. Otherwise loads both lists (an unreadable file leaves its list empty,
  // silently) and returns true. Needs services.Dirs; without services.Ask the answer is No.
  bool Load(platform::Services& services);
  // Exit: writes the user list over UserFile; a failure is ignored (false). Does nothing unless
  // Load has loaded the lists, so that an early end never empties the user's file.
  bool SaveUserList() const;
  bool Loaded() const { return Loaded_; }

 private:
  bool Loaded_ = false;
};
