#include "replay/run_recorder.h"

#include <GLFW/glfw3.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "platform/atomic_file.h"
#include "platform/build_info.h"
#include "platform/regular_file.h"
#include "platform/user_dirs.h"

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
  return buildVersion();
}

std::string gameBuild() {
  return buildCommit();
}

RecordedFrame recordedInput(const InputFrame& input) {
  RecordedFrame frame;
  for (const HeldKey& k : kHeldKeys)
    if (input.held(k.key)) frame.held |= k.bit;
  const DriveCommand& d = input.drive;
  frame.drive =
      static_cast<std::uint8_t>((d.forward ? kDriveForward : 0) | (d.steerRight ? kDriveSteerRight : 0) |
                                (d.reverse ? kDriveReverse : 0) | (d.steerLeft ? kDriveSteerLeft : 0) |
                                (d.brake ? kDriveBrake : 0) | (d.recover ? kDriveRecover : 0));
  if (d.forwardAmount != 0.0f || d.reverseAmount != 0.0f || d.steerAmount != 0.0f || d.brakeAmount != 0.0f)
    frame.analog = AnalogControls{d.forwardAmount, d.reverseAmount, d.steerAmount, d.brakeAmount};
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
  DriveCommand& d = input.drive;
  d.forward = (frame.drive & kDriveForward) != 0;
  d.steerRight = (frame.drive & kDriveSteerRight) != 0;
  d.reverse = (frame.drive & kDriveReverse) != 0;
  d.steerLeft = (frame.drive & kDriveSteerLeft) != 0;
  d.brake = (frame.drive & kDriveBrake) != 0;
  d.recover = (frame.drive & kDriveRecover) != 0;
  if (frame.analog) {
    d.forwardAmount = frame.analog->forward;
    d.reverseAmount = frame.analog->reverse;
    d.steerAmount = frame.analog->steer;
    d.brakeAmount = frame.analog->brake;
  }
  return input;
}

int RunRecorder::start(const DevFlags& flags, const std::string& assetDir, int width, int height,
                       std::ostream& err) {
  recordPath_ = flags.record;
  replayPath_ = flags.replay;
  if (!recordPath_.empty()) removeStaleTemporaries(recordPath_);
  header_.gameVersion = gameVersion();
  header_.build = gameBuild();
  header_.dataHash = playDataHash(assetDir);
  header_.width = width;
  header_.height = height;
  header_.autopilot = flags.autopilot;
  if (replayPath_.empty()) {
    pending_ = encodeHeader(header_);
    sum_.bytes(pending_);
    const std::string stateDir = userStateDir();
    if (stateDir.empty()) return 0;
    lastRunPath_ = stateDir + "/last-run.rvr";
    removeStaleTemporaries(lastRunPath_);
    // Without the file the run is kept in memory and the end says why it was not kept.
    std::string why;
    if (!file_.open(lastRunPath_, why))
      err << "ruvelo: the run cannot be kept in " << lastRunPath_ << ": " << why << std::endl;
    return 0;
  }

  const std::string& path = replayPath_;
  std::string bytes, why;
  if (!readRegularFile(path, kMaxRecordingBytes, bytes, why) || !decodeRecording(bytes, replay_, why)) {
    err << "ruvelo: --replay " << path << ": " << why << std::endl;
    return 2;
  }
  const RecordingHeader& h = replay_.header;
  if (h.gameVersion != header_.gameVersion) {
    why = "recorded by version " + h.gameVersion + ", this is " + header_.gameVersion;
  } else if (h.dataHash != header_.dataHash) {
    why = "recorded with other game data (the level's collision mesh differs)";
  } else if (h.width != width || h.height != height) {
    why = "recorded in a " + std::to_string(h.width) + "x" + std::to_string(h.height) +
          " window, the settings give " + std::to_string(width) + "x" + std::to_string(height);
  }
  if (!why.empty()) {
    err << "ruvelo: --replay " << path << ": " << why << std::endl;
    return 2;
  }
  header_ = h;
  replaying_ = true;
  return 0;
}

const RecordedFrame* RunRecorder::replayed(long frame) const {
  if (frame < 1 || frame > static_cast<long>(replay_.frames.size())) return nullptr;
  return &replay_.frames[static_cast<std::size_t>(frame - 1)];
}

float RunRecorder::frameStep(long frame, float measured) {
  if (finished_) return measured;
  if (replaying_) {
    const RecordedFrame* f = replayed(frame);
    return f ? f->dt : measured;
  }
  current_ = RecordedFrame();
  current_.dt = measured;
  return measured;
}

InputFrame RunRecorder::input(long frame, InputFrame polled) {
  if (finished_) return polled;
  if (replaying_) {
    const RecordedFrame* f = replayed(frame);
    return replayedInput(f ? *f : RecordedFrame(), polled);
  }
  const RecordedFrame input = recordedInput(polled);
  // A frame that polls twice keeps both polls' events.
  current_.held = input.held;
  current_.drive = input.drive;
  current_.analog = input.analog;
  current_.events.insert(current_.events.end(), input.events.begin(), input.events.end());
  return polled;
}

AutopilotKeys RunRecorder::autopilotKeys(long frame, const AutopilotKeys& decided) {
  if (finished_) return decided;
  if (replaying_) {
    const RecordedFrame* f = replayed(frame);
    if (!f || !f->autopilotKeys) return {};
    const std::uint8_t keys = *f->autopilotKeys;
    return AutopilotKeys{(keys & kHeldW) != 0, (keys & kHeldA) != 0, (keys & kHeldS) != 0,
                         (keys & kHeldD) != 0, (keys & kHeldB) != 0};
  }
  current_.autopilotKeys = autopilotBits(decided);
  return decided;
}

void RunRecorder::notePose(long /*frame*/, const Pose& pose) {
  if (finished_ || replaying_) return;
  current_.pose = RecordedPose{pose.position, pose.rotation};
}

bool RunRecorder::endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err) {
  if (finished_) return true;
  const bool hashed = frame % kStateHashInterval == 0;
  if (!replaying_) {
    lastHash_ = stateHash();
    if (hashed) current_.stateHash = lastHash_;
    const std::size_t from = pending_.size();
    appendFrame(pending_, current_);
    sum_.bytes(pending_.data() + from, pending_.size() - from);
    ++frames_;
    current_ = RecordedFrame();
    if (pending_.size() >= 64 * 1024) flushPending(err);
    return true;
  }
  const RecordedFrame* f = replayed(frame);
  const bool last = frame == static_cast<long>(replay_.frames.size());
  if ((!hashed || !f || !f->stateHash) && !last) return true;
  const std::uint64_t now = stateHash();
  if ((!hashed || !f || !f->stateHash || *f->stateHash == now) && (!last || replay_.lastStateHash == now))
    return true;
  err << "ruvelo: --replay " << replayPath_ << ": the game left the recorded run at frame " << frame
      << " (state hash differs)" << std::endl;
  return false;
}

bool RunRecorder::replayOver(long frame) const {
  return replaying_ && frame >= static_cast<long>(replay_.frames.size());
}

// The pending bytes to the file. Bytes the file does not take stay in the writer's memory and are
// written at the end; the first time that happens is told once.
void RunRecorder::flushPending(std::ostream& err) {
  if (!file_.isOpen()) return;
  file_.append(pending_);
  pending_.clear();
  if (file_.behind() && !toldBehind_) {
    toldBehind_ = true;
    err << "ruvelo: the run cannot be written to " << lastRunPath_ << " as it goes (the disk may be full); "
        << "it is kept in memory until the end" << std::endl;
  }
}

std::string RunRecorder::bytes(std::ostream& err) {
  if (replaying_) return "";
  const std::string end = encodeEnd(frames_, lastHash_, sum_);
  if (!file_.isOpen()) return pending_ + end;
  flushPending(err);
  std::string written;
  if (!file_.contents(written)) {
    err << "ruvelo: the run cannot be read back from the file for " << lastRunPath_ << std::endl;
    return "";
  }
  return written + end;
}

bool RunRecorder::finish(std::ostream& err) {
  if (finished_) return true;
  finished_ = true;
  // A replay is not a new run: last-run.rvr stays the player's last own run.
  if (replaying_) return true;
  // Only --record needs the run read back.
  std::string recording;
  if (recordPath_.empty())
    flushPending(err);
  else
    recording = bytes(err);
  std::string why;
  if (file_.isOpen()) {
    // The file now holds the whole run; it replaces last-run.rvr only once it is complete.
    file_.append(encodeEnd(frames_, lastHash_, sum_));
    if (!file_.commit(why))
      err << "ruvelo: the run could not be kept in " << lastRunPath_ << ": " << why << std::endl;
  }
  if (recordPath_.empty()) return true;
  if (recording.empty()) {
    err << "ruvelo: --record " << recordPath_ << ": the run could not be read back" << std::endl;
    return false;
  }
  if (!writeFileAtomically(recordPath_, recording, why)) {
    err << "ruvelo: --record " << recordPath_ << ": " << why << std::endl;
    return false;
  }
  return true;
}

}  // namespace ruvelo
