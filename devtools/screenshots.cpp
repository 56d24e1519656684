#include "devtools/screenshots.h"

#include <stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ruvelo {
namespace {

void appendBytes(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

std::string writePngFile(const std::string& path, int width, int height,
                         const std::vector<unsigned char>& rgba) {
  if (width <= 0 || height <= 0 ||
      rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
    return "no picture to write";
  // Encoded in memory first: stb's own file writer ignores write and close errors.
  std::string png;
  if (stbi_write_png_to_func(appendBytes, &png, width, height, 4, rgba.data(), width * 4) == 0 || png.empty())
    return "the picture could not be encoded";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return std::strerror(errno);
  errno = 0;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size() && std::fflush(file) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) return std::strerror(writeError != 0 ? writeError : EIO);
  if (!closed) return std::strerror(errno != 0 ? errno : EIO);
  return "";
}

std::string takeScreenshots(const std::vector<Screenshot>& shots, long frame,
                            const std::function<std::string(const std::string& path)>& write) {
  for (const Screenshot& shot : shots) {
    if (shot.frame != frame) continue;
    const std::string why = write(shot.path);
    if (!why.empty())
      return "--screenshot: frame " + std::to_string(frame) + " could not be written to " + shot.path + ": " +
             why;
  }
  return "";
}

std::string missedScreenshot(const std::vector<Screenshot>& shots, long lastFrame) {
  for (const Screenshot& shot : shots) {
    if (shot.frame > lastFrame)
      return "--screenshot: frame " + std::to_string(shot.frame) +
             " was never reached (the run ended after frame " + std::to_string(lastFrame) + "), " +
             shot.path + " not written";
  }
  return "";
}

}  // namespace ruvelo
