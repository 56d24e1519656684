#version 430 core
// Outlines from the scene depth. Depth is linearised (the camera's near 0.1 and far 1500) and
// inverted: 1 / distance changes linearly across the screen on any flat surface, so the Laplacian
// of it (centre against its four neighbours) is zero on slopes and the ground and large only where
// one surface stops in front of another. Dividing by the centre value makes the threshold relative,
// so a far step of the same proportion outlines like a near one, while depth-buffer noise at
// distance stays below it. Output: edge strength in red (1 = full outline), alpha 1.
// Built with INK (at a render scale below 1), it writes the scene colour already darkened towards the
// ink instead, so the window pass is a plain upscale of one image.

layout(binding = 1) uniform sampler2D sceneDepth;
// The last texel of the drawn part of the target (smaller than the target at a render scale below
// 1): neighbours past it repeat the border, as the sampler's clamp does at the target's own border.
uniform vec2 lastTexel;
#ifdef INK
layout(binding = 0) uniform sampler2D sceneColour;
const vec3 ink = vec3(0.05, 0.04, 0.06);  // as the composite's
#endif

in vec2 uv;
out vec4 fragColor;

const float nearPlane = 0.1;
const float farPlane = 1500.0;
const float edgeStart = 0.15;  // relative Laplacian where the outline begins to show
const float edgeFull = 0.45;   // and where it is fully dark

// 1 / linear distance, straight from stored depths (no division needed).
vec4 inverseDistance(vec4 depth) {
  vec4 ndc = depth * 2.0 - 1.0;
  return (farPlane + nearPlane - ndc * (farPlane - nearPlane)) / (2.0 * nearPlane * farPlane);
}

void main() {
  // Two gathers at the lower-left and upper-right corners of this pixel's texel c hold it and its
  // four neighbours (components: (i0,j1), (i1,j1), (i1,j0), (i0,j0)); the sampler clamps at the
  // borders.
  vec2 size = vec2(textureSize(sceneDepth, 0));
  vec2 c = floor(gl_FragCoord.xy);
  vec4 lower = inverseDistance(textureGather(sceneDepth, c / size));         // left, c, down, -
  vec4 upper = inverseDistance(textureGather(sceneDepth, (c + 1.0) / size));  // up, -, right, c
  float centre = lower.y;
  float up = c.y >= lastTexel.y ? centre : upper.x;
  float right = c.x >= lastTexel.x ? centre : upper.z;
  float sum = lower.x + lower.z + up + right;
  float relative = abs(sum - 4.0 * centre) / centre;
  float edge = smoothstep(edgeStart, edgeFull, relative);
#ifdef INK
  fragColor = vec4(mix(texelFetch(sceneColour, ivec2(c), 0).rgb, ink, edge), 1.0);
#else
  fragColor = vec4(vec3(edge), 1.0);
#endif
}
