#version 430 core
// Lit scene vertex stage: world-space position and normal, texture coordinates and the position
// in the shadow light's clip space.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 texCoords;

uniform mat4 modelMatrix;
uniform mat3 normalMatrix;
uniform mat4 viewMatrix;
uniform mat4 projMatrix;
uniform mat4 lightSpaceMatrix;

out VertexData {
  vec3 worldPosition;
  vec3 worldNormal;
  vec2 uv;
  vec4 lightSpacePosition;
} vertexOut;

void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  vertexOut.worldPosition = world.xyz;
  vertexOut.worldNormal = normalMatrix * normal;
  vertexOut.uv = texCoords;
  vertexOut.lightSpacePosition = lightSpaceMatrix * world;
  gl_Position = projMatrix * viewMatrix * world;
}
