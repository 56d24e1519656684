#version 430 core
// Screen text: one glyph quad in window pixels, (x, y) position and (u, v) in the glyph bitmap.

layout(location = 0) in vec4 vertex;

uniform mat4 projMatrix;

out vec2 uv;

void main() {
  uv = vertex.zw;
  gl_Position = projMatrix * vec4(vertex.xy, 0.0, 1.0);
}
