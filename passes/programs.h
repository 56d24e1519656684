// The game's nine shader programs, created at start-up in their fixed order, and the composite's
// variant that scales a smaller scene up.
#pragma once

#include <memory>

#include "render/shader.h"

namespace ruvelo {

// The renderer owns them; materials and passes refer to them.
struct Programs {
  std::unique_ptr<Shader> phongPhong, phong, phongEnvironment, text, cubeMapShader, simpleDepthShader,
      particles, edgeDetect, quad, quadUpscale;
};

Programs loadPrograms();

}  // namespace ruvelo
