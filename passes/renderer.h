// Draws the game: owns the programs, materials, light, model assets, texture cache, glyph table,
// skybox, shadow map, post-process targets and snow, and draws what a DrawList holds. The caller
// decides which pass runs when; each call here is one pass.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <glm/glm.hpp>

#include "passes/draw_list.h"
#include "passes/frustum.h"
#include "passes/hud.h"
#include "passes/particle_system.h"
#include "passes/post_process.h"
#include "passes/programs.h"
#include "passes/shadow_map.h"
#include "passes/skybox.h"
#include "passes/text_renderer.h"
#include "render/camera.h"
#include "render/light.h"
#include "render/material.h"
#include "render/model.h"
#include "render/texture.h"

namespace ruvelo {

// The debug toggles: wireframe (F1; the scene's passes draw in lines) and back-face culling (F2, every
// pass).
struct RasterToggles {
  bool wireframe = false;
  bool cullFaces = true;
};

struct PassState;

// Every pass applies the GL state it declares at its start (depth test and function, blending, the
// toggles' polygon mode and culling) and binds its own target, so none depends on what another left.
class Renderer {
 public:
  // Start-up, in the game's order: glyph table and text projection, skybox, programs, materials and
  // light. The scene is lit by `sun`, which also casts the shadows. Null when the font cannot be
  // loaded.
  // `step` (when given) is told the end of each: "glyphs", "skybox", "programs".
  static std::unique_ptr<Renderer> load(int width, int height, const Sun& sun,
                                        const std::function<void(const char*)>& step = {});

  // Reads and uploads one model (after load(), in the caller's loading order) and hands out the
  // handle draw items refer to it by. A model that cannot be read draws as nothing.
  AssetHandle loadModel(const AssetFile& file);
  // The same for a model already read from its file (importModel).
  AssetHandle loadModel(const ModelData& model, MaterialKind material);

  // The toggles the next passes draw with.
  void setToggles(const RasterToggles& toggles) { toggles_ = toggles; }

  // Start-up, after the physics world: the shadow map and post-process framebuffers, then the snow.
  void createTargets();

  // The share of each window axis the lit scene, sky, ghost and edges are drawn at (0.35 to 1); the
  // composite scales them up, the HUD, result screen and snow stay at the window's size.
  void setRenderScale(float scale) { postProcess_->setScale(scale); }
  float renderScale() const { return postProcess_->scale(); }

  // The depth pass of the list's shadow casters, by their shadow order. Only what changed since the
  // last pass is redrawn unless `full`.
  void shadowPass(const DrawList& list, bool full);
  // Binds and clears the off-screen scene target.
  void beginScene() const;
  // The lit pass over the list in its order, the items drawn last after the others, each culled
  // against the list's frustum when it asks to be. Returns how many counted items were drawn.
  int litPass(const DrawList& list, const Camera& camera, float brightness);
  void sky(const Camera& camera) const;
  // The list's translucent items in its order, over the scene drawn so far (after the sky), each
  // blended at its opacity with the lit program. They write no depth and are not culled or counted.
  void translucentPass(const DrawList& list, const Camera& camera, float brightness);
  void edgePass() const;
  void composite(const glm::ivec2& windowSize) const;
  // Lines and shapes over the window (the HUD), blended, no depth test.
  void overlay(const Overlay& overlay) const;
  // The window dimmed to `dim` of its brightness, then `overlay` over it (the pause screen).
  void overlay(float dim, const Overlay& overlay) const;
  // The snow's simulation: new flakes at `origin` moving with `velocity`, then the pool aged by `dt`
  // (CPU only, in the frame's update); then every living flake in sight drawn.
  void updateSnow(unsigned newFlakes, const glm::vec3& origin, const glm::vec3& velocity, float dt);
  void drawSnow(const Camera& camera);

  // The result screen: the default framebuffer cleared (events are polled between the two calls),
  // then the sky and the overlay's lines and shapes.
  void beginResultScreen() const;
  void resultScreen(const Camera& camera, const Overlay& overlay) const;

  // The glyphs text is laid out with.
  const GlyphTable& glyphs() const { return text_.glyphs(); }

  // The cost floor of a frame: the shadow map and the window cleared, nothing drawn.
  void floorFrame();
  // The other floor: one window-sized textured quad and nothing else (what an upscale costs at least).
  void texturedQuadFrame() const;

 private:
  Renderer(int width, int height, const Sun& sun);
  void apply(const PassState& pass) const;
  void bindWindow() const;  // the default framebuffer at the settings' size
  static void allowDepthWrites();
  // The item's asset at its matrix, unless culled; counts it in `drawn` when it counts.
  void drawItem(const DrawItem& item, const DrawList& list, int& drawn) const;
  const ModelAsset& asset(AssetHandle handle) const;

  int width_;
  int height_;
  Sun sun_;
  RasterToggles toggles_;
  TextRenderer text_;
  std::optional<Skybox> skybox_;
  Programs programs_;
  std::optional<SceneMaterials> materials_;
  std::unique_ptr<Light> light_;
  TextureCache textures_;
  std::vector<std::shared_ptr<const ModelAsset>> assets_;
  std::shared_ptr<const ModelAsset> noAsset_;  // what a handle never handed out draws: nothing
  std::optional<ShadowMap> shadowMap_;
  std::optional<PostProcess> postProcess_;
  std::optional<ParticleSystem> snow_;
};

}  // namespace ruvelo
