// OBJ text to a collision mesh: the reader over arbitrary bytes, then the triangle-mesh shape built
// from whatever it read. A mesh that is built must hold only valid triangles; walking them all must
// stay inside the data (the sanitizers watch every read).
#include <btBulletCollisionCommon.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "physics/level.h"
#include "support/obj_reader.h"

namespace {

struct CountTriangles : btTriangleCallback {
  size_t count = 0;
  void processTriangle(btVector3* triangle, int, int) override {
    for (int i = 0; i < 3; ++i)
      if (!std::isfinite(triangle[i].x()) || !std::isfinite(triangle[i].y()) ||
          !std::isfinite(triangle[i].z()))
        __builtin_trap();
    ++count;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  ruvelo::test::ObjMesh mesh;
  ruvelo::test::readObj(in, mesh);  // a partial mesh is cooked too: the shape must refuse bad data
  const size_t triangles = mesh.indices.size() / 3;
  const std::shared_ptr<btCollisionShape> shape =
      cookModelShape(mesh.positions, mesh.indices, glm::vec3(2.0f), PhysicsMaterial{});
  if (!shape) return 0;
  for (uint32_t index : mesh.indices)
    if (index >= mesh.positions.size()) __builtin_trap();
  btVector3 low, high;
  shape->getAabb(btTransform::getIdentity(), low, high);
  CountTriangles walk;
  static_cast<btConcaveShape*>(shape.get())
      ->processAllTriangles(&walk, low - btVector3(1, 1, 1), high + btVector3(1, 1, 1));
  if (walk.count > triangles) __builtin_trap();
  return 0;
}
