#include "tools/assetgen/image.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace ruvelo::assets {

namespace {

std::uint8_t toByte(float v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

std::uint32_t hash3(int x, int y, int z, std::uint32_t seed) {
  std::uint32_t h = seed * 0x9E3779B1u;
  h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
  h = (h << 17) | (h >> 15);
  h ^= static_cast<std::uint32_t>(z) * 0x27D4EB2Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

float unit(std::uint32_t h) {
  return static_cast<float>(h & 0xFFFFFFu) / static_cast<float>(0xFFFFFF);
}

float smooth(float t) {
  return t * t * (3.0f - 2.0f * t);
}

int wrap(int v, int period) {
  return ((v % period) + period) % period;
}

}  // namespace

void Image::set(int x, int y, glm::vec4 colour) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
  for (int c = 0; c < channels; ++c) p[c] = toByte(colour[c]);
}

glm::vec4 Image::get(int x, int y) const {
  glm::vec4 out(0.0f, 0.0f, 0.0f, 1.0f);
  if (x < 0 || y < 0 || x >= width || y >= height) return out;
  const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
  for (int c = 0; c < channels; ++c) out[c] = p[c] / 255.0f;
  return out;
}

void Image::blend(int x, int y, glm::vec3 colour, float alpha) {
  const glm::vec4 old = get(x, y);
  set(x, y, glm::vec4(glm::mix(glm::vec3(old), colour, std::clamp(alpha, 0.0f, 1.0f)), old.a));
}

void Image::fillRect(int x0, int y0, int x1, int y1, glm::vec3 colour) {
  for (int y = std::max(0, y0); y < std::min(height, y1); ++y) {
    for (int x = std::max(0, x0); x < std::min(width, x1); ++x) set(x, y, colour);
  }
}

float hashNoise(int x, int y, std::uint32_t seed) {
  return unit(hash3(x, y, 0, seed));
}

float tiledValueNoise(float x, float y, int period, std::uint32_t seed) {
  const int x0 = static_cast<int>(std::floor(x));
  const int y0 = static_cast<int>(std::floor(y));
  const float fx = smooth(x - static_cast<float>(x0));
  const float fy = smooth(y - static_cast<float>(y0));
  auto at = [&](int ix, int iy) { return hashNoise(wrap(ix, period), wrap(iy, period), seed); };
  const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
  const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
  return top + (bottom - top) * fy;
}

float tiledFractalNoise(float x, float y, int period, int octaves, std::uint32_t seed) {
  float sum = 0.0f;
  float amplitude = 0.5f;
  float norm = 0.0f;
  for (int o = 0; o < octaves; ++o) {
    const int scale = 1 << o;
    sum += amplitude * tiledValueNoise(x * scale, y * scale, period * scale, seed + o * 101u);
    norm += amplitude;
    amplitude *= 0.5f;
  }
  return sum / norm;
}

float valueNoise3(glm::vec3 p, std::uint32_t seed) {
  const glm::vec3 base = glm::floor(p);
  const glm::vec3 f = p - base;
  const glm::vec3 s(smooth(f.x), smooth(f.y), smooth(f.z));
  const int ix = static_cast<int>(base.x), iy = static_cast<int>(base.y), iz = static_cast<int>(base.z);
  float c[2][2][2];
  for (int dz = 0; dz < 2; ++dz)
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) c[dz][dy][dx] = unit(hash3(ix + dx, iy + dy, iz + dz, seed));
  auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
  const float y0 = lerp(lerp(c[0][0][0], c[0][0][1], s.x), lerp(c[0][1][0], c[0][1][1], s.x), s.y);
  const float y1 = lerp(lerp(c[1][0][0], c[1][0][1], s.x), lerp(c[1][1][0], c[1][1][1], s.x), s.y);
  return lerp(y0, y1, s.z);
}

bool writePng(const std::string& path, const Image& image) {
  return stbi_write_png(path.c_str(), image.width, image.height, image.channels, image.pixels.data(),
                        image.width * image.channels) != 0;
}

bool writeJpg(const std::string& path, const Image& image, int quality) {
  return stbi_write_jpg(path.c_str(), image.width, image.height, image.channels, image.pixels.data(),
                        quality) != 0;
}

}  // namespace ruvelo::assets
