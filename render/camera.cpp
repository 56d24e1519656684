#include "render/camera.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

namespace ruvelo {

Camera::Camera() {
  updateVectors();
}

void Camera::setPerspective(float zoomDegrees, float aspectRatio, float nearDistance, float farDistance) {
  zoom = zoomDegrees;
  aspect = aspectRatio;
  nearPlane = nearDistance;
  farPlane = farDistance;
  rebuildProjection();
}

void Camera::rebuildProjection() {
  projectionMatrix = glm::perspective(zoom * kDegToRad, aspect, nearPlane, farPlane);
}

void Camera::updateVectors() {
  const float yawRad = yaw * kDegToRad;
  const float pitchRad = pitch * kDegToRad;
  front = glm::normalize(glm::vec3(std::cos(yawRad) * std::cos(pitchRad), std::sin(pitchRad),
                                   std::sin(yawRad) * std::cos(pitchRad)));
  right = glm::normalize(glm::cross(front, worldUp));
  up = glm::normalize(glm::cross(right, front));
}

void Camera::updateFreeView() {
  viewMatrix = glm::lookAt(position, position + front, up);
  rebuildProjection();
}

void Camera::follow(const glm::vec3& target, const glm::vec3& direction, float dt, float behind,
                    float above) {
  // Exponential smoothing; the factors are capped at 1 so that a long frame lands on the goal
  // instead of overshooting it (beyond dt = 0.2 s the uncapped steps would diverge).
  const float turn = std::min(dt * 5.0f, 1.0f);
  const float move = std::min(dt * 10.0f, 1.0f);
  followDirection += (glm::normalize(direction) - followDirection) * turn;

  front = glm::normalize(followDirection);
  right = glm::normalize(glm::cross(front, worldUp));
  up = glm::normalize(glm::cross(right, front));

  const glm::vec3 wantedEye = target + glm::vec3(0.0f, above, 0.0f) - behind * followDirection;
  position += (wantedEye - position) * move;

  viewMatrix = glm::lookAt(position, position + front, up);
  rebuildProjection();
}

void Camera::mount(const glm::vec3& eye, const glm::vec3& direction) {
  position = eye;
  front = glm::normalize(direction);
  followDirection = front;  // a follow view taken up later starts from here
  right = glm::normalize(glm::cross(front, worldUp));
  up = glm::normalize(glm::cross(right, front));
  viewMatrix = glm::lookAt(position, position + front, up);
  rebuildProjection();
}

}  // namespace ruvelo
