#include "replay/replayer.h"

#include <ostream>

#include "platform/regular_file.h"

namespace ruvelo {

int Replayer::open(const std::string& path, const RecordingHeader& expected, std::ostream& err) {
  path_ = path;
  std::string bytes, why;
  if (!readRegularFile(path, kMaxRecordingBytes, bytes, why) || !decodeRecording(bytes, replay_, why)) {
    err << "ruvelo: --replay " << path << ": " << why << std::endl;
    return 2;
  }
  const RecordingHeader& h = replay_.header;
  if (h.gameVersion != expected.gameVersion) {
    why = "recorded by version " + h.gameVersion + ", this is " + expected.gameVersion;
  } else if (h.dataHash != expected.dataHash) {
    why = "recorded with other game data (the level's collision mesh differs)";
  } else if (h.width != expected.width || h.height != expected.height) {
    why = "recorded in a " + std::to_string(h.width) + "x" + std::to_string(h.height) +
          " window, the settings give " + std::to_string(expected.width) + "x" +
          std::to_string(expected.height);
  }
  if (!why.empty()) {
    err << "ruvelo: --replay " << path << ": " << why << std::endl;
    return 2;
  }
  return 0;
}

const RecordedFrame* Replayer::replayed(long frame) const {
  if (frame < 1 || frame > static_cast<long>(replay_.frames.size())) return nullptr;
  return &replay_.frames[static_cast<std::size_t>(frame - 1)];
}

float Replayer::frameStep(long frame, float measured) {
  const RecordedFrame* f = replayed(frame);
  return f ? f->dt : measured;
}

InputFrame Replayer::input(long frame, InputFrame polled) {
  const RecordedFrame* f = replayed(frame);
  return replayedInput(f ? *f : RecordedFrame(), polled);
}

std::uint8_t Replayer::autopilotKeys(long frame, std::uint8_t /*decided*/) {
  const RecordedFrame* f = replayed(frame);
  return f && f->autopilotKeys ? *f->autopilotKeys : 0;
}

bool Replayer::endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err) {
  const RecordedFrame* f = replayed(frame);
  const bool hashed = frame % kStateHashInterval == 0 && f && f->stateHash;
  // After its last frame the run is checked against the hash the recording ends with.
  const bool last = frame == static_cast<long>(replay_.frames.size());
  if (!hashed && !last) return true;
  const std::uint64_t now = stateHash();
  if ((!hashed || *f->stateHash == now) && (!last || replay_.lastStateHash == now)) return true;
  err << "ruvelo: --replay " << path_ << ": the game left the recorded run at frame " << frame
      << " (state hash differs)" << std::endl;
  return false;
}

bool Replayer::over(long frame) const {
  return frame >= static_cast<long>(replay_.frames.size());
}

}  // namespace ruvelo
