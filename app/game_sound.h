// The game's side of the sound: the audio system for the run's output, and each frame's AudioFrame
// made from the vehicle, the game state, the camera and the events the frame reported.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "audio/audio_system.h"
#include "audio/wav_file.h"
#include "devtools/dev_flags.h"
#include "game/game_rules.h"
#include "common/game_types.h"
#include "platform/atomic_file.h"
#include "platform/settings.h"
#include "render/camera.h"

class GameWorld;

namespace ruvelo {

// Power below which the low-power warning repeats.
constexpr float kLowPower = 20.0f;

class GameSound {
 public:
  // The loopback when --audio-out asks for the mix, else the device; "Sound off: why" on standard
  // error when there is none. With --bench the update's cost is measured.
  explicit GameSound(const DevFlags& flags);

  // Once per frame, after its events: hands the run's frame (its events, filled in by the vehicle,
  // the game and the camera) to the audio system and clears the events. A paused frame is silent and
  // takes no time, so the engine and tyres stop and resume where they were.
  void update(audio::AudioFrame& frame, const GameWorld& world, const GameState& game, const Camera& camera,
              const Settings& settings, float dt, bool paused);

  // --audio-out could not be written to (the run should end).
  bool outputFailed() const { return !wavFailure_.empty(); }
  // At the end of the run: completes --audio-out. "" or why it failed.
  std::string finish();
  // The "bench ..." lines.
  std::string benchReport() const;

 private:
  // One WAV file written as the game runs.
  struct WavOut {
    AtomicFile file;
    uint64_t bytes = 0;
  };
  void append(WavOut& out, const std::vector<int16_t>& samples);

  const DevFlags& flags_;
  std::unique_ptr<audio::AudioSystem> system_;
  WavOut wav_;                                   // --audio-out
  std::array<WavOut, audio::kStemCount> stems_;  // --audio-stems
  std::string wavSamples_;
  std::string wavFailure_;
};

// The file each group's part of the mix goes to beside --audio-out FILE: FILE.engine.wav and so on.
std::string stemPath(const std::string& audioOut, audio::Stem stem);

// The parts of one frame's AudioFrame that come from the vehicle reading, the game, the camera and
// the player's volume and sound switch.
void fillAudioFrame(audio::AudioFrame& frame, const VehicleSoundReading& vehicle,
                    const glm::vec3& vehiclePosition, const GameState& game, const Camera& camera,
                    const Settings& settings, float dt);

}  // namespace ruvelo
