// Driving the built vehicle on flat ground: rest height, drive directions, steering, brakes,
// airborne state, frame-rate independence and robustness against long or uneven frames.
#include "physics/driving.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

// The physics classes live outside the game's namespace; the values they take and give are in it.
using namespace ruvelo;

namespace {

constexpr float kDt60 = 1.0f / 60.0f;

PhysicsWorldOptions noDebugger() {
  PhysicsWorldOptions o;
  o.connectDebugger = false;
  return o;
}

bool finite(const glm::vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A world with a drivable ground slab (top at y = 0, the chassis collides with it, as with the
// game's slab) and the game's vehicle, enabled as in the first playing frame.
struct FlatGround {
  PhysicsWorld world{noDebugger()};
  VehicleActorTag actorTag;
  WheelShapeTag wheelTags[6];
  std::unique_ptr<Vehicle> vehicle;
  DrivingState state;

  explicit FlatGround(const glm::vec3& start = glm::vec3(0.0f, 2.3f, 0.0f)) {
    ShapeInfo ground;
    ground.simFilter = FilterData{8, 2, kPairFlagModifyContacts | kPairFlagDetectCcdContact, 0};
    markDrivable(ground.queryFilter);
    ground.material = &world.defaultMaterial();
    // A plane, not a wide box: rays against a box thousands of metres wide miss now and then, and a
    // wheel that loses its ground for a frame makes the drive wander.
    auto plane = makeSharedShape(std::make_unique<btStaticPlaneShape>(btVector3(0, 1, 0), 0.0f), ground);
    world.addObject(world.createStaticBody(plane, btTransform::getIdentity()));
    vehicle = buildVehicle(makeVehicleSpec(world.defaultMaterial(), &actorTag, wheelTags), world, start,
                           vehicleStartRotation());
    vehicle->enableForPlay(world);
  }

  // Frames of dt as the game runs them: the vehicle step, then the keys for the next step. The
  // optional check runs after every frame.
  void drive(const DriveCommand& keys, float seconds, float dt = kDt60,
             const std::function<void()>& afterFrame = nullptr) {
    const int frames = static_cast<int>(std::lround(seconds / dt));
    for (int i = 0; i < frames; ++i) {
      stepVehicle(world, *vehicle, state, dt);
      applyDriveCommand(keys, *vehicle, state);
      if (afterFrame) afterFrame();
    }
  }

  // Accelerates with W until the forward speed reaches the target (at most 20 s).
  void reachSpeed(float target) {
    DriveCommand w;
    w.forward = true;
    for (int i = 0; i < 1200 && vehicle->forwardSpeed() < target; ++i) drive(w, kDt60);
  }

  glm::vec3 forward() const { return vehicle->actorRotation() * glm::vec3(0.0f, 0.0f, 1.0f); }
  glm::vec3 up() const { return vehicle->actorRotation() * glm::vec3(0.0f, 1.0f, 0.0f); }
};

DriveCommand keys(bool w, bool a, bool s, bool d, bool b = false) {
  DriveCommand k;
  k.forward = w;
  k.turnLeft = a;
  k.reverse = s;
  k.turnRight = d;
  k.brake = b;
  return k;
}

TEST(VehicleDrive, SettlesAtRideHeightWithoutDrift) {
  FlatGround g;
  g.drive({}, 3.0f);
  const glm::vec3 p = g.vehicle->actorPosition();
  ASSERT_TRUE(finite(p));
  EXPECT_NEAR(p.y, 2.0f, 0.02f);
  EXPECT_LT(std::hypot(p.x, p.z), 0.05f);
  EXPECT_LT(g.vehicle->speed(), 0.01f);
  float total = 0.0f;
  for (int i = 0; i < g.vehicle->numWheels(); ++i) {
    EXPECT_FALSE(g.vehicle->wheelState(i).inAir) << "wheel " << i;
    EXPECT_NEAR(g.vehicle->wheelState(i).jounce, 0.0f, 0.01f) << "wheel " << i;
    total += g.vehicle->wheelState(i).suspensionForce;
  }
  EXPECT_NEAR(total, 1500.0f * 10.0f, 0.02f * 15000.0f);
  EXPECT_FALSE(g.state.vehicleInAir);
  EXPECT_GT(g.up().y, 0.999f);
}

TEST(VehicleDrive, AcceleratesForwardThroughTheGears) {
  FlatGround g;
  g.drive({}, 1.0f);
  int highestGear = g.vehicle->currentGear();
  g.drive(keys(true, false, false, false), 12.0f, kDt60,
          [&] { highestGear = std::max(highestGear, g.vehicle->currentGear()); });
  const glm::vec3 p = g.vehicle->actorPosition();
  EXPECT_GT(p.z, 100.0f);
  EXPECT_LT(std::fabs(p.x), 1.0f);
  EXPECT_GT(g.vehicle->forwardSpeed(), 25.0f);
  EXPECT_GE(highestGear, vehicle::kGearFirst + 3);
}

TEST(VehicleDrive, ReverseKeyEngagesReverseAtOnceAndBacksUp) {
  FlatGround g;
  g.drive({}, 1.0f);
  g.drive(keys(false, false, true, false), kDt60);
  EXPECT_EQ(g.vehicle->currentGear(), vehicle::kGearReverse);
  EXPECT_EQ(g.vehicle->targetGear(), vehicle::kGearReverse);
  g.drive(keys(false, false, true, false), 3.0f);
  EXPECT_LT(g.vehicle->actorPosition().z, -3.0f);
  EXPECT_LT(g.vehicle->forwardSpeed(), -2.0f);
  EXPECT_EQ(g.vehicle->currentGear(), vehicle::kGearReverse);  // no automatic change out of reverse

  // W in reverse goes straight to first and drives forwards again.
  g.drive(keys(true, false, false, false), kDt60);
  EXPECT_EQ(g.vehicle->currentGear(), vehicle::kGearFirst);
  EXPECT_EQ(g.vehicle->targetGear(), vehicle::kGearFirst);
  g.drive(keys(true, false, false, false), 4.0f);
  EXPECT_GT(g.vehicle->forwardSpeed(), 2.0f);
}

TEST(VehicleDrive, HoldingForwardAndReverseEndsInReverse) {
  FlatGround g;
  g.drive({}, 0.5f);
  const DriveResult r = applyDriveCommand(keys(true, false, true, false), *g.vehicle, g.state);
  EXPECT_TRUE(r.accelerateHeld);
  EXPECT_TRUE(r.reverseHeld);
  EXPECT_TRUE(r.unflippedCleared);
  EXPECT_TRUE(g.state.drivingInput.accelerate);
  EXPECT_EQ(g.vehicle->currentGear(), vehicle::kGearReverse);
}

TEST(VehicleDrive, KeyATurnsTowardsPlusXAndKeyDTowardsMinusX) {
  for (bool left : {true, false}) {
    FlatGround g;
    g.drive({}, 0.5f);
    g.reachSpeed(8.0f);
    const float xBefore = g.vehicle->actorPosition().x;
    g.drive(keys(true, left, false, !left), 2.0f);
    const float dx = g.vehicle->actorPosition().x - xBefore;
    const glm::vec3 f = g.forward();
    if (left) {
      EXPECT_GT(dx, 2.0f);
      EXPECT_GT(f.x, 0.3f);
      EXPECT_TRUE(g.state.drivingInput.steerRight);
    } else {
      EXPECT_LT(dx, -2.0f);
      EXPECT_LT(f.x, -0.3f);
      EXPECT_TRUE(g.state.drivingInput.steerLeft);
    }
    EXPECT_GT(g.up().y, 0.95f) << "rolled over while turning";
  }
}

TEST(VehicleDrive, BrakeStopsFromTenMetresPerSecondWithoutReversingAWheel) {
  FlatGround g;
  g.drive({}, 0.5f);
  g.reachSpeed(10.0f);
  ASSERT_GE(g.vehicle->forwardSpeed(), 10.0f);
  const float zStart = g.vehicle->actorPosition().z;
  bool reversed = false;
  g.drive(keys(false, false, false, false, true), 4.0f, kDt60, [&] {
    for (int i = 0; i < g.vehicle->numWheels(); ++i)
      if (g.vehicle->wheelState(i).omega < -1e-3f) reversed = true;
  });
  EXPECT_FALSE(reversed);
  EXPECT_LT(g.vehicle->speed(), 0.1f);
  const float stoppingDistance = g.vehicle->actorPosition().z - zStart;
  EXPECT_GT(stoppingDistance, 3.0f);
  EXPECT_LT(stoppingDistance, 25.0f);
}

// Full throttle for 8 s, then lift off and roll straight to a stop, at three frame rates. Engine
// braking goes through the clutch and the limited-slip differential to the driven wheels and the
// automatic box changes down on the way: no wheel may turn backwards or lock, the driven wheels
// stay together, and the engine keeps turning with them instead of falling to idle.
TEST(VehicleDrive, LiftOffRollsEveryWheelWithTheVehicleAndTheEngineWithTheWheels) {
  for (const float dt : {1.0f / 10.0f, kDt60, 1.0f / 144.0f}) {
    SCOPED_TRACE(dt);
    FlatGround g;
    g.drive(keys(true, false, false, false), 8.0f, dt);
    ASSERT_GT(g.vehicle->forwardSpeed(), 22.0f);
    const vehicle::GearsData& gears = g.vehicle->model().data().gears;
    int framesChecked = 0;
    int changesDown = 0;
    int gear = g.vehicle->currentGear();
    float worstSpread = 0.0f;
    float slowestEngineShare = 1.0f;
    float slowestWheelShare = 1.0f;
    float slowestEngineAboveFive = 1e9f;
    g.drive({}, 40.0f, dt, [&] {
      const float speed = g.vehicle->forwardSpeed();
      if (g.vehicle->currentGear() < gear) ++changesDown;
      gear = g.vehicle->currentGear();
      if (speed <= 2.0f) return;
      ++framesChecked;
      float low = 1e9f, high = 0.0f, average = 0.0f;
      for (int i = 0; i < g.vehicle->numWheels(); ++i) {
        const float omega = g.vehicle->wheelState(i).omega;
        slowestWheelShare = std::min(slowestWheelShare, omega * 0.5f / speed);
        if (i >= 4) continue;
        low = std::min(low, omega);
        high = std::max(high, omega);
        average += 0.25f * omega;
      }
      worstSpread = std::max(worstSpread, (high - low) / high);
      if (speed > 5.0f) slowestEngineAboveFive = std::min(slowestEngineAboveFive, g.vehicle->engineOmega());
      if (gear >= vehicle::kGearFirst && gear == g.vehicle->targetGear()) {
        const float clutchSide = gears.ratios[gear] * gears.finalRatio * average;
        slowestEngineShare = std::min(slowestEngineShare, g.vehicle->engineOmega() / clutchSide);
      }
    });
    EXPECT_GT(framesChecked, static_cast<int>(5.0f / dt)) << "rolls for seconds";
    EXPECT_LT(g.vehicle->forwardSpeed(), 2.0f) << "and comes to rest";
    EXPECT_GE(changesDown, 1) << "the box changes down on the way";
    EXPECT_GE(gear, vehicle::kGearFirst);
    // Every wheel rolls forwards at no less than 80 % of the road speed: none locks or turns back.
    EXPECT_GT(slowestWheelShare, 0.8f);
    EXPECT_LT(worstSpread, 0.2f) << "driven wheels within 20 % of each other";
    EXPECT_GT(slowestEngineShare, 0.7f) << "the engine follows the wheels through the clutch";
    EXPECT_GT(slowestEngineAboveFive, 100.0f) << "well above idle while rolling";
  }
}

TEST(VehicleDrive, SteeringIsCappedByForwardSpeed) {
  FlatGround g;
  g.drive({}, 0.5f);
  g.reachSpeed(30.0f);
  // Hold A at speed: the steer channel may not pass the table's value (0.125 at 30 m/s).
  g.drive(keys(true, true, false, false), 1.0f);
  const float speed = std::fabs(g.vehicle->forwardSpeed());
  const float steer = g.vehicle->model().analogInputs().value[vehicle::kInputSteerRight];
  ASSERT_GE(speed, 29.0f);
  EXPECT_LE(steer, steerVsSpeed().evaluate(speed) + 1e-4f);
  EXPECT_GT(steer, 0.09f);
  EXPECT_GT(g.up().y, 0.95f);
}

TEST(VehicleDrive, AirborneVehicleHasAllWheelsInAirAndNoTyreForce) {
  FlatGround g(glm::vec3(0.0f, 12.0f, 0.0f));
  g.drive(keys(true, true, false, false), 5.0f * kDt60);
  EXPECT_TRUE(g.state.vehicleInAir);
  EXPECT_TRUE(g.vehicle->isInAir());
  for (int i = 0; i < g.vehicle->numWheels(); ++i) {
    const vehicle::WheelState& w = g.vehicle->wheelState(i);
    EXPECT_TRUE(w.inAir);
    EXPECT_FLOAT_EQ(w.jounce, -0.1f);
    EXPECT_EQ(w.longForce, 0.0f);
    EXPECT_EQ(w.latForce, 0.0f);
    EXPECT_EQ(w.suspensionForce, 0.0f);
  }
  // Free fall: the vehicle adds nothing, gravity alone acts.
  EXPECT_NEAR(g.vehicle->linearVelocity().x, 0.0f, 1e-4f);
  EXPECT_NEAR(g.vehicle->linearVelocity().z, 0.0f, 1e-4f);
  // In the air the steering is not limited by the speed table.
  g.drive(keys(false, true, false, false), 0.4f);
  ASSERT_TRUE(g.state.vehicleInAir);
  EXPECT_GT(g.vehicle->model().analogInputs().value[vehicle::kInputSteerRight], 0.9f);
  // It lands on its wheels.
  g.drive({}, 4.0f);
  EXPECT_FALSE(g.state.vehicleInAir);
  EXPECT_NEAR(g.vehicle->actorPosition().y, 2.0f, 0.05f);
}

// The same script of keys at three frame rates.
glm::vec3 runScript(float dt) {
  FlatGround g;
  g.drive({}, 1.0f, dt);
  g.drive(keys(true, false, false, false), 3.0f, dt);
  g.drive(keys(true, true, false, false), 1.5f, dt);
  g.drive({}, 1.0f, dt);
  g.drive(keys(false, false, false, true, true), 1.0f, dt);
  return g.vehicle->actorPosition();
}

TEST(VehicleDrive, SameScriptEndsInTheSamePlaceAtAnyFrameRate) {
  const glm::vec3 at60 = runScript(1.0f / 60.0f);
  const glm::vec3 at30 = runScript(1.0f / 30.0f);
  const glm::vec3 at144 = runScript(1.0f / 144.0f);
  ASSERT_TRUE(finite(at30) && finite(at60) && finite(at144));
  EXPECT_GT(at60.z, 10.0f);
  EXPECT_GT(at60.x, 1.0f);
  // Keys act one frame late and the smoothing moves per frame, so paths differ a little with the
  // frame length; a step-size fault (a missing dt, a step that explodes) gives tens of metres.
  const float tolerance = 0.03f * glm::length(at60 - glm::vec3(0.0f, 2.3f, 0.0f)) + 0.5f;
  EXPECT_LT(glm::length(at30 - at60), tolerance)
      << at30.x << " " << at30.z << " vs " << at60.x << " " << at60.z;
  EXPECT_LT(glm::length(at144 - at60), tolerance)
      << at144.x << " " << at144.z << " vs " << at60.x << " " << at60.z;
}

TEST(VehicleDrive, LongFirstFrameThenUnevenFramesStayOnTheWheels) {
  FlatGround g(vehicleStartPosition());
  stepVehicle(g.world, *g.vehicle, g.state, 2.0f);
  EXPECT_FALSE(g.state.vehicleInAir);
  EXPECT_NEAR(g.vehicle->actorPosition().y, 2.0f, 0.1f);
  bool ok = true;
  float t = 0.0f;
  for (int i = 0; t < 10.0f; ++i) {
    const float dt = (i % 2 == 0) ? 0.005f : 0.05f;
    t += dt;
    stepVehicle(g.world, *g.vehicle, g.state, dt);
    applyDriveCommand(keys(true, (i / 200) % 2 == 1, false, false), *g.vehicle, g.state);
    const glm::vec3 p = g.vehicle->actorPosition();
    if (!finite(p) || !finite(g.vehicle->linearVelocity()) || p.y < 1.5f || p.y > 3.5f || g.up().y < 0.9f)
      ok = false;
  }
  EXPECT_TRUE(ok) << "at " << g.vehicle->actorPosition().y << " up " << g.up().y;
  EXPECT_GT(glm::length(g.vehicle->actorPosition() - vehicleStartPosition()), 50.0f);
}

TEST(VehicleDrive, RecoveryRightsTheVehicleOnlyAtRest) {
  FlatGround g;
  // Upside down on the ground, turned to face −x.
  g.vehicle->setActorPose(glm::vec3(3.0f, 1.3f, 4.0f), glm::angleAxis(3.14159f, glm::vec3(0, 0, 1)) *
                                                           glm::angleAxis(1.5708f, glm::vec3(0, 1, 0)));
  g.drive({}, 4.0f);
  ASSERT_LT(g.up().y, 0.0f);
  ASSERT_LE(g.vehicle->speed(), kRecoveryMaxSpeed);
  const glm::vec3 before = g.vehicle->actorPosition();
  DriveCommand space;
  space.recover = true;
  const DriveResult r = applyDriveCommand(space, *g.vehicle, g.state);
  EXPECT_TRUE(r.unflippedSet);
  const glm::vec3 after = g.vehicle->actorPosition();
  EXPECT_NEAR(after.y - before.y, 2.0f, 1e-4f);
  EXPECT_NEAR(after.x, before.x, 1e-4f);
  EXPECT_NEAR(after.z, before.z, 1e-4f);
  EXPECT_GT(g.forward().z, 0.9999f);
  EXPECT_FALSE(g.vehicle->isSleeping());
  g.drive({}, 3.0f);
  EXPECT_GT(g.up().y, 0.99f);
  EXPECT_NEAR(g.vehicle->actorPosition().y, 2.0f, 0.05f);

  // Moving: the key does nothing.
  g.reachSpeed(3.0f);
  const glm::vec3 moving = g.vehicle->actorPosition();
  EXPECT_FALSE(applyDriveCommand(space, *g.vehicle, g.state).unflippedSet);
  EXPECT_NEAR(g.vehicle->actorPosition().y, moving.y, 1e-5f);
}

TEST(VehicleDrive, SleepingVehicleWakesForInput) {
  FlatGround g;
  g.drive({}, 6.0f);
  ASSERT_TRUE(g.vehicle->isSleeping());
  EXPECT_FALSE(g.state.vehicleInAir);
  g.drive(keys(true, false, false, false), 1.5f);
  EXPECT_FALSE(g.vehicle->isSleeping());
  EXPECT_GT(g.vehicle->forwardSpeed(), 1.0f);
}

}  // namespace
