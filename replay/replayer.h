// A recorded run played back: it serves the recorded frames in place of the live input (only
// Escape stays live) and checks the state hashes as it goes and after the last frame.
#pragma once

#include <string>

#include "replay/input_source.h"

namespace ruvelo {

class Replayer : public InputSource {
 public:
  // Reads `path`, which must be a readable recording made by this version with the same data and
  // window size as `expected`. 0, or the process status (2) after one line on `err` naming the file
  // and why.
  int open(const std::string& path, const RecordingHeader& expected, std::ostream& err);

  bool replaying() const override { return true; }
  const RecordingHeader& header() const override { return replay_.header; }
  float frameStep(long frame, float measured) override;
  InputFrame input(long frame, InputFrame polled) override;
  std::uint8_t autopilotKeys(long frame, std::uint8_t decided) override;
  void notePose(const RecordedPose&) override {}
  bool endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err) override;
  bool over(long frame) const override;

 private:
  const RecordedFrame* replayed(long frame) const;

  std::string path_;
  Recording replay_;
};

}  // namespace ruvelo
