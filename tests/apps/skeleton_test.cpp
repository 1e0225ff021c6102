#include <gtest/gtest.h>
TEST(appsSkeleton, Builds) { SUCCEED(); }
