#include "replay/state_hash.h"

#include "platform/build_info.h"
#include "platform/regular_file.h"

namespace ruvelo {
namespace {

// The collision mesh is a few megabytes; anything far larger is not ours.
constexpr std::size_t kMaxDataFileBytes = 512u * 1024u * 1024u;

}  // namespace

std::uint64_t stateHash(const HashedState& state) {
  Hash64 h;
  h.vec3(state.vehicle.position);
  h.quat(state.vehicle.rotation);
  h.vec3(state.vehicleVelocity);
  for (const RecordedPose& cone : state.cones) {
    h.vec3(cone.position);
    h.quat(cone.rotation);
  }
  h.f64(state.timeLeft);
  h.f32(state.power);
  h.u32(static_cast<std::uint32_t>(state.packets));
  h.u32(static_cast<std::uint32_t>(state.phase));
  return h.value();
}

std::uint64_t playDataHash(const std::string& collisionMeshPath) {
  std::string contents, why;
  if (!readRegularFile(collisionMeshPath, kMaxDataFileBytes, contents, why)) return 0;
  Hash64 h;
  h.bytes(contents.data(), contents.size());
  return h.value();
}

std::string gameVersion() {
  return buildVersion();
}

std::string gameBuild() {
  return buildCommit();
}

RecordingHeader runHeader(const std::string& collisionMeshPath, int width, int height, bool autopilot) {
  RecordingHeader header;
  header.gameVersion = gameVersion();
  header.build = gameBuild();
  header.dataHash = playDataHash(collisionMeshPath);
  header.width = width;
  header.height = height;
  header.autopilot = autopilot;
  return header;
}

}  // namespace ruvelo
