#include "base/rounding.h"

#include <cmath>
#include <limits>

int32_t RoundEven(double value)
{
    if (std::isnan(value))
        return 0;
    // Round half to even without depending on the FPU's rounding mode.
    double floor = std::floor(value);
    double diff = value - floor;
    double rounded = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0))
        rounded = floor + 1.0;
    if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}
