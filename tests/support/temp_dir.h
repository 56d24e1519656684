// Fresh temporary folders for tests.
#pragma once

#include <string>

namespace ruvelo::test {

// A fresh empty directory under the system temp folder.
std::string makeTempDir(const std::string& prefix);

}  // namespace ruvelo::test
