#pragma once
// Reads the values back out of a generated table source file (the numbers between the
// initialiser's braces), so tools can score a candidate table without rebuilding the engine,
// and installs a CellNormTable in place of the compiled-in one for this process.

#include <string>
#include <vector>

namespace training {

// Empty when the file cannot be read or holds no initialiser.
std::vector<double> ReadTableValues(const std::string& path);

// Replaces CellNormReciprocal as VLT_FV_Init derives it, from the table in `path`; false,
// changing nothing, when the file does not hold 36960 values. Call after InitEngineForTraining.
// (RefineWeights is read as compiled-in constant data: a candidate needs a rebuild.)
bool InstallCellNormTable(const std::string& path);

}  // namespace training
