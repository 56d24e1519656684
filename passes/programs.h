// The game's nine shader programs, created at start-up in their fixed order.
#pragma once

#include <memory>

#include "render/shader.h"

namespace ruvelo {

// The renderer owns them; materials and passes refer to them.
struct Programs {
  std::unique_ptr<Shader> phongPhong, phong, phongEnvironment, text, cubeMapShader, simpleDepthShader,
      particles, edgeDetect, quad;
};

Programs loadPrograms();

}  // namespace ruvelo
