// Decoding image files for textures, with the checks every texture load shares (a readable file and
// a size the GL and the memory can take), and their upload: the one place where pixels are read from
// disk and sent to the driver.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>
#include <vector>

namespace ruvelo {

// Sides beyond this are refused before decoding: a 16384² RGBA file alone would need 1 GiB of
// pixels, plus its mipmaps.
constexpr int kMaxTextureSide = 8192;

struct DecodedImage {
  std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, nullptr};
  int width = 0;
  int height = 0;
  int channels = 0;   // after conversion: `wanted` when it was not 0, else as stored
  std::string error;  // why pixels is null: "can't fopen", "16384 x 16384 is larger than 8192 x 8192"

  bool ok() const { return pixels != nullptr; }
};

// Decodes `path` with stb_image (no vertical flip), converted to `wanted` channels (0: as stored).
DecodedImage decodeImage(const std::string& path, int wanted);

// GL_RED, GL_RG, GL_RGB or GL_RGBA for 1, 2, 3 or 4 channels.
GLenum pixelFormat(int channels);

// glTexImage2D of level 0 into `target` (bound by the caller) with tightly packed rows: rows of 1-,
// 2- and 3-channel images are not 4-byte aligned in general. The unpack alignment is left as it was.
void uploadPixels(GLenum target, int width, int height, GLenum format, const unsigned char* pixels);
void uploadImage(GLenum target, const DecodedImage& image, GLenum format);

// The next smaller mip level of a tightly packed image of `channels` bytes per texel: each texel is
// the mean of a 2 × 2 block, taken over the pairs of columns first and then the two rows, each mean
// rounding halves up; a side of 1 stays 1.
std::vector<unsigned char> halveImage(const unsigned char* pixels, int width, int height, int channels);

// uploadImage, then every smaller level down to 1 × 1. Images whose sides are powers of two get
// their levels from halveImage, the same texels a software driver's glGenerateMipmap gives, without
// the code it compiles on first use for each pixel format (about 50 to 85 ms of start-up each).
// Other sizes are left to glGenerateMipmap: their levels do not fall on 2 × 2 blocks.
void uploadMipmapped(GLenum target, const DecodedImage& image, GLenum format);

}  // namespace ruvelo
