// Sprung masses: how the chassis mass divides over the wheels so that the vehicle rests level.
#pragma once

#include <glm/glm.hpp>

#include <vector>

namespace vehicle {

// Masses m_i with Σm_i = totalMass and Σm_i·p_i = totalMass·centreOfMass in the two horizontal axes
// (the axis gravityAxis, 0 = x, 1 = y, 2 = z, is ignored). With more than three wheels the system is
// under-determined; the minimum-norm solution is returned. Empty on bad input (fewer than one
// wheel, a non-positive mass, a bad axis, or wheels all on one line when more than two).
std::vector<float> computeSprungMasses(const std::vector<glm::vec3>& wheelPositions,
                                       const glm::vec3& centreOfMass, float totalMass, int gravityAxis);

}  // namespace vehicle
