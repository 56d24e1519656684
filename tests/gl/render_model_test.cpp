// Models uploaded from small files the test writes: meshes and bounds, the renderer's texture cache,
// generated normals, flipped texture coordinates, texture formats and the matrix rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <string>
#include <vector>

#include "render/gl_state.h"
#include "render/image_file.h"
#include "render/model.h"
#include "render/texture.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Lays out <tmp>/run (the working directory) beside <tmp>/assets/model, as the game's tree.
class ModelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(), nullptr);
    root_ = test::makeTempDir("render_model");
    std::filesystem::create_directories(root_ + "/run");
    std::filesystem::create_directories(root_ + "/assets/model");
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(root_ + "/run");
    shader_ = std::make_shared<Shader>(RUVELO_ASSET_DIR "/shader/simpleDepthShader.vert",
                                       RUVELO_ASSET_DIR "/shader/simpleDepthShader.frag");
    material_ = std::make_unique<Material>(*shader_, glm::vec3(1.0f), glm::vec3(0.3f, 1.0f, 0.5f), 10.0f);
  }
  void TearDown() override {
    if (!previousDir_.empty()) std::filesystem::current_path(previousDir_);
  }

  std::string modelFile(const std::string& name, const std::string& text) {
    const std::string path = root_ + "/assets/model/" + name;
    std::ofstream(path) << text;
    return path;
  }
  void png(const std::string& name, int width, int height, int channels,
           const std::vector<unsigned char>& pixels) {
    ASSERT_NE(stbi_write_png((root_ + "/assets/model/" + name).c_str(), width, height, channels,
                             pixels.data(), width * channels),
              0);
  }
  void solidPng(const std::string& name) { png(name, 2, 2, 3, std::vector<unsigned char>(12, 200)); }

  // Reads back the interleaved vertices a mesh uploaded.
  static std::vector<Vertex> uploadedVertices(const Mesh& mesh, size_t count) {
    std::vector<Vertex> vertices(count);
    glBindVertexArray(mesh.vertexArray());
    GLint buffer = 0;
    glGetVertexAttribiv(1, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer));
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(Vertex)), vertices.data());
    glBindVertexArray(0);
    return vertices;
  }

  std::string root_;
  std::filesystem::path previousDir_;
  std::shared_ptr<Shader> shader_;
  std::unique_ptr<Material> material_;
  TextureCache textures_;
};

const char* kTwoTriangles = R"(mtllib two.mtl
o first
v 0 0 0
v 1 0 0
v 0 1 0
vt 0 0
vt 1 0
vt 0 1
vn 0 0 1
usemtl matA
f 1/1/1 2/2/1 3/3/1
o second
v 2 0 0
v 3 0 0
v 2 1 0
usemtl matB
f 4/1/1 5/2/1 6/3/1
)";

TEST_F(ModelFiles, TwoMeshesMergeTheirIndicesAndShareOneTexture) {
  modelFile("two.mtl",
            "newmtl matA\nKd 1 1 1\nmap_Kd shared_tex.png\nnewmtl matB\nKd 1 1 1\nmap_Kd shared_tex.png\n");
  const std::string path = modelFile("two.obj", kTwoTriangles);
  solidPng("shared_tex.png");
  const size_t listBefore = textures_.loadedCount();

  testing::internal::CaptureStdout();
  auto model = std::make_unique<Model>(path, glm::mat4(1.0f), *material_, textures_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  const ModelAsset& asset = model->asset();
  ASSERT_EQ(asset.meshes().size(), 2u);
  EXPECT_EQ(asset.localMin(), glm::vec3(0, 0, 0));
  EXPECT_EQ(asset.localMax(), glm::vec3(3, 1, 0));
  EXPECT_THAT(asset.meshes()[1].indices(), ElementsAre(0u, 1u, 2u));
  EXPECT_EQ(&asset.meshes()[0].material(), material_.get());

  ASSERT_EQ(textures_.loadedCount(), listBefore + 1);
  const GLuint id = textures_.find("shared_tex.png").id();
  EXPECT_EQ(textures_.find("shared_tex.png").type, "texture_diffuse");
  EXPECT_TRUE(glIsTexture(id));
  for (const Mesh& mesh : asset.meshes()) {
    ASSERT_EQ(mesh.textures().size(), 1u);
    EXPECT_EQ(mesh.textures()[0].id(), id);
  }

  // Texture coordinates arrive flipped vertically, normals as written.
  const std::vector<Vertex> vertices = uploadedVertices(asset.meshes()[0], 3);
  EXPECT_EQ(vertices[1].texCoords, glm::vec2(1, 1));
  EXPECT_EQ(vertices[2].texCoords, glm::vec2(0, 0));
  EXPECT_EQ(vertices[0].normal, glm::vec3(0, 0, 1));

  // A second model of the same file reuses the loaded texture.
  auto again = std::make_unique<Model>(path, glm::mat4(1.0f), *material_, textures_);
  EXPECT_EQ(textures_.loadedCount(), listBefore + 1);
  EXPECT_EQ(again->asset().meshes()[0].textures()[0].id(), id);

  model->drawWithProgram(*shader_);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // The texture lives as long as a model uses it.
  model.reset();
  EXPECT_TRUE(glIsTexture(id));
  again.reset();
  EXPECT_FALSE(glIsTexture(id));
  EXPECT_EQ(textures_.loadedCount(), listBefore);
}

TEST_F(ModelFiles, MeshWithoutNormalsOrCoordinatesGetsSmoothNormalsAndZeroCoordinates) {
  const std::string path = modelFile("bare.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 4\nf 1 4 3\n");
  testing::internal::CaptureStdout();
  Model model(path, glm::mat4(1.0f), *material_, textures_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(model.asset().meshes().size(), 1u);
  const size_t count = importModel(path).meshes.at(0).positions.size();
  ASSERT_GE(count, 4u);
  for (const Vertex& vertex : uploadedVertices(model.asset().meshes()[0], count)) {
    EXPECT_NEAR(vertex.normal.z, 1.0f, 1e-5f);
    EXPECT_EQ(vertex.texCoords, glm::vec2(0, 0));
  }
}

TEST_F(ModelFiles, MissingModelReportsTheImporterAndStaysEmpty) {
  testing::internal::CaptureStdout();
  Model model(root_ + "/assets/model/absent.obj", glm::scale(glm::mat4(1.0f), glm::vec3(3.0f)), *material_,
              textures_);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output.rfind("ERROR::ASSIMP::", 0), 0u) << output;
  EXPECT_THAT(output, ::testing::EndsWith("\n  in " + root_ + "/assets/model/absent.obj\n"));
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 2) << "the importer's line and the file's";
  EXPECT_TRUE(model.asset().meshes().empty());
  EXPECT_EQ(model.boundingRadius(), 0.0f);
  model.setModelMatrix(glm::mat4(1.0f));
  model.drawWithProgram(*shader_);
}

TEST_F(ModelFiles, MissingTextureIsReportedOnceAndRecorded) {
  modelFile("lost.mtl", "newmtl lost\nmap_Kd missing_tex.png\n");
  const std::string path =
      modelFile("lost.obj", "mtllib lost.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl lost\nf 1 2 3\n");
  const size_t listBefore = textures_.loadedCount();
  testing::internal::CaptureStdout();
  Model first(path, glm::mat4(1.0f), *material_, textures_);
  Model second(path, glm::mat4(1.0f), *material_, textures_);
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      "Texture failed to load at path: missing_tex.png\n  in ../assets/model/missing_tex.png: can't fopen\n");
  EXPECT_EQ(textures_.loadedCount(), listBefore + 1);
  EXPECT_EQ(second.asset().meshes().size(), 1u);
}

TEST_F(ModelFiles, CopiesOfOneAssetDrawAtTheirOwnMatricesWithTheirOwnRadius) {
  modelFile("two.mtl", "newmtl matA\nnewmtl matB\n");
  const auto asset = loadModelAsset(modelFile("two.obj", kTwoTriangles), *material_, textures_);
  // Straight into clip space: the first triangle (0..1 in x and y) of each copy lands on its own
  // square of the window.
  const auto place = [](float x, float y, float scale) {
    return glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(x, y, 0.0f)), glm::vec3(scale));
  };
  Model left(asset, place(-0.9f, -0.5f, 0.2f));
  Model right(asset, place(0.3f, -0.5f, 0.2f));
  EXPECT_EQ(&left.asset(), &right.asset());
  const float radius = left.boundingRadius();
  ASSERT_GT(radius, 0.0f);
  EXPECT_FLOAT_EQ(right.boundingRadius(), radius);

  // Moving one copy moves only that copy; its radius follows its scale.
  right.setModelMatrix(place(0.3f, 0.3f, 0.4f));
  EXPECT_FLOAT_EQ(right.boundingRadius(), 2.0f * radius);
  EXPECT_FLOAT_EQ(left.boundingRadius(), radius);

  gl_state::setEnabled(GL_DEPTH_TEST, true);
  glClear(GL_DEPTH_BUFFER_BIT);
  shader_->use();
  shader_->setMat4("projMatrix", glm::mat4(1.0f));
  shader_->setMat4("viewMatrix", glm::mat4(1.0f));
  left.drawWithProgram(*shader_);
  right.drawWithProgram(*shader_);
  const auto depthAt = [](float clipX, float clipY) {
    float depth = -1.0f;
    glReadPixels(static_cast<GLint>((clipX * 0.5f + 0.5f) * 256.0f),
                 static_cast<GLint>((clipY * 0.5f + 0.5f) * 256.0f), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT,
                 &depth);
    return depth;
  };
  EXPECT_FLOAT_EQ(depthAt(-0.85f, -0.45f), 0.5f) << "the left copy";
  EXPECT_FLOAT_EQ(depthAt(0.4f, 0.4f), 0.5f) << "the right copy where it was moved";
  EXPECT_FLOAT_EQ(depthAt(0.35f, -0.45f), 1.0f) << "where the right copy stood";
  gl_state::setEnabled(GL_DEPTH_TEST, false);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ModelFiles, TextureFormatsFollowTheChannelCount) {
  // Odd-width RGB rows are not 4-byte aligned; the upload must not shear them.
  const std::vector<unsigned char> rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  png("odd_rgb.png", 3, 2, 3, rgb);
  png("grey_alpha.png", 1, 1, 2, {90, 180});

  const GlTexture rgbTexture = textureFromFile("odd_rgb.png");
  std::vector<unsigned char> back(rgb.size());
  glBindTexture(GL_TEXTURE_2D, rgbTexture.get());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
  EXPECT_EQ(back, rgb);
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4);
  GLint minFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);

  const GlTexture rgTexture = textureFromFile("grey_alpha.png");
  glBindTexture(GL_TEXTURE_2D, rgTexture.get());
  GLint internalFormat = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
  EXPECT_THAT(internalFormat, ::testing::AnyOf(GL_RG, GL_RG8));
  unsigned char rg[2] = {0, 0};
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RG, GL_UNSIGNED_BYTE, rg);
  EXPECT_EQ(rg[0], 90);
  EXPECT_EQ(rg[1], 180);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Every mip level of `texture` as `format` bytes, level 0 first.
std::vector<std::vector<unsigned char>> mipLevels(GLuint texture, GLenum format) {
  std::vector<std::vector<unsigned char>> levels;
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  const int channels = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : format == GL_RG ? 2 : 1;
  for (GLint level = 0;; ++level) {
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    if (width == 0) break;
    levels.emplace_back(static_cast<size_t>(width * height * channels));
    glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, levels.back().data());
    if (width == 1 && height == 1) break;
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return levels;
}

// The mip levels made on the CPU are the driver's own, texel for texel: the game's textures (square,
// wide and tall, RGB and RGBA) and odd shapes (a side of 1, sides that are not powers of two).
TEST_F(ModelFiles, MipLevelsMadeHereEqualTheDriversOwn) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(RUVELO_ASSET_DIR "/model"))
    if (entry.path().extension() == ".png") files.push_back(entry.path().string());
  files.push_back(RUVELO_ASSET_DIR "/textures/w_test.png");
  unsigned state = 7;
  const auto noise = [&state](size_t count) {
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes)
      b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
  };
  for (const auto& [w, h, c] : {std::array<int, 3>{1, 16, 3}, {32, 1, 4}, {8, 8, 1}, {12, 6, 3}, {5, 3, 4}}) {
    const std::string name = "noise_" + std::to_string(w) + "x" + std::to_string(h) + ".png";
    png(name, w, h, c, noise(static_cast<size_t>(w * h * c)));
    files.push_back(root_ + "/assets/model/" + name);
  }
  ASSERT_GE(files.size(), 10u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const DecodedImage image = decodeImage(file, 0);
    ASSERT_TRUE(image.ok()) << image.error;
    const GLenum format = pixelFormat(image.channels);
    GlTexture ours = GlTexture::generate();
    glBindTexture(GL_TEXTURE_2D, ours.get());
    uploadMipmapped(GL_TEXTURE_2D, image, format);
    GlTexture drivers = GlTexture::generate();
    glBindTexture(GL_TEXTURE_2D, drivers.get());
    uploadImage(GL_TEXTURE_2D, image, format);
    glGenerateMipmap(GL_TEXTURE_2D);
    const auto expected = mipLevels(drivers.get(), format);
    EXPECT_GT(expected.size(), 1u);
    EXPECT_TRUE(mipLevels(ours.get(), format) == expected);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ModelFiles, GarbageThatImportsWithoutFacesIsAFailureNamingTheFile) {
  // Bytes the OBJ reader accepts as a scene without any geometry.
  std::string garbage;
  unsigned state = 12345;
  for (int i = 0; i < 4000; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 16);
  }
  const std::string path = modelFile("garbage.obj", garbage);
  testing::internal::CaptureStdout();
  Model model(path, glm::mat4(1.0f), *material_, textures_);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output.rfind("ERROR::ASSIMP::", 0), 0u) << output;
  EXPECT_THAT(output, ::testing::EndsWith("\n  in " + path + "\n"));
  EXPECT_TRUE(model.asset().meshes().empty());
  EXPECT_EQ(model.boundingRadius(), 0.0f);
}

TEST_F(ModelFiles, HugeTextureIsRefusedBeforeDecoding) {
  // A PNG whose header declares 16384 x 16384 RGBA (1 GiB of pixels): only the header is written,
  // so the refusal must come from the declared size, not from a decoding error.
  const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0,
                                  13,   'I', 'H', 'D', 'R',  0,    0,    0x40, 0, 0, 0,
                                  0x40, 0,   8,   6,   0,    0,    0,    0,    0, 0, 0};
  std::ofstream(root_ + "/assets/model/huge.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(header), sizeof(header));
  modelFile("huge.mtl", "newmtl huge\nmap_Kd huge.png\n");
  const std::string path =
      modelFile("huge.obj", "mtllib huge.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl huge\nf 1 2 3\n");
  testing::internal::CaptureStdout();
  Model model(path, glm::mat4(1.0f), *material_, textures_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Texture failed to load at path: huge.png\n"
            "  in ../assets/model/huge.png: 16384 x 16384 is larger than 8192 x 8192\n");
  ASSERT_EQ(model.asset().meshes().size(), 1u);
  ASSERT_EQ(model.asset().meshes()[0].textures().size(), 1u);
  GLint width = -1;
  glBindTexture(GL_TEXTURE_2D, model.asset().meshes()[0].textures()[0].id());
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 0) << "a refused texture has no storage";
}

}  // namespace
}  // namespace ruvelo
