// Shared by the libFuzzer targets: the input as text, and a check that stops the run with a
// message when a property of the program does not hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

inline std::string_view FuzzText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

#define FUZZ_CHECK(condition, what)                                         \
  do {                                                                      \
    if (!(condition)) {                                                     \
      std::fprintf(stderr, "property failed: %s (%s)\n", what, #condition); \
      std::abort();                                                         \
    }                                                                       \
  } while (false)
