#version 430 core
// Sky colour straight from the cube map.

in vec3 direction;

layout(binding = 0) uniform samplerCube skybox;

out vec4 fragColor;

void main() {
  fragColor = vec4(texture(skybox, direction).rgb, 1.0);
}
