// A live run's input source: it passes the poll through and records every frame's time step, input
// and vehicle pose (and a state hash every 60 frames and after the last) as the run goes, through an
// AtomicFile for last-run.rvr in the player's state folder, so memory stays flat however long the
// run. At the end the file is completed and put in place, and written to the --record file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/atomic_file.h"
#include "replay/input_source.h"

namespace ruvelo {

class Recorder : public InputSource {
 public:
  // Starts the recording of one run with `header`; `recordPath` is the --record file ("" for none),
  // `stateDir` the player's state folder ("" when there is none: the run is then only kept for
  // --record and the best result). A last-run.rvr that cannot be started is told on `err`; the run
  // is then kept in memory.
  Recorder(const RecordingHeader& header, std::string recordPath, const std::string& stateDir,
           std::ostream& err);
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  bool replaying() const override { return false; }
  const RecordingHeader& header() const override { return header_; }
  float frameStep(long frame, float measured) override;
  InputFrame input(long frame, InputFrame polled) override;
  std::uint8_t autopilotKeys(long frame, std::uint8_t decided) override;
  void notePose(const RecordedPose& pose) override;
  bool endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err) override;
  bool over(long) const override { return false; }

  // The run so far (every frame ended) as a complete .rvr file; "" when it cannot be read back.
  std::string bytes(std::ostream& err);
  // The end of the run: last-run.rvr in the state folder, and the --record file. False (after one
  // line on `err`) when --record could not be written. A run with a frame of more events than a
  // recording keeps is told once, at that frame, and not recorded at all. Only the first call acts; a run
  // without a frame writes nothing.
  bool finish(std::ostream& err);

 private:
  void flushPending(std::ostream& err);

  RecordingHeader header_;
  std::string recordPath_;
  bool finished_ = false;
  // The frame being gathered, the frames ended, and their bytes not yet in the file.
  RecordedFrame current_;
  std::size_t frames_ = 0;
  std::uint64_t lastHash_ = 0;  // the state after the last frame ended
  Hash64 sum_;                  // of every byte recorded so far
  std::string pending_;         // recorded, not yet handed to the file (or all of it without a file)
  AtomicFile file_;             // last-run.rvr; not open when the state folder cannot be written
  bool toldBehind_ = false;
  std::string refused_;  // why this run is not recorded (a frame with too many events)
  std::string lastRunPath_;
};

}  // namespace ruvelo
