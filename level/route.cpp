#include "level/route.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::level {

namespace {

// The route leaves the loop road on its way north from the south-east junction once it is this far
// past zone 1's gate, so the whole gate has been driven through.
constexpr float kPastLastGate = 15.0f;

void appendStraight(std::vector<glm::vec2>& out, glm::vec2 from, glm::vec2 to) {
  const float length = glm::length(to - from);
  const int steps = std::max(1, static_cast<int>(std::ceil(length / kRouteSpacing)));
  for (int i = 1; i <= steps; ++i) out.push_back(from + (to - from) * (static_cast<float>(i) / steps));
}

// Replaces each inner corner by an arc tangent to both legs (radius shrunk where a leg is short).
std::vector<glm::vec2> roundCorners(const std::vector<glm::vec2>& corners) {
  std::vector<glm::vec2> out{corners.front()};
  glm::vec2 cursor = corners.front();
  for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
    const glm::vec2 c = corners[i];
    const glm::vec2 in = glm::normalize(c - corners[i - 1]);
    const glm::vec2 outDir = glm::normalize(corners[i + 1] - c);
    const float turn = std::acos(std::clamp(glm::dot(in, outDir), -1.0f, 1.0f));
    if (turn < 1e-3f) continue;
    const float legRoom = 0.45f * std::min(glm::length(c - corners[i - 1]), glm::length(corners[i + 1] - c));
    const float tangent = std::min(kRouteCornerRadius * std::tan(turn * 0.5f), legRoom);
    const float radius = tangent / std::tan(turn * 0.5f);
    const glm::vec2 arcStart = c - in * tangent;
    appendStraight(out, cursor, arcStart);
    // Centre of the arc: to the side the route turns to.
    const float side = (in.x * outDir.y - in.y * outDir.x) > 0.0f ? 1.0f : -1.0f;
    const glm::vec2 normal = glm::vec2(-in.y, in.x) * side;
    const glm::vec2 centre = arcStart + normal * radius;
    const int steps = std::max(2, static_cast<int>(std::ceil(radius * turn / kRouteSpacing)));
    const glm::vec2 from = arcStart - centre;
    for (int s = 1; s <= steps; ++s) {
      const float a = side * turn * static_cast<float>(s) / steps;
      const float cs = std::cos(a), sn = std::sin(a);
      out.push_back(centre + glm::vec2(from.x * cs - from.y * sn, from.x * sn + from.y * cs));
    }
    cursor = out.back();
  }
  appendStraight(out, cursor, corners.back());
  return out;
}

// Index of the line's point nearest to p.
std::size_t nearestPoint(const std::vector<glm::vec2>& line, glm::vec2 p) {
  std::size_t nearest = 0;
  for (std::size_t i = 1; i < line.size(); ++i)
    if (glm::length(line[i] - p) < glm::length(line[nearest] - p)) nearest = i;
  return nearest;
}

// Shifts the line sideways near p so that its nearest point lies `across` metres from p on the side
// it already passes on; the shift fades out over the neighbouring points so the line stays smooth.
void shiftNear(std::vector<glm::vec2>& line, glm::vec2 p, float across) {
  constexpr int kBlend = 10;  // points either side over which a shift fades out
  const std::size_t nearest = nearestPoint(line, p);
  const std::size_t prev = nearest > 0 ? nearest - 1 : nearest;
  const std::size_t next = std::min(nearest + 1, line.size() - 1);
  const glm::vec2 along = glm::normalize(line[next] - line[prev]);
  glm::vec2 side(-along.y, along.x);
  if (glm::dot(side, line[nearest] - p) < 0.0f) side = -side;
  const float shift = across - glm::dot(line[nearest] - p, side);
  for (int k = -kBlend; k <= kBlend; ++k) {
    const long i = static_cast<long>(nearest) + k;
    if (i < 0 || i >= static_cast<long>(line.size())) continue;
    const float w = 0.5f * (1.0f + std::cos(3.14159265f * static_cast<float>(k) / (kBlend + 1)));
    line[static_cast<std::size_t>(i)] += side * (shift * w);
  }
}

// True where the elevated deck passes over p: the route runs on the deck there, far above p.
bool underTheDeck(const LevelLayout& layout, glm::vec2 p) {
  for (const SpinePiece& piece : layout.spine) {
    const glm::vec4 f = spineFootprint(piece);
    if (piece.elevated && p.x >= f.x && p.x <= f.z && p.y >= f.y && p.y <= f.w) return true;
  }
  return false;
}

}  // namespace

std::vector<glm::vec2> routeCorners(const LevelLayout& layout) {
  std::vector<glm::vec2> corners{glm::vec2(layout.items.start.x, layout.items.start.z)};
  // The main road over the deck ends at its junction; from there the loop roads in their order, up to
  // the south-east junction, then north through zone 1's gate.
  corners.push_back(layout.nodes[layout.spineEndNode].centre);
  const glm::vec3 lastGate = layout.items.zones[0];
  for (const RoadLink& link : layout.links) {
    const glm::vec2 to = layout.nodes[link.to].centre;
    const glm::vec2 from = layout.nodes[link.from].centre;
    // Stop on the link whose road carries zone 1's gate.
    const bool carriesGate = from.x == to.x && std::fabs(from.x - lastGate.x) < 1.0f &&
                             std::min(from.y, to.y) < lastGate.z && std::max(from.y, to.y) > lastGate.z;
    if (carriesGate) {
      const float dir = to.y > from.y ? 1.0f : -1.0f;
      corners.push_back({from.x, lastGate.z + dir * kPastLastGate});
      break;
    }
    corners.push_back(to);
  }
  return corners;
}

namespace {

// Rounds the corners and bends the line through the batteries beside it and around the cones.
std::vector<glm::vec2> shapeLine(const LevelLayout& layout, const std::vector<glm::vec2>& corners) {
  std::vector<glm::vec2> line = roundCorners(corners);
  // Batteries near the line are driven through; cones on the ground the line runs on are passed with room.
  for (const glm::vec3& battery : layout.items.batteries) {
    const glm::vec2 b(battery.x, battery.z);
    if (glm::length(line[nearestPoint(line, b)] - b) < kRouteBatteryReach) shiftNear(line, b, 0.0f);
  }
  for (const glm::vec3& cone : layout.items.cones) {
    const glm::vec2 c(cone.x, cone.z);
    if (underTheDeck(layout, c)) continue;
    if (glm::length(line[nearestPoint(line, c)] - c) < kRouteConeClearance)
      shiftNear(line, c, kRouteConeClearance);
  }
  return line;
}

}  // namespace

std::vector<glm::vec2> drivingLine(const LevelLayout& layout) {
  return shapeLine(layout, routeCorners(layout));
}

std::vector<glm::vec2> ringLap(const LevelLayout& layout) {
  // From the route's end round the ring road (every link in order, from the one the route ends on) and
  // back to the route's end.
  const std::vector<glm::vec2> route = routeCorners(layout);
  std::vector<glm::vec2> corners{route.back()};
  std::size_t last = 0;
  for (std::size_t i = 0; i < layout.links.size(); ++i)
    if (layout.nodes[layout.links[i].from].centre == route[route.size() - 2]) last = i;
  for (std::size_t k = 0; k < layout.links.size(); ++k)
    corners.push_back(layout.nodes[layout.links[(last + k) % layout.links.size()].to].centre);
  corners.push_back(route.back());
  return shapeLine(layout, corners);
}

}  // namespace ruvelo::level
