#include "support/image.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdlib>

namespace ruvelo::test {

Image loadPng(const std::string& path) {
  Image image;
  int channels = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &image.width, &image.height, &channels, 4);
  if (pixels == nullptr) return {};
  image.rgba.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 4);
  stbi_image_free(pixels);
  return image;
}

bool savePng(const std::string& path, const Image& image) {
  return stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4) != 0;
}

int countPixels(const Image& image, int x0, int y0, int x1, int y1,
                const std::function<bool(int r, int g, int b)>& match) {
  int count = 0;
  for (int y = std::max(0, y0); y < std::min(image.height, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(image.width, x1); ++x) {
      const std::uint8_t* p = image.at(x, y);
      if (match(p[0], p[1], p[2])) ++count;
    }
  return count;
}

int countDifferent(const Image& a, const Image& b, int x0, int y0, int x1, int y1, int threshold) {
  if (a.width != b.width || a.height != b.height) return -1;
  int count = 0;
  for (int y = std::max(0, y0); y < std::min(a.height, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(a.width, x1); ++x) {
      const std::uint8_t* p = a.at(x, y);
      const std::uint8_t* q = b.at(x, y);
      for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - q[c]) > threshold) {
          ++count;
          break;
        }
    }
  return count;
}

ImageDiff compareImages(const Image& a, const Image& b, int outlierThreshold) {
  ImageDiff diff;
  if (a.width != b.width || a.height != b.height || a.empty()) {
    diff.meanAbs = 255.0;
    diff.maxAbs = 255;
    diff.fractionOver = 1.0;
    return diff;
  }
  diff.visual = a;
  double total = 0.0;
  size_t over = 0;
  const size_t pixels = static_cast<size_t>(a.width) * a.height;
  for (size_t i = 0; i < pixels; ++i) {
    int worst = 0;
    for (int c = 0; c < 3; ++c) {
      const int d = std::abs(a.rgba[i * 4 + c] - b.rgba[i * 4 + c]);
      total += d;
      worst = std::max(worst, d);
      diff.visual.rgba[i * 4 + c] = static_cast<std::uint8_t>(std::min(255, d * 8));
    }
    diff.visual.rgba[i * 4 + 3] = 255;
    diff.maxAbs = std::max(diff.maxAbs, worst);
    if (worst > outlierThreshold) ++over;
  }
  diff.meanAbs = total / static_cast<double>(pixels * 3);
  diff.fractionOver = static_cast<double>(over) / static_cast<double>(pixels);
  return diff;
}

}  // namespace ruvelo::test
