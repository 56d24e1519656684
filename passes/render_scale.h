// The render scale: the share of each window axis the 3D scene is drawn at before the composite
// scales it up. Fixed, or chosen frame by frame to hold a frame-time budget.
#pragma once

#include <array>
#include <string>

namespace ruvelo {

constexpr float kMinRenderScale = 0.35f;
constexpr float kMaxRenderScale = 1.0f;
constexpr float kRenderScaleStep = 0.05f;

// The scene size for a window of `size` pixels along one axis at `scale`: at least one pixel.
int scaledSize(int size, float scale);

// Picks the render scale from measured frame times, in steps of 0.05 between 0.35 and 1.0.
// - It smooths the frame times over the last kWindow frames at the current scale (their median: a
//   single stall does not count).
// - Over budget, it drops at once by the square root of budget over that time (the pixel count goes
//   with the square of the scale), at least one step.
// - With 10 % headroom for about a second, it rises one step. A step it left because it was over
//   budget is tried again only when the time, scaled up by the step's extra pixels, fits the
//   budget: on a steady load it never swings between two steps.
// - Held at the floor for kFloorNoticeAfterS of game time while still over budget, it has a notice
//   for the player, once: the scale and the frame time it reached.
class RenderScaleController {
 public:
  static constexpr int kWindow = 10;
  static constexpr double kRiseAfterMs = 1000.0;
  static constexpr double kHeadroom = 0.9;
  // Frames within 5 % of the budget count as on budget: a synchronised swap that lands on the
  // refresh period jitters around it.
  static constexpr double kTolerance = 1.05;
  static constexpr double kFloorNoticeAfterS = 5.0;

  explicit RenderScaleController(double budgetMs = 1000.0 / 60.0);

  // One frame's wall time in milliseconds and the game time it stood for in seconds (its time step);
  // returns the scale for the next frame.
  float update(double frameMs, double gameSeconds = 0.0);
  float scale() const { return stepScale(step_); }
  // The notice once it is due ("Render scale: 0.35, 24 ms a frame: set window_samples=0 for more"),
  // then never again; "" otherwise.
  std::string takeFloorNotice();

 private:
  static constexpr int kMinStep = 7;   // 0.35
  static constexpr int kMaxStep = 20;  // 1.0
  static float stepScale(int step) { return static_cast<float>(step) * kRenderScaleStep; }
  void moveTo(int step);

  double budgetMs_;
  int step_ = kMaxStep;
  std::array<double, kWindow> frames_{};
  int count_ = 0;            // frames measured at this step (the window holds the last kWindow of them)
  double headroomMs_ = 0.0;  // time spent with headroom since the last change
  std::array<bool, kMaxStep + 1> overBudget_{};  // steps left for being over budget
  double atFloorOverS_ = 0.0;                    // game time held at the floor over budget, without a break
  enum class Notice { NotYet, Due, Given } notice_ = Notice::NotYet;
  double noticeMs_ = 0.0;  // the typical frame time when it fell due
};

}  // namespace ruvelo
