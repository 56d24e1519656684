// How the vehicle's readings become sound levels and pitches: a tyre's squeal from its slip, the
// body's scrape from its sliding speed. Plain functions, no audio library.
#pragma once

namespace ruvelo::audio {

// A looped sound's loudness (0..1) and playback rate (1 as made).
struct LoopVoice {
  float gain = 0.0f;
  float pitch = 1.0f;
};

// Whether a tyre has let go, 0..1, from its slip ratio and slip angle (rad): nothing while it grips,
// rising once either slip passes the point where the tyre lets go, full on a hard slide.
float squealLevel(float longSlip, float latSlip);

// A tyre's squeal: nothing while it grips; once it lets go, louder and higher the faster the tread
// slides over the ground (`slipSpeed`, m/s).
LoopVoice squealVoice(float longSlip, float latSlip, float slipSpeed);

// The scrape of the body sliding along a wall at `slidingSpeed` (m/s): silent below a crawl, louder
// and a little higher the faster it slides.
LoopVoice scrapeVoice(float slidingSpeed);

// Moves `current` towards `target` with time constant `tau` seconds over `dt`.
float smoothTowards(float current, float target, float dt, float tau);

// rad/s to revolutions per minute.
constexpr float rpmOf(float radPerSecond) {
  return radPerSecond * 9.5492966f;
}

}  // namespace ruvelo::audio
