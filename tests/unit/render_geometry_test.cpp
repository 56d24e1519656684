// Primitive generators: counts, exact vertex and index orders, and outward-facing triangles.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>

#include "render/geometry.h"
#include "support/expect_glm.h"

namespace ruvelo {
namespace {

using test::expectVec2;
using test::expectVec3;

// Every triangle must be counter-clockwise seen from the side its vertex normals point to, or
// back-face culling removes the shape's outside.
void expectOutwardWinding(const Geometry& g) {
  ASSERT_EQ(g.indices.size() % 3, 0u);
  for (size_t t = 0; t < g.indices.size(); t += 3) {
    const unsigned a = g.indices[t], b = g.indices[t + 1], c = g.indices[t + 2];
    ASSERT_LT(std::max({a, b, c}), g.positions.size());
    const glm::vec3 faceNormal = glm::cross(g.positions[b] - g.positions[a], g.positions[c] - g.positions[a]);
    const glm::vec3 vertexNormals = g.normals[a] + g.normals[b] + g.normals[c];
    EXPECT_GT(glm::dot(faceNormal, vertexNormals), 0.0f) << "triangle " << t / 3;
  }
}

void expectParallelLists(const Geometry& g) {
  EXPECT_EQ(g.positions.size(), g.normals.size());
  EXPECT_EQ(g.positions.size(), g.texCoords.size());
}

TEST(BoxGeometry, CountsCornersAndFaceOrder) {
  const Geometry g = boxGeometry(21.0f, 21.0f, 21.0f);
  ASSERT_EQ(g.positions.size(), 24u);
  ASSERT_EQ(g.indices.size(), 36u);
  expectParallelLists(g);
  for (const glm::vec3& p : g.positions) {
    EXPECT_EQ(std::abs(p.x), 10.5f);
    EXPECT_EQ(std::abs(p.y), 10.5f);
    EXPECT_EQ(std::abs(p.z), 10.5f);
  }
  // Front face first, then back, right, left, top, bottom.
  expectVec3(g.positions[0], {-10.5f, -10.5f, 10.5f});
  expectVec3(g.positions[2], {10.5f, 10.5f, 10.5f});
  expectVec3(g.normals[0], {0, 0, 1});
  expectVec3(g.positions[4], {10.5f, -10.5f, -10.5f});
  expectVec3(g.normals[4], {0, 0, -1});
  expectVec2(g.texCoords[4], {1, 0});
  expectVec3(g.normals[8], {1, 0, 0});
  expectVec3(g.normals[12], {-1, 0, 0});
  expectVec3(g.normals[16], {0, 1, 0});
  expectVec2(g.texCoords[16], {0, 1});
  expectVec3(g.normals[20], {0, -1, 0});
  expectVec3(g.positions[23], {-10.5f, -10.5f, 10.5f});
  const unsigned firstFaces[] = {0, 1, 2, 2, 3, 0, 4, 5, 6, 6, 7, 4};
  for (unsigned i = 0; i < 12; ++i) EXPECT_EQ(g.indices[i], firstFaces[i]);
  EXPECT_EQ(g.indices[35], 20u);
  expectOutwardWinding(g);
}

TEST(BoxGeometry, UnequalSidesKeepTheirHalfExtents) {
  const Geometry g = boxGeometry(2.0f, 4.0f, 6.0f);
  expectVec3(g.positions[2], {1, 2, 3});
  expectVec3(g.positions[20], {-1, -2, -3});
}

TEST(CylinderGeometry, SixteenSegments) {
  const Geometry g = cylinderGeometry(16, 2.0f, 1.0f);
  ASSERT_EQ(g.positions.size(), 66u);
  ASSERT_EQ(g.indices.size(), 192u);
  expectParallelLists(g);
  expectVec3(g.positions[0], {0, -1, 0});
  expectVec3(g.positions[1], {0, 1, 0});
  expectVec2(g.texCoords[0], {0.5f, 0.5f});
  // Segment 0: bottom cap, bottom side, top cap, top side.
  expectVec3(g.positions[2], {1, -1, 0});
  expectVec3(g.normals[2], {0, -1, 0});
  expectVec2(g.texCoords[2], {1.0f, 0.5f});
  expectVec3(g.normals[3], {1, 0, 0});
  expectVec2(g.texCoords[3], {0, 0});
  expectVec3(g.positions[4], {1, 1, 0});
  expectVec2(g.texCoords[5], {0, 1});
  // Segment 1 is one step of 2π/16 round.
  const float step = 0.3926991f;
  expectVec3(g.positions[6], {std::cos(step), -1, std::sin(step)});
  expectVec2(g.texCoords[7], {1.0f / 16.0f, 0});
  const unsigned firstSegment[] = {0, 2, 6, 1, 8, 4, 3, 9, 7, 9, 3, 5};
  for (unsigned i = 0; i < 12; ++i) EXPECT_EQ(g.indices[i], firstSegment[i]) << i;
  // The last segment closes onto segment 0 without seam vertices.
  const unsigned lastSegment[] = {0, 62, 2, 1, 4, 64, 63, 5, 3, 5, 63, 65};
  for (unsigned i = 0; i < 12; ++i) EXPECT_EQ(g.indices[180 + i], lastSegment[i]) << i;
  expectOutwardWinding(g);
}

TEST(CylinderGeometry, CapCoordinatesUseTheScaledRadius) {
  const Geometry g = cylinderGeometry(4, 1.0f, 3.0f);
  ASSERT_EQ(g.positions.size(), 18u);
  expectVec2(g.texCoords[2], {2.0f, 0.5f});
}

TEST(SphereGeometry, ThirtyTwoSlicesSixteenStacks) {
  const Geometry g = sphereGeometry(32, 2.0f, 16);
  ASSERT_EQ(g.positions.size(), 482u);
  ASSERT_EQ(g.indices.size(), 2880u);
  expectParallelLists(g);
  expectVec3(g.positions[0], {0, 2, 0});
  expectVec3(g.positions[1], {0, -2, 0});
  const float phi = 3.1415927f / 16.0f;
  expectVec3(g.positions[2], {2.0f * std::sin(phi), 2.0f * std::cos(phi), 0});
  expectVec3(g.normals[2], {std::sin(phi), std::cos(phi), 0});
  expectVec2(g.texCoords[3], {1.0f / 32.0f, 1.0f / 16.0f});
  for (const glm::vec3& p : g.positions) EXPECT_NEAR(glm::length(p), 2.0f, 1e-5f);
  // Caps first (north then south of each slice), then the rings joined as they are built.
  const unsigned capStart[] = {0, 3, 2, 450, 451, 1};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(g.indices[i], capStart[i]) << i;
  const unsigned lastCap[] = {0, 2, 33, 481, 450, 1};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(g.indices[186 + i], lastCap[i]) << i;
  const unsigned firstRingJoin[] = {34, 3, 35, 3, 34, 2};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(g.indices[192 + i], firstRingJoin[i]) << i;
  expectOutwardWinding(g);
}

TEST(SphereGeometry, DegenerateCountsGiveNothing) {
  EXPECT_TRUE(sphereGeometry(2, 1.0f, 16).positions.empty());
  EXPECT_TRUE(sphereGeometry(8, 1.0f, 1).indices.empty());
  const Geometry smallest = sphereGeometry(3, 1.0f, 2);
  EXPECT_EQ(smallest.positions.size(), 5u);
  EXPECT_EQ(smallest.indices.size(), 18u);
}

}  // namespace
}  // namespace ruvelo
