#include "render/image_file.h"

#include <stb_image.h>

#include <algorithm>

namespace ruvelo {

DecodedImage decodeImage(const std::string& path, int wanted) {
  DecodedImage image;
  int width = 0;
  int height = 0;
  int channels = 0;
  // The header alone tells the size; refuse huge images before any pixel memory is taken.
  if (stbi_info(path.c_str(), &width, &height, &channels) != 0 &&
      (width > kMaxTextureSide || height > kMaxTextureSide)) {
    image.error = std::to_string(width) + " x " + std::to_string(height) + " is larger than " +
                  std::to_string(kMaxTextureSide) + " x " + std::to_string(kMaxTextureSide);
    return image;
  }
  unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, wanted);
  if (pixels == nullptr) {
    const char* reason = stbi_failure_reason();
    image.error = reason != nullptr ? reason : "cannot be decoded";
    return image;
  }
  image.pixels = {pixels, stbi_image_free};
  image.width = width;
  image.height = height;
  image.channels = wanted != 0 ? wanted : channels;
  return image;
}

GLenum pixelFormat(int channels) {
  switch (channels) {
    case 1:
      return GL_RED;
    case 2:
      return GL_RG;  // grey + alpha: kept as two channels rather than rejected
    case 3:
      return GL_RGB;
    default:
      return GL_RGBA;
  }
}

namespace {
// Tightly packed rows for the uploads made while it lives; the unpack alignment as it was after.
class TightRows {
 public:
  TightRows() {
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }
  ~TightRows() { glPixelStorei(GL_UNPACK_ALIGNMENT, previous_); }
  TightRows(const TightRows&) = delete;
  TightRows& operator=(const TightRows&) = delete;

 private:
  GLint previous_ = 4;
};

void uploadLevel(GLenum target, GLint level, int width, int height, GLenum format,
                 const unsigned char* pixels) {
  glTexImage2D(target, level, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
}

bool powerOfTwo(int n) {
  return n > 0 && (n & (n - 1)) == 0;
}
}  // namespace

void uploadPixels(GLenum target, int width, int height, GLenum format, const unsigned char* pixels) {
  const TightRows rows;
  uploadLevel(target, 0, width, height, format, pixels);
}

void uploadImage(GLenum target, const DecodedImage& image, GLenum format) {
  uploadPixels(target, image.width, image.height, format, image.pixels.get());
}

std::vector<unsigned char> halveImage(const unsigned char* pixels, int width, int height, int channels) {
  const int w = std::max(width / 2, 1);
  const int h = std::max(height / 2, 1);
  const auto c = static_cast<size_t>(channels);
  std::vector<unsigned char> half(static_cast<size_t>(w) * static_cast<size_t>(h) * c);
  const auto at = [&](int x, int y, size_t k) {
    return static_cast<unsigned>(
        pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * c + k]);
  };
  for (int y = 0; y < h; ++y) {
    // A side of 1 averages its one texel with itself.
    const int y0 = height > 1 ? 2 * y : 0;
    const int y1 = height > 1 ? 2 * y + 1 : 0;
    for (int x = 0; x < w; ++x) {
      const int x0 = width > 1 ? 2 * x : 0;
      const int x1 = width > 1 ? 2 * x + 1 : 0;
      for (size_t k = 0; k < c; ++k) {
        const unsigned low = (at(x0, y0, k) + at(x1, y0, k) + 1) / 2;
        const unsigned high = (at(x0, y1, k) + at(x1, y1, k) + 1) / 2;
        half[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * c + k] =
            static_cast<unsigned char>((low + high + 1) / 2);
      }
    }
  }
  return half;
}

void uploadMipmapped(GLenum target, const DecodedImage& image, GLenum format) {
  const TightRows rows;
  uploadLevel(target, 0, image.width, image.height, format, image.pixels.get());
  if (!powerOfTwo(image.width) || !powerOfTwo(image.height)) {
    glGenerateMipmap(target);
    return;
  }
  std::vector<unsigned char> level;
  const unsigned char* above = image.pixels.get();
  int width = image.width;
  int height = image.height;
  for (GLint index = 1; width > 1 || height > 1; ++index) {
    level = halveImage(above, width, height, image.channels);
    above = level.data();
    width = std::max(width / 2, 1);
    height = std::max(height / 2, 1);
    uploadLevel(target, index, width, height, format, level.data());
  }
}

}  // namespace ruvelo
