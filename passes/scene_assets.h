// The game's shader programs, materials and models, loaded at start-up in their fixed order, and the
// load-time placement of the models that stand still.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include <glm/glm.hpp>

#include "render/light.h"
#include "render/material.h"
#include "render/model.h"
#include "render/shader.h"

namespace ruvelo {

// The nine programs, created in this order. The renderer owns them; materials and passes refer to
// them.
struct Programs {
  std::unique_ptr<Shader> phongPhong, phong, phongEnvironment, text, cubeMapShader, simpleDepthShader,
      particles, edgeDetect, quad;
};

Programs loadPrograms();

// Load-time matrices of the level, the ground, the finish-line gates and the batteries, from the
// level's layout.
glm::mat4 levelMatrix();
glm::mat4 groundMatrix();
glm::mat4 zoneGateMatrix(int zone);
glm::mat4 batteryLoadMatrix(const glm::vec3& position);

// Every model of the game in the game's loading order. Each file is imported and uploaded once:
// the cones, the batteries, the gates and the wheels of a side share one asset.
struct SceneModels {
  std::optional<Model> car;
  std::array<std::optional<Model>, 5> cones;
  std::array<std::optional<Model>, 5> batteries;
  std::array<std::optional<Model>, 3> finishLines;
  std::optional<Model> level;
  std::array<std::optional<Model>, 4> wheels;  // left, right, left, right
  std::optional<Model> ground;
};

SceneModels loadModels(const SceneMaterials& materials, TextureCache& textures);

}  // namespace ruvelo
