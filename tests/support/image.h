// PNG images for end-to-end checks: loading, regions, colour counts and comparisons.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ruvelo::test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // rows top to bottom

  bool empty() const { return rgba.empty(); }
  const std::uint8_t* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

Image loadPng(const std::string& path);
bool savePng(const std::string& path, const Image& image);

// Pixels in [x0, x1) × [y0, y1) (top-down image coordinates) for which `match(r, g, b)` holds.
int countPixels(const Image& image, int x0, int y0, int x1, int y1,
                const std::function<bool(int r, int g, int b)>& match);

// Pixels in the box where the two images differ by more than `threshold` in any channel.
int countDifferent(const Image& a, const Image& b, int x0, int y0, int x1, int y1, int threshold);

struct ImageDiff {
  double meanAbs = 0.0;     // mean absolute channel difference, 0..255
  int maxAbs = 0;           // largest channel difference
  double fractionOver = 0;  // share of pixels differing by more than the outlier threshold
  Image visual;             // the difference, amplified, for a person to look at
};

ImageDiff compareImages(const Image& a, const Image& b, int outlierThreshold);

}  // namespace ruvelo::test
