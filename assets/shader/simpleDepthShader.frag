#version 430 core
// Depth only: the fixed-function depth write is all the shadow map needs.

void main() {}
