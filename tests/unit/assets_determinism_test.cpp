// Generation is deterministic: two fresh runs, and the run the build made earlier, give the same bytes;
// a folder that cannot be written is reported as a failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/gl_context.h"
#include "tools/assetgen/asset_generator.h"

namespace fs = std::filesystem;
namespace ra = ruvelo::assets;

namespace {

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(AssetGeneration, TwoRunsAndTheBuiltTreeAreByteIdentical) {
  const std::string first = ruvelo::test::makeTempDir("assets_a");
  const std::string second = ruvelo::test::makeTempDir("assets_b");
  const ra::GenerationResult a = ra::generateAssets(first);
  const ra::GenerationResult b = ra::generateAssets(second);
  ASSERT_TRUE(a.ok) << a.error;
  ASSERT_TRUE(b.ok) << b.error;
  ASSERT_EQ(a.files.size(), b.files.size());
  ASSERT_GT(a.files.size(), 30u);
  for (std::size_t i = 0; i < a.files.size(); ++i) {
    SCOPED_TRACE(a.files[i].path);
    ASSERT_EQ(a.files[i].path, b.files[i].path);
    EXPECT_GT(a.files[i].bytes, 0u);
    const std::string bytes = readAll(fs::path(first) / a.files[i].path);
    EXPECT_EQ(bytes.size(), a.files[i].bytes);
    EXPECT_TRUE(bytes == readAll(fs::path(second) / b.files[i].path));
    // The build wrote its tree earlier (another second, often another minute): still the same bytes.
    EXPECT_TRUE(bytes == readAll(fs::path(RUVELO_ASSET_DIR) / a.files[i].path));
  }
  fs::remove_all(first);
  fs::remove_all(second);
}

TEST(AssetGeneration, UnwritableTargetIsReportedAsFailure) {
  const std::string dir = ruvelo::test::makeTempDir("assets_blocked");
  const fs::path blocker = fs::path(dir) / "not_a_dir";
  std::ofstream(blocker) << "a file where the assets folder should go";
  const ra::GenerationResult result = ra::generateAssets(blocker.string());
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());
  fs::remove_all(dir);
}
