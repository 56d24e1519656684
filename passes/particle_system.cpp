#include "passes/particle_system.h"

#include <stb_image.h>

#include <glm/gtc/type_ptr.hpp>
#include <iostream>

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
    : program_(&program), pool_(count), instanceMatrices_(count, glm::mat4(1.0f)) {
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
  const std::vector<Particle>& particles = pool_.particles();
  const Particle* lastLiving = nullptr;
  for (size_t i = 0; i < particles.size(); ++i) {
    if (particles[i].life <= 0.0f) {
      // A dead flake collapses to a point instead of hanging where it died until its slot is reused.
      instanceMatrices_[i] = glm::mat4(0.0f);
      continue;
    }
    instanceMatrices_[i] = billboardMatrix(particles[i], inverseView);
    lastLiving = &particles[i];
  }
  // The per-flake uniforms would end up holding the last living flake's values; set those once.
  if (lastLiving != nullptr) {
    program_->setMat4("view", view);
    program_->setMat4("projection", projection);
    program_->setMat4("model", instanceMatrices_[static_cast<size_t>(lastLiving - particles.data())]);
    const glm::vec4& colour = lastLiving->colour;
    glUniform4f(program_->uniformLocation("color"), colour.r, colour.g, colour.b, colour.a);
    glUniform1f(program_->uniformLocation("sprite"), 0.0f);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture_.get());
  }

  const auto bytes = static_cast<GLsizeiptr>(instanceMatrices_.size() * sizeof(glm::mat4));
  glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STATIC_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, instanceMatrices_.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);

  glBindVertexArray(vertexArray_.get());
  glDrawArraysInstanced(GL_TRIANGLES, 0, 6, static_cast<GLsizei>(instanceMatrices_.size()));
  glBindVertexArray(0);
}

void ParticleSystem::draw(const Camera& camera) {
  draw(camera.viewMatrix, camera.projectionMatrix);
}

}  // namespace ruvelo
