#include "passes/particle_pool.h"

#include <glm/gtc/matrix_transform.hpp>

namespace ruvelo {

ParticlePool::ParticlePool(unsigned count, unsigned seed) : particles_(count), random_(seed) {}

unsigned ParticlePool::findSlot() {
  const unsigned count = size();
  for (unsigned i = lastUsed_; i < count; ++i) {
    if (particles_[i].life <= 0.0f) return lastUsed_ = i;
  }
  for (unsigned i = 0; i < lastUsed_ && i < count; ++i) {
    if (particles_[i].life <= 0.0f) return lastUsed_ = i;
  }
  return lastUsed_ = 0;
}

void ParticlePool::spawn(unsigned count, const glm::vec3& centre, const glm::vec3& offset) {
  if (particles_.empty()) return;
  for (unsigned n = 0; n < count; ++n) {
    Particle& p = particles_[findSlot()];
    const int r1 = random_.next();
    const int r2 = random_.next();
    const int r3 = random_.next();
    const int r4 = random_.next();
    static_cast<void>(random_.next());  // the fifth draw is unused but still advances the sequence
    const float s1 = static_cast<float>(r1 % 100 - 100) / 20.0f;
    const float s2 = static_cast<float>(r2 % 100 - 50) / 30.0f;
    const float s3 = static_cast<float>(r3 % 100 - 50) / 30.0f;
    const float s4 = static_cast<float>(r4 % 100 - 50) / 20.0f;
    p.position = glm::vec3(s2 * 10.0f, s4 * 2.5f, s3 * 10.0f) + centre + offset;
    p.velocity = glm::vec3(s2 * 0.05f, s1 * -0.5f, s3 * 0.05f);
    p.colour = glm::vec4(1.0f);
    p.life = 5.0f;
    p.size = -s1 / 50.0f;
  }
}

void ParticlePool::age(float dt) {
  for (Particle& p : particles_) {
    p.life -= dt;
    if (p.life > 0.0f) {
      p.position -= p.velocity * dt;
      p.colour.a -= 0.5f * dt;
    }
  }
}

glm::mat4 billboardMatrix(const Particle& particle, const glm::mat4& inverseView) {
  glm::mat4 m = glm::translate(glm::mat4(1.0f), particle.position);
  for (int column = 0; column < 3; ++column) {
    for (int row = 0; row < 3; ++row) m[column][row] = inverseView[column][row];
  }
  return glm::scale(m, glm::vec3(particle.size));
}

}  // namespace ruvelo
