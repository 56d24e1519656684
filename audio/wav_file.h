// A 48 kHz 16-bit stereo WAV file written as the game runs: samples go to a temporary file beside
// the target, which takes the target's name only when the file is complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ruvelo::audio {

class WavFile {
 public:
  // Starts the temporary file; failed() says whether that worked.
  explicit WavFile(std::string path);
  ~WavFile();  // an unfinished file is removed
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  // Interleaved left/right samples.
  void append(const int16_t* samples, std::size_t count);
  // Completes the header, flushes and renames. False (and why()) when any step failed.
  bool finish();

  bool failed() const { return !why_.empty(); }
  const std::string& why() const { return why_; }

 private:
  void fail(const std::string& what);

  std::string path_, temp_;
  std::FILE* file_ = nullptr;
  uint64_t dataBytes_ = 0;
  std::string why_;
};

}  // namespace ruvelo::audio
