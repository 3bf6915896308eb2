#include <gtest/gtest.h>

#include "foundation/str.h"

TEST(Str, Placeholder) { EXPECT_EQ(CStr("abc").sub(1, -1), CStr("bc")); }
