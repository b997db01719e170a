#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "table_file.h"
#include "tables/cell_norm_table.h"
#include "tables/lookup_tables.h"
#include "training_corpus.h"

namespace {

std::string WriteTemp(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

TEST(TableFile, ReadsTheInitialiserOnly) {
  const std::string path = WriteTemp("table_file_values.cpp",
                                     "// Sum 12, weighted sum 99.\nconst T t = {\n    7495, -2,\n"
                                     "    0.0461f, -0.0663f, 1e-05f,\n};\nint after = 5;\n");
  const std::vector<double> v = training::ReadTableValues(path);
  ASSERT_EQ(v.size(), 5u);
  EXPECT_EQ(v[0], 7495);
  EXPECT_EQ(v[1], -2);
  EXPECT_FLOAT_EQ(v[2], 0.0461);
  EXPECT_FLOAT_EQ(v[3], -0.0663);
  EXPECT_FLOAT_EQ(v[4], 1e-05);
  EXPECT_TRUE(training::ReadTableValues(WriteTemp("table_file_empty.cpp", "no table\n")).empty());
  EXPECT_TRUE(training::ReadTableValues(::testing::TempDir() + "table_file_absent.cpp").empty());
}

TEST(TableFile, InstallsOnlyAWholeCellNormTable) {
  training::InitEngineForTraining();
  const float before = veltrum::Tables().CellNormReciprocal[5];
  EXPECT_FALSE(training::InstallCellNormTable(WriteTemp("table_file_short.cpp", "t = {1, 2, 3,};\n")));
  EXPECT_EQ(veltrum::Tables().CellNormReciprocal[5], before);
  std::string text = "t = {\n";
  for (int i = 0; i < veltrum::kCellNormEntries; ++i) text += std::to_string(1000 + i % 7) + ",";
  std::string restore = "t = {\n";
  for (int i = 0; i < veltrum::kCellNormEntries; ++i) restore += std::to_string(veltrum::CellNormTable[i]) + ",";
  ASSERT_TRUE(training::InstallCellNormTable(WriteTemp("table_file_whole.cpp", text + "};\n")));
  EXPECT_EQ(veltrum::Tables().CellNormReciprocal[5], 16.777216f / 1005.0f);
  EXPECT_EQ(veltrum::Tables().CellNormReciprocal[7], 16.777216f / 1000.0f);
  // The other tests of this program expect the compiled-in table.
  ASSERT_TRUE(training::InstallCellNormTable(WriteTemp("table_file_restore.cpp", restore + "};\n")));
  EXPECT_EQ(veltrum::Tables().CellNormReciprocal[5], before);
}

}  // namespace
