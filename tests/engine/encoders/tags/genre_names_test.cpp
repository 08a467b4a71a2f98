#include "engine/encoders/tags/genre_names.h"

#include <gtest/gtest.h>

#include <string>

namespace sonorell {
namespace {

TEST(GenreNames, HoldsTheExtendedListInIndexOrder) {
  ASSERT_EQ(GenreNames.size(), 148u);
  EXPECT_EQ(GenreNames[0], "Blues");
  EXPECT_EQ(GenreNames[12], "Other");
  EXPECT_EQ(GenreNames[17], "Rock");
  EXPECT_EQ(GenreNames[79], "Hard Rock");  // last row of the original list
  EXPECT_EQ(GenreNames[80], "Folk");       // first row of the extension
  EXPECT_EQ(GenreNames[147], "Synthpop");
}

TEST(GenreNames, RowsKeepTheirOwnSpelling) {
  // These rows read differently in other copies of the list; lookups compare whole names.
  EXPECT_EQ(GenreNames[40], "Alt. Rock");
  EXPECT_EQ(GenreNames[67], "Psychadelic");
  EXPECT_EQ(GenreNames[81], "Folk/Rock");
  EXPECT_EQ(GenreNames[84], "Fast-Fusion");
  EXPECT_EQ(GenreNames[123], "A Cappella");
  EXPECT_EQ(GenreNames[132], "BritPop");
  EXPECT_EQ(GenreNames[144], "Trash Metal");
  EXPECT_EQ(GenreNames[146], "Jpop");
}

TEST(GenreNames, EveryRowIsFoundAtItsOwnIndex) {
  for (size_t i = 0; i < GenreNames.size(); ++i) {
    EXPECT_FALSE(GenreNames[i].empty()) << i;
    EXPECT_EQ(GenreIndexOf(GenreNames[i]), static_cast<int>(i)) << GenreNames[i];
  }
}

TEST(GenreNames, LookupIgnoresCaseButComparesWholeNames) {
  EXPECT_EQ(GenreIndexOf("rock"), 17);
  EXPECT_EQ(GenreIndexOf("ROCK"), 17);
  EXPECT_EQ(GenreIndexOf("jPOP"), 146);
  EXPECT_EQ(GenreIndexOf("r&b"), 14);
  EXPECT_FALSE(GenreIndexOf("Rockabilly"));
  EXPECT_FALSE(GenreIndexOf("Rock "));
  EXPECT_FALSE(GenreIndexOf("Roc"));
  EXPECT_FALSE(GenreIndexOf("Alternative Rock"));
  EXPECT_FALSE(GenreIndexOf(""));
  EXPECT_FALSE(GenreIndexOf(std::string("Rock\0", 5)));
}

}  // namespace
}  // namespace sonorell
