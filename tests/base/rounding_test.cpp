#include "base/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(RoundEven, HalvesGoToTheEvenNeighbour)
{
    struct Case {
        double value;
        int32_t expected;
    };
    const Case cases[] = {
        {2.5, 2},   {3.5, 4},     {-2.5, -2},  {-3.5, -4}, {0.5, 0},   {1.5, 2},      {-0.5, 0},
        {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {0.0, 0}, {479.5, 480}, {100000.5, 100000},
        {1.0e10, std::numeric_limits<int32_t>::max()}, {-1.0e10, std::numeric_limits<int32_t>::min()},
        {std::nan(""), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundEven(c.value), c.expected) << "value " << c.value;
}
