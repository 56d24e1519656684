#include "passes/renderer.h"

#include <GL/glew.h>

#include "level/level_layout.h"
#include "render/gl_state.h"

namespace ruvelo {
namespace {

constexpr unsigned kSnowParticles = 2000;
constexpr float kGhostOpacity = 0.35f;

// Culling centres of the two still models.
const glm::vec3 kGroundCentre(0.0f, level::kSlabTop, 0.0f);

void drawInstance(Model& model, const Instance& instance, const Frustum& frustum, bool culling, int& drawn) {
  model.setModelMatrix(instance.matrix);
  drawCulled(model, frustum, instance.centre, culling, drawn);
}

}  // namespace

Renderer::Renderer(int width, int height) : width_(width), height_(height), text_(width, height) {}

std::unique_ptr<Renderer> Renderer::load(int width, int height) {
  std::unique_ptr<Renderer> renderer(new Renderer(width, height));
  if (!renderer->text_.loaded()) return nullptr;
  renderer->hudScale_ = hudScale(renderer->text_.glyphs(), width, height);
  renderer->skybox_.emplace();
  renderer->programs_ = loadPrograms();
  renderer->programs_.text->use();
  renderer->programs_.text->setMat4("projMatrix", renderer->text_.projection());
  const Programs& p = renderer->programs_;
  renderer->materials_.emplace(*p.phongPhong, *p.phong, *p.phongEnvironment);
  renderer->light_ = makeSceneLight();
  renderer->models_ = loadModels(*renderer->materials_, renderer->textures_);
  return renderer;
}

void Renderer::createTargets() {
  shadowMap_.emplace();
  postProcess_.emplace(width_, height_, *programs_.edgeDetect, *programs_.quad);
  snow_.emplace(*programs_.particles, kSnowParticles);
}

void Renderer::shadowPass(const FrameView& view, bool full) {
  for (size_t i = 0; i < view.batteries.size(); ++i)
    if (view.batteries[i].visible) models_.batteries[i]->setModelMatrix(view.batteries[i].matrix);
  for (size_t i = 0; i < view.cones.size(); ++i) models_.cones[i]->setModelMatrix(view.cones[i].matrix);
  ShadowCasters casters;
  for (size_t i = 0; i < view.zones.size(); ++i)
    if (view.zones[i].visible) casters.zones.push_back(&*models_.finishLines[i]);
  for (auto& cone : models_.cones) casters.cones.push_back(&*cone);
  casters.ground = &*models_.ground;
  for (size_t i = 0; i < view.batteries.size(); ++i)
    if (view.batteries[i].visible) casters.batteries.push_back(&*models_.batteries[i]);
  casters.level = &*models_.level;
  if (full)
    shadowMap_->renderDepthPass(*programs_.simpleDepthShader, casters);
  else
    shadowMap_->renderChangedDepthPass(*programs_.simpleDepthShader, casters);
}

void Renderer::beginScene() const {
  postProcess_->beginScene();
}

int Renderer::litPass(const FrameView& view, const Camera& camera, float brightness) {
  setCameraAndLightUniforms(light_.get(), *programs_.phong, camera, brightness);
  shadowMap_->bindForPhong(*programs_.phong);
  setCameraAndLightUniforms(light_.get(), *programs_.phongEnvironment, camera, brightness);
  shadowMap_->bindForPhongEnvironment(*programs_.phongEnvironment, skybox_->cubeMap());
  const Frustum& frustum = view.frustum;
  const bool cull = view.culling;
  int drawn = 0;
  drawInstance(*models_.car, view.body, frustum, cull, drawn);
  for (size_t i = 0; i < view.wheels.size(); ++i)
    drawInstance(*models_.wheels[i], view.wheels[i], frustum, cull, drawn);
  for (size_t i = 0; i < view.cones.size(); ++i)
    drawInstance(*models_.cones[i], view.cones[i], frustum, cull, drawn);
  for (size_t i = 0; i < view.batteries.size(); ++i)
    if (view.batteries[i].visible)
      drawCulled(*models_.batteries[i], frustum, view.batteries[i].centre, cull, drawn);
  drawCulled(*models_.level, frustum, level::kLevelPosition, cull, drawn);
  drawCulled(*models_.ground, frustum, kGroundCentre, cull, drawn);
  setCameraAndLightUniforms(light_.get(), *programs_.phongPhong, camera, brightness);
  shadowMap_->bindForPhongPhong(*programs_.phongPhong, skybox_->cubeMap());
  for (size_t i = 0; i < view.zones.size(); ++i)
    if (view.zones[i].visible)
      drawCulled(*models_.finishLines[i], frustum, view.zones[i].centre, cull, drawn);
  return drawn;
}

void Renderer::sky(const Camera& camera) const {
  skybox_->draw(*programs_.cubeMapShader, camera);
}

void Renderer::ghost(const glm::mat4& body, const std::array<glm::mat4, 4>& wheels, const Camera& camera,
                     float brightness) {
  setCameraAndLightUniforms(light_.get(), *programs_.phong, camera, brightness);
  shadowMap_->bindForPhong(*programs_.phong);
  // The lit shader writes opaque colour; a constant opacity makes it see-through without a shader of
  // its own. The game's usual blending (by the source alpha, for text and snow) comes back after.
  const bool blending = gl_state::raster().blend;
  gl_state::setEnabled(GL_BLEND, true);
  glBlendColor(0.0f, 0.0f, 0.0f, kGhostOpacity);
  glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
  glDepthMask(GL_FALSE);
  models_.car->asset().draw(body);
  for (size_t i = 0; i < wheels.size(); ++i) models_.wheels[i]->asset().draw(wheels[i]);
  glDepthMask(GL_TRUE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  gl_state::setEnabled(GL_BLEND, blending);
}

void Renderer::edgePass() const {
  postProcess_->edgePass();
}

void Renderer::composite(const glm::ivec2& windowSize) const {
  postProcess_->composite(windowSize);
}

void Renderer::hud(const HudTexts& texts) const {
  drawHud(text_, *programs_.text, texts, hudScale_);
}

void Renderer::snow(unsigned newFlakes, const glm::vec3& origin, const glm::vec3& velocity, float dt,
                    const Camera& camera) {
  snow_->update(newFlakes, origin, velocity, dt);
  snow_->draw(camera);
}

void Renderer::beginResultScreen() const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Renderer::resultScreen(const Camera& camera, const std::string& line, const std::string& detail) const {
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
