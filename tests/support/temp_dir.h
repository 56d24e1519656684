// Fresh temporary folders for tests, and reading back what a test or the game wrote.
#pragma once

#include <string>

namespace ruvelo::test {

// A fresh empty directory under the system temp folder.
std::string makeTempDir(const std::string& prefix);

// The whole file as bytes; "" when it cannot be read.
std::string readWholeFile(const std::string& path);

}  // namespace ruvelo::test
