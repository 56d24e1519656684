#version 430 core
// The glyph's coverage (red channel) becomes alpha, so blending gives smooth edges; under it a black
// outline "outlineTexels" wide, from the glyph's distance (green channel: 1 on the glyph, 0 eleven
// texels away), so the text reads over any background. A flat shape draws in its colour alone.

in vec2 uv;

layout(binding = 0) uniform sampler2D glyph;
uniform vec3 textColor;
uniform float outlineTexels;

out vec4 fragColor;

void main() {
  vec2 texel = texture(glyph, uv).rg;
  float coverage = texel.r;
  float away = (1.0 - texel.g) * 11.0;
  float outline = clamp(outlineTexels + 0.5 - away, 0.0, 1.0);
  float alpha = coverage + outline * (1.0 - coverage);
  fragColor = vec4(alpha > 0.0 ? textColor * (coverage / alpha) : textColor, alpha);
}
