#include "devtools/frame_stats.h"

#include <algorithm>
#include <cmath>

namespace ruvelo {

FrameStats computeFrameStats(std::vector<double> samples) {
  FrameStats stats;
  if (samples.empty()) return stats;
  std::sort(samples.begin(), samples.end());
  auto rank = [&](double p) {
    const size_t index = static_cast<size_t>(std::ceil(p * static_cast<double>(samples.size())));
    return samples[std::min(samples.size() - 1, index == 0 ? 0 : index - 1)];
  };
  stats.count = samples.size();
  stats.min = samples.front();
  stats.max = samples.back();
  stats.median = rank(0.5);
  stats.p95 = rank(0.95);
  return stats;
}

}  // namespace ruvelo
