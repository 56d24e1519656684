#include "replay/recorder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "platform/regular_file.h"
#include "platform/user_dirs.h"

namespace ruvelo {

Recorder::Recorder(const RecordingHeader& header, std::string recordPath, const std::string& stateDir)
    : header_(header), recordPath_(std::move(recordPath)) {
  pending_ = encodeHeader(header_);
  if (stateDir.empty()) return;
  lastRunPath_ = stateDir + "/last-run.rvr";
  streamPath_ = lastRunPath_ + ".tmp-" + std::to_string(::getpid());
  std::string why;
  if (makeDirs(stateDir, why)) stream_ = std::fopen(streamPath_.c_str(), "wb");
  // Without the file the run is kept in memory and written at the end.
  if (!stream_) streamPath_.clear();
}

Recorder::~Recorder() {
  if (stream_) std::fclose(stream_);
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
  if (finished_) return true;
  if (frame % kStateHashInterval == 0) current_.stateHash = stateHash();
  appendFrame(pending_, current_);
  ++frames_;
  current_ = RecordedFrame();
  if (pending_.size() >= 64 * 1024) flushPending(err);
  return true;
}

// The pending bytes into the temporary file; a file that fails is given up (and removed), and the
// run is kept in memory from then on.
bool Recorder::flushPending(std::ostream& err) {
  if (!stream_) return false;
  if (std::fwrite(pending_.data(), 1, pending_.size(), stream_) == pending_.size() &&
      std::fflush(stream_) == 0) {
    pending_.clear();
    return true;
  }
  err << "ruvelo: the run cannot be written to " << streamPath_ << ": " << std::strerror(errno)
      << "; it is kept in memory" << std::endl;
  // What reached the file is read back into memory so the recording stays whole.
  std::fclose(stream_);
  stream_ = nullptr;
  std::string written, why;
  if (readRegularFile(streamPath_, kMaxRecordingBytes, written, why)) pending_ = written + pending_;
  std::remove(streamPath_.c_str());
  streamPath_.clear();
  return false;
}

std::string Recorder::bytes(std::ostream& err) {
  if (!stream_) return pending_ + encodeEnd(frames_);
  if (!flushPending(err)) return pending_ + encodeEnd(frames_);
  std::string written, why;
  if (!readRegularFile(streamPath_, kMaxRecordingBytes, written, why)) {
    err << "ruvelo: the run cannot be read back from " << streamPath_ << ": " << why << std::endl;
    return "";
  }
  return written + encodeEnd(frames_);
}

bool Recorder::finish(std::ostream& err) {
  if (finished_) return true;
  finished_ = true;
  // A run that never played a frame (one retried on the last frame) replaces no recording.
  if (frames_ == 0) {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (!streamPath_.empty()) std::remove(streamPath_.c_str());
    return true;
  }
  pending_ += encodeEnd(frames_);
  std::string why;
  if (stream_ && flushPending(err)) {
    // Flushed, synced and renamed: last-run.rvr is always a whole recording.
    const bool synced = ::fsync(::fileno(stream_)) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!(synced && closed && std::rename(streamPath_.c_str(), lastRunPath_.c_str()) == 0)) {
      err << "ruvelo: the run could not be kept in " << lastRunPath_ << ": " << std::strerror(errno)
          << std::endl;
      if (!readRegularFile(streamPath_, kMaxRecordingBytes, pending_, why)) pending_.clear();
      std::remove(streamPath_.c_str());
    }
  } else if (!lastRunPath_.empty() && !writeFileAtomically(lastRunPath_, pending_, why)) {
    err << "ruvelo: the run could not be kept in " << lastRunPath_ << ": " << why << std::endl;
  }
  if (recordPath_.empty()) return true;
  // Written through the file, the recording is read back from it.
  std::string recording = pending_;
  if (recording.empty() && !readRegularFile(lastRunPath_, kMaxRecordingBytes, recording, why)) {
    err << "ruvelo: --record " << recordPath_ << ": " << lastRunPath_ << ": " << why << std::endl;
    return false;
  }
  if (!writeFileAtomically(recordPath_, recording, why)) {
    err << "ruvelo: --record " << recordPath_ << ": " << why << std::endl;
    return false;
  }
  return true;
}

}  // namespace ruvelo
