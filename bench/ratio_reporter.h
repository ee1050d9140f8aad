// Console output of Google Benchmark, followed by the ratios between routines and baselines
// measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tessaryn::bench {

struct Ratio {
  std::string what;
  std::string numerator;  // benchmark names; the ratio is their speeds in bars per second
  std::string denominator;
  double target;  // at least this; 0 for none
};

// A ratio reported after the built-in ones (for benchmarks registered at run time).
void AddRatio(Ratio ratio);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  std::map<std::string, double> barsPerSecond_;  // by benchmark name
};

}  // namespace tessaryn::bench
