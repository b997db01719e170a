#include "table_file.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tables/lookup_tables.h"

namespace training {

std::vector<double> ReadTableValues(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  const auto open = s.find("= {");
  const auto close = s.find("};", open);
  std::vector<double> values;
  if (open == std::string::npos || close == std::string::npos) return values;
  const char* p = s.c_str() + open + 3;
  const char* end = s.c_str() + close;
  while (p < end) {
    char* next = nullptr;
    const double v = std::strtod(p, &next);
    if (next == p) {
      ++p;  // separators and the float suffix
      continue;
    }
    values.push_back(v);
    p = next;
  }
  return values;
}

bool InstallCellNormTable(const std::string& path) {
  const std::vector<double> values = ReadTableValues(path);
  if (values.size() != static_cast<std::size_t>(veltrum::kCellNormEntries)) return false;
  // The engine's table object is not const; only its accessor is, so a tool may rewrite it.
  auto& tables = const_cast<veltrum::LookupTables&>(veltrum::Tables());
  for (int i = 0; i < veltrum::kCellNormEntries; ++i) {
    tables.CellNormReciprocal[i] = 16.777216f / static_cast<float>(values[i]);
  }
  return true;
}

}  // namespace training
