#include "replay/recorder.h"

#include <ostream>

#include "platform/regular_file.h"

namespace ruvelo {

Recorder::Recorder(const RecordingHeader& header, std::string recordPath, const std::string& stateDir,
                   std::ostream& err)
    : header_(header), recordPath_(std::move(recordPath)) {
  if (!recordPath_.empty()) removeStaleTemporaries(recordPath_);
  pending_ = encodeHeader(header_);
  sum_.bytes(pending_);
  if (stateDir.empty()) return;
  lastRunPath_ = stateDir + "/last-run.rvr";
  removeStaleTemporaries(lastRunPath_);
  // Without the file the run is kept in memory and the end says why it was not kept.
  std::string why;
  if (!file_.open(lastRunPath_, why))
    err << "ruvelo: the run cannot be kept in " << printable(lastRunPath_) << ": " << printable(why)
        << std::endl;
}

float Recorder::frameStep(long /*frame*/, float measured) {
  if (finished_) return measured;
  current_ = RecordedFrame();
  current_.dt = measured;
  return measured;
}

InputFrame Recorder::input(long /*frame*/, InputFrame polled) {
  if (finished_) return polled;
  const RecordedFrame input = recordedInput(polled);
  // A frame that polls twice keeps both polls' events.
  current_.held = input.held;
  current_.drive = input.drive;
  current_.analog = input.analog;
  current_.events.insert(current_.events.end(), input.events.begin(), input.events.end());
  return polled;
}

std::uint8_t Recorder::autopilotKeys(long /*frame*/, std::uint8_t decided) {
  if (!finished_) current_.autopilotKeys = decided;
  return decided;
}

void Recorder::notePose(const RecordedPose& pose) {
  if (!finished_) current_.pose = pose;
}

bool Recorder::endFrame(long frame, const std::function<std::uint64_t()>& stateHash, std::ostream& err) {
  if (finished_ || !refused_.empty()) return true;
  if (current_.events.size() > kMaxEventsPerFrame) {
    // A recording keeps at most that many events a frame; one that dropped some would not replay, so
    // this run is not recorded at all (last-run.rvr and --record stay as they were).
    refused_ = "frame " + std::to_string(frame) + " had " + std::to_string(current_.events.size()) +
               " input events, more than a recording keeps (" + std::to_string(kMaxEventsPerFrame) + ")";
    err << "ruvelo: this run is not recorded: " << refused_ << std::endl;
    file_.abandon();
    pending_.clear();
    return true;
  }
  lastHash_ = stateHash();
  if (frame % kStateHashInterval == 0) current_.stateHash = lastHash_;
  const std::size_t from = pending_.size();
  appendFrame(pending_, current_);
  sum_.bytes(pending_.data() + from, pending_.size() - from);
  ++frames_;
  current_ = RecordedFrame();
  if (pending_.size() >= 64 * 1024) flushPending(err);
  return true;
}

// The pending bytes to the file. Bytes the file does not take stay in the writer's memory and are
// written at the end; the first time that happens is told once.
void Recorder::flushPending(std::ostream& err) {
  if (!file_.isOpen()) return;
  file_.append(pending_);
  pending_.clear();
  if (file_.behind() && !toldBehind_) {
    toldBehind_ = true;
    err << "ruvelo: the run cannot be written to " << printable(lastRunPath_)
        << " as it goes (the disk may be full); "
        << "it is kept in memory until the end" << std::endl;
  }
}

std::string Recorder::bytes(std::ostream& err) {
  if (!refused_.empty()) return "";
  const std::string end = encodeEnd(frames_, lastHash_, sum_);
  if (!file_.isOpen()) return pending_ + end;
  flushPending(err);
  std::string written;
  if (!file_.contents(written)) {
    err << "ruvelo: the run cannot be read back from the file for " << printable(lastRunPath_) << std::endl;
    return "";
  }
  return written + end;
}

bool Recorder::finish(std::ostream& err) {
  if (finished_) return true;
  finished_ = true;
  if (!refused_.empty()) {
    if (recordPath_.empty()) return true;
    err << "ruvelo: --record " << recordPath_ << ": not written (" << refused_ << ")" << std::endl;
    return false;
  }
  // A run that never played a frame (one retried on the last frame) replaces no recording.
  if (frames_ == 0) {
    file_.abandon();
    return true;
  }
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
      err << "ruvelo: the run could not be kept in " << printable(lastRunPath_) << ": " << printable(why)
          << std::endl;
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
