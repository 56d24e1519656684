// Toggle actions, brightness bounds, mouse look, scroll zoom and the free camera.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

#include "app/camera_rig.h"
#include "app/key_handling.h"

namespace ruvelo {
namespace {

TEST(KeyCallback, OnlyTheStateActionsChangeTheState) {
  DebugToggles state;
  Settings settings;
  std::ostringstream out;
  for (Action action : {Action::Accelerate, Action::Recover, Action::Pause, Action::Retry, Action::Quit})
    EXPECT_FALSE(applyToggle(state, settings, action, out));
  EXPECT_EQ(out.str(), "");
  EXPECT_TRUE(applyToggle(state, settings, Action::DebugCamera, out));
  EXPECT_TRUE(state.debugMode);
  EXPECT_FALSE(settings.anyKeptChanged()) << "the developer toggles are never kept";
}

TEST(KeyCallback, TogglesPrintTheirMessages) {
  DebugToggles state;
  Settings settings;
  std::ostringstream out;
  for (Action action : {Action::DebugCamera, Action::ToggleRules, Action::ToggleSnow, Action::ToggleFrustum,
                        Action::ToggleHud, Action::DebugCamera, Action::Mute, Action::Mute, Action::Mute})
    applyToggle(state, settings, action, out);
  EXPECT_EQ(out.str(),
            "DebugMode: 1\nWin/lose Condition: 0\nSnow: 0\nViewFrustum: 0\n"
            "HUD: 0\nDebugMode: 0\nSound: 0\nSound: 1\nSound: 0\n");
  EXPECT_FALSE(settings.on(Option::Sound));
  EXPECT_FALSE(state.debugMode);
  EXPECT_FALSE(state.winLoseCondition);
  EXPECT_FALSE(settings.on(Option::Snow));
  EXPECT_FALSE(state.viewFrustum);
  EXPECT_FALSE(settings.on(Option::Hud));
  // The player's options count their changes (and the developer toggles are not options).
  EXPECT_EQ(settings.changes(Option::Sound), 3u);
  EXPECT_EQ(settings.changes(Option::Snow), 1u);
  EXPECT_TRUE(settings.anyKeptChanged());
}

TEST(KeyCallback, F10CyclesTheRenderScaleAndSaysWhichItIs) {
  DebugToggles state;
  Settings settings;  // a run that starts automatic, as the game does without flags
  std::ostringstream out;
  std::vector<std::pair<bool, float>> seen;
  for (int i = 0; i < 5; ++i) {
    applyToggle(state, settings, Action::RenderScale, out);
    seen.emplace_back(settings.renderScale().automatic, settings.renderScale().value);
  }
  EXPECT_EQ(
      out.str(),
      "Render scale: 1.0\nRender scale: 0.75\nRender scale: 0.5\nRender scale: auto\nRender scale: 1.0\n");
  EXPECT_EQ(seen[0], std::make_pair(false, 1.0f));
  EXPECT_EQ(seen[1], std::make_pair(false, 0.75f));
  EXPECT_EQ(seen[2], std::make_pair(false, 0.5f));
  EXPECT_TRUE(seen[3].first);
  // A scale from the settings between the listed ones goes on to the next below it.
  settings.load(Option::RenderScale, 0.8);
  applyToggle(state, settings, Action::RenderScale, out);
  EXPECT_FLOAT_EQ(settings.renderScale().value, 0.75f);
}

TEST(KeyCallback, WireframeAndCullingAlternate) {
  DebugToggles state;
  Settings settings;
  std::ostringstream out;
  EXPECT_TRUE(applyToggle(state, settings, Action::ToggleWireframe, out));
  EXPECT_TRUE(state.wireframe);
  applyToggle(state, settings, Action::ToggleWireframe, out);
  EXPECT_FALSE(state.wireframe);
  EXPECT_TRUE(applyToggle(state, settings, Action::ToggleCulling, out));
  EXPECT_FALSE(state.cullFaces);
  applyToggle(state, settings, Action::ToggleCulling, out);
  EXPECT_TRUE(state.cullFaces);
  EXPECT_EQ(out.str(), "Wireframe: 1\nWireframe: 0\nCulling: 0\nCulling: 1\n");
}

TEST(KeyCallback, BrightnessBoundsActOnlyOnTheCrossingKey) {
  struct Case {
    float start;
    Action action;
    float expected;
  };
  const Case cases[] = {
      {1.9f, Action::Brighter, 2.0f}, {1.0f, Action::Brighter, 1.1f}, {0.6f, Action::Darker, 0.5f},
      {5.0f, Action::Darker, 4.9f},   {5.0f, Action::Brighter, 2.0f}, {0.2f, Action::Brighter, 0.3f},
      {0.2f, Action::Darker, 0.5f},
  };
  for (const Case& c : cases) {
    DebugToggles state;
    Settings settings;
    settings.load(Option::Brightness, c.start);
    std::ostringstream out;
    applyToggle(state, settings, c.action, out);
    EXPECT_NEAR(settings.brightness(), c.expected, 1e-6)
        << c.start << " action " << static_cast<int>(c.action);
    char line[32];
    std::snprintf(line, sizeof line, "Brightness: %.1f\n", static_cast<double>(c.expected));
    EXPECT_EQ(out.str(), line);
  }
}

TEST(MouseLook, TurnsOnlyWithTheButtonHeldAndNeverJumps) {
  CameraRig rig;
  const glm::vec3 startFront = rig.camera().front;
  rig.look(100, 100, false);
  EXPECT_EQ(rig.camera().front, startFront) << "moving without the button never turns";
  rig.look(110, 90, true);  // 10 px right, 10 px up
  EXPECT_FLOAT_EQ(rig.camera().yaw, -88.0f);
  EXPECT_FLOAT_EQ(rig.camera().pitch, 2.0f);
  EXPECT_GT(rig.camera().front.y, 0.0f);
  rig.look(500, 500, false);
  rig.look(501, 500, true);
  EXPECT_FLOAT_EQ(rig.camera().yaw, -87.8f) << "a new drag starts from where the button was pressed";
  rig.look(501, -10000, true);
  EXPECT_FLOAT_EQ(rig.camera().pitch, 89.0f);
}

TEST(ScrollZoom, MovesInsideTheRangeAndSnapsOutside) {
  CameraRig rig;
  rig.zoom(2.0);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 43.0f);
  rig.cameraForTests().zoom = 30.0f;
  rig.zoom(1.5);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 28.5f) << "a scroll may leave the range";
  rig.zoom(1.0);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 30.0f) << "the next one brings it back";
  rig.cameraForTests().zoom = 86.0f;
  rig.zoom(-3.0);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 85.0f);
}

TEST(CameraRig, TheFieldOfViewOptionAppliesWhenItChangesAndTheReverseViewCarriesOver) {
  Settings settings;
  CameraRig rig(1.5f, settings);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 45.0f);
  rig.zoom(5.0);
  const FollowTarget target;
  rig.follow(target, settings, 0.1f);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 40.0f) << "an unchanged option leaves the scroll zoom alone";
  settings.change(Option::Fov, 70.0);
  rig.follow(target, settings, 0.1f);
  EXPECT_FLOAT_EQ(rig.camera().zoom, 70.0f);
  std::ostringstream out;
  rig.toggleReverseView(out);
  CameraRig next(1.5f, settings);
  next.carryOver(rig);
  EXPECT_TRUE(next.reverseView());
  EXPECT_EQ(out.str(), "Reverse Mode Switched: 1\n");
}

TEST(FreeCamera, MovesAlongItsOwnAxesAtItsSpeed) {
  Camera camera;
  const glm::vec3 start = camera.position;
  moveFreeCamera(camera, {true, false, false, false, false, false}, 0.5f);
  EXPECT_NEAR(camera.position.z, start.z - 70.0f, 1e-3) << "front is -z at start, 140 units/s";
  moveFreeCamera(camera, {false, false, false, true, true, false}, 0.5f);
  EXPECT_NEAR(camera.position.x, start.x + 70.0f, 1e-3);
  EXPECT_NEAR(camera.position.y, start.y + 70.0f, 1e-3);
  moveFreeCamera(camera, {true, true, true, true, true, true}, 1.0f);
  EXPECT_NEAR(camera.position.x, start.x + 70.0f, 1e-3) << "opposite keys cancel";
}

}  // namespace
}  // namespace ruvelo
