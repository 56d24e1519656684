#version 430 core
// Composite: the scene colour darkened towards a dark ink along the edges; alpha 1 replaces what
// the window held. Built twice: as is, for a scene drawn at the window's size, and with UPSCALE,
// for a scene drawn smaller and scaled up to the window.

layout(binding = 0) uniform sampler2D sceneColour;
layout(binding = 1) uniform sampler2D edges;

#ifdef UPSCALE
// Texture coordinates per window pixel, and the lowest and highest coordinates inside the drawn
// part of the targets (texel centres), so filtering never reaches what lies beyond it.
uniform vec2 uvPerPixel;
uniform vec2 uvMin;
uniform vec2 uvMax;
#endif

in vec2 uv;
out vec4 fragColor;

const vec3 ink = vec3(0.05, 0.04, 0.06);

void main() {
#ifdef UPSCALE
  // Bilinear upscale of both images.
  vec2 at = clamp(gl_FragCoord.xy * uvPerPixel, uvMin, uvMax);
  vec3 colour = texture(sceneColour, at).rgb;
  float edge = texture(edges, at).r;
#else
  // The targets are the viewport's size at its lower-left corner: one texel per pixel, fetched
  // directly rather than filtered.
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  vec3 colour = texelFetch(sceneColour, pixel, 0).rgb;
  float edge = texelFetch(edges, pixel, 0).r;
#endif
  fragColor = vec4(mix(colour, ink, edge), 1.0);
}
