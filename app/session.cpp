#include "app/session.h"

#include <iostream>
#include <nlohmann/json.hpp>

#include "input/input.h"
#include "level/level_layout.h"
#include "level/route.h"
#include "physics/driving.h"
#include "physics/physics_world.h"
#include "physics/vehicle_json.h"
#include "platform/regular_file.h"

namespace ruvelo {
namespace {

std::uint8_t autopilotBits(const AutopilotKeys& k) {
  return static_cast<std::uint8_t>((k.w ? kHeldW : 0) | (k.a ? kHeldA : 0) | (k.s ? kHeldS : 0) |
                                   (k.d ? kHeldD : 0) | (k.b ? kHeldB : 0));
}

RecordedPose recordedPose(const Pose& pose) {
  return RecordedPose{pose.position, pose.rotation};
}

}  // namespace

std::unique_ptr<Session> Session::create(std::unique_ptr<InputSource> source, const ModelData& levelCollision,
                                         BestResult& best, CameraRig camera, std::ostream& err) {
  std::unique_ptr<Session> session(new Session());
  Session& s = *session;
  s.camera_ = camera;
  s.source_ = std::move(source);
  s.recorder_ = dynamic_cast<Recorder*>(s.source_.get());
  GameWorld::Failure failure = GameWorld::Failure::None;
  s.world_ = GameWorld::create(levelCollision, &failure);
  if (failure == GameWorld::Failure::LevelMesh) {
    std::cout << "ERROR: the level's collision mesh could not be built from " << level::kCollisionModelFile
              << std::endl;
    return nullptr;
  }
  if (!s.world_) {
    std::cout << "ERROR: the vehicle could not be built" << std::endl;
    return nullptr;
  }
  const GameWorld* world = s.world_.get();
  s.world_->setDebugExtra([world]() { return vehicleJson(world->vehicleReading()); });
  s.ghostWheels_ = s.world_->wheelPoses();
  if (s.source_->header().autopilot) {
    const SteeringGeometry steering = s.world_->steering();
    s.autopilot_.emplace(
        level::drivingLine(level::levelLayout()),
        AutopilotVehicle{steering.wheelBase, steering.maxWheelSteer, keySmoothing(), steerVsSpeed()});
    // Should the game not end at the route's end (win/lose rules off), it laps the ring road.
    s.autopilot_->setLap(level::ringLap(level::levelLayout()));
  }
  s.loadGhost(best, err);
  return session;
}

// The best run's recording, for its ghost; one that cannot be read means no ghost. Missing or
// damaged beside a good best.txt, the next win puts its run there.
void Session::loadGhost(BestResult& best, std::ostream& err) {
  const std::string path = best.recordingPath();
  if (path.empty()) return;
  std::string bytes, why;
  Recording recording;
  if (fileMissing(path)) {
    if (!best.known()) return;
    why = "missing";
  } else if (readRegularFile(path, kMaxRecordingBytes, bytes, why) &&
             decodeRecording(bytes, recording, why)) {
    // A pair cut between its two renames: best.txt names another run than best.rvr holds.
    why = best.recordingMatches(bytes) ? "" : "it is not the run best.txt names (checksum differs)";
  }
  if (!why.empty()) {
    if (best.known()) best.recordingLost();
    err << "ruvelo: the best run " << printable(path) << " cannot be read (" << why << "); no ghost"
        << (best.known() ? " until the next win" : "") << std::endl;
    return;
  }
  ghost_.emplace(recording);
  if (ghost_->empty()) ghost_.reset();
}

float Session::beginFrame(float measured) {
  ++frame_;
  return source_->frameStep(frame_, measured);
}

void Session::togglePause(std::ostream& out) {
  paused_ = !paused_;
  out << "Paused: " << (paused_ ? 1 : 0) << std::endl;
}

void Session::step(float dt, bool debugMode) {
  if (game_.takeFirstPlayingFrame()) world_->startPlay();
  handleTriggers(world_->step(dt));
  playTime_ += dt;
  soundFrame_.impactCount =
      world_->newImpacts(soundFrame_.impacts.data(), static_cast<int>(soundFrame_.impacts.size()));

  // Driving controls for the next step, or the free camera in debug mode.
  const InputFrame& held = input_;
  if (debugMode) {
    camera_.moveFree(held.freeCamera(), dt);
  } else {
    DriveCommand command = held.drive;
    if (autopilot_) command = autopilotCommand(command, dt);
    const DriveResult result = world_->drive(command);
    if (result.unflippedCleared) camera_.setRecoveryLook(false);
    if (result.unflippedSet) camera_.setRecoveryLook(true);
    game_.drain(result.accelerateAmount, result.reverseAmount, world_->vehiclePose().position.y, dt);
  }
  source_->notePose(recordedPose(world_->vehiclePose()));
}

// Trigger rules: a zone delivers a packet, a battery adds power; the item leaves the world.
void Session::handleTriggers(const std::optional<ItemEvent>& event) {
  if (!event || !game_.collect(*event, std::cout)) return;
  world_->removeItem(event->item);
  (event->kind == ItemKind::Battery ? soundFrame_.pickup : soundFrame_.delivery) = true;
}

// The autopilot drives until the player presses a driving key or moves a gamepad control past its
// dead zone; then the player drives for good.
DriveCommand Session::autopilotCommand(const DriveCommand& player, float dt) {
  if (player.any()) {
    autopilot_.reset();
    std::cout << "Autopilot off: the player drives" << std::endl;
    return player;
  }
  AutopilotView view;
  const Pose pose = world_->vehiclePose();
  view.position = pose.position;
  view.forward = pose.rotation * glm::vec3(0.0f, 0.0f, 1.0f);
  view.forwardSpeed = world_->vehicleForwardSpeed();
  view.controls = world_->vehicleControls();
  // A replay drives with the keys the autopilot chose when the run was recorded.
  const std::uint8_t keys = source_->autopilotKeys(
      frame_, source_->replaying() ? std::uint8_t{0} : autopilotBits(autopilot_->decide(view, dt)));
  return DriveCommand{(keys & kHeldW) != 0, (keys & kHeldA) != 0, (keys & kHeldS) != 0,
                      (keys & kHeldD) != 0, (keys & kHeldB) != 0, false};
}

InputFrame Session::input(InputFrame polled) {
  input_ = source_->input(frame_, std::move(polled));
  return input_;
}

void Session::updateTimerAndPhase(bool debugMode, bool winLoseRules, float dt) {
  game_.updateTimerAndPhase(debugMode, winLoseRules, dt);
}

std::optional<RecordedPose> Session::ghostPose() const {
  if (!ghost_) return std::nullopt;
  return ghost_->at(playTime_);
}

std::uint64_t Session::stateHashNow() const {
  HashedState s;
  s.vehicle = recordedPose(world_->vehiclePose());
  s.vehicleVelocity = world_->vehicleVelocity();
  for (int i = 0; i < kConeCount; ++i) s.cones.push_back(recordedPose(world_->conePose(i)));
  const GameState& game = game_.state();
  s.timeLeft = game.timeLeft;
  s.power = game.power;
  s.packets = game.packetsDelivered;
  s.phase = static_cast<int>(game.phase);
  return stateHash(s);
}

bool Session::endFrame(std::ostream& err) {
  return source_->endFrame(
      frame_, [this] { return stateHashNow(); }, err);
}

std::string Session::recordingBytes(std::ostream& err) {
  return recorder_ ? recorder_->bytes(err) : std::string();
}

bool Session::finish(std::ostream& err) {
  return recorder_ ? recorder_->finish(err) : true;
}

}  // namespace ruvelo
