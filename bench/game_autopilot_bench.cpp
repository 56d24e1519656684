// One autopilot decision on the level's route: progress search, look-ahead, speed limit over the
// horizon and the steering key choice. Measured at points spread along the whole route.
#include "game/autopilot.h"
#include "level/level_layout.h"
#include "level/route.h"
#include "physics/driving.h"

#include <benchmark/benchmark.h>

namespace {

void autopilotDecision(benchmark::State& st) {
  const std::vector<glm::vec2> line = ruvelo::level::drivingLine(ruvelo::level::levelLayout());
  ruvelo::AutopilotVehicle vehicle;
  vehicle.smoothing = keySmoothing();
  vehicle.steerVsSpeed = steerVsSpeed();
  ruvelo::Autopilot pilot(line, vehicle);
  std::size_t i = 0;
  for (auto _ : st) {
    // Walk the vehicle along the line, slightly off it, so every part of the route is decided on.
    i = (i + 1) % line.size();
    const glm::vec2 p = line[i] + glm::vec2(1.5f, -0.5f);
    ruvelo::AutopilotView view;
    view.position = {p.x, 3.3f, p.y};
    view.forwardSpeed = 20.0f;
    if (i == 0) pilot = ruvelo::Autopilot(line, vehicle);
    benchmark::DoNotOptimize(pilot.decide(view, 1.0f / 60.0f));
  }
}
BENCHMARK(autopilotDecision);

}  // namespace
