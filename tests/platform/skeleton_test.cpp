#include <gtest/gtest.h>
TEST(platformSkeleton, Builds) { SUCCEED(); }
