// GPU pass timing: results arrive for every named pass, in first-timed order, without nesting.
#include <gtest/gtest.h>

#include <sstream>

#include "passes/gpu_timer.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

TEST(GpuTimer, CollectsOneSampleTimePerPassAndFrame) {
  ASSERT_NE(test::makeGlContext(64, 64), nullptr);
  GpuTimer timer;
  constexpr int kFrames = 5;
  for (int frame = 0; frame < kFrames; ++frame) {
    timer.begin("shadow");
    glClear(GL_DEPTH_BUFFER_BIT);
    timer.begin("sky");  // begins end the previous pass
    glClear(GL_COLOR_BUFFER_BIT);
    timer.end();
    timer.collect();
  }
  timer.collect(true);
  ASSERT_EQ(timer.stats().size(), 2u);
  EXPECT_EQ(timer.stats()[0].name, "shadow");
  EXPECT_EQ(timer.stats()[1].name, "sky");
  for (const GpuTimer::PassStats& pass : timer.stats()) {
    EXPECT_EQ(pass.samples + pass.dropped, static_cast<unsigned>(kFrames)) << pass.name;
    EXPECT_GT(pass.samples, 0u) << pass.name;
    EXPECT_GE(pass.averageMs(), 0.0) << pass.name;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  std::ostringstream out;
  timer.report(out);
  EXPECT_EQ(out.str().rfind("bench gpu pass=shadow mean_ms=", 0), 0u) << out.str();
  EXPECT_NE(out.str().find("\nbench gpu pass=sky mean_ms="), std::string::npos) << out.str();
}

}  // namespace
}  // namespace ruvelo
