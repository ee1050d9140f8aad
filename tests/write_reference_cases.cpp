// Writes the outputs of this platform's library on seeded series, in the case-file format,
// so that a build for another platform can be checked against them bit for bit.
// Usage: write_reference_cases <output file>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "test_support.h"

namespace tessaryn::test {
namespace {

void WriteRow(std::FILE* file, const char* key, const std::vector<float>& values) {
  std::fprintf(file, "%s", key);
  for (const float value : values) {
    if (IsEmpty(value)) {
      std::fprintf(file, " E");
    } else if (std::isnan(value)) {
      std::fprintf(file, " nan");  // the readers match any NaN here
    } else {
      std::fprintf(file, " %.9g", static_cast<double>(value));  // round-trips every float
    }
  }
  std::fprintf(file, "\n");
}

void WriteCase(std::FILE* file, const std::string& name, const Series& series) {
  std::fprintf(file, "case %s\n", name.c_str());
  WriteRow(file, "prices", series.prices);
  WriteRow(file, "periods", series.periods);
  for (const NamedRoutine& routine : kRoutines) {
    if (routine.ordinal == 0) {
      continue;  // the tests' own: not in the DLL
    }
    WriteRow(file, routine.name, RunOver(routine.run, series.prices, series.periods));
  }
}

// Series of every kind the filters must treat the same everywhere: price levels from 1e-4
// to 1e6, periods drifting, jumping, fractional, longer than the series or out of contract,
// and prices that are not finite or span many orders of magnitude.
std::vector<std::pair<std::string, Series>> ReferenceSeries() {
  std::vector<std::pair<std::string, Series>> all;
  const float levels[] = {1e-4f, 0.37f, 1.0f, 42.5f, 1234.5f, 98765.4f, 1e6f};
  unsigned seed = 1;
  for (const float level : levels) {
    for (const int longest : {3, 14, 60, 400}) {
      all.emplace_back(
          "level " + std::to_string(level) + ", periods up to " + std::to_string(longest),
          RandomSeries(seed++, 300, level, longest));
    }
  }
  Series constant = RandomSeries(seed++, 500, 1500.0f, 1);
  for (float& period : constant.periods)
    period = 20.0f;
  all.emplace_back("constant period 20", constant);

  const float odd[] = {0.0f,
                       -0.0f,
                       0.5f,
                       -1.0f,
                       1e10f,
                       std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN(),
                       2147483648.0f,
                       2.5f,
                       3.5f};
  Series outOfContract = RandomSeries(seed++, 200, 50.0f, 10);
  for (std::size_t i = 0; i < outOfContract.periods.size(); i += 3) {
    outOfContract.periods[i] = odd[(i / 3) % std::size(odd)];
  }
  all.emplace_back("periods out of contract", outOfContract);

  Series extremes = RandomSeries(seed++, 200, 10.0f, 12);
  extremes.prices[40] = 3.4E+38f;
  extremes.prices[90] = std::numeric_limits<float>::quiet_NaN();
  extremes.prices[120] = std::numeric_limits<float>::infinity();
  for (std::size_t i = 140; i < 200; i += 2)
    extremes.prices[i] = (i % 4 == 0) ? 1e30f : 1e-6f;
  all.emplace_back("prices not finite or far apart", extremes);
  return all;
}

}  // namespace
}  // namespace tessaryn::test

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "w");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(file, "# Written by write_reference_cases: outputs of the native library.\n");
  for (const auto& [name, series] : tessaryn::test::ReferenceSeries()) {
    tessaryn::test::WriteCase(file, name, series);
  }
  return std::fclose(file) == 0 ? 0 : 1;
}
