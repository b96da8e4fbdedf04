// Texts a map keeps once per address, in 8 bytes instead of a string's 32. They read as a
// `const std::string&` and assign from any text, so a field can change type without its readers.
//   TSharedText: equal texts share one copy from a process-wide pool (answer lines, content types
//   and server names repeat across a site). Past kMaxPooledTexts different texts, a text gets
//   a copy of its own, so a server answering with endless different lines costs what it did.
//   TOwnText: a copy of its own, nothing at all when empty (fields most addresses leave empty).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

constexpr size_t kMaxPooledTexts = 4096;

namespace kel_detail {
// The pooled copy of `text`, or null when the pool is full and does not hold it. Thread-safe;
// pooled texts live as long as the process.
const std::string* PooledText(std::string_view text);
const std::string& EmptyText();
}  // namespace kel_detail

template <bool Shared>
class TCompactText {
 public:
  TCompactText() = default;
  TCompactText(std::string_view text) { Assign(text); }  // NOLINT: a text reads as any text
  TCompactText(const std::string& text) { Assign(text); }  // NOLINT
  TCompactText(const char* text) { Assign(text); }  // NOLINT
  TCompactText(const TCompactText& other) { Assign(other.str()); }
  TCompactText(TCompactText&& other) noexcept : Bits_(other.Bits_) { other.Bits_ = 0; }
  TCompactText& operator=(const TCompactText& other) {
    if (this != &other) Assign(other.str());
    return *this;
  }
  TCompactText& operator=(TCompactText&& other) noexcept {
    if (this != &other) {
      Release();
      Bits_ = other.Bits_;
      other.Bits_ = 0;
    }
    return *this;
  }
  TCompactText& operator=(std::string_view text) { return Assign(text); }
  TCompactText& operator=(const std::string& text) { return Assign(text); }
  TCompactText& operator=(const char* text) { return Assign(text); }
  ~TCompactText() { Release(); }

  const std::string& str() const { return Bits_ ? *Text() : kel_detail::EmptyText(); }
  operator const std::string&() const { return str(); }  // NOLINT
  operator std::string_view() const { return str(); }    // NOLINT
  bool empty() const { return str().empty(); }
  size_t size() const { return str().size(); }
  const char* c_str() const { return str().c_str(); }
  void clear() { Release(); }

  friend bool operator==(const TCompactText& a, std::string_view b) { return a.str() == b; }
  friend bool operator==(const TCompactText& a, const std::string& b) { return a.str() == b; }
  friend bool operator==(const TCompactText& a, const char* b) { return a.str() == b; }
  friend bool operator==(const TCompactText& a, const TCompactText& b) { return a.str() == b.str(); }
  friend std::string operator+(std::string a, const TCompactText& b) { return a.append(b.str()); }
  friend std::string operator+(const TCompactText& a, std::string_view b) { return std::string(a.str()).append(b); }
  friend std::ostream& operator<<(std::ostream& out, const TCompactText& t) { return out << t.str(); }

 private:
  static constexpr uintptr_t kOwned = 1;  // the low bit: the copy is this text's own
  const std::string* Text() const { return reinterpret_cast<const std::string*>(Bits_ & ~kOwned); }

  TCompactText& Assign(std::string_view text) {
    uintptr_t bits = 0;
    if (!text.empty()) {
      const std::string* pooled = Shared ? kel_detail::PooledText(text) : nullptr;
      bits = pooled ? reinterpret_cast<uintptr_t>(pooled)
                    : reinterpret_cast<uintptr_t>(new std::string(text)) | kOwned;
    }
    Release();
    Bits_ = bits;
    return *this;
  }
  void Release() {
    if (Bits_ & kOwned) delete Text();
    Bits_ = 0;
  }

  uintptr_t Bits_ = 0;
};

using TSharedText = TCompactText<true>;
using TOwnText = TCompactText<false>;
