// Snow pool: its own generator, slot search, spawning, ageing and the flakes' facing matrices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <glm/gtc/matrix_transform.hpp>

#include "passes/particle_pool.h"

namespace ruvelo {
namespace {

// The snow's generator repeats the C library's rand() exactly (so the pictures stay as they were
// when the snow drew from rand() itself), but keeps its state to itself.
TEST(SnowRandom, RepeatsRandSequenceWithItsOwnState) {
#ifdef __GLIBC__
  for (const unsigned seed : {1u, 0u, 1234u, 0x7fffffffu, 0xffffffffu}) {
    std::srand(seed);
    SnowRandom random(seed);
    for (int n = 0; n < 20000; ++n) {
      const int expected = std::rand();
      ASSERT_EQ(random.next(), expected) << "seed " << seed << ", draw " << n;
    }
  }
#endif
  SnowRandom a;
  SnowRandom b;
  for (int n = 0; n < 100; ++n) static_cast<void>(std::rand());
  for (int n = 0; n < 1000; ++n) ASSERT_EQ(a.next(), b.next());
}

TEST(ParticlePool, NewPoolHoldsDefaultFlakes) {
  const ParticlePool pool(2000);
  ASSERT_EQ(pool.size(), 2000u);
  const Particle& p = pool.particles()[1999];
  EXPECT_EQ(p.position, glm::vec3(0.0f));
  EXPECT_EQ(p.colour, glm::vec4(1.0f));
  EXPECT_FLOAT_EQ(p.life, 1.0f);
  EXPECT_FLOAT_EQ(p.size, 0.1f);
  EXPECT_EQ(pool.lastUsed(), 0u);
}

TEST(ParticlePool, SpawnUsesFiveDrawsPerFlakeWithTheFifthIgnored) {
  SnowRandom random(1234);
  int r[10];
  for (int& value : r) value = random.next();

  ParticlePool pool(4, 1234);  // all alive: both spawns go to slot 0, the second overwriting the first
  const glm::vec3 centre(10.0f, 20.0f, 30.0f);
  const glm::vec3 offset(1.0f, -2.0f, 3.0f);
  pool.spawn(1, centre, offset);
  pool.spawn(1, centre, offset);  // must start from r[5], not r[4]

  const float s1 = static_cast<float>(r[5] % 100 - 100) / 20.0f;
  const float s2 = static_cast<float>(r[6] % 100 - 50) / 30.0f;
  const float s3 = static_cast<float>(r[7] % 100 - 50) / 30.0f;
  const float s4 = static_cast<float>(r[8] % 100 - 50) / 20.0f;
  const Particle& p = pool.particles()[0];
  EXPECT_FLOAT_EQ(p.position.x, s2 * 10.0f + 11.0f);
  EXPECT_FLOAT_EQ(p.position.y, s4 * 2.5f + 18.0f);
  EXPECT_FLOAT_EQ(p.position.z, s3 * 10.0f + 33.0f);
  EXPECT_FLOAT_EQ(p.velocity.x, s2 * 0.05f);
  EXPECT_FLOAT_EQ(p.velocity.y, -0.5f * s1);
  EXPECT_FLOAT_EQ(p.velocity.z, s3 * 0.05f);
  EXPECT_FLOAT_EQ(p.life, 5.0f);
  EXPECT_FLOAT_EQ(p.size, -s1 / 50.0f);
  EXPECT_EQ(p.colour, glm::vec4(1.0f));
  EXPECT_FLOAT_EQ(pool.particles()[1].life, 1.0f);  // untouched
}

TEST(ParticlePool, SpawnedFlakesStayInTheirBoxAndFall) {
  ParticlePool pool(500, 7);
  // Kill the initial flakes so every spawn takes a fresh slot.
  pool.age(1.0f);
  const glm::vec3 centre(0.0f, 10.0f, 0.0f);
  const glm::vec3 offset(5.0f, 0.0f, -5.0f);
  pool.spawn(500, centre, offset);
  for (const Particle& p : pool.particles()) {
    ASSERT_FLOAT_EQ(p.life, 5.0f);
    EXPECT_GE(p.position.x, 5.0f - 50.0f / 3.0f - 1e-4f);
    EXPECT_LE(p.position.x, 5.0f + 49.0f / 3.0f + 1e-4f);
    EXPECT_GE(p.position.y, 10.0f - 6.25f - 1e-4f);
    EXPECT_LE(p.position.y, 10.0f + 6.125f + 1e-4f);
    EXPECT_GT(p.velocity.y, 0.0f);  // positive y velocity is subtracted: the flake falls
    EXPECT_GE(p.size, 0.001f - 1e-6f);
    EXPECT_LE(p.size, 0.1f + 1e-6f);
  }
}

TEST(ParticlePool, FirstSecondReusesSlotZeroThenTakesSlotsInTurn) {
  ParticlePool pool(2000, 99);
  // Four frames of 0.25 s: the initial flakes are alive at every spawn, so slot 0 takes them all.
  for (int frame = 0; frame < 4; ++frame) {
    pool.spawn(2, {0, 10, 0}, {0, 0, 0});
    pool.age(0.25f);
    EXPECT_EQ(pool.lastUsed(), 0u);
  }
  EXPECT_FLOAT_EQ(pool.particles()[1].life, 0.0f);  // every initial flake dies in the same frame
  EXPECT_FLOAT_EQ(pool.particles()[1999].life, 0.0f);

  pool.spawn(3, {0, 10, 0}, {0, 0, 0});
  EXPECT_EQ(pool.lastUsed(), 3u);
  for (unsigned i = 1; i <= 3; ++i) EXPECT_FLOAT_EQ(pool.particles()[i].life, 5.0f) << i;
  EXPECT_FLOAT_EQ(pool.particles()[4].life, 0.0f);
}

TEST(ParticlePool, SlotSearchGoesForwardWrapsAndFallsBackToZero) {
  ParticlePool pool(4, 5);
  pool.age(2.0f);                       // all dead
  pool.spawn(4, {0, 0, 0}, {0, 0, 0});  // slots 0..3 in turn
  EXPECT_EQ(pool.lastUsed(), 3u);
  EXPECT_EQ(pool.findSlot(), 0u);  // none dead: slot 0 is overwritten
  EXPECT_EQ(pool.lastUsed(), 0u);

  // Slot 0 dies first; the search starting at slot 3 wraps round to it.
  ParticlePool wrap(4);
  wrap.age(2.0f);
  wrap.spawn(1, {0, 0, 0}, {0, 0, 0});  // slot 0
  wrap.age(1.0f);
  wrap.spawn(3, {0, 0, 0}, {0, 0, 0});  // slots 1..3
  ASSERT_EQ(wrap.lastUsed(), 3u);
  wrap.age(4.5f);  // slot 0 at −0.5, slots 1..3 at 0.5
  EXPECT_EQ(wrap.findSlot(), 0u);
  // From slot 0 on, the first dead slot ahead is taken, living ones skipped.
  wrap.spawn(1, {0, 0, 0}, {0, 0, 0});
  wrap.age(1.0f);  // slots 1..3 die, slot 0 lives
  EXPECT_EQ(wrap.findSlot(), 1u);
}

TEST(ParticlePool, AgeingMovesAndFadesOnlyLivingFlakes) {
  ParticlePool pool(2, 3);
  pool.age(1.0f);  // both initial flakes dead at life 0
  pool.spawn(1, {0, 50, 0}, {0, 0, 0});
  const Particle before = pool.particles()[0];
  pool.age(0.5f);
  const Particle& living = pool.particles()[0];
  EXPECT_FLOAT_EQ(living.life, 4.5f);
  EXPECT_FLOAT_EQ(living.position.y, before.position.y - before.velocity.y * 0.5f);
  EXPECT_FLOAT_EQ(living.colour.a, 0.75f);
  const Particle& dead = pool.particles()[1];
  EXPECT_FLOAT_EQ(dead.life, -0.5f);  // keeps falling below zero
  EXPECT_EQ(dead.position, glm::vec3(0.0f));
  EXPECT_FLOAT_EQ(dead.colour.a, 1.0f);
}

TEST(ParticlePool, EmptyPoolIgnoresSpawns) {
  ParticlePool pool(0);
  pool.spawn(10, {0, 0, 0}, {0, 0, 0});
  pool.age(0.1f);
  EXPECT_EQ(pool.size(), 0u);
}

TEST(BillboardMatrix, FacesTheCameraAtTheFlakesPositionAndSize) {
  const glm::vec3 eye(30.0f, 5.0f, -12.0f);
  const glm::mat4 view = glm::lookAt(eye, glm::vec3(0.0f), glm::vec3(0, 1, 0));
  Particle p;
  p.position = {1.0f, 2.0f, 3.0f};
  p.size = 0.05f;
  const glm::mat4 m = billboardMatrix(p, glm::inverse(view));
  const glm::vec4 centre = m * glm::vec4(0, 0, 0, 1);
  EXPECT_NEAR(centre.x, 1.0f, 1e-5f);
  EXPECT_NEAR(centre.y, 2.0f, 1e-5f);
  EXPECT_NEAR(centre.z, 3.0f, 1e-5f);
  // The quad's normal points back at the camera direction; its edge is size long.
  const glm::vec3 normal = glm::normalize(glm::vec3(m * glm::vec4(0, 0, 1, 0)));
  const glm::vec3 toCamera = glm::normalize(eye);
  EXPECT_NEAR(glm::dot(normal, toCamera), 1.0f, 1e-5f);
  EXPECT_NEAR(glm::length(glm::vec3(m * glm::vec4(1, 0, 0, 0))), 0.05f, 1e-6f);
}

}  // namespace
}  // namespace ruvelo
