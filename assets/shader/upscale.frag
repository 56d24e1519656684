#version 430 core
// The window pass at a render scale below 1: the inked scene, drawn at the scaled size into a
// texture of exactly that size, stretched over the window bilinearly (the sampler clamps at its
// borders). Also the bench's textured-quad floor, one texel per pixel.

layout(binding = 0) uniform sampler2D image;

in vec2 uv;
out vec4 fragColor;

void main() {
  fragColor = texture(image, uv);
}
