// One frame of the sound on the loopback device: the mix's per-frame work (gains, pitches, positions,
// events) alone, and with the rendering of a 60 Hz frame's samples, with the heap allocations per frame.
#include "audio/audio_system.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>

// Every heap allocation of the process, the audio library's included (it is C and calls malloc, not
// operator new), counted on its way to glibc's allocator.
namespace {
std::atomic<long> allocations{0};
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  *out = __libc_memalign(alignment, size);
  return *out ? 0 : ENOMEM;
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, size);
}
}

namespace {

using namespace ruvelo::audio;

// A frame of a lively drive: the engine sweeping, the tyres sliding, now and then an impact and an event.
AudioFrame driveFrame(long i, float dt) {
  AudioFrame f;
  f.dt = dt;
  f.engineRpm = 1500.0f + 2500.0f * (0.5f + 0.5f * std::sin(static_cast<float>(i) * 0.01f));
  f.engineThrottle = (i / 90) % 2 ? 1.0f : 0.0f;
  f.gear = 2 + static_cast<int>((i / 200) % 4);
  for (int w = 0; w < 4; ++w)
    f.wheels[w] = {0.3f * std::sin(static_cast<float>(i + w) * 0.05f), 0.1f, 3.0f, true};
  f.scrapeSpeed = (i / 120) % 3 == 0 ? 4.0f : 0.0f;
  f.vehiclePosition = {static_cast<float>(i) * 0.3f, 3.0f, 0.0f};
  f.listenerPosition = f.vehiclePosition + glm::vec3(0.0f, 3.0f, -15.0f);
  f.listenerFront = {0.0f, 0.0f, 1.0f};
  f.pickup = i % 240 == 0;
  f.delivery = i % 480 == 0;
  f.lowPower = true;
  if (i % 50 == 0) {
    f.impactCount = 1;
    f.impacts[0] = {static_cast<uint64_t>(i % 3), 4.0f};
  }
  return f;
}

void run(benchmark::State& st, bool renderEachFrame) {
  AudioSystem sound(Backend::Loopback);
  if (!sound.on()) {
    st.SkipWithError(sound.offReason().c_str());
    return;
  }
  long i = 0;
  // Warm up: every source has played once and OpenAL's property pools are full.
  for (; i < 600; ++i) sound.update(driveFrame(i, 1.0f / 60.0f));
  const long before = allocations.load();
  for (auto _ : st) {
    ++i;
    // A frame of no time renders nothing: the mix's own work alone. The frame after it renders
    // the time of both, so the property updates are taken up by the mixer as in the game.
    sound.update(driveFrame(i, renderEachFrame ? 1.0f / 60.0f : 0.0f));
    if (!renderEachFrame) {
      st.PauseTiming();
      sound.update(driveFrame(i, 1.0f / 60.0f));
      st.ResumeTiming();
    }
  }
  st.counters["allocations_per_frame"] = benchmark::Counter(static_cast<double>(allocations.load() - before) /
                                                            static_cast<double>(st.iterations()));
}

void audioMixFrame(benchmark::State& st) {
  run(st, false);
}
void audioMixAndRender60HzFrame(benchmark::State& st) {
  run(st, true);
}
BENCHMARK(audioMixFrame);
BENCHMARK(audioMixAndRender60HzFrame);

}  // namespace
