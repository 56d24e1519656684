// Failures that could pass for success, each told: the run ends with its status and a line naming
// the file, flag or stream that failed (or, where nothing failed for the player, it simply works).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "support/game_runner.h"
#include "support/image.h"
#include "support/temp_dir.h"

namespace ruvelo::test {
namespace {

// Runs the game like GameFolder::run, with the standard streams arranged by `streams` (shell
// redirections; standard error goes to a file unless `streams` says otherwise).
GameRun runWithStreams(const GameFolder& folder, const std::vector<std::string>& args,
                       const std::string& streams, int timeoutSeconds = 60) {
  std::string redirections = streams;
  if (streams.find("2>") == std::string::npos) redirections += " 2>'" + folder.path("stderr.txt") + "'";
  return folder.runWithStreams(args, redirections, timeoutSeconds);
}

std::string withFirstVertex(const std::string& obj, const std::string& vertex) {
  const size_t at = obj.find("\nv ");
  const size_t end = obj.find('\n', at + 1);
  return obj.substr(0, at + 1) + vertex + obj.substr(end);
}

struct Fault {
  const char* what;
  std::function<void(GameFolder&)> arrange;
  std::vector<std::string> args;
  const char* streams;  // "" for the usual files
  int status;
  const char* toldOnErr;  // text standard error holds ("" for none)
  const char* toldOnOut;  // text standard output holds ("" for none)
};

TEST(ToldFailures, EachEndsWithItsStatusAndNamesWhatFailed) {
  const std::string modelDir = std::string(RUVELO_ASSET_DIR) + "/model/";
  auto replaceModel = [modelDir](const std::string& name, const std::string& vertex) {
    return [=](GameFolder& folder) {
      folder.hideAsset("model/" + name);
      folder.writeFile("assets/model/" + name, withFirstVertex(readWholeFile(modelDir + name), vertex));
    };
  };
  auto nothing = [](GameFolder&) {};
  const std::vector<std::string> shortRun = {"--frames", "3", "--fixed-dt", "0.05"};
  auto plus = [&](std::vector<std::string> more) {
    std::vector<std::string> all = shortRun;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  const Fault faults[] = {
      // Closed standard streams are opened on /dev/null: the X connection cannot take their place.
      {"stdin and stdout closed", nothing, plus({"--log-state"}), "<&- >&-", 0, "", ""},
      {"all three closed", nothing, plus({"--log-state"}), "<&- >&- 2>&-", 0, "", ""},
      {"state lines into a full disk",
       nothing,
       {"--frames", "400", "--fixed-dt", "0.05", "--log-state"},
       ">/dev/full",
       3,
       "ruvelo: standard output could not be written: No space left on device\n",
       ""},
      {"bench report into a full disk", nothing, plus({"--bench"}), ">/dev/full", 3,
       "ruvelo: standard output could not be written: No space left on device\n", ""},
      {"--bench-floor with --screenshot",
       nothing,
       {"--bench-floor", "--frames", "3", "--screenshot", "2:x.png"},
       "",
       2,
       "--bench-floor: cannot be combined with --screenshot",
       ""},
      {"--bench-floor with --log-state",
       nothing,
       {"--log-state", "--bench-floor"},
       "",
       2,
       "--bench-floor: cannot be combined with --log-state",
       ""},
      {"--bench-floor with --input",
       [](GameFolder& f) { f.writeFile("bin/esc.txt", "2 ESCAPE press\n"); },
       {"--bench-floor", "--input", "esc.txt"},
       "",
       2,
       "--bench-floor: cannot be combined with --input",
       ""},
      {"--fixed-dt beyond the frame cap",
       nothing,
       {"--frames", "3", "--fixed-dt", "1"},
       "",
       2,
       "ruvelo: --fixed-dt: frames count at most 0.25 s, got 1\n",
       ""},
      {"the vehicle's material file missing", [](GameFolder& f) { f.hideAsset("model/testCar.mtl"); },
       shortRun, "", 0, "",
       "ERROR::MODEL: material file testCar.mtl: No such file or directory\n  in "
       "../assets/model/testCar.obj\n"},
      {"a collision vertex at 1e30", replaceModel("level1PhysXFinal.obj", "v 1e30 0 0"), shortRun, "", 1, "",
       "ERROR::MODEL: vertex 1 at (1e+30, 0, 0) is not finite or lies beyond 100000 m: the model is refused\n"
       "  in ../assets/model/level1PhysXFinal.obj\n"},
      {"a render vertex that is not a number", replaceModel("level1RenderFinal2.obj", "v nan 0 0"), shortRun,
       "", 0, "",
       "ERROR::MODEL: vertex 1 at (nan, 0, 0) is not finite or lies beyond 100000 m: the model is refused\n"
       "  in ../assets/model/level1RenderFinal2.obj\n"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    GameFolder folder;
    fault.arrange(folder);
    GameRun run;
    if (*fault.streams) {
      run = runWithStreams(folder, fault.args, fault.streams);
    } else {
      run = folder.run(fault.args, 60);
    }
    EXPECT_EQ(run.status, fault.status) << run.out << run.err;
    if (*fault.toldOnErr) {
      EXPECT_NE(run.err.find(fault.toldOnErr), std::string::npos) << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
    } else if (std::string(fault.streams).find("2>") == std::string::npos) {
      EXPECT_EQ(run.err, "");
    }
    if (*fault.toldOnOut) {
      EXPECT_NE(run.out.find(fault.toldOnOut), std::string::npos) << run.out;
    }
  }
}

TEST(ToldFailures, FullScreenDrawsTheWholeFramebufferItGot) {
  // No screen has a 320 x 180 mode: the window gets the screen's size, and the picture must cover it.
  GameFolder folder("width=320\nheight=180\nrefresh_rate=60\nfullscreen=true\n");
  const std::string shot = folder.path("shot.png");
  const GameRun run = folder.run({"--frames", "2", "--fixed-dt", "0.05", "--screenshot", "2:" + shot}, 120);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const Image picture = loadPng(shot);
  ASSERT_GT(picture.width, 320);
  ASSERT_GT(picture.height, 180);
  // The sky fills the top of the start view: the top right, far from the old 320 x 180 corner.
  const int sky = countPixels(picture, picture.width / 2, 0, picture.width, picture.height / 8,
                              [](int r, int g, int b) { return b > 100 && b >= r && r + g + b > 200; });
  EXPECT_GT(sky, picture.width * picture.height / 32) << "the whole window is drawn";
}

}  // namespace
}  // namespace ruvelo::test
