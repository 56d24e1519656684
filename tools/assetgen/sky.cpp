#include "tools/assetgen/sky.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::assets {

namespace {

float smoothstep(float a, float b, float x) {
  const float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

// Height of the distant hills (as the sine of the elevation angle) in a horizontal direction.
float hillHeight(glm::vec2 horizontal) {
  const glm::vec2 h = glm::normalize(horizontal);
  const glm::vec3 p(h.x * 3.0f, 0.0f, h.y * 3.0f);
  const float broad = valueNoise3(p, 201u);
  const float fine = valueNoise3(p * 4.0f, 202u);
  return 0.015f + 0.13f * broad * broad + 0.015f * fine;
}

float cloudDensity(glm::vec3 d) {
  if (d.y <= 0.0f) return 0.0f;
  // Project onto a cloud layer so clouds flatten towards the horizon.
  const glm::vec2 layer = glm::vec2(d.x, d.z) / (d.y + 0.15f);
  glm::vec3 p(layer.x * 1.6f, 0.0f, layer.y * 1.6f);
  float sum = 0.0f, amplitude = 0.55f;
  for (int o = 0; o < 4; ++o) {
    sum += amplitude * valueNoise3(p, 301u + o);
    p *= 2.03f;
    amplitude *= 0.5f;
  }
  return smoothstep(0.5f, 0.75f, sum) * smoothstep(0.0f, 0.25f, d.y);
}

}  // namespace

const std::array<std::string, kSkyFaceCount>& skyFaceFileNames() {
  static const std::array<std::string, kSkyFaceCount> names = {"right2.jpg",  "left2.jpg",  "top.jpg",
                                                               "bottom2.jpg", "front2.jpg", "back2.jpg"};
  return names;
}

glm::vec3 cubeFaceDirection(int face, float s, float t) {
  const float sc = 2.0f * s - 1.0f;
  const float tc = 2.0f * t - 1.0f;
  switch (face) {
    case 0:
      return {1.0f, -tc, -sc};
    case 1:
      return {-1.0f, -tc, sc};
    case 2:
      return {sc, 1.0f, tc};
    case 3:
      return {sc, -1.0f, -tc};
    case 4:
      return {sc, -tc, 1.0f};
    default:
      return {-sc, -tc, -1.0f};
  }
}

glm::vec3 skyColour(glm::vec3 direction) {
  const glm::vec3 d = glm::normalize(direction);
  const glm::vec3 sunDir =
      glm::normalize(glm::vec3(1.0f, 1.0f, 1.0f));  // the light shines along (−1, −1, −1)
  const float sunDot = glm::dot(d, sunDir);

  const glm::vec3 zenith(0.16f, 0.36f, 0.72f);
  const glm::vec3 horizon(0.72f, 0.82f, 0.92f);
  const float elevation = d.y;
  glm::vec3 sky = glm::mix(horizon, zenith, smoothstep(0.0f, 0.6f, elevation));
  sky += glm::vec3(1.0f, 0.85f, 0.6f) * 0.25f * std::pow(std::max(sunDot, 0.0f), 8.0f);  // glow

  const float cloud = cloudDensity(d);
  const glm::vec3 cloudColour =
      glm::mix(glm::vec3(0.78f, 0.8f, 0.85f), glm::vec3(1.0f), std::max(sunDot, 0.0f));
  sky = glm::mix(sky, cloudColour, cloud * 0.85f);
  sky = glm::mix(sky, glm::vec3(1.0f, 0.98f, 0.9f), smoothstep(0.9990f, 0.9995f, sunDot) * (1.0f - cloud));

  const glm::vec2 horizontal(d.x, d.z);
  if (glm::dot(horizontal, horizontal) > 1e-6f) {
    const float hill = hillHeight(horizontal);
    if (elevation < hill) {
      // Farther hills are hazier; a darker band near their ridge reads as forest.
      const float depth = std::clamp(elevation / hill, -1.0f, 1.0f);
      const glm::vec3 near(0.2f, 0.32f, 0.22f), far(0.45f, 0.55f, 0.6f);
      glm::vec3 ground = glm::mix(near, far, 0.5f + 0.4f * depth);
      ground *= 0.9f + 0.2f * valueNoise3(d * 40.0f, 401u);
      const float edge = smoothstep(hill - 0.004f, hill, elevation);
      return glm::mix(ground, sky, edge);
    }
    return sky;
  }
  return elevation > 0.0f ? sky : glm::vec3(0.2f, 0.3f, 0.2f);
}

Image makeSkyFace(int face, int size) {
  Image image(size, size, 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const glm::vec3 dir = cubeFaceDirection(face, (x + 0.5f) / size, (y + 0.5f) / size);
      image.set(x, y, skyColour(dir));
    }
  }
  return image;
}

}  // namespace ruvelo::assets
