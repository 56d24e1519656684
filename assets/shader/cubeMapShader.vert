#version 430 core
// Sky cube: the vertex position is the sampling direction; z = w puts every sky fragment at depth
// 1, behind everything the scene drew, whatever the camera's far plane.

layout(location = 0) in vec3 position;

uniform mat4 viewMatrix;  // rotation only
uniform mat4 projMatrix;

out vec3 direction;

void main() {
  direction = position;
  vec4 clip = projMatrix * viewMatrix * vec4(position, 1.0);
  gl_Position = clip.xyww;
}
