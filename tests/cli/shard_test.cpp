#include "cli/shard.h"

#include <gtest/gtest.h>

#include <vector>

namespace sonorell {
namespace {

TEST(Shard, SlicesCoverEveryItemOnceContiguousAndBalanced) {
  for (int n = 1; n <= 12; ++n) {
    for (size_t total = 0; total <= 50; ++total) {
      std::vector<int> owner(total, 0);
      size_t smallest = total + 1;
      size_t largest = 0;
      for (int i = 1; i <= n; ++i) {
        size_t size = 0;
        long last = -2;
        for (size_t p = 0; p < total; ++p) {
          if (!InShard({i, n}, p, total)) continue;
          ++owner[p];
          ++size;
          // Each slice is one run of neighbours.
          if (last >= 0) {
            EXPECT_EQ(static_cast<long>(p), last + 1);
          }
          last = static_cast<long>(p);
        }
        smallest = std::min(smallest, size);
        largest = std::max(largest, size);
      }
      for (size_t p = 0; p < total; ++p) EXPECT_EQ(owner[p], 1) << n << " " << total << " " << p;
      EXPECT_LE(largest - smallest, 1u) << n << " " << total;
    }
  }
  EXPECT_FALSE(InShard({1, 1}, 3, 3));
}

TEST(Shard, ParsesOnlyAValidSliceOfSlices) {
  ASSERT_TRUE(ParseShard("2/3"));
  EXPECT_EQ(ParseShard("2/3")->index, 2);
  EXPECT_EQ(ParseShard("2/3")->count, 3);
  EXPECT_TRUE(ParseShard("1/1"));
  EXPECT_TRUE(ParseShard("1000000/1000000"));
  for (const char* bad : {"0/3", "4/3", "1/0", "a/b", "1/3x", "", "-1/3", "1/", "/3", "1//3",
                          " 1/3", "1/3 ", "+1/3", "1/1000001", "99999999999/3"}) {
    EXPECT_FALSE(ParseShard(bad)) << bad;
  }
}

}  // namespace
}  // namespace sonorell
