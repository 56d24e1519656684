#include "passes/skybox.h"

#include <iostream>

#include "render/camera.h"
#include "render/image_file.h"
#include "render/shader.h"

namespace ruvelo {

namespace {
constexpr float kHalfSize = 10000.0f;
}  // namespace

std::array<std::string, 6> defaultSkyboxFaces() {
  const std::string dir = "../assets/textures/skybox_free/";
  return {dir + "right2.jpg",  dir + "left2.jpg",  dir + "top.jpg",
          dir + "bottom2.jpg", dir + "front2.jpg", dir + "back2.jpg"};
}

GLuint loadCubemap(const std::array<std::string, 6>& faces) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_CUBE_MAP, texture);

  for (unsigned i = 0; i < faces.size(); ++i) {
    // The upload declares RGB, so ask the decoder for exactly three channels whatever the file has.
    const DecodedImage face = decodeImage(faces[i], 3);
    if (face) {
      uploadImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, face, GL_RGB);
    } else {
      std::cout << "Cubemap texture failed to load at path: " << faces[i] << std::endl;
    }
  }

  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  return texture;
}

std::array<float, 108> skyboxVertices() {
  const float s = kHalfSize;
  // Face by face: −z, −x, +x, +z, +y, −y; two triangles each.
  return {-s, s,  -s, -s, -s, -s, s,  -s, -s, s,  -s, -s, s,  s,  -s, -s, s,  -s, -s, -s, s, -s,
          -s, -s, -s, s,  -s, -s, s,  -s, -s, s,  s,  -s, -s, s,  s,  -s, -s, s,  -s, s,  s, s,
          s,  s,  s,  s,  s,  s,  -s, s,  -s, -s, -s, -s, s,  -s, s,  s,  s,  s,  s,  s,  s, s,
          s,  -s, s,  -s, -s, s,  -s, s,  -s, s,  s,  -s, s,  s,  s,  s,  s,  s,  -s, s,  s, -s,
          s,  -s, -s, -s, -s, -s, -s, s,  s,  -s, -s, s,  -s, -s, -s, -s, s,  s,  -s, s};
}

glm::mat4 rotationOnly(const glm::mat4& view) {
  return glm::mat4(glm::mat3(view));
}

Skybox::Skybox(const std::array<std::string, 6>& faces) : cubeMap_(loadCubemap(faces)) {
  const std::array<float, 108> vertices = skyboxVertices();
  vertexArray_ = GlVertexArray::generate();
  vertexBuffer_ = GlBuffer::generate();
  glBindVertexArray(vertexArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices.data(), GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Skybox::draw(const Shader& program, const glm::mat4& view, const glm::mat4& projection) const {
  glDepthFunc(GL_LEQUAL);
  program.use();
  program.setMat4("viewMatrix", rotationOnly(view));
  program.setMat4("projMatrix", projection);
  glBindVertexArray(vertexArray_.get());
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMap_.get());
  glDrawArrays(GL_TRIANGLES, 0, 36);
  glBindVertexArray(0);
  glDepthFunc(GL_LESS);
}

void Skybox::draw(const Shader& program, const Camera& camera) const {
  draw(program, camera.viewMatrix, camera.projectionMatrix);
}

}  // namespace ruvelo
