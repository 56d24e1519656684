// The folder the game's run-time data (shaders, models, textures, font, settings) is read from. Every
// asset path is relative to it. Until the game sets it, it is "../assets", the build tree's layout
// seen from build/bin.
#pragma once

#include <string>

namespace ruvelo {

void setDataFolder(const std::string& folder);
const std::string& dataFolder();
// dataFolder() + "/" + relative.
std::string dataPath(const std::string& relative);

}  // namespace ruvelo
