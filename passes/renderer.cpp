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
};

namespace {

constexpr unsigned kSnowParticles = 2000;

constexpr PassState kShadowState{true, GL_LESS, false};
constexpr PassState kLitState{true, GL_LESS, true};
constexpr PassState kSkyState{true, GL_LESS, true};  // the skybox draws itself with GL_LEQUAL
// The quad passes' programs write alpha 1: blending could not change their result, and skipping it
// spares a software rasteriser a read of every target pixel.
constexpr PassState kQuadState{false, GL_LESS, false};
constexpr PassState kOverlayState{false, GL_LESS, true};  // HUD and snow, over the composite
constexpr PassState kResultState{true, GL_LESS, true};
// The ghost, over the lit scene and the sky: tested against their depth, blended over them.
constexpr PassState kGhostState{true, GL_LESS, true};
constexpr float kGhostOpacity = 0.35f;

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

Renderer::Renderer(int width, int height) : width_(width), height_(height), text_(width, height) {}

std::unique_ptr<Renderer> Renderer::load(int width, int height, const std::vector<AssetFile>& assets,
                                         const std::function<void(const char*)>& step) {
  const auto done = [&step](const char* name) {
    if (step) step(name);
  };
  std::unique_ptr<Renderer> renderer(new Renderer(width, height));
  if (!renderer->text_.loaded()) return nullptr;
  done("glyphs");
  renderer->hudScale_ = hudScale(renderer->text_.glyphs(), width, height);
  renderer->skybox_.emplace();
  done("skybox");
  renderer->programs_ = loadPrograms();
  done("programs");
  renderer->programs_.text->use();
  renderer->programs_.text->setMat4("projMatrix", renderer->text_.projection());
  const Programs& p = renderer->programs_;
  renderer->materials_.emplace(*p.phongPhong, *p.phong, *p.phongEnvironment);
  renderer->light_ = makeSceneLight();
  for (const AssetFile& file : assets)
    renderer->assets_[static_cast<size_t>(file.id)] =
        loadModelAsset(file.path, materialOf(*renderer->materials_, file.material), renderer->textures_);
  // An asset the list never loaded draws as nothing.
  for (auto& asset : renderer->assets_)
    if (!asset)
      asset =
          std::make_shared<const ModelAsset>(ModelData{}, renderer->materials_->white, renderer->textures_);
  done("models");
  return renderer;
}

void Renderer::createTargets() {
  shadowMap_.emplace();
  postProcess_.emplace(width_, height_, *programs_.edgeDetect, *programs_.quad, *programs_.quadUpscale);
  snow_.emplace(*programs_.particles, kSnowParticles);
}

void Renderer::apply(const PassState& pass) const {
  gl_state::Raster raster;
  raster.polygonMode = toggles_.wireframe ? GL_LINE : GL_FILL;
  raster.cullFace = toggles_.cullFaces;
  raster.cullFaceMode = GL_BACK;
  raster.depthTest = pass.depthTest;
  raster.depthFunc = pass.depthFunc;
  raster.blend = pass.blend;
  gl_state::apply(raster);
}

void Renderer::bindWindow() const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
}

void Renderer::shadowPass(const DrawList& list, bool full) {
  apply(kShadowState);
  std::vector<const DrawItem*> items;
  for (const DrawItem& item : list.items)
    if (item.has(kCastsShadow)) items.push_back(&item);
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
    if (!item.has(kDrawnLast)) drawItem(item, list, drawn);
  // phongPhong takes the shadow map and the cube map on units 0 and 1, where the others' textures go.
  setCameraAndLightUniforms(light_.get(), *programs_.phongPhong, camera, brightness);
  shadowMap_->bindForPhongPhong(*programs_.phongPhong, skybox_->cubeMap());
  for (const DrawItem& item : list.items)
    if (item.has(kDrawnLast)) drawItem(item, list, drawn);
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

void Renderer::ghost(const glm::mat4& body, const std::array<glm::mat4, 4>& wheels, const Camera& camera,
                     float brightness) {
  apply(kGhostState);
  setCameraAndLightUniforms(light_.get(), *programs_.phong, camera, brightness);
  shadowMap_->bindForPhong(*programs_.phong);
  // The lit shader writes opaque colour; a constant opacity makes it see-through without a shader of
  // its own. Nothing behind it is hidden by it: it writes no depth. The usual blend function (by the
  // source alpha, for text and snow) comes back after.
  glBlendColor(0.0f, 0.0f, 0.0f, kGhostOpacity);
  glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
  glDepthMask(GL_FALSE);
  asset(AssetId::Vehicle).draw(body);
  // The wheels are left, right, left, right.
  for (size_t i = 0; i < wheels.size(); ++i)
    asset(i % 2 == 0 ? AssetId::WheelLeft : AssetId::WheelRight).draw(wheels[i]);
  glDepthMask(GL_TRUE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void Renderer::edgePass() const {
  apply(kQuadState);
  postProcess_->edgePass();
}

void Renderer::composite(const glm::ivec2& windowSize) const {
  apply(kQuadState);
  postProcess_->composite(windowSize);
}

void Renderer::hud(const HudTexts& texts) const {
  apply(kOverlayState);
  bindWindow();
  drawHud(text_, *programs_.text, texts, hudScale_);
}

void Renderer::snow(unsigned newFlakes, const glm::vec3& origin, const glm::vec3& velocity, float dt,
                    const Camera& camera) {
  snow_->update(newFlakes, origin, velocity, dt);
  apply(kOverlayState);
  bindWindow();
  snow_->draw(camera);
}

void Renderer::beginResultScreen() const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Renderer::resultScreen(const Camera& camera, const std::string& line, const std::string& detail) const {
  apply(kResultState);
  bindWindow();
  skybox_->draw(*programs_.cubeMapShader, camera);
  drawTextLine(text_, *programs_.text, endScreenLine(line));
  if (!detail.empty()) drawTextLine(text_, *programs_.text, endScreenDetailLine(detail, hudScale_));
}

void Renderer::floorFrame() {
  // The window is cleared before the map as well, as a frame of the game once did at its start: the
  // floor stays the one every earlier figure was measured against.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  shadowMap_->clearOnly();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

}  // namespace ruvelo
