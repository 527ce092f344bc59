#include "romlib/Assets.h"

#include <gtest/gtest.h>

TEST(Assets, UnknownNameFindsNothing) {
  EXPECT_TRUE(korva::FindAsset("NO-SUCH-ASSET").empty());
  EXPECT_TRUE(korva::FindAsset("").empty());
}
