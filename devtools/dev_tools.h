// The developer flags' side of a run: --bench samples and report (one scoped GPU timer per pass),
// --log-state lines and --screenshot pictures.
#pragma once

#include <chrono>
#include <glm/glm.hpp>
#include <string>
#include <vector>

#include "devtools/dev_flags.h"
#include "passes/gpu_timer.h"

namespace ruvelo {

// What one --log-state line says, as plain values.
struct StateLineValues {
  long frame = 0;
  const char* phase = "";
  double timeLeft = 0.0;  // as the HUD shows it
  float power = 0.0f;
  int packets = 0;
  int objects = 0;
  glm::vec3 position{0.0f};
  float speed = 0.0f;
  int gear = 0;
  bool paused = false;  // " paused=1" at the end of the line while a playing run is paused
};

// One --log-state line (with its line end).
std::string stateLine(const StateLineValues& values);

class DevTools {
 public:
  explicit DevTools(const DevFlags& flags);

  // Times one render pass while it lives (only with --bench): on the GPU in the timed frames, and
  // this thread's CPU in the others.
  class PassTimer {
   public:
    PassTimer(GpuTimer* gpu, double* threadMs);
    ~PassTimer();
    PassTimer(const PassTimer&) = delete;
    PassTimer& operator=(const PassTimer&) = delete;

   private:
    GpuTimer* gpu_;
    double* threadMs_;
    double threadStart_ = 0.0;
  };
  PassTimer time(const char* pass);

  // Start-up's steps, timed from the construction of this object: each call ends the named step.
  // The report lists them, and the first frame (up to its swap) as the last.
  void startupStep(const char* step);

  // The loop starts: start-up is over (its memory is the report's first figure).
  void startLoop();

  // Around one frame: its start, the end of its own work (before the swap), and after the swap. With
  // --bench, even frames time the passes and odd frames give the frame statistics.
  void beginFrame();
  void endWork();
  void afterSwap(long frame);

  // The screenshots asked for this frame, from the back buffer. False when one could not be written:
  // the run then ends (see flagFailure()).
  bool takeScreenshots(long frame, int width, int height);
  // After the run that ended after `lastFrame`: why a flag failed ("" when none did).
  std::string flagFailure(long lastFrame) const;

  // With --bench (not --bench-floor): clear-only frames and frames of one textured window-sized quad
  // (kFloorFrames of each) measured after the run, so the report can compare the frames with the
  // floors of the same machine state.
  bool wantsFloorFrames() const { return flags_.bench && !flags_.benchFloor; }
  static constexpr int kFloorFrames = 30;
  void beginFloorFrame();
  void endFloorFrame(bool texturedQuad);

  // The render scale this frame was drawn at, for the report's median and range.
  void noteRenderScale(float scale) { frameScale_ = scale; }

  // The --bench report after the run.
  void report(int width, int height);

  bool benchFloor() const { return flags_.benchFloor; }
  bool fullShadow() const { return flags_.fullShadow; }
  bool logState() const { return flags_.logState; }
  bool lastFrame(long frame) const { return flags_.frames > 0 && frame >= flags_.frames; }

 private:
  using Clock = std::chrono::steady_clock;

  // Even frames carry the pass timers. A timer query costs the software rasteriser real work in
  // every tile it covers, so the frame statistics come from the odd frames, which carry none.
  bool timedFrame() const { return framesBegun_ % 2 == 0; }

  const DevFlags& flags_;
  GpuTimer gpu_;
  // This thread's CPU in each pass over the untimed frames, in the order the passes first ran.
  struct PassThreadCpu {
    std::string pass;
    double thisFrame = 0.0;
    std::vector<double> frames;
  };
  std::vector<PassThreadCpu> passThreadCpu_;
  std::vector<double> frameTimes_, cpuTimes_, threadTimes_, processTimes_, timedFrameTimes_;
  std::vector<double> floorTimes_, floorProcessTimes_, quadFloorTimes_, quadFloorProcessTimes_;
  std::vector<double> renderScales_;
  float frameScale_ = 1.0f;
  double lastProcessCpu_ = 0.0;
  double floorProcessStart_ = 0.0;
  std::string screenshotFailure_;
  Clock::time_point frameStart_, workEnd_;
  double threadStart_ = 0.0;
  // The driver's GL thread (0: not looked for yet, -1: none) and its CPU time per frame.
  long glThread_ = 0;
  double glThreadStart_ = 0.0;
  std::vector<double> glThreadTimes_;
  long framesBegun_ = 0;
  double startupMiB_ = 0.0;
  Clock::time_point created_ = Clock::now(), lastStep_ = created_;
  std::vector<std::pair<std::string, double>> startupSteps_;
  double earlyMiB_ = 0.0;
};

}  // namespace ruvelo
