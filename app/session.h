// One run of the game: the rules' state, the physics world, where the input comes from (a Recorder
// for a live run, a Replayer for --replay), the ghost of the best run, the autopilot, the camera rig
// and the sound's events of the frame. Made from the level's data the App keeps; making one loads no model,
// compiles no shader and opens no window. It lives in app/ because it joins pieces from replay/ and
// audio/, which game/ may not include.
#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "app/camera_rig.h"
#include "audio/audio_system.h"
#include "game/autopilot.h"
#include "game/best_result.h"
#include "game/game.h"
#include "import/model_import.h"
#include "physics/game_world.h"
#include "replay/input_source.h"
#include "replay/recorder.h"
#include "replay/state_hash.h"

namespace ruvelo {

class Session {
 public:
  // A new run with its input from `source`, the world built from the level's collision data, and
  // the ghost read from the best run's recording (one that cannot be read is reported on `err` and
  // means no ghost; beside a known best it is marked lost, so the next win replaces it). Null after the
  // start-up's one line on standard output when the world cannot be built.
  static std::unique_ptr<Session> create(std::unique_ptr<InputSource> source, const ModelData& levelCollision,
                                         BestResult& best, CameraRig camera, std::ostream& err);

  const Game& game() const { return game_; }
  const GameWorld& world() const { return *world_; }
  CameraRig& camera() { return camera_; }
  const CameraRig& camera() const { return camera_; }
  bool replaying() const { return source_->replaying(); }
  bool paused() const { return paused_; }
  // The frame of this run, from 1.
  long frame() const { return frame_; }

  // The start of a frame: its time step (a replay's recorded one, else `measured`).
  float beginFrame(float measured);
  // P or Start in a playing run: "Paused: 1" / "Paused: 0" on `out`.
  void togglePause(std::ostream& out);

  // The battery spin of a frame that is not paused.
  void spinBatteries(float dt) { game_.spinBatteries(dt); }
  // A playing frame up to its poll: the physics step and the trigger rules, then the driving input
  // of the last poll (or the free camera in debug mode) with its power drain.
  void step(float dt, bool debugMode);
  // The input this frame applies: the poll's, or a replay's recorded one. Kept for the next step.
  InputFrame input(InputFrame polled);
  // The timer and the phase, after the poll.
  void updateTimerAndPhase(bool debugMode, bool winLoseRules, float dt);

  // The ghost where the best run was at this run's playing time; none without a ghost.
  std::optional<RecordedPose> ghostPose() const;
  // The ghost's run: how long it played (0 without a ghost).
  double ghostDuration() const { return ghost_ ? ghost_->duration() : 0.0; }
  // The time played so far (paused frames and the result screen add none).
  double playTime() const { return playTime_; }
  const std::array<Pose, 4>& ghostWheels() const { return ghostWheels_; }
  // This frame's sound events (pickups, deliveries, impacts), cleared once the sound has them.
  audio::AudioFrame& soundFrame() { return soundFrame_; }

  // The end of a frame: recorded, or checked against the replay. False when a replay left its run.
  bool endFrame(std::ostream& err);
  bool replayOver() const { return source_->over(frame_); }
  // The run as a complete .rvr file ("" in a replay or when it cannot be read back).
  std::string recordingBytes(std::ostream& err);
  // The end of the run: last-run.rvr and --record written (not in a replay). False when --record
  // could not be written.
  bool finish(std::ostream& err);

 private:
  Session() = default;
  void handleTriggers(const std::optional<ItemEvent>& event);
  DriveCommand autopilotCommand(const DriveCommand& player, float dt);
  std::uint64_t stateHashNow() const;
  void loadGhost(BestResult& best, std::ostream& err);

  std::unique_ptr<InputSource> source_;
  Recorder* recorder_ = nullptr;  // the source, when the run is live
  std::unique_ptr<GameWorld> world_;
  Game game_;
  InputFrame input_;  // the last poll's: its held keys drive the next step
  std::optional<Autopilot> autopilot_;
  std::optional<GhostPath> ghost_;
  std::array<Pose, 4> ghostWheels_{};  // the wheels' places at rest
  double playTime_ = 0.0;              // the time played, for the ghost
  audio::AudioFrame soundFrame_;
  CameraRig camera_;
  long frame_ = 0;
  bool paused_ = false;
};

}  // namespace ruvelo
