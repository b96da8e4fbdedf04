#include "Kel/KelSpelling.h"

#include "Kel/KelFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "platform/Platform.h"

namespace {

// The comparison's folding: ASCII letters in lower case, every other byte as it is.
struct TFoldTable {
  unsigned char Fold[256];
};

constexpr TFoldTable MakeFoldTable() {
  TFoldTable t{};
  for (int c = 0; c < 256; ++c) t.Fold[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  return t;
}

constexpr TFoldTable kChars = MakeFoldTable();

inline unsigned char U(char c) { return static_cast<unsigned char>(c); }

std::string_view UpToNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// `folder` + "/" + `name`; the bare name (relative to the current folder) without a folder.
std::string InFolder(const std::string& folder, const char* name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

int CompareWords(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = kChars.Fold[U(a[i])];
    const unsigned char y = kChars.Fold[U(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// ---------------------------------------------------------------------------------------------
// TWordList

namespace {

// Numbers that order like the word's folded bytes 1-8 (Key) and 9-16 (Key2), 0 past its end:
// words whose numbers differ compare as their numbers do.
inline uint64_t KeyOf(std::string_view word) { return __builtin_bswap64(FoldedBytes(word, 0)); }
inline uint64_t Key2Of(std::string_view word) { return __builtin_bswap64(FoldedBytes(word, 8)); }

// A word of fewer than 16 bytes without NUL bytes equals an entry without NUL bytes exactly
// when both their numbers are equal: the numbers then hold the whole word and mark its end.
bool KeysHoldWord(std::string_view word) {
  if (word.size() >= 16) return false;
  // Eight bytes at a time (folding keeps zero bytes zero and others not), those past the
  // word's end set to 0xFF first.
  const auto noZeroByte = [](uint64_t v, size_t n) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    if (n < 8) v |= ~uint64_t{0} << (8 * n);
    return ((v - kOnes) & ~v & kHigh) == 0;
  };
  const size_t n = word.size();
  return noZeroByte(FoldedBytes(word, 0), std::min<size_t>(n, 8)) &&
         (n <= 8 || noZeroByte(FoldedBytes(word, 8), n - 8));
}

// The bucket of a key: its first two folded bytes.
inline size_t BucketOf(uint64_t key) { return static_cast<size_t>(key >> 48); }
constexpr size_t kBuckets = 65536;
// Lists filled in one go from this size on keep a bucket index; the others are searched whole.
constexpr size_t kIndexedSize = 2048;

}  // namespace

void TWordList::Clear() {
  Items_.clear();
  Keys_.clear();
  Keys2_.clear();
  Buckets_.clear();
  HasNul_ = false;
}

void TWordList::Reindex() {
  Buckets_.clear();
  if (Keys_.size() < kIndexedSize) return;
  Buckets_.resize(kBuckets + 1);
  size_t i = 0;
  for (size_t b = 0; b < kBuckets; ++b) {
    Buckets_[b] = static_cast<uint32_t>(i);
    while (i < Keys_.size() && BucketOf(Keys_[i]) == b) ++i;
  }
  Buckets_[kBuckets] = static_cast<uint32_t>(Keys_.size());
}

size_t TWordList::KeyLowerBound(uint64_t key) const {
  size_t from = 0, to = Keys_.size();
  if (!Buckets_.empty()) {
    from = Buckets_[BucketOf(key)];
    to = Buckets_[BucketOf(key) + 1];
  }
  if (from == to) return from;
  // A binary search without branches (conditional moves): the probes into a large list are
  // unpredictable, and mispredicted branches would cost more than the loads. The last few keys
  // are counted in one pass, which loads them side by side instead of one after the other.
  const uint64_t* base = Keys_.data() + from;
  size_t n = to - from;
  while (n > 16) {
    const size_t half = n / 2;
    base = base[half] < key ? base + half : base;
    n -= half;
  }
  size_t below = 0;
  for (size_t i = 0; i < n; ++i) below += base[i] < key ? 1 : 0;
  return static_cast<size_t>(base - Keys_.data()) + below;
}

size_t TWordList::TiesEnd(uint64_t key, size_t first) const {
  // The entries that tie on the key are few: gallop to their end.
  const size_t rest = Keys_.size() - first;
  size_t step = 1;
  while (step < rest && Keys_[first + step] == key) step *= 2;
  const auto end = std::upper_bound(Keys_.begin() + static_cast<std::ptrdiff_t>(first + step / 2),
                                    Keys_.begin() + static_cast<std::ptrdiff_t>(first + std::min(step, rest)), key);
  return static_cast<size_t>(end - Keys_.begin());
}

size_t TWordList::LowerBound(std::string_view word, uint64_t key, size_t first) const {
  const auto at = std::lower_bound(Items_.begin() + static_cast<std::ptrdiff_t>(first),
                                   Items_.begin() + static_cast<std::ptrdiff_t>(TiesEnd(key, first)), word,
                                   [](const std::string& e, std::string_view w) { return CompareWords(e, w) < 0; });
  return static_cast<size_t>(at - Items_.begin());
}

int TWordList::IndexOf(std::string_view word) const {
  const uint64_t key = KeyOf(word);
  const size_t first = KeyLowerBound(key);
  if (!HasNul_ && KeysHoldWord(word)) {  // most words: the numbers alone decide
    if (first >= Keys_.size() || Keys_[first] != key) return -1;
    if (word.size() < 8) return static_cast<int>(first);  // the second numbers are all 0 then
    const uint64_t key2 = Key2Of(word);
    const auto end = Keys2_.begin() + static_cast<std::ptrdiff_t>(TiesEnd(key, first));
    const auto at = std::lower_bound(Keys2_.begin() + static_cast<std::ptrdiff_t>(first), end, key2);
    return at != end && *at == key2 ? static_cast<int>(at - Keys2_.begin()) : -1;
  }
  const size_t at = LowerBound(word, key, first);
  return at < Items_.size() && CompareWords(Items_[at], word) == 0 ? static_cast<int>(at) : -1;
}

bool TWordList::Contains(std::string_view word) const { return IndexOf(word) >= 0; }

bool TWordList::Add(std::string_view word) {
  const uint64_t key = KeyOf(word);
  const size_t at = LowerBound(word, key, KeyLowerBound(key));
  if (at < Items_.size() && CompareWords(Items_[at], word) == 0) return false;
  Items_.insert(Items_.begin() + static_cast<std::ptrdiff_t>(at), std::string(word));
  Keys_.insert(Keys_.begin() + static_cast<std::ptrdiff_t>(at), key);
  Keys2_.insert(Keys2_.begin() + static_cast<std::ptrdiff_t>(at), Key2Of(word));
  if (word.find('\0') != std::string_view::npos) HasNul_ = true;
  // Keeping the bucket index up to date would cost more than the insertion; the lists that
  // grow word by word are small, and the large ones are loaded in one go.
  Buckets_.clear();
  return true;
}

void TWordList::Assign(std::vector<std::string> words) {
  Clear();
  const size_t n = words.size();
  std::vector<uint64_t> keys(n);
  for (size_t i = 0; i < n; ++i) {
    keys[i] = KeyOf(words[i]);
    if (words[i].find('\0') != std::string::npos) HasNul_ = true;
  }
  // The order of the list, equal words by the order read: a stable order, sorted once.
  const auto before = [&](size_t a, size_t b) {
    if (keys[a] != keys[b]) return keys[a] < keys[b];
    const int c = CompareWords(words[a], words[b]);
    return c != 0 ? c < 0 : a < b;
  };
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  bool sorted = true;  // a shipped dictionary is in order already
  for (size_t i = 1; i < n && sorted; ++i) sorted = before(i - 1, i);
  if (!sorted) std::sort(order.begin(), order.end(), before);
  // Of equal words only the first read, which leads its run, is kept.
  Items_.reserve(n);
  Keys_.reserve(n);
  Keys2_.reserve(n);
  for (size_t i : order) {
    if (!Items_.empty() && Keys_.back() == keys[i] && CompareWords(Items_.back(), words[i]) == 0) continue;
    Items_.push_back(std::move(words[i]));
    Keys_.push_back(keys[i]);
    Keys2_.push_back(Key2Of(Items_.back()));
  }
  Reindex();
}

void TWordList::SetText(std::string_view text) {
  text = UpToNul(text);
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
    lines.emplace_back(text.substr(i, j - i));
    if (j < text.size()) j += (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ? 2 : 1;
    i = j;
  }
  Assign(std::move(lines));
}

std::string TWordList::Text() const {
  size_t size = 0;
  for (const std::string& w : Items_) size += w.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& w : Items_) {
    text += w;
    text += "\r\n";
  }
  return text;
}

bool TWordList::LoadFromFile(const std::string& path) {
  Clear();
  // Not a folder, pipe or device, and never waiting for a pipe's writer.
  struct stat info {};
  int error = 0;
  const int fd = OpenRegularFile(path, info, error);
  if (fd < 0) return false;
  bool ok = true;
  std::string text;
  if (ok) {
    text.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < text.size()) {
      const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ok = false;
      if (got <= 0) break;  // at the end early: the file shrank meanwhile, take what was there
      done += static_cast<size_t>(got);
    }
    text.resize(done);
  }
  ::close(fd);
  if (ok) SetText(text);
  return ok;
}

void TWordList::SaveToFile(const std::string& path) const { SaveTextToFile(path, Text()); }

std::unique_ptr<TWordList> CreateWordList() { return std::make_unique<TWordList>(); }

// ---------------------------------------------------------------------------------------------
// Files

std::string MainDictionaryFile(platform::Paths& paths) { return InFolder(paths.AppFolder(), "english.txt"); }

std::string UserDictionaryFile(platform::Paths& paths) {
  const std::string fallback = InFolder(paths.AppFolder(), "userdict.txt");
  const std::string data = paths.UserDataFolder();
  if (data.empty()) return fallback;
  // A missing data folder is created along with ours, as the XDG base directories prescribe:
  // the program's own folder is usually not writable for an installed program.
  const std::string folder = InFolder(data, "Quorlix");
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) return fallback;
  return InFolder(folder, "userdict.txt");
}

// ---------------------------------------------------------------------------------------------
// Words

namespace {

// Up to this length a word's letters are gathered on the stack.
constexpr size_t kShortWord = 64;

// The rules that do not read a list, and the letters of a word: true when the word is known
// whatever the lists hold (shorter than 2, a digit first, fewer than 2 letters). Otherwise
// `letters` is the word without its non-letters: the word itself when it has none, else a copy
// in `buffer` (kShortWord bytes) or, for a longer word, in `spill`.
bool KnownByForm(std::string_view word, std::string_view& letters, char* buffer, std::string& spill) {
  if (word.size() < 2 || IsAsciiDigit(word[0])) return true;
  size_t first = 0;  // the first non-letter
  while (first < word.size() && IsAsciiLetter(word[first])) ++first;
  if (first == word.size()) {
    letters = word;
    return false;
  }
  char* out = buffer;
  if (word.size() > kShortWord) {
    spill.resize(word.size());
    out = spill.data();
  }
  std::memcpy(out, word.data(), first);
  size_t count = first;
  for (size_t i = first + 1; i < word.size(); ++i)
    if (IsAsciiLetter(word[i])) out[count++] = word[i];
  letters = std::string_view(out, count);
  return count < 2;
}

// The rules that read the list, for a word that KnownByForm does not settle: the list holds the
// word, or its letters, or its letters without a final "s" when there are more than 3.
bool KnownByList(std::string_view word, std::string_view letters, const TWordList& list) {
  if (list.Empty()) return false;
  if (list.Contains(word)) return true;
  if (letters.size() != word.size() && list.Contains(letters)) return true;
  if (letters.size() > 3 && (letters.back() == 's' || letters.back() == 'S'))
    return list.Contains(letters.substr(0, letters.size() - 1));
  return false;
}

}  // namespace

bool IsKnownWord(std::string_view word, const TWordList& list) {
  // The rules' order does not change the answer: those that need no list go first.
  char buffer[kShortWord];
  std::string spill;
  std::string_view letters;
  return KnownByForm(word, letters, buffer, spill) || KnownByList(word, letters, list);
}

bool IsKnownInEither(std::string_view word, const TWordList& mainList, const TWordList& userList) {
  // The rules that need no list hold for both lists alike: decided once.
  char buffer[kShortWord];
  std::string spill;
  std::string_view letters;
  return KnownByForm(word, letters, buffer, spill) || KnownByList(word, letters, mainList) ||
         KnownByList(word, letters, userList);
}

bool FindInEither(std::string_view word, const TWordList* mainList, const TWordList* userList) {
  return (mainList && mainList->Contains(word)) || (userList && userList->Contains(word));
}

size_t spelling_detail::SkippedReferenceAt(std::string_view text, size_t i) {
  // Each skipped reference ends with its ";": skipping it skips up to the next ";".
  if (text.size() - i < 4) return 0;  // "&gt;" is the shortest
  std::string_view reference;
  switch (text[i + 1] | 0x20) {  // the letter after "&", either case; no other byte maps to one
    case 'n':
      reference = "&nbsp;";
      break;
    case 'q':
      reference = "&quot;";
      break;
    case 'a':
      reference = "&amp;";
      break;
    case 'r':
      reference = "&reg;";
      break;
    case 'g':
      reference = "&gt;";
      break;
    case 'l':
      reference = "&lt;";
      break;
    default:
      return 0;
  }
  if (text.size() - i < reference.size()) return 0;
  for (size_t k = 2; k < reference.size(); ++k)
    if (kChars.Fold[U(text[i + k])] != U(reference[k])) return 0;
  return reference.size();
}

void SplitWords(std::string_view text, TWordPositions& positions) {
  ForEachWord(text, [&](size_t start, size_t length) {
    positions.push_back({static_cast<int32_t>(start + 1), static_cast<int32_t>(length)});
  });
}

void GetSuggestions(TWordList& result, std::string_view word, const TWordList* mainList, const TWordList* userList) {
  result.Clear();
  const auto offer = [&](const std::string& candidate) {
    if (FindInEither(candidate, mainList, userList)) result.Add(LowerCase(candidate));
  };
  const size_t n = word.size();
  std::string candidate;
  for (size_t i = 0; i < n; ++i)  // one letter replaced
    for (char c = 'a'; c <= 'z'; ++c) {
      candidate.assign(word);
      candidate[i] = c;
      offer(candidate);
    }
  for (size_t i = 0; i < n; ++i) {  // one letter removed
    candidate.assign(word);
    candidate.erase(i, 1);
    offer(candidate);
  }
  for (size_t i = 0; i <= n; ++i)  // one letter inserted, at the end too
    for (char c = 'a'; c <= 'z'; ++c) {
      candidate.assign(word);
      candidate.insert(candidate.begin() + static_cast<std::ptrdiff_t>(i), c);
      offer(candidate);
    }
}

// ---------------------------------------------------------------------------------------------
// TSpellingDictionaries

bool TSpellingDictionaries::Load(platform::Services& services) {
  KelAssert(services.Dirs, "TSpellingDictionaries.Load needs the program's folders");
  MainList.Clear();
  UserList.Clear();
  Loaded_ = false;
  MainFile = MainDictionaryFile(*services.Dirs);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(MainFile, ec)) {
    // There is no installer to hand the dictionary to: either answer ends the program.
    if (services.Ask) services.Ask->AskYesNo(MissingDictionaryQuestion);
    return false;
  }
  UserFile = UserDictionaryFile(*services.Dirs);
  MainList.LoadFromFile(MainFile);
  UserList.LoadFromFile(UserFile);
  Loaded_ = true;
  return true;
}

bool TSpellingDictionaries::SaveUserList() const {
  if (!Loaded_) return false;
  try {
    UserList.SaveToFile(UserFile);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
