#include "passes/render_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ruvelo {

int scaledSize(int size, float scale) {
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(size) * scale)));
}

RenderScaleController::RenderScaleController(double budgetMs) : budgetMs_(budgetMs) {}

void RenderScaleController::moveTo(int step) {
  step_ = std::clamp(step, kMinStep, kMaxStep);
  count_ = 0;
  headroomMs_ = 0.0;
}

std::string RenderScaleController::takeFloorNotice() {
  if (notice_ != Notice::Due) return "";
  notice_ = Notice::Given;
  char text[96];
  std::snprintf(text, sizeof text, "Render scale: %.2f, %.0f ms a frame: set window_samples=0 for more",
                static_cast<double>(scale()), noticeMs_);
  return text;
}

float RenderScaleController::update(double frameMs, double gameSeconds) {
  if (!(frameMs >= 0.0) || !std::isfinite(frameMs)) return scale();
  frames_[static_cast<size_t>(count_ % kWindow)] = frameMs;
  ++count_;
  const int n = std::min(count_, kWindow);
  // The median of the window: a steady load shows as it is, a single stall does not move it.
  std::array<double, kWindow> sorted = frames_;
  std::sort(sorted.begin(), sorted.begin() + n);
  const double typical =
      n % 2 == 1 ? sorted[static_cast<size_t>(n / 2)]
                 : 0.5 * (sorted[static_cast<size_t>(n / 2 - 1)] + sorted[static_cast<size_t>(n / 2)]);

  // Half a window is enough to see a load that is over budget: drop quickly.
  const bool over = n >= kWindow / 2 && typical > budgetMs_ * kTolerance;
  if (!over || step_ != kMinStep)
    atFloorOverS_ = 0.0;
  else if (gameSeconds > 0.0 && std::isfinite(gameSeconds))
    atFloorOverS_ += gameSeconds;
  if (notice_ == Notice::NotYet && atFloorOverS_ >= kFloorNoticeAfterS) {
    notice_ = Notice::Due;
    noticeMs_ = typical;
  }
  if (over) {
    if (step_ == kMinStep) return scale();
    const double wanted = scale() * std::sqrt(budgetMs_ / typical);
    // The highest step at or below the wanted scale (a hair of slack for rounding), at least one down.
    const int down = static_cast<int>(std::floor(wanted / kRenderScaleStep + 1e-6));
    // The steps skipped on the way down would not fit either, by the same reckoning.
    const int to = std::clamp(std::min(down, step_ - 1), kMinStep, kMaxStep);
    for (int s = to + 1; s <= step_; ++s) overBudget_[static_cast<size_t>(s)] = true;
    moveTo(to);
    return scale();
  }
  if (n < kWindow || step_ == kMaxStep) return scale();
  headroomMs_ = typical <= budgetMs_ * kHeadroom ? headroomMs_ + frameMs : 0.0;
  if (headroomMs_ < kRiseAfterMs) return scale();
  const int up = step_ + 1;
  const double ratio = stepScale(up) / scale();
  if (overBudget_[static_cast<size_t>(up)] && typical * ratio * ratio > budgetMs_) {
    headroomMs_ = 0.0;
    return scale();
  }
  overBudget_[static_cast<size_t>(up)] = false;
  moveTo(up);
  return scale();
}

}  // namespace ruvelo
