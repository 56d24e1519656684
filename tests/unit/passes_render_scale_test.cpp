// The automatic render scale fed with frame times: a load modelled as a fixed part plus a part per
// pixel (the square of the scale), as measured on a software rasteriser.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "passes/render_scale.h"

namespace ruvelo {
namespace {

constexpr double kBudget = 1000.0 / 60.0;

// Frame time at `scale` for a load of `fixedMs` + `perPixelMs` × scale², with a small repeatable
// jitter of up to ±`jitter` (a share of the time).
struct Load {
  double fixedMs;
  double perPixelMs;
  double jitter = 0.0;
  double at(float scale, int frame) const {
    const double wobble = jitter * std::sin(frame * 2.399);  // irrational step: no short period
    return (fixedMs + perPixelMs * scale * scale) * (1.0 + wobble);
  }
};

// The scales the controller picks over `frames` frames of `load`, starting from `controller`.
std::vector<float> drive(RenderScaleController& controller, const Load& load, int frames) {
  std::vector<float> scales;
  for (int i = 0; i < frames; ++i) scales.push_back(controller.update(load.at(controller.scale(), i)));
  return scales;
}

// Times the scale went up after having gone down, or down after up.
int reversals(const std::vector<float>& scales) {
  int turns = 0, last = 0;
  for (size_t i = 1; i < scales.size(); ++i) {
    const int direction = scales[i] > scales[i - 1] ? 1 : scales[i] < scales[i - 1] ? -1 : 0;
    if (direction == 0) continue;
    if (last != 0 && direction != last) ++turns;
    last = direction;
  }
  return turns;
}

bool onStep(float scale) {
  const double steps = scale / kRenderScaleStep;
  return std::abs(steps - std::round(steps)) < 1e-4 && scale >= kMinRenderScale - 1e-6f &&
         scale <= 1.0f + 1e-6f;
}

TEST(RenderScaleController, DropsWithinAFewFramesStraightToAScaleThatFits) {
  // 67 ms at full size, as the software rasteriser draws 1280x720: far over a 16.7 ms budget.
  RenderScaleController controller(kBudget);
  const Load heavy{12.0, 58.6};
  const std::vector<float> scales = drive(controller, heavy, 400);
  EXPECT_LT(scales[5], 1.0f) << "half a window of frames is enough to see the load";
  EXPECT_FLOAT_EQ(scales.back(), kMinRenderScale) << "the load does not fit above the floor";
  for (float s : scales) EXPECT_TRUE(onStep(s)) << s;

  // A load that fits at 0.8: the first drop goes most of the way, and it ends where it fits.
  RenderScaleController second(kBudget);
  const Load medium{2.0, 20.0};  // 22 ms at 1.0, 14.8 at 0.8, 16.45 at 0.85
  const std::vector<float> path = drive(second, medium, 600);
  EXPECT_LE(path[5], 0.9f);
  EXPECT_LE(medium.at(path.back(), 0), kBudget * RenderScaleController::kTolerance);
  EXPECT_GE(path.back(), 0.8f);
}

TEST(RenderScaleController, RisesOneStepAtATimeAboutASecondApart) {
  RenderScaleController controller(kBudget);
  drive(controller, Load{12.0, 58.6}, 100);
  ASSERT_FLOAT_EQ(controller.scale(), kMinRenderScale);
  // The load goes away (the player closed another program): 3 ms at any scale.
  const Load light{2.0, 1.0};
  const std::vector<float> scales = drive(controller, light, 6000);
  EXPECT_FLOAT_EQ(scales.back(), 1.0f);
  double sinceRise = 0.0;
  for (size_t i = 1; i < scales.size(); ++i) {
    sinceRise += light.at(scales[i - 1], 0);
    if (scales[i] == scales[i - 1]) continue;
    EXPECT_NEAR(scales[i] - scales[i - 1], kRenderScaleStep, 1e-4) << "frame " << i;
    EXPECT_GE(sinceRise, RenderScaleController::kRiseAfterMs) << "frame " << i;
    sinceRise = 0.0;
  }
}

TEST(RenderScaleController, SettlesWithoutSwingingOnAnySteadyLoad) {
  // Loads from light to heavy, with and without a few per cent of jitter. The scale may drop and
  // then climb back to where it fits (one turn), but never goes down again after rising: it does
  // not swing between two steps, and it settles where the load fits.
  for (double perPixel = 5.0; perPixel <= 70.0; perPixel += 0.25) {
    for (double jitter : {0.0, 0.03}) {
      RenderScaleController controller(kBudget);
      const Load load{1.0, perPixel, jitter};
      const std::vector<float> scales = drive(controller, load, 4000);
      EXPECT_LE(reversals(scales), 1) << "per pixel " << perPixel << " ms, jitter " << jitter;
      EXPECT_FLOAT_EQ(scales[2000], scales.back()) << "per pixel " << perPixel << " ms, jitter " << jitter;
      const float last = scales.back();
      if (last > kMinRenderScale) {
        EXPECT_LE(load.at(last, 0), kBudget * RenderScaleController::kTolerance) << "per pixel " << perPixel;
      }
    }
  }
}

TEST(RenderScaleController, AFastMachineOnASynchronisedSwapStaysAtFullScale) {
  // 16.7 ms frames from the refresh, jittering by a millisecond: on budget, never over it.
  RenderScaleController controller(kBudget);
  for (int i = 0; i < 5000; ++i) {
    const double frame = kBudget + (i % 3 == 0 ? 0.8 : -0.4);
    ASSERT_FLOAT_EQ(controller.update(frame), 1.0f) << "frame " << i;
  }
  // A single stall (a hiccup of the system) is averaged away rather than dropped on.
  EXPECT_FLOAT_EQ(controller.update(40.0), 1.0f);
}

TEST(RenderScaleController, AtItsFloorAndStillOverBudgetItSaysSoOnceAfterFiveSecondsOfGameTime) {
  RenderScaleController controller(kBudget);
  // `count` frames of `ms` each, at 1/20 s of game time; the notices they gave.
  const auto run = [&controller](int count, double ms) {
    std::vector<std::string> notices;
    for (int i = 0; i < count; ++i) {
      controller.update(ms, 0.05);
      const std::string notice = controller.takeFloorNotice();
      if (!notice.empty()) notices.push_back(notice);
    }
    return notices;
  };
  // 24 ms whatever the scale: down to the floor within a few windows, then held there, under five
  // seconds: nothing yet. A second on budget breaks the hold, and the count starts again.
  EXPECT_TRUE(run(40, 24.0).empty());
  ASSERT_FLOAT_EQ(controller.scale(), kMinRenderScale);
  EXPECT_TRUE(run(80, 24.0).empty());
  EXPECT_TRUE(run(20, 10.0).empty());
  EXPECT_TRUE(run(90, 24.0).empty());
  // Five seconds in one hold: said once, with the scale and the frame time, and never again.
  const std::vector<std::string> notices = run(300, 24.0);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "Render scale: 0.35, 24 ms a frame: set window_samples=0 for more");
  EXPECT_FLOAT_EQ(controller.scale(), kMinRenderScale);
}

TEST(RenderScaleController, ScaledSizesRoundAndNeverVanish) {
  EXPECT_EQ(scaledSize(1280, 0.5f), 640);
  EXPECT_EQ(scaledSize(1280, 0.75f), 960);
  EXPECT_EQ(scaledSize(720, 0.75f), 540);
  EXPECT_EQ(scaledSize(1, 0.5f), 1);
  EXPECT_EQ(scaledSize(3, 0.5f), 2);
}

}  // namespace
}  // namespace ruvelo
