// Frame-time statistics for --bench: minimum, median, 95th percentile and maximum.
#pragma once

#include <string>
#include <vector>

namespace ruvelo {

struct FrameStats {
  double min = 0, median = 0, p95 = 0, max = 0;
  size_t count = 0;
};

// Nearest-rank statistics of the samples (any order); all zero for no samples.
FrameStats computeFrameStats(std::vector<double> samples);

}  // namespace ruvelo
