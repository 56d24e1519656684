#include "app/camera_rig.h"

#include <algorithm>
#include <ostream>

#include "app/follow_direction.h"
#include "app/key_handling.h"

namespace ruvelo {
namespace {

// Near and far planes of every view.
constexpr float kNear = 0.1f;
constexpr float kFar = 1500.0f;
// The bonnet view's eye in the vehicle's own frame: over the bonnet, ahead of the cab.
const glm::vec3 kBonnetEye(0.0f, 1.3f, 1.0f);

}  // namespace

const char* cameraViewName(int view) {
  static const char* const kNames[kCameraViewCount] = {"chase", "far chase", "bonnet"};
  return kNames[std::clamp(view, 0, kCameraViewCount - 1)];
}

CameraRig::CameraRig(float aspect, const Settings& settings) {
  camera_.setPerspective(static_cast<float>(settings.value(Option::Fov)), aspect, kNear, kFar);
  fovChanges_ = settings.changes(Option::Fov);
}

void CameraRig::applyFieldOfView(const Settings& settings) {
  if (settings.changes(Option::Fov) == fovChanges_) return;  // scroll zoom keeps what it set
  fovChanges_ = settings.changes(Option::Fov);
  camera_.zoom = static_cast<float>(settings.value(Option::Fov));
}

void CameraRig::follow(const FollowTarget& target, const Settings& settings, float dt) {
  applyFieldOfView(settings);
  const bool reversing = target.inReverse && reverseView_;
  const glm::vec3 direction =
      followDirection(target.velocity, lastFollowDirection_, reversing, recoveryLook_);
  switch (static_cast<int>(settings.value(Option::CameraView))) {
    case 1:
      camera_.follow(target.position, direction, dt, 26.0f, 6.0f);
      break;
    case 2: {
      const glm::vec3 forward = target.rotation * glm::vec3(0.0f, 0.0f, 1.0f);
      camera_.mount(target.position + target.rotation * kBonnetEye, reversing ? -forward : forward);
      break;
    }
    default:
      camera_.follow(target.position, direction, dt);
      break;
  }
}

void CameraRig::moveFree(const FreeCameraKeys& keys, float dt) {
  moveFreeCamera(camera_, keys, dt);
}

void CameraRig::freeView(const Settings& settings) {
  applyFieldOfView(settings);
  camera_.updateFreeView();
}

void CameraRig::toggleReverseView(std::ostream& out) {
  reverseView_ = !reverseView_;
  out << "Reverse Mode Switched: " << (reverseView_ ? 1 : 0) << std::endl;
}

void CameraRig::look(double x, double y, bool leftButtonHeld) {
  if (leftButtonHeld) {
    camera_.yaw += static_cast<float>((x - lastCursorX_) * 0.2);
    camera_.pitch += static_cast<float>((lastCursorY_ - y) * 0.2);
    camera_.pitch = std::clamp(camera_.pitch, -89.0f, 89.0f);
    camera_.updateVectors();
  }
  lastCursorX_ = x;
  lastCursorY_ = y;
}

void CameraRig::zoom(double yOffset) {
  float& zoom = camera_.zoom;
  if (zoom >= 30.0f && zoom <= 85.0f) {
    zoom -= static_cast<float>(yOffset);
  } else if (zoom < 30.0f) {
    zoom = 30.0f;
  } else {
    zoom = 85.0f;
  }
}

void CameraRig::carryOver(const CameraRig& previous) {
  reverseView_ = previous.reverseView_;
  lastCursorX_ = previous.lastCursorX_;
  lastCursorY_ = previous.lastCursorY_;
}

}  // namespace ruvelo
