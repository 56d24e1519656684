#version 430 core
// Composite: the scene colour darkened towards a dark ink along the edges; alpha 1 replaces what
// the window held.

layout(binding = 0) uniform sampler2D sceneColour;
layout(binding = 1) uniform sampler2D edges;

in vec2 uv;
out vec4 fragColor;

const vec3 ink = vec3(0.05, 0.04, 0.06);

void main() {
  vec3 colour = texture(sceneColour, uv).rgb;
  float edge = texture(edges, uv).r;
  fragColor = vec4(mix(colour, ink, edge), 1.0);
}
