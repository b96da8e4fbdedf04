#include "tools/TerminalText.h"

namespace {

const char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string& out, unsigned char c) {
  out += "\\x";
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// The length of the UTF-8 sequence that starts with `lead`, 0 for a byte that starts none.
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether `c` may follow `lead` as the sequence's second byte (no overlong forms, surrogates
// or code points beyond U+10FFFF); later bytes are any continuation byte.
bool ValidSecond(unsigned char lead, unsigned char c) {
  switch (lead) {
    case 0xE0:
      return c >= 0xA0 && c <= 0xBF;
    case 0xED:
      return c >= 0x80 && c <= 0x9F;
    case 0xF0:
      return c >= 0x90 && c <= 0xBF;
    case 0xF4:
      return c >= 0x80 && c <= 0x8F;
    default:
      return c >= 0x80 && c <= 0xBF;
  }
}

}  // namespace

std::string TerminalText(std::string_view text, size_t* consumed) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n' || (c >= 0x20 && c < 0x7F)) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t length = SequenceLength(c);
    if (length == 0) {
      AppendEscaped(out, c);
      ++i;
      continue;
    }
    size_t valid = 1;  // bytes of the sequence that fit so far
    while (valid < length && i + valid < text.size()) {
      const unsigned char next = static_cast<unsigned char>(text[i + valid]);
      if (valid == 1 ? !ValidSecond(c, next) : (next < 0x80 || next > 0xBF)) break;
      ++valid;
    }
    if (valid < length && i + valid == text.size() && consumed) {
      *consumed = i;  // may be completed by what comes next
      return out;
    }
    if (valid < length) {
      AppendEscaped(out, c);
      ++i;
      continue;
    }
    const unsigned char second = static_cast<unsigned char>(text[i + 1]);
    if (c == 0xC2 && second < 0xA0) {
      // U+0080..U+009F: the C1 controls, CSI (U+009B) among them.
      AppendEscaped(out, c);
      AppendEscaped(out, second);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  if (consumed) *consumed = text.size();
  return out;
}

TTerminalFilter::~TTerminalFilter() { Emit(true); }

TTerminalFilter::int_type TTerminalFilter::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  Pending_ += traits_type::to_char_type(c);
  if (c == '\n' || Pending_.size() >= 4096) Emit(false);
  return c;
}

std::streamsize TTerminalFilter::xsputn(const char* s, std::streamsize n) {
  Pending_.append(s, static_cast<size_t>(n));
  if (Pending_.size() >= 4096 || Pending_.find('\n') != std::string::npos) Emit(false);
  return n;
}

int TTerminalFilter::sync() {
  Emit(false);
  return Out_->pubsync();
}

void TTerminalFilter::Emit(bool final) {
  if (Pending_.empty()) return;
  size_t consumed = 0;
  const std::string shown = TerminalText(Pending_, final ? nullptr : &consumed);
  if (final) consumed = Pending_.size();
  Out_->sputn(shown.data(), static_cast<std::streamsize>(shown.size()));
  Pending_.erase(0, consumed);
  if (final) Out_->pubsync();
}
