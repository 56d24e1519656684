// View-frustum planes and the culled draw's counting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <vector>

#include "passes/frustum.h"

namespace ruvelo {
namespace {

// A camera at the origin looking down −z, 90° vertical field of view, square, near 1, far 100.
Frustum originCamera() {
  const glm::mat4 view =
      glm::lookAt(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
  const glm::mat4 projection = glm::perspective(glm::radians(90.0f), 1.0f, 1.0f, 100.0f);
  return Frustum(view, projection);
}

// An orthographic box x, y in ±8 and depth 0..64 in front of the origin: every plane coefficient is
// exact in float, so touching can be tested exactly.
Frustum orthographicBox() {
  const glm::mat4 view =
      glm::lookAt(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
  return Frustum(view, glm::ortho(-8.0f, 8.0f, -8.0f, 8.0f, 0.0f, 64.0f));
}

void expectPlane(const glm::vec4& actual, const glm::vec4& expected) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(actual[i], expected[i], 2e-6f * std::max(1.0f, std::fabs(expected[i])))
        << "coefficient " << i;
  }
}

TEST(Frustum, PlanesAreInStoredOrderAndNormalised) {
  const Frustum frustum = originCamera();
  const auto& planes = frustum.planes();
  const float h = 1.0f / std::sqrt(2.0f);
  expectPlane(planes[Frustum::kRight], {-h, 0.0f, -h, 0.0f});
  expectPlane(planes[Frustum::kLeft], {h, 0.0f, -h, 0.0f});
  expectPlane(planes[Frustum::kBottom], {0.0f, h, -h, 0.0f});
  expectPlane(planes[Frustum::kTop], {0.0f, -h, -h, 0.0f});
  expectPlane(planes[Frustum::kFar], {0.0f, 0.0f, 1.0f, 100.0f});
  expectPlane(planes[Frustum::kNear], {0.0f, 0.0f, -1.0f, -1.0f});
}

TEST(Frustum, PlanesFollowTheCameraPose) {
  // Looking along +x from (10, 0, 0): a point at (30, 0, 0) is in view, the origin is behind.
  const glm::mat4 view =
      glm::lookAt(glm::vec3(10.0f, 0.0f, 0.0f), glm::vec3(20.0f, 0.0f, 0.0f), glm::vec3(0, 1, 0));
  const Frustum frustum(view, glm::perspective(glm::radians(60.0f), 16.0f / 9.0f, 0.1f, 1500.0f));
  EXPECT_FALSE(frustum.sphereOutside({30.0f, 0.0f, 0.0f}, 0.0f));
  EXPECT_TRUE(frustum.sphereOutside({0.0f, 0.0f, 0.0f}, 0.5f));
  EXPECT_TRUE(frustum.sphereOutside({1600.0f, 0.0f, 0.0f}, 10.0f));  // beyond the far plane
}

TEST(Frustum, PointsInFrontAreInsideAndBehindAreOutside) {
  const Frustum frustum = originCamera();
  EXPECT_FALSE(frustum.sphereOutside({0.0f, 0.0f, -10.0f}, 0.0f));
  EXPECT_FALSE(frustum.sphereOutside({5.0f, -5.0f, -10.0f}, 0.0f));
  EXPECT_TRUE(frustum.sphereOutside({0.0f, 0.0f, 10.0f}, 0.0f));
  EXPECT_TRUE(frustum.sphereOutside({20.0f, 0.0f, -10.0f}, 0.0f));  // right of the view
  EXPECT_TRUE(frustum.sphereOutside({0.0f, 0.0f, -150.0f}, 0.0f));  // beyond far
}

TEST(Frustum, TouchingSphereIsCulledOverlappingOneIsNot) {
  const Frustum frustum = orthographicBox();
  expectPlane(frustum.planes()[Frustum::kRight], {-1.0f, 0.0f, 0.0f, 8.0f});
  expectPlane(frustum.planes()[Frustum::kFar], {0.0f, 0.0f, 1.0f, 64.0f});
  // dist = −radius exactly: outside.
  EXPECT_TRUE(frustum.sphereOutside({10.0f, 0.0f, -5.0f}, 2.0f));   // right
  EXPECT_TRUE(frustum.sphereOutside({0.0f, -11.0f, -5.0f}, 3.0f));  // bottom
  EXPECT_TRUE(frustum.sphereOutside({0.0f, 0.0f, -68.0f}, 4.0f));   // far
  EXPECT_TRUE(frustum.sphereOutside({0.0f, 0.0f, 1.0f}, 1.0f));     // near
  // A hair larger reaches inside.
  EXPECT_FALSE(frustum.sphereOutside({10.0f, 0.0f, -5.0f}, 2.001f));
  EXPECT_FALSE(frustum.sphereOutside({0.0f, 0.0f, -68.0f}, 4.001f));
  // A sphere whose centre is outside but whose body reaches into the view is drawn.
  EXPECT_FALSE(originCamera().sphereOutside({20.0f, 0.0f, -10.0f}, 8.0f));
}

TEST(Frustum, EmptyModelIsDrawnOnlyWhileItsCentreIsStrictlyInside) {
  const Frustum frustum = orthographicBox();
  EXPECT_FALSE(frustum.sphereOutside({7.5f, 0.0f, -5.0f}, 0.0f));
  EXPECT_TRUE(frustum.sphereOutside({8.0f, 0.0f, -5.0f}, 0.0f));  // on the right plane
}

TEST(CulledDraw, CountsOnlyDrawnObjectsAndEverythingWhenCullingIsOff) {
  const Frustum frustum = originCamera();
  struct Object {
    glm::vec3 centre;
    float radius;
  };
  const std::vector<Object> scene = {{{0, 0, -10}, 1.0f},   {{0, 0, 10}, 1.0f},  {{50, 0, -10}, 5.0f},
                                     {{0, 0, -50}, 30.0f},  {{0, 0, 0}, 0.5f},   {{0, 0, -99}, 0.5f},
                                     {{0, 300, -50}, 1.0f}, {{-9, 0, -10}, 0.0f}};
  const int expectedVisible = 4;  // the first, fourth, sixth and eighth

  for (bool cullingOn : {true, false}) {
    int objectsDrawn = 3;  // the counter is the caller's; the draw only adds to it
    int drawCalls = 0;
    for (const Object& object : scene) {
      const bool drew = drawIfVisible(frustum, object.centre, object.radius, cullingOn, objectsDrawn,
                                      [&drawCalls] { ++drawCalls; });
      EXPECT_EQ(drew, !cullingOn || !frustum.sphereOutside(object.centre, object.radius));
    }
    const int expected = cullingOn ? expectedVisible : static_cast<int>(scene.size());
    EXPECT_EQ(drawCalls, expected) << "culling " << cullingOn;
    EXPECT_EQ(objectsDrawn, 3 + expected) << "culling " << cullingOn;
  }
}

}  // namespace
}  // namespace ruvelo
