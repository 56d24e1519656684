#include "game/autopilot.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ruvelo {

namespace route {

std::size_t nearestIndex(const std::vector<glm::vec2>& line, glm::vec2 p, std::size_t from,
                         std::size_t window) {
  if (line.empty()) return 0;
  from = std::min(from, line.size() - 1);
  const std::size_t to = std::min(line.size(), from + std::max<std::size_t>(window, 1));
  std::size_t best = from;
  float bestDistance = glm::length(line[from] - p);
  for (std::size_t i = from + 1; i < to; ++i) {
    const float d = glm::length(line[i] - p);
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

glm::vec2 pointAhead(const std::vector<glm::vec2>& line, std::size_t i, float distance) {
  if (line.empty()) return glm::vec2(0.0f);
  for (; i + 1 < line.size(); ++i) {
    const float piece = glm::length(line[i + 1] - line[i]);
    if (distance <= piece && piece > 0.0f) return line[i] + (line[i + 1] - line[i]) * (distance / piece);
    distance -= piece;
  }
  return line.back();
}

float curvatureAt(const std::vector<glm::vec2>& line, std::size_t i, std::size_t span) {
  if (line.size() < 3) return 0.0f;
  const glm::vec2 a = line[i >= span ? i - span : 0];
  const glm::vec2 b = line[i];
  const glm::vec2 c = line[std::min(i + span, line.size() - 1)];
  const float ab = glm::length(b - a), bc = glm::length(c - b), ac = glm::length(c - a);
  if (ab <= 0.0f || bc <= 0.0f || ac <= 0.0f) return 0.0f;
  const glm::vec2 u = b - a, v = c - b;
  return 2.0f * std::fabs(u.x * v.y - u.y * v.x) / (ab * bc * ac);
}

float speedLimit(const std::vector<glm::vec2>& line, std::size_t i, const SpeedModel& model) {
  float limit = model.topSpeed;
  float along = 0.0f;
  for (std::size_t j = i; j < line.size() && along <= model.horizon; ++j) {
    if (j > i) along += glm::length(line[j] - line[j - 1]);
    const float k = curvatureAt(line, j, model.span);
    const float corner = k > 1e-5f ? std::sqrt(model.lateral / k) : model.topSpeed;
    limit = std::min(limit, std::sqrt(corner * corner + 2.0f * model.braking * along));
  }
  // The end of the line is a stop.
  if (along <= model.horizon) limit = std::min(limit, std::sqrt(2.0f * model.braking * along));
  return limit;
}

}  // namespace route

namespace {

constexpr float kSearchBehind = 10.0f;     // metres of route searched behind the last progress point
constexpr float kSearchAhead = 160.0f;     // … and ahead of it
constexpr float kOffRouteDistance = 6.0f;  // beyond this the vehicle is away from the line
constexpr float kOffRouteSpeed = 8.0f;     // how fast it may go back to the line
constexpr float kStuckSpeed = 0.5f;
constexpr float kStuckTime = 1.5f;  // asking to move without moving this long: back out
constexpr float kReverseTime = 1.5f;
constexpr float kSpeedSlack = 1.5f;  // above the target speed by this much: brake

// How far ahead the pursuit point lies: further at speed, and further at long frames, where the
// vehicle travels a long way between two decisions.
float lookAheadDistance(float speed, float dt) {
  return std::clamp(5.0f + std::fabs(speed) * (0.5f + 2.0f * dt), 7.0f, 35.0f);
}

}  // namespace

Autopilot::Autopilot(std::vector<glm::vec2> line, AutopilotVehicle vehicle, route::SpeedModel speed)
    : line_(std::move(line)), vehicle_(vehicle), speed_(speed) {
  // Start from the point nearest the first: the vehicle is placed at the route's start.
  progress_ = 0;
}

float Autopilot::targetSteer(const AutopilotView& view, glm::vec2 target) const {
  const glm::vec2 p(view.position.x, view.position.z);
  glm::vec2 forward(view.forward.x, view.forward.z);
  if (glm::length(forward) < 1e-4f) return 0.0f;
  forward = glm::normalize(forward);
  const glm::vec2 left(forward.y, -forward.x);  // positive steer turns this way
  const glm::vec2 toTarget = target - p;
  const float distance = glm::length(toTarget);
  if (distance < 1e-3f) return 0.0f;
  const float alpha = std::atan2(glm::dot(toTarget, left), glm::dot(toTarget, forward));
  // Pure pursuit: the arc through the target point, turned into a wheel angle.
  const float wheel = std::atan(2.0f * vehicle_.wheelBase * std::sin(alpha) / distance);
  return std::clamp(wheel / vehicle_.maxWheelSteer, -1.0f, 1.0f);
}

// Picks A, D or neither. Each key moves the smoothed steer control by its rise or fall rate, so at
// long frames one press overshoots a small target; the choice therefore also carries the error left
// by earlier frames (sigma-delta), which makes the average steer equal the target at any frame time.
void Autopilot::steerKey(const AutopilotView& view, float target, float dt, bool& a, bool& d) {
  float bestError = 1e9f;
  float bestAbs = 1e9f;
  int choice = 0;
  for (int option = 0; option < 3; ++option) {
    vehicle::DigitalInputs keys;
    keys.steerRight = option == 1;  // A
    keys.steerLeft = option == 2;   // D
    const float next = vehicle::smoothDigitalInputs(vehicle_.smoothing, vehicle_.steerVsSpeed, keys, dt,
                                                    false, view.forwardSpeed, view.controls)
                           .steer();
    const float error = steerDebt_ + (target - next);
    if (std::fabs(error) < bestAbs - 1e-6f) bestAbs = std::fabs(error), bestError = error, choice = option;
  }
  steerDebt_ = std::clamp(bestError, -1.0f, 1.0f);
  a = choice == 1;
  d = choice == 2;
}

AutopilotKeys Autopilot::decide(const AutopilotView& view, float dt) {
  AutopilotKeys keys;
  if (line_.size() < 2) {
    keys.b = true;
    return keys;
  }
  const glm::vec2 p(view.position.x, view.position.z);
  const float offRoute = followProgress(p);
  if (finished()) {
    keys.b = true;
    return keys;
  }

  const glm::vec2 target = route::pointAhead(
      line_, progress_, lookAheadDistance(view.forwardSpeed, dt) + std::min(offRoute, 10.0f));
  glm::vec2 forward(view.forward.x, view.forward.z);
  forward = glm::length(forward) > 1e-4f ? glm::normalize(forward) : glm::vec2(0.0f, 1.0f);
  const glm::vec2 toTarget = glm::normalize(target - p + glm::vec2(1e-6f));
  const bool targetBehind = glm::dot(forward, toTarget) < -0.2f;
  if (!backOut(view, target, targetBehind, dt, keys)) driveForward(view, target, offRoute, dt, keys);
  return keys;
}

float Autopilot::followProgress(const glm::vec2& p) {
  const std::size_t behind = static_cast<std::size_t>(kSearchBehind / 2.0f);
  const std::size_t from = progress_ > behind ? progress_ - behind : 0;
  progress_ =
      route::nearestIndex(line_, p, from, static_cast<std::size_t>((kSearchBehind + kSearchAhead) / 2.0f));
  const float offRoute = glm::length(line_[progress_] - p);
  if (finished() && lap_.size() >= 2) {
    // Round the lap again, from its start (the lap ends where it starts).
    line_ = lap_;
    progress_ = 0;
    ++laps_;
  }
  return offRoute;
}

bool Autopilot::backOut(const AutopilotView& view, const glm::vec2& target, bool targetBehind, float dt,
                        AutopilotKeys& keys) {
  // Reverse with the wheels turned the other way, which swings the nose towards the target.
  if (reverseLeft_ <= 0.0f && targetBehind && std::fabs(view.forwardSpeed) < 3.0f)
    reverseLeft_ = kReverseTime;
  if (reverseLeft_ <= 0.0f) return false;
  reverseLeft_ -= dt;
  keys.s = true;
  steerKey(view, -targetSteer(view, target) * 4.0f, dt, keys.a, keys.d);
  stuckTime_ = 0.0f;
  return true;
}

void Autopilot::driveForward(const AutopilotView& view, const glm::vec2& target, float offRoute, float dt,
                             AutopilotKeys& keys) {
  const float speed = view.forwardSpeed;
  float wanted = route::speedLimit(line_, progress_, speed_);
  if (offRoute > kOffRouteDistance) wanted = std::min(wanted, kOffRouteSpeed);
  const float steer = targetSteer(view, target);
  steerKey(view, steer, dt, keys.a, keys.d);

  if (speed < wanted) {
    keys.w = true;
  } else if (speed > wanted + kSpeedSlack) {
    keys.b = true;
  }

  // Asking to move but standing still: something is in the way.
  stuckTime_ = keys.w && std::fabs(speed) < kStuckSpeed ? stuckTime_ + dt : 0.0f;
  if (stuckTime_ > kStuckTime) {
    stuckTime_ = 0.0f;
    reverseLeft_ = kReverseTime;
  }
}

}  // namespace ruvelo
