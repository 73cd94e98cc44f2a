// What the coefficient fields do with a typed character and with a new text.
#pragma once

#include <string>

// The key filter: lets through the digits, '+', '-', '.', Backspace (8) and the
// current DecimalSeparator (read afresh at each call); sets Key to 0 for every
// other character, which the field then must not receive.
void FilterCoefficientKey(char& Key);

// The change handler's work for one field: converts Text and stores it into
// Coefficient, rounded to a double. Text that does not convert (or any other
// failure while converting) leaves Coefficient unchanged, silently. A value
// beyond the double range leaves it unchanged too, but throws EOverflow, after
// the conversion has finished and before the caller goes on to solve.
//
//   "1e3" -> 1000     "abc" -> unchanged     "1e400" -> unchanged, EOverflow
void StoreCoefficient(double& Coefficient, const std::string& Text);
