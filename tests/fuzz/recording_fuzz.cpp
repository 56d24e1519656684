// Recordings over arbitrary bytes: never a crash; a refused file gets a one-line reason, an accepted
// one (or one refused only for its checksum, once that is made right) is written again and read back
// with every frame's fields unchanged, and its ghost gives a finite pose at any time.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "replay/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  ruvelo::Recording recording;
  std::string why;
  if (!ruvelo::decodeRecording(bytes, recording, why)) {
    if (why.empty() || why.find('\n') != std::string::npos) __builtin_trap();
    if (why != "damaged (checksum differs)") return 0;
    // A changed byte only ever meets the checksum: the same bytes with their checksum made right
    // reach the checks behind it.
    ruvelo::Hash64 sum;
    sum.bytes(bytes.data(), bytes.size() - 8);
    for (int i = 0; i < 8; ++i) bytes[bytes.size() - 8 + i] = static_cast<char>(sum.value() >> (8 * i));
    if (!ruvelo::decodeRecording(bytes, recording, why)) __builtin_trap();
  }
  ruvelo::Recording again;
  if (!ruvelo::decodeRecording(ruvelo::encodeRecording(recording), again, why)) __builtin_trap();
  if (again.frames.size() != recording.frames.size()) __builtin_trap();
  for (size_t i = 0; i < recording.frames.size(); ++i) {
    const ruvelo::RecordedFrame& a = recording.frames[i];
    const ruvelo::RecordedFrame& b = again.frames[i];
    if (!(a.dt == b.dt && a.held == b.held && a.drive == b.drive && a.events == b.events &&
          a.analog == b.analog && a.autopilotKeys == b.autopilotKeys && a.stateHash == b.stateHash &&
          a.pose.has_value() == b.pose.has_value()))
      __builtin_trap();
  }
  const ruvelo::GhostPath ghost(recording);
  for (double t : {-1.0, 0.0, ghost.duration() / 3.0, ghost.duration(), 1e9}) {
    const ruvelo::RecordedPose pose = ghost.at(t);
    if (!std::isfinite(pose.position.x) || !std::isfinite(pose.rotation.w)) __builtin_trap();
  }
  return 0;
}
