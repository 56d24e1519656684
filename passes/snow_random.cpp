#include "passes/snow_random.h"

namespace ruvelo {

SnowRandom::SnowRandom(std::uint32_t seed) {
  // Seeding as srand() does: a Park–Miller sequence (Schrage's method, no overflow) fills the state,
  // then ten rounds of the generator are thrown away.
  if (seed == 0) seed = 1;
  state_[0] = static_cast<std::int32_t>(seed);
  std::int32_t word = state_[0];
  for (int i = 1; i < kDegree; ++i) {
    const std::int32_t hi = word / 127773;
    const std::int32_t lo = word % 127773;
    word = 16807 * lo - 2836 * hi;
    if (word < 0) word += 2147483647;
    state_[i] = word;
  }
  for (int i = 0; i < kDegree * 10; ++i) next();
}

int SnowRandom::next() {
  // r[i] = r[i-3] + r[i-31] (mod 2^32); the top 31 bits are the result.
  const std::uint32_t sum =
      static_cast<std::uint32_t>(state_[front_]) + static_cast<std::uint32_t>(state_[rear_]);
  state_[front_] = static_cast<std::int32_t>(sum);
  front_ = (front_ + 1) % kDegree;
  rear_ = (rear_ + 1) % kDegree;
  return static_cast<int>(sum >> 1);
}

}  // namespace ruvelo
