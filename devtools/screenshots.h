// --screenshot at run time: writing a frame's picture as a PNG file, and the failures that end the
// run (a file that cannot be written, a frame the run never reached).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devtools/dev_flags.h"
#include "platform/exit_status.h"

namespace ruvelo {

// Writes `rgba` (width × height, top row first) to `path` as a PNG through the atomic writer. ""
// on success, else why not (the system's reason, "No space left on device", or the writer's
// refusal, "x.png is a symbolic link (not followed)"); a write is only a success once the file
// is on disk.
std::string writePngFile(const std::string& path, int width, int height,
                         const std::vector<unsigned char>& rgba);

// Writes the current back buffer (window size) to a PNG file. "" on success, else why not.
std::string writeBackBufferPng(const std::string& path, int width, int height);

// Writes every screenshot of `frame` with `write` (path → "" or why not). "" when all were
// written, else one line saying which failed and why.
std::string takeScreenshots(const std::vector<Screenshot>& shots, long frame,
                            const std::function<std::string(const std::string& path)>& write);

// After a run that ended after `lastFrame`: "" when no screenshot was asked for a later frame, else
// one line naming the first one missed.
std::string missedScreenshot(const std::vector<Screenshot>& shots, long lastFrame);

}  // namespace ruvelo
