// The generated textures: one function per image, all deterministic. Texture coordinates on the
// models use v up (v = 0 is the image's bottom row), as OBJ and FBX store them.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/image.h"

namespace ruvelo::assets {

Image makeAsphaltTexture();   // plain asphalt, tiles every 8 m
Image makeRoadTexture();      // one 16 m × 16 m piece of road: u across, v along, edge lines, dashed centre
Image makeKerbTexture();      // red and white kerb blocks, 2 m per tile along, 1 m up
Image makeConcreteTexture();  // cast concrete panels, 4 m per tile
Image makeBarrierTexture();   // concrete wall with a hazard band, 4 m along × 1 m up
Image makeFacadeTexture(int variant);  // 8 m × 8 m of building front: windows in a wall, variants 0..2
Image makeRoofTexture();               // gravel roof, 8 m per tile
Image makeGrassTexture();              // seamless grass, 4 m per tile
Image makeCarTexture();                // atlas of the van: side, glass, front, back (see the car model)
Image makeWheelTexture();              // left half: tread strip; right half: rim disc
Image makeConeTexture();               // orange with two white bands; a dark strip at the bottom for the base
Image makeBatteryTexture();  // bright cell wrap with charge symbols above a metal strip for the caps
Image makeFlakeTexture();    // RGBA soft white flake on transparent background

struct NamedTexture {
  std::string fileName;
  Image image;
};

// Every texture the models name, with the file name the materials use.
std::vector<NamedTexture> makeModelTextures();

}  // namespace ruvelo::assets
