// A small, fast and repeatable random generator (xorshift64) for generated test and benchmark
// documents: the same state gives the same sequence on every machine.
#pragma once

#include <cstddef>
#include <cstdint>

class TestRandom {
 public:
  // `state` must not be 0.
  explicit TestRandom(uint64_t state) : s_(state) {}
  // A state spread from a small seed (0, 1, 2, ...).
  static TestRandom FromSeed(uint64_t seed) { return TestRandom(seed * 0x9E3779B97F4A7C15ull + 1); }

  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return static_cast<uint32_t>(s_ >> 11);
  }
  // A number from 0 to n - 1.
  size_t Below(size_t n) { return Next() % n; }

 private:
  uint64_t s_;
};
