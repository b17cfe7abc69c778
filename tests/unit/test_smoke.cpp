#include <gtest/gtest.h>
#include "settings/qvComFunctions.h"
TEST(Smoke, Split) { EXPECT_EQ(tarn::SplitLines("a\r\nb").size(), 2u); }
