// One vehicle step at 60 Hz (input smoothing, suspension rays, model update, world step) on flat
// ground and, when the generated level is present, on the level from the start pose.
#include "physics/driving.h"
#include "physics/game_world.h"
#include "physics/level.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <benchmark/benchmark.h>

#include "support/obj_reader.h"

#include <fstream>
#include <sstream>
#include <string>

// The physics classes live outside the game's namespace; the values they take and give are in it.
using namespace ruvelo;

namespace {

PhysicsWorldOptions noDebugger() {
  PhysicsWorldOptions o;
  o.connectDebugger = false;
  return o;
}

void runSteps(benchmark::State& st, PhysicsWorld& world, Vehicle& v, const DriveCommand& keys,
              int resetEvery) {
  DrivingState state;
  int steps = 0;
  for (auto _ : st) {
    stepVehicle(world, v, state, 1.0f / 60.0f);
    applyDriveCommand(keys, v, state);
    if (resetEvery > 0 && ++steps % resetEvery == 0) {
      st.PauseTiming();
      v.setActorPose(vehicleStartPosition(), vehicleStartRotation());
      v.body()->setLinearVelocity(btVector3(0, 0, 0));
      v.body()->setAngularVelocity(btVector3(0, 0, 0));
      st.ResumeTiming();
    }
  }
}

// Circling on a flat slab with W and A held: the vehicle stays awake and below 5 m/s much of the
// time, where the model takes three internal sub-steps.
void BM_VehicleStepFlat(benchmark::State& st) {
  PhysicsWorld world(noDebugger());
  ShapeInfo ground;
  ground.simFilter = kGroundSimFilter;
  markDrivable(ground.queryFilter);
  ground.material = &world.defaultMaterial();
  auto box = makeSharedShape(std::make_unique<btBoxShape>(btVector3(40000, 0.5f, 40000)), ground);
  world.addObject(world.createStaticBody(box, btTransform::getIdentity()));
  VehicleActorTag tag;
  WheelShapeTag wheels[6];
  auto v = buildVehicle(makeVehicleSpec(world.defaultMaterial(), &tag, wheels), world);
  v->enableForPlay(world);
  DriveCommand keys;
  keys.forward = true;
  keys.turnLeft = true;
  runSteps(st, world, *v, keys, 0);
}
BENCHMARK(BM_VehicleStepFlat)->Repetitions(5)->ReportAggregatesOnly(true);

// Holding W from the start pose over the game's level (slab, level mesh, triggers, cones), back to
// the start every 20 s of driving.
void BM_VehicleStepLevel(benchmark::State& st) {
  ruvelo::test::ObjMesh mesh;
  if (!ruvelo::test::readObj(ruvelo::test::levelCollisionModelPath(), mesh)) {
    st.SkipWithError("generated level not found");
    return;
  }
  auto game = GameWorld::create(mesh.positions, mesh.indices, nullptr, noDebugger());
  game->startPlay();
  DriveCommand keys;
  keys.forward = true;
  runSteps(st, game->physics(), game->vehicle(), keys, 1200);
}
BENCHMARK(BM_VehicleStepLevel)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
