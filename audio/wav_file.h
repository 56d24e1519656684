// The bytes of a 48 kHz 16-bit stereo WAV file, made as the game runs: a header that is completed
// once the number of samples is known, and the samples in little-endian order. Writing them is the
// caller's (the game writes every file through one atomic writer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ruvelo::audio {

// The size of the header, and the most sample bytes a WAV file can count (in 32 bits).
constexpr std::size_t kWavHeaderBytes = 44;
constexpr uint64_t kMaxWavDataBytes = 0xffffffffull - 36;

// The header of a PCM file holding `dataBytes` of samples (at most kMaxWavDataBytes).
std::string wavHeader(uint64_t dataBytes);

// Interleaved left/right samples appended to `out`.
void appendWavSamples(std::string& out, const int16_t* samples, std::size_t count);

}  // namespace ruvelo::audio
