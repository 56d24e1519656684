#version 430 core
// The glyph's coverage (red channel) becomes alpha, so blending gives smooth edges; under it the
// glyph's black outline (green channel), so the text reads over any background. A flat shape's
// texture has no green: it draws in its colour alone.

in vec2 uv;

layout(binding = 0) uniform sampler2D glyph;
uniform vec3 textColor;

out vec4 fragColor;

void main() {
  vec2 texel = texture(glyph, uv).rg;
  float coverage = texel.r;
  float alpha = coverage + texel.g * (1.0 - coverage);
  fragColor = vec4(alpha > 0.0 ? textColor * (coverage / alpha) : textColor, alpha);
}
