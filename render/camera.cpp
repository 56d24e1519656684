#include "render/camera.h"

#include <algorithm>
#include <cmath>

namespace ruvelo {

glm::mat4 lookAtMatrix(const glm::vec3& eye, const glm::vec3& centre, const glm::vec3& up) {
  const glm::vec3 f = glm::normalize(centre - eye);
  const glm::vec3 s = glm::normalize(glm::cross(f, up));
  const glm::vec3 u = glm::normalize(glm::cross(s, f));
  glm::mat4 m(1.0f);
  m[0][0] = s.x;
  m[1][0] = s.y;
  m[2][0] = s.z;
  m[0][1] = u.x;
  m[1][1] = u.y;
  m[2][1] = u.z;
  m[0][2] = -f.x;
  m[1][2] = -f.y;
  m[2][2] = -f.z;
  m[3][0] = -glm::dot(s, eye);
  m[3][1] = -glm::dot(u, eye);
  m[3][2] = glm::dot(f, eye);
  return m;
}

glm::mat4 perspectiveMatrix(float fovDegrees, float aspect, float nearPlane, float farPlane) {
  const float t = std::tan(fovDegrees * kDegToRad / 2.0f);
  glm::mat4 m(0.0f);
  m[0][0] = 1.0f / (aspect * t);
  m[1][1] = 1.0f / t;
  m[2][2] = -(farPlane + nearPlane) / (farPlane - nearPlane);
  m[2][3] = -1.0f;
  m[3][2] = -(2.0f * farPlane * nearPlane) / (farPlane - nearPlane);
  return m;
}

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
  projectionMatrix = perspectiveMatrix(zoom, aspect, nearPlane, farPlane);
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
  viewMatrix = lookAtMatrix(position, position + front, up);
  rebuildProjection();
}

void Camera::follow(const glm::vec3& target, const glm::vec3& direction, float dt) {
  // Exponential smoothing; the factors are capped at 1 so that a long frame lands on the goal
  // instead of overshooting it (beyond dt = 0.2 s the uncapped steps would diverge).
  const float turn = std::min(dt * 5.0f, 1.0f);
  const float move = std::min(dt * 10.0f, 1.0f);
  followDirection += (glm::normalize(direction) - followDirection) * turn;

  front = glm::normalize(followDirection);
  right = glm::normalize(glm::cross(front, worldUp));
  up = glm::normalize(glm::cross(right, front));

  const glm::vec3 wantedEye = target + glm::vec3(0.0f, 3.0f, 0.0f) - 15.0f * followDirection;
  position += (wantedEye - position) * move;

  viewMatrix = lookAtMatrix(position, position + front, up);
  rebuildProjection();
}

}  // namespace ruvelo
