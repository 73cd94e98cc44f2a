// The powers of ten that ScaleByPowerOfTen multiplies by. Each entry is the
// extended value nearest the exact power, ties to even; 10^0 to 10^27 are exact.
#pragma once

#include "core/number_text.h"

extern const Extended kSmallPowersOfTen[32];   // 10^i,       i = 0 .. 31
extern const Extended kMediumPowersOfTen[15];  // 10^(32*j),  j = 1 .. 15, at index j - 1
extern const Extended kLargePowersOfTen[9];    // 10^(512*k), k = 1 .. 9,  at index k - 1
