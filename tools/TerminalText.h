// What tessaly-crawl prints passes through here: addresses, status lines and page texts come
// from the sites crawled, and an escape sequence among them must not retitle the terminal or
// clear the screen.
#pragma once

#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

// The text with every control character shown as "\xHH" (lower-case hex): C0 controls except
// the line feed, DEL, C1 controls written in UTF-8 (U+0080..U+009F), and every byte that is not
// part of a valid UTF-8 sequence. Printable ASCII and valid UTF-8 stay as they are. With
// `consumed`, an incomplete UTF-8 sequence at the very end is left unread (its start is stored
// there) so that it can be completed by what follows; otherwise it is escaped.
std::string TerminalText(std::string_view text, size_t* consumed = nullptr);

// A stream buffer that passes everything written to it through TerminalText on its way to
// `out`. Install it on std::cout and std::cerr; the progress line writes its own cursor
// controls to the buffer underneath.
class TTerminalFilter : public std::streambuf {
 public:
  explicit TTerminalFilter(std::streambuf* out) : Out_(out) {}
  ~TTerminalFilter() override;
  TTerminalFilter(const TTerminalFilter&) = delete;
  TTerminalFilter& operator=(const TTerminalFilter&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Emit(bool final);
  std::streambuf* Out_;
  std::string Pending_;
};
