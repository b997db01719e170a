#include "tables/cylinder_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

using veltrum::CylinderTable;

struct Entry {
  int j, value;
};

TEST(CylinderTable, KnownAndRegressionEntries) {
  for (const Entry& e : {Entry{0, 4}, Entry{1, 8}, Entry{99, 400}, Entry{255, 1017},
                         Entry{499, 1947}, Entry{767, 2868}, Entry{999, 3517}, Entry{1023, 3574},
                         Entry{1189, 3893}, Entry{1190, 3895}, Entry{1270, 3999}}) {
    EXPECT_EQ(CylinderTable[e.j], e.value) << "known entry " << e.j;
  }
  for (const Entry& e :
       {Entry{50, 204}, Entry{100, 404}, Entry{126, 507}, Entry{150, 603}, Entry{200, 801},
        Entry{300, 1193}, Entry{400, 1577}, Entry{600, 2310}, Entry{700, 2652}, Entry{850, 3120},
        Entry{900, 3262}, Entry{1100, 3738}, Entry{1150, 3830}, Entry{1191, 3897},
        Entry{1230, 3951}, Entry{1269, 3998}}) {
    EXPECT_EQ(CylinderTable[e.j], e.value) << "regression entry " << e.j;
  }
}

TEST(CylinderTable, ShapeAndReach) {
  for (int j = 0; j <= 125; ++j) EXPECT_EQ(CylinderTable[j], 4 * (j + 1)) << j;
  EXPECT_NE(CylinderTable[126], 4 * 127);
  for (int j = 1; j < veltrum::kCylinderEntries; ++j) {
    EXPECT_GT(CylinderTable[j], CylinderTable[j - 1]) << j;
  }
  // The unwrap reads entries up to 1190; each must stay below one half width (4096).
  EXPECT_LT(*std::max_element(CylinderTable.begin(), CylinderTable.begin() + 1191), 4096);
}

TEST(CylinderTable, Checksums) {
  std::int64_t sum = 0, weighted = 0;
  for (int j = 0; j < veltrum::kCylinderEntries; ++j) {
    sum += CylinderTable[j];
    weighted += static_cast<std::int64_t>(j + 1) * CylinderTable[j];
  }
  EXPECT_EQ(sum, 2914399);
  EXPECT_EQ(weighted, 2412394041);
}

}  // namespace
