// Model textures: file loading through stb_image, the texture records meshes hold, and the cache of
// loaded files that lets models share one texture per file. A texture's GL name belongs to the
// meshes that use it and is released with the last of them; the cache only points at it.
#pragma once

#include <GL/glew.h>

#include <map>
#include <memory>
#include <string>

#include "render/gl_handles.h"

namespace ruvelo {

struct Texture {
  std::shared_ptr<const GlTexture> handle;  // shared by every mesh that uses the file
  std::string type;                         // "texture_diffuse" or "texture_specular"
  std::string path;                         // as the model file names it; the key of the index

  GLuint id() const { return handle ? handle->get() : 0; }
};

// Where model textures are read from, relative to the working directory.

// Loads the data folder's model/ + path into a new mipmapped, repeating, trilinear 2D texture. On failure
// prints "Texture failed to load at path: " + path, then "  in " + the file tried and why, and
// returns a name without storage. Images larger than kMaxTextureSide are refused.
GlTexture textureFromFile(const std::string& path);

// Loaded model textures by path, owned by whoever draws with them (the renderer; a test).
class TextureCache {
 public:
  // The texture of `path` (typed `type` when first loaded): the one already in use by some mesh,
  // else freshly loaded and cached.
  Texture get(const std::string& path, const std::string& type);

  // How many cached textures are still in use, and the one of `path` (empty when none is).
  size_t loadedCount() const;
  Texture find(const std::string& path) const;

 private:
  struct Entry {
    std::weak_ptr<const GlTexture> handle;
    std::string type;
  };
  std::map<std::string, Entry> entries_;
};

}  // namespace ruvelo
