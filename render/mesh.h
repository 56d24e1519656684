// One drawable unit: a vertex array with its buffers, its textures and its material. Where it stands
// is the caller's: every draw takes the model matrix. Move-only; its GL objects are released once,
// by the mesh that holds them. The material is the renderer's and outlives the mesh.
#pragma once

#include <GL/glew.h>

#include <glm/glm.hpp>
#include <vector>

#include "render/geometry.h"
#include "render/gl_handles.h"
#include "render/material.h"
#include "render/texture.h"

namespace ruvelo {

// GPU vertex of model meshes: attribute 0 position, 1 normal, 2 texture coordinates.
struct Vertex {
  glm::vec3 position;
  glm::vec3 normal;
  glm::vec2 texCoords;
};
static_assert(sizeof(Vertex) == 32, "Vertex must be 32 tightly packed bytes");

class Mesh {
 public:
  // Interleaved upload (the model importer's meshes).
  Mesh(const std::vector<Vertex>& vertices, std::vector<unsigned> indices, std::vector<Texture> textures,
       const Material& material);
  // One buffer per attribute (the primitive generators' meshes); no textures.
  Mesh(const Geometry& geometry, const Material& material);

  Mesh(Mesh&&) noexcept = default;
  Mesh& operator=(Mesh&&) noexcept = default;
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;

  // Lit draw with the material's program: "modelMatrix", "normalMatrix", the material, "tex" = 1,
  // then textures from unit 0 as "texture_diffuse1", "texture_specular1", ...
  void draw(const glm::mat4& modelMatrix) const;

  GLuint vertexArray() const { return vertexArray_.get(); }
  GLsizei indexCount() const { return static_cast<GLsizei>(indexCount_); }
  const std::vector<unsigned>& indices() const { return indices_; }
  const std::vector<Texture>& textures() const { return textures_; }
  const Material& material() const { return *material_; }
  // Copies of a Geometry's lists (empty for meshes made from vertices).
  const std::vector<glm::vec3>& positions() const { return positions_; }
  const std::vector<glm::vec3>& normals() const { return normals_; }
  const std::vector<glm::vec2>& texCoords() const { return texCoords_; }

 private:
  GlVertexArray vertexArray_;
  GlBuffer vertexBuffer_;
  GlBuffer positionBuffer_;
  GlBuffer normalBuffer_;
  GlBuffer texCoordBuffer_;
  GlBuffer indexBuffer_;
  unsigned indexCount_ = 0;
  const Material* material_;
  std::vector<unsigned> indices_;
  std::vector<glm::vec3> positions_;
  std::vector<glm::vec3> normals_;
  std::vector<glm::vec2> texCoords_;
  std::vector<Texture> textures_;
};

}  // namespace ruvelo
