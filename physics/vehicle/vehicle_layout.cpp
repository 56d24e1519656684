#include "physics/vehicle/vehicle_layout.h"

#include "physics/vehicle/sprung_mass.h"

namespace vehicle {

std::vector<glm::vec3> computeWheelCentres(const VehicleLayout& layout) {
  const int n = layout.numWheels;
  if (n < 4 || n % 2 != 0 || n > 20) return {};
  const glm::vec3& dims = layout.chassisDims;
  const float frontZ = 0.3f * dims.z;
  const float rearZ = -0.3f * dims.z;
  const float step = (frontZ - rearZ) / static_cast<float>(n / 2 - 1);
  const float leftX = (-dims.x + layout.wheelWidth) * 0.5f;
  const float rightX = (dims.x - layout.wheelWidth) * 0.5f;
  const float y = -(dims.y * 0.5f + layout.wheelRadius);
  std::vector<glm::vec3> centres = {
      {leftX, y, frontZ}, {rightX, y, frontZ}, {leftX, y, rearZ}, {rightX, y, rearZ}};
  for (int k = 2; k < n - 2; k += 2) {
    const float z = rearZ + static_cast<float>(k) * step * 0.5f;
    centres.push_back({leftX, y, z});
    centres.push_back({rightX, y, z});
  }
  return centres;
}

VehicleModelData makeVehicleModelData(const VehicleLayout& layout) {
  VehicleModelData data;
  data.chassisMass = layout.chassisMass;
  data.centreOfMassOffset = layout.chassisCMOffset;

  const std::vector<glm::vec3> centres = computeWheelCentres(layout);
  if (centres.empty()) return data;
  const std::vector<float> sprung =
      computeSprungMasses(centres, layout.chassisCMOffset, layout.chassisMass, 1);
  if (sprung.size() != centres.size()) return data;
  for (float m : sprung)
    if (!(m > 0.0f)) return data;

  const int n = static_cast<int>(centres.size());
  data.wheels.resize(n);
  for (int i = 0; i < n; ++i) {
    WheelSetup& w = data.wheels[i];
    w.wheel.mass = layout.wheelMass;
    w.wheel.moi = layout.wheelMOI;
    w.wheel.radius = layout.wheelRadius;
    w.wheel.width = layout.wheelWidth;
    w.wheel.dampingRate = 0.25f;
    w.wheel.maxBrakeTorque = 1500.0f;
    w.wheel.maxHandBrakeTorque = (i == 2 || i == 3) ? 4000.0f : 0.0f;
    w.wheel.maxSteer = (i == 0 || i == 1) ? 3.1415927f * 0.3333f : 0.0f;
    w.wheel.toeAngle = 0.0f;
    w.tyre = TyreData{};
    w.suspension.sprungMass = sprung[i];
    w.suspension.maxCompression = 0.3f;
    w.suspension.maxDroop = 0.1f;
    w.suspension.springStrength = 35000.0f;
    w.suspension.springDamperRate = 4500.0f;
    // Left (even) and right (odd) wheels lean mirror-wise.
    const float side = (i % 2 == 0) ? 1.0f : -1.0f;
    w.suspension.camberAtRest = 0.0f;
    w.suspension.camberAtMaxDroop = 0.01f * side;
    w.suspension.camberAtMaxCompression = -0.01f * side;
    w.travelDirection = glm::vec3(0.0f, -1.0f, 0.0f);
    w.centreOffset = centres[i] - layout.chassisCMOffset;
    w.suspensionForcePoint = glm::vec3(w.centreOffset.x, -0.3f, w.centreOffset.z);
    w.tyreForcePoint = w.suspensionForcePoint;
  }
  data.antiRollBars = {{0, 1, 10000.0f}, {2, 3, 10000.0f}};

  data.engine.peakTorque = 500.0f;
  data.engine.maxOmega = 600.0f;
  data.gears.switchTime = 0.5f;
  data.clutch.strength = 10.0f;
  data.ackermann.accuracy = 1.0f;
  data.ackermann.axleSeparation = data.wheels[0].centreOffset.z - data.wheels[2].centreOffset.z;
  data.ackermann.frontWidth = data.wheels[1].centreOffset.x - data.wheels[0].centreOffset.x;
  data.ackermann.rearWidth = data.wheels[3].centreOffset.x - data.wheels[2].centreOffset.x;
  return data;
}

}  // namespace vehicle
