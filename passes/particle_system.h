// Snow: a fixed pool of camera-facing textured quads around the vehicle, drawn with one instanced
// draw per frame.
#pragma once

#include <GL/glew.h>

#include <glm/glm.hpp>
#include <string>
#include <vector>

#include "passes/particle_pool.h"
#include "platform/data_folder.h"
#include "render/gl_handles.h"

namespace ruvelo {

class Camera;
class Shader;

// Loads the flake image into a mipmapped, repeating texture (red, RGB or RGBA as the file has;
// a two-channel file is widened to RGBA). A file that cannot be decoded, or is larger than
// kMaxTextureSide, is reported like a model texture and leaves a name without an image.
GlTexture loadFlakeTexture(const std::string& path);

class ParticleSystem {
 public:
  // `program` is the particles program; `count` the pool size (2000 in the game).
  ParticleSystem(const Shader& program, unsigned count,
                 const std::string& texturePath = dataPath("textures/w_test.png"));

  // Spawns `newParticles` flakes around centre + offset, then ages the whole pool by dt seconds.
  void update(unsigned newParticles, const glm::vec3& centre, const glm::vec3& offset, float dt);

  // Rebuilds the instance matrices, facing the camera, of the living flakes inside the view frustum
  // and draws them in one instanced draw, in pool order; dead and unseen flakes are left out.
  void draw(const glm::mat4& view, const glm::mat4& projection);
  void draw(const Camera& camera);

  const ParticlePool& pool() const { return pool_; }
  const std::vector<glm::mat4>& instanceMatrices() const { return instanceMatrices_; }
  GLuint texture() const { return texture_.get(); }

 private:
  const Shader* program_;
  ParticlePool pool_;
  std::vector<glm::mat4> instanceMatrices_;
  GlVertexArray vertexArray_;
  GlBuffer quadBuffer_;
  GlBuffer instanceBuffer_;
  GlTexture texture_;
};

}  // namespace ruvelo
