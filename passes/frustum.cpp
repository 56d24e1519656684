#include "passes/frustum.h"

#include <glm/gtc/matrix_access.hpp>

#include "render/model.h"

namespace ruvelo {

Frustum::Frustum(const glm::mat4& view, const glm::mat4& projection) {
  const glm::mat4 m = projection * view;
  const glm::vec4 row0 = glm::row(m, 0);
  const glm::vec4 row1 = glm::row(m, 1);
  const glm::vec4 row2 = glm::row(m, 2);
  const glm::vec4 row3 = glm::row(m, 3);
  planes_[kRight] = row3 - row0;
  planes_[kLeft] = row3 + row0;
  planes_[kBottom] = row3 + row1;
  planes_[kTop] = row3 - row1;
  planes_[kFar] = row3 - row2;
  planes_[kNear] = row3 + row2;
  for (glm::vec4& plane : planes_) {
    const float length = glm::length(glm::vec3(plane));
    if (length > 0.0f) plane /= length;
  }
}

bool Frustum::sphereOutside(const glm::vec3& centre, float radius) const {
  for (const glm::vec4& plane : planes_) {
    const float dist = glm::dot(glm::vec3(plane), centre) + plane.w;
    if (-radius >= dist) return true;
  }
  return false;
}

bool drawIfVisible(const Frustum& frustum, const glm::vec3& centre, float radius, bool cullingOn,
                   int& objectsDrawn, const std::function<void()>& draw) {
  if (cullingOn && frustum.sphereOutside(centre, radius)) return false;
  draw();
  ++objectsDrawn;
  return true;
}

bool drawCulled(const Model& model, const Frustum& frustum, const glm::vec3& centre, bool cullingOn,
                int& objectsDrawn) {
  return drawIfVisible(frustum, centre, model.boundingRadius(), cullingOn, objectsDrawn,
                       [&model] { model.draw(); });
}

}  // namespace ruvelo
