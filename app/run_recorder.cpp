#include "app/run_recorder.h"

#include <GLFW/glfw3.h>

#include <ostream>

#include "app/regular_file.h"
#include "app/user_dirs.h"

namespace ruvelo {
namespace {

// The driving keys the frame polls, with their bit in a recorded frame.
struct HeldKey {
  int key;
  std::uint8_t bit;
};
constexpr HeldKey kHeldKeys[] = {{GLFW_KEY_W, kHeldW},
                                 {GLFW_KEY_A, kHeldA},
                                 {GLFW_KEY_S, kHeldS},
                                 {GLFW_KEY_D, kHeldD},
                                 {GLFW_KEY_B, kHeldB},
                                 {GLFW_KEY_SPACE, kHeldSpace},
                                 {GLFW_KEY_LEFT_SHIFT, kHeldLeftShift}};

// The collision mesh is a few megabytes; anything far larger is not ours.
constexpr std::size_t kMaxDataFileBytes = 512u * 1024u * 1024u;

std::uint8_t autopilotBits(const AutopilotKeys& k) {
  return static_cast<std::uint8_t>((k.w ? kHeldW : 0) | (k.a ? kHeldA : 0) | (k.s ? kHeldS : 0) |
                                   (k.d ? kHeldD : 0) | (k.b ? kHeldB : 0));
}

}  // namespace

std::uint64_t gameStateHash(const GameWorld& world, const GameState& game) {
  Hash64 h;
  const Pose vehicle = world.vehiclePose();
  h.vec3(vehicle.position);
  h.quat(vehicle.rotation);
  h.vec3(world.vehicleVelocity());
  for (int i = 0; i < kConeCount; ++i) {
    const Pose cone = world.conePose(i);
    h.vec3(cone.position);
    h.quat(cone.rotation);
  }
  h.f64(game.timeLeft);
  h.f32(game.power);
  h.u32(static_cast<std::uint32_t>(game.packetsDelivered));
  h.u32(static_cast<std::uint32_t>(game.phase));
  return h.value();
}

std::uint64_t playDataHash(const std::string& assetDir) {
  std::string contents, why;
  if (!readRegularFile(assetDir + "/model/level1PhysXFinal.obj", kMaxDataFileBytes, contents, why)) return 0;
  Hash64 h;
  h.bytes(contents.data(), contents.size());
  return h.value();
}

std::string gameVersion() {
#ifdef RUVELO_VERSION
  return RUVELO_VERSION;
#else
  return "0.1.0";
#endif
}

std::string gameBuild() {
#ifdef RUVELO_COMMIT
  return RUVELO_COMMIT;
#else
  return "unknown";
#endif
}

RecordedFrame recordedInput(const InputFrame& input) {
  RecordedFrame frame;
  for (const HeldKey& k : kHeldKeys)
    if (input.held(k.key)) frame.held |= k.bit;
  for (const InputEvent& e : input.events) {
    RecordedEvent r;
    r.type = static_cast<RecordedEvent::Type>(e.type);
    r.key = e.key;
    r.action = e.action;
    r.x = e.x;
    r.y = e.y;
    r.leftButton = e.leftButton;
    frame.events.push_back(r);
  }
  return frame;
}

InputFrame replayedInput(const RecordedFrame& frame, const InputFrame& live) {
  InputFrame input;
  // Escape from the keyboard still ends a replay.
  for (const InputEvent& e : live.events)
    if (e.type == InputEvent::Type::Key && e.key == GLFW_KEY_ESCAPE) input.events.push_back(e);
  for (const RecordedEvent& r : frame.events) {
    InputEvent e;
    e.type = static_cast<InputEvent::Type>(r.type);
    e.key = r.key;
    e.action = r.action;
    e.x = r.x;
    e.y = r.y;
    e.leftButton = r.leftButton;
    input.events.push_back(e);
  }
  for (const HeldKey& k : kHeldKeys) input.setHeld(k.key, (frame.held & k.bit) != 0);
  return input;
}

int RunRecorder::start(const DevFlags& flags, const std::string& assetDir, int width, int height,
                       std::ostream& err) {
  flags_ = flags;
  RecordingHeader& header = recording_.header;
  header.gameVersion = gameVersion();
  header.build = gameBuild();
  header.dataHash = playDataHash(assetDir);
  header.width = width;
  header.height = height;
  header.autopilot = flags.autopilot;
  if (flags.replay.empty()) return 0;

  const std::string& path = flags.replay;
  std::string bytes, why;
  Recording replay;
  if (!readRegularFile(path, kMaxRecordingBytes, bytes, why) || !decodeRecording(bytes, replay, why)) {
    err << "ruvelo: --replay " << path << ": " << why << std::endl;
    return 2;
  }
  const RecordingHeader& h = replay.header;
  if (h.gameVersion != header.gameVersion) {
    why = "recorded by version " + h.gameVersion + ", this is " + header.gameVersion;
  } else if (h.dataHash != header.dataHash) {
    why = "recorded with other game data (the level's collision mesh differs)";
  } else if (h.width != width || h.height != height) {
    why = "recorded in a " + std::to_string(h.width) + "x" + std::to_string(h.height) +
          " window, the settings give " + std::to_string(width) + "x" + std::to_string(height);
  }
  if (!why.empty()) {
    err << "ruvelo: --replay " << path << ": " << why << std::endl;
    return 2;
  }
  recording_ = std::move(replay);
  replaying_ = true;
  return 0;
}

RecordedFrame& RunRecorder::current(long frame) {
  while (static_cast<long>(recording_.frames.size()) < frame) recording_.frames.emplace_back();
  return recording_.frames[static_cast<std::size_t>(frame - 1)];
}

float RunRecorder::frameStep(long frame, float measured) {
  if (finished_ || frame < 1) return measured;
  if (replaying_) {
    if (frame > static_cast<long>(recording_.frames.size())) return measured;
    return recording_.frames[static_cast<std::size_t>(frame - 1)].dt;
  }
  current(frame).dt = measured;
  return measured;
}

InputFrame RunRecorder::input(long frame, InputFrame polled) {
  if (finished_ || frame < 1) return polled;
  if (replaying_) {
    if (frame > static_cast<long>(recording_.frames.size())) return replayedInput(RecordedFrame(), polled);
    return replayedInput(recording_.frames[static_cast<std::size_t>(frame - 1)], polled);
  }
  RecordedFrame& f = current(frame);
  const RecordedFrame input = recordedInput(polled);
  // A frame that polls twice (the bench's floor frames) keeps both polls' events.
  f.held = input.held;
  f.events.insert(f.events.end(), input.events.begin(), input.events.end());
  return polled;
}

AutopilotKeys RunRecorder::autopilotKeys(long frame, const AutopilotKeys& decided) {
  if (finished_ || frame < 1) return decided;
  if (replaying_) {
    if (frame > static_cast<long>(recording_.frames.size())) return {};
    const auto& keys = recording_.frames[static_cast<std::size_t>(frame - 1)].autopilotKeys;
    if (!keys) return {};
    return AutopilotKeys{(*keys & kHeldW) != 0, (*keys & kHeldA) != 0, (*keys & kHeldS) != 0,
                         (*keys & kHeldD) != 0, (*keys & kHeldB) != 0};
  }
  current(frame).autopilotKeys = autopilotBits(decided);
  return decided;
}

void RunRecorder::notePose(long frame, const Pose& pose) {
  if (finished_ || replaying_ || frame < 1) return;
  current(frame).pose = RecordedPose{pose.position, pose.rotation};
}

bool RunRecorder::endFrame(long frame, std::uint64_t stateHash, std::ostream& err) {
  if (finished_ || frame < 1 || frame % kStateHashInterval != 0) return true;
  if (!replaying_) {
    current(frame).stateHash = stateHash;
    return true;
  }
  if (frame > static_cast<long>(recording_.frames.size())) return true;
  const auto& recorded = recording_.frames[static_cast<std::size_t>(frame - 1)].stateHash;
  if (!recorded || *recorded == stateHash) return true;
  err << "ruvelo: --replay " << flags_.replay << ": the game left the recorded run at frame " << frame
      << " (state hash differs)" << std::endl;
  return false;
}

bool RunRecorder::replayOver(long frame) const {
  return replaying_ && frame >= static_cast<long>(recording_.frames.size());
}

bool RunRecorder::finish(std::ostream& err) {
  if (finished_) return true;
  finished_ = true;
  // A replay is not a new run: last-run.rvr stays the player's last own run.
  if (replaying_) return true;
  const std::string bytes = encodeRecording(recording_);
  std::string why;
  const std::string stateDir = userStateDir();
  if (!stateDir.empty() && !writeFileAtomically(stateDir + "/last-run.rvr", bytes, why))
    err << "ruvelo: the run could not be kept in " << stateDir << "/last-run.rvr: " << why << std::endl;
  if (flags_.record.empty()) return true;
  if (!writeFileAtomically(flags_.record, bytes, why)) {
    err << "ruvelo: --record " << flags_.record << ": " << why << std::endl;
    return false;
  }
  return true;
}

}  // namespace ruvelo
