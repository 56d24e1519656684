// The model importer without a GL context: what a file's meshes hold, the collision soup built from
// them, the refusals, and the level's own collision model read the way physics reads it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "import/model_import.h"
#include "support/obj_reader.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

using ::testing::ElementsAre;

class Import : public ::testing::Test {
 protected:
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  std::string dir_ = test::makeTempDir("import_model");
};

TEST_F(Import, MeshesKeepTheirVerticesTexturesAndOffsetIndicesInTheSoup) {
  file("two.mtl", "newmtl a\nmap_Kd diffuse.png\nmap_Ks specular.png\nnewmtl b\nKd 1 1 1\n");
  const std::string path = file("two.obj",
                                "mtllib two.mtl\no first\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
                                "vn 0 0 1\nusemtl a\nf 1/1/1 2/2/1 3/3/1\no second\nv 2 0 -1\nv 3 0 0\n"
                                "v 2 4 0\nusemtl b\nf 4/1/1 5/2/1 6/3/1\n");
  testing::internal::CaptureStdout();
  const ModelData model = importModel(path);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(model.meshes.size(), 2u);
  const MeshData& first = model.meshes[0];
  ASSERT_EQ(first.positions.size(), 3u);
  ASSERT_EQ(first.normals.size(), 3u);
  ASSERT_EQ(first.texCoords.size(), 3u);
  EXPECT_EQ(first.texCoords[1], glm::vec2(1, 1)) << "v flipped";
  EXPECT_EQ(first.normals[0], glm::vec3(0, 0, 1));
  ASSERT_EQ(first.textures.size(), 2u);
  EXPECT_EQ(first.textures[0].path, "diffuse.png");
  EXPECT_EQ(first.textures[0].type, "texture_diffuse");
  EXPECT_EQ(first.textures[1].type, "texture_specular");
  EXPECT_TRUE(model.meshes[1].textures.empty());
  EXPECT_EQ(model.localMin, glm::vec3(0, 0, -1));
  EXPECT_EQ(model.localMax, glm::vec3(3, 4, 0));

  const TriangleSoup soup = triangleSoup(model);
  EXPECT_THAT(soup.indices, ElementsAre(0u, 1u, 2u, 3u, 4u, 5u));
  ASSERT_EQ(soup.positions.size(), 6u);
  EXPECT_EQ(soup.positions[5], glm::vec3(2, 4, 0));
  EXPECT_EQ(checkModel(model), "");
}

TEST_F(Import, UnreadableFilesAndFacelessScenesAreRefusedNamingTheFile) {
  std::string garbage;  // bytes the OBJ reader accepts as a scene without any geometry
  unsigned state = 12345;
  for (int i = 0; i < 4000; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 16);
  }
  for (const std::string& path :
       {dir_ + "/absent.obj", file("garbage.obj", garbage), file("points.obj", "v 0 0 0\n")}) {
    testing::internal::CaptureStdout();
    const ModelData model = importModel(path);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.rfind("ERROR::ASSIMP::", 0), 0u) << output;
    EXPECT_THAT(output, ::testing::EndsWith("\n  in " + path + "\n"));
    EXPECT_TRUE(model.empty()) << path;
    EXPECT_EQ(model.localMax, glm::vec3(0.0f));
  }
  EXPECT_NE(checkModel(ModelData{}), "");
}

TEST(ImportLevel, TheCollisionModelGivesPhysicsEveryTriangleOfTheFile) {
  const std::string path = test::levelCollisionModelPath();
  test::ObjMesh plain;
  ASSERT_TRUE(test::readObj(path, plain));
  const ModelData model = importModel(path);
  const TriangleSoup soup = triangleSoup(model);
  EXPECT_EQ(soup.indices.size(), plain.indices.size());
  for (uint32_t index : soup.indices) ASSERT_LT(index, soup.positions.size());
  glm::vec3 lo = plain.positions.front(), hi = lo;
  for (const glm::vec3& p : plain.positions) {
    lo = glm::min(lo, p);
    hi = glm::max(hi, p);
  }
  EXPECT_EQ(model.localMin, lo);
  EXPECT_EQ(model.localMax, hi);
  EXPECT_GT(glm::length(farthestFromCentroid(model)), 0.0f);
}

}  // namespace
}  // namespace ruvelo
