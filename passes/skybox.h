// The sky: a cube-map texture from six face images and a huge cube drawn around the camera at the
// far plane. The cube map is also the environment reflected by the cones, batteries and finish lines.
#pragma once

#include <GL/glew.h>

#include <array>
#include <glm/glm.hpp>
#include <string>

#include "render/gl_handles.h"

namespace ruvelo {

class Camera;
class Shader;

// The game's faces in upload order: +x, −x, +y, −y, +z, −z.
std::array<std::string, 6> defaultSkyboxFaces();

// A new cube-map texture (left bound) from six faces in upload order, each uploaded as 8-bit RGB.
// A face that cannot be decoded prints "Cubemap texture failed to load at path: " + path and a line
// naming the file and why, and stays undefined (the map then samples black). A face that is not
// square or not the size of the others is reported and scaled to that size, so the map stays
// complete.
GLuint loadCubemap(const std::array<std::string, 6>& faces);

// The side every face is uploaded at, from the decoded faces' sizes ((0, 0) for a face that failed):
// the size most square faces share, else the longer side of the first decoded face; 0 without any.
int cubeFaceSide(const std::array<glm::ivec2, 6>& sizes);

// The 36 vertices (x, y, z) of the sky cube of half-size 10000, counter-clockwise seen from inside.
std::array<float, 108> skyboxVertices();

// The view matrix with its translation removed, so the sky never moves with the camera.
glm::mat4 rotationOnly(const glm::mat4& view);

class Skybox {
 public:
  explicit Skybox(const std::array<std::string, 6>& faces = defaultSkyboxFaces());

  // Draws the sky into the bound framebuffer with cubeMapShader: depth test less-or-equal (so it
  // fills only pixels still at the cleared depth), the cube map on unit 0; back to GL_LESS after.
  void draw(const Shader& program, const glm::mat4& view, const glm::mat4& projection) const;
  void draw(const Shader& program, const Camera& camera) const;

  GLuint cubeMap() const { return cubeMap_.get(); }

 private:
  GlTexture cubeMap_;
  GlVertexArray vertexArray_;
  GlBuffer vertexBuffer_;
};

}  // namespace ruvelo
