// The drive model's parts on their own: sprung masses, tyre forces, the drive line with clutch,
// differential and brakes, input smoothing, Ackermann steering and the gearbox.
#include "physics/vehicle/drive_line.h"
#include "physics/vehicle/gearbox.h"
#include "physics/vehicle/input_smoothing.h"
#include "physics/vehicle/sprung_mass.h"
#include "physics/vehicle/steering.h"
#include "physics/vehicle/tyre_model.h"
#include "physics/vehicle/vehicle_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace vehicle;

namespace {

void expectBalanced(const std::vector<glm::vec3>& wheels, const glm::vec3& com, float mass) {
  const std::vector<float> m = computeSprungMasses(wheels, com, mass, 1);
  ASSERT_EQ(m.size(), wheels.size());
  float sum = 0.0f;
  glm::vec3 moment(0.0f);
  for (size_t i = 0; i < m.size(); ++i) {
    sum += m[i];
    moment += m[i] * wheels[i];
  }
  EXPECT_NEAR(sum, mass, mass * 1e-5f);
  EXPECT_NEAR(moment.x / mass, com.x, 1e-4f);
  EXPECT_NEAR(moment.z / mass, com.z, 1e-4f);
}

TEST(SprungMasses, SixWheelLayoutSplitsFrontMiddleRear) {
  VehicleLayout layout;
  const std::vector<glm::vec3> wheels = computeWheelCentres(layout);
  ASSERT_EQ(wheels.size(), 6u);
  EXPECT_EQ(wheels[4], glm::vec3(-1.05f, -1.5f, 0.0f));
  EXPECT_EQ(wheels[5], glm::vec3(1.05f, -1.5f, 0.0f));
  const std::vector<float> m = computeSprungMasses(wheels, layout.chassisCMOffset, 1500.0f, 1);
  ASSERT_EQ(m.size(), 6u);
  EXPECT_NEAR(m[0], 312.5f, 0.01f);
  EXPECT_NEAR(m[1], 312.5f, 0.01f);
  EXPECT_NEAR(m[2], 187.5f, 0.01f);
  EXPECT_NEAR(m[3], 187.5f, 0.01f);
  EXPECT_NEAR(m[4], 250.0f, 0.01f);
  EXPECT_NEAR(m[5], 250.0f, 0.01f);
}

TEST(SprungMasses, SumAndBalanceForManyLayouts) {
  const std::vector<glm::vec3> four = {{-1, 0, 1.5f}, {1, 0, 1.5f}, {-1, 0, -1.5f}, {1, 0, -1.5f}};
  expectBalanced(four, glm::vec3(0.0f), 1000.0f);
  expectBalanced(four, glm::vec3(0.3f, -0.5f, 0.7f), 1000.0f);
  VehicleLayout layout;
  for (int n : {4, 6, 8}) {
    layout.numWheels = n;
    expectBalanced(computeWheelCentres(layout), glm::vec3(-0.2f, -0.35f, -0.6f), 1500.0f);
  }
  // The vertical axis plays no part: wheels at different heights balance the same way.
  expectBalanced({{-1, 0.5f, 1}, {1, -0.5f, 1}, {-1, 0.2f, -1}, {1, 0, -1}}, glm::vec3(0.1f, 0, 0.2f),
                 800.0f);
}

TEST(SprungMasses, RejectsUnusableInput) {
  EXPECT_TRUE(computeSprungMasses({}, glm::vec3(0.0f), 1000.0f, 1).empty());
  EXPECT_TRUE(computeSprungMasses({{0, 0, 1}, {0, 0, -1}}, glm::vec3(0.0f), -5.0f, 1).empty());
  // Wheels on one line cannot balance a centre of mass beside it.
  EXPECT_TRUE(
      computeSprungMasses({{0, 0, 1}, {0, 0, 0}, {0, 0, -1}}, glm::vec3(0.5f, 0, 0), 1000.0f, 1).empty());
  EXPECT_TRUE(computeSprungMasses({{0, 0, 1}, {0, 0, -1}}, glm::vec3(0.0f), 1000.0f, 3).empty());
}

TyreInput restingTyre(float load, float restLoad) {
  TyreInput in;
  in.load = load;
  in.restLoad = restLoad;
  return in;
}

TEST(Tyre, ForceNeverExceedsFrictionTimesLoad) {
  const TyreData tyre;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> speed(-60.0f, 60.0f), omega(-150.0f, 150.0f), load(0.0f, 12000.0f),
      friction(0.0f, 1.5f);
  for (int i = 0; i < 20000; ++i) {
    TyreInput in = restingTyre(load(rng), 3125.0f);
    in.longSpeed = speed(rng);
    in.latSpeed = speed(rng) * 0.3f;
    in.wheelOmega = omega(rng);
    in.friction = friction(rng);
    const TyreOutput out = computeTyreForces(tyre, in);
    const float limit = out.friction * in.load;
    ASSERT_LE(std::hypot(out.longForce, out.latForce), limit * 1.0001f + 1e-3f);
    ASSERT_TRUE(std::isfinite(out.longForce) && std::isfinite(out.latForce));
    ASSERT_LE(out.torqueSlope, 0.0f);
  }
}

TEST(Tyre, SmallSlipsGiveLinearForcesAndZeroLoadGivesNone) {
  const TyreData tyre;
  TyreInput in = restingTyre(3125.0f, 3125.0f);
  in.longSpeed = 20.0f;
  in.wheelOmega = 40.02f;  // slip 0.0005
  TyreOutput out = computeTyreForces(tyre, in);
  EXPECT_NEAR(out.longSlip, 0.0005f, 1e-6f);
  EXPECT_NEAR(out.longForce, 10000.0f * 0.0005f, 0.05f);
  EXPECT_NEAR(out.wheelTorque, -out.longForce * 0.5f, 1e-4f);

  in.wheelOmega = 40.0f;
  in.latSpeed = 0.02f;  // slip angle 0.001 rad
  out = computeTyreForces(tyre, in);
  EXPECT_NEAR(out.latForce, -lateralStiffness(tyre, 3125.0f, 3125.0f) * 0.001f, 0.5f);
  EXPECT_LT(out.latForce, 0.0f);  // opposes the sideways sliding

  in.load = 0.0f;
  out = computeTyreForces(tyre, in);
  EXPECT_EQ(out.longForce, 0.0f);
  EXPECT_EQ(out.latForce, 0.0f);
}

TEST(Tyre, LateralStiffnessRisesWithLoadThenLevelsOff) {
  const TyreData tyre;
  const float rest = 2500.0f;
  EXPECT_LT(lateralStiffness(tyre, 0.5f * rest, rest), lateralStiffness(tyre, rest, rest));
  EXPECT_NEAR(lateralStiffness(tyre, 2.0f * rest, rest), tyre.latStiffY * rest, 1.0f);
  EXPECT_NEAR(lateralStiffness(tyre, 3.0f * rest, rest), tyre.latStiffY * rest, 1.0f);
  EXPECT_EQ(lateralStiffness(tyre, 0.0f, rest), 0.0f);
}

TEST(Tyre, LoadFilterAndFrictionGraph) {
  const TyreLoadFilterData filter;
  EXPECT_FLOAT_EQ(filterTyreLoad(filter, 1000.0f, 2000.0f), 1000.0f);
  EXPECT_FLOAT_EQ(filterTyreLoad(filter, 10000.0f, 2000.0f), 6000.0f);  // capped at 3× rest
  EXPECT_EQ(filterTyreLoad(filter, -5.0f, 2000.0f), 0.0f);
  const std::array<GraphPoint, 3> graph{{{0.0f, 0.5f}, {0.2f, 1.0f}, {1.0f, 0.7f}}};
  EXPECT_FLOAT_EQ(evaluateGraph(graph, -1.0f), 0.5f);
  EXPECT_FLOAT_EQ(evaluateGraph(graph, 0.1f), 0.75f);
  EXPECT_FLOAT_EQ(evaluateGraph(graph, 0.6f), 0.85f);
  EXPECT_FLOAT_EQ(evaluateGraph(graph, 5.0f), 0.7f);
}

TEST(Differential, FractionsAlwaysSumToOneAndFavourTheSlowerSide) {
  const DifferentialData diff;
  const DrivenArray nominal = nominalDifferentialFractions(diff);
  EXPECT_FLOAT_EQ(nominal[0], 0.225f);
  EXPECT_FLOAT_EQ(nominal[3], 0.275f);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> omega(-100.0f, 100.0f);
  for (int i = 0; i < 10000; ++i) {
    const DrivenArray f = differentialFractions(diff, {omega(rng), omega(rng), omega(rng), omega(rng)});
    ASSERT_NEAR(f[0] + f[1] + f[2] + f[3], 1.0f, 1e-5f);
    for (float x : f) ASSERT_GE(x, 0.0f);
  }
  const DrivenArray equal = differentialFractions(diff, {20, 20, 20, 20});
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(equal[i], nominal[i]);
  // A spinning front left wheel (axle sums equal): torque goes to the front right.
  const DrivenArray spin = differentialFractions(diff, {30, 20, 25, 25});
  EXPECT_GT(spin[1], nominal[1]);
  EXPECT_LT(spin[0], nominal[0]);
  // Within the bias nothing moves.
  const DrivenArray mild = differentialFractions(diff, {22, 20, 20, 20});
  EXPECT_FLOAT_EQ(mild[1], nominal[1]);
  // Engine braking (torque against the rolling) goes to the faster side, so a rear pair that lags
  // or turns backwards is braked less, not more.
  const DrivenArray coasting = differentialFractions(diff, {40, 40, 10, 10}, -1.0f);
  EXPECT_GT(coasting[0] + coasting[1], 0.45f);
  EXPECT_LT(coasting[2] + coasting[3], 0.55f);
  const DrivenArray backwards = differentialFractions(diff, {40, 40, 40, -15}, -1.0f);
  EXPECT_FLOAT_EQ(backwards[3], 0.0f);
  const DrivenArray frontLag = differentialFractions(diff, {40, 10, 25, 25}, -1.0f);
  EXPECT_FLOAT_EQ(frontLag[0], 0.45f);
  EXPECT_FLOAT_EQ(frontLag[1], 0.0f);
}

DrivelineInput coupledInput(float clutch, float ratio) {
  DrivelineInput in;
  in.dt = 1.0f / 60.0f;
  in.numWheels = 4;
  in.engineMoi = 1.0f;
  in.maxEngineOmega = 1e6f;
  in.gearRatio = ratio;
  in.clutchStrength = clutch;
  const DrivenArray nominal = nominalDifferentialFractions(DifferentialData{});
  for (int i = 0; i < 4; ++i) {
    in.wheelMoi[i] = 2.5f;
    in.averagingWeight[i] = nominal[i];
    in.torqueFraction[i] = nominal[i];
  }
  return in;
}

TEST(Clutch, StrongClutchLocksEngineToWheelsInOneStep) {
  const DrivelineInput in = coupledInput(1e7f, 16.0f);
  DrivelineState s;
  s.engineOmega = 300.0f;
  s.wheelOmega = {5.0f, 5.0f, 5.0f, 5.0f};
  float slip = 0.0f;
  const DrivelineState out = solveDriveline(in, s, &slip);
  EXPECT_NEAR(slip, 0.0f, 0.05f);
  float average = 0.0f;
  float wheelMomentum = 0.0f;
  for (int i = 0; i < 4; ++i) {
    average += in.averagingWeight[i] * out.wheelOmega[i];
    wheelMomentum += 2.5f * out.wheelOmega[i];
  }
  EXPECT_NEAR(out.engineOmega, 16.0f * average, 0.05f);
  // The clutch only moves momentum through the gear: G·I_e·ω_e + Σ I_w·ω_w is kept.
  const float before = 16.0f * 1.0f * 300.0f + 4 * 2.5f * 5.0f;
  const float after = 16.0f * 1.0f * out.engineOmega + wheelMomentum;
  EXPECT_NEAR(after, before, before * 1e-3f);
}

TEST(Clutch, CouplingNeverAddsEnergy) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> omega(-50.0f, 50.0f), engine(0.0f, 600.0f), clutch(0.1f, 1000.0f);
  for (int i = 0; i < 2000; ++i) {
    const float ratio = (i % 3 == 0) ? -16.0f : (i % 3 == 1 ? 4.0f : 16.0f);
    const DrivelineInput in = coupledInput(clutch(rng), ratio);
    DrivelineState s;
    s.engineOmega = engine(rng);
    for (int w = 0; w < 4; ++w) s.wheelOmega[w] = omega(rng);
    auto energy = [](const DrivelineState& d) {
      float e = 0.5f * d.engineOmega * d.engineOmega;
      for (int w = 0; w < 4; ++w) e += 0.5f * 2.5f * d.wheelOmega[w] * d.wheelOmega[w];
      return e;
    };
    const DrivelineState out = solveDriveline(in, s);
    ASSERT_LE(energy(out), energy(s) * (1.0f + 1e-5f) + 1e-3f);
  }
}

TEST(Clutch, NeutralLeavesWheelsAlone) {
  DrivelineInput in = coupledInput(10.0f, 0.0f);
  in.engineTorque = 400.0f;
  DrivelineState s;
  s.wheelOmega = {3.0f, 3.0f, 3.0f, 3.0f};
  const DrivelineState out = solveDriveline(in, s);
  EXPECT_GT(out.engineOmega, 6.0f);  // revs freely
  for (int w = 0; w < 4; ++w) EXPECT_FLOAT_EQ(out.wheelOmega[w], 3.0f);
}

TEST(Clutch, StaysStableWithStiffTyresAtLongSteps) {
  // A free wheel held by a stiff tyre on a stopped road: explicit integration would overshoot
  // and flip sign every step at this step length; the implicit tyre pull just decays.
  DrivelineInput in;
  in.dt = 1.0f / 30.0f;
  in.numWheels = 1;
  in.wheelMoi[0] = 2.5f;
  in.maxEngineOmega = 600.0f;
  DrivelineState s;
  s.wheelOmega[0] = 20.0f;
  const float slope = -10000.0f * 0.25f / 4.0f;  // stiffness × r² / minimum slip denominator
  for (int step = 0; step < 30; ++step) {
    in.wheelTorque[0] = slope * s.wheelOmega[0];
    in.wheelTorqueSlope[0] = slope;
    const DrivelineState next = solveDriveline(in, s);
    ASSERT_GE(next.wheelOmega[0], 0.0f);
    ASSERT_LE(next.wheelOmega[0], s.wheelOmega[0]);
    s = next;
  }
  EXPECT_LT(s.wheelOmega[0], 0.01f);
}

TEST(Brakes, StopAWheelButNeverReverseIt) {
  EXPECT_FLOAT_EQ(applyBrake(10.0f, 1500.0f, 0.01f, 2.5f), 4.0f);
  EXPECT_FLOAT_EQ(applyBrake(-10.0f, 1500.0f, 0.01f, 2.5f), -4.0f);
  EXPECT_EQ(applyBrake(3.0f, 1500.0f, 0.01f, 2.5f), 0.0f);
  EXPECT_EQ(applyBrake(-3.0f, 1500.0f, 0.01f, 2.5f), 0.0f);
  EXPECT_EQ(applyBrake(0.0f, 4000.0f, 1.0f / 60.0f, 2.5f), 0.0f);
  EXPECT_FLOAT_EQ(applyBrake(7.0f, 0.0f, 0.01f, 2.5f), 7.0f);
}

TEST(Engine, TorqueCurveAndDamping) {
  const EngineData e;
  EXPECT_FLOAT_EQ(engineDriveTorque(e, 0.0f, 1.0f), 400.0f);
  EXPECT_FLOAT_EQ(engineDriveTorque(e, 0.33f * 600.0f, 1.0f), 500.0f);
  EXPECT_FLOAT_EQ(engineDriveTorque(e, 600.0f, 0.5f), 200.0f);
  EXPECT_EQ(engineDriveTorque(e, 300.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(engineDampingRate(e, 1.0f, true), 0.15f);
  EXPECT_FLOAT_EQ(engineDampingRate(e, 0.0f, true), 2.0f);
  EXPECT_FLOAT_EQ(engineDampingRate(e, 0.0f, false), 0.35f);
}

KeySmoothingData gameSmoothing() {
  KeySmoothingData k;
  k.riseRates = {6.0f, 6.0f, 6.0f, 2.5f, 2.5f};
  k.fallRates = {10.0f, 10.0f, 10.0f, 5.0f, 5.0f};
  return k;
}

SteerVsSpeedTable gameSteerTable() {
  SteerVsSpeedTable t;
  t.addPair(0.0f, 0.75f);
  t.addPair(5.0f, 0.75f);
  t.addPair(30.0f, 0.125f);
  t.addPair(120.0f, 0.1f);
  return t;
}

TEST(Smoothing, RiseAndFallRatesDoNotDependOnFrameRate) {
  const KeySmoothingData k = gameSmoothing();
  const SteerVsSpeedTable table = gameSteerTable();
  DigitalInputs held;
  held.accel = true;
  held.steerRight = true;
  for (int fps : {30, 60, 144}) {
    AnalogInputs a;
    const int frames = fps / 6;  // 1/6 s
    for (int i = 0; i < frames; ++i) a = smoothDigitalInputs(k, table, held, 1.0f / fps, false, 0.0f, a);
    EXPECT_NEAR(a.accel(), 1.0f, 1e-4f) << fps;
    EXPECT_NEAR(a.value[kInputSteerRight], 2.5f / 6.0f, 1e-4f) << fps;
    EXPECT_EQ(a.brake(), 0.0f);
    // Released: accel falls at 10/s, steer at 5/s.
    a = smoothDigitalInputs(k, table, DigitalInputs{}, 0.05f, false, 0.0f, a);
    EXPECT_NEAR(a.accel(), 0.5f, 1e-4f);
    EXPECT_NEAR(a.value[kInputSteerRight], 2.5f / 6.0f - 0.25f, 1e-4f);
  }
}

TEST(Smoothing, SteerIsCappedByForwardSpeedExceptInTheAir) {
  const SteerVsSpeedTable table = gameSteerTable();
  EXPECT_FLOAT_EQ(table.evaluate(30.0f), 0.125f);
  EXPECT_FLOAT_EQ(table.evaluate(17.5f), 0.4375f);
  EXPECT_FLOAT_EQ(table.evaluate(2.0f), 0.75f);
  EXPECT_FLOAT_EQ(table.evaluate(500.0f), 0.1f);
  const KeySmoothingData k = gameSmoothing();
  DigitalInputs left;
  left.steerLeft = true;
  AnalogInputs a;
  for (int i = 0; i < 120; ++i) a = smoothDigitalInputs(k, table, left, 1.0f / 60.0f, false, -30.0f, a);
  EXPECT_FLOAT_EQ(a.value[kInputSteerLeft], 0.125f);
  EXPECT_FLOAT_EQ(a.steer(), -0.125f);
  for (int i = 0; i < 60; ++i) a = smoothDigitalInputs(k, table, left, 1.0f / 60.0f, true, 30.0f, a);
  EXPECT_FLOAT_EQ(a.value[kInputSteerLeft], 1.0f);
  // A full table refuses more pairs, and pairs must rise in speed.
  SteerVsSpeedTable t;
  EXPECT_TRUE(t.addPair(1.0f, 1.0f));
  EXPECT_FALSE(t.addPair(1.0f, 0.5f));
}

TEST(Ackermann, InnerWheelTurnsFurther) {
  AckermannData a;
  a.axleSeparation = 3.0f;
  a.frontWidth = 2.1f;
  const FrontSteer right = ackermannSteer(a, 0.5f);  // towards +x: the +x wheel is inside
  EXPECT_GT(right.right, right.left);
  EXPECT_GT(right.left, 0.0f);
  // Both axes meet on the rear axle line.
  const float radiusLeft = 3.0f / std::tan(right.left);
  const float radiusRight = 3.0f / std::tan(right.right);
  EXPECT_NEAR(radiusLeft - radiusRight, 2.1f, 1e-3f);
  const FrontSteer left = ackermannSteer(a, -0.5f);
  EXPECT_FLOAT_EQ(left.left, -right.right);
  EXPECT_FLOAT_EQ(left.right, -right.left);
  a.accuracy = 0.0f;
  const FrontSteer none = ackermannSteer(a, 0.5f);
  EXPECT_FLOAT_EQ(none.left, 0.5f);
  EXPECT_FLOAT_EQ(none.right, 0.5f);
}

TEST(Gearbox, TimedChangesAndAutomaticShifts) {
  const GearsData gears;
  const AutoboxData autobox;
  Gearbox box;
  box.forceGear(kGearFirst, gears);
  EXPECT_EQ(box.currentGear(), kGearFirst);
  EXPECT_FLOAT_EQ(box.effectiveRatio(gears), 16.0f);
  box.setUseAutoGears(true);
  // High revs, but the latency has not passed since start.
  box.update(1.0f, 0.9f, gears, autobox);
  EXPECT_EQ(box.targetGear(), kGearFirst);
  box.update(1.1f, 0.9f, gears, autobox);
  EXPECT_EQ(box.targetGear(), kGearFirst + 1);
  EXPECT_TRUE(box.isAutoChanging());
  EXPECT_EQ(box.effectiveRatio(gears), 0.0f);  // neutral while changing
  box.update(0.49f, 0.9f, gears, autobox);
  EXPECT_EQ(box.currentGear(), kGearFirst);
  box.update(0.02f, 0.9f, gears, autobox);
  EXPECT_EQ(box.currentGear(), kGearFirst + 1);
  EXPECT_FLOAT_EQ(box.effectiveRatio(gears), 8.0f);
  // No second change within the latency, even at very low revs.
  box.update(1.0f, 0.1f, gears, autobox);
  EXPECT_EQ(box.targetGear(), kGearFirst + 1);
  // Below the change-down speed, but first gear would turn the engine past its change-up speed.
  box.update(1.0f, 0.45f, gears, autobox);
  EXPECT_EQ(box.targetGear(), kGearFirst + 1);
  box.update(1.0f, 0.1f, gears, autobox);
  EXPECT_EQ(box.targetGear(), kGearFirst);
  // Never automatically out of reverse or neutral; a forced change is immediate.
  box.forceGear(kGearReverse, gears);
  box.update(5.0f, 0.99f, gears, autobox);
  EXPECT_EQ(box.currentGear(), kGearReverse);
  EXPECT_EQ(box.targetGear(), kGearReverse);
  EXPECT_FLOAT_EQ(box.effectiveRatio(gears), -16.0f);
}

}  // namespace
