// The snow's own random numbers: the C library's additive generator (glibc's rand() with its
// default 128-byte state) kept privately, so that no library calling rand() on any thread can
// move the snow to other frames. Seeded with 1 it gives exactly the sequence of an unseeded rand().
#pragma once

#include <cstdint>

namespace ruvelo {

class SnowRandom {
 public:
  explicit SnowRandom(std::uint32_t seed = 1);

  // The next number in 0..2^31-1, as rand() would return it.
  int next();

 private:
  static constexpr int kDegree = 31;     // state words
  static constexpr int kSeparation = 3;  // distance between the two taps
  std::int32_t state_[kDegree];
  int front_ = kSeparation;
  int rear_ = 0;
};

}  // namespace ruvelo
