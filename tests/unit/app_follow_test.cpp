// The follow camera's direction: travel, the reverse view and the recovery key.
#include <gtest/gtest.h>

#include "app/follow_direction.h"
#include "render/camera.h"

namespace ruvelo {
namespace {

TEST(FollowDirection, FollowsTravelAndKeepsTheLastDirectionWhenSlow) {
  glm::vec3 last(0, 0, 1);
  EXPECT_EQ(followDirection({3, 0, 0}, last, false, false), glm::vec3(3, 0, 0));
  EXPECT_EQ(last, glm::vec3(3, 0, 0));
  EXPECT_EQ(followDirection({0, 0, 0.3f}, last, false, false), glm::vec3(3, 0, 0))
      << "0.4 m/s or less keeps it";
}

TEST(FollowDirection, ReverseViewIsStableWhileStandingStill) {
  glm::vec3 last(0, 0, 1);
  followDirection({0, 0, -5}, last, true, false);  // backing up along -z
  for (int frame = 0; frame < 5; ++frame)
    EXPECT_EQ(followDirection({0, 0, 0}, last, true, false), glm::vec3(0, 0, 5)) << "frame " << frame;
  // The camera, fed a steady direction, settles instead of collapsing between two opposite ones.
  Camera camera;
  for (int frame = 0; frame < 200; ++frame)
    camera.follow({0, 3, 0}, followDirection({}, last, true, false), 1 / 60.f);
  EXPECT_NEAR(camera.front.z, 1.0f, 1e-3f);
  EXPECT_FALSE(glm::any(glm::isnan(camera.front)));
}

TEST(FollowDirection, RecoveryLooksAlongPlusZ) {
  glm::vec3 last(1, 0, 0);
  EXPECT_EQ(followDirection({5, 0, 0}, last, false, true), glm::vec3(0, 0, 1));
  EXPECT_EQ(last, glm::vec3(0, 0, 1));
}

}  // namespace
}  // namespace ruvelo
