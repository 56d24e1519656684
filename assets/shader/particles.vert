#version 430 core
// Snow flakes: one unit quad per instance, placed, turned towards the camera and sized by the
// instance matrix (attributes 1 to 4 are its columns).

layout(location = 0) in vec4 corner;  // xy position, zw texture coordinates
layout(location = 1) in vec4 instanceColumn0;
layout(location = 2) in vec4 instanceColumn1;
layout(location = 3) in vec4 instanceColumn2;
layout(location = 4) in vec4 instanceColumn3;

uniform mat4 view;
uniform mat4 projection;

out vec2 uv;

void main() {
  mat4 instance = mat4(instanceColumn0, instanceColumn1, instanceColumn2, instanceColumn3);
  uv = corner.zw;
  gl_Position = projection * view * instance * vec4(corner.xy, 0.0, 1.0);
}
