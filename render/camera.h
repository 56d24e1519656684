// The viewer: position, orientation and the view and projection matrices of every 3D pass, with a
// free (debug) mode, a smoothed follow mode and a mounted one. The run's camera rig (app/) decides
// which, and with what.
#pragma once

#include <glm/glm.hpp>

namespace ruvelo {

class Camera {
 public:
  // Start values; view and projection identity, direction vectors from yaw and pitch.
  Camera();

  // Stores the four values and rebuilds the projection (zoom in degrees).
  void setPerspective(float zoom, float aspect, float nearPlane, float farPlane);

  // Recomputes front, right and up from yaw and pitch.
  void updateVectors();

  // Rebuilds the view from position, front and up, then the projection from the stored values.
  void updateFreeView();

  // Trails `target` along the smoothed `direction`: looks along it from `behind` units behind and
  // `above` above, easing towards that eye; then rebuilds view and projection. `dt` in seconds.
  void follow(const glm::vec3& target, const glm::vec3& direction, float dt, float behind = 15.0f,
              float above = 3.0f);
  // Stands at `eye` looking along `direction` (no smoothing: fixed to what carries it), upright to
  // the world; then rebuilds view and projection.
  void mount(const glm::vec3& eye, const glm::vec3& direction);

  glm::vec3 position{0.0f, 50.0f, 400.0f};
  glm::vec3 front{0.0f, 0.0f, -1.0f};
  glm::vec3 up{0.0f, 1.0f, 0.0f};
  glm::vec3 right{1.0f, 0.0f, 0.0f};
  glm::vec3 worldUp{0.0f, 1.0f, 0.0f};
  glm::mat4 viewMatrix{1.0f};
  glm::mat4 projectionMatrix{1.0f};
  float yaw = -90.0f;
  float pitch = 0.0f;
  float movementSpeed = 140.0f;
  float zoom = 45.0f;
  float aspect = 1.0f;
  float nearPlane = 0.1f;
  float farPlane = 1500.0f;
  // Smoothed travel direction of the follow mode (not renormalised).
  glm::vec3 followDirection{0.0f, 0.0f, 1.0f};

 private:
  void rebuildProjection();
};

// Degrees to radians with the single-precision factor the game uses everywhere.
constexpr float kDegToRad = 0.017453292f;

}  // namespace ruvelo
