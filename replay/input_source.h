// Where a run's input comes from, behind one seam: live (the frame's poll, kept by a Recorder as the
// run goes) or a recording (served by a Replayer in place of the poll). Each frame the session asks
// it for the time step, the input it applies and the autopilot's keys, and ends the frame with it.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>

#include "input/input.h"
#include "replay/recording.h"

namespace ruvelo {

class InputSource {
 public:
  virtual ~InputSource() = default;

  virtual bool replaying() const = 0;
  // The recording's header: this run's, or the one replayed.
  virtual const RecordingHeader& header() const = 0;

  // The time step of the run's frame `frame` (from 1): the recorded one in a replay, else `measured`.
  virtual float frameStep(long frame, float measured) = 0;
  // The input this frame applies: the recorded one (with the live Escape) in a replay, else `polled`.
  virtual InputFrame input(long frame, InputFrame polled) = 0;
  // The autopilot's keys this frame (HeldKeyBit W/A/S/D/B): the recorded ones in a replay, else
  // `decided`.
  virtual std::uint8_t autopilotKeys(long frame, std::uint8_t decided) = 0;
  // The vehicle as drawn in a frame that played (the ghost's path).
  virtual void notePose(const RecordedPose& pose) = 0;
  // After the frame. False when a replay left its recorded path (one line on `err`); the run then
  // ends with kRunFailedStatus (platform/exit_status.h).
  virtual bool endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err) = 0;
  // A replay has served its last frame.
  virtual bool over(long frame) const = 0;
};

// The live input of a frame as recorded, and back.
RecordedFrame recordedInput(const InputFrame& input);
InputFrame replayedInput(const RecordedFrame& frame, const InputFrame& live);

}  // namespace ruvelo
