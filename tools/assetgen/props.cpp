#include "tools/assetgen/props.h"

#include <cmath>
#include <vector>

namespace ruvelo::assets {

namespace {

constexpr float kTwoPi = 6.28318531f;

// An axis-aligned box; each face's texture coordinates span `uvMin`..`uvMax`.
void addBox(MeshBuilder& b, const char* material, glm::vec3 lo, glm::vec3 hi, glm::vec2 uvMin = {0.0f, 0.0f},
            glm::vec2 uvMax = {1.0f, 1.0f}) {
  const glm::vec2 uv[4] = {{uvMin.x, uvMin.y}, {uvMax.x, uvMin.y}, {uvMax.x, uvMax.y}, {uvMin.x, uvMax.y}};
  const glm::vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                          {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int faces[6][4] = {{1, 5, 6, 2}, {4, 0, 3, 7}, {3, 2, 6, 7},
                           {4, 5, 1, 0}, {5, 4, 7, 6}, {0, 1, 2, 3}};
  const glm::vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (int f = 0; f < 6; ++f) {
    const glm::vec3 q[4] = {c[faces[f][0]], c[faces[f][1]], c[faces[f][2]], c[faces[f][3]]};
    b.addQuad(material, q, uv, normals[f]);
  }
}

// A vertical (y) surface of revolution between two rings, smooth-shaded. u runs once around.
void addRevolvedBand(MeshBuilder& b, const char* material, int segments, float r0, float y0, float r1,
                     float y1, float v0, float v1) {
  const float dr = r0 - r1, dy = y1 - y0;
  for (int i = 0; i < segments; ++i) {
    const float a0 = kTwoPi * i / segments, a1 = kTwoPi * (i + 1) / segments;
    auto vertex = [&](float a, float r, float y, float u, float v) {
      const glm::vec3 n = glm::normalize(glm::vec3(std::cos(a) * dy, dr, std::sin(a) * dy));
      return MeshVertex{{r * std::cos(a), y, r * std::sin(a)}, n, {u, v}};
    };
    const float u0 = static_cast<float>(i) / segments, u1 = static_cast<float>(i + 1) / segments;
    const MeshVertex p00 = vertex(a0, r0, y0, u0, v0), p10 = vertex(a1, r0, y0, u1, v0);
    const MeshVertex p01 = vertex(a0, r1, y1, u0, v1), p11 = vertex(a1, r1, y1, u1, v1);
    b.addTriangle(material, p00, p10, p11);
    if (r1 > 0.0f) b.addTriangle(material, p00, p11, p01);
  }
}

// A flat disc at height y facing up or down; texture coordinates map the disc into `uvCentre` ± `uvRadius`.
void addDisc(MeshBuilder& b, const char* material, int segments, float r, float y, bool up,
             glm::vec2 uvCentre, glm::vec2 uvRadius) {
  const glm::vec3 n(0.0f, up ? 1.0f : -1.0f, 0.0f);
  const MeshVertex centre{{0.0f, y, 0.0f}, n, uvCentre};
  for (int i = 0; i < segments; ++i) {
    const float a0 = kTwoPi * i / segments, a1 = kTwoPi * (i + 1) / segments;
    const MeshVertex p0{{r * std::cos(a0), y, r * std::sin(a0)},
                        n,
                        uvCentre + uvRadius * glm::vec2(std::cos(a0), std::sin(a0))};
    const MeshVertex p1{{r * std::cos(a1), y, r * std::sin(a1)},
                        n,
                        uvCentre + uvRadius * glm::vec2(std::cos(a1), std::sin(a1))};
    b.addTriangle(material, centre, p0, p1);
  }
}

}  // namespace

ModelData buildCarModel() {
  MeshBuilder b;
  b.addMaterial({"van", "car.png", glm::vec3(0.9f)});
  const float halfWidth = 1.2f;
  const float lift = 0.4f;  // model = actor frame + (0, 0.4, 0)
  // Side profile (z, y) in the actor frame, counter-clockwise: rear bottom, front bottom, bumper top,
  // hood, windscreen top, roof rear.
  const std::vector<glm::vec2> profile = {{-2.5f, -1.0f}, {2.5f, -1.0f}, {2.5f, -0.1f},
                                          {1.6f, 0.15f},  {0.8f, 0.95f}, {-2.5f, 0.95f}};
  auto sideUv = [](glm::vec2 p) {
    return glm::vec2(0.5f * (p.x + 2.5f) / 5.0f, 0.5f + 0.5f * (p.y + 1.0f) / 1.95f);
  };
  for (float sign : {-1.0f, 1.0f}) {
    std::vector<glm::vec3> points;
    std::vector<glm::vec2> uvs;
    for (const glm::vec2& p : profile) {
      points.emplace_back(sign * halfWidth, p.y + lift, p.x);
      uvs.push_back(sideUv(p));
    }
    b.addPolygon("van", points, uvs, {sign, 0.0f, 0.0f});
  }
  // Around the profile: each face takes its quadrant of the atlas.
  const glm::vec4 plainPaint(0.02f, 0.51f, 0.06f, 0.55f), glass(0.5f, 0.5f, 1.0f, 1.0f),
      front(0.0f, 0.0f, 0.5f, 0.5f), back(0.5f, 0.0f, 1.0f, 0.5f), underside(0.55f, 0.55f, 0.6f, 0.6f);
  const glm::vec4 regions[6] = {underside, front, plainPaint, glass, plainPaint, back};
  for (std::size_t i = 0; i < profile.size(); ++i) {
    const glm::vec2 a = profile[i], c = profile[(i + 1) % profile.size()];
    const glm::vec2 edge = c - a;
    const glm::vec3 normal = glm::normalize(glm::vec3(0.0f, -edge.x, edge.y));  // outward for this winding
    const glm::vec4 r = regions[i];
    const glm::vec3 q[4] = {{-halfWidth, a.y + lift, a.x},
                            {halfWidth, a.y + lift, a.x},
                            {halfWidth, c.y + lift, c.x},
                            {-halfWidth, c.y + lift, c.x}};
    // v follows the face from its lower to its upper edge, so lamps and glass stand the right way up.
    const bool flip = c.y < a.y;
    const float vLo = flip ? r.w : r.y, vHi = flip ? r.y : r.w;
    const glm::vec2 uv[4] = {{r.x, vLo}, {r.z, vLo}, {r.z, vHi}, {r.x, vHi}};
    b.addQuad("van", q, uv, normal);
  }
  return b.build();
}

ModelData buildWheelModel(bool left) {
  MeshBuilder b;
  b.addMaterial({"wheel", "wheel.png", glm::vec3(0.9f)});
  const int segments = 24;
  const float r = 0.5f, halfWidth = 0.2f;
  const float outer = left ? -halfWidth : halfWidth;  // the rim side faces away from the vehicle
  for (int i = 0; i < segments; ++i) {
    const float a0 = kTwoPi * i / segments, a1 = kTwoPi * (i + 1) / segments;
    const float v0 = static_cast<float>(i) / segments, v1 = static_cast<float>(i + 1) / segments;
    auto tread = [&](float x, float a, float v) {
      return MeshVertex{{x, r * std::cos(a), r * std::sin(a)},
                        {0.0f, std::cos(a), std::sin(a)},
                        {0.5f * (x + halfWidth) / (2.0f * halfWidth), v}};
    };
    const MeshVertex p00 = tread(-halfWidth, a0, v0), p10 = tread(halfWidth, a0, v0);
    const MeshVertex p01 = tread(-halfWidth, a1, v1), p11 = tread(halfWidth, a1, v1);
    b.addTriangle("wheel", p00, p10, p11);
    b.addTriangle("wheel", p00, p11, p01);
    for (float x : {-halfWidth, halfWidth}) {
      const bool rim = x == outer;
      const glm::vec3 n(x < 0.0f ? -1.0f : 1.0f, 0.0f, 0.0f);
      // The rim's disc in the atlas; the inner side samples plain rubber.
      auto capUv = [&](float a) {
        return rim ? glm::vec2(0.75f + 0.25f * std::cos(a), 0.5f + 0.5f * std::sin(a))
                   : glm::vec2(0.52f, 0.02f);
      };
      const MeshVertex centre{{x, 0.0f, 0.0f}, n, rim ? glm::vec2(0.75f, 0.5f) : glm::vec2(0.52f, 0.02f)};
      const MeshVertex e0{{x, r * std::cos(a0), r * std::sin(a0)}, n, capUv(a0)};
      const MeshVertex e1{{x, r * std::cos(a1), r * std::sin(a1)}, n, capUv(a1)};
      b.addTriangle("wheel", centre, e0, e1);
    }
  }
  return b.build();
}

ModelData buildConeModel() {
  MeshBuilder b;
  b.addMaterial({"cone", "cone.png", glm::vec3(1.0f, 0.5f, 0.1f)});
  const int segments = 24;
  // Square rubber base plate, then the banded cone body.
  addBox(b, "cone", {-0.55f, -1.0f, -0.55f}, {0.55f, -0.93f, 0.55f}, {0.0f, 0.0f}, {1.0f, 0.05f});
  addRevolvedBand(b, "cone", segments, 0.42f, -0.93f, 0.05f, 0.15f, 0.06f, 1.0f);
  addDisc(b, "cone", segments, 0.05f, 0.15f, true, {0.5f, 0.98f}, {0.01f, 0.01f});
  return b.build();
}

ModelData buildBatteryModel() {
  MeshBuilder b;
  b.addMaterial({"battery", "battery.png", glm::vec3(0.3f, 0.9f, 0.4f)});
  const int segments = 24;
  const float r = 0.28f, half = 0.46f, terminalR = 0.1f, terminalTop = 0.54f;
  addRevolvedBand(b, "battery", segments, r, -half, r, half, 0.25f, 1.0f);
  addDisc(b, "battery", segments, r, half, true, {0.5f, 0.12f}, {0.4f, 0.1f});
  addDisc(b, "battery", segments, r, -half, false, {0.5f, 0.12f}, {0.4f, 0.1f});
  addRevolvedBand(b, "battery", segments, terminalR, half, terminalR, terminalTop, 0.02f, 0.22f);
  addDisc(b, "battery", segments, terminalR, terminalTop, true, {0.5f, 0.12f}, {0.1f, 0.05f});
  return b.build();
}

ModelData buildFinishLineModel() {
  MeshBuilder b;
  b.addMaterial({"finish", "", glm::vec3(0.2f, 0.4f, 0.9f)});
  addBox(b, "finish", {-4.9f, 0.0f, -0.15f}, {-4.6f, 12.5f, 0.15f});
  addBox(b, "finish", {4.6f, 0.0f, -0.15f}, {4.9f, 12.5f, 0.15f});
  addBox(b, "finish", {-4.6f, 10.8f, -0.08f}, {4.6f, 12.3f, 0.08f});
  return b.build();
}

ModelData buildGreenPlaneModel() {
  MeshBuilder b;
  b.addMaterial({"grass", "grass.png", glm::vec3(0.8f)});
  // Scaled by (300, 1, 800): 150 × 400 repeats give 4 m grass tiles.
  const glm::vec3 q[4] = {{-1.0f, 0.0f, -1.0f}, {1.0f, 0.0f, -1.0f}, {1.0f, 0.0f, 1.0f}, {-1.0f, 0.0f, 1.0f}};
  const glm::vec2 uv[4] = {{0.0f, 0.0f}, {150.0f, 0.0f}, {150.0f, 400.0f}, {0.0f, 400.0f}};
  b.addQuad("grass", q, uv, {0.0f, 1.0f, 0.0f});
  return b.build();
}

}  // namespace ruvelo::assets
