#include <gtest/gtest.h>
TEST(engineSkeleton, Builds) { SUCCEED(); }
