// The built game started as a player or a script would: settings, flags, frames, screenshots, Escape.
#include <gtest/gtest.h>
#include <stb_image.h>

#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

TEST(Startup, RunsTheRequestedFramesAndExitsCleanly) {
  GameFolder folder;
  const GameRun run = folder.run({"--frames", "3", "--fixed-dt", "0.016", "--log-state"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(stateLines(run.out).size(), 3u) << run.out;
  EXPECT_EQ(run.out.find("ERROR"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("failed"), std::string::npos) << run.out;
}

// --bench measures its floors in the same run: 30 clear-only frames and 30 frames of one textured
// quad, and the frame median over each floor's median as the ratios.
TEST(Startup, BenchReportsTheFloorAndTheRatioToIt) {
  GameFolder folder;
  const GameRun run = folder.run({"--frames", "4", "--fixed-dt", "0.05", "--bench"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // The number after `key` on the line starting with `line`; -1 when either is missing.
  auto valueOn = [&run](const std::string& line, const std::string& key) {
    const auto start = run.out.find(line);
    if (start == std::string::npos) return -1.0;
    const std::string text = run.out.substr(start, run.out.find('\n', start) - start);
    const auto at = text.find(key);
    return at == std::string::npos ? -1.0 : std::stod(text.substr(at + key.size()));
  };
  EXPECT_EQ(valueOn("bench floor_ms", "frames="), 30.0) << run.out;
  // Frames 1 and 3 give the frame figures; 2 and 4 carry the pass timers, whose cost on a software
  // rasteriser would otherwise be counted as the frame's.
  EXPECT_EQ(valueOn("bench frames", "frames="), 2.0) << run.out;
  EXPECT_EQ(valueOn("bench timed_frames", "frames="), 2.0) << run.out;
  EXPECT_EQ(valueOn("bench gpu pass=lit", "samples="), 2.0) << run.out;
  const double frame = valueOn("bench frame_ms", "median=");
  const double floor = valueOn("bench floor_ms", "median=");
  ASSERT_GT(frame, 0.0) << run.out;
  ASSERT_GT(floor, 0.0) << run.out;
  // The medians are printed to 0.001 ms: the ratio of the printed values can be off by that much
  // of each, relatively (a quad floor under a millisecond at this size makes it count).
  const auto slack = [frame](double floorMs) {
    return 0.002 + frame / floorMs * (0.0005 / frame + 0.0005 / floorMs);
  };
  EXPECT_NEAR(valueOn("bench ratio_to_floor", "="), frame / floor, slack(floor)) << run.out;
  EXPECT_EQ(valueOn("bench quad_floor_ms", "frames="), 30.0) << run.out;
  const double quad = valueOn("bench quad_floor_ms", "median=");
  ASSERT_GT(quad, 0.0) << run.out;
  EXPECT_NEAR(valueOn("bench ratio_to_quad_floor", "="), frame / quad, slack(quad)) << run.out;
}

TEST(Startup, MissingSettingsStopsBeforeAnyWindow) {
  GameFolder folder;
  folder.removeSettings();
  const GameRun run = folder.run({"--frames", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Unable to open file settings.txt") << "standard error, no line end";
  EXPECT_EQ(run.out, "") << "nothing else happens";
}

TEST(Startup, BadSettingsValueNamesKeyAndValue) {
  GameFolder folder("width=wide\nheight=240\nfullscreen=false\n");
  const GameRun run = folder.run({"--frames", "1"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("width"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("\"wide\""), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "") << "no window, no start-up output";
}

TEST(Startup, BadFlagsExitWithStatusTwo) {
  GameFolder folder;
  const GameRun unknown = folder.run({"--turbo"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("--turbo"), std::string::npos) << unknown.err;
  const GameRun bad = folder.run({"--frames", "many"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--frames"), std::string::npos) << bad.err;
}

TEST(Startup, ScriptedEscapeClosesTheWindow) {
  GameFolder folder;
  const std::string script =
      folder.writeFile("escape.txt", "# leave on frame 3\n3 ESCAPE press\n3 ESCAPE release\n");
  const GameRun run = folder.run({"--frames", "50", "--fixed-dt", "0.016", "--input", script, "--log-state"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(stateLines(run.out).size(), 3u) << "the loop ends after the frame Escape was released in";
}

TEST(Startup, ScreenshotHasTheWindowSize) {
  GameFolder folder("width=160\nheight=96\nfullscreen=false\n");
  const std::string shot = folder.path("shot.png");
  const GameRun run = folder.run({"--frames", "2", "--fixed-dt", "0.016", "--screenshot", "2:" + shot});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load(shot.c_str(), &w, &h, &channels, 4);
  ASSERT_NE(pixels, nullptr) << "no PNG at " << shot;
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 96);
  stbi_image_free(pixels);
}

}  // namespace
}  // namespace ruvelo::test
