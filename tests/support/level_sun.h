// The level's sun as the game hands it to the renderer, for tests of the passes.
#pragma once

#include "level/level_layout.h"
#include "render/light.h"

namespace ruvelo::test {

inline Sun levelSun() {
  return {level::kSunEye, level::kSunDirection, level::kSunHalfExtent, level::kSunNear, level::kSunFar};
}

}  // namespace ruvelo::test
