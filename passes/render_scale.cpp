#include "passes/render_scale.h"

#include <algorithm>
#include <cmath>

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

float RenderScaleController::update(double frameMs) {
  if (!(frameMs >= 0.0) || !std::isfinite(frameMs)) return scale();
  frames_[static_cast<size_t>(count_ % kWindow)] = frameMs;
  ++count_;
  const int n = std::min(count_, kWindow);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += frames_[static_cast<size_t>(i)];
  const double average = sum / n;

  // Half a window is enough to see a load that is over budget: drop quickly.
  if (n >= kWindow / 2 && average > budgetMs_ * kTolerance) {
    if (step_ == kMinStep) return scale();
    const double wanted = scale() * std::sqrt(budgetMs_ / average);
    // The highest step at or below the wanted scale (a hair of slack for rounding), at least one down.
    const int down = static_cast<int>(std::floor(wanted / kRenderScaleStep + 1e-6));
    overBudget_[static_cast<size_t>(step_)] = true;
    moveTo(std::min(down, step_ - 1));
    return scale();
  }
  if (n < kWindow || step_ == kMaxStep) return scale();
  headroomMs_ = average <= budgetMs_ * kHeadroom ? headroomMs_ + frameMs : 0.0;
  if (headroomMs_ < kRiseAfterMs) return scale();
  const int up = step_ + 1;
  const double ratio = stepScale(up) / scale();
  if (overBudget_[static_cast<size_t>(up)] && average * ratio * ratio > budgetMs_) {
    headroomMs_ = 0.0;
    return scale();
  }
  overBudget_[static_cast<size_t>(up)] = false;
  moveTo(up);
  return scale();
}

}  // namespace ruvelo
