#include "tools/assetgen/textures.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace ruvelo::assets {

namespace {

constexpr float kPi = 3.14159265f;

// Calls `shade(u, v)` for every pixel centre, v up.
void paint(Image& image, const std::function<glm::vec4(float, float)>& shade) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const float u = (x + 0.5f) / image.width;
      const float v = 1.0f - (y + 0.5f) / image.height;
      image.set(x, y, shade(u, v));
    }
  }
}

// Grain that tiles with the image: `cells` noise cells across it.
float grain(float u, float v, int cells, std::uint32_t seed) {
  return tiledFractalNoise(u * cells, v * cells, cells, 3, seed);
}

float band(float t, float from, float to) {
  return (t >= from && t < to) ? 1.0f : 0.0f;
}

glm::vec3 asphaltColour(float u, float v, int cells) {
  const float n = grain(u, v, cells, 11u);
  const float speck = hashNoise(static_cast<int>(u * 512), static_cast<int>(v * 512), 12u);
  return glm::vec3(0.22f, 0.22f, 0.23f) * (0.8f + 0.4f * n) +
         (speck > 0.97f ? glm::vec3(0.12f) : glm::vec3(0.0f));
}

}  // namespace

Image makeAsphaltTexture() {
  Image image(256, 256, 3);
  paint(image, [](float u, float v) { return glm::vec4(asphaltColour(u, v, 16), 1.0f); });
  return image;
}

Image makeRoadTexture() {
  Image image(512, 512, 3);
  paint(image, [](float u, float v) {
    glm::vec3 c = asphaltColour(u, v, 32);
    // 16 m across: white edge lines 0.4 m wide, 0.5 m in from the edges.
    const float edge = band(u, 0.031f, 0.056f) + band(u, 0.944f, 0.969f);
    // Dashed centre line: 4 m dash, 4 m gap, two per tile.
    const float dash = band(u, 0.492f, 0.508f) * band(std::fmod(v * 2.0f, 1.0f), 0.0f, 0.5f);
    const float wear = 0.85f + 0.15f * grain(u, v, 32, 13u);
    if (edge > 0.0f) c = glm::vec3(0.92f) * wear;
    if (dash > 0.0f) c = glm::vec3(0.95f, 0.78f, 0.15f) * wear;
    return glm::vec4(c, 1.0f);
  });
  return image;
}

Image makeKerbTexture() {
  Image image(128, 64, 3);
  paint(image, [](float u, float v) {
    const bool red = u < 0.5f;
    const float joint = (std::fabs(u - 0.5f) < 0.01f || u < 0.01f || u > 0.99f) ? 0.6f : 1.0f;
    const glm::vec3 base = red ? glm::vec3(0.78f, 0.12f, 0.1f) : glm::vec3(0.92f, 0.92f, 0.9f);
    return glm::vec4(base * joint * (0.85f + 0.15f * grain(u, v, 8, 21u)), 1.0f);
  });
  return image;
}

Image makeConcreteTexture() {
  Image image(256, 256, 3);
  paint(image, [](float u, float v) {
    const float n = grain(u, v, 16, 31u);
    const float seam =
        (std::fmod(u * 2.0f, 1.0f) < 0.01f || std::fmod(v * 2.0f, 1.0f) < 0.01f) ? 0.75f : 1.0f;
    return glm::vec4(glm::vec3(0.62f, 0.61f, 0.58f) * (0.85f + 0.25f * n) * seam, 1.0f);
  });
  return image;
}

Image makeBarrierTexture() {
  Image image(256, 64, 3);
  paint(image, [](float u, float v) {
    glm::vec3 c = glm::vec3(0.7f, 0.69f, 0.66f) * (0.85f + 0.2f * grain(u, v, 16, 41u));
    if (v > 0.55f && v < 0.8f) {
      const bool yellow = std::fmod(u * 8.0f + v * 2.0f, 1.0f) < 0.5f;
      c = yellow ? glm::vec3(0.95f, 0.75f, 0.1f) : glm::vec3(0.08f);
    }
    return glm::vec4(c, 1.0f);
  });
  return image;
}

Image makeFacadeTexture(int variant) {
  static const glm::vec3 walls[3] = {{0.72f, 0.52f, 0.38f}, {0.78f, 0.76f, 0.7f}, {0.45f, 0.5f, 0.58f}};
  static const glm::vec3 glass[3] = {{0.25f, 0.35f, 0.45f}, {0.2f, 0.28f, 0.3f}, {0.35f, 0.5f, 0.62f}};
  const int v3 = ((variant % 3) + 3) % 3;
  Image image(256, 256, 3);
  paint(image, [&](float u, float v) {
    // 8 m tile: two floors of 4 m, two window bays per floor (three narrow bays for variant 2).
    const int bays = v3 == 2 ? 4 : 2;
    const float bu = std::fmod(u * bays, 1.0f);
    const float fv = std::fmod(v * 2.0f, 1.0f);
    const bool window = v3 == 2 ? (bu > 0.08f && bu < 0.92f && fv > 0.2f && fv < 0.9f)
                                : (bu > 0.2f && bu < 0.8f && fv > 0.3f && fv < 0.8f);
    const float n = grain(u, v, 16, 51u + v3);
    if (window) {
      const int wx = static_cast<int>(u * bays), wy = static_cast<int>(v * 2.0f);
      const float lit = hashNoise(wx, wy, 53u + v3) > 0.7f ? 0.25f : 0.0f;
      const float sheen = 0.15f * (1.0f - fv);
      return glm::vec4(glass[v3] + glm::vec3(lit, lit * 0.8f, lit * 0.3f) + glm::vec3(sheen), 1.0f);
    }
    const float sill = (fv > 0.26f && fv < 0.3f) ? 0.8f : 1.0f;
    return glm::vec4(walls[v3] * (0.85f + 0.2f * n) * sill, 1.0f);
  });
  return image;
}

Image makeRoofTexture() {
  Image image(128, 128, 3);
  paint(image, [](float u, float v) {
    const float speck = hashNoise(static_cast<int>(u * 128), static_cast<int>(v * 128), 61u);
    return glm::vec4(glm::vec3(0.4f, 0.4f, 0.42f) * (0.8f + 0.3f * speck), 1.0f);
  });
  return image;
}

Image makeGrassTexture() {
  Image image(256, 256, 3);
  paint(image, [](float u, float v) {
    const float broad = grain(u, v, 4, 71u);
    const float fine = grain(u, v, 64, 72u);
    const glm::vec3 c = glm::mix(glm::vec3(0.18f, 0.38f, 0.12f), glm::vec3(0.34f, 0.52f, 0.18f), broad);
    return glm::vec4(c * (0.8f + 0.35f * fine), 1.0f);
  });
  return image;
}

Image makeCarTexture() {
  // Quadrants (v up): side u 0..0.5 v 0.5..1; glass u 0.5..1 v 0.5..1; front u 0..0.5 v 0..0.5;
  // back u 0.5..1 v 0..0.5. The side maps the van's profile: u = 0.5·(z + 2.5)/5, front at u = 0.5.
  const glm::vec3 paintColour(0.95f, 0.45f, 0.08f);
  Image image(256, 256, 3);
  paint(image, [&](float u, float v) {
    if (u < 0.5f && v >= 0.5f) {
      const float z = u / 0.5f * 5.0f - 2.5f;            // along the van, front +z
      const float y = (v - 0.5f) / 0.5f * 1.95f - 1.0f;  // up, actor frame
      if (z > 0.95f && z < 1.7f && y > 0.05f && y < 0.7f && y < 0.95f - (z - 0.8f)) {
        return glm::vec4(0.12f, 0.16f, 0.22f, 1.0f);  // cab side window
      }
      if (y > -0.35f && y < -0.2f) return glm::vec4(0.1f, 0.1f, 0.12f, 1.0f);  // rubbing strip
      if (z < 0.6f && z > -2.2f && y > 0.0f && y < 0.7f) {
        // a white panel with a lightning mark: the delivery company's logo
        const float lx = (z + 0.8f) / 0.5f, ly = (y - 0.35f) / 0.3f;
        const bool bolt = std::fabs(lx + ly * 0.6f) < 0.35f && std::fabs(ly) < 1.0f;
        return bolt ? glm::vec4(0.1f, 0.45f, 0.85f, 1.0f) : glm::vec4(0.95f, 0.95f, 0.92f, 1.0f);
      }
      if (z > 2.45f || z < -2.45f) return glm::vec4(paintColour * 0.7f, 1.0f);
      return glm::vec4(paintColour, 1.0f);
    }
    if (u >= 0.5f && v >= 0.5f) {
      const float streak = band(std::fmod((u - 0.5f) * 4.0f + (v - 0.5f) * 2.0f, 1.0f), 0.1f, 0.2f);
      return glm::vec4(glm::vec3(0.12f, 0.16f, 0.22f) + glm::vec3(0.25f) * streak, 1.0f);
    }
    if (u < 0.5f) {
      const float x = u / 0.5f, y = v / 0.5f;  // front, x 0..1 across, y 0..1 up
      const bool lamp = y > 0.55f && y < 0.8f && (x < 0.25f || x > 0.75f) && x > 0.05f && x < 0.95f;
      const bool grille =
          y > 0.5f && y < 0.85f && x > 0.32f && x < 0.68f && std::fmod(y * 20.0f, 1.0f) < 0.5f;
      if (lamp) return glm::vec4(1.0f, 0.97f, 0.85f, 1.0f);
      if (grille) return glm::vec4(0.08f, 0.08f, 0.08f, 1.0f);
      if (y < 0.3f) return glm::vec4(0.15f, 0.15f, 0.16f, 1.0f);  // bumper
      return glm::vec4(paintColour, 1.0f);
    }
    const float x = (u - 0.5f) / 0.5f, y = v / 0.5f;  // back doors
    const bool lamp = y > 0.15f && y < 0.35f && (x < 0.12f || x > 0.88f);
    if (lamp) return glm::vec4(0.85f, 0.05f, 0.05f, 1.0f);
    if (std::fabs(x - 0.5f) < 0.01f || y < 0.08f) return glm::vec4(0.1f, 0.1f, 0.1f, 1.0f);
    return glm::vec4(paintColour * 0.92f, 1.0f);
  });
  return image;
}

Image makeWheelTexture() {
  Image image(256, 256, 3);
  paint(image, [](float u, float v) {
    const glm::vec3 rubber(0.08f, 0.08f, 0.09f);
    if (u < 0.5f) {
      // tread: chevrons repeating 16 times around (v runs once around the wheel)
      const float across = u / 0.5f;
      const float t = std::fmod(v * 16.0f + std::fabs(across - 0.5f) * 0.8f, 1.0f);
      const bool groove = t < 0.25f && across > 0.1f && across < 0.9f;
      return glm::vec4(groove ? rubber * 0.5f : rubber * 1.6f, 1.0f);
    }
    const float x = (u - 0.75f) / 0.25f, y = (v - 0.5f) / 0.5f;
    const float r = std::sqrt(x * x + y * y);
    if (r > 0.66f) {
      const float wall = (r > 0.8f && r < 0.84f) ? 2.0f : 1.2f;  // sidewall ring
      return glm::vec4(rubber * wall, 1.0f);
    }
    if (r < 0.14f) return glm::vec4(0.55f, 0.55f, 0.58f, 1.0f);  // hub
    const float angle = std::atan2(y, x);
    const bool spoke = std::fabs(std::fmod(angle / (2.0f * kPi) * 5.0f + 10.0f, 1.0f) - 0.5f) < 0.14f;
    if (spoke || r > 0.58f) return glm::vec4(glm::vec3(0.78f, 0.79f, 0.82f) * (1.0f - 0.3f * r), 1.0f);
    return glm::vec4(0.15f, 0.15f, 0.17f, 1.0f);
  });
  return image;
}

Image makeConeTexture() {
  Image image(64, 128, 3);
  paint(image, [](float u, float v) {
    if (v < 0.06f) return glm::vec4(0.12f, 0.1f, 0.1f, 1.0f);  // rubber base
    const bool white = (v > 0.36f && v < 0.5f) || (v > 0.64f && v < 0.76f);
    const float n = 0.9f + 0.1f * grain(u, v, 8, 81u);
    return white ? glm::vec4(glm::vec3(0.97f) * n, 1.0f) : glm::vec4(glm::vec3(1.0f, 0.42f, 0.05f) * n, 1.0f);
  });
  return image;
}

Image makeBatteryTexture() {
  // v 0.25..1: the cell wrap, repeated twice around; v 0..0.25: bright metal for caps and terminal.
  Image image(256, 256, 3);
  paint(image, [](float u, float v) {
    if (v < 0.25f) return glm::vec4(glm::vec3(0.85f, 0.86f, 0.9f) - glm::vec3(0.2f * v), 1.0f);
    const float x = std::fmod(u * 2.0f, 1.0f);                  // across one half of the wrap
    const float y = (v - 0.25f) / 0.75f;                        // 0 bottom .. 1 top of the cell
    if (y > 0.82f) return glm::vec4(0.95f, 0.78f, 0.1f, 1.0f);  // gold top band
    // lightning bolt: two slanted strokes
    const float s1 = std::fabs((x - 0.5f) + (y - 0.55f) * 0.5f);
    const bool upper = y > 0.45f && y < 0.75f && s1 < 0.08f && x > 0.38f;
    const float s2 = std::fabs((x - 0.5f) + (y - 0.3f) * 0.5f);
    const bool lower = y > 0.15f && y < 0.45f && s2 < 0.08f && x < 0.62f;
    const bool joint = y > 0.42f && y < 0.48f && x > 0.4f && x < 0.62f;
    if (upper || lower || joint) return glm::vec4(1.0f, 1.0f, 0.9f, 1.0f);
    const bool plus = (std::fabs(x - 0.2f) < 0.025f && std::fabs(y - 0.7f) < 0.08f) ||
                      (std::fabs(y - 0.7f) < 0.025f && std::fabs(x - 0.2f) < 0.08f);
    if (plus) return glm::vec4(1.0f, 1.0f, 1.0f, 1.0f);
    return glm::vec4(glm::mix(glm::vec3(0.05f, 0.65f, 0.25f), glm::vec3(0.2f, 0.95f, 0.4f), y), 1.0f);
  });
  return image;
}

Image makeFlakeTexture() {
  Image image(64, 64, 4);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const float px = (x + 0.5f) / 32.0f - 1.0f, py = (y + 0.5f) / 32.0f - 1.0f;
      const float r = std::sqrt(px * px + py * py);
      const float angle = std::atan2(py, px);
      // a soft round core and six faint arms
      const float core = std::exp(-r * r * 9.0f);
      const float arms = std::pow(std::fabs(std::cos(angle * 3.0f)), 24.0f) * std::max(0.0f, 1.0f - r) * 0.6f;
      const float alpha = std::clamp(core + arms, 0.0f, 1.0f) * (r < 1.0f ? 1.0f : 0.0f);
      image.set(x, y, glm::vec4(1.0f, 1.0f, 1.0f, alpha));
    }
  }
  return image;
}

std::vector<NamedTexture> makeModelTextures() {
  std::vector<NamedTexture> out;
  out.push_back({"asphalt.png", makeAsphaltTexture()});
  out.push_back({"road.png", makeRoadTexture()});
  out.push_back({"kerb.png", makeKerbTexture()});
  out.push_back({"concrete.png", makeConcreteTexture()});
  out.push_back({"barrier.png", makeBarrierTexture()});
  out.push_back({"facade_a.png", makeFacadeTexture(0)});
  out.push_back({"facade_b.png", makeFacadeTexture(1)});
  out.push_back({"facade_c.png", makeFacadeTexture(2)});
  out.push_back({"roof.png", makeRoofTexture()});
  out.push_back({"grass.png", makeGrassTexture()});
  out.push_back({"car.png", makeCarTexture()});
  out.push_back({"wheel.png", makeWheelTexture()});
  out.push_back({"cone.png", makeConeTexture()});
  out.push_back({"battery.png", makeBatteryTexture()});
  return out;
}

}  // namespace ruvelo::assets
