#include "app/game_sound.h"

#include <algorithm>
#include <iostream>

#include "audio/engine_mix.h"
#include "devtools/frame_stats.h"
#include "physics/game_world.h"
#include "physics/physics_world.h"

namespace ruvelo {
namespace {

audio::RaceResult raceResult(GamePhase phase) {
  switch (phase) {
    case GamePhase::Won:
      return audio::RaceResult::Won;
    case GamePhase::Lost:
      return audio::RaceResult::Lost;
    case GamePhase::Playing:
      break;
  }
  return audio::RaceResult::None;
}

// One "bench" line of a cost's statistics ("" for no samples).
std::string costLine(const char* name, const std::vector<double>& us) {
  if (us.empty()) return "";
  const FrameStats s = computeFrameStats(us);
  char line[200];
  std::snprintf(line, sizeof line, "bench %s frames=%zu median=%.1f p95=%.1f max=%.1f\n", name, s.count,
                s.median, s.p95, s.max);
  return line;
}

// Most frames whose sound cost --bench keeps (room for them is made at start-up).
constexpr long kMostMeasuredFrames = 100000;

}  // namespace

GameSound::GameSound(const DevFlags& flags) : flags_(flags) {
  const bool toFile = !flags.audioOut.empty();
  system_ = std::make_unique<audio::AudioSystem>(toFile ? audio::Backend::Loopback : audio::Backend::Device,
                                                 toFile);
  if (!system_->on()) std::cerr << "Sound off: " << system_->offReason() << std::endl;
  if (toFile && system_->on()) {
    removeStaleTemporaries(flags.audioOut);
    std::string why;
    if (wav_.open(flags.audioOut, why))
      wav_.append(audio::wavHeader(0));
    else
      wavFailure_ = why;
  }
  if (flags.bench)
    system_->measureCost(static_cast<int>(flags.frames > 0 ? std::min(flags.frames, kMostMeasuredFrames)
                                                           : kMostMeasuredFrames));
}

void GameSound::update(audio::AudioFrame& frame, const GameWorld& world, const GameState& game,
                       const Camera& camera, const Settings& settings, float dt, bool paused) {
  fillAudioFrame(frame, world.vehicleSound(), world.vehiclePose().position, game, camera, settings,
                 paused ? 0.0f : dt);
  if (paused) frame.muted = true;
  system_->update(frame);
  if (wav_.isOpen()) {
    const std::size_t count = system_->rendered().size();
    if (wavBytes_ + 2 * count > audio::kMaxWavDataBytes) {
      wavFailure_ = "more sound than a WAV file can hold";
    } else {
      wavSamples_.clear();
      audio::appendWavSamples(wavSamples_, system_->rendered().data(), count);
      wav_.append(wavSamples_);
      wavBytes_ += 2 * count;
    }
    system_->clearRendered();
  }
  frame.pickup = frame.delivery = false;
  frame.impactCount = 0;
}

void fillAudioFrame(audio::AudioFrame& frame, const VehicleSoundReading& vehicle,
                    const glm::vec3& vehiclePosition, const GameState& game, const Camera& camera,
                    const Settings& settings, float dt) {
  frame.dt = dt;
  frame.engineRpm = audio::rpmOf(vehicle.engineOmega);
  frame.engineThrottle = vehicle.engineThrottle;
  frame.gear = vehicle.gear;
  for (int i = 0; i < 4; ++i) {
    const VehicleSoundReading::Wheel& w = vehicle.wheels[i];
    frame.wheels[i] = {w.longSlip, w.latSlip, w.slipSpeed, !w.inAir};
  }
  frame.scrapeSpeed = vehicle.scrapeSpeed;
  frame.vehiclePosition = vehiclePosition;
  frame.listenerPosition = camera.position;
  frame.listenerFront = camera.front;
  frame.listenerUp = camera.up;
  frame.volume = settings.volume();
  frame.muted = !settings.on(Option::Sound);
  frame.lowPower = game.phase == GamePhase::Playing && game.power < kLowPower;
  frame.result = raceResult(game.phase);
}

std::string GameSound::finish() {
  if (flags_.audioOut.empty()) return "";
  if (!system_->on()) return "--audio-out: no sound was rendered (" + system_->offReason() + ")";
  std::string why = wavFailure_;
  if (why.empty()) {
    const std::string header = audio::wavHeader(wavBytes_);
    wav_.patch(0, header.data(), header.size());
    if (wav_.commit(why)) return "";
  }
  wav_.abandon();
  return "--audio-out: " + flags_.audioOut + " could not be written: " + why;
}

std::string GameSound::benchReport() const {
  std::string report;
  if (const std::vector<double>* update = system_->updateCost()) {
    report += costLine("audio_update_us", *update) + costLine("audio_render_us", *system_->renderCost());
  } else {
    report += "bench audio_update_us none (sound off)\n";
  }
  char line[120];
  std::snprintf(line, sizeof line, "bench audio_synthesis_ms elapsed=%.1f cpu=%.1f\n", system_->synthesisMs(),
                system_->synthesisCpuMs());
  return report + line;
}

}  // namespace ruvelo
