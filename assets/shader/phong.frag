#version 430 core
// Blinn-Phong lighting from the directional light, the diffuse texture tinted by the material
// colour, bilinearly filtered shadows and a light distance haze.

in VertexData {
  vec3 worldPosition;
  vec3 worldNormal;
  vec2 uv;
  vec4 lightSpacePosition;
} fragmentIn;

struct DirectionalLight {
  vec3 color;
  vec3 direction;  // from the light into the scene
};

uniform DirectionalLight dirLight;
uniform vec3 diffuseColor;
uniform vec3 materialCoefficients;  // ambient, diffuse, specular
uniform float specularAlpha;
uniform vec3 camera_world;
uniform float illuminationMultiplier;
uniform float tex;
uniform sampler2D texture_diffuse1;
layout(binding = 2) uniform sampler2DShadow shadowMap;

out vec4 fragColor;

const vec3 kHazeColor = vec3(0.72, 0.78, 0.86);
const float kHazeDensity = 0.0009;

// 1 = lit, 0 = fully shadowed. The map compares linearly: the four texels around the point are
// each compared with the point's depth and weighted by where the point lies between their centres,
// so a shadow edge fades over one texel instead of stepping. The map repeats, so points outside it
// or beyond its far plane are treated as lit here rather than sampled.
float litAmount(vec4 lightSpace, float nDotL) {
  if (lightSpace.w <= 0.0) return 1.0;
  vec3 p = lightSpace.xyz / lightSpace.w * 0.5 + 0.5;
  if (p.z > 1.0 || any(lessThan(p.xy, vec2(0.0))) || any(greaterThan(p.xy, vec2(1.0)))) return 1.0;
  // Slope-scaled: grazing surfaces need more bias than those facing the light.
  float slope = sqrt(max(1.0 - nDotL * nDotL, 0.0)) / max(nDotL, 0.05);
  float bias = clamp(0.0001 + 0.0002 * slope, 0.0001, 0.002);
  return texture(shadowMap, vec3(p.xy, p.z - bias));
}

void main() {
  vec3 n = normalize(fragmentIn.worldNormal);
  if (!gl_FrontFacing) n = -n;
  vec3 toLight = normalize(-dirLight.direction);
  vec3 toEye = normalize(camera_world - fragmentIn.worldPosition);
  vec3 halfway = normalize(toLight + toEye);

  vec3 albedo = diffuseColor;
  if (tex > 0.5) albedo *= texture(texture_diffuse1, fragmentIn.uv).rgb;

  float nDotL = max(dot(n, toLight), 0.0);
  // The exponent is given for Phong's reflection vector; four times it gives a similar highlight
  // with the halfway vector.
  float specular = nDotL > 0.0 ? pow(max(dot(n, halfway), 0.0), specularAlpha * 4.0) : 0.0;
  float lit = litAmount(fragmentIn.lightSpacePosition, nDotL);
  // Sky-facing surfaces catch a little more ambient than those facing the ground.
  float skyAmbient = mix(0.75, 1.0, n.y * 0.5 + 0.5);

  vec3 light = dirLight.color * illuminationMultiplier;
  vec3 color = light * (materialCoefficients.x * skyAmbient * albedo +
                        lit * (materialCoefficients.y * nDotL * albedo + materialCoefficients.z * specular));

  float distance = length(camera_world - fragmentIn.worldPosition);
  float haze = 1.0 - exp(-pow(distance * kHazeDensity, 2.0));
  fragColor = vec4(mix(color, kHazeColor * illuminationMultiplier, haze), 1.0);
}
