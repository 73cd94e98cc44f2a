// Conversions between numbers and the texts the user types and reads.
//
// Both conversions work in the x87 80-bit extended format and round every step
// to nearest, ties to even, in a fixed order: the order is part of the result,
// down to the last bit of a stored coefficient and the last digit of a root.
#pragma once

#include <cfloat>
#include <limits>
#include <string>

// Where long double is the x87 format (g++ on x86-64) the core computes with it;
// elsewhere, or when the build asks for it (TARVELIN_SOFT_EXTENDED), with the
// same format computed in software, which gives the same bits.
#if TARVELIN_SOFT_EXTENDED || LDBL_MANT_DIG != 64
#define TARVELIN_EXTENDED_IS_SOFT 1
#include "core/soft_extended.h"
using Extended = SoftExtended;
#else
#define TARVELIN_EXTENDED_IS_SOFT 0
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double is expected to be the x87 80-bit extended format "
              "(64-bit significand) here");

using Extended = long double;  // the x87 80-bit format
#endif

// The decimal point of both conversions and of the coefficient fields' key
// filter. Process-wide; '.' until someone sets it. Each conversion reads it once,
// at its start.
extern char DecimalSeparator;

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Converts the text of a coefficient field.
//
// Accepts: leading spaces, one optional sign directly before the number, decimal
// digits with at most one DecimalSeparator (at least one digit or the separator),
// an optional exponent "e"/"E" with optional sign and optional digits, trailing
// spaces. Digits are accumulated one by one (v := v*10 + d, each step rounded),
// then scaled once by ScaleByPowerOfTen. A result beyond the extended range is
// invalid; an underflow gives a subnormal or zero.
//
// Throws EConvertError("'S' is not a valid floating point value") for an invalid
// text. Never raises or leaves a floating-point exception flag: the caller's
// floating-point environment is as it was.
//
//   "  -2.25 " -> -2.25       "."  -> 0        "-." -> -0
//   "1e"       -> 1           "1e4932" -> about 1e4932
//   "1,5"      -> EConvertError while the separator is '.'
Extended StrToFloat(const std::string& S);

// Formats a root for the solutions field. Only ffFixed is provided, the format
// the window uses (with Precision 15 and Digits 2); other formats throw
// std::invalid_argument.
//
// The value is reduced to at most 18 significant decimal digits, rounded half
// away from zero at the last kept digit (Digits decimals, at most Precision
// significant digits); a rounded magnitude of 10^Precision or more is written in
// exponent form. The decimal point is DecimalSeparator.
//
//   (2.675, ffFixed, 15, 2) -> "2.67"    (0.005, ...) -> "0.01"
//   (-0.0049, ...)          -> "0.00"    (1.5e20, ...) -> "1.5E20"
std::string FloatToStrF(Extended Value, TFloatFormat Format, int Precision, int Digits);

// X times 10^N, through the three tables of powers of ten: at most one
// multiplication (or division, for N < 0) per table, each rounded on its own.
// A scale of at most 27 in magnitude is one exactly rounded operation.
// N <= -5120 gives +0; N >= 5120 gives an infinity of X's sign (0 for X = 0),
// so that StrToFloat reports it as an overflow.
//
//   (1.5, 3) -> 1500    (1, -1) -> the extended nearest 0.1
Extended ScaleByPowerOfTen(Extended X, int N);
