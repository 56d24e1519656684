// The sky cube's geometry and the translation-free view.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <set>

#include "passes/skybox.h"

namespace ruvelo {
namespace {

TEST(SkyboxCube, TwelveInwardFacingTrianglesCoverAllSixFaces) {
  const std::array<float, 108> v = skyboxVertices();
  for (float c : v) EXPECT_EQ(std::fabs(c), 10000.0f);
  std::multiset<int> faces;  // axis·2 + (positive side ? 1 : 0)
  for (int t = 0; t < 12; ++t) {
    const glm::vec3 a(v[t * 9 + 0], v[t * 9 + 1], v[t * 9 + 2]);
    const glm::vec3 b(v[t * 9 + 3], v[t * 9 + 4], v[t * 9 + 5]);
    const glm::vec3 c(v[t * 9 + 6], v[t * 9 + 7], v[t * 9 + 8]);
    const glm::vec3 normal = glm::cross(b - a, c - a);
    // Counter-clockwise seen from the centre: the winding normal points at the viewer inside.
    EXPECT_GT(glm::dot(normal, -a), 0.0f) << "triangle " << t;
    for (int axis = 0; axis < 3; ++axis) {
      if (a[axis] == b[axis] && b[axis] == c[axis]) faces.insert(axis * 2 + (a[axis] > 0 ? 1 : 0));
    }
  }
  for (int face = 0; face < 6; ++face) EXPECT_EQ(faces.count(face), 2u) << "face " << face;
}

TEST(SkyboxCube, ViewLosesItsTranslationButKeepsItsRotation) {
  const glm::mat4 view =
      glm::lookAt(glm::vec3(120.0f, 40.0f, -30.0f), glm::vec3(0.0f, 0.0f, 0.0f), glm::vec3(0, 1, 0));
  const glm::mat4 sky = rotationOnly(view);
  EXPECT_EQ(sky[3], glm::vec4(0, 0, 0, 1));
  for (int column = 0; column < 3; ++column) {
    EXPECT_EQ(glm::vec3(sky[column]), glm::vec3(view[column]));
    EXPECT_EQ(sky[column][3], 0.0f);
  }
}

}  // namespace
}  // namespace ruvelo
