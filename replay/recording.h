// A run as data: what every frame fed into the game (its time step, the input events in order, the
// driving keys held, the autopilot's keys, analog controls), the vehicle's pose for the ghost, every
// 60 frames and after the last frame a hash of the game state, and a checksum of the whole file.
// encodeRecording() and decodeRecording() turn it into the .rvr bytes and back; the decoder checks
// every field and the checksum, and bounds the memory it takes, so any byte string gives a recording
// or a reason, never a crash. No window, GL or physics here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

namespace ruvelo {

constexpr std::uint16_t kRecordingVersion = 3;
// Version 2 kept the keys themselves (the function keys, G, M, Escape), read as the actions they
// were fixed to then; version 3 keeps the actions, so a run replays whatever controls.txt binds.
constexpr std::uint16_t kOldestRecordingVersion = 2;
// A state hash is kept on every frame whose number is a multiple of this.
constexpr long kStateHashInterval = 60;

// One input event as the game applies it (see InputEvent).
struct RecordedEvent {
  // Key, ReverseCamera and Pause are version 2's (Pause: P, the gamepad's Start, or the window
  // losing focus); Action is version 3's, with the action's number in `key`.
  enum class Type : std::uint8_t {
    Key = 0,
    Cursor = 1,
    Scroll = 2,
    ReverseCamera = 3,
    Pause = 4,
    Action = 5
  };
  Type type = Type::Key;
  int key = 0;     // GLFW key code (Key), or the action's number (Action)
  int action = 0;  // GLFW_RELEASE 0, GLFW_PRESS 1, GLFW_REPEAT 2 (Key)
  double x = 0.0;  // cursor position (Cursor)
  double y = 0.0;  // cursor position, or the scroll's vertical offset (Cursor, Scroll)
  bool leftButton = false;
  bool operator==(const RecordedEvent& o) const;
};

// The analog driving amounts after mapping (a gamepad's); absent while all are zero.
struct AnalogControls {
  float forward = 0.0f;  // [0, 1]
  float reverse = 0.0f;  // [0, 1]
  float steer = 0.0f;    // [-1, 1]
  float brake = 0.0f;    // [0, 1]
  bool operator==(const AnalogControls& o) const;
};

// Bits of the digital driving command after mapping.
enum DriveBit : std::uint8_t {
  kDriveForward = 1,
  kDriveSteerRight = 2,
  kDriveReverse = 4,
  kDriveSteerLeft = 8,
  kDriveBrake = 16,
  kDriveRecover = 32
};

struct RecordedPose {
  glm::vec3 position{0.0f};
  glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
};

// Bits of the driving keys held after a frame's poll, and of the autopilot's keys.
enum HeldKeyBit : std::uint8_t {
  kHeldW = 1,
  kHeldA = 2,
  kHeldS = 4,
  kHeldD = 8,
  kHeldB = 16,
  kHeldSpace = 32,
  kHeldLeftShift = 64
};

struct RecordedFrame {
  float dt = 0.0f;         // the time step the frame used, after the cap
  std::uint8_t held = 0;   // HeldKeyBit set after the poll (the free camera reads them)
  std::uint8_t drive = 0;  // DriveBit set: the driving command the poll mapped
  std::vector<RecordedEvent> events;
  std::optional<std::uint8_t> autopilotKeys;  // HeldKeyBit W/A/S/D/B, when the autopilot drove
  std::optional<AnalogControls> analog;
  std::optional<RecordedPose> pose;        // the vehicle as drawn, in playing frames
  std::optional<std::uint64_t> stateHash;  // on frames kStateHashInterval apart
};

struct RecordingHeader {
  std::uint16_t version = kRecordingVersion;
  std::string gameVersion;
  std::string build;
  std::uint64_t dataHash = 0;  // of the data files that affect play
  int width = 0;               // the window's size in settings (it decides what is culled)
  int height = 0;
  bool autopilot = false;
};

struct Recording {
  RecordingHeader header;
  std::vector<RecordedFrame> frames;
  std::uint64_t lastStateHash = 0;  // the game state after the last frame
};

// The largest recording the reader accepts (about 5 hours at 60 frames per second; a run lasts
// minutes).
constexpr std::size_t kMaxRecordingBytes = 32u * 1024u * 1024u;
// The most events one frame may hold.
constexpr std::size_t kMaxEventsPerFrame = 10000;
// The decoder's memory for the frames and events stays within this many times the file's size
// (plus kDecodeAllowanceBytes); a file that would need more is refused as damaged.
constexpr std::size_t kDecodeBytesPerFileByte = 8;
constexpr std::size_t kDecodeAllowanceBytes = 16u * 1024u * 1024u;

// 64-bit FNV-1a, for the data files, the game state and the recording's checksum.
class Hash64 {
 public:
  void bytes(const void* data, std::size_t size);
  void bytes(const std::string& s) { bytes(s.data(), s.size()); }
  void u32(std::uint32_t v) { bytes(&v, sizeof v); }
  void f32(float v);
  void f64(double v);
  void vec3(const glm::vec3& v);
  void quat(const glm::quat& q);
  std::uint64_t value() const { return h_; }

 private:
  std::uint64_t h_ = 1469598103934665603ull;
};

std::string encodeRecording(const Recording& recording);
// The same bytes in pieces, for a recording written as the run goes: the header, each frame appended
// in order, then the end with the number of frames, the last state hash and the checksum of every
// byte before it (`sum`, fed all the bytes so far).
std::string encodeHeader(const RecordingHeader& header);
void appendFrame(std::string& out, const RecordedFrame& frame);
std::string encodeEnd(std::size_t frames, std::uint64_t lastStateHash, Hash64 sum);

// False with `why` (one short phrase: "not a recording", "truncated at frame 12", "recording format
// version 7, this game reads versions 2 to 3", "damaged (checksum differs)", ...) when `bytes` is not a
// complete, valid recording.
bool decodeRecording(const std::string& bytes, Recording& out, std::string& why);

// The ghost: the recorded poses placed on the recording's playing time, interpolated at any time
// (clamped to the first and last pose).
class GhostPath {
 public:
  explicit GhostPath(const Recording& recording);
  bool empty() const { return times_.empty(); }
  RecordedPose at(double playTime) const;
  double duration() const { return times_.empty() ? 0.0 : times_.back(); }

 private:
  std::vector<double> times_;
  std::vector<RecordedPose> poses_;
};

}  // namespace ruvelo
