// The run's camera rig: every way the camera moves in one run, owned by the Session. The follow
// camera in its views (chase, far chase, bonnet), the reverse view, the recovery look, the free
// debug camera with mouse look and scroll zoom, and the field of view from the options. It lives in
// app/ beside the Session because the Camera it moves is render/'s, which game/ may not include.
#pragma once

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include "input/input.h"
#include "platform/settings.h"
#include "render/camera.h"

namespace ruvelo {

// Where the vehicle is this frame, as the follow views need it.
struct FollowTarget {
  glm::vec3 position{0.0f};
  glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
  glm::vec3 velocity{0.0f};
  bool inReverse = false;
};

class CameraRig {
 public:
  CameraRig() = default;
  // The start of a run: the camera where every run starts, at the options' field of view.
  CameraRig(float aspect, const Settings& settings);

  const Camera& camera() const { return camera_; }

  // The follow camera for this frame in the options' view (the reverse view looks back while
  // reversing, the recovery look along +z until a driving key).
  void follow(const FollowTarget& target, const Settings& settings, float dt);
  // The free debug camera: moved by its held keys over `dt`, or only its view rebuilt.
  void moveFree(const FreeCameraKeys& keys, float dt);
  void freeView(const Settings& settings);

  // The reverse view on or off ("Reverse Mode Switched: 1" …).
  void toggleReverseView(std::ostream& out);
  bool reverseView() const { return reverseView_; }
  void setRecoveryLook(bool on) { recoveryLook_ = on; }
  // Mouse look while the left button is held (yaw/pitch by 0.2 degrees per pixel, pitch within
  // ±89); the last position is kept either way, so a drag never jumps.
  void look(double x, double y, bool leftButtonHeld);
  // Scroll zoom: inside [30, 85] the field of view changes by the offset, outside it snaps back.
  void zoom(double yOffset);
  // What a new run's rig keeps of this one: the reverse view and where the cursor was.
  void carryOver(const CameraRig& previous);

  // For the unit tests of mouse look and zoom.
  Camera& cameraForTests() { return camera_; }

 private:
  void applyFieldOfView(const Settings& settings);

  Camera camera_;
  glm::vec3 lastFollowDirection_{0.0f, 0.0f, 1.0f};
  bool reverseView_ = false;
  bool recoveryLook_ = false;  // set by the recovery key, cleared by W, S, A and D
  double lastCursorX_ = 0.0;
  double lastCursorY_ = 0.0;
  unsigned fovChanges_ = 0;  // the field of view's change count last applied
};

// The view's name as the console says it ("chase", "far chase", "bonnet").
const char* cameraViewName(int view);

}  // namespace ruvelo
