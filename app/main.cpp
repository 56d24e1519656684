// Ruvelo: deliver three packets across the level before the time or the power runs out.
#include <iostream>

#include "app/app.h"
#include "platform/data_location.h"
#include "devtools/dev_flags.h"
#include "devtools/flag_checks.h"
#include "platform/std_streams.h"
#include "platform/data_folder.h"

int main(int argc, char** argv) {
  ruvelo::reopenClosedStandardStreams();
  const ruvelo::FlagsResult flags = ruvelo::parseDevFlags(argc, argv);
  if (!flags.exitText.empty()) {
    std::cout << flags.exitText;
    return ruvelo::finishStandardOutput(0);
  }
  if (!flags.ok) {
    std::cerr << "ruvelo: " << flags.message << std::endl;
    return 2;
  }
  const std::string refused = ruvelo::refusedFlags(flags.flags);
  if (!refused.empty()) {
    std::cerr << "ruvelo: " << refused << std::endl;
    return 2;
  }
  const ruvelo::DataLocation data = ruvelo::findDataFolder(ruvelo::thisProcessDataSearch(flags.flags.dataDir));
  if (!data.ok) {
    std::cerr << "ruvelo: " << data.message << std::endl;
    return 1;
  }
  ruvelo::setDataFolder(data.folder);
  return ruvelo::finishStandardOutput(ruvelo::runGame(flags.flags));
}
