// Texture records, file loading through stb_image and the process-wide list of loaded textures.
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

namespace ruvelo {

struct Texture {
  GLuint id = 0;
  std::string type;  // "texture_diffuse" or "texture_specular"
  std::string path;  // as the model file names it; the key of the loaded-texture list
};

// Where model textures are read from, relative to the working directory.
inline const char* const kModelTextureDir = "../assets/model/";

// Loads kModelTextureDir + path into a new mipmapped, repeating, trilinear 2D texture. On failure
// prints "Texture failed to load at path: " + path, then "  in " + the file tried and why, and
// returns a name without storage. Images larger than kMaxTextureSide are refused.
GLuint textureFromFile(const std::string& path);

// The process-wide list of loaded textures, in load order; entries are never removed and their
// textures live for the whole process.
std::vector<Texture>& loadedTextures();

}  // namespace ruvelo
