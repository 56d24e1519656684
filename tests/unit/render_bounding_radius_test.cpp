// The culling sphere's radius: centroid, farthest vertex (first wins on ties), linear part only.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "render/model.h"

namespace ruvelo {
namespace {

TEST(BoundingRadius, ScaleCountsTranslationDoesNot) {
  std::vector<glm::vec3> cube;
  for (float x : {-1.0f, 1.0f})
    for (float y : {-1.0f, 1.0f})
      for (float z : {-1.0f, 1.0f}) cube.push_back(glm::vec3(x, y, z) + glm::vec3(50, 60, 70));
  EXPECT_NEAR(computeBoundingRadius(cube, glm::mat4(1.0f)), std::sqrt(3.0f), 1e-5f);
  const glm::mat4 moved = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 200));
  EXPECT_NEAR(computeBoundingRadius(cube, moved), std::sqrt(3.0f), 1e-5f);
  EXPECT_NEAR(computeBoundingRadius(cube, glm::scale(moved, glm::vec3(2.0f))), 2.0f * std::sqrt(3.0f), 1e-5f);
}

TEST(BoundingRadius, FirstFarthestVertexWinsATie) {
  // All four lie at distance 1 from the centroid; a non-uniform scale shows which one was taken.
  const std::vector<glm::vec3> ring = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
  EXPECT_NEAR(computeBoundingRadius(ring, glm::scale(glm::mat4(1.0f), glm::vec3(3, 1, 1))), 3.0f, 1e-6f);
  EXPECT_NEAR(computeBoundingRadius(ring, glm::scale(glm::mat4(1.0f), glm::vec3(1, 3, 1))), 1.0f, 1e-6f);
}

TEST(BoundingRadius, UsesTheCentroidNotTheOrigin) {
  // Weighted towards x = 0: centroid (1, 0, 0); farthest is (4, 0, 0) at distance 3.
  const std::vector<glm::vec3> points = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {4, 0, 0}};
  EXPECT_NEAR(computeBoundingRadius(points, glm::mat4(1.0f)), 3.0f, 1e-6f);
}

TEST(BoundingRadius, NoVerticesGiveZero) {
  EXPECT_EQ(computeBoundingRadius({}, glm::scale(glm::mat4(1.0f), glm::vec3(5.0f))), 0.0f);
}

}  // namespace
}  // namespace ruvelo
