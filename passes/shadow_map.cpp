#include "passes/shadow_map.h"

#include <glm/gtc/matrix_transform.hpp>

#include "render/model.h"
#include "render/shader.h"

namespace ruvelo {

namespace {}  // namespace

glm::mat4 lightProjection() {
  return glm::ortho(-400.0f, 400.0f, -400.0f, 400.0f, 1.0f, 1000.5f);
}

glm::mat4 lightView() {
  const glm::vec3 eye(300.0f, 300.0f, 300.0f);
  return glm::lookAt(eye, eye + glm::vec3(-1.0f, -1.0f, -1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
}

glm::mat4 lightSpaceMatrix() {
  return lightProjection() * lightView();
}

ShadowMap::ShadowMap(int size) : size_(size) {
  texture_ = GlTexture::generate();
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, size, size, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glBindTexture(GL_TEXTURE_2D, 0);

  framebuffer_ = GlFramebuffer::generate();
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, texture_.get(), 0);
  glDrawBuffer(GL_NONE);
  glReadBuffer(GL_NONE);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void ShadowMap::clearOnly() const {
  glViewport(0, 0, size_, size_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_.get());
  glClear(GL_DEPTH_BUFFER_BIT);
}

void ShadowMap::renderDepthPass(const Shader& depthProgram, const ShadowCasters& casters) const {
  depthProgram.use();
  depthProgram.setMat4("projMatrix", lightProjection());
  depthProgram.setMat4("viewMatrix", lightView());

  clearOnly();
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(2.0f, 1.0f);

  auto draw = [&depthProgram](const Model* model) {
    if (model != nullptr) model->drawWithProgram(depthProgram);
  };
  for (const Model* zone : casters.zones) draw(zone);
  for (const Model* cone : casters.cones) draw(cone);
  draw(casters.ground);
  for (const Model* battery : casters.batteries) draw(battery);

  // The level is large and sloped: a stronger offset keeps its own surface from self-shadowing.
  glPolygonOffset(3.5f, 1.0f);
  draw(casters.level);
  glDisable(GL_POLYGON_OFFSET_FILL);
}

void ShadowMap::bindUnits(const Shader& program, int shadowUnit, int cubeUnit, GLuint cubeMap) const {
  program.use();
  program.setInt("shadowMap", shadowUnit);
  program.setMat4("lightSpaceMatrix", lightSpaceMatrix());
  glActiveTexture(GL_TEXTURE0 + shadowUnit);
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  if (cubeUnit >= 0) {
    program.setInt("cubemap", cubeUnit);
    glActiveTexture(GL_TEXTURE0 + cubeUnit);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMap);
  }
}

void ShadowMap::bindForPhong(const Shader& program) const {
  bindUnits(program, 2, -1, 0);
}

void ShadowMap::bindForPhongEnvironment(const Shader& program, GLuint cubeMap) const {
  bindUnits(program, 2, 3, cubeMap);
}

void ShadowMap::bindForPhongPhong(const Shader& program, GLuint cubeMap) const {
  bindUnits(program, 0, 1, cubeMap);
}

}  // namespace ruvelo
