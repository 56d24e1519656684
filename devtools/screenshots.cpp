#include "devtools/screenshots.h"

#include <GL/glew.h>
#include <stb_image_write.h>

#include <algorithm>

#include "platform/atomic_file.h"

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
  // Through the writer every output uses: whole or not at all, never through a link, a read-only
  // file left alone. Its "cannot write PATH: reason" is shortened to the reason.
  removeStaleTemporaries(path);
  std::string why;
  if (writeFileAtomically(path, png, why)) return "";
  const std::size_t colon = why.rfind(": ");
  return why.rfind("cannot ", 0) == 0 && colon != std::string::npos ? why.substr(colon + 2) : why;
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

std::string writeBackBufferPng(const std::string& path, int width, int height) {
  const size_t row = static_cast<size_t>(width) * 4;
  std::vector<unsigned char> pixels(row * static_cast<size_t>(height));
  GLint previousRead = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  // Rows of any width packed tight; the alignment is put back for whoever reads pixels next.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, previousAlignment);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousRead));
  // GL reads bottom row first; a PNG starts at the top. The back buffer may carry alpha from
  // blending; a screenshot is opaque.
  std::vector<unsigned char> topFirst(pixels.size());
  for (int y = 0; y < height; ++y)
    std::copy_n(&pixels[static_cast<size_t>(height - 1 - y) * row], row,
                &topFirst[static_cast<size_t>(y) * row]);
  for (size_t i = 3; i < topFirst.size(); i += 4) topFirst[i] = 255;
  return writePngFile(path, width, height, topFirst);
}

}  // namespace ruvelo
