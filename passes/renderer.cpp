#include "passes/renderer.h"

#include <GL/glew.h>

#include <algorithm>

#include "render/gl_state.h"

namespace ruvelo {

// What a pass draws with, besides the debug toggles' polygon mode and culling.
struct PassState {
  bool depthTest;
  GLenum depthFunc;
  bool blend;
  GLenum blendSource = GL_SRC_ALPHA;
  GLenum blendDestination = GL_ONE_MINUS_SRC_ALPHA;
  bool depthMask = true;
  bool scene = false;  // draws the level's geometry: in lines while wireframe is on
};

namespace {

constexpr PassState scenePass(PassState pass) {
  pass.scene = true;
  return pass;
}

constexpr unsigned kSnowParticles = 2000;

// Wireframe draws the scene's passes in lines; the quads, the HUD, the snow and the result screen
// stay filled, so the window shows the lines (a composite quad in lines would show only its edges).
constexpr PassState kShadowState = scenePass({true, GL_LESS, false});
constexpr PassState kLitState = scenePass({true, GL_LESS, true});
constexpr PassState kSkyState = scenePass({true, GL_LESS, true});  // the skybox draws itself with GL_LEQUAL
// The quad passes' programs write alpha 1: blending could not change their result, and skipping it
// spares a software rasteriser a read of every target pixel.
constexpr PassState kQuadState{false, GL_LESS, false};
constexpr PassState kOverlayState{false, GL_LESS, true};  // HUD and snow, over the composite
constexpr PassState kResultState{true, GL_LESS, true};
// Translucent items, over the lit scene and the sky: tested against their depth, blended over them by
// a constant opacity (the lit shader writes opaque colour), writing no depth so nothing behind them
// is hidden.
constexpr PassState kTranslucentState =
    scenePass({true, GL_LESS, true, GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA, false});

const Material& materialOf(const SceneMaterials& materials, MaterialKind kind) {
  switch (kind) {
    case MaterialKind::Blue:
      return materials.blue;
    case MaterialKind::Environment:
      return materials.environment;
    case MaterialKind::White:
      break;
  }
  return materials.white;
}

}  // namespace

Renderer::Renderer(int width, int height, const Sun& sun)
    : width_(width), height_(height), sun_(sun), text_(width, height) {}

std::unique_ptr<Renderer> Renderer::load(int width, int height, const Sun& sun,
                                         const std::function<void(const char*)>& step) {
  const auto done = [&step](const char* name) {
    if (step) step(name);
  };
  std::unique_ptr<Renderer> renderer(new Renderer(width, height, sun));
  if (!renderer->text_.loaded()) return nullptr;
  done("glyphs");
  renderer->skybox_.emplace();
  done("skybox");
  renderer->programs_ = loadPrograms();
  done("programs");
  renderer->programs_.text->use();
  renderer->programs_.text->setMat4("projMatrix", renderer->text_.projection());
  const Programs& p = renderer->programs_;
  renderer->materials_.emplace(*p.phongPhong, *p.phong, *p.phongEnvironment);
  renderer->light_ = makeSceneLight(sun);
  renderer->noAsset_ =
      std::make_shared<const ModelAsset>(ModelData{}, renderer->materials_->white, renderer->textures_);
  return renderer;
}

AssetHandle Renderer::loadModel(const AssetFile& file) {
  return loadModel(importModel(file.path), file.material);
}

AssetHandle Renderer::loadModel(const ModelData& model, MaterialKind material) {
  assets_.push_back(std::make_shared<const ModelAsset>(model, materialOf(*materials_, material), textures_));
  return static_cast<AssetHandle>(assets_.size() - 1);
}

const ModelAsset& Renderer::asset(AssetHandle handle) const {
  if (handle < 0 || static_cast<size_t>(handle) >= assets_.size()) return *noAsset_;
  return *assets_[static_cast<size_t>(handle)];
}

void Renderer::createTargets() {
  shadowMap_.emplace(sun_);
  postProcess_.emplace(width_, height_, *programs_.edgeDetect, *programs_.quad, *programs_.edgeInk,
                       *programs_.upscale);
  snow_.emplace(*programs_.particles, kSnowParticles);
}

void Renderer::apply(const PassState& pass) const {
  gl_state::Raster raster;
  raster.polygonMode = toggles_.wireframe && pass.scene ? GL_LINE : GL_FILL;
  raster.cullFace = toggles_.cullFaces;
  raster.cullFaceMode = GL_BACK;
  raster.depthTest = pass.depthTest;
  raster.depthFunc = pass.depthFunc;
  raster.blend = pass.blend;
  raster.blendSource = pass.blendSource;
  raster.blendDestination = pass.blendDestination;
  raster.depthMask = pass.depthMask;
  gl_state::apply(raster);
}

void Renderer::allowDepthWrites() {
  // A depth clear honours the depth mask: a pass that wrote no depth must not keep the next clear
  // from clearing it.
  if (!gl_state::raster().depthMask) gl_state::setDepthMask(true);
}

void Renderer::bindWindow() const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
}

void Renderer::shadowPass(const DrawList& list, bool full) {
  apply(kShadowState);
  std::vector<const DrawItem*> items;
  for (const DrawItem& item : list.items)
    if (item.has(kCastsShadow) && !item.has(kTranslucent)) items.push_back(&item);
  std::stable_sort(items.begin(), items.end(),
                   [](const DrawItem* a, const DrawItem* b) { return a->shadowOrder < b->shadowOrder; });
  ShadowCasters casters;
  for (const DrawItem* item : items)
    casters.push_back({item->key, &asset(item->asset), item->matrix, item->has(kSlopedCaster)});
  if (full)
    shadowMap_->renderDepthPass(*programs_.simpleDepthShader, casters);
  else
    shadowMap_->renderChangedDepthPass(*programs_.simpleDepthShader, casters);
}

void Renderer::beginScene() const {
  allowDepthWrites();
  postProcess_->beginScene();
}

int Renderer::litPass(const DrawList& list, const Camera& camera, float brightness) {
  apply(kLitState);
  postProcess_->bindScene();
  setCameraAndLightUniforms(light_.get(), *programs_.phong, camera, brightness);
  shadowMap_->bindForPhong(*programs_.phong);
  setCameraAndLightUniforms(light_.get(), *programs_.phongEnvironment, camera, brightness);
  shadowMap_->bindForPhongEnvironment(*programs_.phongEnvironment, skybox_->cubeMap());
  int drawn = 0;
  for (const DrawItem& item : list.items)
    if (!item.has(kDrawnLast) && !item.has(kTranslucent)) drawItem(item, list, drawn);
  // phongPhong takes the shadow map and the cube map on units 0 and 1, where the others' textures go.
  setCameraAndLightUniforms(light_.get(), *programs_.phongPhong, camera, brightness);
  shadowMap_->bindForPhongPhong(*programs_.phongPhong, skybox_->cubeMap());
  for (const DrawItem& item : list.items)
    if (item.has(kDrawnLast) && !item.has(kTranslucent)) drawItem(item, list, drawn);
  return drawn;
}

void Renderer::drawItem(const DrawItem& item, const DrawList& list, int& drawn) const {
  const ModelAsset& model = asset(item.asset);
  int uncounted = 0;
  drawIfVisible(list.frustum, item.centre, model.boundingRadius(item.matrix),
                list.culling && item.has(kCulled), item.has(kCounted) ? drawn : uncounted,
                [&] { model.draw(item.matrix); });
}

void Renderer::sky(const Camera& camera) const {
  apply(kSkyState);
  postProcess_->bindScene();
  skybox_->draw(*programs_.cubeMapShader, camera);
}

void Renderer::translucentPass(const DrawList& list, const Camera& camera, float brightness) {
  apply(kTranslucentState);
  postProcess_->bindScene();
  setCameraAndLightUniforms(light_.get(), *programs_.phong, camera, brightness);
  shadowMap_->bindForPhong(*programs_.phong);
  for (const DrawItem& item : list.items) {
    if (!item.has(kTranslucent)) continue;
    glBlendColor(0.0f, 0.0f, 0.0f, item.opacity);
    asset(item.asset).draw(item.matrix);
  }
}

void Renderer::edgePass() const {
  apply(kQuadState);
  postProcess_->edgePass();
}

void Renderer::composite(const glm::ivec2& windowSize) const {
  apply(kQuadState);
  postProcess_->composite(windowSize);
}

void Renderer::overlay(const Overlay& overlay) const {
  apply(kOverlayState);
  bindWindow();
  drawOverlay(text_, *programs_.text, overlay);
}

void Renderer::overlay(float dim, const Overlay& overlay) const {
  apply(kOverlayState);
  postProcess_->dimWindow(dim);
  bindWindow();
  drawOverlay(text_, *programs_.text, overlay);
}

void Renderer::updateSnow(unsigned newFlakes, const glm::vec3& origin, const glm::vec3& velocity, float dt) {
  snow_->update(newFlakes, origin, velocity, dt);
}

void Renderer::drawSnow(const Camera& camera) {
  apply(kOverlayState);
  bindWindow();
  snow_->draw(camera);
}

void Renderer::beginResultScreen() const {
  allowDepthWrites();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Renderer::resultScreen(const Camera& camera, const Overlay& overlay) const {
  apply(kResultState);
  bindWindow();
  skybox_->draw(*programs_.cubeMapShader, camera);
  drawOverlay(text_, *programs_.text, overlay);
}

void Renderer::texturedQuadFrame() const {
  apply(kQuadState);
  postProcess_->texturedQuad();
}

void Renderer::floorFrame() {
  // The window is cleared before the map as well, as a frame of the game once did at its start: the
  // floor stays the one every earlier figure was measured against.
  allowDepthWrites();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  shadowMap_->clearOnly();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

}  // namespace ruvelo
