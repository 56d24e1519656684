#include "passes/particle_system.h"

#include <stb_image.h>

#include <cmath>
#include <glm/gtc/type_ptr.hpp>
#include <iostream>

#include "passes/frustum.h"
#include "render/camera.h"
#include "render/image_file.h"
#include "render/shader.h"

namespace ruvelo {

namespace {

// A unit quad around the origin, two counter-clockwise triangles of (x, y, u, v).
constexpr float kQuadVertices[] = {-0.5f, 0.5f,  0.0f, 1.0f, -0.5f, -0.5f, 0.0f, 0.0f,
                                   0.5f,  -0.5f, 1.0f, 0.0f, -0.5f, 0.5f,  0.0f, 1.0f,
                                   0.5f,  -0.5f, 1.0f, 0.0f, 0.5f,  0.5f,  1.0f, 1.0f};
static_assert(sizeof(kQuadVertices) == 96, "six vertices of four floats");
// Half the diagonal of the unit quad, a little over: how far a flake's corners reach from its centre
// per unit of size.
constexpr float kFlakeReach = 0.75f;

}  // namespace

GlTexture loadFlakeTexture(const std::string& path) {
  GlTexture texture = GlTexture::generate();
  glBindTexture(GL_TEXTURE_2D, texture.get());

  int width = 0;
  int height = 0;
  int channels = 0;
  // A grey-alpha image has no matching upload format here: widen it to RGBA.
  const int wanted = stbi_info(path.c_str(), &width, &height, &channels) != 0 && channels == 2 ? 4 : 0;
  const DecodedImage image = decodeImage(path, wanted);
  if (image.ok()) {
    uploadMipmapped(GL_TEXTURE_2D, image, pixelFormat(image.channels));
  } else {
    std::cout << "Texture failed to load at path: " << path << std::endl;
    std::cout << "  in " << path << ": " << image.error << std::endl;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

ParticleSystem::ParticleSystem(const Shader& program, unsigned count, const std::string& texturePath)
    : program_(&program), pool_(count) {
  instanceMatrices_.reserve(count);
  vertexArray_ = GlVertexArray::generate();
  quadBuffer_ = GlBuffer::generate();
  glBindVertexArray(vertexArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, quadBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, sizeof(kQuadVertices), kQuadVertices, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);

  // One matrix per instance, its four columns on attributes 1 to 4.
  instanceBuffer_ = GlBuffer::generate();
  glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(glm::mat4)), nullptr, GL_STATIC_DRAW);
  for (GLuint column = 0; column < 4; ++column) {
    const GLuint attribute = 1 + column;
    glEnableVertexAttribArray(attribute);
    glVertexAttribPointer(attribute, 4, GL_FLOAT, GL_FALSE, sizeof(glm::mat4),
                          reinterpret_cast<const void*>(column * sizeof(glm::vec4)));
    glVertexAttribDivisor(attribute, 1);
  }
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);

  texture_ = loadFlakeTexture(texturePath);
}

void ParticleSystem::update(unsigned newParticles, const glm::vec3& centre, const glm::vec3& offset,
                            float dt) {
  pool_.spawn(newParticles, centre, offset);
  pool_.age(dt);
}

void ParticleSystem::draw(const glm::mat4& view, const glm::mat4& projection) {
  program_->use();
  const glm::mat4 inverseView = glm::inverse(view);
  const Frustum frustum(view, projection);
  const std::vector<Particle>& particles = pool_.particles();
  const Particle* lastLiving = nullptr;
  instanceMatrices_.clear();
  for (const Particle& particle : particles) {
    // A dead flake is not drawn, rather than hanging where it died until its slot is reused.
    if (particle.life <= 0.0f) continue;
    lastLiving = &particle;
    // Most of the flakes around the vehicle are out of sight; one off the frustum covers no pixel.
    // The flake is a camera-facing square of side `size`: its corners are within 0.71 × size.
    if (frustum.sphereOutside(particle.position, std::abs(particle.size) * kFlakeReach)) continue;
    instanceMatrices_.push_back(billboardMatrix(particle, inverseView));
  }
  if (instanceMatrices_.empty()) return;
  // The per-flake uniforms would end up holding the last living flake's values; set those once.
  program_->setMat4("view", view);
  program_->setMat4("projection", projection);
  program_->setMat4("model", billboardMatrix(*lastLiving, inverseView));
  const glm::vec4& colour = lastLiving->colour;
  glUniform4f(program_->uniformLocation("color"), colour.r, colour.g, colour.b, colour.a);
  glUniform1f(program_->uniformLocation("sprite"), 0.0f);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture_.get());

  // The drawn flakes only, in pool order (blending in the same order gives the same picture).
  const auto bytes = static_cast<GLsizeiptr>(instanceMatrices_.size() * sizeof(glm::mat4));
  glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, bytes, instanceMatrices_.data(), GL_STREAM_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);

  glBindVertexArray(vertexArray_.get());
  glDrawArraysInstanced(GL_TRIANGLES, 0, 6, static_cast<GLsizei>(instanceMatrices_.size()));
  glBindVertexArray(0);
}

void ParticleSystem::draw(const Camera& camera) {
  draw(camera.viewMatrix, camera.projectionMatrix);
}

}  // namespace ruvelo
