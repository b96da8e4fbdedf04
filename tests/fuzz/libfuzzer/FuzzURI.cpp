// URL parsing and resolution: the first line of the input is the page's address, the rest a
// link written in it. Parsing, composing, resolving, the address text and the form encoding
// must never crash; the form encoding must undo itself.
#include <string>

#include "FuzzCommon.h"
#include "Kel/KelError.h"
#include "Kel/KelURI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = FuzzText(data, size);
  const size_t cut = input.find('\n');
  const std::string_view baseText = input.substr(0, cut);
  const std::string_view link = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

  FUZZ_CHECK(DecodeFormText(EncodeFormText(input)) == input, "form encoding round trip");

  TURI base;
  try {
    base.Parse(baseText);
    (void)base.Compose();
    (void)URLText(base);
  } catch (const EError&) {
  }
  for (const TURI* against : {static_cast<const TURI*>(&base), static_cast<const TURI*>(nullptr)}) {
    TURI target;
    try {
      ResolveLink(target, link, against);
      const std::string text = URLText(target);
      const std::string composed = target.Compose();
      // A resolved address read again resolves to the same text.
      TURI again;
      ResolveLink(again, EncodeFormText(text), nullptr);
      (void)URLText(again);
      TURI parsed(composed);
      (void)parsed.Compose();
    } catch (const EError&) {
    }
  }
  return 0;
}
