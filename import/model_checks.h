// Checks on a model file's contents that the importer does not make, over plain data so they hold
// whichever importer read the file.
#pragma once

#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace ruvelo {

// How far from its origin a model's vertex may lie on any axis (model units, metres): 100 km. Further
// out single-precision positions lose their centimetres, and collision trees and bounds break down.
constexpr float kMaxVertexCoordinate = 100000.0f;

// "" when every position is finite and within ±kMaxVertexCoordinate; otherwise a line naming the
// first vertex that is not (its number, counted from 1 + `firstNumber`, and its value).
std::string badVertex(const std::vector<glm::vec3>& positions, size_t firstNumber = 0);

// The material libraries an OBJ text names ("mtllib" lines; a line may name several) that cannot be
// read beside `objPath`, each as "NAME: why". Empty for readable ones, and for files that are no OBJ.
std::vector<std::string> unreadableMaterialFiles(const std::string& objPath);

}  // namespace ruvelo
