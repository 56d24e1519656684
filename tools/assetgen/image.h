// 8-bit images in memory, deterministic noise to paint them with, and PNG/JPEG output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace ruvelo::assets {

struct Image {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<std::uint8_t> pixels;  // rows top to bottom, `channels` bytes per pixel

  Image() = default;
  Image(int w, int h, int c)
      : width(w), height(h), channels(c), pixels(static_cast<std::size_t>(w) * h * c, 0) {}

  // Colour components in 0..1; extra components are ignored, missing alpha counts as opaque.
  void set(int x, int y, glm::vec4 colour);
  void set(int x, int y, glm::vec3 colour) { set(x, y, glm::vec4(colour, 1.0f)); }
  glm::vec4 get(int x, int y) const;
  // Blends `colour` over the pixel with weight `alpha`.
  void blend(int x, int y, glm::vec3 colour, float alpha);
  void fillRect(int x0, int y0, int x1, int y1, glm::vec3 colour);  // half-open [x0, x1) × [y0, y1), clipped
};

// Integer hash noise in 0..1, the same on every run and platform.
float hashNoise(int x, int y, std::uint32_t seed);
// Smooth value noise with period `period` cells in both directions (tiles seamlessly).
float tiledValueNoise(float x, float y, int period, std::uint32_t seed);
// Fractal sum of tiled value noise, roughly 0..1.
float tiledFractalNoise(float x, float y, int period, int octaves, std::uint32_t seed);
// Smooth 3D value noise (not tiled), roughly 0..1, for direction-based patterns such as the sky.
float valueNoise3(glm::vec3 p, std::uint32_t seed);

bool writePng(const std::string& path, const Image& image);
bool writeJpg(const std::string& path, const Image& image, int quality);

}  // namespace ruvelo::assets
