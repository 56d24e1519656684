#version 430 core
// The glyph's coverage (red channel) becomes alpha, so blending gives smooth edges.

in vec2 uv;

layout(binding = 0) uniform sampler2D glyph;
uniform vec3 textColor;

out vec4 fragColor;

void main() {
  fragColor = vec4(textColor, texture(glyph, uv).r);
}
