#include "tools/assetgen/icon.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::assets {
namespace {

// Whether p lies in the rounded rectangle with centre c, half size h and corner radius r.
bool inRoundedBox(glm::vec2 p, glm::vec2 c, glm::vec2 h, float r) {
  const glm::vec2 q = glm::abs(p - c) - h + r;
  return glm::length(glm::max(q, glm::vec2(0.0f))) + std::min(std::max(q.x, q.y), 0.0f) - r <= 0.0f;
}

bool inCircle(glm::vec2 p, glm::vec2 c, float r) {
  return glm::length(p - c) <= r;
}

// The picture at p in the unit square (y down): colour and opacity.
glm::vec4 iconAt(glm::vec2 p) {
  if (!inRoundedBox(p, {0.5f, 0.5f}, {0.48f, 0.48f}, 0.12f)) return glm::vec4(0.0f);
  const glm::vec3 crimson(220.0f / 255.0f, 20.0f / 255.0f, 60.0f / 255.0f);
  // Three wheels on the van's side (the other three behind them).
  for (float x : {0.27f, 0.50f, 0.73f}) {
    if (inCircle(p, {x, 0.70f}, 0.075f)) {
      return inCircle(p, {x, 0.70f}, 0.032f) ? glm::vec4(0.75f, 0.75f, 0.78f, 1.0f)
                                             : glm::vec4(0.08f, 0.08f, 0.09f, 1.0f);
    }
  }
  // Cab window, then the body.
  if (inRoundedBox(p, {0.75f, 0.50f}, {0.07f, 0.06f}, 0.02f)) return glm::vec4(0.55f, 0.80f, 0.95f, 1.0f);
  if (inRoundedBox(p, {0.50f, 0.55f}, {0.36f, 0.13f}, 0.04f)) return glm::vec4(crimson, 1.0f);
  // The packet on the roof: a yellow box with a brown band.
  if (inRoundedBox(p, {0.40f, 0.33f}, {0.13f, 0.09f}, 0.01f)) {
    return std::abs(p.x - 0.40f) < 0.018f ? glm::vec4(0.55f, 0.35f, 0.12f, 1.0f)
                                          : glm::vec4(0.98f, 0.80f, 0.20f, 1.0f);
  }
  // The road, then the evening sky fading from deep blue to teal.
  if (p.y > 0.78f) return glm::vec4(0.22f, 0.22f, 0.25f, 1.0f);
  const float t = std::clamp(p.y / 0.78f, 0.0f, 1.0f);
  return glm::vec4(glm::mix(glm::vec3(0.10f, 0.14f, 0.35f), glm::vec3(0.20f, 0.60f, 0.65f), t), 1.0f);
}

}  // namespace

Image makeIcon(int size) {
  Image image(size, size, 4);
  constexpr int kSamples = 4;  // per axis: 16 samples a pixel smooth the edges
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      glm::vec3 colour(0.0f);
      float alpha = 0.0f;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const glm::vec2 p((x + (sx + 0.5f) / kSamples) / size, (y + (sy + 0.5f) / kSamples) / size);
          const glm::vec4 c = iconAt(p);
          colour += glm::vec3(c) * c.a;
          alpha += c.a;
        }
      }
      const float n = kSamples * kSamples;
      const glm::vec3 straight = alpha > 0.0f ? colour / alpha : glm::vec3(0.0f);
      image.set(x, y, glm::vec4(straight, alpha / n));
    }
  }
  return image;
}

}  // namespace ruvelo::assets
