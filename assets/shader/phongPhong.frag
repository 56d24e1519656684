#version 430 core
// The finish lines: Blinn-Phong in the material colour with a chequered pattern, shadows and a
// Fresnel-weighted sky reflection. Texture unit 0 holds the shadow map here, so no mesh texture is
// sampled; "tex" switches the chequer.

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
layout(binding = 0) uniform sampler2DShadow shadowMap;
layout(binding = 1) uniform samplerCube cubemap;

out vec4 fragColor;

const vec3 kHazeColor = vec3(0.72, 0.78, 0.86);
const float kHazeDensity = 0.0009;
// Side of one chequer square in world units (ground plane x and z).
const float kChequerSize = 1.5;
// Reflectance facing the viewer and at grazing angles: a lacquered surface, not a mirror.
const float kReflectFacing = 0.12;
const float kReflectGrazing = 0.55;

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
  if (tex > 0.5) {
    ivec2 cell = ivec2(floor(fragmentIn.worldPosition.xz / kChequerSize));
    if (((cell.x + cell.y) & 1) == 1) albedo = mix(diffuseColor, vec3(1.0), 0.85);
  }

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

  // Schlick's Fresnel term; the reflection is dimmed in shadow so props do not glow there.
  float facing = 1.0 - max(dot(n, toEye), 0.0);
  float reflectance = mix(kReflectFacing, kReflectGrazing, facing * facing * facing * facing * facing);
  vec3 sky = texture(cubemap, reflect(-toEye, n)).rgb * illuminationMultiplier * mix(0.6, 1.0, lit);
  color = mix(color, sky, reflectance) + light * materialCoefficients.z * specular * lit * reflectance;

  float distance = length(camera_world - fragmentIn.worldPosition);
  float haze = 1.0 - exp(-pow(distance * kHazeDensity, 2.0));
  fragColor = vec4(mix(color, kHazeColor * illuminationMultiplier, haze), 1.0);
}
