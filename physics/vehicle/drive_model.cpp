#include "physics/vehicle/drive_model.h"

#include "physics/vehicle/steering.h"
#include "physics/vehicle/tyre_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vehicle {

namespace {

constexpr float kMinNormalAlongTravel = 0.1f;  // steeper contact planes cannot carry the wheel
constexpr float kCompressionBias = 0.2f;       // share of the over-compression removed per sub-step
// Fastest push out of over-compression: a wheel meeting a kerb at speed must lift the vehicle onto
// it, not launch it (the share above alone asks for 18 m/s from a 0.5 m step at 1/180 s).
constexpr float kMaxCompressionRecoverySpeed = 1.0f;

glm::mat3 worldInverseInertia(const glm::mat3& rotation, const glm::vec3& invInertiaLocal) {
  return rotation *
         glm::mat3(glm::vec3(invInertiaLocal.x, 0, 0), glm::vec3(0, invInertiaLocal.y, 0),
                   glm::vec3(0, 0, invInertiaLocal.z)) *
         glm::transpose(rotation);
}

glm::quat integrateOrientation(const glm::quat& q, const glm::vec3& omega, float h) {
  const glm::quat spin(0.0f, omega.x, omega.y, omega.z);
  const glm::quat next = q + (spin * q) * (0.5f * h);
  const float len = glm::length(next);
  return len > 0.0f ? next / len : q;
}

float camberAt(const SuspensionData& s, float jounce) {
  if (jounce >= 0.0f) {
    const float t = s.maxCompression > 0.0f ? jounce / s.maxCompression : 0.0f;
    return s.camberAtRest + (s.camberAtMaxCompression - s.camberAtRest) * t;
  }
  const float t = s.maxDroop > 0.0f ? -jounce / s.maxDroop : 0.0f;
  return s.camberAtRest + (s.camberAtMaxDroop - s.camberAtRest) * t;
}

}  // namespace

DriveModel::DriveModel(VehicleModelData data) : data_(std::move(data)) {
  if (static_cast<int>(data_.wheels.size()) > kMaxWheels) data_.wheels.resize(kMaxWheels);
  wheels_.resize(data_.wheels.size());
  restLoads_.assign(data_.wheels.size(), 0.0f);
  for (size_t i = 0; i < wheels_.size(); ++i) {
    wheels_[i].jounce = -data_.wheels[i].suspension.maxDroop;
    wheels_[i].camber = camberAt(data_.wheels[i].suspension, wheels_[i].jounce);
  }
  updateWheelPoses();
}

SuspensionRay DriveModel::suspensionRay(int wheel, const ChassisState& chassis) const {
  SuspensionRay ray;
  if (wheel < 0 || wheel >= numWheels()) return ray;
  const WheelSetup& w = data_.wheels[wheel];
  const glm::mat3 rotation = glm::mat3_cast(chassis.orientation);
  const glm::vec3 down = glm::normalize(rotation * w.travelDirection);
  const glm::vec3 restCentre = chassis.position + rotation * w.centreOffset;
  ray.origin = restCentre - down * (w.suspension.maxCompression + w.wheel.radius);
  ray.direction = down;
  ray.length = w.suspension.maxCompression + w.suspension.maxDroop + 2.0f * w.wheel.radius;
  return ray;
}

float DriveModel::forwardSpeed(const ChassisState& chassis) {
  return glm::dot(chassis.linearVelocity, glm::mat3_cast(chassis.orientation) * glm::vec3(0.0f, 0.0f, 1.0f));
}

bool DriveModel::isInAir() const {
  return std::all_of(wheels_.begin(), wheels_.end(), [](const WheelState& w) { return w.inAir; });
}

float DriveModel::totalSuspensionForce() const {
  float total = 0.0f;
  for (const WheelState& w : wheels_) total += w.suspensionForce * w.contactNormal.y;
  return total;
}

VelocityChange DriveModel::update(float dt, const glm::vec3& gravity, const ChassisState& chassis,
                                  const std::vector<WheelHit>& hits) {
  VelocityChange total;
  if (!(dt > 0.0f) || !(chassis.mass > 0.0f)) return total;

  const ModelTuning& tuning = data_.tuning;
  int steps = std::fabs(forwardSpeed(chassis)) < tuning.subStepThresholdSpeed ? tuning.lowSpeedSubSteps
                                                                              : tuning.highSpeedSubSteps;
  if (tuning.maxSubStepTime > 0.0f) {
    const int needed = static_cast<int>(std::ceil(dt / tuning.maxSubStepTime - 1e-4f));
    steps = std::max(steps, needed);
  }
  steps = std::clamp(steps, 1, 1000);
  const float h = dt / static_cast<float>(steps);

  const float g = glm::length(gravity);
  for (size_t i = 0; i < wheels_.size(); ++i) restLoads_[i] = data_.wheels[i].suspension.sprungMass * g;

  ChassisState predicted = chassis;
  for (int s = 0; s < steps; ++s) subStep(h, gravity, predicted, hits, total);
  updateWheelPoses();
  return total;
}

void DriveModel::subStep(float h, const glm::vec3& gravity, ChassisState& pred,
                         const std::vector<WheelHit>& hits, VelocityChange& total) {
  float ratio = 0.0f;
  const float throttle = gearboxAndThrottle(h, ratio);
  steerWheels();
  Body body;
  body.rotation = glm::mat3_cast(pred.orientation);
  body.invInertia = worldInverseInertia(body.rotation, pred.invInertiaLocal);
  body.invMass = 1.0f / pred.mass;
  body.g = glm::length(gravity);
  Wheels wheels = suspension(pred, body, hits);
  const Push push = wheelForces(pred, body, hits, wheels);
  driveLine(h, throttle, ratio, wheels);
  integrate(h, gravity, body, push, wheels, pred, total);
}

float DriveModel::gearboxAndThrottle(float h, float& ratio) {
  const float maxOmega = data_.engine.maxOmega;
  gearbox_.update(h, maxOmega > 0.0f ? engineOmega_ / maxOmega : 0.0f, data_.gears, data_.autobox);
  ratio = gearbox_.effectiveRatio(data_.gears);
  engineThrottle_ = gearbox_.isAutoChanging() ? downshiftThrottle() : inputs_.accel();
  return engineThrottle_;
}

float DriveModel::downshiftThrottle() const {
  // The accelerator is cut during an automatic change. Changing down, the box opens the throttle
  // until the engine turns as fast as the wheels will drive it in the lower gear: without that the
  // clutch would close on an engine turning at half that speed and drag the driven wheels nearly
  // to a stop while it spins the engine up.
  const int target = gearbox_.targetGear();
  if (target < kGearFirst || target >= gearbox_.currentGear() || numWheels() < kDrivenWheels) return 0.0f;
  const DrivenArray weights = nominalDifferentialFractions(data_.differential);
  float average = 0.0f;
  for (int i = 0; i < kDrivenWheels; ++i) average += weights[i] * wheels_[i].omega;
  const float wanted = data_.gears.ratios[target] * data_.gears.finalRatio * average;
  constexpr float kBlipBand = 0.1f;  // share of the top engine speed over which the throttle closes
  const float band = kBlipBand * std::max(data_.engine.maxOmega, 1.0f);
  return std::clamp((wanted - engineOmega_) / band, 0.0f, 1.0f);
}

void DriveModel::steerWheels() {
  const int n = numWheels();
  const float steerInput = std::clamp(inputs_.steer(), -1.0f, 1.0f);
  for (int i = 0; i < n; ++i)
    wheels_[i].steer = steerInput * data_.wheels[i].wheel.maxSteer + data_.wheels[i].wheel.toeAngle;
  if (n >= 2) {
    const FrontSteer front = ackermannSteer(data_.ackermann, steerInput * data_.wheels[0].wheel.maxSteer);
    const bool zeroIsLeft = data_.wheels[0].centreOffset.x <= data_.wheels[1].centreOffset.x;
    wheels_[0].steer = (zeroIsLeft ? front.left : front.right) + data_.wheels[0].wheel.toeAngle;
    wheels_[1].steer = (zeroIsLeft ? front.right : front.left) + data_.wheels[1].wheel.toeAngle;
  }
}

DriveModel::Wheels DriveModel::suspension(const ChassisState& pred, const Body& body,
                                          const std::vector<WheelHit>& hits) {
  const int n = numWheels();
  Wheels wheels;
  const WheelHit none;
  for (int i = 0; i < n; ++i)
    wheelSuspension(i, pred, body, i < static_cast<int>(hits.size()) ? hits[i] : none, wheels.contacts[i],
                    wheels.springForce[i]);
  for (const AntiRollBar& bar : data_.antiRollBars) {
    if (bar.wheel0 >= static_cast<uint32_t>(n) || bar.wheel1 >= static_cast<uint32_t>(n)) continue;
    // A bar between two massless wheels only acts when both stand on something.
    if (!wheels.contacts[bar.wheel0].touching || !wheels.contacts[bar.wheel1].touching) continue;
    const float f = bar.stiffness * (wheels_[bar.wheel0].jounce - wheels_[bar.wheel1].jounce);
    wheels.springForce[bar.wheel0] += f;
    wheels.springForce[bar.wheel1] -= f;
  }
  return wheels;
}

void DriveModel::wheelSuspension(int i, const ChassisState& pred, const Body& body, const WheelHit& hit,
                                 Contact& c, float& springForce) {
  const WheelSetup& setup = data_.wheels[i];
  const SuspensionData& susp = setup.suspension;
  WheelState& state = wheels_[i];
  state.inAir = true;
  state.jounce = -susp.maxDroop;
  if (!hit.hit) return;

  const glm::vec3 down = glm::normalize(body.rotation * setup.travelDirection);
  const glm::vec3 restCentre = pred.position + body.rotation * setup.centreOffset;
  const glm::vec3 normal = hit.normal;
  const float alongTravel = -glm::dot(normal, down);
  if (alongTravel < kMinNormalAlongTravel) return;
  const float height = glm::dot(normal, restCentre - hit.point);
  const float jounce = (setup.wheel.radius - height) / alongTravel;
  if (jounce < -susp.maxDroop) return;

  c.touching = true;
  c.rawJounce = jounce;
  c.normal = normal;
  state.inAir = false;
  state.jounce = std::min(jounce, susp.maxCompression);
  const glm::vec3 centre = restCentre - down * state.jounce;
  c.point = centre - normal * setup.wheel.radius;

  const glm::vec3 centreVelocity =
      pred.linearVelocity + glm::cross(pred.angularVelocity, restCentre - pred.position);
  const float jounceSpeed = -glm::dot(normal, centreVelocity) / alongTravel;
  springForce =
      susp.sprungMass * body.g + susp.springStrength * state.jounce + susp.springDamperRate * jounceSpeed;
}

DriveModel::Push DriveModel::wheelForces(const ChassisState& pred, const Body& body,
                                         const std::vector<WheelHit>& hits, Wheels& wheels) {
  Push push;
  for (int i = 0; i < numWheels(); ++i) {
    const WheelSetup& setup = data_.wheels[i];
    WheelState& state = wheels_[i];
    Contact& c = wheels.contacts[i];
    state.camber = camberAt(setup.suspension, state.jounce);
    if (!c.touching) {
      state.suspensionForce = state.tyreLoad = 0.0f;
      state.longSlip = state.latSlip = state.friction = 0.0f;
      state.longForce = state.latForce = 0.0f;
      state.contactNormal = glm::vec3(0.0f, 1.0f, 0.0f);
      continue;
    }
    const float suspensionForce = std::max(wheels.springForce[i], 0.0f);
    state.suspensionForce = suspensionForce;
    state.contactPoint = c.point;
    state.contactNormal = c.normal;
    const glm::vec3 suspensionArm = body.rotation * setup.suspensionForcePoint;
    push.force += c.normal * suspensionForce;
    push.torque += glm::cross(suspensionArm, c.normal * suspensionForce);
    const float friction = i < static_cast<int>(hits.size()) ? hits[i].friction : 0.0f;
    tyreForce(i, pred, body, friction, suspensionForce, c, push);
  }
  return push;
}

void DriveModel::tyreForce(int i, const ChassisState& pred, const Body& body, float friction,
                           float suspensionForce, Contact& c, Push& push) {
  const WheelSetup& setup = data_.wheels[i];
  WheelState& state = wheels_[i];
  const glm::vec3 heading = body.rotation * glm::vec3(std::sin(state.steer), 0.0f, std::cos(state.steer));
  glm::vec3 forward = heading - c.normal * glm::dot(c.normal, heading);
  const float forwardLength = glm::length(forward);
  if (forwardLength < 1e-4f) return;  // wheel standing on its side: no tyre force
  forward /= forwardLength;
  const glm::vec3 lateral = glm::cross(c.normal, forward);
  const glm::vec3 contactVelocity =
      pred.linearVelocity + glm::cross(pred.angularVelocity, c.point - pred.position);

  TyreInput in;
  in.restLoad = restLoads_[i];
  in.load = filterTyreLoad(data_.loadFilter, suspensionForce, restLoads_[i]);
  in.friction = friction;
  in.longSpeed = glm::dot(contactVelocity, forward);
  in.latSpeed = glm::dot(contactVelocity, lateral);
  in.wheelOmega = state.omega;
  in.radius = setup.wheel.radius;
  in.camber = state.camber;
  in.gravity = body.g;
  in.minLongSlipDenominator = data_.tuning.minLongSlipDenominator;
  in.minLatSlipDenominator = data_.tuning.minLatSlipDenominator;
  const TyreOutput out = computeTyreForces(setup.tyre, in);
  state.tyreLoad = in.load;
  state.longSlip = out.longSlip;
  state.latSlip = out.latSlip;
  state.friction = out.friction;
  state.longForce = out.longForce;
  state.latForce = out.latForce;
  c.tyreTorque = out.wheelTorque;
  c.tyreTorqueSlope = out.torqueSlope;

  const glm::vec3 tyreForce = forward * out.longForce + lateral * out.latForce;
  push.force += tyreForce;
  push.torque += glm::cross(body.rotation * setup.tyreForcePoint, tyreForce);
}

void DriveModel::driveLine(float h, float throttle, float ratio, const Wheels& wheels) {
  const int n = numWheels();
  DrivelineInput dl;
  dl.dt = h;
  dl.numWheels = n;
  dl.engineMoi = data_.engine.moi;
  dl.engineTorque = engineDriveTorque(data_.engine, engineOmega_, throttle);
  dl.engineDamping = engineDampingRate(data_.engine, throttle, ratio != 0.0f);
  if (ratio != 0.0f) dl.engineDamping = engineBrakingRate(data_.engine, dl.engineDamping, engineOmega_);
  dl.maxEngineOmega = data_.engine.maxOmega;
  dl.gearRatio = ratio;
  dl.clutchStrength = data_.clutch.strength;
  DrivelineState before;
  before.engineOmega = engineOmega_;
  for (int i = 0; i < n; ++i) {
    dl.wheelMoi[i] = data_.wheels[i].wheel.moi;
    dl.wheelDamping[i] = data_.wheels[i].wheel.dampingRate;
    dl.wheelTorque[i] = wheels.contacts[i].tyreTorque;
    dl.wheelTorqueSlope[i] = wheels.contacts[i].tyreTorqueSlope;
    before.wheelOmega[i] = wheels_[i].omega;
  }
  if (n >= kDrivenWheels) {
    const DrivenArray nominal = nominalDifferentialFractions(data_.differential);
    for (int i = 0; i < kDrivenWheels; ++i) dl.averagingWeight[i] = nominal[i];
    const DrivenArray split = differentialFractions(
        data_.differential, {wheels_[0].omega, wheels_[1].omega, wheels_[2].omega, wheels_[3].omega},
        clutchTorqueDirection(dl, before));
    for (int i = 0; i < kDrivenWheels; ++i) dl.torqueFraction[i] = split[i];
  }
  const DrivelineState after = solveDriveline(dl, before);
  engineOmega_ = after.engineOmega;
  const float brake = std::clamp(inputs_.brake(), 0.0f, 1.0f);
  const float handbrake = std::clamp(inputs_.handbrake(), 0.0f, 1.0f);
  for (int i = 0; i < n; ++i) {
    const WheelData& wheel = data_.wheels[i].wheel;
    const float brakeTorque = brake * wheel.maxBrakeTorque + handbrake * wheel.maxHandBrakeTorque;
    const float effectiveMoi = wheel.moi + h * (wheel.dampingRate - wheels.contacts[i].tyreTorqueSlope);
    wheels_[i].omega = applyBrake(after.wheelOmega[i], brakeTorque, h, effectiveMoi);
    wheels_[i].rotationAngle = std::remainder(wheels_[i].rotationAngle + wheels_[i].omega * h, 6.2831853f);
  }
}

void DriveModel::integrate(float h, const glm::vec3& gravity, const Body& body, const Push& push,
                           const Wheels& wheels, ChassisState& pred, VelocityChange& total) const {
  glm::vec3 dv = push.force * (body.invMass * h);
  glm::vec3 dw = body.invInertia * push.torque * h;
  pred.linearVelocity += dv + gravity * h;
  pred.angularVelocity += dw;
  for (int i = 0; i < numWheels(); ++i) {
    const Contact& c = wheels.contacts[i];
    const SuspensionData& susp = data_.wheels[i].suspension;
    if (!c.touching || c.rawJounce < susp.maxCompression) continue;
    // Past full compression the suspension is a hard stop: stop the approach along the normal
    // and push a share of the excess back out.
    const glm::vec3 arm = c.point - pred.position;
    const float approach = glm::dot(c.normal, pred.linearVelocity + glm::cross(pred.angularVelocity, arm));
    const float target =
        std::min(kCompressionBias * (c.rawJounce - susp.maxCompression) / h, kMaxCompressionRecoverySpeed);
    if (approach >= target) continue;
    const glm::vec3 armCrossN = glm::cross(arm, c.normal);
    const float effective = body.invMass + glm::dot(armCrossN, body.invInertia * armCrossN);
    const float impulse = (target - approach) / effective;
    const glm::vec3 impulseLinear = c.normal * (impulse * body.invMass);
    const glm::vec3 impulseAngular = body.invInertia * armCrossN * impulse;
    pred.linearVelocity += impulseLinear;
    pred.angularVelocity += impulseAngular;
    dv += impulseLinear;
    dw += impulseAngular;
  }
  total.linear += dv;
  total.angular += dw;
  pred.position += pred.linearVelocity * h;
  pred.orientation = integrateOrientation(pred.orientation, pred.angularVelocity, h);
}

void DriveModel::updateWheelPoses() {
  for (int i = 0; i < numWheels(); ++i) {
    const WheelSetup& setup = data_.wheels[i];
    WheelState& state = wheels_[i];
    state.localPosition =
        data_.centreOfMassOffset + setup.centreOffset - setup.travelDirection * state.jounce;
    state.localRotation = glm::angleAxis(state.steer, glm::vec3(0.0f, 1.0f, 0.0f)) *
                          glm::angleAxis(state.camber, glm::vec3(0.0f, 0.0f, 1.0f)) *
                          glm::angleAxis(state.rotationAngle, glm::vec3(1.0f, 0.0f, 0.0f));
  }
}

}  // namespace vehicle
