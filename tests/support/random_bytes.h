#pragma once
// Reproducible file contents for transfer tests: every byte value occurs, zero bytes and
// line ends included.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace corvane::test {

inline std::string random_bytes(std::size_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(rng() & 0xFF);
  return out;
}

}  // namespace corvane::test
