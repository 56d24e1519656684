#include "devtools/dev_tools.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "devtools/frame_stats.h"
#include "devtools/screenshots.h"
#include "platform/std_streams.h"

namespace ruvelo {
namespace {

// Resident memory of this process in MiB, from /proc (0 where it cannot be read).
double residentMiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kib = 0;
      status >> kib;
      return kib / 1024.0;
    }
    status.ignore(4096, '\n');
  }
  return 0.0;
}

// CPU time of this thread in milliseconds: the frame's own work, without time spent blocked on the
// GL driver's rendering threads.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

// CPU time of the whole process in milliseconds, the GL driver's rendering threads included: on a
// busy machine it tracks the work a frame costs far more steadily than wall time does.
double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

// The driver's own GL thread, if it runs one: Mesa names it after the process with ":gl0" (cut to
// the kernel's 15 characters). -1 when the driver runs GL on the calling thread.
long findGlThread() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(entry.path() / "comm");
    std::string name;
    std::getline(comm, name);
    const size_t mark = name.rfind(":gl");
    if (mark != std::string::npos && mark + 3 < name.size())
      return std::atol(entry.path().filename().c_str());
  }
  return -1;
}

// CPU time of one of this process's threads in milliseconds (0 if it cannot be read).
double taskCpuMs(long tid) {
  std::ifstream schedstat("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  double nanoseconds = 0.0;
  schedstat >> nanoseconds;
  return nanoseconds / 1.0e6;
}

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void printStats(const char* name, const std::vector<double>& samples) {
  const FrameStats s = computeFrameStats(samples);
  std::printf("bench %s min=%.3f median=%.3f p95=%.3f max=%.3f\n", name, s.min, s.median, s.p95, s.max);
}

}  // namespace

std::string stateLine(const StateLineValues& v) {
  char line[512];
  std::snprintf(line, sizeof line,
                "state frame=%ld phase=%s time=%.2f power=%.2f packets=%d objects=%d pos=%.3f,%.3f,%.3f "
                "speed=%.3f gear=%d%s\n",
                v.frame, v.phase, v.timeLeft, v.power, v.packets, v.objects, v.position.x, v.position.y,
                v.position.z, v.speed, v.gear, v.paused ? " paused=1" : "");
  return line;
}

DevTools::DevTools(const DevFlags& flags) : flags_(flags) {}

void DevTools::startupStep(const char* step) {
  const Clock::time_point now = Clock::now();
  startupSteps_.emplace_back(step, std::chrono::duration<double, std::milli>(now - lastStep_).count());
  lastStep_ = now;
}

void DevTools::startLoop() {
  startupMiB_ = residentMiB();
  earlyMiB_ = startupMiB_;
  lastProcessCpu_ = processCpuMs();
}

DevTools::PassTimer::PassTimer(GpuTimer* gpu, double* threadMs) : gpu_(gpu), threadMs_(threadMs) {
  if (threadMs_) threadStart_ = threadCpuMs();
}

DevTools::PassTimer::~PassTimer() {
  if (gpu_) gpu_->end();
  if (threadMs_) *threadMs_ += threadCpuMs() - threadStart_;
}

DevTools::PassTimer DevTools::time(const char* pass) {
  if (!flags_.bench) return PassTimer(nullptr, nullptr);
  if (timedFrame()) {
    gpu_.begin(pass);
    return PassTimer(&gpu_, nullptr);
  }
  auto found = std::find_if(passThreadCpu_.begin(), passThreadCpu_.end(),
                            [pass](const PassThreadCpu& entry) { return entry.pass == pass; });
  if (found == passThreadCpu_.end()) found = passThreadCpu_.insert(found, PassThreadCpu{pass, 0.0, {}});
  return PassTimer(nullptr, &found->thisFrame);
}

void DevTools::beginFrame() {
  ++framesBegun_;
  // The driver thread's figure is read from /proc first, so that reading stays out of this frame's
  // time and this thread's CPU.
  if (flags_.bench) {
    if (glThread_ == 0) glThread_ = findGlThread();
    if (glThread_ > 0) glThreadStart_ = taskCpuMs(glThread_);
  }
  frameStart_ = Clock::now();
  threadStart_ = threadCpuMs();
}

void DevTools::endWork() {
  workEnd_ = Clock::now();
}

void DevTools::afterSwap(long frame) {
  if (frame == 1) startupStep("first_frame");
  if (!flags_.bench) return;
  if (frame == 10 && !flags_.benchFloor) earlyMiB_ = residentMiB();
  gpu_.collect();
  const auto end = Clock::now();
  const double frameMs = std::chrono::duration<double, std::milli>(end - frameStart_).count();
  const double processNow = processCpuMs();
  const double processMs = processNow - lastProcessCpu_;
  lastProcessCpu_ = processNow;
  if (timedFrame()) {
    timedFrameTimes_.push_back(frameMs);
    return;
  }
  cpuTimes_.push_back(std::chrono::duration<double, std::milli>(workEnd_ - frameStart_).count());
  frameTimes_.push_back(frameMs);
  threadTimes_.push_back(threadCpuMs() - threadStart_);
  if (glThread_ > 0) glThreadTimes_.push_back(taskCpuMs(glThread_) - glThreadStart_);
  for (PassThreadCpu& entry : passThreadCpu_) {
    entry.frames.push_back(entry.thisFrame);
    entry.thisFrame = 0.0;
  }
  processTimes_.push_back(processMs);
  renderScales_.push_back(frameScale_);
}

void DevTools::beginFloorFrame() {
  frameStart_ = Clock::now();
  floorProcessStart_ = processCpuMs();
}

void DevTools::endFloorFrame(bool texturedQuad) {
  (texturedQuad ? quadFloorTimes_ : floorTimes_).push_back(msSince(frameStart_));
  (texturedQuad ? quadFloorProcessTimes_ : floorProcessTimes_).push_back(processCpuMs() - floorProcessStart_);
}

bool DevTools::takeScreenshots(long frame, int width, int height) {
  if (!screenshotFailure_.empty()) return false;
  screenshotFailure_ = ruvelo::takeScreenshots(flags_.screenshots, frame, [&](const std::string& path) {
    return writeBackBufferPng(path, width, height);
  });
  return screenshotFailure_.empty();
}

std::string DevTools::flagFailure(long lastFrame) const {
  return screenshotFailure_.empty() ? missedScreenshot(flags_.screenshots, lastFrame) : screenshotFailure_;
}

void DevTools::report(int width, int height) {
  if (!flags_.bench) return;
  gpu_.collect(true);
  std::printf("bench frames=%zu window=%dx%d\n", frameTimes_.size(), width, height);
  std::printf("bench startup_ms total=%.1f",
              std::chrono::duration<double, std::milli>(lastStep_ - created_).count());
  for (const auto& [step, ms] : startupSteps_) std::printf(" %s=%.1f", step.c_str(), ms);
  std::printf("\n");
  printStats("frame_ms", frameTimes_);
  printStats("render_scale", renderScales_);
  if (!timedFrameTimes_.empty()) {
    std::printf("bench timed_frames=%zu (the pass timers' frames, left out of the figures above and below)\n",
                timedFrameTimes_.size());
    printStats("timed_frame_ms", timedFrameTimes_);
  }
  const double frameMedian = computeFrameStats(frameTimes_).median;
  if (!floorTimes_.empty()) {
    const FrameStats floor = computeFrameStats(floorTimes_);
    std::printf("bench floor_ms frames=%zu min=%.3f median=%.3f p95=%.3f max=%.3f\n", floor.count, floor.min,
                floor.median, floor.p95, floor.max);
    std::printf("bench ratio_to_floor=%.3f\n", floor.median > 0.0 ? frameMedian / floor.median : 0.0);
  }
  if (!quadFloorTimes_.empty()) {
    const FrameStats quad = computeFrameStats(quadFloorTimes_);
    std::printf("bench quad_floor_ms frames=%zu min=%.3f median=%.3f p95=%.3f max=%.3f\n", quad.count,
                quad.min, quad.median, quad.p95, quad.max);
    std::printf("bench ratio_to_quad_floor=%.3f\n", quad.median > 0.0 ? frameMedian / quad.median : 0.0);
  }
  printStats("process_cpu_ms", processTimes_);
  if (!floorProcessTimes_.empty()) {
    const double floor = computeFrameStats(floorProcessTimes_).median;
    const double process = computeFrameStats(processTimes_).median;
    std::printf("bench floor_process_cpu_ms median=%.3f\n", floor);
    std::printf("bench process_cpu_ratio_to_floor=%.3f\n", floor > 0.0 ? process / floor : 0.0);
  }
  if (!quadFloorProcessTimes_.empty()) {
    const double quad = computeFrameStats(quadFloorProcessTimes_).median;
    const double process = computeFrameStats(processTimes_).median;
    std::printf("bench quad_floor_process_cpu_ms median=%.3f\n", quad);
    std::printf("bench process_cpu_ratio_to_quad_floor=%.3f\n", quad > 0.0 ? process / quad : 0.0);
  }
  printStats("cpu_ms", cpuTimes_);
  printStats("thread_cpu_ms", threadTimes_);
  if (glThread_ > 0) {
    printStats("gl_thread_cpu_ms", glThreadTimes_);
  } else {
    std::printf("bench gl_thread_cpu_ms none (the driver runs GL on this thread)\n");
  }
  for (const PassThreadCpu& entry : passThreadCpu_)
    std::printf("bench thread_cpu pass=%s median_ms=%.3f\n", entry.pass.c_str(),
                computeFrameStats(entry.frames).median);
  gpu_.report(std::cout);
  std::printf("bench memory_mib startup=%.1f frame10=%.1f end=%.1f\n", startupMiB_, earlyMiB_, residentMiB());
  standardOutputWritten();  // flushed here, so a failure keeps its reason
}

}  // namespace ruvelo
