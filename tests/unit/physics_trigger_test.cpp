// Trigger pairs after each step, the game's trigger record, removing items and disabled bodies.
#include "physics/callbacks.h"
#include "physics/filtering.h"
#include "physics/physics_world.h"
#include "physics/vehicle_tags.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Keeps every reported pair and forwards each report to the game's record.
struct Recorder : SimulationEventCallback {
  void onTrigger(const TriggerPair* pairs, uint32_t count) override {
    ++calls;
    all.insert(all.end(), pairs, pairs + count);
    record.onTrigger(pairs, count);
  }
  int count(TriggerStatus status) const {
    int n = 0;
    for (const TriggerPair& p : all) n += p.status == status;
    return n;
  }
  int calls = 0;
  std::vector<TriggerPair> all;
  MySimulationCallback record;
};

struct TriggerWorld {
  TriggerWorld() : world(PhysicsWorldOptions{false}) {
    world.setSimulationEventCallback(&recorder);
    ShapeInfo trigger;
    batteryShape = makeSharedShape(std::make_unique<btBoxShape>(btVector3(2, 2, 2)), trigger);
  }
  btCollisionObject* addTrigger(const btVector3& at) {
    btCollisionObject* t = world.createTrigger(batteryShape, btTransform(btQuaternion::getIdentity(), at));
    world.addObject(t);
    return t;
  }
  // A box stands for the vehicle unless `vehicle` is false (then it is a cone or any other body).
  btRigidBody* makeBox(const btVector3& at, float half = 0.5f, bool add = true, bool vehicle = true) {
    ShapeInfo info;
    info.simFilter = kConeSimFilter;
    btVector3 inertia;
    btBoxShape box(btVector3(half, half, half));
    box.calculateLocalInertia(1, inertia);
    btRigidBody* b = world.createDynamicBody(
        makeSharedShape(std::make_unique<btBoxShape>(btVector3(half, half, half)), info),
        btTransform(btQuaternion::getIdentity(), at), 1, inertia);
    if (vehicle) b->setUserPointer(&vehicleTag);
    if (add) world.addObject(b);
    return b;
  }
  btRigidBody* addSlab() {
    ShapeInfo info;
    info.simFilter = kGroundSimFilter;
    markDrivable(info.queryFilter);
    btRigidBody* slab =
        world.createStaticBody(makeSharedShape(std::make_unique<btBoxShape>(btVector3(100, 0.5f, 100)), info),
                               btTransform::getIdentity());
    world.addObject(slab);
    return slab;
  }
  void run(int steps, float dt = 1.0f / 60) {
    for (int i = 0; i < steps; ++i) world.step(dt);
  }
  PhysicsWorld world;
  Recorder recorder;
  VehicleActorTag vehicleTag{this};
  std::shared_ptr<btCollisionShape> batteryShape;
};

TEST(TriggerScan, BoxFallingThroughBatteryGivesOneFoundAndOneLost) {
  for (float dt : {1.0f / 60, 1.0f / 240}) {
    TriggerWorld w;
    btCollisionObject* battery = w.addTrigger(btVector3(0, 10, 0));
    btRigidBody* box = w.makeBox(btVector3(0, 14, 0));
    w.run(static_cast<int>(2.5f / dt), dt);
    ASSERT_LT(box->getWorldTransform().getOrigin().y(), 0.0f);
    EXPECT_EQ(w.recorder.count(TriggerStatus::TouchFound), 1);
    EXPECT_EQ(w.recorder.count(TriggerStatus::TouchLost), 1);
    ASSERT_FALSE(w.recorder.all.empty());
    EXPECT_EQ(w.recorder.all[0].triggerObject, battery);
    EXPECT_EQ(w.recorder.all[0].triggerShape, w.batteryShape.get());
    EXPECT_EQ(w.recorder.all[0].otherObject, box);
    EXPECT_TRUE(w.recorder.record.isTriggered());
    EXPECT_EQ(w.recorder.record.getTriggerActor(), battery);
  }
}

TEST(TriggerScan, TriggerOverlappingTheSlabReportsNothing) {
  TriggerWorld w;
  w.addSlab();
  w.addTrigger(btVector3(0, 1, 0));
  w.run(60);
  EXPECT_EQ(w.recorder.calls, 0);
}

TEST(TriggerScan, BodyAsleepInsideATriggerReportsNothingNew) {
  TriggerWorld w;
  w.addSlab();
  w.addTrigger(btVector3(0, 2, 0));
  btRigidBody* box = w.makeBox(btVector3(0, 1.5f, 0));
  w.run(300);
  ASSERT_EQ(box->getActivationState(), ISLAND_SLEEPING);
  const int callsWhenAsleep = w.recorder.calls;
  EXPECT_EQ(w.recorder.count(TriggerStatus::TouchFound), 1);
  w.run(120);
  EXPECT_EQ(w.recorder.calls, callsWhenAsleep);
  EXPECT_EQ(w.recorder.count(TriggerStatus::TouchLost), 0);
}

TEST(TriggerScan, TwoNewPairsInOneStepRecordOnlyTheFirst) {
  TriggerWorld w;
  btCollisionObject* first = w.addTrigger(btVector3(-1, 0, 0));
  btCollisionObject* second = w.addTrigger(btVector3(1, 0, 0));
  w.makeBox(btVector3(0, 0, 0));
  w.world.dynamicsWorld().setGravity(btVector3(0, 0, 0));
  w.run(2);
  ASSERT_EQ(w.recorder.calls, 1);
  ASSERT_EQ(w.recorder.all.size(), 2u);
  EXPECT_EQ(w.recorder.all[0].triggerObject, first);  // first added, first reported
  EXPECT_EQ(w.recorder.record.getTriggerActor(), first);
  w.recorder.record.clearTriggered();
  // The second item is collected only when it is reported again as a new touch.
  w.run(10);
  EXPECT_FALSE(w.recorder.record.isTriggered());
  w.world.removeObject(first);
  w.world.removeObject(second);
  w.world.addObject(second);
  w.run(2);
  EXPECT_TRUE(w.recorder.record.isTriggered());
  EXPECT_EQ(w.recorder.record.getTriggerActor(), second);
}

TEST(SimulationCallback, RecordsFirstPairAndIgnoresTheRecordedActor) {
  btCollisionObject a, b;
  btBoxShape shapeA(btVector3(1, 1, 1)), shapeB(btVector3(1, 1, 1));
  MySimulationCallback callback;
  EXPECT_FALSE(callback.isTriggered());
  EXPECT_EQ(callback.getTriggerActor(), nullptr);

  btCollisionObject car, cone;
  VehicleActorTag tag{&car};
  car.setUserPointer(&tag);
  TriggerPair pairs[2] = {{&a, &shapeA, &car, nullptr, TriggerStatus::TouchFound},
                          {&b, &shapeB, &car, nullptr, TriggerStatus::TouchFound}};
  callback.onTrigger(pairs, 2);
  EXPECT_TRUE(callback.isTriggered());
  EXPECT_EQ(callback.getTriggerActor(), &a);
  EXPECT_EQ(callback.getTriggerShape(), &shapeA);

  callback.clearTriggered();
  TriggerPair lostA{&a, &shapeA, &car, nullptr, TriggerStatus::TouchLost};
  callback.onTrigger(&lostA, 1);
  EXPECT_FALSE(callback.isTriggered());

  TriggerPair lostB{&b, &shapeB, &car, nullptr, TriggerStatus::TouchLost};
  callback.onTrigger(&lostB, 1);
  EXPECT_TRUE(callback.isTriggered());
  EXPECT_EQ(callback.getTriggerActor(), &b);
  EXPECT_EQ(callback.getTriggerShape(), &shapeB);
  callback.onTrigger(nullptr, 0);
  EXPECT_EQ(callback.getTriggerActor(), &b);

  // Only the vehicle collects: a cone's pair is passed over, also when it comes first in a report.
  callback.clearTriggered();
  TriggerPair coneFirst[2] = {{&a, &shapeA, &cone, nullptr, TriggerStatus::TouchFound},
                              {&a, &shapeA, nullptr, nullptr, TriggerStatus::TouchFound}};
  callback.onTrigger(coneFirst, 2);
  EXPECT_FALSE(callback.isTriggered());
  coneFirst[1].otherObject = &car;
  callback.onTrigger(coneFirst, 2);
  EXPECT_TRUE(callback.isTriggered());
  EXPECT_EQ(callback.getTriggerActor(), &a);
}

TEST(ItemRemoval, AConePushedIntoABatteryChangesNothing) {
  TriggerWorld w;
  w.addSlab();
  btCollisionObject* battery = w.addTrigger(btVector3(0, 2, 0));
  w.makeBox(btVector3(0, 5, 0), 0.5f, true, false);  // a cone falls into the box and rests there
  w.run(60);
  EXPECT_GE(w.recorder.count(TriggerStatus::TouchFound), 1);  // the world saw the touch …
  EXPECT_FALSE(w.recorder.record.isTriggered());              // … the game's record did not
  EXPECT_EQ(w.recorder.record.getTriggerActor(), nullptr);
  // The vehicle arriving later still collects it.
  w.makeBox(btVector3(0.5f, 5, 0));
  w.run(60);
  EXPECT_TRUE(w.recorder.record.isTriggered());
  EXPECT_EQ(w.recorder.record.getTriggerActor(), battery);
}

TEST(ItemRemoval, RecordedTriggerRemovedOnceAndNeverCollectedAgain) {
  TriggerWorld w;
  w.addSlab();
  btCollisionObject* battery = w.addTrigger(btVector3(0, 2, 0));
  btCollisionObject* other = w.addTrigger(btVector3(50, 2, 0));
  w.makeBox(btVector3(0, 1.5f, 0));
  w.run(5);
  ASSERT_TRUE(w.recorder.record.isTriggered());
  ASSERT_EQ(w.recorder.record.getTriggerActor(), battery);
  int collected = 0;
  for (int frame = 0; frame < 120; ++frame) {
    w.world.step(1.0f / 60);
    if (w.recorder.record.isTriggered()) {
      ++collected;
      w.world.removeObject(w.recorder.record.getTriggerActor());
      w.recorder.record.clearTriggered();
    }
  }
  w.world.removeObject(battery);  // a second removal changes nothing
  w.run(60);
  EXPECT_EQ(collected, 1);
  EXPECT_FALSE(w.world.contains(battery));
  EXPECT_TRUE(w.world.contains(other));
  EXPECT_EQ(w.recorder.count(TriggerStatus::TouchLost), 0);  // removal forgets its pairs
  EXPECT_EQ(other->getCollisionShape(), w.batteryShape.get());
}

TEST(ItemRemoval, RemovingASupportWakesWhatRestsOnIt) {
  TriggerWorld w;
  ShapeInfo info;
  info.simFilter = kGroundSimFilter;
  btRigidBody* support =
      w.world.createStaticBody(makeSharedShape(std::make_unique<btBoxShape>(btVector3(5, 0.5f, 5)), info),
                               btTransform(btQuaternion::getIdentity(), btVector3(0, 3.5f, 0)));
  w.world.addObject(support);
  btRigidBody* box = w.makeBox(btVector3(0, 4.5f, 0));
  w.run(300);
  ASSERT_EQ(box->getActivationState(), ISLAND_SLEEPING);
  w.world.removeObject(support);
  w.run(60);
  EXPECT_LT(box->getWorldTransform().getOrigin().y(), 0.0f);
}

TEST(DisabledBody, NeitherMovesNorTriggersAndFallsOnceEnabled) {
  TriggerWorld w;
  w.addTrigger(btVector3(0, 2, 0));
  btRigidBody* box = w.makeBox(btVector3(0, 2, 0), 0.5f, false);
  w.world.setSimulationEnabled(box, false);
  w.world.addObject(box);
  EXPECT_TRUE(w.world.contains(box));
  EXPECT_FALSE(w.world.isSimulationEnabled(box));
  w.run(120);
  EXPECT_EQ(box->getWorldTransform().getOrigin(), btVector3(0, 2, 0));
  EXPECT_EQ(w.recorder.calls, 0);

  w.world.setSimulationEnabled(box, true);
  w.run(60);
  EXPECT_LT(box->getWorldTransform().getOrigin().y(), -1.0f);
  EXPECT_GE(w.recorder.count(TriggerStatus::TouchFound), 1);
}

TEST(Stepping, OneStepOfExactlyTheFrameTimeAndNoneForZero) {
  TriggerWorld w;
  btRigidBody* box = w.makeBox(btVector3(0, 100, 0));
  w.world.step(0.0f);
  w.world.step(-1.0f);
  EXPECT_EQ(w.world.stepCount(), 0u);
  EXPECT_EQ(box->getWorldTransform().getOrigin().y(), 100.0f);
  w.world.step(3.0f);  // semi-implicit Euler: v = -30, y -= 90
  EXPECT_NEAR(box->getLinearVelocity().y(), -30.0f, 1e-3f);
  EXPECT_NEAR(box->getWorldTransform().getOrigin().y(), 10.0f, 1e-3f);
}

}  // namespace

TEST(Stepping, ANonFinitePoseIsReportedOnce) {
  TriggerWorld w;
  btRigidBody* box = w.makeBox(btVector3(0, 5, 0));
  testing::internal::CaptureStderr();
  w.run(3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  box->getWorldTransform().setOrigin(btVector3(0, std::nanf(""), 0));
  testing::internal::CaptureStderr();
  w.run(3);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR: physics: a body's pose is not finite"), std::string::npos) << err;
  EXPECT_EQ(err.find("not finite", err.find("not finite") + 1), std::string::npos) << "said once";
}
