// The sky: one procedural function of view direction, sampled onto the six faces of a cube map with
// OpenGL's face orientation, so the faces meet without seams.
#pragma once

#include <array>
#include <string>

#include <glm/glm.hpp>

#include "tools/assetgen/image.h"

namespace ruvelo::assets {

// Faces in cube-map upload order: +X, −X, +Y, −Y, +Z, −Z.
constexpr int kSkyFaceCount = 6;
const std::array<std::string, kSkyFaceCount>& skyFaceFileNames();  // right2.jpg, left2.jpg, top.jpg, ...

// Direction (not normalised) through the point (s, t) of a face, s to the right and t down the
// image, both 0..1, following OpenGL's cube-map conventions for that face.
glm::vec3 cubeFaceDirection(int face, float s, float t);

// Colour of the sky seen along `direction`: gradient, sun, clouds, distant hills, ground haze.
glm::vec3 skyColour(glm::vec3 direction);

// One RGB face of `size` × `size` pixels.
Image makeSkyFace(int face, int size);

}  // namespace ruvelo::assets
