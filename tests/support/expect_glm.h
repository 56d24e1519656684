// Component-wise GoogleTest checks for GLM vectors and matrices.
#pragma once

#include <gtest/gtest.h>

#include <glm/glm.hpp>

namespace ruvelo::test {

inline void expectVec2(const glm::vec2& actual, const glm::vec2& expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
}

inline void expectVec3(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline void expectMat4(const glm::mat4& actual, const glm::mat4& expected, float tolerance = 1e-4f) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_NEAR(actual[c][r], expected[c][r], tolerance) << c << "," << r;
}

}  // namespace ruvelo::test
