// Test-only, preloaded into the game: draws from the C library's rand() as many times as
// RUVELO_TEST_RAND_DRAWS says before main runs, as a library loaded at start-up may do.
#include <cstdlib>

namespace {

__attribute__((constructor)) void drawFromRand() {
  const char* count = std::getenv("RUVELO_TEST_RAND_DRAWS");
  if (count == nullptr) return;
  for (long n = std::strtol(count, nullptr, 10); n > 0; --n) static_cast<void>(std::rand());
}

}  // namespace
