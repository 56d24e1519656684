// The game's nine shader programs, created at start-up in their fixed order, and the two that draw
// a scene at a render scale below 1: the edge pass that inks the scene colour, and the upscale.
#pragma once

#include <memory>

#include "render/shader.h"

namespace ruvelo {

// The renderer owns them; materials and passes refer to them.
struct Programs {
  std::unique_ptr<Shader> phongPhong, phong, phongEnvironment, text, cubeMapShader, simpleDepthShader,
      particles, edgeDetect, quad, edgeInk, upscale;
};

Programs loadPrograms();

}  // namespace ruvelo
