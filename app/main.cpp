// Ruvelo: deliver three packets across the level before the time or the power runs out.
#include <iostream>

#include "app/app.h"
#include "devtools/dev_flags.h"
#include "devtools/flag_checks.h"
#include "input/input_script.h"
#include "platform/data_folder.h"
#include "platform/data_location.h"
#include "platform/std_streams.h"

int main(int argc, char** argv) {
  ruvelo::reopenClosedStandardStreams();
  // An --input script is read by the input module's own reader.
  const ruvelo::FlagsResult flags = ruvelo::parseDevFlags(argc, argv, [](const std::string& text) {
    std::vector<ruvelo::ScriptedKey> script;
    std::string error;
    return ruvelo::parseInputScript(text, script, error) ? std::string() : error;
  });
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
  const ruvelo::DataLocation data =
      ruvelo::findDataFolder(ruvelo::thisProcessDataSearch(flags.flags.dataDir));
  if (!data.ok) {
    std::cerr << "ruvelo: " << data.message << std::endl;
    return 1;
  }
  ruvelo::setDataFolder(data.folder);
  return ruvelo::finishStandardOutput(ruvelo::runGame(flags.flags));
}
