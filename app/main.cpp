// Ruvelo: deliver three packets across the level before the time or the power runs out.
#include <iostream>

#include "app/app.h"
#include "app/dev_flags.h"

int main(int argc, char** argv) {
  const ruvelo::FlagsResult flags = ruvelo::parseDevFlags(argc, argv);
  if (!flags.ok) {
    std::cerr << "ruvelo: " << flags.message << std::endl;
    return 2;
  }
  return ruvelo::runGame(flags.flags);
}
