#include "physics/vehicle_builder.h"

#include "level/level_layout.h"
#include "physics/physics_world.h"
#include "physics/vehicle/vehicle_layout.h"

#include <BulletCollision/NarrowPhaseCollision/btRaycastCallback.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kHullMargin = 0.01f;
// CCD: sweep a sphere no larger than the distance from the centre of mass to the hull's bottom
// (0.65 m), whenever a step would move the body further than the threshold.
constexpr float kCcdSweptSphereRadius = 0.6f;
constexpr float kCcdMotionThreshold = 0.3f;
constexpr int kWheelHullSides = 16;

btVector3 toBt(const glm::vec3& v) {
  return btVector3(v.x, v.y, v.z);
}
glm::vec3 toGlm(const btVector3& v) {
  return glm::vec3(v.x(), v.y(), v.z());
}
btQuaternion toBt(const glm::quat& q) {
  return btQuaternion(q.x, q.y, q.z, q.w);
}
glm::quat toGlm(const btQuaternion& q) {
  return glm::quat(q.w(), q.x(), q.y(), q.z());
}

// True when the points span a volume: a tetrahedron of them has a non-negligible height.
bool spansVolume(const glm::vec3* points, size_t count) {
  const glm::vec3 a = points[0];
  size_t bi = 0;
  float best = 0.0f;
  for (size_t i = 1; i < count; ++i) {
    const float d = glm::length(points[i] - a);
    if (d > best) best = d, bi = i;
  }
  const float scale = best;
  if (!(scale > 0.0f)) return false;
  const glm::vec3 ab = points[bi] - a;
  size_t ci = 0;
  best = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const float d = glm::length(glm::cross(ab, points[i] - a));
    if (d > best) best = d, ci = i;
  }
  if (!(best > 1e-6f * scale * scale)) return false;
  const glm::vec3 normal = glm::normalize(glm::cross(ab, points[ci] - a));
  float height = 0.0f;
  for (size_t i = 0; i < count; ++i) height = std::max(height, std::fabs(glm::dot(normal, points[i] - a)));
  return height > 1e-5f * scale;
}

}  // namespace

VehicleSpec makeVehicleSpec(const PhysicsMaterial& defaultMaterial, VehicleActorTag* actorTag,
                            WheelShapeTag* wheelTags) {
  VehicleSpec vehicleSpec;
  const glm::vec3 d = vehicleSpec.chassisDims;
  const float m = vehicleSpec.chassisMass;
  vehicleSpec.chassisMOI =
      glm::vec3((d.y * d.y + d.z * d.z) * m / 12.0f, (d.x * d.x + d.z * d.z) * 0.8f * m / 12.0f,
                (d.x * d.x + d.y * d.y) * m / 12.0f);
  vehicleSpec.chassisCMOffset = glm::vec3(0.0f, -d.y * 0.5f + 0.65f, 0.25f);
  vehicleSpec.chassisMaterial = &defaultMaterial;
  vehicleSpec.wheelMaterial = &defaultMaterial;
  vehicleSpec.wheelMOI = 0.5f * vehicleSpec.wheelMass * vehicleSpec.wheelRadius * vehicleSpec.wheelRadius;
  vehicleSpec.actorTag = actorTag;
  vehicleSpec.wheelTags = wheelTags;
  return vehicleSpec;
}

std::unique_ptr<btConvexHullShape> cookConvexHull(const glm::vec3* points, size_t count) {
  if (!points || count < 4) return nullptr;
  for (size_t i = 0; i < count; ++i)
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y) || !std::isfinite(points[i].z))
      return nullptr;
  if (!spansVolume(points, count)) return nullptr;
  auto hull = std::make_unique<btConvexHullShape>();
  for (size_t i = 0; i < count; ++i) hull->addPoint(toBt(points[i]), false);
  hull->recalcLocalAabb();
  hull->optimizeConvexHull();
  hull->setMargin(kHullMargin);
  if (hull->getNumPoints() < 4) return nullptr;
  return hull;
}

glm::vec3 vehicleStartPosition() {
  return ruvelo::level::levelLayout().items.start;
}
glm::quat vehicleStartRotation() {
  return glm::angleAxis(0.0001f, glm::vec3(0.0f, 1.0f, 0.0f));
}

Vehicle::Vehicle(vehicle::VehicleModelData data, const btCollisionWorld& world) : model_(std::move(data)) {
  queryBuffers_ = allocateWheelQueryBuffers(1, 20, 1, 1, wheelRayPreFilter, wheelHitPostFilter);
  batchQuery_ = createWheelBatchQuery(0, *queryBuffers_, world);
  rayQueries_.resize(model_.numWheels());
  hits_.resize(model_.numWheels());
}

Vehicle::~Vehicle() {
  if (actorTag_) actorTag_->vehicle = nullptr;
}

glm::vec3 Vehicle::actorPosition() const {
  const btTransform actor =
      body_->getWorldTransform() * btTransform(btQuaternion::getIdentity(), -toBt(centreOfMassOffset()));
  return toGlm(actor.getOrigin());
}

glm::quat Vehicle::actorRotation() const {
  return toGlm(body_->getWorldTransform().getRotation());
}

void Vehicle::setActorPose(const glm::vec3& position, const glm::quat& rotation) {
  const btTransform actor(toBt(glm::normalize(rotation)), toBt(position));
  body_->setCenterOfMassTransform(actor *
                                  btTransform(btQuaternion::getIdentity(), toBt(centreOfMassOffset())));
  body_->activate(true);
}

glm::vec3 Vehicle::linearVelocity() const {
  return toGlm(body_->getLinearVelocity());
}
glm::vec3 Vehicle::angularVelocity() const {
  return toGlm(body_->getAngularVelocity());
}
float Vehicle::speed() const {
  return body_->getLinearVelocity().length();
}
float Vehicle::forwardSpeed() const {
  return vehicle::DriveModel::forwardSpeed(chassisState());
}

bool Vehicle::isSleeping() const {
  return body_->getActivationState() == ISLAND_SLEEPING;
}

void Vehicle::enableForPlay(PhysicsWorld& world) {
  world.setSimulationEnabled(body_, true);
  model_.forceGear(vehicle::kGearFirst);
  model_.setUseAutoGears(true);
}

vehicle::ChassisState Vehicle::chassisState() const {
  vehicle::ChassisState s;
  const btTransform& t = body_->getCenterOfMassTransform();
  s.position = toGlm(t.getOrigin());
  s.orientation = toGlm(t.getRotation());
  s.linearVelocity = toGlm(body_->getLinearVelocity());
  s.angularVelocity = toGlm(body_->getAngularVelocity());
  s.mass = body_->getInvMass() > 0.0f ? 1.0f / body_->getInvMass() : 0.0f;
  s.invInertiaLocal = toGlm(body_->getInvInertiaDiagLocal());
  return s;
}

void Vehicle::castSuspensionRays() {
  const vehicle::ChassisState chassis = chassisState();
  const int n = model_.numWheels();
  for (int i = 0; i < n; ++i) {
    const vehicle::SuspensionRay ray = model_.suspensionRay(i, chassis);
    WheelRayQuery& q = rayQueries_[i];
    q.origin = toBt(ray.origin);
    q.direction = toBt(ray.direction);
    q.maxDistance = ray.length;
    q.queryFilter = wheelShapes_[i].info.queryFilter;
  }
  // The results go to this vehicle's slots of the wheel query buffers.
  WheelRayResult* results =
      batchQuery_ ? batchQuery_->raycasts(rayQueries_.data(), static_cast<uint32_t>(n)) : nullptr;
  for (int i = 0; i < n; ++i) {
    vehicle::WheelHit& hit = hits_[i];
    hit.hit = results && results[i].hasHit;
    if (!hit.hit) continue;
    hit.point = toGlm(results[i].point);
    hit.normal = toGlm(results[i].normal);
    hit.friction = frictionTable_.typePairFriction(results[i].surfaceType, model_.data().wheels[i].tyre.type);
  }
}

void Vehicle::updateModel(float dt, const glm::vec3& gravity) {
  const vehicle::VelocityChange change = model_.update(dt, gravity, chassisState(), hits_);
  if (isSleeping()) body_->activate(true);
  body_->setLinearVelocity(body_->getLinearVelocity() + toBt(change.linear));
  body_->setAngularVelocity(body_->getAngularVelocity() + toBt(change.angular));
  syncWheelPoses();
}

void Vehicle::syncWheelPoses() {
  for (int i = 0; i < numWheels(); ++i) {
    wheelShapes_[i].localPosition = model_.wheelState(i).localPosition;
    wheelShapes_[i].localRotation = model_.wheelState(i).localRotation;
  }
}

namespace {

// A 16-sided cylinder along x, shared by every wheel.
std::vector<glm::vec3> wheelHullPoints(const VehicleSpec& design) {
  std::vector<glm::vec3> points;
  for (int i = 0; i < kWheelHullSides; ++i) {
    const float theta = static_cast<float>(i) * 2.0f * 3.14159265f / kWheelHullSides;
    const float y = design.wheelRadius * std::cos(theta);
    const float z = design.wheelRadius * std::sin(theta);
    points.push_back({-design.wheelWidth * 0.5f, y, z});
    points.push_back({design.wheelWidth * 0.5f, y, z});
  }
  return points;
}

// The chassis box shifted so that the body's origin is the centre of mass.
std::vector<glm::vec3> chassisHullPoints(const VehicleSpec& design) {
  std::vector<glm::vec3> points;
  for (int i = 0; i < 8; ++i) {
    const glm::vec3 corner((i & 1) ? 0.5f : -0.5f, (i & 2) ? 0.5f : -0.5f, (i & 4) ? 0.5f : -0.5f);
    points.push_back(corner * design.chassisDims - design.chassisCMOffset);
  }
  return points;
}

vehicle::VehicleModelData modelData(const VehicleSpec& design) {
  vehicle::VehicleLayout layout;
  layout.chassisMass = design.chassisMass;
  layout.chassisDims = design.chassisDims;
  layout.chassisCMOffset = design.chassisCMOffset;
  layout.wheelMass = design.wheelMass;
  layout.wheelWidth = design.wheelWidth;
  layout.wheelRadius = design.wheelRadius;
  layout.wheelMOI = design.wheelMOI;
  layout.numWheels = static_cast<int>(design.numWheels);
  return vehicle::makeVehicleModelData(layout);
}

// Every wheel's shape: the one hull, each with its own tag.
std::vector<WheelShape> makeWheelShapes(const VehicleSpec& design, std::unique_ptr<btConvexHullShape> hull,
                                        const PhysicsMaterial& fallbackMaterial) {
  ShapeInfo wheelInfo;
  wheelInfo.simFilter = design.wheelSimFilterData;
  wheelInfo.queryFilter = FilterData{0, 0, 0, kNotDrivableSurface};
  wheelInfo.material = design.wheelMaterial ? design.wheelMaterial : &fallbackMaterial;
  std::shared_ptr<btCollisionShape> sharedHull = makeSharedShape(std::move(hull), wheelInfo);
  std::vector<WheelShape> shapes(design.numWheels);
  for (uint32_t i = 0; i < design.numWheels; ++i) {
    WheelShape& w = shapes[i];
    w.hull = sharedHull;
    w.info = wheelInfo;
    if (design.wheelTags) {
      design.wheelTags[i].isWheel = true;
      design.wheelTags[i].wheelId = i;
      w.info.wheelTag = &design.wheelTags[i];
    }
  }
  return shapes;
}

// The chassis body at the start pose, its centre of mass offset from the actor's frame.
btRigidBody* createChassisBody(const VehicleSpec& design, PhysicsWorld& world,
                               std::unique_ptr<btConvexHullShape> hull, const glm::vec3& startPosition,
                               const glm::quat& startRotation) {
  ShapeInfo chassisInfo;
  chassisInfo.simFilter = design.chassisSimFilterData;
  chassisInfo.queryFilter = FilterData{0, 0, 0, kNotDrivableSurface};
  chassisInfo.material = design.chassisMaterial ? design.chassisMaterial : &world.defaultMaterial();
  std::shared_ptr<btCollisionShape> chassisShape = makeSharedShape(std::move(hull), chassisInfo);
  const btTransform actorPose(toBt(glm::normalize(startRotation)), toBt(startPosition));
  const btTransform bodyPose =
      actorPose * btTransform(btQuaternion::getIdentity(), toBt(design.chassisCMOffset));
  btRigidBody* body =
      world.createDynamicBody(chassisShape, bodyPose, design.chassisMass, toBt(design.chassisMOI));
  if (!body) return nullptr;
  body->setCcdMotionThreshold(kCcdMotionThreshold);
  body->setCcdSweptSphereRadius(kCcdSweptSphereRadius);
  return body;
}

}  // namespace

std::unique_ptr<Vehicle> buildVehicle(const VehicleSpec& vehicleSpec, PhysicsWorld& world,
                                      const glm::vec3& startPosition, const glm::quat& startRotation) {
  const PhysicsMaterial& fallbackMaterial = world.defaultMaterial();
  const std::vector<glm::vec3> wheelPoints = wheelHullPoints(vehicleSpec);
  const std::vector<glm::vec3> chassisPoints = chassisHullPoints(vehicleSpec);
  std::unique_ptr<btConvexHullShape> wheelHull = cookConvexHull(wheelPoints.data(), wheelPoints.size());
  std::unique_ptr<btConvexHullShape> chassisHull = cookConvexHull(chassisPoints.data(), chassisPoints.size());
  if (!wheelHull || !chassisHull) return nullptr;

  vehicle::VehicleModelData data = modelData(vehicleSpec);
  if (data.wheels.empty() || !(vehicleSpec.chassisMass > 0.0f)) return nullptr;
  std::unique_ptr<Vehicle> v(new Vehicle(std::move(data), world.dynamicsWorld()));
  v->wheelShapes_ = makeWheelShapes(vehicleSpec, std::move(wheelHull), fallbackMaterial);

  btRigidBody* body =
      createChassisBody(vehicleSpec, world, std::move(chassisHull), startPosition, startRotation);
  if (!body) return nullptr;
  v->body_ = body;
  v->actorTag_ = vehicleSpec.actorTag;
  if (vehicleSpec.actorTag) {
    vehicleSpec.actorTag->vehicle = v.get();
    body->setUserPointer(vehicleSpec.actorTag);
  }
  world.setSimulationEnabled(body, false);
  world.addObject(body);

  v->frictionTable_ = makeTyreFrictionTable(fallbackMaterial);
  if (v->batchQuery_) v->batchQuery_->setFrictionTable(&v->frictionTable_);
  v->syncWheelPoses();
  return v;
}
