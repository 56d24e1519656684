// The camera views: C cycles chase, far chase and bonnet; the chase view is the reference picture,
// the bonnet view is not.
#include <gtest/gtest.h>

#include "support/game_runner.h"
#include "support/image.h"

namespace ruvelo::test {
namespace {

const std::string kStartShot =
    std::string(RUVELO_SOURCE_DIR) + "/tests/e2e/reference/recordings/start_12.png";

// The start drive's twelfth frame with C released `presses` times in the first frame.
Image startView(GameFolder& folder, int presses, std::string& out) {
  std::string script;
  for (int i = 0; i < presses; ++i) script += "1 C release\n";
  const std::string shot = folder.path("view.png");
  const GameRun run = folder.run({"--frames", "12", "--fixed-dt", "0.05", "--input",
                                  folder.writeFile("c.txt", script), "--screenshot", "12:" + shot});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  out = run.out;
  return loadPng(shot);
}

bool closeTo(const Image& a, const Image& b) {
  if (a.empty() || b.empty() || a.width != b.width || a.height != b.height) return false;
  const ImageDiff diff = compareImages(a, b, 64);
  return diff.meanAbs < 4.0 && diff.fractionOver < 0.02;
}

TEST(CameraViews, CCyclesTheViewsAndOnlyTheChaseViewIsTheReference) {
  GameFolder folder;
  const Image reference = loadPng(kStartShot);
  ASSERT_FALSE(reference.empty());
  std::string out;
  const Image bonnet = startView(folder, 2, out);
  EXPECT_EQ(out, "Camera: far chase\nCamera: bonnet\n");
  EXPECT_FALSE(closeTo(bonnet, reference)) << "the bonnet view looks from the vehicle";
  const Image chase = startView(folder, 3, out);
  EXPECT_EQ(out, "Camera: far chase\nCamera: bonnet\nCamera: chase\n");
  EXPECT_TRUE(closeTo(chase, reference)) << "round again to the chase view";
}

}  // namespace
}  // namespace ruvelo::test
