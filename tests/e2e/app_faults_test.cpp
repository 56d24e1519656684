// Faults told, never hidden: broken run-time files name themselves, files that are not files are
// refused, and a developer flag that fails ends the run with a non-zero status and one line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/game_runner.h"
#include "support/image.h"

namespace ruvelo::test {
namespace {

// Deterministic bytes that are no model file.
std::string garbage(size_t size, unsigned seed) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes += static_cast<char>(seed >> 16);
  }
  return bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t lineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Faults, SettingsThatIsNotAFileStopsLikeAMissingOne) {
  GameFolder folder;
  folder.removeSettings();
  std::filesystem::create_directory(folder.path("assets/settings.txt"));
  const GameRun run = folder.run({"--frames", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Unable to open file settings.txt");
  EXPECT_EQ(run.out, "") << "no window, nothing else";
}

TEST(Faults, AConfigFolderThatIsAFileStopsTheGameNamingIt) {
  GameFolder folder;
  const std::string config = folder.writeFile("config", "not a folder\n");
  const GameRun run = folder.run({"--frames", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Unable to open file " + config + "/ruvelo/settings.txt: " + config + " is not a folder\n");
  EXPECT_EQ(run.out, "") << "no window, nothing else";
}

TEST(Faults, BrokenFilesNameThemselvesAndTheGameStillDrawsWhatItCan) {
  GameFolder folder;
  auto replace = [&](const std::string& asset, const std::string& bytes) {
    folder.hideAsset(asset);
    folder.writeFile("assets/" + asset, bytes);
  };
  replace("shader/phong.frag", "#version 430 core\nthis is not glsl\n");
  replace("model/FinishLine.obj", garbage(3000, 1));
  replace("model/greenPlane.obj", garbage(3000, 2));
  // A truncated FBX: the importer fails inside, and the sanitizer build checks nothing leaks.
  const std::string cone = readFile(std::string(RUVELO_ASSET_DIR) + "/model/Cone.fbx");
  ASSERT_GT(cone.size(), 100u);
  replace("model/Cone.fbx", cone.substr(0, cone.size() / 2));
  // A PNG header declaring 16384 x 16384 RGBA.
  replace("model/road.png",
          std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x40\0\0\0\x40\0\x08\x06\0\0\0\0\0\0\0", 33));
  // The top of the sky at a quarter of the others' size, in solid blue.
  Image top;
  top.width = 128;
  top.height = 128;
  for (int i = 0; i < top.width * top.height; ++i) top.rgba.insert(top.rgba.end(), {20, 40, 230, 255});
  folder.hideAsset("textures/skybox_free/top.jpg");
  ASSERT_TRUE(savePng(folder.path("assets/textures/skybox_free/top.jpg"), top));

  const std::string shot = folder.path("shot.png");
  const GameRun run = folder.run({"--frames", "3", "--fixed-dt", "0.05", "--screenshot", "3:" + shot});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const std::string& out = run.out;
  const auto has = [&](const std::string& text) { return out.find(text) != std::string::npos; };
  EXPECT_TRUE(has("Failed to compile fragment shader!\n")) << out;
  EXPECT_TRUE(has("\n  in ../assets/shader/phong.frag\n")) << out;
  EXPECT_TRUE(has("\n  in ../assets/shader/phong.vert and ../assets/shader/phong.frag\n")) << out;
  for (const char* model : {"FinishLine.obj", "greenPlane.obj", "Cone.fbx"}) {
    const size_t named = out.find(std::string("\n  in ../assets/model/") + model + "\n");
    ASSERT_NE(named, std::string::npos) << model << "\n" << out;
    // The line before it is the importer's.
    EXPECT_EQ(out.rfind("ERROR::ASSIMP::", named), out.rfind('\n', named - 1) + 1) << model;
  }
  EXPECT_TRUE(
      has("Texture failed to load at path: road.png\n"
          "  in ../assets/model/road.png: 16384 x 16384 is larger than 8192 x 8192\n"))
      << out;
  EXPECT_TRUE(
      has("Cubemap face ../assets/textures/skybox_free/top.jpg is 128 x 128, not 512 x 512 like the "
          "other faces: scaled to fit\n"))
      << out;
  // With an incomplete cube map the whole sky would be black; the start view has sky at its top.
  const Image picture = loadPng(shot);
  ASSERT_FALSE(picture.empty());
  const int sky = countPixels(picture, 0, 0, picture.width, picture.height / 8,
                              [](int r, int g, int b) { return r + g + b > 60; });
  EXPECT_GT(sky, picture.width * picture.height / 16) << "the sky is drawn";
}

TEST(Faults, ScreenshotThatCannotBeWrittenOrIsNeverReachedEndsTheRunWithStatusThree) {
  GameFolder folder;
  const GameRun full =
      folder.run({"--frames", "6", "--fixed-dt", "0.05", "--log-state", "--screenshot", "2:/dev/full"});
  EXPECT_EQ(full.status, 3) << full.out << full.err;
  EXPECT_EQ(full.err,
            "ruvelo: --screenshot: frame 2 could not be written to /dev/full: No space left on device\n");
  EXPECT_EQ(stateLines(full.out).size(), 2u) << "the run ends with the frame that failed";

  const std::string script = folder.writeFile("escape.txt", "2 ESCAPE press\n2 ESCAPE release\n");
  const GameRun missed = folder.run({"--input", script, "--fixed-dt", "0.05", "--screenshot", "4:late.png"});
  EXPECT_EQ(missed.status, 3) << missed.out << missed.err;
  EXPECT_EQ(lineCount(missed.err), 1u) << missed.err;
  EXPECT_NE(missed.err.find("frame 4 was never reached"), std::string::npos) << missed.err;
  EXPECT_FALSE(std::filesystem::exists(folder.path("bin/late.png")));

  const GameRun beyond = folder.run({"--frames", "3", "--screenshot", "4:x.png"});
  EXPECT_EQ(beyond.status, 2) << "refused before any window";
  EXPECT_EQ(beyond.out, "");
}

TEST(Faults, InputThatIsNotAPlainFileIsRefusedWithStatusTwo) {
  GameFolder folder;
  for (const std::string& input : {folder.path("assets"), std::string("/dev/zero")}) {
    const GameRun run = folder.run({"--frames", "1", "--input", input}, 60);
    EXPECT_EQ(run.status, 2) << input << run.err;
    EXPECT_EQ(lineCount(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("--input"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace ruvelo::test
