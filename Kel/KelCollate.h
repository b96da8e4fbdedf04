// Ordering names (UTF-8 texts) as a person reads them: by the user's locale, ignoring case. Under
// a locale with its own collation (LC_COLLATE set to a language) the C library's collation of the
// lower-cased text decides; under the C or POSIX locale, letters with accents and ligatures sort
// as their base letters ("é" beside "e", "ß" as "ss", "Æ" as "ae"), so a non-ASCII name still
// sits among its ASCII neighbours. Texts equal by that rule keep a fixed order (by their bytes).
#pragma once

#include <string>
#include <string_view>

// A key that compares by its bytes (std::string's operator<) as the text sorts. Making it once
// per text and comparing keys is what a sort of many rows should do.
std::string CollationKey(std::string_view text);
// Negative, zero or positive as `a` sorts before, with or after `b`.
int CompareNames(std::string_view a, std::string_view b);
