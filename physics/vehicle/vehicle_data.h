// The configuration records of the four-wheel-drive vehicle model: per-wheel data (wheel, tyre,
// suspension, geometry) and drive data (engine, gears, clutch, differential, Ackermann, autobox).
// Defaults are the model's stock values; a game vehicle overrides what it needs.
#pragma once

#include <glm/glm.hpp>

#include <array>
#include <cstdint>
#include <vector>

namespace vehicle {

struct WheelData {
  float radius = 0.5f;
  float width = 0.4f;
  float mass = 20.0f;
  float moi = 2.5f;           // about the axle, kg·m²
  float dampingRate = 0.25f;  // N·m per rad/s
  float maxBrakeTorque = 1500.0f;
  float maxHandBrakeTorque = 0.0f;
  float maxSteer = 0.0f;  // rad
  float toeAngle = 0.0f;  // rad
};

// A point of a piecewise-linear graph.
struct GraphPoint {
  float x = 0.0f;
  float y = 0.0f;
};

struct TyreData {
  float latStiffX = 2.0f;                       // normalised load at which lateral stiffness stops rising
  float latStiffY = 17.90493f;                  // lateral stiffness per unit rest load at that point, per rad
  float longStiffPerUnitGravity = 1000.0f;      // × |g| = N per unit longitudinal slip
  float camberStiffPerUnitGravity = 5.729578f;  // × |g| = N per rad of camber
  std::array<GraphPoint, 3> frictionVsSlip{{{0.0f, 1.0f}, {0.1f, 1.0f}, {1.0f, 1.0f}}};
  uint32_t type = 0;  // column of the surface friction table
};

struct SuspensionData {
  float sprungMass = 0.0f;
  float maxCompression = 0.3f;
  float maxDroop = 0.1f;
  float springStrength = 35000.0f;
  float springDamperRate = 4500.0f;
  float camberAtRest = 0.0f;
  float camberAtMaxCompression = 0.0f;
  float camberAtMaxDroop = 0.0f;
};

// Maps normalised tyre load (load / rest load) to the load the tyre works with; flat outside.
struct TyreLoadFilterData {
  float minNormalisedLoad = 0.0f;
  float minFilteredNormalisedLoad = 0.0f;
  float maxNormalisedLoad = 3.0f;
  float maxFilteredNormalisedLoad = 3.0f;
};

// One wheel as the model sees it. Offsets are relative to the chassis centre of mass, in the
// chassis frame; the travel direction is a unit vector pointing down the suspension.
struct WheelSetup {
  WheelData wheel;
  TyreData tyre;
  SuspensionData suspension;
  glm::vec3 travelDirection{0.0f, -1.0f, 0.0f};
  glm::vec3 centreOffset{0.0f};
  glm::vec3 suspensionForcePoint{0.0f};
  glm::vec3 tyreForcePoint{0.0f};
};

struct AntiRollBar {
  uint32_t wheel0 = 0;
  uint32_t wheel1 = 1;
  float stiffness = 0.0f;  // N per metre of jounce difference
};

struct EngineData {
  float peakTorque = 500.0f;
  float maxOmega = 600.0f;                                                             // rad/s
  std::array<GraphPoint, 3> torqueCurve{{{0.0f, 0.8f}, {0.33f, 1.0f}, {1.0f, 0.8f}}};  // x: ω/maxOmega
  float moi = 1.0f;
  float dampingRateFullThrottle = 0.15f;
  float dampingRateZeroThrottleClutchEngaged = 2.0f;
  float dampingRateZeroThrottleClutchDisengaged = 0.35f;
};

// Gear numbering: reverse 0, neutral 1, first 2, … .
constexpr int kGearReverse = 0;
constexpr int kGearNeutral = 1;
constexpr int kGearFirst = 2;
constexpr int kMaxGears = 32;

struct GearsData {
  int numRatios = 7;
  std::array<float, kMaxGears> ratios{{-4.0f, 0.0f, 4.0f, 2.0f, 1.5f, 1.1f, 1.0f}};
  float finalRatio = 4.0f;
  float switchTime = 0.5f;  // s spent in neutral while changing gear
};

struct ClutchData {
  float strength = 10.0f;  // N·m per rad/s of clutch slip
};

// Limited-slip four-wheel drive over wheels 0 (front left), 1 (front right), 2 (rear left), 3 (rear right).
struct DifferentialData {
  float frontRearSplit = 0.45f;  // share of the front axle
  float frontLeftRightSplit = 0.5f;
  float rearLeftRightSplit = 0.5f;
  float centreBias = 1.3f;
  float frontBias = 1.3f;
  float rearBias = 1.3f;
};

struct AckermannData {
  float accuracy = 1.0f;  // 0 none, 1 perfect
  float frontWidth = 0.0f;
  float rearWidth = 0.0f;
  float axleSeparation = 0.0f;
};

// Normalised engine speeds (ω/maxOmega) for automatic gear changes, per current gear.
struct AutoboxData {
  std::array<float, kMaxGears> upRatios;
  std::array<float, kMaxGears> downRatios;
  float latency = 2.0f;  // s between automatic changes

  AutoboxData() {
    upRatios.fill(0.65f);
    downRatios.fill(0.5f);
  }
};

// Thresholds of the model's own sub-stepping and slip computation.
struct ModelTuning {
  float subStepThresholdSpeed = 5.0f;  // below it, lowSpeedSubSteps per update
  int lowSpeedSubSteps = 3;
  int highSpeedSubSteps = 1;
  float maxSubStepTime = 1.0f / 60.0f;  // longer updates are split further
  float minLongSlipDenominator = 4.0f;  // m/s
  float minLatSlipDenominator = 1.0f;   // m/s
};

// Everything the model needs to know about one vehicle.
struct VehicleModelData {
  float chassisMass = 1500.0f;
  glm::vec3 centreOfMassOffset{0.0f};  // in the actor frame
  std::vector<WheelSetup> wheels;
  std::vector<AntiRollBar> antiRollBars;
  TyreLoadFilterData loadFilter;
  EngineData engine;
  GearsData gears;
  ClutchData clutch;
  DifferentialData differential;
  AckermannData ackermann;
  AutoboxData autobox;
  ModelTuning tuning;
};

}  // namespace vehicle
