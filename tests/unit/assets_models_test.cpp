// Every generated model imports as the game imports it, carries what the renderer reads, has the
// size its drawing matrix expects, and names only textures that load.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <stb_image.h>
#include <assimp/Importer.hpp>

#include <cmath>
#include <map>
#include <string>

#include "tools/assetgen/asset_generator.h"

namespace ra = ruvelo::assets;

namespace {

const std::string kModelDir = std::string(RUVELO_ASSET_DIR) + "/model/";
constexpr unsigned kGameImportFlags = aiProcess_Triangulate | aiProcess_FlipUVs;

struct Box {
  glm::vec3 min{1e30f};
  glm::vec3 max{-1e30f};
};

Box sceneBounds(const aiScene* scene) {
  Box b;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
      const glm::vec3 p(mesh->mVertices[v].x, mesh->mVertices[v].y, mesh->mVertices[v].z);
      b.min = glm::min(b.min, p);
      b.max = glm::max(b.max, p);
    }
  }
  return b;
}

void expectBounds(const Box& b, glm::vec3 min, glm::vec3 max, float tolerance) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(b.min[i], min[i], tolerance) << "axis " << i;
    EXPECT_NEAR(b.max[i], max[i], tolerance) << "axis " << i;
  }
}

bool isPowerOfTwo(int v) {
  return v > 0 && (v & (v - 1)) == 0;
}

}  // namespace

TEST(AssetModels, EveryModelImportsCompleteWithNormalsUvsAndItsBuiltTriangleCount) {
  for (const ra::GeneratedModel& model : ra::buildModels()) {
    SCOPED_TRACE(model.fileName);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kModelDir + model.fileName, kGameImportFlags);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    EXPECT_EQ(scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE, 0u);
    ASSERT_NE(scene->mRootNode, nullptr);
    ASSERT_GT(scene->mNumMeshes, 0u);
    std::size_t triangles = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[m];
      EXPECT_TRUE(mesh->HasNormals()) << "mesh " << m;
      EXPECT_TRUE(mesh->HasTextureCoords(0)) << "mesh " << m;
      for (unsigned f = 0; f < mesh->mNumFaces; ++f) ASSERT_EQ(mesh->mFaces[f].mNumIndices, 3u);
      triangles += mesh->mNumFaces;
    }
    EXPECT_EQ(triangles, model.data.triangleCount());
    // The file holds what was built, in the same frame (a unit or axis slip would show here).
    const ra::Bounds built = model.data.bounds();
    expectBounds(sceneBounds(scene), built.min, built.max, 1e-3f);
  }
}

TEST(AssetModels, TrianglesFaceTheWayTheirNormalsPoint) {
  // Back-face culling keeps counter-clockwise triangles; a triangle wound against its normals vanishes.
  for (const ra::GeneratedModel& model : ra::buildModels()) {
    SCOPED_TRACE(model.fileName);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kModelDir + model.fileName, kGameImportFlags);
    ASSERT_NE(scene, nullptr);
    int wrong = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[m];
      for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const unsigned* idx = mesh->mFaces[f].mIndices;
        auto p = [&](int k) {
          const aiVector3D& v = mesh->mVertices[idx[k]];
          return glm::vec3(v.x, v.y, v.z);
        };
        glm::vec3 n(0.0f);
        for (int k = 0; k < 3; ++k) {
          const aiVector3D& v = mesh->mNormals[idx[k]];
          EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.0f, 1e-3f);
          n += glm::vec3(v.x, v.y, v.z);
        }
        if (glm::dot(glm::cross(p(1) - p(0), p(2) - p(0)), n) <= 0.0f) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(AssetModels, TexturesNamedByTheModelsLoadAndOnlyTheFinishLineIsUntextured) {
  for (const ra::GeneratedModel& model : ra::buildModels()) {
    SCOPED_TRACE(model.fileName);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kModelDir + model.fileName, kGameImportFlags);
    ASSERT_NE(scene, nullptr);
    const bool untextured = model.fileName == "FinishLine.obj";
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
      const aiMaterial* material = scene->mMaterials[scene->mMeshes[m]->mMaterialIndex];
      const unsigned diffuse = aiGetMaterialTextureCount(material, aiTextureType_DIFFUSE);
      // Meshes drawn with the white or environment material sample unit 0 whether or not they bind one.
      EXPECT_EQ(diffuse, untextured ? 0u : 1u) << "mesh " << m;
      for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_SPECULAR}) {
        for (unsigned t = 0; t < aiGetMaterialTextureCount(material, type); ++t) {
          aiString path;
          ASSERT_EQ(aiGetMaterialTexture(material, type, t, &path), AI_SUCCESS);
          const std::string name = path.C_Str();
          EXPECT_EQ(name.find_first_of("/\\"), std::string::npos) << name << " must be a bare file name";
          int w = 0, h = 0, channels = 0;
          stbi_uc* pixels = stbi_load((kModelDir + name).c_str(), &w, &h, &channels, 0);
          ASSERT_NE(pixels, nullptr) << name;
          stbi_image_free(pixels);
          EXPECT_TRUE(isPowerOfTwo(w) && isPowerOfTwo(h) && w <= 1024 && h <= 1024)
              << name << " " << w << "x" << h;
          EXPECT_TRUE(channels == 3 || channels == 4) << name;
        }
      }
    }
  }
}

TEST(AssetModels, PropsHaveTheSizesTheirDrawingMatricesExpect) {
  std::map<std::string, Box> bounds;
  for (const char* file : {"testCar.obj", "testWheelLeft.obj", "testWheelRight.obj", "Cone.fbx",
                           "Battery.fbx", "FinishLine.obj", "greenPlane.obj"}) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kModelDir + file, kGameImportFlags);
    ASSERT_NE(scene, nullptr) << file;
    bounds[file] = sceneBounds(scene);
  }
  // Body drawn 0.4 below the actor: actor y −1.0..0.95 sits on the wheel tops; 2.4 × 5 footprint.
  expectBounds(bounds["testCar.obj"], {-1.2f, -0.6f, -2.5f}, {1.2f, 1.35f, 2.5f}, 1e-3f);
  // Wheels: radius 0.5, width 0.4, axle along x, centred.
  expectBounds(bounds["testWheelLeft.obj"], {-0.2f, -0.5f, -0.5f}, {0.2f, 0.5f, 0.5f}, 2e-3f);
  expectBounds(bounds["testWheelRight.obj"], {-0.2f, -0.5f, -0.5f}, {0.2f, 0.5f, 0.5f}, 2e-3f);
  // Cone ×3.5 at actor + 1.5: base on the bottom of its ±2 box, about 4 m high.
  expectBounds(bounds["Cone.fbx"], {-0.55f, -1.0f, -0.55f}, {0.55f, 0.15f, 0.55f}, 1e-3f);
  // Battery ×3 inside its ±2 box on every axis, also when spun about z.
  const Box& battery = bounds["Battery.fbx"];
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(battery.min[i], -0.6f);
    EXPECT_LE(battery.max[i], 0.6f);
  }
  {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kModelDir + "Battery.fbx", kGameImportFlags);
    ASSERT_NE(scene, nullptr);
    float spinRadius = 0.0f;  // farthest any vertex gets from the spin axis
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
      for (unsigned v = 0; v < scene->mMeshes[m]->mNumVertices; ++v) {
        const aiVector3D& p = scene->mMeshes[m]->mVertices[v];
        spinRadius = std::fmax(spinRadius, std::hypot(p.x, p.y));
      }
    }
    EXPECT_LE(spinRadius, 0.6f);
  }
  EXPECT_GT(battery.max.y - battery.min.y, 0.8f);  // big enough to read as a pickup
  expectBounds(bounds["FinishLine.obj"], {-4.9f, 0.0f, -0.15f}, {4.9f, 12.5f, 0.15f}, 1e-3f);
  expectBounds(bounds["greenPlane.obj"], {-1.0f, 0.0f, -1.0f}, {1.0f, 0.0f, 1.0f}, 1e-4f);
}

TEST(AssetModels, WheelRimsFaceOutwardsAndThePlaneFacesUp) {
  // The rim side of a wheel is the one whose cap samples the rim disc (u > 0.5 away from its centre).
  auto rimSide = [](const std::string& file) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kModelDir + file, kGameImportFlags);
    float side = 0.0f;
    for (unsigned m = 0; scene && m < scene->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[m];
      for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        const bool capVertex = std::fabs(mesh->mNormals[v].x) > 0.99f;
        if (capVertex && mesh->mTextureCoords[0][v].x > 0.6f) side += mesh->mNormals[v].x;
      }
    }
    return side;
  };
  EXPECT_LT(rimSide("testWheelLeft.obj"), 0.0f);
  EXPECT_GT(rimSide("testWheelRight.obj"), 0.0f);

  Assimp::Importer importer;
  const aiScene* plane = importer.ReadFile(kModelDir + "greenPlane.obj", kGameImportFlags);
  ASSERT_NE(plane, nullptr);
  const aiMesh* mesh = plane->mMeshes[0];
  float uSpan = 0.0f;
  for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
    EXPECT_NEAR(mesh->mNormals[v].y, 1.0f, 1e-5f);
    uSpan = std::fmax(uSpan, mesh->mTextureCoords[0][v].x);
  }
  EXPECT_GE(uSpan, 50.0f);  // grass repeats many times across 600 m
}
