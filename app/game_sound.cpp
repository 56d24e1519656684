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

std::string stemPath(const std::string& audioOut, audio::Stem stem) {
  static const char* const kNames[audio::kStemCount] = {".engine.wav", ".tyres.wav", ".events.wav"};
  return audioOut + kNames[static_cast<int>(stem)];
}

GameSound::GameSound(const DevFlags& flags) : flags_(flags) {
  const bool toFile = !flags.audioOut.empty();
  const bool stems = toFile && flags.audioStems;
  system_ = std::make_unique<audio::AudioSystem>(toFile ? audio::Backend::Loopback : audio::Backend::Device,
                                                 toFile, stems);
  if (!system_->on()) std::cerr << "Sound off: " << system_->offReason() << std::endl;
  if (toFile && system_->on()) {
    const auto open = [this](WavOut& out, const std::string& path) {
      removeStaleTemporaries(path);
      std::string why;
      if (out.file.open(path, why))
        out.file.append(audio::wavHeader(0));
      else if (wavFailure_.empty())
        wavFailure_ = why;
    };
    open(wav_, flags.audioOut);
    for (int s = 0; s < audio::kStemCount && stems; ++s)
      open(stems_[s], stemPath(flags.audioOut, static_cast<audio::Stem>(s)));
  }
  if (flags.bench)
    system_->measureCost(static_cast<int>(flags.frames > 0 ? std::min(flags.frames, kMostMeasuredFrames)
                                                           : kMostMeasuredFrames));
}

void GameSound::append(WavOut& out, const std::vector<int16_t>& samples) {
  if (!out.file.isOpen()) return;
  if (out.bytes + 2 * samples.size() > audio::kMaxWavDataBytes) {
    wavFailure_ = "more sound than a WAV file can hold";
    return;
  }
  wavSamples_.clear();
  audio::appendWavSamples(wavSamples_, samples.data(), samples.size());
  out.file.append(wavSamples_);
  out.bytes += 2 * samples.size();
}

void GameSound::update(audio::AudioFrame& frame, const GameWorld& world, const GameState& game,
                       const Camera& camera, const Settings& settings, float dt, bool paused) {
  fillAudioFrame(frame, world.vehicleSound(), world.vehiclePose().position, game, camera, settings,
                 paused ? 0.0f : dt);
  if (paused) frame.muted = true;
  system_->update(frame);
  if (wav_.file.isOpen()) {
    append(wav_, system_->rendered());
    for (int s = 0; s < audio::kStemCount; ++s)
      append(stems_[s], system_->renderedStem(static_cast<audio::Stem>(s)));
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
  std::array<WavOut*, 1 + audio::kStemCount> files{&wav_, &stems_[0], &stems_[1], &stems_[2]};
  std::string failedPath;
  for (WavOut* out : files) {
    if (!out->file.isOpen()) continue;
    if (why.empty()) {
      const std::string header = audio::wavHeader(out->bytes);
      out->file.patch(0, header.data(), header.size());
      if (!out->file.commit(why)) failedPath = out->file.path();
    } else {
      out->file.abandon();
    }
  }
  if (why.empty()) return "";
  return "--audio-out: " + (failedPath.empty() ? flags_.audioOut : failedPath) +
         " could not be written: " + why;
}

std::string GameSound::benchReport() const {
  std::string report;
  if (const std::vector<double>* update = system_->updateCost()) {
    report += costLine("audio_update_us", *update) + costLine("audio_render_us", *system_->renderCost());
    report += "bench audio_underruns=" + std::to_string(system_->underruns()) + "\n";
  } else {
    report += "bench audio_update_us none (sound off)\n";
  }
  char line[120];
  std::snprintf(line, sizeof line, "bench audio_synthesis_ms elapsed=%.1f cpu=%.1f\n", system_->synthesisMs(),
                system_->synthesisCpuMs());
  return report + line;
}

}  // namespace ruvelo
