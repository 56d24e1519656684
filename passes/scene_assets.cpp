#include "passes/scene_assets.h"

#include <glm/gtc/matrix_transform.hpp>

#include "level/level_layout.h"
#include "render/data_folder.h"

namespace ruvelo {
namespace {

std::unique_ptr<Shader> program(const char* name) {
  const std::string base = dataPath(std::string("shader/") + name);
  return std::make_unique<Shader>(base + ".vert", base + ".frag");
}

std::shared_ptr<const ModelAsset> asset(const std::string& file, const Material& material,
                                        TextureCache& textures) {
  return loadModelAsset(dataPath("model/" + file), material, textures);
}

}  // namespace

glm::mat4 levelMatrix() {
  return glm::scale(glm::translate(glm::mat4(1.0f), level::kLevelPosition), glm::vec3(level::kLevelScale));
}

glm::mat4 groundMatrix() {
  return glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, level::kSlabTop, 0.0f)),
                    glm::vec3(300.0f, 1.0f, 800.0f));
}

glm::mat4 zoneGateMatrix(int zone) {
  const level::LevelItems& items = level::levelLayout().items;
  glm::mat4 m = glm::translate(glm::mat4(1.0f), items.zoneGates[zone]);
  if (items.zoneRotated[zone]) m = glm::rotate(m, glm::radians(90.0f), glm::vec3(0.0f, 1.0f, 0.0f));
  return glm::scale(m, glm::vec3(2.0f, 2.4f, 2.0f));
}

glm::mat4 batteryLoadMatrix(const glm::vec3& position) {
  return glm::scale(glm::translate(glm::mat4(1.0f), position), glm::vec3(3.0f));
}

Programs loadPrograms() {
  Programs p;
  p.phongPhong = program("phongPhong");
  p.phong = program("phong");
  p.phongEnvironment = program("phongEnvironment");
  p.text = program("text");
  p.cubeMapShader = program("cubeMapShader");
  p.simpleDepthShader = program("simpleDepthShader");
  p.particles = program("particles");
  p.edgeDetect = program("edgeDetect");
  p.quad = program("quad");
  return p;
}

SceneModels loadModels(const SceneMaterials& materials, TextureCache& textures) {
  const glm::mat4 identity(1.0f);
  SceneModels m;
  m.car.emplace(asset("testCar.obj", materials.white, textures), identity);
  const auto cone = asset("Cone.fbx", materials.environment, textures);
  for (auto& c : m.cones) c.emplace(cone, identity);
  const auto battery = asset("Battery.fbx", materials.environment, textures);
  for (size_t i = 0; i < m.batteries.size(); ++i)
    m.batteries[i].emplace(battery, batteryLoadMatrix(level::levelLayout().items.batteries[i]));
  const auto gate = asset("FinishLine.obj", materials.blue, textures);
  for (size_t i = 0; i < m.finishLines.size(); ++i)
    m.finishLines[i].emplace(gate, zoneGateMatrix(static_cast<int>(i)));
  m.level.emplace(asset("level1RenderFinal2.obj", materials.white, textures), levelMatrix());
  const auto left = asset("testWheelLeft.obj", materials.white, textures);
  const auto right = asset("testWheelRight.obj", materials.white, textures);
  for (size_t i = 0; i < m.wheels.size(); ++i) m.wheels[i].emplace(i % 2 == 0 ? left : right, identity);
  m.ground.emplace(asset("greenPlane.obj", materials.white, textures), groundMatrix());
  return m;
}

}  // namespace ruvelo
