// Image files decoded by stb_image and their upload to GL textures: the one place where pixels are
// read from disk and sent to the driver.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>

namespace ruvelo {

struct DecodedImage {
  int width = 0;
  int height = 0;
  int channels = 0;  // as delivered: the wanted count when one was asked for
  std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, [](void*) {}};

  explicit operator bool() const { return pixels != nullptr; }
};

// Decodes `path` with its own channel count (0) or exactly `wantedChannels`. Empty on failure.
DecodedImage decodeImage(const std::string& path, int wantedChannels = 0);

// GL_RED, GL_RG, GL_RGB or GL_RGBA for 1, 2, 3 or 4 channels.
GLenum pixelFormat(int channels);

// glTexImage2D of level 0 into `target` (bound by the caller) with tightly packed rows: rows of 1-,
// 2- and 3-channel images are not 4-byte aligned in general. The unpack alignment is left as it was.
void uploadImage(GLenum target, const DecodedImage& image, GLenum format);

}  // namespace ruvelo
