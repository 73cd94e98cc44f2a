#include "core/coefficient_entry.h"

#include "core/equation.h"
#include "core/number_text.h"

void FilterCoefficientKey(char& Key) {
  const bool allowed = (Key >= '0' && Key <= '9') || Key == '+' || Key == '-' || Key == '\b' ||
                       Key == '.' || Key == DecimalSeparator;
  if (!allowed) Key = 0;
}

void StoreCoefficient(double& Coefficient, const std::string& Text) {
  // Any failure while reading and converting the text is swallowed: the field
  // just keeps its last good value. The overflow of the store is not a failure of
  // the conversion; it escapes, after the conversion is over and before the
  // caller solves again.
  Extended value;
  try {
    value = StrToFloat(Text);
  } catch (...) {
    return;
  }
  Coefficient = StoreDouble(value);
}
