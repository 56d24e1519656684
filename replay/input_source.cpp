#include "replay/input_source.h"

#include <GLFW/glfw3.h>

namespace ruvelo {
namespace {

// The driving keys the frame polls, with their bit in a recorded frame.
struct HeldKey {
  int key;
  std::uint8_t bit;
};
constexpr HeldKey kHeldKeys[] = {{GLFW_KEY_W, kHeldW},
                                 {GLFW_KEY_A, kHeldA},
                                 {GLFW_KEY_S, kHeldS},
                                 {GLFW_KEY_D, kHeldD},
                                 {GLFW_KEY_B, kHeldB},
                                 {GLFW_KEY_SPACE, kHeldSpace},
                                 {GLFW_KEY_LEFT_SHIFT, kHeldLeftShift}};

// The event kinds a recording keeps; a retry ends the run and is not part of it.
bool recorded(InputEvent::Type type) {
  return type != InputEvent::Type::Retry && type != InputEvent::Type::FocusLost;
}

RecordedEvent::Type recordedType(InputEvent::Type type) {
  switch (type) {
    case InputEvent::Type::Cursor:
      return RecordedEvent::Type::Cursor;
    case InputEvent::Type::Scroll:
      return RecordedEvent::Type::Scroll;
    case InputEvent::Type::ReverseCamera:
      return RecordedEvent::Type::ReverseCamera;
    case InputEvent::Type::Pause:
      return RecordedEvent::Type::Pause;
    default:
      return RecordedEvent::Type::Key;
  }
}

InputEvent::Type liveType(RecordedEvent::Type type) {
  switch (type) {
    case RecordedEvent::Type::Cursor:
      return InputEvent::Type::Cursor;
    case RecordedEvent::Type::Scroll:
      return InputEvent::Type::Scroll;
    case RecordedEvent::Type::ReverseCamera:
      return InputEvent::Type::ReverseCamera;
    case RecordedEvent::Type::Pause:
      return InputEvent::Type::Pause;
    case RecordedEvent::Type::Key:
      break;
  }
  return InputEvent::Type::Key;
}

}  // namespace

RecordedFrame recordedInput(const InputFrame& input) {
  RecordedFrame frame;
  for (const HeldKey& k : kHeldKeys)
    if (input.held(k.key)) frame.held |= k.bit;
  const DriveCommand& d = input.drive;
  frame.drive =
      static_cast<std::uint8_t>((d.forward ? kDriveForward : 0) | (d.steerRight ? kDriveSteerRight : 0) |
                                (d.reverse ? kDriveReverse : 0) | (d.steerLeft ? kDriveSteerLeft : 0) |
                                (d.brake ? kDriveBrake : 0) | (d.recover ? kDriveRecover : 0));
  if (d.forwardAmount != 0.0f || d.reverseAmount != 0.0f || d.steerAmount != 0.0f || d.brakeAmount != 0.0f)
    frame.analog = AnalogControls{d.forwardAmount, d.reverseAmount, d.steerAmount, d.brakeAmount};
  for (const InputEvent& e : input.events) {
    if (!recorded(e.type)) continue;
    RecordedEvent r;
    r.type = recordedType(e.type);
    r.key = e.key;
    r.action = e.action;
    r.x = e.x;
    r.y = e.y;
    r.leftButton = e.leftButton;
    frame.events.push_back(r);
  }
  return frame;
}

InputFrame replayedInput(const RecordedFrame& frame, const InputFrame& live) {
  InputFrame input;
  // Escape from the keyboard still ends a replay.
  for (const InputEvent& e : live.events)
    if (e.type == InputEvent::Type::Key && e.key == GLFW_KEY_ESCAPE) input.events.push_back(e);
  for (const RecordedEvent& r : frame.events) {
    InputEvent e;
    e.type = liveType(r.type);
    e.key = r.key;
    e.action = r.action;
    e.x = r.x;
    e.y = r.y;
    e.leftButton = r.leftButton;
    input.events.push_back(e);
  }
  for (const HeldKey& k : kHeldKeys) input.setHeld(k.key, (frame.held & k.bit) != 0);
  DriveCommand& d = input.drive;
  d.forward = (frame.drive & kDriveForward) != 0;
  d.steerRight = (frame.drive & kDriveSteerRight) != 0;
  d.reverse = (frame.drive & kDriveReverse) != 0;
  d.steerLeft = (frame.drive & kDriveSteerLeft) != 0;
  d.brake = (frame.drive & kDriveBrake) != 0;
  d.recover = (frame.drive & kDriveRecover) != 0;
  if (frame.analog) {
    d.forwardAmount = frame.analog->forward;
    d.reverseAmount = frame.analog->reverse;
    d.steerAmount = frame.analog->steer;
    d.brakeAmount = frame.analog->brake;
  }
  return input;
}

}  // namespace ruvelo
