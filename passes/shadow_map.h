// The directional light's shadow map: the depth texture and its framebuffer, the light matrices,
// the depth pass over the shadow casters, and the shadow/cube-map bindings of the lit programs.
#pragma once

#include <GL/glew.h>

#include <glm/glm.hpp>
#include <vector>

#include "render/gl_handles.h"

namespace ruvelo {

class Model;
class Shader;

// The game's shadow-map resolution (texels per side).
constexpr int kShadowMapSize = 10048;

// Orthographic light projection: x and y in ±400, depth 1 to 1000.5.
glm::mat4 lightProjection();
// Look-at from (300, 300, 300) towards (299, 299, 299), up (0, 1, 0).
glm::mat4 lightView();
// lightProjection() × lightView().
glm::mat4 lightSpaceMatrix();

// What casts shadows, in drawing order. Matrices are already on the models (cones at their physics
// poses, batteries spun); invisible zones and collected batteries are left out by the caller.
struct ShadowCasters {
  std::vector<const Model*> zones;
  std::vector<const Model*> cones;
  const Model* ground = nullptr;
  std::vector<const Model*> batteries;
  const Model* level = nullptr;
};

class ShadowMap {
 public:
  // A size × size GL_DEPTH_COMPONENT float map (nearest, repeat) and its depth-only framebuffer.
  explicit ShadowMap(int size = kShadowMapSize);

  // Sets "projMatrix"/"viewMatrix" on the depth program, then draws the casters into the map with
  // polygon offset (2, 1), the level with (3.5, 1). Leaves the shadow framebuffer bound and the
  // viewport at the map size: the caller binds its next target and viewport.
  void renderDepthPass(const Shader& depthProgram, const ShadowCasters& casters) const;

  // Binds the map's framebuffer at the map's size and clears it, drawing nothing (the benchmark
  // floor of a frame).
  void clearOnly() const;

  // Lit-pass bindings; each makes `program` current. phong: map on unit 2. phongEnvironment: map on
  // unit 2, cube map on 3. phongPhong: map on unit 0, cube map on 1.
  void bindForPhong(const Shader& program) const;
  void bindForPhongEnvironment(const Shader& program, GLuint cubeMap) const;
  void bindForPhongPhong(const Shader& program, GLuint cubeMap) const;

  int size() const { return size_; }
  GLuint texture() const { return texture_.get(); }
  GLuint framebuffer() const { return framebuffer_.get(); }

 private:
  void bindUnits(const Shader& program, int shadowUnit, int cubeUnit, GLuint cubeMap) const;

  int size_;
  GlTexture texture_;
  GlFramebuffer framebuffer_;
};

}  // namespace ruvelo
