// The autopilot: drives the level's route as a player would. Each frame it chooses the driving keys
// W, S, A, D and B from the vehicle's pose, its speed and the route; the game feeds them through the
// same path as the keyboard, so it cannot do anything a player cannot. It steers by pure pursuit
// towards a point ahead on the route, holds a speed the curvature ahead allows (braking with B before
// corners), and backs out when it is stuck against something.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

#include "physics/vehicle/input_smoothing.h"

namespace ruvelo {

// What the autopilot sees of the vehicle this frame.
struct AutopilotView {
  glm::vec3 position{0.0f};             // the vehicle actor's position
  glm::vec3 forward{0.0f, 0.0f, 1.0f};  // the actor's +z axis in the world
  float forwardSpeed = 0.0f;            // m/s along forward, negative backwards
  vehicle::AnalogInputs controls;       // the smoothed controls the vehicle drives with now
};

struct AutopilotKeys {
  bool w = false;
  bool a = false;  // steers towards the vehicle's left (+x when facing +z)
  bool s = false;
  bool d = false;
  bool b = false;
};

// Route geometry on a polyline in world (x, z), points about evenly spaced.
namespace route {

// Index of the point nearest to p among [from, from + window), clamped to the route.
std::size_t nearestIndex(const std::vector<glm::vec2>& line, glm::vec2 p, std::size_t from,
                         std::size_t window);
// The point `distance` metres further along the line from point i (the last point beyond the end).
glm::vec2 pointAhead(const std::vector<glm::vec2>& line, std::size_t i, float distance);
// Unsigned curvature (1/m) at point i: the circle through the points `span` before and after it.
float curvatureAt(const std::vector<glm::vec2>& line, std::size_t i, std::size_t span);

// How fast the vehicle may go at point i: every corner ahead within the horizon can still be reached
// at its own limit sqrt(lateral / curvature) by braking at `braking` m/s²; never above topSpeed. The
// line's end counts as a stop.
struct SpeedModel {
  float lateral = 5.0f;
  float braking = 5.0f;
  float topSpeed = 32.0f;
  float horizon = 150.0f;
  std::size_t span = 4;
};
float speedLimit(const std::vector<glm::vec2>& line, std::size_t i, const SpeedModel& model);

}  // namespace route

// Steering geometry of the vehicle the autopilot drives, and how its keys move the steer control.
struct AutopilotVehicle {
  float wheelBase = 3.6f;         // metres between the axles
  float maxWheelSteer = 1.0472f;  // rad at full steer control
  vehicle::KeySmoothingData smoothing;
  vehicle::SteerVsSpeedTable steerVsSpeed;
};

class Autopilot {
 public:
  Autopilot(std::vector<glm::vec2> line, AutopilotVehicle vehicle, route::SpeedModel speed = {});

  // A closed lap to drive round and round once the line is done (empty: stop at the line's end). The
  // game ends at the line's end unless its win/lose rules are off, as in soak runs.
  void setLap(std::vector<glm::vec2> lap) { lap_ = std::move(lap); }

  AutopilotKeys decide(const AutopilotView& view, float dt);

  // How far along the route the vehicle is: the index of its nearest point, and whether it has
  // reached the end.
  std::size_t progress() const { return progress_; }
  bool finished() const { return progress_ + 1 >= line_.size(); }
  const std::vector<glm::vec2>& line() const { return line_; }
  int lapsStarted() const { return laps_; }

 private:
  float targetSteer(const AutopilotView& view, glm::vec2 target) const;
  void steerKey(const AutopilotView& view, float target, float dt, bool& a, bool& d);
  // Moves the progress to the line's point nearest `p` (starting the lap again at the route's end)
  // and returns how far `p` was from the line.
  float followProgress(const glm::vec2& p);
  // Backs out when the target is behind a vehicle standing still, and goes on backing out for a
  // while; true while it does.
  bool backOut(const AutopilotView& view, const glm::vec2& target, bool targetBehind, float dt,
               AutopilotKeys& keys);
  // Steers towards the target and keeps to the speed the line allows; notices being stuck.
  void driveForward(const AutopilotView& view, const glm::vec2& target, float offRoute, float dt,
                    AutopilotKeys& keys);

  std::vector<glm::vec2> line_;
  std::vector<glm::vec2> lap_;
  int laps_ = 0;
  AutopilotVehicle vehicle_;
  route::SpeedModel speed_;
  std::size_t progress_ = 0;
  float stuckTime_ = 0.0f;    // seconds of asking to move without moving
  float reverseLeft_ = 0.0f;  // seconds left of backing out
  float steerDebt_ = 0.0f;    // steer error carried from earlier frames
};

}  // namespace ruvelo
