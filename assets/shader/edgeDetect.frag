#version 430 core
// Outlines from the scene depth. Depth is linearised (the camera's near 0.1 and far 1500) and
// inverted: 1 / distance changes linearly across the screen on any flat surface, so the 3 × 3
// Laplacian of it is zero on slopes and the ground and large only where one surface stops in front
// of another. Dividing by the centre value makes the threshold relative, so a far step of the same
// proportion outlines like a near one, while depth-buffer noise at distance stays below it.
// Output: edge strength in RGB (1 = full outline), alpha 1.

layout(binding = 1) uniform sampler2D sceneDepth;

in vec2 uv;
out vec4 fragColor;

const float nearPlane = 0.1;
const float farPlane = 1500.0;
const float edgeStart = 0.25;  // relative Laplacian where the outline begins to show
const float edgeFull = 0.6;    // and where it is fully dark

float linearDepth(float depth) {
  float ndc = depth * 2.0 - 1.0;
  return 2.0 * nearPlane * farPlane / (farPlane + nearPlane - ndc * (farPlane - nearPlane));
}

float inverseDistance(ivec2 texel, ivec2 size) {
  texel = clamp(texel, ivec2(0), size - 1);
  return 1.0 / linearDepth(texelFetch(sceneDepth, texel, 0).r);
}

void main() {
  ivec2 size = textureSize(sceneDepth, 0);
  ivec2 centre = ivec2(uv * vec2(size));
  float c = inverseDistance(centre, size);
  float sum = 0.0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) sum += inverseDistance(centre + ivec2(dx, dy), size);
    }
  }
  float relative = abs(sum - 8.0 * c) / c;
  float edge = smoothstep(edgeStart, edgeFull, relative);
  fragColor = vec4(vec3(edge), 1.0);
}
