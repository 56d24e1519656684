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

// Version 2 kept the keys with a fixed meaning as keys; the action each was fixed to. P and the
// reverse camera's key were kept as their own events beside the key, so they are not here.
struct OldKey {
  int key;
  Action action;
};
constexpr OldKey kVersion2Keys[] = {
    {GLFW_KEY_ESCAPE, Action::Quit},      {GLFW_KEY_F1, Action::ToggleWireframe},
    {GLFW_KEY_F2, Action::ToggleCulling}, {GLFW_KEY_F3, Action::DebugCamera},
    {GLFW_KEY_F4, Action::ToggleRules},   {GLFW_KEY_F5, Action::Brighter},
    {GLFW_KEY_F6, Action::Darker},        {GLFW_KEY_F7, Action::ToggleSnow},
    {GLFW_KEY_F8, Action::ToggleFrustum}, {GLFW_KEY_F9, Action::ToggleHud},
    {GLFW_KEY_F10, Action::RenderScale},  {GLFW_KEY_G, Action::ToggleGhost},
    {GLFW_KEY_M, Action::Mute},
};

// A recorded event as the frame applies it; false for one that applies nothing (a version 2 key
// press, or a key without a fixed meaning).
bool liveEvent(const RecordedEvent& r, InputEvent& e) {
  switch (r.type) {
    case RecordedEvent::Type::Cursor:
    case RecordedEvent::Type::Scroll:
      e.type = r.type == RecordedEvent::Type::Cursor ? InputEvent::Type::Cursor : InputEvent::Type::Scroll;
      e.x = r.x;
      e.y = r.y;
      e.leftButton = r.leftButton;
      return true;
    case RecordedEvent::Type::Action:
      e = InputEvent::of(static_cast<Action>(r.key));
      return true;
    case RecordedEvent::Type::ReverseCamera:
      e = InputEvent::of(Action::ReverseCamera);
      return true;
    case RecordedEvent::Type::Pause:
      e = InputEvent::of(Action::Pause);
      return true;
    case RecordedEvent::Type::Key:
      if (r.action != GLFW_RELEASE) return false;
      for (const OldKey& old : kVersion2Keys) {
        if (old.key != r.key) continue;
        e = InputEvent::of(old.action);
        return true;
      }
      return false;
  }
  return false;
}

}  // namespace

RecordedFrame recordedInput(const InputFrame& input) {
  RecordedFrame frame;
  for (const HeldKey& k : kHeldKeys)
    if (input.held(k.key)) frame.held |= k.bit;
  const DriveCommand& d = input.drive;
  frame.drive =
      static_cast<std::uint8_t>((d.forward ? kDriveForward : 0) | (d.turnLeft ? kDriveSteerRight : 0) |
                                (d.reverse ? kDriveReverse : 0) | (d.turnRight ? kDriveSteerLeft : 0) |
                                (d.brake ? kDriveBrake : 0) | (d.recover ? kDriveRecover : 0));
  if (d.forwardAmount != 0.0f || d.reverseAmount != 0.0f || d.steerAmount != 0.0f || d.brakeAmount != 0.0f)
    frame.analog = AnalogControls{d.forwardAmount, d.reverseAmount, d.steerAmount, d.brakeAmount};
  // A retry ends the run and is not part of it; a lost focus is recorded as the pause it became.
  for (const InputEvent& e : input.events) {
    // The options screen is not part of a run: a replay plays with the options as they are.
    if (e.type == InputEvent::Type::FocusLost || e.type == InputEvent::Type::Menu ||
        e.type == InputEvent::Type::Captured)
      continue;
    if (e.type == InputEvent::Type::Action && (e.action == Action::Retry || e.action == Action::Options))
      continue;
    RecordedEvent r;
    if (e.type == InputEvent::Type::Action) {
      r.type = RecordedEvent::Type::Action;
      r.key = static_cast<int>(e.action);
    } else {
      r.type = e.type == InputEvent::Type::Cursor ? RecordedEvent::Type::Cursor : RecordedEvent::Type::Scroll;
      r.x = e.x;
      r.y = e.y;
      r.leftButton = e.leftButton;
    }
    frame.events.push_back(r);
  }
  return frame;
}

InputFrame replayedInput(const RecordedFrame& frame, const InputFrame& live) {
  InputFrame input;
  // Quitting from the keyboard or gamepad still ends a replay.
  for (const InputEvent& e : live.events)
    if (e.type == InputEvent::Type::Action && e.action == Action::Quit) input.events.push_back(e);
  for (const RecordedEvent& r : frame.events) {
    InputEvent e;
    if (liveEvent(r, e)) input.events.push_back(e);
  }
  for (const HeldKey& k : kHeldKeys) input.setHeld(k.key, (frame.held & k.bit) != 0);
  DriveCommand& d = input.drive;
  d.forward = (frame.drive & kDriveForward) != 0;
  d.turnLeft = (frame.drive & kDriveSteerRight) != 0;
  d.reverse = (frame.drive & kDriveReverse) != 0;
  d.turnRight = (frame.drive & kDriveSteerLeft) != 0;
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
