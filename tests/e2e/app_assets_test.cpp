// Missing and broken run-time files: one clear line each, and the game either carries on with an
// empty object or, for what it cannot run without, stops with its status.
#include <gtest/gtest.h>

#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

const std::vector<std::string> kFewFrames = {"--frames", "3", "--fixed-dt", "0.05"};

TEST(Assets, MissingSkyFaceModelAndTextureAreReportedAndTheGameGoesOn) {
  GameFolder folder;
  folder.hideAsset("textures/skybox_free/top.jpg");
  folder.hideAsset("model/Battery.fbx");
  folder.hideAsset("model/cone.png");
  const GameRun run = folder.run(kFewFrames);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Cubemap texture failed to load at path: ../assets/textures/skybox_free/top.jpg\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("ERROR::ASSIMP::"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Texture failed to load at path: cone.png\n"), std::string::npos) << run.out;
  // Five battery models and five cones share one file each: the texture is tried once, the
  // missing model is reported by every import.
  size_t textureLines = 0;
  for (size_t at = run.out.find("Texture failed"); at != std::string::npos;
       at = run.out.find("Texture failed", at + 1))
    ++textureLines;
  EXPECT_EQ(textureLines, 1u) << "a texture that failed is recorded and never retried";
}

TEST(Assets, BrokenShaderPrintsTheCompileAndLinkLinesAndTheGameGoesOn) {
  GameFolder folder;
  folder.hideAsset("shader/phong.frag");
  folder.writeFile("assets/shader/phong.frag", "#version 430 core\nthis is not glsl\n");
  const GameRun run = folder.run(kFewFrames);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const size_t compile = run.out.find("Failed to compile fragment shader!\n");
  const size_t link = run.out.find("Failed to Link Shader Program!\n");
  ASSERT_NE(compile, std::string::npos) << run.out;
  ASSERT_NE(link, std::string::npos) << run.out;
  EXPECT_LT(compile, link);
}

TEST(Assets, MissingFontEndsStartUpWithMinusOne) {
  GameFolder folder;
  folder.hideAsset("fonts/Itim-Regular.ttf");
  const GameRun run = folder.run(kFewFrames);
  EXPECT_EQ(run.status, 255) << "main returns -1";
  EXPECT_NE(run.out.find("ERROR::FREETYPE: Failed to load font\n  in ../assets/fonts/Itim-Regular.ttf\n"),
            std::string::npos)
      << run.out;
}

TEST(Assets, MissingCollisionModelStopsWithOneLine) {
  GameFolder folder;
  folder.hideAsset("model/level1PhysXFinal.obj");
  const GameRun run = folder.run(kFewFrames);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("ERROR: the level's collision mesh could not be built"), std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace ruvelo::test
