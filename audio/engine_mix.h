// How the vehicle's readings become loop gains and pitches: the engine loops crossfaded by engine
// speed, and a tyre's squeal by its slip. Plain functions, no audio library.
#pragma once

#include <array>

#include "audio/sound_synth.h"

namespace ruvelo::audio {

// A loop is never pitched further than this from the speed it was made at (up or down, as a ratio).
constexpr float kMaxLoopPitch = 1.3f;

struct LoopVoice {
  float gain = 0.0f;   // 0..1
  float pitch = 1.0f;  // playback rate: engine speed / the loop's speed, within the limit above
};

// The engine loops' voices at `rpm`: one loop alone near its own speed, two neighbours crossfaded
// at equal power where both can be pitched to `rpm` within the limit. Below the first loop's and
// above the last loop's range the nearest loop holds at its limit pitch.
std::array<LoopVoice, kEngineLoops> engineCrossfade(float rpm);

// Squeal loudness 0..1 of one tyre from its slip ratio and slip angle (rad): nothing while it grips,
// rising once either slip passes the point where the tyre lets go, full on a hard slide.
float squealLevel(float longSlip, float latSlip);

// Moves `current` towards `target` with time constant `tau` seconds over `dt`.
float smoothTowards(float current, float target, float dt, float tau);

// rad/s to revolutions per minute.
constexpr float rpmOf(float radPerSecond) {
  return radPerSecond * 9.5492966f;
}

}  // namespace ruvelo::audio
