#include "render/image_file.h"

#include <stb_image.h>

namespace ruvelo {

DecodedImage decodeImage(const std::string& path, int wantedChannels) {
  DecodedImage image;
  unsigned char* pixels =
      stbi_load(path.c_str(), &image.width, &image.height, &image.channels, wantedChannels);
  if (pixels == nullptr) return image;
  if (wantedChannels != 0) image.channels = wantedChannels;
  image.pixels = std::unique_ptr<unsigned char, void (*)(void*)>(pixels, stbi_image_free);
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

void uploadImage(GLenum target, const DecodedImage& image, GLenum format) {
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(target, 0, static_cast<GLint>(format), image.width, image.height, 0, format, GL_UNSIGNED_BYTE,
               image.pixels.get());
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

}  // namespace ruvelo
