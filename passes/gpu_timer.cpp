#include "passes/gpu_timer.h"

#include <iomanip>

namespace ruvelo {

GpuTimer::~GpuTimer() {
  for (PassQueries& pass : queries_) {
    glDeleteQueries(kRing, pass.queries.data());
  }
}

void GpuTimer::harvest(size_t pass, int slot, bool wait) {
  PassQueries& q = queries_[pass];
  if (!q.pending[slot]) return;
  GLuint available = GL_FALSE;
  glGetQueryObjectuiv(q.queries[slot], GL_QUERY_RESULT_AVAILABLE, &available);
  if (available == GL_FALSE && !wait) return;
  GLuint64 nanoseconds = 0;
  glGetQueryObjectui64v(q.queries[slot], GL_QUERY_RESULT, &nanoseconds);
  q.pending[slot] = false;
  stats_[pass].totalMs += static_cast<double>(nanoseconds) * 1e-6;
  ++stats_[pass].samples;
}

void GpuTimer::begin(const std::string& pass) {
  if (active_ >= 0) end();
  size_t index = 0;
  while (index < stats_.size() && stats_[index].name != pass) ++index;
  if (index == stats_.size()) {
    stats_.push_back(PassStats{pass});
    queries_.emplace_back();
    glGenQueries(kRing, queries_.back().queries.data());
  }
  PassQueries& q = queries_[index];
  const int slot = q.next;
  harvest(index, slot, false);
  if (q.pending[slot]) ++stats_[index].dropped;  // still not ready after kRing uses: reuse it anyway
  glBeginQuery(GL_TIME_ELAPSED, q.queries[slot]);
  q.pending[slot] = true;
  q.next = (slot + 1) % kRing;
  active_ = static_cast<int>(index);
}

void GpuTimer::end() {
  if (active_ < 0) return;
  glEndQuery(GL_TIME_ELAPSED);
  active_ = -1;
}

void GpuTimer::collect(bool wait) {
  if (active_ >= 0) end();
  for (size_t pass = 0; pass < queries_.size(); ++pass) {
    // Oldest first, so results keep their issue order.
    for (int i = 0; i < kRing; ++i) harvest(pass, (queries_[pass].next + i) % kRing, wait);
  }
}

void GpuTimer::report(std::ostream& out) const {
  for (const PassStats& pass : stats_) {
    out << "bench gpu pass=" << pass.name << " mean_ms=" << std::fixed << std::setprecision(3)
        << pass.averageMs() << " samples=" << pass.samples << '\n';
  }
}

}  // namespace ruvelo
