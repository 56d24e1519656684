// The game's sound: the engine (made as it plays and streamed; on the sound device by a thread of its
// own), tyres, scrapes, impacts and event sounds, mixed by OpenAL. The game hands in one plain
// AudioFrame per frame; output goes to the sound device, to memory through OpenAL's loopback device
// (rendered in game time, for --audio-out and tests, group by group), or nowhere.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "common/game_types.h"

namespace ruvelo::audio {

struct WheelSlip {
  float longSlip = 0.0f;   // slip ratio
  float latSlip = 0.0f;    // slip angle, rad
  float slipSpeed = 0.0f;  // m/s: how fast the tread slides over the ground
  bool onGround = false;
};

enum class RaceResult { None, Won, Lost };

// Everything the sound needs of one frame, as plain values.
struct AudioFrame {
  float dt = 0.0f;  // game time of this frame, s
  float engineRpm = 0.0f;
  // 0..1: the throttle the engine itself gets, not the driver's: none while a gear change has the
  // drive line in neutral, so a change up lifts and comes back on.
  float engineThrottle = 0.0f;
  int gear = 0;  // as the vehicle numbers them: 0 reverse, 1 neutral, 2 first, 3 second …
  std::array<WheelSlip, 4> wheels{};
  float scrapeSpeed = 0.0f;  // m/s: how fast the body slides along what it touches (0 when it does not)
  glm::vec3 vehiclePosition{0.0f};
  glm::vec3 listenerPosition{0.0f};
  glm::vec3 listenerFront{0.0f, 0.0f, -1.0f};
  glm::vec3 listenerUp{0.0f, 1.0f, 0.0f};
  float volume = 0.8f;  // the player's, 0 to 1
  bool muted = false;
  bool pickup = false;    // a battery was collected this frame
  bool delivery = false;  // a packet was delivered this frame
  bool lowPower = false;  // power is low: the warning repeats while this holds
  RaceResult result = RaceResult::None;
  static constexpr int kMaxImpacts = 8;
  std::array<ContactImpact, kMaxImpacts> impacts{};  // as the physics reports them
  int impactCount = 0;
};

enum class Backend { Device, Loopback, Silent };

// The mix in three groups, each rendered on its own so that a group's part of the mix can be kept:
// the engine (with the gearbox's clunk), the tyres and the body (squeal, scrape, knocks), and the
// events (everything else).
enum class Stem { Engine, Tyres, Events };
constexpr int kStemCount = 3;

class AudioSystem {
 public:
  // Opens the backend and makes the sounds. A device that cannot be opened (or a loopback OpenAL does
  // not offer) leaves the sound off: on() is false and offReason() says why. `keepRender` keeps
  // the loopback's output for rendered(), `keepStems` each group's part of it for renderedStem().
  AudioSystem(Backend backend, bool keepRender = false, bool keepStems = false);
  ~AudioSystem();
  AudioSystem(const AudioSystem&) = delete;
  AudioSystem& operator=(const AudioSystem&) = delete;

  bool on() const;
  const std::string& offReason() const { return offReason_; }

  // Once per frame. On the loopback it also renders the frame's dt of sound.
  void update(const AudioFrame& frame);

  // The loopback output kept since the last clearRendered(): interleaved left/right 16-bit samples.
  const std::vector<int16_t>& rendered() const;
  // One group's part of it (empty unless kept); the three add up to rendered() within rounding.
  const std::vector<int16_t>& renderedStem(Stem stem) const;
  void clearRendered();

  // Times the engine's stream ran dry and had to be started again (on the device, a gap heard).
  long underruns() const;

  // Measures the CPU time of each update from now on (this thread's), for --bench.
  void measureCost(int expectedFrames);
  // The measured cost of each update and of each rendered frame, microseconds; null when not
  // measured (sound off, or measureCost() never called).
  const std::vector<double>* updateCost() const;
  const std::vector<double>* renderCost() const;

  // Start-up cost of making the fixed sounds and handing them to OpenAL, ms: elapsed, and this thread's
  // CPU. (The engine is made as it plays, within update().)
  double synthesisMs() const { return synthesisMs_; }
  double synthesisCpuMs() const { return synthesisCpuMs_; }

 private:
  struct Output;
  void mix(const AudioFrame& frame);
  void render(float dt);

  std::unique_ptr<Output> out_;
  std::string offReason_;
  double synthesisMs_ = 0.0;
  double synthesisCpuMs_ = 0.0;
};

}  // namespace ruvelo::audio
