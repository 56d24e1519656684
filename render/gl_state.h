// A mirror of the few pieces of GL state that the passes read back: polygon mode, culling, the depth
// test and depth writes, blending and its function. Every change goes through the setters below, so a pass
// can read the state here instead of asking GL. Asking GL is not free: a driver that queues commands on its
// own thread has to finish everything queued before it can answer.
#pragma once

#include <GL/glew.h>

namespace ruvelo::gl_state {

struct Raster {
  GLenum polygonMode = GL_FILL;  // front and back alike
  GLenum cullFaceMode = GL_BACK;
  GLenum frontFace = GL_CCW;  // read by syncFromDriver; the game never changes it
  GLenum depthFunc = GL_LESS;
  bool cullFace = false;
  bool depthTest = false;
  bool blend = false;
  // The game's blend function and depth writes unless a pass declares others.
  GLenum blendSource = GL_SRC_ALPHA;
  GLenum blendDestination = GL_ONE_MINUS_SRC_ALPHA;
  bool depthMask = true;

  bool operator==(const Raster& o) const;
};

// The state as last set through this module (or read by `syncFromDriver`).
const Raster& raster();

// Reads the mirrored state from the current context: once after the context is made current, or
// whenever code outside this module may have changed it.
void syncFromDriver();
// The current context's state, read from GL (a synchronising query; for checks, not for frames).
Raster queryDriver();

void setPolygonMode(GLenum mode);
void setCullFaceMode(GLenum mode);
void setDepthFunc(GLenum func);
void setBlendFunc(GLenum source, GLenum destination);
void setDepthMask(bool write);
// `cap` is GL_CULL_FACE, GL_DEPTH_TEST or GL_BLEND; any other capability is set but not mirrored.
void setEnabled(GLenum cap, bool on);

// The game's state at start, once the context is current: clear colour black, depth test,
// back-face culling, alpha blending; the mirror then matches the driver.
void setStartState();

// Makes GL hold `state` (all but the front face, which the game never changes), through the setters
// above; only what differs from the mirror reaches GL. A pass calls it at its start with the state
// it declares, so it never depends on what the pass before it left.
void apply(const Raster& state);

}  // namespace ruvelo::gl_state
