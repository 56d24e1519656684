// The game's sounds, made by code at start-up: 48 kHz mono, 16-bit, the same samples every run.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ruvelo::audio {

constexpr int kSampleRate = 48000;

// Engine speeds (rpm) of the engine loops. At each of them one engine cycle (two turns of a
// four-cylinder, four firings) is a whole number of samples, so a loop of whole cycles repeats
// without a click.
constexpr int kEngineLoops = 5;
constexpr std::array<float, kEngineLoops> kEngineLoopRpm{{1000.0f, 1500.0f, 2250.0f, 3200.0f, 4500.0f}};

// Samples in one engine cycle at `rpm` (two turns): 48000 * 120 / rpm.
int samplesPerEngineCycle(float rpm);

using Samples = std::vector<int16_t>;

// One loop of the engine at kEngineLoopRpm[index], pulling (on load) or coasting (off load); a whole
// number of engine cycles, about half a second.
Samples engineLoop(int index, bool onLoad);
// A tyre squeal loop of half a second: whole periods of every partial.
Samples squealLoop();
// One-shots.
Samples impactSound();
Samples pickupSound();    // two high notes, 2093 Hz then 2637 Hz
Samples deliverySound();  // a rising arpeggio over a low knock
Samples lowPowerSound();  // two short low beeps
Samples winSound();
Samples loseSound();

// The pickup's two notes, for tests that look for them.
constexpr float kPickupNoteHz = 2093.0f;
constexpr float kPickupSecondNoteHz = 2637.0f;

}  // namespace ruvelo::audio
