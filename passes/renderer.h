// Draws the game: owns the programs, materials, light, models, glyph table, skybox, shadow map,
// post-process targets and snow, and draws what a FrameView describes in the game's fixed order.
// The caller decides which pass runs when; each call here is one pass.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include <glm/glm.hpp>

#include "passes/frustum.h"
#include "passes/hud.h"
#include "passes/particle_system.h"
#include "passes/post_process.h"
#include "passes/scene_assets.h"
#include "passes/shadow_map.h"
#include "passes/skybox.h"
#include "passes/text_renderer.h"
#include "render/camera.h"

namespace ruvelo {

// One drawn object: its matrix, its culling centre, and whether it is drawn at all.
struct Instance {
  glm::mat4 matrix{1.0f};
  glm::vec3 centre{0.0f};
  bool visible = true;
};

// What one frame shows. The level and the ground stand still and are not listed.
struct FrameView {
  Instance body;
  std::array<Instance, 4> wheels;
  std::array<Instance, 5> cones;
  std::array<Instance, 5> batteries;
  std::array<Instance, 3> zones;
  Frustum frustum;  // of the camera as it stood before this frame's update
  bool culling = true;
};

class Renderer {
 public:
  // Start-up, in the game's order: glyph table and text projection, skybox, programs, materials and
  // light, models. Null when the font cannot be loaded.
  static std::unique_ptr<Renderer> load(int width, int height);

  // Start-up, after the physics world: the shadow map and post-process framebuffers, then the snow.
  void createTargets();

  // The depth pass of the shadow casters: visible zones, cones, ground, visible batteries, level.
  // Only what changed since the last pass is redrawn unless `full`.
  void shadowPass(const FrameView& view, bool full);
  // Binds and clears the off-screen scene target.
  void beginScene() const;
  // The lit pass with culling: vehicle body and wheels, cones, visible batteries, level, ground,
  // visible zones. Returns how many objects were drawn.
  int litPass(const FrameView& view, const Camera& camera, float brightness);
  void sky(const Camera& camera) const;
  // The ghost of the best run: the vehicle body and wheels at these matrices, see-through, over the
  // scene drawn so far (after the sky). It writes no depth, casts no shadow and is not counted.
  void ghost(const glm::mat4& body, const std::array<glm::mat4, 4>& wheels, const Camera& camera,
             float brightness);
  void edgePass() const;
  void composite(const glm::ivec2& windowSize) const;
  void hud(const HudTexts& texts) const;
  // New flakes at `origin` moving with `velocity`, then every flake drawn.
  void snow(unsigned newFlakes, const glm::vec3& origin, const glm::vec3& velocity, float dt,
            const Camera& camera);

  // The result screen: the default framebuffer cleared (events are polled between the two calls),
  // then the sky, the line and the smaller detail line under it (none when "").
  void beginResultScreen() const;
  void resultScreen(const Camera& camera, const std::string& line, const std::string& detail = "") const;

  // The cost floor of a frame: the shadow map and the window cleared, nothing drawn.
  void floorFrame();

 private:
  Renderer(int width, int height);

  int width_;
  int height_;
  TextRenderer text_;
  float hudScale_ = 1.0f;  // the HUD shrunk to fit a small window
  std::optional<Skybox> skybox_;
  Programs programs_;
  std::optional<SceneMaterials> materials_;
  std::unique_ptr<Light> light_;
  TextureCache textures_;  // before the models: they hold its textures
  SceneModels models_;
  std::optional<ShadowMap> shadowMap_;
  std::optional<PostProcess> postProcess_;
  std::optional<ParticleSystem> snow_;
};

}  // namespace ruvelo
