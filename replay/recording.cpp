#include "replay/recording.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/controls.h"
#include "platform/frame_time.h"

namespace ruvelo {
namespace {

// "RVREC", then CR LF and ^Z so a text-mode copy or a terminal dump is told apart at once.
constexpr char kMagic[8] = {'R', 'V', 'R', 'E', 'C', '\r', '\n', '\x1a'};

enum FrameFlag : std::uint8_t {
  kHasEvents = 1,
  kHasAnalog = 2,
  kHasAutopilot = 4,
  kHasPose = 8,
  kHasHash = 16,
  kKnownFlags = 31,
  kEndOfFrames = 0xff,
};

constexpr int kMaxKeyCode = 1023;

class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u16(std::uint16_t v) { le(v, 2); }
  void u32(std::uint32_t v) { le(v, 4); }
  void u64(std::uint64_t v) { le(v, 8); }
  void i16(int v) { u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
  void f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
  void f64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    u64(bits);
  }
  void text(const std::string& s) {
    const std::size_t n = std::min<std::size_t>(s.size(), 255);
    u8(static_cast<std::uint8_t>(n));
    out_.append(s, 0, n);
  }
  void raw(const char* data, std::size_t n) { out_.append(data, n); }
  std::string take() { return std::move(out_); }

 private:
  void le(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
  }
  std::string out_;
};

// Reads little-endian fields; once past the end every read fails and stays failed.
class Reader {
 public:
  explicit Reader(const std::string& in) : in_(in) {}
  bool u8(std::uint8_t& v) {
    std::uint64_t x;
    if (!le(x, 1)) return false;
    v = static_cast<std::uint8_t>(x);
    return true;
  }
  bool u16(std::uint16_t& v) {
    std::uint64_t x;
    if (!le(x, 2)) return false;
    v = static_cast<std::uint16_t>(x);
    return true;
  }
  bool u32(std::uint32_t& v) {
    std::uint64_t x;
    if (!le(x, 4)) return false;
    v = static_cast<std::uint32_t>(x);
    return true;
  }
  bool u64(std::uint64_t& v) { return le(v, 8); }
  bool i16(int& v) {
    std::uint16_t x;
    if (!u16(x)) return false;
    v = static_cast<std::int16_t>(x);
    return true;
  }
  bool f32(float& v) {
    std::uint32_t bits;
    if (!u32(bits)) return false;
    std::memcpy(&v, &bits, 4);
    return true;
  }
  bool f64(double& v) {
    std::uint64_t bits;
    if (!u64(bits)) return false;
    std::memcpy(&v, &bits, 8);
    return true;
  }
  bool text(std::string& s) {
    std::uint8_t n;
    if (!u8(n) || in_.size() - at_ < n) return fail();
    s = in_.substr(at_, n);
    at_ += n;
    return true;
  }
  bool raw(std::string& s, std::size_t n) {
    if (in_.size() - at_ < n) return fail();
    s = in_.substr(at_, n);
    at_ += n;
    return true;
  }
  bool atEnd() const { return at_ == in_.size(); }

 private:
  bool fail() {
    at_ = in_.size();
    return false;
  }
  bool le(std::uint64_t& v, std::size_t n) {
    if (in_.size() - at_ < n) return fail();
    v = 0;
    for (std::size_t i = 0; i < n; ++i)
      v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in_[at_ + i])) << (8 * i);
    at_ += n;
    return true;
  }
  const std::string& in_;
  std::size_t at_ = 0;
};

bool printable(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

std::int16_t quantised(float v) {
  return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

void writePose(Writer& w, const RecordedPose& pose) {
  w.f32(pose.position.x);
  w.f32(pose.position.y);
  w.f32(pose.position.z);
  // A unit quaternion in four 16-bit fractions: the ghost needs a few thousandths of a radian.
  const glm::quat q = glm::normalize(pose.rotation);
  w.i16(quantised(q.w));
  w.i16(quantised(q.x));
  w.i16(quantised(q.y));
  w.i16(quantised(q.z));
}

bool readPose(Reader& r, RecordedPose& pose) {
  int q[4];
  if (!r.f32(pose.position.x) || !r.f32(pose.position.y) || !r.f32(pose.position.z)) return false;
  for (int& c : q)
    if (!r.i16(c)) return false;
  const glm::quat rotation(q[0] / 32767.0f, q[1] / 32767.0f, q[2] / 32767.0f, q[3] / 32767.0f);
  if (glm::length(rotation) < 0.5f) return false;  // not a rotation
  pose.rotation = glm::normalize(rotation);
  return std::isfinite(pose.position.x) && std::isfinite(pose.position.y) && std::isfinite(pose.position.z);
}

void writeEvent(Writer& w, const RecordedEvent& e) {
  w.u8(static_cast<std::uint8_t>(e.type));
  switch (e.type) {
    case RecordedEvent::Type::Key:
      w.i16(e.key);
      w.u8(static_cast<std::uint8_t>(e.action));
      break;
    case RecordedEvent::Type::Cursor:
      w.f64(e.x);
      w.f64(e.y);
      w.u8(e.leftButton ? 1 : 0);
      break;
    case RecordedEvent::Type::Scroll:
      w.f64(e.y);
      break;
    case RecordedEvent::Type::Action:
      w.u8(static_cast<std::uint8_t>(e.key));
      break;
    case RecordedEvent::Type::ReverseCamera:
    case RecordedEvent::Type::Pause:
      break;
  }
}

// "" when the event is one the game could have applied, else what is wrong with it.
std::string readEvent(Reader& r, RecordedEvent& e, std::uint16_t version) {
  std::uint8_t type;
  if (!r.u8(type)) return "truncated";
  switch (type) {
    case 0: {
      e.type = RecordedEvent::Type::Key;
      std::uint8_t action;
      if (!r.i16(e.key) || !r.u8(action)) return "truncated";
      if (e.key < -1 || e.key > kMaxKeyCode) return "a key code out of range";
      if (action > 2) return "a key action out of range";
      e.action = action;
      return "";
    }
    case 1: {
      e.type = RecordedEvent::Type::Cursor;
      std::uint8_t left;
      if (!r.f64(e.x) || !r.f64(e.y) || !r.u8(left)) return "truncated";
      if (!std::isfinite(e.x) || !std::isfinite(e.y) || left > 1) return "a bad cursor event";
      e.leftButton = left == 1;
      return "";
    }
    case 3:
      e.type = RecordedEvent::Type::ReverseCamera;
      return "";
    case 4:
      e.type = RecordedEvent::Type::Pause;
      return "";
    case 5: {
      if (version < 3) return "an unknown event type";
      e.type = RecordedEvent::Type::Action;
      std::uint8_t action;
      if (!r.u8(action)) return "truncated";
      if (action >= kActionCount) return "an action out of range";
      e.key = action;
      return "";
    }
    case 2:
      e.type = RecordedEvent::Type::Scroll;
      if (!r.f64(e.y)) return "truncated";
      if (!std::isfinite(e.y)) return "a bad scroll event";
      return "";
    default:
      return "an unknown event type";
  }
}

}  // namespace

bool RecordedEvent::operator==(const RecordedEvent& o) const {
  return type == o.type && key == o.key && action == o.action && x == o.x && y == o.y &&
         leftButton == o.leftButton;
}

bool AnalogControls::operator==(const AnalogControls& o) const {
  return forward == o.forward && reverse == o.reverse && steer == o.steer && brake == o.brake;
}

std::string encodeHeader(const RecordingHeader& h) {
  Writer w;
  w.raw(kMagic, sizeof kMagic);
  w.u16(kRecordingVersion);
  w.text(h.gameVersion);
  w.text(h.build);
  w.u64(h.dataHash);
  w.u16(static_cast<std::uint16_t>(std::clamp(h.width, 0, 65535)));
  w.u16(static_cast<std::uint16_t>(std::clamp(h.height, 0, 65535)));
  w.u8(h.autopilot ? 1 : 0);
  return w.take();
}

void appendFrame(std::string& out, const RecordedFrame& f) {
  Writer w;
  const std::size_t events = std::min(f.events.size(), kMaxEventsPerFrame);
  std::uint8_t flags = 0;
  if (events > 0) flags |= kHasEvents;
  if (f.analog) flags |= kHasAnalog;
  if (f.autopilotKeys) flags |= kHasAutopilot;
  if (f.pose) flags |= kHasPose;
  if (f.stateHash) flags |= kHasHash;
  w.u8(flags);
  w.f32(f.dt);
  w.u8(f.held);
  w.u8(f.drive);
  if (events > 0) {
    w.u16(static_cast<std::uint16_t>(events));
    for (std::size_t i = 0; i < events; ++i) writeEvent(w, f.events[i]);
  }
  if (f.analog) {
    w.f32(f.analog->forward);
    w.f32(f.analog->reverse);
    w.f32(f.analog->steer);
    w.f32(f.analog->brake);
  }
  if (f.autopilotKeys) w.u8(*f.autopilotKeys);
  if (f.pose) writePose(w, *f.pose);
  if (f.stateHash) w.u64(*f.stateHash);
  out += w.take();
}

std::string encodeEnd(std::size_t frames, std::uint64_t lastStateHash, Hash64 sum) {
  Writer w;
  w.u8(kEndOfFrames);
  w.u32(static_cast<std::uint32_t>(frames));
  w.u64(lastStateHash);
  std::string end = w.take();
  sum.bytes(end);
  Writer checksum;
  checksum.u64(sum.value());
  return end + checksum.take();
}

std::string encodeRecording(const Recording& recording) {
  std::string out = encodeHeader(recording.header);
  for (const RecordedFrame& f : recording.frames) appendFrame(out, f);
  Hash64 sum;
  sum.bytes(out);
  return out + encodeEnd(recording.frames.size(), recording.lastStateHash, sum);
}

namespace {

// The magic, format version and header fields; false with why set when any is missing or damaged.
bool readHeader(Reader& r, RecordingHeader& h, std::string& why) {
  std::string magic;
  if (!r.raw(magic, sizeof kMagic) || magic != std::string(kMagic, sizeof kMagic)) {
    why = "not a recording";
    return false;
  }
  if (!r.u16(h.version)) {
    why = "truncated in its header";
    return false;
  }
  if (h.version < kOldestRecordingVersion || h.version > kRecordingVersion) {
    why = "recording format version " + std::to_string(h.version) + ", this game reads versions " +
          std::to_string(kOldestRecordingVersion) + " to " + std::to_string(kRecordingVersion);
    return false;
  }
  std::uint16_t width, height;
  std::uint8_t autopilot;
  if (!r.text(h.gameVersion) || !r.text(h.build) || !r.u64(h.dataHash) || !r.u16(width) || !r.u16(height) ||
      !r.u8(autopilot)) {
    why = "truncated in its header";
    return false;
  }
  if (!printable(h.gameVersion) || !printable(h.build) || autopilot > 1) {
    why = "a damaged header";
    return false;
  }
  h.width = width;
  h.height = height;
  h.autopilot = autopilot == 1;
  return true;
}

// A frame's event count and events; `where` names the frame in the message.
bool readFrameEvents(Reader& r, const std::string& where, std::uint16_t version, RecordedFrame& f,
                     std::string& why) {
  std::uint16_t count;
  if (!r.u16(count)) {
    why = "truncated" + where;
    return false;
  }
  if (count == 0 || count > kMaxEventsPerFrame) {
    why = "damaged" + where + " (event count)";
    return false;
  }
  f.events.resize(count);
  for (RecordedEvent& e : f.events) {
    const std::string problem = readEvent(r, e, version);
    if (!problem.empty()) {
      why = (problem == "truncated" ? "truncated" + where : "damaged" + where + " (" + problem + ")");
      return false;
    }
  }
  return true;
}

bool readFrameAnalog(Reader& r, const std::string& where, RecordedFrame& f, std::string& why) {
  AnalogControls a;
  if (!r.f32(a.forward) || !r.f32(a.reverse) || !r.f32(a.steer) || !r.f32(a.brake)) {
    why = "truncated" + where;
    return false;
  }
  const auto unit = [](float v) { return v >= 0.0f && v <= 1.0f; };
  if (!(std::fabs(a.steer) <= 1.0f && unit(a.forward) && unit(a.reverse) && unit(a.brake))) {
    why = "damaged" + where + " (analog controls)";
    return false;
  }
  f.analog = a;
  return true;
}

// The optional parts after the analog controls: autopilot keys, vehicle pose and state hash.
bool readFrameTail(Reader& r, std::uint8_t flags, const std::string& where, RecordedFrame& f,
                   std::string& why) {
  if (flags & kHasAutopilot) {
    std::uint8_t keys;
    if (!r.u8(keys)) {
      why = "truncated" + where;
      return false;
    }
    if ((keys & ~(kHeldW | kHeldA | kHeldS | kHeldD | kHeldB)) != 0) {
      why = "damaged" + where + " (autopilot keys)";
      return false;
    }
    f.autopilotKeys = keys;
  }
  if (flags & kHasPose) {
    RecordedPose pose;
    if (!readPose(r, pose)) {
      why = r.atEnd() ? "truncated" + where : "damaged" + where + " (vehicle pose)";
      return false;
    }
    f.pose = pose;
  }
  if (flags & kHasHash) {
    std::uint64_t hash;
    if (!r.u64(hash)) {
      why = "truncated" + where;
      return false;
    }
    f.stateHash = hash;
  }
  return true;
}

enum class FrameRead { Frame, End, Bad };

// The frame numbered `number` (from 1), or the end-of-frames marker in its place.
FrameRead readFrame(Reader& r, std::uint16_t version, std::size_t number, RecordedFrame& f,
                    std::string& why) {
  const std::string where = " at frame " + std::to_string(number);
  std::uint8_t flags;
  if (!r.u8(flags)) {
    why = "truncated" + where;
    return FrameRead::Bad;
  }
  if (flags == kEndOfFrames) return FrameRead::End;
  if ((flags & ~kKnownFlags) != 0) {
    why = "damaged" + where + " (unknown frame flags)";
    return FrameRead::Bad;
  }
  if (!r.f32(f.dt) || !r.u8(f.held) || !r.u8(f.drive)) {
    why = "truncated" + where;
    return FrameRead::Bad;
  }
  if (!(f.dt >= 0.0f && f.dt <= kMaxFrameTime) || (f.held & 0x80) != 0 || (f.drive & 0xc0) != 0) {
    why = "damaged" + where + " (time step, held keys or driving command)";
    return FrameRead::Bad;
  }
  if ((flags & kHasEvents) && !readFrameEvents(r, where, version, f, why)) return FrameRead::Bad;
  if ((flags & kHasAnalog) && !readFrameAnalog(r, where, f, why)) return FrameRead::Bad;
  if (!readFrameTail(r, flags, where, f, why)) return FrameRead::Bad;
  return FrameRead::Frame;
}

// After the end marker: the frame count, which must match, the last state hash and the checksum of
// every byte before it, which must end the bytes.
bool readFooter(Reader& r, const std::string& bytes, std::size_t frames, std::uint64_t& lastStateHash,
                std::string& why) {
  std::uint32_t count;
  std::uint64_t checksum;
  if (!r.u32(count) || !r.u64(lastStateHash) || !r.u64(checksum)) {
    why = "truncated after its last frame";
    return false;
  }
  if (count != frames || !r.atEnd()) {
    why = "damaged at its end (frame count or trailing bytes)";
    return false;
  }
  Hash64 sum;
  sum.bytes(bytes.data(), bytes.size() - 8);
  if (sum.value() != checksum) {
    why = "damaged (checksum differs)";
    return false;
  }
  return true;
}

// Reads every frame of `bytes` after the header into one scratch frame, counting the frames and
// what they will take in memory, then the footer. False with `why` when anything is wrong or the
// frames would take more than the decoder allows for a file of this size.
bool checkWhole(const std::string& bytes, std::size_t& frames, std::string& why) {
  Reader r(bytes);
  RecordingHeader header;
  if (!readHeader(r, header, why)) return false;
  // A frame is at least 7 bytes but takes about a hundred in memory, an event 1 byte but 40: a file
  // asking for more than a few times its size is not one the game wrote.
  const std::size_t budget = kDecodeBytesPerFileByte * bytes.size() + kDecodeAllowanceBytes;
  std::size_t events = 0;
  frames = 0;
  RecordedFrame scratch;
  for (;;) {
    scratch.events.clear();
    const FrameRead read = readFrame(r, header.version, frames + 1, scratch, why);
    if (read == FrameRead::Bad) return false;
    if (read == FrameRead::End) break;
    ++frames;
    events += scratch.events.size();
    if (frames * sizeof(RecordedFrame) + events * sizeof(RecordedEvent) > budget) {
      why = "damaged at frame " + std::to_string(frames) + " (too many frames and events for a file of " +
            std::to_string(bytes.size()) + " bytes)";
      return false;
    }
  }
  std::uint64_t lastStateHash;
  return readFooter(r, bytes, frames, lastStateHash, why);
}

}  // namespace

bool decodeRecording(const std::string& bytes, Recording& out, std::string& why) {
  out = Recording();
  if (bytes.size() > kMaxRecordingBytes) {
    why = "too large to be a recording";
    return false;
  }
  // The whole file is checked before anything is kept, so memory is taken only for a good file, and
  // exactly what its frames need.
  std::size_t frames = 0;
  if (!checkWhole(bytes, frames, why)) return false;
  Reader r(bytes);
  readHeader(r, out.header, why);
  out.frames.resize(frames);
  for (std::size_t i = 0; i < frames; ++i) readFrame(r, out.header.version, i + 1, out.frames[i], why);
  RecordedFrame end;
  readFrame(r, out.header.version, frames + 1, end, why);  // the end marker
  return readFooter(r, bytes, frames, out.lastStateHash, why);
}

void Hash64::bytes(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    h_ ^= p[i];
    h_ *= 1099511628211ull;
  }
}

void Hash64::f32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  u32(bits);
}

void Hash64::f64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  bytes(&bits, 8);
}

void Hash64::vec3(const glm::vec3& v) {
  f32(v.x);
  f32(v.y);
  f32(v.z);
}

void Hash64::quat(const glm::quat& q) {
  f32(q.w);
  f32(q.x);
  f32(q.y);
  f32(q.z);
}

GhostPath::GhostPath(const Recording& recording) {
  double time = 0.0;
  for (const RecordedFrame& f : recording.frames) {
    if (!f.pose) continue;
    time += f.dt;
    times_.push_back(time);
    poses_.push_back(*f.pose);
  }
}

RecordedPose GhostPath::at(double playTime) const {
  if (times_.empty()) return {};
  if (playTime <= times_.front()) return poses_.front();
  if (playTime >= times_.back()) return poses_.back();
  const std::size_t next =
      static_cast<std::size_t>(std::upper_bound(times_.begin(), times_.end(), playTime) - times_.begin());
  const std::size_t prev = next - 1;
  const double span = times_[next] - times_[prev];
  const float t = span > 0.0 ? static_cast<float>((playTime - times_[prev]) / span) : 1.0f;
  RecordedPose pose;
  pose.position = glm::mix(poses_[prev].position, poses_[next].position, t);
  pose.rotation = glm::slerp(poses_[prev].rotation, poses_[next].rotation, t);
  return pose;
}

}  // namespace ruvelo
