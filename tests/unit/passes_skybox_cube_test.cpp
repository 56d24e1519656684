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

TEST(SkyboxCube, FaceSideIsTheSizeMostSquareFacesShare) {
  using S = std::array<glm::ivec2, 6>;
  // The majority wins even when the first face is the odd one; failed faces ((0, 0)) do not count.
  EXPECT_EQ(cubeFaceSide(S{{{16, 16}, {8, 8}, {8, 8}, {0, 0}, {8, 8}, {8, 4}}}), 8);
  // A tie goes to the first; a non-square face never sets the size while a square one exists.
  EXPECT_EQ(cubeFaceSide(S{{{8, 4}, {32, 32}, {16, 16}, {0, 0}, {0, 0}, {0, 0}}}), 32);
  // No square face: the longer side of the first decoded face.
  EXPECT_EQ(cubeFaceSide(S{{{0, 0}, {6, 10}, {4, 2}, {0, 0}, {0, 0}, {0, 0}}}), 10);
  EXPECT_EQ(cubeFaceSide(S{}), 0);
}

}  // namespace
}  // namespace ruvelo
