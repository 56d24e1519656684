#include "render/mesh.h"

#include <cstddef>
#include <glm/gtc/type_ptr.hpp>
#include <string>

namespace ruvelo {
namespace {

template <typename T>
void fillBuffer(GLenum target, const GlBuffer& buffer, const std::vector<T>& data) {
  glBindBuffer(target, buffer.get());
  glBufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(T)), data.empty() ? nullptr : data.data(),
               GL_STATIC_DRAW);
}

void pointAttribute(GLuint location, GLint components, GLsizei stride, std::size_t offset) {
  glEnableVertexAttribArray(location);
  glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offset));
}

}  // namespace

Mesh::Mesh(const std::vector<Vertex>& vertices, std::vector<unsigned> indices, std::vector<Texture> textures,
           const Material& material)
    : indexCount_(static_cast<unsigned>(indices.size())),
      material_(&material),
      indices_(std::move(indices)),
      textures_(std::move(textures)) {
  vertexArray_ = GlVertexArray::generate();
  vertexBuffer_ = GlBuffer::generate();
  indexBuffer_ = GlBuffer::generate();
  glBindVertexArray(vertexArray_.get());
  fillBuffer(GL_ARRAY_BUFFER, vertexBuffer_, vertices);
  fillBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_, indices_);
  pointAttribute(0, 3, sizeof(Vertex), offsetof(Vertex, position));
  pointAttribute(1, 3, sizeof(Vertex), offsetof(Vertex, normal));
  pointAttribute(2, 2, sizeof(Vertex), offsetof(Vertex, texCoords));
  glBindVertexArray(0);
}

Mesh::Mesh(const Geometry& geometry, const Material& material)
    : indexCount_(static_cast<unsigned>(geometry.indices.size())),
      material_(&material),
      indices_(geometry.indices),
      positions_(geometry.positions),
      normals_(geometry.normals),
      texCoords_(geometry.texCoords) {
  vertexArray_ = GlVertexArray::generate();
  glBindVertexArray(vertexArray_.get());
  positionBuffer_ = GlBuffer::generate();
  fillBuffer(GL_ARRAY_BUFFER, positionBuffer_, positions_);
  pointAttribute(0, 3, 0, 0);
  normalBuffer_ = GlBuffer::generate();
  fillBuffer(GL_ARRAY_BUFFER, normalBuffer_, normals_);
  pointAttribute(1, 3, 0, 0);
  texCoordBuffer_ = GlBuffer::generate();
  fillBuffer(GL_ARRAY_BUFFER, texCoordBuffer_, texCoords_);
  pointAttribute(2, 2, 0, 0);
  indexBuffer_ = GlBuffer::generate();
  fillBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_, indices_);
  glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void Mesh::draw(const glm::mat4& modelMatrix) const {
  const Shader& shader = material_->shader();
  glUseProgram(shader.program());
  glUniformMatrix4fv(shader.uniformLocation("modelMatrix"), 1, GL_FALSE, glm::value_ptr(modelMatrix));
  const glm::mat3 normalMatrix(glm::transpose(glm::inverse(modelMatrix)));
  glUniformMatrix3fv(shader.uniformLocation("normalMatrix"), 1, GL_FALSE, glm::value_ptr(normalMatrix));
  material_->setUniforms();
  glUniform1f(shader.uniformLocation("tex"), 1.0f);

  unsigned diffuseNumber = 1;
  unsigned specularNumber = 1;
  for (std::size_t i = 0; i < textures_.size(); ++i) {
    const Texture& texture = textures_[i];
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    std::string name = texture.type;
    if (texture.type == "texture_diffuse") {
      name += std::to_string(diffuseNumber++);
    } else if (texture.type == "texture_specular") {
      name += std::to_string(specularNumber++);
    }
    glUniform1i(shader.uniformLocation(name), static_cast<GLint>(i));
    glBindTexture(GL_TEXTURE_2D, texture.id());
  }
  glActiveTexture(GL_TEXTURE0);

  glBindVertexArray(vertexArray_.get());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, nullptr);
  glBindVertexArray(0);
}

}  // namespace ruvelo
