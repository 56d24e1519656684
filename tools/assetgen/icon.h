// The game's icon for desktop menus: the six-wheeled delivery van with a packet on its roof, on a
// round-cornered evening-sky tile. Drawn at any size from one vector description.
#pragma once

#include <array>

#include "tools/assetgen/image.h"

namespace ruvelo::assets {

// The sizes installed under share/icons/hicolor/<size>x<size>/apps.
inline constexpr std::array<int, 4> kIconSizes = {48, 64, 128, 256};

// An RGBA square of `size` pixels, transparent outside the rounded tile.
Image makeIcon(int size);

}  // namespace ruvelo::assets
