// What identifies a run's play: the hash of the state that decides the game (filled in by the
// session from its world and rules, so no physics is needed here), the hash of the data files that
// change how the game plays, and the game's version as written into recordings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "replay/recording.h"

namespace ruvelo {

// The values a state hash covers: the vehicle's pose and velocity, the cones' poses, the timer,
// power, packets and phase.
struct HashedState {
  RecordedPose vehicle;
  glm::vec3 vehicleVelocity{0.0f};
  std::vector<RecordedPose> cones;
  double timeLeft = 0.0;
  float power = 0.0f;
  int packets = 0;
  int phase = 0;
};

std::uint64_t stateHash(const HashedState& state);

// The hash of the level's collision mesh file (the vehicle, the cones and the items are defined in
// code, so the version covers them). 0 when the file cannot be read.
std::uint64_t playDataHash(const std::string& collisionMeshPath);

// The game's version and build as written into recordings.
std::string gameVersion();
std::string gameBuild();

// The header of a run made here: this version and build, the data hash, the window size, whether
// the autopilot drives.
RecordingHeader runHeader(const std::string& collisionMeshPath, int width, int height, bool autopilot);

}  // namespace ruvelo
