// The game's fixed sounds, made by code at start-up: 48 kHz mono, 16-bit, the same samples every run.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ruvelo::audio {

constexpr int kSampleRate = 48000;

// Lengths of the longer sounds, s.
constexpr float kSquealLoopSeconds = 1.7f;
constexpr float kScrapeLoopSeconds = 1.3f;
constexpr float kDeliverySeconds = 0.65f;
constexpr float kWinSeconds = 2.0f;

using Samples = std::vector<int16_t>;

// A tyre squeal loop and the body's scrape along a wall: loops whose ends join without a seam. (The
// engine is made as it plays: see engine_synth.h.)
Samples squealLoop();
Samples scrapeLoop();
// One-shots.
Samples impactSound();    // a knock on the body
Samples crashSound();     // a heavy hit: the body's lower modes, longer
Samples clunkSound();     // a gear change taking up the drive
Samples pickupSound();    // two high notes, 2093 Hz then 2637 Hz
Samples deliverySound();  // a rising arpeggio over a low knock
Samples lowPowerSound();  // two short beeps at 800 Hz
Samples winSound();
Samples loseSound();

// How loud a sound is at its loudest: the mean square of its K-weighted samples (full scale 1) over
// its loudest `window` seconds (0.4 s: a moment; 3 s: a phrase). Sounds are matched by this, not by
// their peaks.
float loudestPower(const Samples& samples, float window = 0.4f);

// The pickup's two notes, for tests that look for them.
constexpr float kPickupNoteHz = 2093.0f;
constexpr float kPickupSecondNoteHz = 2637.0f;

}  // namespace ruvelo::audio
