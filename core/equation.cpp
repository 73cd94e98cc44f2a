#include "core/equation.h"

#include <cmath>

#include "core/exceptions.h"
#include "core/extended_math.h"
#include "core/number_text.h"

namespace {

std::string Format(double value) { return FloatToStrF(value, ffFixed, 15, 2); }

}  // namespace

double StoreDouble(Extended Value) {
  const double stored = static_cast<double>(Value);
  if (std::isinf(stored)) throw EOverflow();
  return stored;
}

std::string SolveQuadratic(double a, double b, double c, double& discriminant, double& x0,
                           double& x1, double& x2) {
  // Every comparison is exact, against zero; -0 counts as zero. The operands are
  // widened to extended before each operation so that only the stores round to a
  // double.
  const Extended minusB = -static_cast<Extended>(b);
  if (a != 0) {
    const Extended twoA = 2 * static_cast<Extended>(a);
    const Extended bb = static_cast<Extended>(b) * b;
    const Extended fourAC = (4 * static_cast<Extended>(a)) * c;
    discriminant = StoreDouble(bb - fourAC);
    if (discriminant == 0) {
      x0 = StoreDouble(minusB / twoA);
      return Format(x0);
    }
    if (discriminant > 0) {
      // The root of the stored double, kept in extended.
      x1 = StoreDouble((SquareRoot(static_cast<Extended>(discriminant)) + minusB) / twoA);
      x2 = StoreDouble((minusB - SquareRoot(static_cast<Extended>(discriminant))) / twoA);
      return Format(x1) + " et " + Format(x2);
    }
    return "Pas de Solutions r\xE9"
           "elles";
  }
  if (b != 0) {
    x0 = StoreDouble(-static_cast<Extended>(c) / b);
    return Format(x0);
  }
  if (c == 0) {
    return "Tous les r\xE9"
           "els sont des solutions";
  }
  return "Pas de Solutions !";
}

std::string Equation::Solve(double a, double b, double c) {
  return SolveQuadratic(a, b, c, discriminant, x0, x1, x2);
}
