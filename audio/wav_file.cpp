#include "audio/wav_file.h"

#include <cstring>

#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

void putLittleEndian(unsigned char* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xff);
}

}  // namespace

std::string wavHeader(uint64_t dataBytes) {
  const uint32_t data = static_cast<uint32_t>(dataBytes > kMaxWavDataBytes ? kMaxWavDataBytes : dataBytes);
  unsigned char h[kWavHeaderBytes];
  std::memcpy(h, "RIFF", 4);
  putLittleEndian(h + 4, 36 + data, 4);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  putLittleEndian(h + 16, 16, 4);                   // format chunk size
  putLittleEndian(h + 20, 1, 2);                    // PCM
  putLittleEndian(h + 22, 2, 2);                    // stereo
  putLittleEndian(h + 24, kSampleRate, 4);          // frames per second
  putLittleEndian(h + 28, kSampleRate * 2 * 2, 4);  // bytes per second
  putLittleEndian(h + 32, 4, 2);                    // bytes per frame
  putLittleEndian(h + 34, 16, 2);                   // bits per sample
  std::memcpy(h + 36, "data", 4);
  putLittleEndian(h + 40, data, 4);
  return std::string(reinterpret_cast<const char*>(h), sizeof h);
}

void appendWavSamples(std::string& out, const int16_t* samples, std::size_t count) {
  const std::size_t from = out.size();
  out.resize(from + 2 * count);
  for (std::size_t i = 0; i < count; ++i)
    putLittleEndian(reinterpret_cast<unsigned char*>(&out[from + 2 * i]), static_cast<uint16_t>(samples[i]),
                    2);
}

}  // namespace ruvelo::audio
