#include "render/gl_state.h"

namespace ruvelo::gl_state {

namespace {

Raster mirrored;

}  // namespace

bool Raster::operator==(const Raster& o) const {
  return polygonMode == o.polygonMode && cullFaceMode == o.cullFaceMode && frontFace == o.frontFace &&
         depthFunc == o.depthFunc && cullFace == o.cullFace && depthTest == o.depthTest && blend == o.blend &&
         blendSource == o.blendSource && blendDestination == o.blendDestination && depthMask == o.depthMask;
}

const Raster& raster() {
  return mirrored;
}

Raster queryDriver() {
  auto integer = [](GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return static_cast<GLenum>(value);
  };
  Raster state;
  // A core context has one polygon mode for both faces; the query still returns two values.
  GLint polygonMode[2] = {GL_FILL, GL_FILL};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  state.polygonMode = static_cast<GLenum>(polygonMode[0]);
  state.cullFaceMode = integer(GL_CULL_FACE_MODE);
  state.frontFace = integer(GL_FRONT_FACE);
  state.depthFunc = integer(GL_DEPTH_FUNC);
  state.cullFace = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
  state.depthTest = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
  state.blend = glIsEnabled(GL_BLEND) == GL_TRUE;
  state.blendSource = integer(GL_BLEND_SRC_RGB);
  state.blendDestination = integer(GL_BLEND_DST_RGB);
  GLboolean depthMask = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  state.depthMask = depthMask == GL_TRUE;
  return state;
}

void syncFromDriver() {
  mirrored = queryDriver();
}

void setPolygonMode(GLenum mode) {
  glPolygonMode(GL_FRONT_AND_BACK, mode);
  mirrored.polygonMode = mode;
}

void setCullFaceMode(GLenum mode) {
  glCullFace(mode);
  mirrored.cullFaceMode = mode;
}

void setDepthFunc(GLenum func) {
  glDepthFunc(func);
  mirrored.depthFunc = func;
}

void setBlendFunc(GLenum source, GLenum destination) {
  glBlendFunc(source, destination);
  mirrored.blendSource = source;
  mirrored.blendDestination = destination;
}

void setDepthMask(bool write) {
  glDepthMask(write ? GL_TRUE : GL_FALSE);
  mirrored.depthMask = write;
}

void setEnabled(GLenum cap, bool on) {
  if (on) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
  switch (cap) {
    case GL_CULL_FACE:
      mirrored.cullFace = on;
      break;
    case GL_DEPTH_TEST:
      mirrored.depthTest = on;
      break;
    case GL_BLEND:
      mirrored.blend = on;
      break;
    default:
      break;
  }
}

void apply(const Raster& state) {
  if (mirrored.polygonMode != state.polygonMode) setPolygonMode(state.polygonMode);
  if (mirrored.cullFaceMode != state.cullFaceMode) setCullFaceMode(state.cullFaceMode);
  if (mirrored.depthFunc != state.depthFunc) setDepthFunc(state.depthFunc);
  if (mirrored.cullFace != state.cullFace) setEnabled(GL_CULL_FACE, state.cullFace);
  if (mirrored.depthTest != state.depthTest) setEnabled(GL_DEPTH_TEST, state.depthTest);
  if (mirrored.blend != state.blend) setEnabled(GL_BLEND, state.blend);
  if (mirrored.blendSource != state.blendSource || mirrored.blendDestination != state.blendDestination)
    setBlendFunc(state.blendSource, state.blendDestination);
  if (mirrored.depthMask != state.depthMask) setDepthMask(state.depthMask);
}

void setStartState() {
  syncFromDriver();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  setEnabled(GL_DEPTH_TEST, true);
  setEnabled(GL_CULL_FACE, true);
  setCullFaceMode(GL_BACK);
  setEnabled(GL_BLEND, true);
  setBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace ruvelo::gl_state
