// Console output of Google Benchmark, followed by the ratios between routines and baselines
// measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tessaryn::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  std::map<std::string, double> barsPerSecond_;  // by benchmark name
};

}  // namespace tessaryn::bench
