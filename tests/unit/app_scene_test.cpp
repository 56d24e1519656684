// Where models are drawn: matrices from physics poses and from the level's layout.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "app/scene.h"
#include "level/level_layout.h"
#include "passes/scene_assets.h"
#include "support/expect_glm.h"

namespace ruvelo {
namespace {

using test::expectMat4;
using test::expectVec3;

glm::vec3 origin(const glm::mat4& m) {
  return glm::vec3(m * glm::vec4(0, 0, 0, 1));
}

TEST(DrawingMatrices, FollowThePoses) {
  const glm::quat identity(1.0f, 0.0f, 0.0f, 0.0f);
  expectVec3(origin(vehicleBodyMatrix({glm::vec3(1, 2, 3), identity})), glm::vec3(1, 1.6f, 3));

  // Either sign of a quaternion is the same rotation.
  const glm::quat turn = glm::angleAxis(0.7f, glm::normalize(glm::vec3(1, 2, -1)));
  expectMat4(vehicleFrameMatrix({glm::vec3(0), -turn}), glm::mat4_cast(turn), 1e-5f);
  // The body is lowered by 0.4 in the vehicle's own frame, not in the world's.
  expectVec3(origin(vehicleBodyMatrix({glm::vec3(0, 2, 0), turn})),
             glm::vec3(0, 2, 0) + turn * glm::vec3(0, -0.4f, 0));

  const glm::mat4 frame = vehicleFrameMatrix({glm::vec3(0, 2, 0), turn});
  const glm::quat steer = glm::angleAxis(0.3f, glm::vec3(0, 1, 0));
  const glm::mat4 wheel = wheelMatrix(frame, {glm::vec3(-1.05f, -1.5f, 1.5f), steer});
  expectVec3(origin(wheel), glm::vec3(0, 2, 0) + turn * glm::vec3(-1.05f, -1.5f, 1.5f));
  expectVec3(glm::vec3(wheel * glm::vec4(1, 0, 0, 0)), turn * (steer * glm::vec3(1, 0, 0)));

  // A cone model stands 1.5 above its actor and is 3.5 times its own size.
  const glm::mat4 cone = coneMatrix({glm::vec3(4, 0, 5), identity});
  expectVec3(glm::vec3(cone * glm::vec4(0, 1, 0, 1)), glm::vec3(4, 1.5f + 3.5f, 5), 1e-4f);
}

TEST(DrawingMatrices, LevelAndGatesWhereTheLayoutPutsThem) {
  // The drawn level and the collision mesh share one pose: model point → world point.
  const glm::vec3 model(10, 3, -7);
  expectVec3(glm::vec3(levelMatrix() * glm::vec4(model, 1)), level::levelModelToWorld(model), 1e-4f);
  const level::LevelItems& items = level::levelLayout().items;
  for (int zone = 0; zone < 3; ++zone) {
    const glm::mat4 gate = zoneGateMatrix(zone);
    expectVec3(origin(gate), items.zoneGates[zone]);
    // Turned gates have their 2-wide side along z.
    const glm::vec3 side(gate * glm::vec4(1, 0, 0, 0));
    EXPECT_NEAR(std::abs(side.z), items.zoneRotated[zone] ? 2.0f : 0.0f, 1e-5f) << zone;
  }
}

}  // namespace
}  // namespace ruvelo
