// The recording side of a run. Live, it records every frame's time step, input and vehicle pose (and
// a state hash every 60 frames and after the last) as the run goes, through an AtomicFile for
// last-run.rvr in the player's state folder, so memory stays flat however long the run; at the end the
// file is completed and put in place, and written to the --record file. With --replay it serves the
// recorded frames in place of the live input (only Escape stays live) and checks the state hashes as
// it goes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "devtools/dev_flags.h"
#include "game/autopilot.h"
#include "game/game_rules.h"
#include "physics/game_world.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "replay/recording.h"

namespace ruvelo {

// Exit status of a replay that left its recorded path.
constexpr int kReplayDivergedStatus = 3;

// The hash of what decides the game: the vehicle's pose and velocity, the cones' poses, the timer,
// power, packets and phase.
std::uint64_t gameStateHash(const GameWorld& world, const GameState& game);

// The hash of the data files that change how the game plays: the level's collision mesh (the
// vehicle, the cones and the items are defined in code, so the version covers them). 0 when the
// file cannot be read.
std::uint64_t playDataHash(const std::string& assetDir);

// The game's version and build as written into recordings.
std::string gameVersion();
std::string gameBuild();

// The live input of a frame as recorded, and back.
RecordedFrame recordedInput(const InputFrame& input);
InputFrame replayedInput(const RecordedFrame& frame, const InputFrame& live);

class RunRecorder {
 public:
  // Before the window opens: the header of this run, and with --replay the recording, which must be
  // readable and made by this version with the same data and window size. 0, or the process status
  // (2) after one line on `err` naming the file and why.
  int start(const DevFlags& flags, const std::string& assetDir, int width, int height, std::ostream& err);

  RunRecorder() = default;
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  bool replaying() const { return replaying_; }
  // Whether the run (or the one replayed) started with the autopilot.
  bool autopilot() const { return header_.autopilot; }

  // The time step of frame `frame` (from 1): the recorded one in a replay, else `measured`.
  float frameStep(long frame, float measured);
  // The input this frame applies: the recorded one (with the live Escape) in a replay, else `polled`,
  // which is kept.
  InputFrame input(long frame, InputFrame polled);
  // The autopilot's keys this frame: the recorded ones in a replay, else `decided`, which are kept.
  AutopilotKeys autopilotKeys(long frame, const AutopilotKeys& decided);
  void notePose(long frame, const Pose& pose);

  // After the frame: the frame recorded, with its state hash (asked of `stateHash` every frame, kept
  // every 60 frames and after the last), or in a replay those hashes checked. False when a replay left its
  // recorded path (one line on `err`); the run then ends with kReplayDivergedStatus.
  bool endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err);
  // The replay has served its last frame.
  bool replayOver(long frame) const;

  // The run so far (every frame ended) as a complete .rvr file; "" when it cannot be read back.
  std::string bytes(std::ostream& err);
  // The end of the run: last-run.rvr in the state folder, and the --record file. False (after one
  // line on `err`) when --record could not be written.
  bool finish(std::ostream& err);

 private:
  const RecordedFrame* replayed(long frame) const;
  void flushPending(std::ostream& err);

  std::string recordPath_;
  std::string replayPath_;
  RecordingHeader header_;
  bool replaying_ = false;
  bool finished_ = false;
  // Live: the frame being gathered, the frames ended, and their bytes not yet in the file.
  RecordedFrame current_;
  std::size_t frames_ = 0;
  std::uint64_t lastHash_ = 0;
  Hash64 sum_;           // of every byte recorded so far
  std::string pending_;  // recorded, not yet handed to the file (or all of it without a file)
  AtomicFile file_;      // last-run.rvr; not open when the state folder cannot be written
  bool toldBehind_ = false;
  std::string lastRunPath_;
  // Replay: the recording played back.
  Recording replay_;
};

}  // namespace ruvelo
