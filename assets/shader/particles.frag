#version 430 core
// A flake takes its shape from the texture: its alpha times its brightness, so both a white flake
// on transparent ground and a light flake on black (red-only or RGB images) work.
// The colour's alpha is one flake's fade, not every flake's, so only its RGB tints the snow.

in vec2 uv;

layout(binding = 0) uniform sampler2D flake;
uniform vec4 color;

out vec4 fragColor;

void main() {
  vec4 texel = texture(flake, uv);
  float coverage = texel.a * max(texel.r, max(texel.g, texel.b));
  if (coverage < 0.02) discard;
  fragColor = vec4(color.rgb, coverage);
}
