// Camera vectors and matrices against the look-at and perspective formulas, and the follow mode's
// smoothing, including long frames.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "render/camera.h"
#include "support/expect_glm.h"

namespace ruvelo {
namespace {

using test::expectMat4;
using test::expectVec3;

TEST(Camera, StartsAtItsStartValuesLookingDownNegativeZ) {
  Camera camera;
  expectVec3(camera.position, {0, 50, 400});
  expectVec3(camera.front, {0, 0, -1});
  expectVec3(camera.right, {1, 0, 0});
  expectVec3(camera.up, {0, 1, 0});
  expectVec3(camera.followDirection, {0, 0, 1});
  EXPECT_EQ(camera.movementSpeed, 140.0f);
  EXPECT_EQ(camera.zoom, 45.0f);
  expectMat4(camera.viewMatrix, glm::mat4(1.0f));
  expectMat4(camera.projectionMatrix, glm::mat4(1.0f));

  camera.updateFreeView();
  expectMat4(camera.viewMatrix,
             glm::lookAt(glm::vec3(0, 50, 400), glm::vec3(0, 50, 399), glm::vec3(0, 1, 0)));
  // A point straight ahead ends up on the negative view z axis.
  const glm::vec4 ahead = camera.viewMatrix * glm::vec4(0, 50, 300, 1);
  expectVec3(glm::vec3(ahead), {0, 0, -100}, 1e-3f);
}

TEST(Camera, PitchSixtyLooksUpAndForward) {
  Camera camera;
  camera.pitch = 60.0f;
  camera.updateVectors();
  expectVec3(camera.front, {0, 0.8660254f, -0.5f});
  expectVec3(camera.right, {1, 0, 0});
  expectVec3(camera.up, {0, 0.5f, 0.8660254f});
  EXPECT_NEAR(glm::dot(camera.front, camera.up), 0.0f, 1e-6f);
}

TEST(Camera, PerspectiveMatchesTheFormula) {
  Camera camera;
  camera.setPerspective(45.0f, 1280.0f / 720.0f, 0.1f, 1500.0f);
  const glm::mat4& p = camera.projectionMatrix;
  const float t = std::tan(45.0f * kDegToRad / 2.0f);
  EXPECT_FLOAT_EQ(p[0][0], 1.0f / (1280.0f / 720.0f * t));
  EXPECT_FLOAT_EQ(p[1][1], 1.0f / t);
  EXPECT_FLOAT_EQ(p[2][2], -1500.1f / 1499.9f);
  EXPECT_FLOAT_EQ(p[2][3], -1.0f);
  EXPECT_FLOAT_EQ(p[3][2], -(2.0f * 1500.0f * 0.1f) / 1499.9f);
  EXPECT_EQ(p[3][3], 0.0f);
  expectMat4(p, glm::perspective(glm::radians(45.0f), 1280.0f / 720.0f, 0.1f, 1500.0f), 1e-5f);

  // A zoom change shows at the next view rebuild.
  camera.zoom = 30.0f;
  camera.updateFreeView();
  EXPECT_FLOAT_EQ(camera.projectionMatrix[1][1], 1.0f / std::tan(15.0f * kDegToRad));
}

TEST(CameraFollow, EyeApproachesTheGoalGeometrically) {
  Camera camera;
  camera.setPerspective(45.0f, 1.0f, 0.1f, 1500.0f);
  const glm::vec3 target(10, 0, -20);
  const glm::vec3 direction(0, 0, 1);  // equal to the start smoothing, so the goal stays put
  const glm::vec3 goal = target + glm::vec3(0, 3, 0) - 15.0f * direction;
  const float dt = 0.02f;
  float remaining = glm::length(goal - camera.position);
  for (int frame = 0; frame < 50; ++frame) {
    camera.follow(target, direction * 7.0f, dt);
    const float now = glm::length(goal - camera.position);
    EXPECT_NEAR(now, remaining * (1.0f - dt * 10.0f), 1e-3f * remaining + 1e-5f) << frame;
    remaining = now;
  }
  EXPECT_LT(remaining, 0.01f);
  expectVec3(camera.front, {0, 0, 1});
  expectMat4(camera.viewMatrix, glm::lookAt(camera.position, camera.position + camera.front, camera.up));
}

TEST(CameraFollow, TurnsTowardsANewDirectionGradually) {
  Camera camera;
  camera.follow({0, 0, 0}, {1, 0, 0}, 0.1f);
  // Half way from (0,0,1) to (1,0,0) in one frame of 0.1 s.
  expectVec3(camera.followDirection, {0.5f, 0, 0.5f});
  expectVec3(camera.front, glm::normalize(glm::vec3(1, 0, 1)));
  expectVec3(camera.right, glm::normalize(glm::cross(camera.front, glm::vec3(0, 1, 0))));
}

TEST(CameraFollow, LongFramesLandOnTheGoalInsteadOfDiverging) {
  Camera camera;
  const glm::vec3 target(5, 1, 5);
  for (int frame = 0; frame < 20; ++frame) camera.follow(target, {1, 0, 0}, 0.5f);
  expectVec3(camera.followDirection, {1, 0, 0});
  expectVec3(camera.position, target + glm::vec3(0, 3, 0) - glm::vec3(15, 0, 0), 1e-4f);
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_TRUE(std::isfinite(camera.viewMatrix[c][r]));
}

}  // namespace
}  // namespace ruvelo
