// GPU time per named render pass from GL timer queries, read back a few frames late so the
// processor never waits for the GPU; averaged over the run for the --bench report.
#pragma once

#include <GL/glew.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

namespace ruvelo {

class GpuTimer {
 public:
  struct PassStats {
    std::string name;
    double totalMs = 0.0;
    unsigned samples = 0;
    unsigned dropped = 0;  // results overwritten before they were ready
    double averageMs() const { return samples == 0 ? 0.0 : totalMs / samples; }
  };

  GpuTimer() = default;
  ~GpuTimer();
  GpuTimer(const GpuTimer&) = delete;
  GpuTimer& operator=(const GpuTimer&) = delete;

  // Starts timing `pass` (GL_TIME_ELAPSED queries cannot nest: end() the previous one first).
  void begin(const std::string& pass);
  void end();

  // Collects every finished result without waiting; with `wait` (at the end of a run) also the rest.
  void collect(bool wait = false);

  // Passes in the order they were first timed.
  const std::vector<PassStats>& stats() const { return stats_; }

  // One line per pass: "bench gpu pass=<name> mean_ms=<avg> samples=<n>".
  void report(std::ostream& out) const;

 private:
  // Three queries per pass in a ring: a result is normally ready two frames after it was issued.
  static constexpr int kRing = 3;
  struct PassQueries {
    std::array<GLuint, kRing> queries{};
    std::array<bool, kRing> pending{};
    int next = 0;
  };

  void harvest(size_t pass, int slot, bool wait);

  std::vector<PassStats> stats_;
  std::vector<PassQueries> queries_;
  int active_ = -1;
};

}  // namespace ruvelo
