// The shadow light's matrices, against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "passes/shadow_map.h"
#include "support/level_sun.h"

namespace ruvelo {
namespace {

void expectVec(const glm::vec4& actual, const glm::vec4& expected, float tolerance = 1e-4f) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

TEST(LightMatrices, ViewHasTheLookAtAxesAndPutsTheEyeAtTheOrigin) {
  const glm::mat4 v = lightView(test::levelSun());
  const float r2 = std::sqrt(2.0f);
  const float r3 = std::sqrt(3.0f);
  const float r6 = std::sqrt(6.0f);
  // Rows: s = (1, 0, −1)/√2, u = (−1, 2, −1)/√6, f = (1, 1, 1)/√3; translation (0, 0, −900/√3).
  expectVec(glm::vec4(v[0][0], v[1][0], v[2][0], v[3][0]), {1 / r2, 0, -1 / r2, 0});
  expectVec(glm::vec4(v[0][1], v[1][1], v[2][1], v[3][1]), {-1 / r6, 2 / r6, -1 / r6, 0});
  expectVec(glm::vec4(v[0][2], v[1][2], v[2][2], v[3][2]), {1 / r3, 1 / r3, 1 / r3, -900 / r3}, 1e-3f);
  expectVec(glm::vec4(v[0][3], v[1][3], v[2][3], v[3][3]), {0, 0, 0, 1});
  expectVec(v * glm::vec4(300, 300, 300, 1), {0, 0, 0, 1}, 1e-3f);
}

TEST(LightMatrices, ProjectionIsTheFixedOrthographicBox) {
  const glm::mat4 p = lightProjection(test::levelSun());
  EXPECT_FLOAT_EQ(p[0][0], 2.0f / 800.0f);
  EXPECT_FLOAT_EQ(p[1][1], 2.0f / 800.0f);
  EXPECT_FLOAT_EQ(p[2][2], -2.0f / 999.5f);
  EXPECT_FLOAT_EQ(p[3][2], -1001.5f / 999.5f);
  EXPECT_FLOAT_EQ(p[3][0], 0.0f);
  EXPECT_FLOAT_EQ(p[3][3], 1.0f);
}

TEST(LightMatrices, LightSpaceMapsWorldPointsIntoTheMap) {
  const glm::mat4 ls = lightSpaceMatrix(test::levelSun());
  // The world origin lies 300·√3 in front of the light, on its axis.
  const float originDepth = (2.0f * 300.0f * std::sqrt(3.0f) - 1001.5f) / 999.5f;
  expectVec(ls * glm::vec4(0, 0, 0, 1), {0, 0, originDepth, 1});
  // (100, 0, −100) is 200/√2 along the light's side axis and level with the origin in depth.
  expectVec(ls * glm::vec4(100, 0, -100, 1), {200 / std::sqrt(2.0f) / 400.0f, 0, originDepth, 1});
  // A point nearer the light along its direction gets a smaller depth.
  EXPECT_LT((ls * glm::vec4(100, 100, 100, 1)).z, originDepth);
}

}  // namespace
}  // namespace ruvelo
