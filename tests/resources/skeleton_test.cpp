#include <gtest/gtest.h>
TEST(resourcesSkeleton, Builds) { SUCCEED(); }
