#include "render/texture.h"

#include <iostream>

#include "platform/data_folder.h"
#include "render/image_file.h"

namespace ruvelo {

Texture TextureCache::get(const std::string& path, const std::string& type) {
  Entry& entry = entries_[path];
  std::shared_ptr<const GlTexture> handle = entry.handle.lock();
  if (!handle) {
    handle = std::make_shared<const GlTexture>(textureFromFile(path));
    entry = {handle, type};
  }
  return Texture{handle, entry.type, path};
}

size_t TextureCache::loadedCount() const {
  size_t count = 0;
  for (const auto& [path, entry] : entries_) count += entry.handle.expired() ? 0 : 1;
  return count;
}

Texture TextureCache::find(const std::string& path) const {
  const auto it = entries_.find(path);
  if (it == entries_.end()) return {};
  return Texture{it->second.handle.lock(), it->second.type, path};
}

GlTexture textureFromFile(const std::string& path) {
  const std::string fullPath = dataPath("model/" + path);
  GlTexture texture = GlTexture::generate();
  const DecodedImage image = decodeImage(fullPath, 0);
  if (!image.ok()) {
    std::cout << "Texture failed to load at path: " << path << std::endl;
    std::cout << "  in " << fullPath << ": " << image.error << std::endl;
    return texture;
  }
  glBindTexture(GL_TEXTURE_2D, texture.get());
  uploadMipmapped(GL_TEXTURE_2D, image, pixelFormat(image.channels));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return texture;
}

}  // namespace ruvelo
