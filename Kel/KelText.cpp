#include "Kel/KelText.h"

#include <algorithm>

#include "Kel/KelStr.h"

namespace {

const char kUpperHex[] = "0123456789ABCDEF";
const char kLowerHex[] = "0123456789abcdef";

// The length of the UTF-8 sequence that starts with `lead`, 0 for a byte that starts none.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
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

bool NamesNoCharacter(uint32_t cp) { return cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF); }

// Markup escapes: "<" and ">" always, '"' for attribute values.
std::string EscapeMarkup(std::string_view text, bool quotes) {
  std::string r;
  r.reserve(text.size());
  for (char c : text) {
    if (c == '<') r += "&lt;";
    else if (c == '>') r += "&gt;";
    else if (quotes && c == '"') r += "&quot;";
    else r += c;
  }
  return r;
}

bool StartsFormula(std::string_view field) {
  if (field.empty()) return false;
  const char c = field.front();
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

}  // namespace

// --- UTF-8 ------------------------------------------------------------------------------------

void AppendUTF8(std::string& out, uint32_t cp) {
  if (NamesNoCharacter(cp)) cp = kReplacementCharacter;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

TUTF8Char DecodeUTF8(std::string_view text, size_t i) {
  TUTF8Char r;
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = SequenceLength(lead);
  if (length == 1) return {lead, 1, true, false};
  r.Length = 1;
  if (length == 0) return r;
  while (r.Length < length && i + r.Length < text.size()) {
    const unsigned char next = static_cast<unsigned char>(text[i + r.Length]);
    if (r.Length == 1 ? !ValidSecond(lead, next) : (next < 0x80 || next > 0xBF)) return r;
    ++r.Length;
  }
  if (r.Length < length) {
    r.Incomplete = true;  // the text ends inside the sequence
    return r;
  }
  uint32_t cp = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  r.CodePoint = cp;
  r.Valid = true;
  return r;
}

bool IsValidUTF8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const TUTF8Char c = DecodeUTF8(text, i);
    if (!c.Valid) return false;
    i += c.Length;
  }
  return true;
}

std::string ValidUTF8(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const TUTF8Char c = DecodeUTF8(text, i);
    if (c.Valid) r.append(text.substr(i, c.Length));
    else AppendUTF8(r, kReplacementCharacter);
    i += c.Length;
  }
  return r;
}

// --- Byte escapes -----------------------------------------------------------------------------

void AppendPercentEscape(std::string& out, unsigned char byte) {
  out += '%';
  out += kUpperHex[byte >> 4];
  out += kUpperHex[byte & 15];
}

void AppendHexEscape(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kLowerHex[byte >> 4];
  out += kLowerHex[byte & 15];
}

// --- Markup -----------------------------------------------------------------------------------

std::string EscapeHTMLText(std::string_view text) { return EscapeMarkup(text, false); }

std::string EscapeHTMLAttribute(std::string_view text) { return EscapeMarkup(text, true); }

std::string QuoteAttribute(std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == '_';
  });
  if (plain) return std::string(text);
  return "\"" + EscapeHTMLAttribute(text) + "\"";
}

std::string EscapeXMLText(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (ch == '&') r += "&amp;";
    else if (ch == '<') r += "&lt;";
    else if (ch == '>') r += "&gt;";
    else if ((c < 32 && ch != '\t' && ch != '\n' && ch != '\r') || c >= 128) AppendPercentEscape(r, c);
    else r += ch;
  }
  return r;
}

// --- JSON -------------------------------------------------------------------------------------

std::string JSONString(std::string_view text) {
  std::string r;
  r.reserve(text.size() + 2);
  r += '"';
  for (size_t i = 0; i < text.size();) {
    const TUTF8Char c = DecodeUTF8(text, i);
    const uint32_t cp = c.CodePoint;
    if (!c.Valid) {
      AppendUTF8(r, kReplacementCharacter);
    } else if (cp == '"' || cp == '\\') {
      r += '\\';
      r += static_cast<char>(cp);
    } else if (cp < 0x20 || cp == 0x7F || cp == 0x2028 || cp == 0x2029) {
      switch (cp) {
        case '\b': r += "\\b"; break;
        case '\f': r += "\\f"; break;
        case '\n': r += "\\n"; break;
        case '\r': r += "\\r"; break;
        case '\t': r += "\\t"; break;
        default:
          r += "\\u";
          for (int shift = 12; shift >= 0; shift -= 4) r += kLowerHex[(cp >> shift) & 15];
      }
    } else {
      r.append(text.substr(i, c.Length));
    }
    i += c.Length;
  }
  r += '"';
  return r;
}

// --- CSV --------------------------------------------------------------------------------------

std::string CSVField(std::string_view field, bool text) {
  if (text && StartsFormula(field)) return CSVField("'" + std::string(field), false);
  const bool quote = std::any_of(field.begin(), field.end(), [](char c) { return IsBlank(c) || c == '"' || c == ','; });
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

// --- Terminal ---------------------------------------------------------------------------------

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
    const TUTF8Char ch = DecodeUTF8(text, i);
    if (ch.Incomplete && consumed) {
      *consumed = i;  // may be completed by what comes next
      return out;
    }
    // Controls (C0, DEL and the C1 range U+0080..U+009F, CSI among them) and invalid bytes are
    // shown byte by byte.
    if (!ch.Valid || ch.CodePoint < 0xA0) {
      for (size_t k = 0; k < ch.Length; ++k) AppendHexEscape(out, static_cast<unsigned char>(text[i + k]));
    } else {
      out.append(text.substr(i, ch.Length));
    }
    i += ch.Length;
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
