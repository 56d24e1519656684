#include "audio/wav_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

void putLittleEndian(unsigned char* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xff);
}

// The 44-byte header of a PCM file holding `dataBytes` of samples.
void header(unsigned char* h, uint32_t dataBytes) {
  std::memcpy(h, "RIFF", 4);
  putLittleEndian(h + 4, 36 + dataBytes, 4);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  putLittleEndian(h + 16, 16, 4);                   // format chunk size
  putLittleEndian(h + 20, 1, 2);                    // PCM
  putLittleEndian(h + 22, 2, 2);                    // stereo
  putLittleEndian(h + 24, kSampleRate, 4);          // frames per second
  putLittleEndian(h + 28, kSampleRate * 2 * 2, 4);  // bytes per second
  putLittleEndian(h + 32, 4, 2);                    // bytes per frame
  putLittleEndian(h + 34, 16, 2);                   // bits per sample
  std::memcpy(h + 36, "data", 4);
  putLittleEndian(h + 40, dataBytes, 4);
}

// A WAV file counts its bytes in 32 bits.
constexpr uint64_t kMaxDataBytes = 0xffffffffull - 36;

}  // namespace

WavFile::WavFile(std::string path) : path_(std::move(path)) {
  temp_ = path_ + ".tmp-" + std::to_string(::getpid());
  file_ = std::fopen(temp_.c_str(), "wb");
  if (!file_) {
    fail("cannot create " + temp_);
    return;
  }
  unsigned char h[44];
  header(h, 0);
  if (std::fwrite(h, 1, sizeof h, file_) != sizeof h) fail("cannot write " + temp_);
}

WavFile::~WavFile() {
  if (!file_) return;
  std::fclose(file_);
  std::remove(temp_.c_str());
}

void WavFile::fail(const std::string& what) {
  if (why_.empty()) why_ = what + ": " + std::strerror(errno);
}

void WavFile::append(const int16_t* samples, std::size_t count) {
  if (failed() || count == 0) return;
  if (dataBytes_ + count * 2 > kMaxDataBytes) {
    errno = EFBIG;
    fail("cannot write " + temp_);
    return;
  }
  unsigned char bytes[4096];
  std::size_t done = 0;
  while (done < count) {
    const std::size_t n = std::min(count - done, sizeof bytes / 2);
    for (std::size_t i = 0; i < n; ++i)
      putLittleEndian(bytes + 2 * i, static_cast<uint16_t>(samples[done + i]), 2);
    if (std::fwrite(bytes, 2, n, file_) != n) {
      fail("cannot write " + temp_);
      return;
    }
    done += n;
  }
  dataBytes_ += count * 2;
}

bool WavFile::finish() {
  if (!file_) return false;
  unsigned char h[44];
  header(h, static_cast<uint32_t>(dataBytes_));
  if (!failed() && (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, file_) != sizeof h))
    fail("cannot write " + temp_);
  if (!failed() && (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0)) fail("cannot flush " + temp_);
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (!failed() && closed != 0) fail("cannot close " + temp_);
  if (!failed() && std::rename(temp_.c_str(), path_.c_str()) != 0)
    fail("cannot rename " + temp_ + " to " + path_);
  if (failed()) std::remove(temp_.c_str());
  return !failed();
}

}  // namespace ruvelo::audio
