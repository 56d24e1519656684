// The game's lit and depth programs compile, link and expose their inputs; the uniform cache;
// the messages of a broken program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "render/shader.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

using ::testing::HasSubstr;

std::string shaderPath(const std::string& name, const std::string& stage) {
  return "../assets/shader/" + name + "." + stage;
}

struct ProgramRow {
  std::string name;
  std::vector<std::string> uniforms;
  std::vector<std::pair<std::string, int>> samplerUnits;  // units the source fixes
};

void PrintTo(const ProgramRow& row, std::ostream* out) {
  *out << row.name;
}

const std::vector<std::string> kLitUniforms = {
    "modelMatrix",    "normalMatrix",       "tex",        "diffuseColor",    "materialCoefficients",
    "specularAlpha",  "viewMatrix",         "projMatrix", "camera_world",    "illuminationMultiplier",
    "dirLight.color", "dirLight.direction", "shadowMap",  "lightSpaceMatrix"};

std::vector<std::string> with(std::vector<std::string> list, const std::vector<std::string>& more) {
  list.insert(list.end(), more.begin(), more.end());
  return list;
}

class LitProgram : public ::testing::TestWithParam<ProgramRow> {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(), nullptr);
    while (glGetError() != GL_NO_ERROR) {
    }
  }
};

TEST_P(LitProgram, BuildsQuietlyAndHasEveryInputOfItsRow) {
  const ProgramRow& row = GetParam();
  testing::internal::CaptureStdout();
  Shader shader(shaderPath(row.name, "vert"), shaderPath(row.name, "frag"));
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output, "");
  ASSERT_NE(shader.program(), 0u);
  for (const std::string& uniform : row.uniforms) {
    EXPECT_NE(shader.uniformLocation(uniform), -1) << row.name << " lacks " << uniform;
  }
  for (const auto& [sampler, unit] : row.samplerUnits) {
    GLint value = -1;
    glGetUniformiv(shader.program(), shader.uniformLocation(sampler), &value);
    EXPECT_EQ(value, unit) << row.name << " " << sampler;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(
    GameShaders, LitProgram,
    ::testing::Values(ProgramRow{"phong", with(kLitUniforms, {"texture_diffuse1"}), {{"shadowMap", 2}}},
                      ProgramRow{"phongEnvironment",
                                 with(kLitUniforms, {"texture_diffuse1", "cubemap"}),
                                 {{"shadowMap", 2}, {"cubemap", 3}}},
                      // Unit 0 is the shadow map here; the finish lines are drawn in their material colour.
                      ProgramRow{
                          "phongPhong", with(kLitUniforms, {"cubemap"}), {{"shadowMap", 0}, {"cubemap", 1}}},
                      ProgramRow{"simpleDepthShader", {"projMatrix", "viewMatrix", "modelMatrix"}, {}}),
    [](const ::testing::TestParamInfo<ProgramRow>& info) { return info.param.name; });

// Counts the GL's uniform-location queries by standing in for GLEW's entry point.
int gUniformLocationCalls = 0;
PFNGLGETUNIFORMLOCATIONPROC gRealGetUniformLocation = nullptr;
GLint GLAPIENTRY countingGetUniformLocation(GLuint program, const GLchar* name) {
  ++gUniformLocationCalls;
  return gRealGetUniformLocation(program, name);
}

TEST(ShaderCache, AsksTheGlOncePerName) {
  ASSERT_NE(test::makeGlContext(), nullptr);
  Shader shader(shaderPath("simpleDepthShader", "vert"), shaderPath("simpleDepthShader", "frag"));
  ASSERT_NE(shader.program(), 0u);
  shader.use();

  gRealGetUniformLocation = __glewGetUniformLocation;
  __glewGetUniformLocation = countingGetUniformLocation;
  gUniformLocationCalls = 0;
  const GLint absentFirst = shader.uniformLocation("noSuchUniform");
  const GLint absentSecond = shader.uniformLocation("noSuchUniform");
  const int absentCalls = gUniformLocationCalls;
  const GLint present = shader.uniformLocation("modelMatrix");
  shader.setMat4("modelMatrix", glm::mat4(1.0f));
  shader.setInt("noSuchUniform", 3);
  const int totalCalls = gUniformLocationCalls;
  __glewGetUniformLocation = gRealGetUniformLocation;

  EXPECT_EQ(absentFirst, -1);
  EXPECT_EQ(absentSecond, -1);
  EXPECT_EQ(absentCalls, 1);
  EXPECT_NE(present, -1);
  EXPECT_EQ(totalCalls, 2);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

class BrokenShader : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(), nullptr);
    dir_ = test::makeTempDir("render_shader");
  }
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  // Lines of `text` without their line ends.
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start < text.size()) {
      const size_t end = text.find('\n', start);
      result.push_back(text.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return result;
  }
  std::string dir_;
};

const char* kGoodVertex =
    "#version 430 core\nlayout(location = 0) in vec3 p;\nvoid main() { gl_Position = vec4(p, 1.0); }";
const char* kGoodFragment = "#version 430 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }";

TEST_F(BrokenShader, VertexErrorPrintsCompileLinesThenLinkLinesAndLeavesNoProgram) {
  const std::string vertex = write("bad.vert", "#version 430 core\nvoid main() { gl_Position = oops; }\n");
  const std::string fragment = write("good.frag", kGoodFragment);
  testing::internal::CaptureStdout();
  Shader shader(vertex, fragment);
  const std::string output = testing::internal::GetCapturedStdout();

  EXPECT_EQ(shader.program(), 0u);
  const std::vector<std::string> printed = lines(output);
  ASSERT_GE(printed.size(), 4u) << output;
  EXPECT_EQ(printed[0], "Failed to compile vertex shader!");
  EXPECT_THAT(printed[1], HasSubstr("oops"));  // the driver's log names the culprit
  const size_t link = output.find("Failed to Link Shader Program!\n");
  ASSERT_NE(link, std::string::npos) << output;
  EXPECT_GT(link, output.find(printed[1]));
  EXPECT_EQ(output.find("fragment"), std::string::npos);
  // Each failure names its file(s) on the line after its log.
  const size_t compileFile = output.find("\n  in " + vertex + "\n");
  EXPECT_NE(compileFile, std::string::npos) << output;
  EXPECT_LT(compileFile, link);
  EXPECT_TRUE(output.size() >= 1 && output.substr(output.rfind('\n', output.size() - 2) + 1) ==
                                        "  in " + vertex + " and " + fragment + "\n")
      << output;
}

TEST_F(BrokenShader, FragmentErrorIsReportedAsFragment) {
  const std::string vertex = write("good.vert", kGoodVertex);
  const std::string fragment = write("bad.frag", "#version 430 core\nout vec4 c;\nvoid main() { c = 1; }\n");
  testing::internal::CaptureStdout();
  Shader shader(vertex, fragment);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(shader.program(), 0u);
  EXPECT_EQ(output.rfind("Failed to compile fragment shader!\n", 0), 0u) << output;
  EXPECT_THAT(output, HasSubstr("\nFailed to Link Shader Program!\n"));
}

TEST_F(BrokenShader, MissingFilesEndInALinkFailureNotACrash) {
  testing::internal::CaptureStdout();
  Shader shader(dir_ + "/absent.vert", dir_ + "/absent.frag");
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(shader.program(), 0u);
  EXPECT_THAT(output, HasSubstr("Failed to Link Shader Program!\n"));
  EXPECT_THAT(output, HasSubstr("  in " + dir_ + "/absent.vert (cannot be read)\n"));
  EXPECT_EQ(shader.uniformLocation("modelMatrix"), -1);
}

TEST_F(BrokenShader, LastLineWithoutNewlineStillEndsInOne) {
  // A trailing directive only parses when the reader ends every line with a newline.
  const std::string vertex = write("tail.vert", std::string(kGoodVertex) + "\n#define LAST_LINE 1");
  const std::string fragment = write("tail.frag", kGoodFragment);
  testing::internal::CaptureStdout();
  Shader shader(vertex, fragment);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_NE(shader.program(), 0u);
}

}  // namespace
}  // namespace ruvelo
