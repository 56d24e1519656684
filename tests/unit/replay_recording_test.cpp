#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "input/controls.h"
#include "replay/recording.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

// A recording with every kind of field, at random.
Recording randomRecording(std::mt19937& rng, int frames) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> small(0, 3);
  Recording r;
  r.header.gameVersion = "1.2.3";
  r.header.build = "abc123";
  r.header.dataHash = 0x0123456789abcdefull;
  r.header.width = 320;
  r.header.height = 240;
  r.header.autopilot = true;
  for (int i = 0; i < frames; ++i) {
    RecordedFrame f;
    f.dt = unit(rng) * 0.25f;
    f.held = static_cast<std::uint8_t>(rng() & 0x7f);
    for (int e = small(rng); e > 0; --e) {
      RecordedEvent event;
      event.type = static_cast<RecordedEvent::Type>(rng() % 6);
      if (event.type == RecordedEvent::Type::Action) {
        event.key = static_cast<int>(rng() % kActionCount);
      } else if (event.type == RecordedEvent::Type::Key) {
        event.key = static_cast<int>(rng() % 349);
        event.action = static_cast<int>(rng() % 3);
      } else if (event.type != RecordedEvent::Type::ReverseCamera &&
                 event.type != RecordedEvent::Type::Pause) {
        if (event.type == RecordedEvent::Type::Cursor) event.x = unit(rng) * 1000.0 - 3.0;
        event.y = unit(rng) * 700.0 + 0.125;
        event.leftButton = event.type == RecordedEvent::Type::Cursor && (rng() & 1);
      }
      f.events.push_back(event);
    }
    if (rng() & 1) f.autopilotKeys = static_cast<std::uint8_t>(rng() & 0x1f);
    f.drive = static_cast<std::uint8_t>(rng() & 0x3f);
    if (small(rng) == 0) f.analog = AnalogControls{unit(rng), unit(rng), unit(rng) * 2.0f - 1.0f, unit(rng)};
    if (rng() & 1)
      f.pose = RecordedPose{{unit(rng) * 400.0f, unit(rng), -unit(rng) * 400.0f},
                            glm::normalize(glm::quat(unit(rng), unit(rng), -unit(rng), unit(rng)))};
    if (i % 60 == 59) f.stateHash = (static_cast<std::uint64_t>(rng()) << 32) | rng();
    r.frames.push_back(f);
  }
  return r;
}

void expectSame(const Recording& a, const Recording& b) {
  EXPECT_EQ(a.header.gameVersion, b.header.gameVersion);
  EXPECT_EQ(a.header.build, b.header.build);
  EXPECT_EQ(a.header.dataHash, b.header.dataHash);
  EXPECT_EQ(a.header.width, b.header.width);
  EXPECT_EQ(a.header.height, b.header.height);
  EXPECT_EQ(a.header.autopilot, b.header.autopilot);
  ASSERT_EQ(a.frames.size(), b.frames.size());
  for (std::size_t i = 0; i < a.frames.size(); ++i) {
    SCOPED_TRACE(i);
    const RecordedFrame& x = a.frames[i];
    const RecordedFrame& y = b.frames[i];
    EXPECT_EQ(x.dt, y.dt);  // the exact float, bit for bit
    EXPECT_EQ(x.held, y.held);
    EXPECT_EQ(x.drive, y.drive);
    EXPECT_EQ(x.events, y.events);
    EXPECT_EQ(x.autopilotKeys, y.autopilotKeys);
    EXPECT_EQ(x.analog, y.analog);
    EXPECT_EQ(x.stateHash, y.stateHash);
    ASSERT_EQ(x.pose.has_value(), y.pose.has_value());
    if (x.pose) {
      EXPECT_EQ(x.pose->position, y.pose->position);
      // The rotation is kept to 1/32767 per component: well under a tenth of a degree.
      EXPECT_GT(std::abs(glm::dot(x.pose->rotation, y.pose->rotation)), 0.99999f);
    }
  }
}

TEST(Recording, EncodesAndDecodesEveryFieldExactly) {
  std::mt19937 rng(7);
  for (int frames : {0, 1, 59, 60, 500}) {
    const Recording r = randomRecording(rng, frames);
    Recording back;
    std::string why;
    ASSERT_TRUE(decodeRecording(encodeRecording(r), back, why)) << why;
    expectSame(r, back);
  }
}

// Every cut of a valid file is refused as truncated or damaged, and any byte changed at random
// either decodes to a recording the encoder would write again or is refused: never a crash, never
// a half-read recording.
TEST(Recording, RefusesEveryTruncationAndSurvivesChangedBytes) {
  std::mt19937 rng(11);
  const std::string bytes = encodeRecording(randomRecording(rng, 120));
  Recording out;
  std::string why;
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    ASSERT_FALSE(decodeRecording(bytes.substr(0, size), out, why)) << size;
    if (size >= 8) {
      EXPECT_TRUE(why.find("truncated") != std::string::npos || why.find("damaged") != std::string::npos)
          << size << ": " << why;
    }
  }
  ASSERT_TRUE(decodeRecording(bytes, out, why));
  EXPECT_FALSE(decodeRecording(bytes + "x", out, why));
  EXPECT_FALSE(decodeRecording("state frame=1 phase=Playing\n", out, why));
  EXPECT_EQ(why, "not a recording");

  // The format before the checksum is refused by name.
  std::string version = bytes;
  version[8] = 1;
  EXPECT_FALSE(decodeRecording(version, out, why));
  EXPECT_EQ(why, "recording format version 1, this game reads versions 2 to 3");

  // Any changed byte, the stored hashes and the checksum included, is refused.
  for (int i = 0; i < 3000; ++i) {
    std::string changed = bytes;
    const std::size_t at = rng() % changed.size();
    changed[at] = static_cast<char>(changed[at] ^ (1 + rng() % 255));
    EXPECT_FALSE(decodeRecording(changed, out, why)) << "byte " << at;
  }
}

TEST(Recording, GhostFollowsThePosesByPlayingTime) {
  Recording r;
  auto frame = [&](float dt, std::optional<glm::vec3> at) {
    RecordedFrame f;
    f.dt = dt;
    if (at) f.pose = RecordedPose{*at, glm::quat(1.0f, 0.0f, 0.0f, 0.0f)};
    r.frames.push_back(f);
  };
  frame(0.1f, glm::vec3(0.0f));
  frame(0.1f, glm::vec3(10.0f, 0.0f, 0.0f));
  frame(0.5f, std::nullopt);  // the result screen: no pose, no playing time
  frame(0.3f, glm::vec3(10.0f, 0.0f, 30.0f));
  const GhostPath ghost(r);
  EXPECT_NEAR(ghost.duration(), 0.5, 1e-6);
  EXPECT_EQ(ghost.at(0.0).position, glm::vec3(0.0f));
  EXPECT_NEAR(ghost.at(0.15).position.x, 5.0f, 1e-4f);
  EXPECT_NEAR(ghost.at(0.35).position.z, 15.0f, 1e-4f);
  EXPECT_EQ(ghost.at(9.0).position, glm::vec3(10.0f, 0.0f, 30.0f));
  EXPECT_TRUE(GhostPath(Recording()).empty());
}

}  // namespace
}  // namespace ruvelo
