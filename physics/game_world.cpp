#include "physics/game_world.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "import/model_import.h"
#include "physics/callbacks.h"
#include "physics/driving.h"
#include "physics/level.h"
#include "physics/physics_world.h"
#include "physics/vehicle/vehicle_data.h"
#include "physics/vehicle_builder.h"

namespace {

glm::vec3 toGlm(const btVector3& v) {
  return {v.x(), v.y(), v.z()};
}

glm::quat toGlm(const btQuaternion& q) {
  return {q.w(), q.x(), q.y(), q.z()};
}

}  // namespace

// Declared in the order they are built; the vehicle's queries read the world, so the world
// outlives it.
struct GameWorld::Parts {
  explicit Parts(const PhysicsWorldOptions& options) : world(options) {}
  PhysicsWorld world;
  LevelActors level;
  MySimulationCallback triggers;
  VehicleActorTag vehicleTag;
  std::array<WheelShapeTag, 6> wheelTags{};
  std::unique_ptr<Vehicle> vehicle;
  DrivingState driving;
};

GameWorld::GameWorld(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

GameWorld::~GameWorld() = default;

std::unique_ptr<GameWorld> GameWorld::create(std::vector<glm::vec3> levelPositions,
                                             std::vector<uint32_t> levelIndices, Failure* failure) {
  return create(std::move(levelPositions), std::move(levelIndices), failure, PhysicsWorldOptions());
}

std::unique_ptr<GameWorld> GameWorld::create(const ruvelo::ModelData& levelCollision, Failure* failure) {
  ruvelo::TriangleSoup soup = ruvelo::triangleSoup(levelCollision);
  return create(std::move(soup.positions), std::move(soup.indices), failure);
}

std::unique_ptr<GameWorld> GameWorld::create(std::vector<glm::vec3> levelPositions,
                                             std::vector<uint32_t> levelIndices, Failure* failure,
                                             const PhysicsWorldOptions& options) {
  // The steps run in the game's start-up order: the order objects join the world fixes their ids,
  // and with them the order of trigger reports and of Bullet's solver.
  auto parts = std::make_unique<Parts>(options);
  PhysicsWorld& world = parts->world;
  Failure none = Failure::None;
  Failure& result = failure ? *failure : none;
  result = Failure::None;
  if (!createLevelItemsAndMesh(world, parts->level, std::move(levelPositions), std::move(levelIndices))) {
    result = Failure::LevelMesh;
    return nullptr;
  }
  world.setSimulationEventCallback(&parts->triggers);
  world.addObject(makeDrivablePlane(world, world.defaultMaterial()));
  createSlabAndFilterData(world, parts->level);
  parts->vehicle = buildVehicle(
      makeVehicleSpec(world.defaultMaterial(), &parts->vehicleTag, parts->wheelTags.data()), world);
  if (!parts->vehicle) {
    result = Failure::Vehicle;
    return nullptr;
  }
  addLevelActors(world, parts->level);
  return std::unique_ptr<GameWorld>(new GameWorld(std::move(parts)));
}

void GameWorld::startPlay() {
  enableCones(parts_->world, parts_->level);
  parts_->vehicle->enableForPlay(parts_->world);
}

std::optional<ruvelo::ItemEvent> GameWorld::step(float dt) {
  stepVehicle(parts_->world, *parts_->vehicle, parts_->driving, dt);
  if (!parts_->triggers.isTriggered()) return std::nullopt;
  parts_->triggers.clearTriggered();
  const btCollisionObject* actor = parts_->triggers.getTriggerActor();
  for (int i = 0; i < ruvelo::kBatteryCount; ++i)
    if (parts_->level.batteries[i] == actor)
      return ruvelo::ItemEvent{ruvelo::batteryItem(i), ruvelo::ItemKind::Battery};
  for (int i = 0; i < ruvelo::kZoneCount; ++i)
    if (parts_->level.zones[i] == actor)
      return ruvelo::ItemEvent{ruvelo::zoneItem(i), ruvelo::ItemKind::Zone};
  return std::nullopt;  // the level has no other triggers
}

ruvelo::DriveResult GameWorld::drive(const ruvelo::DriveCommand& command) {
  return applyDriveCommand(command, *parts_->vehicle, parts_->driving);
}

namespace {

btCollisionObject* itemObject(const LevelActors& level, int item) {
  if (item >= 0 && item < ruvelo::kBatteryCount) return level.batteries[item];
  if (item >= ruvelo::kBatteryCount && item < ruvelo::kItemCount)
    return level.zones[item - ruvelo::kBatteryCount];
  return nullptr;
}

}  // namespace

void GameWorld::removeItem(int item) {
  if (btCollisionObject* object = itemObject(parts_->level, item)) parts_->world.removeObject(object);
}

bool GameWorld::itemInWorld(int item) const {
  const btCollisionObject* object = itemObject(parts_->level, item);
  return object && parts_->world.contains(object);
}

ruvelo::Pose GameWorld::vehiclePose() const {
  return {parts_->vehicle->actorPosition(), parts_->vehicle->actorRotation()};
}

glm::vec3 GameWorld::vehicleVelocity() const {
  return parts_->vehicle->linearVelocity();
}

float GameWorld::vehicleSpeed() const {
  return parts_->vehicle->speed();
}

int GameWorld::vehicleGear() const {
  return parts_->vehicle->currentGear();
}

float GameWorld::vehicleEngineShare() const {
  const vehicle::DriveModel& model = parts_->vehicle->model();
  const float top = model.data().engine.maxOmega;
  return top > 0.0f ? std::clamp(model.engineOmega() / top, 0.0f, 1.0f) : 0.0f;
}

bool GameWorld::vehicleInReverse() const {
  return parts_->vehicle->currentGear() == vehicle::kGearReverse;
}

std::array<ruvelo::Pose, 4> GameWorld::wheelPoses() const {
  std::array<ruvelo::Pose, 4> poses;
  for (int i = 0; i < 4; ++i) {
    const WheelShape& wheel = parts_->vehicle->wheelShape(i);
    poses[i] = {wheel.localPosition, wheel.localRotation};
  }
  return poses;
}

float GameWorld::vehicleForwardSpeed() const {
  return parts_->vehicle->forwardSpeed();
}

vehicle::AnalogInputs GameWorld::vehicleControls() const {
  return parts_->vehicle->model().analogInputs();
}

ruvelo::SteeringGeometry GameWorld::steering() const {
  const vehicle::VehicleModelData& data = parts_->vehicle->model().data();
  return {data.ackermann.axleSeparation, data.wheels[0].wheel.maxSteer};
}

ruvelo::Pose GameWorld::conePose(int cone) const {
  const btTransform& t = parts_->level.cones[cone]->getWorldTransform();
  return {toGlm(t.getOrigin()), toGlm(t.getRotation())};
}

ruvelo::VehicleReading GameWorld::vehicleReading() const {
  ruvelo::VehicleReading reading;
  reading.speed = parts_->vehicle->speed();
  reading.gear = parts_->vehicle->currentGear();
  for (int i = 0; i < parts_->vehicle->numWheels(); ++i) {
    const vehicle::WheelState& wheel = parts_->vehicle->wheelState(i);
    reading.wheels.push_back({wheel.jounce, wheel.inAir, wheel.omega, wheel.tyreLoad});
  }
  return reading;
}

ruvelo::VehicleSoundReading GameWorld::vehicleSound() const {
  const vehicle::DriveModel& model = parts_->vehicle->model();
  ruvelo::VehicleSoundReading reading;
  reading.engineOmega = model.engineOmega();
  reading.throttle = model.analogInputs().accel();
  reading.engineThrottle = model.engineThrottle();
  reading.gear = model.currentGear();
  // The slips' own denominators turn them back into speeds of the tread over the ground.
  const float speed = std::fabs(parts_->vehicle->speed());
  const float longSpeed = std::max(speed, model.data().tuning.minLongSlipDenominator);
  const float latSpeed = std::max(speed, model.data().tuning.minLatSlipDenominator);
  for (int i = 0; i < 4 && i < model.numWheels(); ++i) {
    const vehicle::WheelState& wheel = model.wheelState(i);
    const float sideways = latSpeed * std::tan(std::clamp(wheel.latSlip, -1.5f, 1.5f));
    reading.wheels[i] = {wheel.longSlip, wheel.latSlip, std::hypot(wheel.longSlip * longSpeed, sideways),
                         wheel.inAir};
  }
  reading.scrapeSpeed = parts_->world.slidingContactSpeed(parts_->vehicle->body());
  return reading;
}

int GameWorld::newImpacts(ruvelo::ContactImpact* out, int capacity) const {
  return parts_->world.newContactImpacts(parts_->vehicle->body(), out, capacity);
}

void GameWorld::setDebugExtra(std::function<nlohmann::ordered_json()> provider) {
  parts_->world.setDebugExtra(std::move(provider));
}

PhysicsWorld& GameWorld::physics() {
  return parts_->world;
}

const LevelActors& GameWorld::level() const {
  return parts_->level;
}

Vehicle& GameWorld::vehicle() {
  return *parts_->vehicle;
}
