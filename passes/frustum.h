// The camera's view frustum as six normalised planes, and the culled draw of the lit pass that
// skips objects whose bounding sphere lies entirely outside and counts the ones it draws.
#pragma once

#include <array>
#include <functional>
#include <glm/glm.hpp>

namespace ruvelo {

class Model;

class Frustum {
 public:
  // Plane order as stored.
  enum PlaneIndex { kRight = 0, kLeft, kBottom, kTop, kFar, kNear };

  // All planes zero; build one from the camera before culling with it.
  Frustum() = default;
  // Planes of P × V (clip-space extraction), each divided by the length of its normal.
  Frustum(const glm::mat4& view, const glm::mat4& projection);

  // (a, b, c, d) with a·x + b·y + c·z + d > 0 inside.
  const std::array<glm::vec4, 6>& planes() const { return planes_; }

  // True when the sphere lies on the outer side of some plane; touching (dist = −radius) counts.
  bool sphereOutside(const glm::vec3& centre, float radius) const;

 private:
  std::array<glm::vec4, 6> planes_{};
};

// Runs `draw` and increments `objectsDrawn` once unless culling is on and the sphere is outside.
// Returns whether it drew.
bool drawIfVisible(const Frustum& frustum, const glm::vec3& centre, float radius, bool cullingOn,
                   int& objectsDrawn, const std::function<void()>& draw);

// The lit pass's culled draw: every mesh of `model` with its own material, sphere radius from the
// model's bounding radius. `cullingOn` and `objectsDrawn` live in the application's state.
bool drawCulled(const Model& model, const Frustum& frustum, const glm::vec3& centre, bool cullingOn,
                int& objectsDrawn);

}  // namespace ruvelo
