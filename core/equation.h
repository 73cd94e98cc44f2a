// The equation a*x^2 + b*x + c = 0: its state and the solver.
#pragma once

#include <string>

#include "core/number_text.h"

// Classifies and solves a*x^2 + b*x + c = 0, writes the members that the
// computation reaches, and returns the solutions text (Windows-1252 bytes).
//
// Intermediates are extended; a value is rounded to a double only when it is
// stored into discriminant, x0, x1 or x2. A store whose value does not fit a
// double does not happen: EOverflow is thrown there, members stored earlier in
// the same call keep their new values, and no text is returned.
//
//   (1, -3, 2) -> "2.00 et 1.00"     (1, 0, 1) -> "Pas de Solutions r\xE9elles"
//   (0, 0, 0)  -> "Tous les r\xE9els sont des solutions"
std::string SolveQuadratic(double a, double b, double c, double& discriminant, double& x0,
                           double& x1, double& x2);

// The equation state on its own, for code that has no window.
class Equation {
 public:
  double a = 0, b = 0, c = 0, discriminant = 0, x0 = 0, x1 = 0, x2 = 0;  // in this order
  std::string Solve(double a, double b, double c);  // returns the solutions text; throws EOverflow
};

// Rounds an extended intermediate to the double it is stored as. A magnitude
// that rounds beyond the largest finite double is the overflow fault: nothing is
// stored and EOverflow is thrown. Underflow gives a subnormal or zero, silently.
double StoreDouble(Extended Value);
