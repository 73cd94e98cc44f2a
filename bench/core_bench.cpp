// The work one keystroke costs in the core: convert the edited field's text,
// store it, solve, and format two roots. Beside it, the same work written with
// the C library (strtold, the same extended arithmetic, snprintf "%.2f").
//
// The core's figures are those of the build's Extended: the x87 unit's long
// double, or the software type (TARVELIN_SOFT_EXTENDED=ON, or any machine whose
// long double is another format). The run's context names which.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/coefficient_entry.h"
#include "core/equation.h"
#include "core/number_text.h"

namespace {

// Typical texts of a coefficient field while someone types.
const char* const kTexts[] = {"-12.5", "3", "4.75", "-0.001", "1234.5678", "2e3", "-7", "0.3333"};
constexpr int kTextCount = sizeof kTexts / sizeof kTexts[0];

void OurEdit(benchmark::State& state) {
  Equation e;
  e.b = 3;
  e.c = 4;
  std::string texts[kTextCount];
  for (int i = 0; i < kTextCount; ++i) texts[i] = kTexts[i];
  int i = 0;
  for (auto _ : state) {
    StoreCoefficient(e.a, texts[i]);
    std::string solutions = e.Solve(e.a, e.b, e.c);
    benchmark::DoNotOptimize(solutions);
    i = (i + 1) % kTextCount;
  }
}
BENCHMARK(OurEdit);

std::string CFormat(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", x);
  return text;
}

// The same steps with the C library: strtold for the text, the same extended
// arithmetic, snprintf for the roots.
std::string CSolve(double a, double b, double c) {
  const long double minusB = -static_cast<long double>(b);
  if (a != 0) {
    const double discriminant =
        static_cast<double>(static_cast<long double>(b) * b - (4 * static_cast<long double>(a)) * c);
    if (discriminant == 0) return CFormat(static_cast<double>(minusB / (2 * static_cast<long double>(a))));
    if (discriminant > 0) {
      const long double r = std::sqrt(static_cast<long double>(discriminant));
      const double x1 = static_cast<double>((r + minusB) / (2 * static_cast<long double>(a)));
      const double x2 = static_cast<double>((minusB - r) / (2 * static_cast<long double>(a)));
      return CFormat(x1) + " et " + CFormat(x2);
    }
    return "Pas de Solutions r\xE9" "elles";
  }
  if (b != 0) return CFormat(static_cast<double>(-static_cast<long double>(c) / b));
  return c == 0 ? "Tous les r\xE9" "els sont des solutions" : "Pas de Solutions !";
}

void CLibraryEdit(benchmark::State& state) {
  double a = 0;
  const double b = 3, c = 4;
  std::string texts[kTextCount];
  for (int i = 0; i < kTextCount; ++i) texts[i] = kTexts[i];
  int i = 0;
  for (auto _ : state) {
    char* end;
    const long double value = std::strtold(texts[i].c_str(), &end);
    if (end != texts[i].c_str() && *end == '\0' && std::isfinite(static_cast<double>(value))) {
      a = static_cast<double>(value);
    }
    std::string solutions = CSolve(a, b, c);
    benchmark::DoNotOptimize(solutions);
    i = (i + 1) % kTextCount;
  }
}
BENCHMARK(CLibraryEdit);

void OurParse(benchmark::State& state) {
  const std::string text = "-1234.5678";
  for (auto _ : state) benchmark::DoNotOptimize(StrToFloat(text));
}
BENCHMARK(OurParse);

void CLibraryParse(benchmark::State& state) {
  const std::string text = "-1234.5678";
  for (auto _ : state) benchmark::DoNotOptimize(std::strtold(text.c_str(), nullptr));
}
BENCHMARK(CLibraryParse);

void OurFormat(benchmark::State& state) {
  double x = -1234.5678;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    std::string text = FloatToStrF(x, ffFixed, 15, 2);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(OurFormat);

void CLibraryFormat(benchmark::State& state) {
  double x = -1234.5678;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    std::string text = CFormat(x);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(CLibraryFormat);

}  // namespace

int main(int argc, char** argv) {
  benchmark::AddCustomContext("extended_arithmetic",
                              TARVELIN_EXTENDED_IS_SOFT ? "software (SoftExtended)"
                                                        : "x87 hardware (long double)");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
