#pragma once
// Small dense symmetric-matrix helpers for the discriminant fit (row-major n x n doubles).

#include <vector>

namespace training {

using Matrix = std::vector<double>;

// Lower-triangular L with a = L L^T; false when a is not positive definite.
bool Cholesky(const Matrix& a, int n, Matrix& l);
// Eigenvalues (descending) and unit eigenvectors (columns of `vectors`) of symmetric a.
void SymmetricEigen(Matrix a, int n, std::vector<double>& values, Matrix& vectors);

}  // namespace training
