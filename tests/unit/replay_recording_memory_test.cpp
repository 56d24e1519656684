// The decoder's memory, counted by replacing the allocator of this test program: a crafted file of
// one-byte events is refused within the bound instead of taking forty times its size, and a long
// real-shaped recording still decodes.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "replay/recording.h"

namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

void* counted(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  const std::size_t live = gLive += malloc_usable_size(p);
  std::size_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
  return p;
}

void released(void* p) {
  if (!p) return;
  gLive -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

// The sanitizers count memory their own way; the normal build counts it here.
#ifndef RUVELO_SANITIZED
void* operator new(std::size_t size) {
  return counted(size);
}
void* operator new[](std::size_t size) {
  return counted(size);
}
void operator delete(void* p) noexcept {
  released(p);
}
void operator delete[](void* p) noexcept {
  released(p);
}
void operator delete(void* p, std::size_t) noexcept {
  released(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  released(p);
}
#endif

namespace ruvelo {
namespace {

// The most the decoder may hold for `bytes` of input beyond the input itself.
std::size_t bound(std::size_t bytes) {
  return kDecodeBytesPerFileByte * bytes + kDecodeAllowanceBytes;
}

// Peak memory above what was live before, while decoding `bytes`.
std::size_t decodePeak(const std::string& bytes, bool& decoded, std::string& why) {
  Recording out;
  const std::size_t before = gLive.load();
  gPeak = before;
  decoded = decodeRecording(bytes, out, why);
  return gPeak.load() - before;
}

std::string withEnd(std::string bytes, std::size_t frames) {
  Hash64 sum;
  sum.bytes(bytes);
  return bytes + encodeEnd(frames, 0, sum);
}

TEST(RecordingMemory, ACraftedFileOfOneByteEventsStaysWithinTheBound) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "the normal build counts memory";
#endif
  // 16 MiB of frames, each the most events a frame may hold, every event one byte (a camera toggle).
  std::string bytes = encodeHeader(RecordingHeader());
  std::size_t frames = 0;
  const std::string frame =
      std::string("\x01\0\0\0\0\0\0", 7) + static_cast<char>(kMaxEventsPerFrame & 0xff) +
      static_cast<char>(kMaxEventsPerFrame >> 8) + std::string(kMaxEventsPerFrame, '\x03');
  while (bytes.size() < 16u * 1024 * 1024) {
    bytes += frame;
    ++frames;
  }
  bytes = withEnd(bytes, frames);
  bool decoded = true;
  std::string why;
  const std::size_t peak = decodePeak(bytes, decoded, why);
  EXPECT_FALSE(decoded);
  EXPECT_NE(why.find("too many frames and events"), std::string::npos) << why;
  EXPECT_LE(peak, bound(bytes.size())) << "peak " << peak / (1024 * 1024) << " MiB";
  std::printf("crafted recording of %zu bytes: decoder peak %zu MiB (bound %zu MiB)\n", bytes.size(),
              peak / (1024 * 1024), bound(bytes.size()) / (1024 * 1024));

  // A frame with one event more than a frame may hold is refused by itself.
  std::string tooMany = encodeHeader(RecordingHeader()) + std::string("\x01\0\0\0\0\0\0", 7);
  tooMany += static_cast<char>((kMaxEventsPerFrame + 1) & 0xff);
  tooMany += static_cast<char>((kMaxEventsPerFrame + 1) >> 8);
  tooMany += std::string(kMaxEventsPerFrame + 1, '\x03');
  Recording out;
  EXPECT_FALSE(decodeRecording(withEnd(tooMany, 1), out, why));
  EXPECT_EQ(why, "damaged at frame 1 (event count)");
}

TEST(RecordingMemory, HoursOfPlayAndOfTheResultScreenStillDecode) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "the normal build counts memory";
#endif
  // An hour of driving (a pose every frame, a few key events) then an hour on the result screen.
  Recording r;
  for (long i = 1; i <= 2 * 216000; ++i) {
    RecordedFrame f;
    f.dt = 1.0f / 60.0f;
    if (i <= 216000) {
      f.drive = kDriveForward;
      f.pose = RecordedPose{glm::vec3(static_cast<float>(i), 0.0f, 0.0f), glm::quat(1.0f, 0.0f, 0.0f, 0.0f)};
      if (i % 100 == 0) f.events.push_back(RecordedEvent{RecordedEvent::Type::Key, 87, 1, 0.0, 0.0, false});
    }
    if (i % kStateHashInterval == 0) f.stateHash = static_cast<std::uint64_t>(i);
    r.frames.push_back(std::move(f));
  }
  const std::string bytes = encodeRecording(r);
  r = Recording();
  bool decoded = false;
  std::string why;
  const std::size_t peak = decodePeak(bytes, decoded, why);
  EXPECT_TRUE(decoded) << why;
  EXPECT_LE(peak, bound(bytes.size()));
}

}  // namespace
}  // namespace ruvelo
