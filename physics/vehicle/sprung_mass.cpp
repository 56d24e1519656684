#include "physics/vehicle/sprung_mass.h"

#include <cmath>

namespace vehicle {

namespace {

// Solves the symmetric n×n system a·x = b (n ≤ 3) by Gaussian elimination with pivoting.
bool solveSmall(int n, double a[3][3], double b[3], double x[3]) {
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-9) return false;
    for (int c = 0; c < n; ++c) std::swap(a[col][c], a[pivot][c]);
    std::swap(b[col], b[pivot]);
    for (int r = col + 1; r < n; ++r) {
      const double f = a[r][col] / a[col][col];
      for (int c = col; c < n; ++c) a[r][c] -= f * a[col][c];
      b[r] -= f * b[col];
    }
  }
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int c = r + 1; c < n; ++c) s -= a[r][c] * x[c];
    x[r] = s / a[r][r];
  }
  return true;
}

}  // namespace

std::vector<float> computeSprungMasses(const std::vector<glm::vec3>& wheelPositions,
                                       const glm::vec3& centreOfMass, float totalMass, int gravityAxis) {
  const int n = static_cast<int>(wheelPositions.size());
  if (n < 1 || !(totalMass > 0.0f) || gravityAxis < 0 || gravityAxis > 2) return {};
  if (n == 1) return {totalMass};

  const int axisU = gravityAxis == 0 ? 1 : 0;
  const int axisV = gravityAxis == 2 ? 1 : 2;
  // Constraint rows: 1, u_i, v_i, measured from the centre of mass so the right side is (M, 0, 0).
  // Two wheels can only balance along the line through them: drop the row that is degenerate.
  std::vector<double> rows[3];
  rows[0].assign(n, 1.0);
  rows[1].resize(n);
  rows[2].resize(n);
  for (int i = 0; i < n; ++i) {
    rows[1][i] = wheelPositions[i][axisU] - centreOfMass[axisU];
    rows[2][i] = wheelPositions[i][axisV] - centreOfMass[axisV];
  }
  int used[3] = {0, 1, 2};
  int m = 3;
  if (n == 2) {
    // Keep the axis along which the two wheels are further apart.
    const double du = std::fabs(rows[1][0] - rows[1][1]);
    const double dv = std::fabs(rows[2][0] - rows[2][1]);
    used[1] = du >= dv ? 1 : 2;
    m = 2;
  }

  // Minimum norm: m = Aᵀ·(A·Aᵀ)⁻¹·b.
  double gram[3][3] = {};
  for (int r = 0; r < m; ++r)
    for (int c = 0; c < m; ++c) {
      double s = 0.0;
      for (int i = 0; i < n; ++i) s += rows[used[r]][i] * rows[used[c]][i];
      gram[r][c] = s;
    }
  double rhs[3] = {totalMass, 0.0, 0.0};
  double lambda[3] = {};
  // Wheels all on one line make the Gram matrix singular.
  if (!solveSmall(m, gram, rhs, lambda)) return {};

  std::vector<float> masses(n);
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    for (int r = 0; r < m; ++r) s += lambda[r] * rows[used[r]][i];
    masses[i] = static_cast<float>(s);
  }
  return masses;
}

}  // namespace vehicle
