// Ruvelo: deliver three packets across the level before the time or the power runs out.
#include <iostream>

#include "app/app.h"
#include "app/data_location.h"
#include "app/dev_flags.h"
#include "render/data_folder.h"

int main(int argc, char** argv) {
  const ruvelo::FlagsResult flags = ruvelo::parseDevFlags(argc, argv);
  if (!flags.exitText.empty()) {
    std::cout << flags.exitText << std::flush;
    return 0;
  }
  if (!flags.ok) {
    std::cerr << "ruvelo: " << flags.message << std::endl;
    return 2;
  }
  const ruvelo::DataLocation data =
      ruvelo::findDataFolder(ruvelo::thisProcessDataSearch(flags.flags.dataDir));
  if (!data.ok) {
    std::cerr << "ruvelo: " << data.message << std::endl;
    return 1;
  }
  ruvelo::setDataFolder(data.folder);
  return ruvelo::runGame(flags.flags);
}
