#include "platform/data_folder.h"

namespace ruvelo {
namespace {

std::string& folder() {
  static std::string value = "../assets";
  return value;
}

}  // namespace

void setDataFolder(const std::string& dir) {
  folder() = dir;
}

const std::string& dataFolder() {
  return folder();
}

std::string dataPath(const std::string& relative) {
  return folder() + "/" + relative;
}

}  // namespace ruvelo
