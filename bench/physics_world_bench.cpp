// Cost of one physics step of the level world with the five cones awake (and the parked vehicle), and of
// building the level mesh at start-up (the generated collision model when it exists, else a grid of similar
// size).
#include "physics/game_world.h"
#include "physics/level.h"
#include "physics/physics_world.h"

#include <benchmark/benchmark.h>

#include "support/obj_reader.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct MeshData {
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
};

MeshData syntheticLevel() {
  // 224 × 224 quads ≈ 100 000 triangles over the level's area, gently rolling.
  MeshData mesh;
  const int n = 224;
  for (int z = 0; z <= n; ++z)
    for (int x = 0; x <= n; ++x)
      mesh.positions.emplace_back(-150.0f + 300.0f * x / n,
                                  0.65f + 0.2f * std::sin(0.3f * x) * std::cos(0.2f * z),
                                  -335.0f + 500.0f * z / n);
  for (int z = 0; z < n; ++z)
    for (int x = 0; x < n; ++x) {
      const uint32_t a = z * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
      mesh.indices.insert(mesh.indices.end(), {a, c, b, b, c, d});
    }
  return mesh;
}

MeshData levelMesh(bool* generated) {
  ruvelo::test::ObjMesh obj;
  *generated = ruvelo::test::readObj(ruvelo::test::levelCollisionModelPath(), obj);
  return *generated ? MeshData{obj.positions, obj.indices} : syntheticLevel();
}

void BM_LevelStepConesAwake(benchmark::State& state) {
  bool generated = false;
  MeshData mesh = levelMesh(&generated);
  auto game = GameWorld::create(mesh.positions, mesh.indices, nullptr, PhysicsWorldOptions{false});
  game->startPlay();
  PhysicsWorld& world = game->physics();
  for (btRigidBody* cone : game->level().cones) cone->forceActivationState(DISABLE_DEACTIVATION);
  for (int i = 0; i < 60; ++i) world.step(1.0f / 60);
  for (auto _ : state) world.step(1.0f / 60);
  state.SetLabel(generated ? "generated level" : "synthetic level");
}
BENCHMARK(BM_LevelStepConesAwake)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_LevelMeshBuild(benchmark::State& state) {
  bool generated = false;
  const MeshData mesh = levelMesh(&generated);
  const PhysicsMaterial material;
  for (auto _ : state) {
    auto shape = cookModelShape(mesh.positions, mesh.indices, glm::vec3(2), material);
    benchmark::DoNotOptimize(shape.get());
  }
  state.SetLabel(std::string(generated ? "generated level, " : "synthetic level, ") +
                 std::to_string(mesh.indices.size() / 3) + " triangles");
}
BENCHMARK(BM_LevelMeshBuild)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace
