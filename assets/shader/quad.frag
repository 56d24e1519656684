#version 430 core
// Composite at a render scale of 1: the scene colour darkened towards a dark ink along the edges;
// alpha 1 replaces what the window held. (Below 1 the edge pass inks the scene itself and
// upscale.frag draws the window.)

layout(binding = 0) uniform sampler2D sceneColour;
layout(binding = 1) uniform sampler2D edges;

in vec2 uv;
out vec4 fragColor;

const vec3 ink = vec3(0.05, 0.04, 0.06);

void main() {
  // The targets are the viewport's size at its lower-left corner: one texel per pixel, fetched
  // directly rather than filtered.
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  vec3 colour = texelFetch(sceneColour, pixel, 0).rgb;
  float edge = texelFetch(edges, pixel, 0).r;
  fragColor = vec4(mix(colour, ink, edge), 1.0);
}
