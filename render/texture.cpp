#include "render/texture.h"

#include <iostream>

#include "render/image_file.h"

namespace ruvelo {

std::vector<Texture>& loadedTextures() {
  static std::vector<Texture> textures;
  return textures;
}

GLuint textureFromFile(const std::string& path) {
  const std::string fullPath = std::string(kModelTextureDir) + path;
  GLuint id = 0;
  glGenTextures(1, &id);

  const DecodedImage image = decodeImage(fullPath, 0);
  if (!image.ok()) {
    std::cout << "Texture failed to load at path: " << path << std::endl;
    std::cout << "  in " << fullPath << ": " << image.error << std::endl;
    return id;
  }

  GLenum format = GL_RGB;
  switch (image.channels) {
    case 1:
      format = GL_RED;
      break;
    case 2:
      format = GL_RG;
      break;  // grey + alpha: kept as two channels rather than rejected
    case 3:
      format = GL_RGB;
      break;
    default:
      format = GL_RGBA;
      break;
  }
  // Rows of 1-, 2- and 3-channel images are not 4-byte aligned in general; upload them tightly
  // packed and leave the caller's unpack state as it was.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), image.width, image.height, 0, format,
               GL_UNSIGNED_BYTE, image.pixels.get());
  glGenerateMipmap(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
  return id;
}

}  // namespace ruvelo
