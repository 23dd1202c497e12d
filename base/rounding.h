#pragma once
#include <cstdint>

// Every conversion of a computed real value to an integer goes through here:
// nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Values beyond the int32 range saturate; NaN gives 0.
int32_t RoundEven(double value);
