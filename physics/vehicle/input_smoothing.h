// Driver inputs: digital keys or analog targets smoothed into analog controls with rise and fall
// rates, and the steering limited by forward speed.
#pragma once

#include <array>

namespace vehicle {

// The five driver controls, in this order everywhere.
enum InputChannel {
  kInputAccel = 0,
  kInputBrake,
  kInputHandbrake,
  kInputSteerLeft,
  kInputSteerRight,
  kInputCount
};

struct DigitalInputs {
  bool accel = false;
  bool brake = false;
  bool handbrake = false;
  bool steerLeft = false;
  bool steerRight = false;
};

// Analog controls in [0, 1].
struct AnalogInputs {
  std::array<float, kInputCount> value{};

  float accel() const { return value[kInputAccel]; }
  float brake() const { return value[kInputBrake]; }
  float handbrake() const { return value[kInputHandbrake]; }
  // Net steer in [−1, 1]: positive turns towards +x.
  float steer() const { return value[kInputSteerRight] - value[kInputSteerLeft]; }
  bool anyNonZero() const;
};

// Rates per second at which each channel rises while its key is held and falls once released.
struct KeySmoothingData {
  std::array<float, kInputCount> riseRates{};
  std::array<float, kInputCount> fallRates{};
};

// Largest steer allowed against forward speed: linear between points, end values held beyond.
struct SteerVsSpeedTable {
  static constexpr int kMaxPairs = 8;
  std::array<float, kMaxPairs> speeds{};
  std::array<float, kMaxPairs> steers{};
  int count = 0;

  bool addPair(float speed, float steer);
  float evaluate(float speed) const;
};

// Moves each channel of current towards its target in [0, 1] for dt seconds, rising or falling at
// the channel's rate and never past the target; the steer channels are then capped by the table at
// |forwardSpeed| unless the vehicle is in the air.
AnalogInputs smoothAnalogInputs(const KeySmoothingData& smoothing, const SteerVsSpeedTable& steerVsSpeed,
                                const AnalogInputs& targets, float dt, bool inAir, float forwardSpeed,
                                const AnalogInputs& current);

// The same for keys: a held key's target is 1, a released one's 0.
AnalogInputs smoothDigitalInputs(const KeySmoothingData& smoothing, const SteerVsSpeedTable& steerVsSpeed,
                                 const DigitalInputs& keys, float dt, bool inAir, float forwardSpeed,
                                 const AnalogInputs& current);

}  // namespace vehicle
