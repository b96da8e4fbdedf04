// The translation store of "lang.txt": any text loads; every text escapes and unescapes back to
// itself; a lookup gives a text or the error "Numeric constant too large.", nothing else.
#include <string>

#include "FuzzCommon.h"
#include "Kel/KelError.h"
#include "Kel/KelTranslate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = FuzzText(data, size);
  const std::string text(input);
  FUZZ_CHECK(UnescapeText(EscapeText(text)) == text, "unescaping an escaped text gives it back");
  try {
    UnescapeText(text);
  } catch (const EError& e) {
    FUZZ_CHECK(std::string(e.what()) == "Numeric constant too large.", "the one error of unescaping");
  }
  TTranslationStore store;
  store.LoadFromText(input);
  // Look up the English texts of the input's own lines.
  size_t start = 0;
  while (start < input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view line = input.substr(start, end - start);
    if (line.size() > 2 && line.substr(0, 2) == "E=") {
      try {
        store.Translate(std::string(line.substr(2)), "TFormTessaly");
      } catch (const EError& e) {
        FUZZ_CHECK(std::string(e.what()) == "Numeric constant too large.", "the one error of a lookup");
      }
    }
    start = end + 1;
  }
  return 0;
}
