// The game as a player starts it: from any folder, with or without data, with the player's own
// settings, in a window smaller than the HUD was designed for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/hud_layout.h"
#include "passes/text_renderer.h"
#include "support/game_runner.h"
#include "support/image.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace ruvelo::test {
namespace {

// Runs `exe` from `cwd` as a player's shell would: no data folder named, the player's folders under
// a fresh temporary HOME.
GameRun runFrom(const std::string& cwd, const std::string& exe, const std::string& args) {
  const std::string home = makeTempDir("ruvelo-home");
  const std::string output = makeTempDir("ruvelo-output");
  const std::string command = "cd '" + cwd +
                              "' && env -u RUVELO_DATA_DIR -u XDG_CONFIG_HOME -u XDG_DATA_HOME " +
                              "-u XDG_STATE_HOME HOME='" + home + "' " + gamePreload() + "timeout 300 '" +
                              exe + "' " + args + " </dev/null >'" + output + "/out' 2>'" + output + "/err'";
  const GameRun run = runGameCommand(command, output + "/out", output + "/err");
  // Nothing is written for the player but a run's own recording, in the state folder.
  for (const auto& entry : fs::recursive_directory_iterator(home)) {
    if (entry.is_directory()) continue;
    EXPECT_EQ(entry.path().string(), home + "/.local/state/ruvelo/last-run.rvr") << "written for the player";
  }
  return run;
}

TEST(Anywhere, StartsFromTheRootFolderAndFromTheRepository) {
  for (const std::string cwd : {"/", RUVELO_SOURCE_DIR}) {
    const GameRun run = runFrom(cwd, RUVELO_GAME_BIN, "--frames 3 --fixed-dt 0.05 --log-state");
    EXPECT_EQ(run.status, 0) << cwd << "\n" << run.out << run.err;
    EXPECT_EQ(stateLines(run.out).size(), 3u) << cwd;
    EXPECT_EQ(run.out.find("failed"), std::string::npos) << run.out;
  }
}

TEST(Anywhere, WithoutDataItStopsNamingEveryPlaceTried) {
  const std::string root = makeTempDir("ruvelo-nodata");
  fs::create_directories(root + "/bin");
  fs::copy_file(RUVELO_GAME_BIN, root + "/bin/ruvelo");
  const GameRun run = runFrom("/", root + "/bin/ruvelo", "--frames 3");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "") << "no window";
  EXPECT_EQ(run.err,
            "ruvelo: no game data found; tried " + root + "/assets (no such folder), " + root +
                "/share/ruvelo (no such folder); name the folder with --data-dir DIR or RUVELO_DATA_DIR\n");
}

TEST(Anywhere, ThePlayersSettingsWinAndABadValueNamesTheirFile) {
  GameFolder folder;  // the shipped settings: 320 x 240
  const std::string mine =
      folder.writeFile("config/ruvelo/settings.txt", "width=200\nheight=120\nfullscreen=false\n");
  const std::string shot = folder.path("shot.png");
  const GameRun run = folder.run({"--frames", "1", "--fixed-dt", "0.05", "--screenshot", "1:" + shot});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const Image picture = loadPng(shot);
  EXPECT_EQ(picture.width, 200);
  EXPECT_EQ(picture.height, 120);

  folder.writeFile("config/ruvelo/settings.txt", "width=200\nheight=tall\n");
  const GameRun bad = folder.run({"--frames", "1"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "Invalid settings value for height: \"tall\" (not a number) in " + mine + "\n");
}

// At 1280 x 720 the HUD, shown and hidden in two otherwise equal runs, covers only the pixels its
// fitted layout predicts (the five lines and the drive elements), and the last character of the
// packet line, the "/3", is drawn, inside the margin.
TEST(Anywhere, TheHudFitsA1280By720Window) {
  constexpr int kWidth = 1280, kHeight = 720;
  GameFolder folder("width=1280\nheight=720\nrefresh_rate=60\nfullscreen=false\n");
  Image pictures[2];
  for (int hidden = 0; hidden < 2; ++hidden) {
    const std::string script = folder.writeFile(
        "keys.txt", std::string("1 F7 press\n1 F7 release\n") + (hidden ? "1 F9 press\n1 F9 release\n" : ""));
    const std::string shot = folder.path("hud" + std::to_string(hidden) + ".png");
    const GameRun run =
        folder.run({"--frames", "3", "--fixed-dt", "0.05", "--input", script, "--screenshot", "3:" + shot});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    pictures[hidden] = loadPng(shot);
    ASSERT_EQ(pictures[hidden].width, kWidth);
  }
  GlyphTable glyphs;
  std::vector<GlyphBitmap> bitmaps;
  ASSERT_TRUE(rasteriseFont(std::string(RUVELO_ASSET_DIR) + "/fonts/Itim-Regular.ttf", glyphs, bitmaps));
  const float scale = hudScale(glyphs, kWidth, kHeight);
  ASSERT_LT(scale, 1.0f);
  std::vector<TextBox> boxes;
  for (const HudBox& element : hudBoxes(glyphs, kWidth, kHeight, scale)) boxes.push_back(element.box);
  const TextBox packets = lineBox(hudLines({"", "", "0", "", ""}, scale)[2], glyphs, kWidth, kHeight);
  ASSERT_LE(packets.max.x, static_cast<float>(kWidth) * (1.0f - hudMargins(glyphs).x));

  int hud = 0, stray = 0, lastCharacter = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint8_t* a = pictures[0].at(x, y);
      const std::uint8_t* b = pictures[1].at(x, y);
      if (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) < 60) continue;
      ++hud;
      const glm::vec2 p(x + 0.5f, kHeight - y - 0.5f);  // window pixels, y up
      // Two pixels of slack, and the glyphs' outlines around them.
      const float slack = 2.0f + static_cast<float>(kOutlineTexels + 1);
      bool inside = false;
      for (const TextBox& box : boxes)
        inside = inside || (p.x > box.min.x - slack && p.x < box.max.x + slack && p.y > box.min.y - slack &&
                            p.y < box.max.y + slack);
      stray += !inside;
      lastCharacter += p.x > packets.max.x - 8 && p.y > packets.min.y && p.y < packets.max.y;
    }
  }
  EXPECT_GT(hud, 2000) << "the HUD is drawn";
  EXPECT_EQ(stray, 0) << "HUD pixels outside the predicted line boxes";
  EXPECT_GT(lastCharacter, 20) << "the packet line's last character is in the window";
}

}  // namespace
}  // namespace ruvelo::test
