#include "render/image_file.h"

#include <stb_image.h>

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

void uploadPixels(GLenum target, int width, int height, GLenum format, const unsigned char* pixels) {
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(target, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

void uploadImage(GLenum target, const DecodedImage& image, GLenum format) {
  uploadPixels(target, image.width, image.height, format, image.pixels.get());
}

}  // namespace ruvelo
