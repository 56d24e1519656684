#include "passes/scene_assets.h"

#include <glm/gtc/matrix_transform.hpp>

#include "level/level_layout.h"

namespace ruvelo {
namespace {

constexpr const char* kShaderDir = "../assets/shader/";
constexpr const char* kModelDir = "../assets/model/";

std::shared_ptr<Shader> program(const char* name) {
  const std::string base = std::string(kShaderDir) + name;
  return std::make_shared<Shader>(base + ".vert", base + ".frag");
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

SceneModels loadModels(const SceneMaterials& materials) {
  const std::string dir = kModelDir;
  const glm::mat4 identity(1.0f);
  SceneModels m;
  m.car.emplace(dir + "testCar.obj", identity, materials.white);
  for (auto& cone : m.cones) cone.emplace(dir + "Cone.fbx", identity, materials.environment);
  for (size_t i = 0; i < m.batteries.size(); ++i)
    m.batteries[i].emplace(dir + "Battery.fbx", batteryLoadMatrix(level::levelLayout().items.batteries[i]),
                           materials.environment);
  for (size_t i = 0; i < m.finishLines.size(); ++i)
    m.finishLines[i].emplace(dir + "FinishLine.obj", zoneGateMatrix(static_cast<int>(i)), materials.blue);
  m.levelCollision.emplace(dir + "level1PhysXFinal.obj", levelMatrix(), materials.white);
  m.level.emplace(dir + "level1RenderFinal2.obj", levelMatrix(), materials.white);
  const char* wheelFiles[4] = {"testWheelLeft.obj", "testWheelRight.obj", "testWheelLeft.obj",
                               "testWheelRight.obj"};
  for (size_t i = 0; i < m.wheels.size(); ++i)
    m.wheels[i].emplace(dir + wheelFiles[i], identity, materials.white);
  m.ground.emplace(dir + "greenPlane.obj", groundMatrix(), materials.white);
  return m;
}

}  // namespace ruvelo
