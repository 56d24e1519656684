#version 430 core
// Outlines from the scene depth. Depth is linearised (the camera's near 0.1 and far 1500) and
// inverted: 1 / distance changes linearly across the screen on any flat surface, so the Laplacian
// of it (centre against its four neighbours) is zero on slopes and the ground and large only where
// one surface stops in front of another. Dividing by the centre value makes the threshold relative,
// so a far step of the same proportion outlines like a near one, while depth-buffer noise at
// distance stays below it. Output: edge strength in RGB (1 = full outline), alpha 1.

layout(binding = 1) uniform sampler2D sceneDepth;

in vec2 uv;
out vec4 fragColor;

const float nearPlane = 0.1;
const float farPlane = 1500.0;
const float edgeStart = 0.15;  // relative Laplacian where the outline begins to show
const float edgeFull = 0.45;   // and where it is fully dark

// 1 / linear distance, straight from the stored depth (no division needed).
float inverseDistance(ivec2 texel, ivec2 size) {
  float ndc = texelFetch(sceneDepth, clamp(texel, ivec2(0), size - 1), 0).r * 2.0 - 1.0;
  return (farPlane + nearPlane - ndc * (farPlane - nearPlane)) / (2.0 * nearPlane * farPlane);
}

void main() {
  ivec2 size = textureSize(sceneDepth, 0);
  ivec2 centre = ivec2(gl_FragCoord.xy);
  float c = inverseDistance(centre, size);
  float sum = inverseDistance(centre + ivec2(1, 0), size) + inverseDistance(centre - ivec2(1, 0), size) +
              inverseDistance(centre + ivec2(0, 1), size) + inverseDistance(centre - ivec2(0, 1), size);
  float relative = abs(sum - 4.0 * c) / c;
  float edge = smoothstep(edgeStart, edgeFull, relative);
  fragColor = vec4(vec3(edge), 1.0);
}
