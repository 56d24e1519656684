// The snow's particle records and their fixed pool: slot search, spawning from the pool's own
// random sequence in a box above a centre, and ageing. No GL here; ParticleSystem draws the pool.
#pragma once

#include <glm/glm.hpp>
#include <vector>

#include "passes/snow_random.h"

namespace ruvelo {

struct Particle {
  glm::vec3 position{0.0f};
  glm::vec3 velocity{0.0f};  // subtracted from the position: a positive y falls
  glm::vec4 colour{1.0f};
  float life = 1.0f;  // seconds left; alive while > 0
  float size = 0.1f;
};
static_assert(sizeof(Particle) == 48, "a particle is twelve packed floats");

class ParticlePool {
 public:
  // `seed` starts the pool's own generator; 1 gives the sequence of an unseeded rand().
  explicit ParticlePool(unsigned count, unsigned seed = 1);

  // The slot the next spawn takes: the first dead slot from the last reused one to the end, else from
  // the start up to it, else slot 0. Remembers the choice as the last reused slot.
  unsigned findSlot();

  // Respawns `count` slots around centre + offset with five draws each (the fifth unused).
  void spawn(unsigned count, const glm::vec3& centre, const glm::vec3& offset);

  // Every slot loses dt of life; the still living ones fall and fade.
  void age(float dt);

  const std::vector<Particle>& particles() const { return particles_; }
  unsigned lastUsed() const { return lastUsed_; }
  unsigned size() const { return static_cast<unsigned>(particles_.size()); }

 private:
  std::vector<Particle> particles_;
  unsigned lastUsed_ = 0;
  SnowRandom random_;
};

// The flake's instance matrix: at the particle's position, turned like the camera (the upper 3 × 3 of
// the inverse view), scaled by its size.
glm::mat4 billboardMatrix(const Particle& particle, const glm::mat4& inverseView);

}  // namespace ruvelo
