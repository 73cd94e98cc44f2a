// Sequences of edits of the coefficient fields, as the window makes them, held
// against the exact reference after every edit.
//
// Input: lines, each one edit. A line "a<text>", "b<text>" or "c<text>" gives
// the field's whole new text (any other first byte picks the field by its value
// modulo 3); "!," and "!." set the decimal separator, as a change of the desktop's
// settings does (nothing is solved then). Empty lines are skipped.
//
// Each field edit runs what the window's change handler runs: StoreCoefficient,
// then SolveQuadratic with the three coefficients, unless the store threw
// EOverflow (the error box is shown instead). The reference model does the same
// from ReferenceStrToFloat, ReferenceStoreDouble and ReferenceSolve. After every
// edit the seven members must have the same bits, the solutions text must be the
// same, and an overflow must show at the same edit and from the same step.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/coefficient_entry.h"
#include "core/equation.h"
#include "core/exceptions.h"
#include "core/number_text.h"
#include "fuzz/fuzz_support.h"
#include "tests/core/reference/exact_reference.h"

using fuzz_support::Fail;
using fuzz_support::Printable;

namespace {

// The window's state: a, b, c, discriminant, x0, x1, x2 and the solutions text.
struct State {
  std::array<double, 7> members{};
  std::string solutions;
  enum Box { kNone, kStore, kSolve } box = kNone;  // the overflow the last edit showed
};

const char* const kMemberNames[7] = {"a", "b", "c", "discriminant", "x0", "x1", "x2"};
const char* const kBoxNames[3] = {"no error box", "an overflow of the store",
                                  "an overflow in the solver"};

void EditCore(State& s, int field, const std::string& text) {
  double* m = s.members.data();
  s.box = State::kNone;
  try {
    StoreCoefficient(m[field], text);
  } catch (const EOverflow&) {
    s.box = State::kStore;
    return;
  }
  try {
    s.solutions = SolveQuadratic(m[0], m[1], m[2], m[3], m[4], m[5], m[6]);
  } catch (const EOverflow&) {
    s.box = State::kSolve;
  }
}

void EditReference(State& s, int field, const std::string& text, char separator) {
  double* m = s.members.data();
  s.box = State::kNone;
  if (const std::optional<long double> value = ReferenceStrToFloat(text, separator)) {
    const std::optional<double> stored = ReferenceStoreDouble(*value);
    if (!stored) {
      s.box = State::kStore;
      return;
    }
    m[field] = *stored;
  }
  if (std::optional<std::string> solutions =
          ReferenceSolve(m[0], m[1], m[2], m[3], m[4], m[5], m[6], separator)) {
    s.solutions = *solutions;
  } else {
    s.box = State::kSolve;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  DecimalSeparator = '.';  // as the window sets it when it is built
  State core, reference;
  std::string history;  // the edits so far, for the report

  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    const std::string line = input.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;

    if (line[0] == '!') {
      DecimalSeparator = line.size() > 1 && line[1] == ',' ? ',' : '.';
      history += std::string("\n  separator '") + DecimalSeparator + "'";
      continue;
    }
    int field;
    switch (line[0]) {
      case 'a': field = 0; break;
      case 'b': field = 1; break;
      case 'c': field = 2; break;
      default: field = static_cast<unsigned char>(line[0]) % 3; break;
    }
    const std::string text = line.substr(1);
    history += std::string("\n  ") + "abc"[field] + "Edit " + Printable(text);

    try {
      EditCore(core, field, text);
    } catch (...) {
      Fail("an exception other than EOverflow left the edit, after:" + history);
    }
    EditReference(reference, field, text, DecimalSeparator);

    std::string differences;
    for (int k = 0; k < 7; ++k) {
      if (!fuzz_support::SameDouble(core.members[k], reference.members[k])) {
        differences += std::string("\n    ") + kMemberNames[k] + " " +
                       fuzz_support::DoubleBits(core.members[k]) + ", the reference's " +
                       fuzz_support::DoubleBits(reference.members[k]);
      }
    }
    if (core.solutions != reference.solutions) {
      differences += "\n    solutions " + Printable(core.solutions) + ", the reference's " +
                     Printable(reference.solutions);
    }
    if (core.box != reference.box) {
      differences += std::string("\n    ") + kBoxNames[core.box] + ", the reference's " +
                     kBoxNames[reference.box];
    }
    if (!differences.empty()) Fail("after:" + history + "\n  differences:" + differences);
  }
  DecimalSeparator = '.';
  return 0;
}
