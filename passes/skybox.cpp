#include "passes/skybox.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "platform/data_folder.h"
#include "render/camera.h"
#include "render/gl_state.h"
#include "render/image_file.h"
#include "render/shader.h"

namespace ruvelo {

namespace {
constexpr float kHalfSize = 10000.0f;
}  // namespace

std::array<std::string, 6> defaultSkyboxFaces() {
  const std::string dir = dataPath("textures/skybox_free/");
  return {dir + "right2.jpg",  dir + "left2.jpg",  dir + "top.jpg",
          dir + "bottom2.jpg", dir + "front2.jpg", dir + "back2.jpg"};
}

int cubeFaceSide(const std::array<glm::ivec2, 6>& sizes) {
  // The side most square faces share (the first on a tie); without any square face, the longer
  // side of the first face that has one.
  int best = 0;
  int bestCount = 0;
  for (const glm::ivec2& size : sizes) {
    if (size.x <= 0 || size.x != size.y) continue;
    int count = 0;
    for (const glm::ivec2& other : sizes) count += other == size ? 1 : 0;
    if (count > bestCount) {
      best = size.x;
      bestCount = count;
    }
  }
  if (best != 0) return best;
  for (const glm::ivec2& size : sizes)
    if (size.x > 0 && size.y > 0) return std::max(size.x, size.y);
  return 0;
}

std::vector<unsigned char> resizeRgb(const unsigned char* pixels, int width, int height, int side) {
  // Nearest texel: enough to keep a face in place; the file itself is what needs fixing.
  std::vector<unsigned char> out(static_cast<size_t>(side) * static_cast<size_t>(side) * 3);
  for (int y = 0; y < side; ++y) {
    const size_t sy = static_cast<size_t>((static_cast<long long>(y) * height) / side);
    for (int x = 0; x < side; ++x) {
      const size_t sx = static_cast<size_t>((static_cast<long long>(x) * width) / side);
      const unsigned char* from = pixels + (sy * static_cast<size_t>(width) + sx) * 3;
      std::copy(from, from + 3, &out[(static_cast<size_t>(y) * side + static_cast<size_t>(x)) * 3]);
    }
  }
  return out;
}

GLuint loadCubemap(const std::array<std::string, 6>& faces) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_CUBE_MAP, texture);

  // The upload declares RGB, so ask the decoder for exactly three channels whatever the file has.
  std::array<DecodedImage, 6> images;
  std::array<glm::ivec2, 6> sizes{};
  for (unsigned i = 0; i < faces.size(); ++i) {
    images[i] = decodeImage(faces[i], 3);
    if (images[i].ok()) {
      sizes[i] = {images[i].width, images[i].height};
    } else {
      std::cout << "Cubemap texture failed to load at path: " << faces[i] << std::endl;
      std::cout << "  in " << faces[i] << ": " << images[i].error << std::endl;
    }
  }

  // A cube map needs six square faces of one size, or none of it samples; a face that does not fit
  // is reported and scaled to the others' size so the rest of the sky still shows.
  const int side = cubeFaceSide(sizes);
  for (unsigned i = 0; i < faces.size(); ++i) {
    const DecodedImage& image = images[i];
    if (!image.ok()) continue;
    const unsigned char* pixels = image.pixels.get();
    std::vector<unsigned char> resized;
    if (image.width != side || image.height != side) {
      std::cout << "Cubemap face " << faces[i] << " is " << image.width << " x " << image.height << ", not "
                << side << " x " << side << " like the other faces: scaled to fit" << std::endl;
      resized = resizeRgb(pixels, image.width, image.height, side);
      pixels = resized.data();
    }
    uploadPixels(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, side, side, GL_RGB, pixels);
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
  gl_state::setDepthFunc(GL_LEQUAL);
  program.use();
  program.setMat4("viewMatrix", rotationOnly(view));
  program.setMat4("projMatrix", projection);
  glBindVertexArray(vertexArray_.get());
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMap_.get());
  glDrawArrays(GL_TRIANGLES, 0, 36);
  glBindVertexArray(0);
  gl_state::setDepthFunc(GL_LESS);
}

void Skybox::draw(const Shader& program, const Camera& camera) const {
  draw(program, camera.viewMatrix, camera.projectionMatrix);
}

}  // namespace ruvelo
